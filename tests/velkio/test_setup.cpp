// Capture set-up batches, byte for byte as the instrument receives them.
#include "fixture.h"

#include <map>
#include <utility>

using namespace velktest;

namespace {

using TPackets = std::vector<std::pair<int, int>>;

// The register writes of one transfer, when it is made of 8-byte write packets.
TPackets Packets(const std::vector<uint8_t> &data) {
  TPackets out;
  if (data.size() % 8 != 0)
    return {};
  for (size_t i = 0; i < data.size(); i += 8) {
    if (data[i] != 'A' || data[i + 1] != 'D' || data[i + 2] != 'C' || !(data[i + 3] & 0x80) ||
        data[i + 4] != 1 || data[i + 5] != 0 || data[i + 6] != 0)
      return {};
    out.emplace_back(data[i + 3] & 0x7F, data[i + 7]);
  }
  return out;
}

// The set-up batch: the transfer that starts with run = 0, arm = 0 and goes on.
TPackets SetupBatch() {
  for (const TTransfer &t : Log(VELKEMU_OP_WRITE)) {
    TPackets p = Packets(t.data);
    if (p.size() > 2 && p[0] == std::make_pair(6, 0) && p[1] == std::make_pair(9, 0))
      return p;
  }
  return {};
}

std::map<int, int> Registers(const TPackets &packets) {
  std::map<int, int> regs;
  for (auto [reg, value] : packets)
    regs[reg] = value;
  return regs;
}

bool Has(const TPackets &packets, int reg) {
  for (auto [r, v] : packets)
    if (r == reg)
      return true;
  return false;
}

const uint8_t kDontCare[32] = {2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2,
                               2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2};

void DigitalTrigger(uint8_t condition, uint8_t edge, uint8_t channel, const uint8_t *pattern) {
  VELK_CPTrigger(1, &condition, &edge, &channel, pattern);
}

void AnalogTrigger(uint8_t source, uint8_t edge) { VELK_CPTrigger(0, &source, &edge, nullptr, nullptr); }

class SetupTest : public LibraryTest {
protected:
  // Sets up a capture and returns its batch; the log is cleared first.
  TPackets RunSetup() {
    velkemu_log_clear();
    VELK_CPSet();
    return SetupBatch();
  }
};

TEST_F(SetupTest, AnalyzerBatchInOrder) {
  Attach("Brisk");
  VELK_CPBuffers(100000, 50000);
  VELK_CPSampling(0, 5, 0);
  VELK_CPThresholdD(0x9A);
  DigitalTrigger(0, 1, 7, kDontCare);
  TPackets batch = RunSetup();
  EXPECT_EQ(batch, (TPackets{{6, 0},   {9, 0},  {3, 0x9F},  {4, 0x86},  {5, 0x01}, {0, 0x4D},
                             {1, 0xC3}, {2, 0},  {47, 0},    {48, 0},    {49, 0},    {50, 0},
                             {8, 0x9A}, {12, 7}, {11, 1},    {15, 0},    {40, 1},    {41, 0}}))
      << "last address 99999, post-trigger 50000 - latency 3, divider 2";
  EXPECT_STREQ(velkemu_loaded_image(device), "BriskLF");
  EXPECT_EQ(LastError().code, 0) << LastError().text;
}

TEST_F(SetupTest, AnalyzerCases) {
  Attach("Brisk");
  uint8_t pattern[32];
  std::fill(pattern, pattern + 32, 2);
  pattern[0] = 1;
  pattern[1] = 0;

  VELK_CPBuffers(100000, 50000);
  VELK_CPSampling(0, 0, 0);
  DigitalTrigger(0, 0, 0, kDontCare);
  auto r = Registers(RunSetup());
  EXPECT_STREQ(velkemu_loaded_image(device), "Brisk200");
  EXPECT_EQ(std::make_tuple(r[3], r[4], r[5]), std::make_tuple(0x4F, 0xC3, 0x00)) << "49999";
  EXPECT_EQ(std::make_tuple(r[0], r[1], r[2]), std::make_tuple(0xA5, 0x61, 0x00)) << "24997";
  EXPECT_EQ(r[15], 0);
  EXPECT_EQ(r[11], 2) << "rising edge";

  VELK_CPSampling(0, 7, 0);
  DigitalTrigger(1, 0, 0, pattern);
  r = Registers(RunSetup());
  EXPECT_EQ(std::make_tuple(r[13], r[20], r[30], r[31]), std::make_tuple(1, 0, 0, 0));
  EXPECT_EQ(std::make_tuple(r[14], r[21], r[22], r[29]), std::make_tuple(0xFC, 0xFF, 0xFF, 0xFF));
  EXPECT_EQ(r[11], 4);

  DigitalTrigger(3, 2, 5, pattern);
  r = Registers(RunSetup());
  EXPECT_EQ(r[12], 5);
  EXPECT_EQ(r[11], 10) << "edge or pattern, either edge";

  VELK_CPEdgeCounter(1, 0, 9);
  VELK_CPSkip(5);
  DigitalTrigger(0, 1, 3, kDontCare);
  TPackets batch = RunSetup();
  r = Registers(batch);
  EXPECT_EQ(r[11], 11);
  EXPECT_EQ(r[42], 0xC3) << "the skip set-up replaces the edge counter's";
  EXPECT_EQ(std::make_tuple(r[43], r[44], r[45]), std::make_tuple(6, 0, 0));
  EXPECT_FALSE(Has(batch, 12));

  // External strobe: nothing counts after a trigger, no trigger registers;
  // the clock index of an earlier 200 MHz capture does not halve the memory.
  VELK_CPSampling(0, 0, 0);
  VELK_CPSkip(0);
  VELK_CPEdgeCounter(0, 0, 0);
  VELK_CPCaptureDelay(1000);
  VELK_CPSampling(2, 1, 0);
  batch = RunSetup();
  r = Registers(batch);
  EXPECT_EQ(std::make_tuple(r[0], r[1], r[2]), std::make_tuple(0, 0, 0));
  EXPECT_EQ(std::make_tuple(r[47], r[48], r[49], r[50]), std::make_tuple(0, 0, 0, 0));
  EXPECT_EQ(r[15], 0x10);
  EXPECT_EQ(std::make_tuple(r[3], r[4], r[5]), std::make_tuple(0x9F, 0x86, 0x01)) << "99999";
  EXPECT_FALSE(Has(batch, 11));
  EXPECT_FALSE(Has(batch, 12));
  EXPECT_STREQ(velkemu_loaded_image(device), "BriskLF");
}

TEST_F(SetupTest, AnalyzerReadOutRestoresTheClockMode) {
  Attach("Brisk");
  VELK_CPBuffers(1000, 500);
  VELK_CPSampling(0, 2, 0);
  RunSetup();
  VELK_CPSampling(0, 7, 0); // stored, not sent: the read-out restores what was set up
  velkemu_log_clear();
  std::vector<uint32_t> samples(1000);
  VELK_GetDataD(samples.data());
  std::vector<TTransfer> writes = Log(VELKEMU_OP_WRITE);
  ASSERT_GE(writes.size(), 2u);
  EXPECT_EQ(Packets(writes.front().data), (TPackets{{15, 0x40}}));
  EXPECT_EQ(Packets(writes.back().data), (TPackets{{15, 1}}));
}

TEST_F(SetupTest, ScopeLevelsGainsAndTriggerModes) {
  Attach("Dorian");
  VELK_CPBuffers(2000, 1000);
  VELK_CPSampling(0, 6, 0);
  VELK_CPGain(4, 2);
  AnalogTrigger(0, 0);
  VELK_CPThresholdA(20, 2);
  auto r = Registers(RunSetup());
  EXPECT_EQ(r[52], 148);
  EXPECT_EQ(r[51], 141);
  EXPECT_EQ(r[11], 13);
  AnalogTrigger(0, 1);
  r = Registers(RunSetup());
  EXPECT_EQ(r[52], 155);
  EXPECT_EQ(r[51], 148);
  EXPECT_EQ(r[11], 12);

  VELK_CPGain(5, 2);
  VELK_CPCoupling(0, 1);
  AnalogTrigger(2, 0);
  r = Registers(RunSetup());
  EXPECT_EQ(r[33], 0x01);
  EXPECT_EQ(r[32], 0x21);
  EXPECT_EQ(r[36], 0x01) << "channel A AC";
  EXPECT_EQ(r[11], 17) << "external input";
  EXPECT_EQ(std::make_tuple(r[40], r[41]), std::make_tuple(4, 0)) << "2 MHz: divider 5";
  EXPECT_EQ(LastError().code, 0) << LastError().text;

  VELK_CPSampling(0, 0, 0);
  VELK_CPProbeComp(1);
  r = Registers(RunSetup());
  EXPECT_STREQ(velkemu_loaded_image(device), "Dorian200");
  EXPECT_EQ(r[32], 0x61) << "interleave bit";
  EXPECT_EQ(r[15], 0x20);
  EXPECT_EQ(std::make_tuple(r[3], r[4], r[5]), std::make_tuple(0xE7, 0x03, 0x00)) << "999";
}

TEST_F(SetupTest, TwelveBitScopeBatch) {
  Attach("Dorian-12");
  VELK_CPBuffers(10000, 2000);
  VELK_CPSampling(0, 3, 0);
  VELK_CPGain(3, 1);
  VELK_CPCoupling(1, 1);
  AnalogTrigger(0, 0);
  VELK_CPThresholdA(-100, 3);
  VELK_CPCaptureDelay(70000);
  VELK_CPExtTrig(1);
  TPackets batch = RunSetup();
  EXPECT_EQ(batch,
            (TPackets{{6, 0},    {9, 0},    {3, 0x0F},  {4, 0x27},  {5, 0},   {0, 0x3D},
                      {1, 0x1F}, {2, 0},    {33, 0x01}, {36, 0},    {32, 0x10}, {11, 0x01},
                      {51, 0x9C}, {52, 0xFF}, {53, 0xCF}, {54, 0xFE}, {17, 0x70}, {18, 0x11},
                      {19, 0x01}, {20, 0},   {41, 10},   {40, 3},    {15, 1},  {21, 1},
                      {22, 0},    {23, 0}}))
      << "post-trigger 8000 - 3, upper -100, lower -305, divider 2";
  EXPECT_EQ(LastError().code, 0) << LastError().text;
}

TEST_F(SetupTest, FenwickSetsTheTopBitOfThePostTriggerCount) {
  Attach("Fenwick");
  VELK_CPBuffers(10000, 2000);
  VELK_CPSampling(0, 3, 0);
  AnalogTrigger(0, 0);
  auto r = Registers(RunSetup());
  EXPECT_EQ(std::make_tuple(r[0], r[1], r[2]), std::make_tuple(0x3D, 0x1F, 0x80));
}

TEST_F(SetupTest, CombinedModelCases) {
  Attach("Cobalt");
  uint8_t pattern[32];
  std::fill(pattern, pattern + 32, 2);
  pattern[3] = 1;
  VELK_CPBuffers(4000, 1000);
  VELK_CPSampling(0, 8, 0);
  VELK_CPSkip(5);
  DigitalTrigger(2, 0, 1, pattern);
  auto r = Registers(RunSetup());
  EXPECT_EQ(std::make_tuple(r[54], r[55], r[56]), std::make_tuple(5, 0, 0));
  EXPECT_EQ(r[11], 6);
  DigitalTrigger(3, 0, 1, pattern);
  r = Registers(RunSetup());
  EXPECT_EQ(std::make_tuple(r[54], r[55], r[56]), std::make_tuple(0, 0, 0));
  EXPECT_EQ(r[11], 9);

  AnalogTrigger(2, 0);
  r = Registers(RunSetup());
  EXPECT_EQ(r[11], 16) << "external input, rising";

  VELK_CPSampling(1, 0, 0);
  r = Registers(RunSetup());
  EXPECT_EQ(r[15], 0x10);
  for (const TTransfer &t : Log(VELKEMU_OP_WRITE))
    EXPECT_NE(t.data, Bytes({0x41, 0x44, 0x43, 0x0A, 0x01, 0x00, 0x00})) << "no ready poll";
}

TEST_F(SetupTest, CombinedModelLongestBatchLeavesWholeAndInOrder) {
  Attach("Cobalt");
  uint8_t pattern[32];
  std::fill(pattern, pattern + 32, 2);
  pattern[0] = 1;
  pattern[9] = 0;
  VELK_CPBuffers(0x20000, 0x10000);
  VELK_CPSampling(0, 10, 0);
  VELK_CPGain(1, 6);
  VELK_CPEdgeCounter(1, 1, 4);
  VELK_CPSkip(3);
  VELK_CPCaptureDelay(0x01020304);
  VELK_CPThresholdD(77);
  DigitalTrigger(2, 1, 2, pattern);
  velkemu_log_clear();
  VELK_CPSet();
  EXPECT_EQ(LastError().code, 0) << LastError().text;
  TPackets batch = SetupBatch();
  EXPECT_EQ(batch,
            (TPackets{{6, 0},    {9, 0},    {3, 0xFF},  {4, 0xFF}, {5, 0x01}, {0, 0xFD},
                      {0x01, 0xFF}, {2, 0}, {33, 0x02}, {36, 0x03}, {32, 0x21}, {52, 128},
                      {51, 128}, {53, 0},   {47, 0x04}, {48, 0x03}, {49, 0x02}, {50, 0x01},
                      {42, 0x44}, {8, 77},  {12, 2},    {13, 0x01}, {20, 0},  {14, 0xFE},
                      {21, 0xFD}, {11, 5},  {54, 3},    {55, 0},   {56, 0},   {15, 0},
                      {40, 99},  {41, 0}}))
      << "32 packets in one transfer";
  EXPECT_EQ(batch.size(), 32u);
}

TEST_F(SetupTest, CombinedModelSetsBankLengthBeforeAnySetup) {
  Attach("Cobalt");
  std::vector<uint8_t> data(4096);
  VELK_ReadRAM(1, data.data(), 4096);
  std::vector<TTransfer> writes = Log(VELKEMU_OP_WRITE);
  ASSERT_GE(writes.size(), 2u);
  EXPECT_EQ(Packets(writes[0].data), (TPackets{{3, 0xFF}, {4, 0x0F}, {5, 0x00}}));
  EXPECT_EQ(writes[1].data, Bytes({0x41, 0x44, 0x43, 0x1A, 0x00, 0x10, 0x00}));
}

TEST_F(SetupTest, PenScopeCases) {
  Attach("Ardent");
  VELK_CPBuffers(5000, 1000);
  VELK_CPSampling(0, 3, 0);
  VELK_CPGain(6, 0);
  VELK_CPCoupling(1, 0);
  AnalogTrigger(0, 1);
  VELK_CPThresholdA(-10, 1);
  TPackets batch = RunSetup();
  EXPECT_EQ(batch, (TPackets{{6, 0},  {9, 0},  {3, 0x87}, {4, 0x13}, {5, 0},   {0, 0x9D},
                             {1, 0x0F}, {2, 0},  {33, 1},   {36, 0},    {32, 2},  {22, 122},
                             {28, 118}, {11, 3}, {15, 0},   {40, 0},    {41, 0}}))
      << "post-trigger 4000 - 3; levels -10 / 1.011 = -10 (+4 falling)";
  EXPECT_STREQ(velkemu_loaded_image(device), "ArdentLF");
  EXPECT_EQ(LastError().code, 0) << LastError().text;
}

} // namespace
