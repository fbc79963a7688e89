// The record's own operations.
#include "record.h"

#include <gtest/gtest.h>

namespace {

TEST(Record, FreshChannelConfiguration) {
  TVELK r;
  r.DigitalChannelCount = 16;
  EXPECT_EQ(r.DefaultChConfig(0), 0x1400u);
  EXPECT_EQ(r.DefaultChConfig(15), 0x140Fu);
  EXPECT_EQ(r.DefaultChConfig(16), 0x1010u);
  EXPECT_EQ(r.DefaultChConfig(31), 0x101Fu);
  EXPECT_EQ(r.DefaultChConfig(32), 0u);
  EXPECT_STREQ(r.Probes[0].Caption, "1:1");
}

} // namespace
