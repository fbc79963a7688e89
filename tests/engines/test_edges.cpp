// Edge counts and the logic status bar's readout texts.
#include "edges.h"

#include <gtest/gtest.h>

#include <limits>
#include <string>
#include <vector>

namespace {

int32_t ClockItems(int32_t selector) {
  return selector == 0x204 ? 1000000 : 0;
}
int32_t HardwareEdges() {
  return 100;
}

const QLocale kC = QLocale::c();

// Channel 2: 0 1 1 0 1 0 0 1 — rising at 0, 3, 6, falling at 2, 4. Channel 0
// toggles at every sample and channel 3 is always high, to show only channel 2
// is counted.
struct TCapture : TVELK {
  TCapture() {
    const int ch2[] = {0, 1, 1, 0, 1, 0, 0, 1};
    for (int i = 0; i < 8; ++i)
      DigitalSamples[0].push_back(static_cast<uint32_t>(ch2[i] << 2 | (i & 1) | 8));
    BuffLength = 8;
    Lib.GetClockItems = ClockItems;
    SamplingRate = 4;
  }
};

TEST(EdgeCounts, CountEdges) {
  TCapture r;
  struct {
    uint32_t BuffLength;
    int64_t From, To;
    int Channel, Type;
    int64_t Count;
  } const cases[] = {
      {8, 0, 8, 2, 0, 3},    {8, 0, 8, 2, 1, 2},     {8, 0, 6, 2, 0, 2}, // i < to
      {8, 3, 4, 2, 0, 1},    {8, 4, 4, 2, 0, 0},     {8, 6, 2, 2, 0, 0},
      {7, 0, 8, 2, 0, 2},                            // i + 1 must lie inside the record
      {8, -5, 100, 2, 0, 3}, {100, 0, 100, 2, 0, 3}, // bounded by the buffer
      {8, 0, 8, 3, 0, 0},    {8, 0, 8, 0, 0, 4},     {8, 0, 8, 0, 1, 3},
      {8, 0, 8, 40, 0, 0},   {8, 0, 8, -1, 0, 0},    {8, 0, 8, 2, 2, 0}, // no such channel or type
      {0, 0, 8, 2, 0, 0},
  };
  for (const auto &c : cases) {
    r.BuffLength = c.BuffLength;
    EXPECT_EQ(CountEdges(r, c.From, c.To, c.Channel, c.Type), c.Count)
        << c.BuffLength << " [" << c.From << ", " << c.To << ") ch " << c.Channel << " type "
        << c.Type;
  }
  r.BuffLength = 8;
  r.ActiveDigitalTab = 1; // not created
  EXPECT_EQ(CountEdges(r, 0, 8, 2, 0), 0);
}

TEST(EdgeCounts, AfterACapture) {
  struct {
    bool On;
    uint8_t Type;
    uint32_t TriggerAt, BuffLength;
    int32_t Before, After;
  } const cases[] = {
      {false, 0, 3, 8, 0, 0},           {true, 0, 3, 8, 101, 2}, // [3, 6) + hardware, [3, 7)
      {true, 1, 3, 8, 101, 1},          {true, 0, 0, 8, 101, 3},
      {true, 0, 3, 0, 100, 0},          // empty record: BuffLength − 1 does not wrap
      {true, 0, 0xFFFFFFFF, 8, 100, 0}, // TriggerAt + 3 does not wrap
  };
  for (const auto &c : cases) {
    TCapture r;
    r.Lib.GetEdgeCount = HardwareEdges;
    r.EdgesBeforeTrigger = r.EdgesAfterTrigger = 77;
    r.EdgeCounter = c.On;
    r.EdgeCounterCh = 2;
    r.EdgeCountType = c.Type;
    r.TriggerAt = c.TriggerAt;
    r.BuffLength = c.BuffLength;
    ComputeEdgeCounts(r);
    EXPECT_EQ(r.EdgesBeforeTrigger, c.Before) << c.TriggerAt << " " << c.BuffLength;
    EXPECT_EQ(r.EdgesAfterTrigger, c.After) << c.TriggerAt << " " << c.BuffLength;
  }
  TCapture r;
  r.EdgeCounter = true;
  r.EdgeCounterCh = 2;
  r.TriggerAt = 0;
  ComputeEdgeCounts(r); // no library: no hardware count
  EXPECT_EQ(r.EdgesBeforeTrigger, 1);
  ComputeEdgeCounts(r, std::numeric_limits<int32_t>::max());
  EXPECT_EQ(r.EdgesBeforeTrigger, std::numeric_limits<int32_t>::max());
}

TEST(LogicReadouts, DistancesAndPositions) {
  TCapture r;
  r.EdgeCounterCh = 2;
  r.TriggerAt = 100;
  struct {
    uint8_t ClockSource;
    int64_t P1, P2;
    char Mode;
    const char *Expected;
  } const cases[] = {
      {0, 10, 10, 't', "0s"},   {0, 10, 10, 'f', "Inf Hz"}, {0, 10, 10, 's', "0"},
      {0, 10, 60, 't', "50µs"}, {0, 60, 10, 't', "50µs"},   {0, 10, 60, 'f', "20kHz"},
      {0, 60, 10, 's', "50"},   {0, 0, 8, 'e', "3"},        {0, 8, 0, 'e', "3"},
      {1, 10, 60, 't', "50"},   {2, 10, 60, 'f', "50"}, // no time base: samples
      {0, 10, 60, 'q', ""},
  };
  for (const auto &c : cases) {
    r.ClockSource = c.ClockSource;
    EXPECT_EQ(LogicDistanceText(r, c.P1, c.P2, c.Mode, kC).toStdString(), c.Expected)
        << c.P1 << " " << c.P2 << " " << c.Mode << " clock " << int(c.ClockSource);
  }
  r.ClockSource = 0;
  EXPECT_EQ(LogicCursorText(r, 80, 't', kC).toStdString(), "-20µs");
  EXPECT_EQ(LogicCursorText(r, 80, 's', kC).toStdString(), "80");
  EXPECT_EQ(BufferSizeText(r, 't', kC).toStdString(), "8µs");
  EXPECT_EQ(BufferSizeText(r, 's', kC).toStdString(), "8");
  r.ClockSource = 2;
  EXPECT_EQ(LogicCursorText(r, 80, 't', kC).toStdString(), "80");

  TVELK unbound; // no clock known: samples rather than a division by zero
  EXPECT_EQ(LogicDistanceText(unbound, 10, 60, 't', kC).toStdString(), "50");
}

TEST(LogicReadouts, PrePostAndHints) {
  TCapture r;
  r.TriggerAt = 1;
  EXPECT_EQ(PrePostText(r, '%').toStdString(), "13%"); // 12.5 % rounds up
  EXPECT_EQ(PrePostText(r, 's').toStdString(), "1");
  r.BuffLength = 0;
  EXPECT_EQ(PrePostText(r, '%').toStdString(), "0%");
  r.ClockSource = 2;
  r.StopPosition = 4711;
  EXPECT_EQ(PrePostText(r, '%').toStdString(), "4711");

  EXPECT_TRUE(EdgeFieldHint(r).isEmpty());
  r.EdgeSkip = 5;
  EXPECT_EQ(EdgeFieldHint(r).toStdString(), "Edges skipped before trigger");
  r.EdgeCounter = true;
  r.EdgeCounterCh = 2;
  EXPECT_EQ(EdgeFieldHint(r).toStdString(),
            "Edge counter (asynchrous)\n  Type: rising\n  Channel: 3");
  r.EdgeCountType = 1;
  EXPECT_EQ(LogicDistanceHint(r, 'X', 'T', 'e').toStdString(),
            "Edges counted (synchrously) between cursors (XT)\n  Type: falling\n  Channel: 3");
  EXPECT_EQ(LogicDistanceHint(r, 'X', 'Y', 'f').toStdString(), "Frequency (XY)");
}

} // namespace
