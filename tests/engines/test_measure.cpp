// Channel statistics, the frequency estimate and the oscilloscope's readout texts.
#include "measure.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <string>
#include <vector>

namespace {

constexpr double kRate = 1e6; // Hz of clock item 3

// A library that knows one clock, two gains and an 8-bit converter.
int32_t FakeClockItems(int32_t selector) {
  return selector == 0x203 ? static_cast<int32_t>(kRate) : 0;
}
int32_t FakeGainItems(int32_t selector) {
  return selector == 0x200 ? 1280 : selector == 0x201 ? 640 : 0;
}
int32_t FakeConfigItems(int32_t selector) {
  return selector == 0x200 ? 128 : 0;
}

const QLocale kC = QLocale::c();

std::string Str(const QString &s) {
  return s.toStdString();
}

struct TScope : TVELK {
  TScope() {
    Lib.GetClockItems = FakeClockItems;
    Lib.GetGainItems = FakeGainItems;
    Lib.GetConfigItems = FakeConfigItems;
    SamplingRate = 3;
    Probes[1].Divider = 10;
  }
  void SetA(const std::vector<float> &v) {
    SamplesA = v;
    BuffLength = static_cast<uint32_t>(v.size());
  }
};

std::vector<float> Sine(size_t n, double amplitude, double period) {
  std::vector<float> v(n);
  for (size_t i = 0; i < n; ++i)
    v[i] = static_cast<float>(amplitude * std::sin(2 * M_PI * static_cast<double>(i) / period));
  return v;
}

TEST(AnalogStats, ConstantSignalTimesProbeDivider) {
  struct {
    float Level;
    int32_t Probe;
    double Mean, Rms;
  } const cases[] = {{10, 1, 100, 100}, {-5, 0, -5, 5}, {0, 1, 0, 0}};
  for (const auto &c : cases) {
    TScope r;
    r.ProbeChA = c.Probe;
    r.SetA(std::vector<float>(1000, c.Level));
    ComputeAnalogStats(r);
    EXPECT_DOUBLE_EQ(r.StatsA.Mean, c.Mean) << c.Level;
    EXPECT_DOUBLE_EQ(r.StatsA.Rms, c.Rms) << c.Level;
    EXPECT_DOUBLE_EQ(r.StatsA.Min, c.Mean);
    EXPECT_DOUBLE_EQ(r.StatsA.Max, c.Mean);
    EXPECT_EQ(r.StatsA.Freq, 0);
    EXPECT_EQ(Str(MeasurementText(r, 'A', 'K', kC)), "0V");
  }
}

TEST(AnalogStats, RmsIncludesTheMeanAndExtremesAreExact) {
  TScope r;
  r.SetA({1, 3, -2, 6});
  ComputeAnalogStats(r);
  EXPECT_DOUBLE_EQ(r.StatsA.Mean, 2);
  EXPECT_DOUBLE_EQ(r.StatsA.Rms, std::sqrt((1 + 9 + 4 + 36) / 4.0));
  EXPECT_DOUBLE_EQ(r.StatsA.Min, -2);
  EXPECT_DOUBLE_EQ(r.StatsA.Max, 6);
}

// A sine of 100 codes peak to peak and 50 samples per period: r / 50 whether the
// buffer ends above the mean (rising edges) or below it (falling edges).
TEST(AnalogStats, FrequencyOfASineOnEitherEdge) {
  for (size_t n : {1000u, 1010u, 1023u, 1037u}) {
    TScope r;
    r.SetA(Sine(n, 50, 50));
    ComputeAnalogStats(r);
    EXPECT_DOUBLE_EQ(r.StatsA.Freq, kRate / 50) << n;
  }
  // The lengths above end on both sides of the mean.
  EXPECT_LT(Sine(1000, 50, 50).back(), 0);
  EXPECT_GT(Sine(1010, 50, 50).back(), 0);
}

// Square waves of ±60 codes and 40 samples per period (band ±20 around a mean
// of exactly 0) whose edges take two samples: on the band's borders, wobbling
// inside the band, and crossing a border twice. Each edge counts once, from its
// first crossing of the first border, so the estimate stays r / 40, whether the
// buffer ends high (rising edges) or low (falling edges).
TEST(AnalogStats, FrequencyOfEdgeShapes) {
  struct {
    float Rise[2], Fall[2];
  } const shapes[] = {
      {{-20, 20}, {20, -20}}, // samples exactly on the thresholds
      {{15, -15}, {-15, 15}}, // a wobble inside the band
      {{30, 10}, {-30, -10}}, // the first border crossed twice
  };
  for (const auto &shape : shapes)
    for (bool endsHigh : {false, true}) {
      std::vector<float> period(shape.Rise, shape.Rise + 2);
      period.insert(period.end(), 18, 60);
      period.insert(period.end(), shape.Fall, shape.Fall + 2);
      period.insert(period.end(), 18, -60);
      if (endsHigh) std::rotate(period.begin(), period.begin() + 20, period.end());
      std::vector<float> v;
      for (int i = 0; i < 10; ++i)
        v.insert(v.end(), period.begin(), period.end());
      TScope r;
      r.SetA(v);
      ComputeAnalogStats(r);
      ASSERT_EQ(r.StatsA.Mean, 0);
      EXPECT_DOUBLE_EQ(r.StatsA.Freq, kRate / 40) << shape.Rise[0] << " ends high " << endsHigh;
    }
}

TEST(AnalogStats, FrequencyUnknown) {
  TScope r;
  // 17 codes peak to peak: the band is below 3 codes.
  r.SetA(Sine(1000, 8.5, 50));
  ComputeAnalogStats(r);
  EXPECT_EQ(r.StatsA.Freq, 0);
  EXPECT_EQ(Str(MeasurementText(r, 'A', 'F', kC)), "?Hz");
  EXPECT_EQ(Str(MeasurementText(r, 'A', 'P', kC)), "?s");
  // A single edge: no second edge to measure against.
  std::vector<float> step(500, -50);
  step.insert(step.end(), 500, 50);
  r.SetA(step);
  ComputeAnalogStats(r);
  EXPECT_EQ(r.StatsA.Freq, 0);
}

// Over range means |v| strictly above 0.92 × half range, on either side and on
// either channel.
TEST(AnalogStats, OverrangeBoundary) {
  for (double halfRange : {128.0, 2048.0}) {
    const double limit = 0.92 * halfRange;
    float at = static_cast<float>(limit);
    if (at > limit) at = std::nextafter(at, 0.0f); // the largest sample not above the limit
    const float above = std::nextafter(at, 1e9f);
    struct {
      float Sample;
      bool Over;
    } const cases[] = {{at, false}, {-at, false}, {above, true}, {-above, true}};
    for (const auto &c : cases) {
      TScope r;
      r.SetA({0, c.Sample, 0});
      r.SamplesB = {0, 0, c.Sample};
      ComputeAnalogStats(r, halfRange, kRate);
      EXPECT_EQ(r.OverrangeA, c.Over) << halfRange << " " << c.Sample;
      EXPECT_EQ(r.OverrangeB, c.Over) << halfRange << " " << c.Sample;
    }
  }
}

TEST(AnalogStats, BoundedByTheBuffers) {
  TScope r;
  r.SamplesA = {4, 4};
  r.BuffLength = 1000; // longer than the buffer
  r.ProbeChA = 7;      // no such probe: divider 1
  r.StatsB.Mean = 99;  // no channel B: cleared
  r.OverrangeB = true;
  ComputeAnalogStats(r);
  EXPECT_DOUBLE_EQ(r.StatsA.Mean, 4);
  EXPECT_EQ(r.StatsB.Mean, 0);
  EXPECT_FALSE(r.OverrangeB);

  TVELK empty; // no library, no samples
  empty.BuffLength = 10;
  ComputeAnalogStats(empty);
  EXPECT_EQ(empty.StatsA.Mean, 0);
  EXPECT_EQ(empty.StatsA.Rms, 0);
  EXPECT_FALSE(empty.OverrangeA);
}

TEST(Measurements, TextsOfBothChannels) {
  TScope r;
  r.StatsA = {64, 128, -100, 156, 1e6};
  r.GainChB = 1;
  r.StatsB = {64, 0, 0, 0, 0};
  struct {
    char Channel, Type;
    const char *Expected;
  } const cases[] = {
      {'A', 'F', "1MHz"},  {'A', 'P', "1µs"},   {'A', 'A', "640mV"},
      {'A', 'R', "1.28V"}, {'A', 'K', "2.56V"}, {'B', 'A', "320mV"}, // channel B's own gain
      {'B', 'F', "?Hz"},   {'C', 'A', ""},      {'A', 'Q', ""},
  };
  for (const auto &c : cases)
    EXPECT_EQ(Str(MeasurementText(r, c.Channel, c.Type, kC)), c.Expected) << c.Channel << c.Type;
  EXPECT_STREQ(MeasurementShortName('K'), "Pk-Pk");
  EXPECT_EQ(Str(MeasurementHint('A', 'F')), "Frequency (channel A)");
  EXPECT_EQ(Str(MeasurementHint('B', 'R')), "RMS value (channel B)");
}

TEST(Measurements, Distances) {
  TScope r;
  TScopeMarkers m;
  m.PosX = 100;
  m.PosY = 150;
  m.PosZ = 100;
  m.TriggerPos = 120;
  m.LevelX = 40;
  m.LevelY = 60;
  m.TriggerLevel = 10;
  m.PositionA = 20;
  m.PositionB = 5;
  r.ProbeChA = 1; // divider 10
  r.GainChB = 1;
  struct {
    uint8_t ClockSource, TriggerSource;
    char C1, C2, Channel, Mode;
    const char *Expected;
  } const cases[] = {
      {0, 0, 'X', 'Y', 'A', 't', "50µs"},
      {0, 0, 'Y', 'X', 'A', 's', "50"},
      {0, 0, 'X', 'Y', 'A', 'f', "20kHz"},
      {0, 0, 'X', 'Z', 'A', 'f', "Inf Hz"},
      {0, 0, 'X', 'T', 'A', 't', "20µs"},
      {2, 0, 'X', 'Y', 'A', 't', "50"}, // strobe clock: samples in every mode
      {2, 0, 'X', 'Y', 'A', 'f', "50"},
      {2, 0, 'X', 'Z', 'A', 'f', "0"},
      // Voltage: the trigger channel's position comes off the cursor's level.
      {0, 0, 'X', 'T', 'A', 'V', "1V"},   // |(40 − 20) − 10| × 10 codes
      {0, 0, 'T', 'X', 'A', 'V', "1V"},   // either order
      {0, 1, 'X', 'T', 'A', 'V', "2.5V"}, // trigger on B: PositionB
      {0, 2, 'X', 'T', 'A', 'V', "3V"},   // external trigger: no position
      {0, 0, 'X', 'Y', 'B', 'V', "100mV"},
      {0, 0, 'X', 'Y', 'C', 'V', ""},
      {0, 0, 'X', 'Q', 'A', 't', ""},
  };
  for (const auto &c : cases) {
    r.ClockSource = c.ClockSource;
    r.TriggerSource = c.TriggerSource;
    EXPECT_EQ(Str(DistanceText(r, m, c.C1, c.C2, c.Channel, c.Mode, kC)), c.Expected)
        << c.C1 << c.C2 << c.Channel << c.Mode << " clock " << int(c.ClockSource);
  }
  EXPECT_EQ(Str(DistanceHint('X', 'T', 'A', 'V')), "Voltage (XT, channel A)");
  EXPECT_EQ(Str(DistanceHint('Y', 'Z', 'A', 's')), "Distance in samples (YZ)");

  TVELK unbound; // no clock known: no time or frequency rather than a division by zero
  EXPECT_EQ(Str(DistanceText(unbound, m, 'X', 'Y', 'A', 't', kC)), "?s");
  EXPECT_EQ(Str(DistanceText(unbound, m, 'X', 'Y', 'A', 'f', kC)), "?Hz");
}

TEST(Measurements, CursorPositions) {
  TScope r;
  r.TriggerAt = 120;
  TScopeMarkers m;
  m.PosX = 100; // left of the trigger
  m.PosY = 125;
  m.TriggerPos = 120;
  EXPECT_EQ(Str(CursorPositionText(r, m, 'X', 't', kC)), "-20µs");
  EXPECT_EQ(Str(CursorPositionText(r, m, 'Y', 't', kC)), "5µs");
  EXPECT_EQ(Str(CursorPositionText(r, m, 'X', 's', kC)), "100");
  EXPECT_EQ(Str(CursorPositionText(r, m, 'T', 't', kC)), "0s");
  EXPECT_EQ(Str(CursorPositionText(r, m, 'T', 's', kC)), "120");
}

TEST(Measurements, MultimeterRecord) {
  TScope r;
  r.StatsA = {-12.7, 13.9, -20, 20, 1e6};
  r.StatsB = {1e12, 5, 0, 0, 1e-7}; // a period of 10^7 s reads "2777:46:40"
  r.Colors.AnalogChA = 0x0000FF;
  r.Colors.AnalogChB = 0x00FF00;
  r.OverrangeB = true;
  const TMultimeterRecord rec = MultimeterRecord(r, 128, true, kC);
  EXPECT_STREQ(rec.TextsA[0], "1MHz");
  EXPECT_STREQ(rec.TextsA[1], "1\xB5s"); // µ as one 8-bit character
  EXPECT_STREQ(rec.TextsB[1], "2777:46:4");
  EXPECT_EQ(rec.MeanA, 12);
  EXPECT_EQ(rec.RmsA, 13);
  EXPECT_EQ(rec.MeanB, 2147483647); // beyond 32 bits: clamped, not undefined
  EXPECT_EQ(rec.RmsB, 5);
  EXPECT_EQ(rec.ColorA, 0x0000FFu);
  EXPECT_EQ(rec.ColorB, 0x00FF00u);
  EXPECT_EQ(rec.OverrangeA, 0);
  EXPECT_EQ(rec.OverrangeB, 1);
  EXPECT_EQ(rec.HalfRange, 128);
  EXPECT_EQ(rec.ChannelB, 1);
  const auto *bytes = reinterpret_cast<const uint8_t *>(&rec);
  EXPECT_EQ(bytes[126] | bytes[127] | bytes[133] | bytes[134] | bytes[135], 0);
  uint32_t le = 0;
  std::memcpy(&le, bytes + 116, 4);
  EXPECT_EQ(le, 0x0000FFu);
}

} // namespace
