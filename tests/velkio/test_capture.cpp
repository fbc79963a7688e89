// End-to-end captures through the exports against the emulator: what the
// library reads back must be the signal the emulator generated, with the
// trigger where the host asked for it.
#include "fixture.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <thread>

using namespace velktest;

namespace {

using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

class CaptureTest : public LibraryTest {
protected:
  // One instrument with exact samples and instant captures, behind a fresh
  // library (a second model's driver would otherwise join the first).
  void Bench(const char *model, const char *signals = nullptr) {
    VELK_FreeDriver();
    VELK_InitDriver();
    SetPath(BinDir());
    Attach(model);
    velkemu_set_speed(0);
    velkemu_set_noise(0);
    ASSERT_EQ(velkemu_set_signals(signals), 0) << signals;
  }

  // Programs the stored parameters, polls until the capture is complete and
  // stops it, as the capture worker does.
  bool Run() {
    VELK_CPSet();
    if (LastError().code != 0) {
      ADD_FAILURE() << "set-up: " << LastError().text;
      return false;
    }
    VELK_StartCapture();
    const auto deadline = Clock::now() + milliseconds(1500);
    while (!(VELK_ReadStatus() & 0x01)) {
      if (Clock::now() > deadline) {
        ADD_FAILURE() << "not complete; status " << int(VELK_ReadStatus());
        return false;
      }
      std::this_thread::sleep_for(milliseconds(1));
    }
    VELK_StopCapture();
    return true;
  }

  velkemu_capture Info() {
    velkemu_capture c{};
    velkemu_get_capture(device, &c);
    return c;
  }

  // Time of sample i of the host's buffer, in signal time.
  static double TimeOf(const velkemu_capture &c, int32_t i) {
    return c.phase + double(c.first_sample + i) / c.sample_rate;
  }
};

void AnalogTrigger(uint8_t source, uint8_t edge) {
  VELK_CPTrigger(0, &source, &edge, nullptr, nullptr);
}

void DigitalTrigger(uint8_t condition, uint8_t edge, uint8_t channel, const uint8_t *pattern) {
  VELK_CPTrigger(1, &condition, &edge, &channel, pattern);
}

// Pattern bytes: channels 0..7 as the bits of value, all others don't care.
std::vector<uint8_t> LowBytePattern(uint8_t value) {
  std::vector<uint8_t> p(32, 2);
  for (int c = 0; c < 8; ++c)
    p[c] = value >> c & 1;
  return p;
}

// Rising (or falling) crossings of level in a stretch of samples.
template <typename T>
std::vector<int32_t> Crossings(const std::vector<T> &v, T level, bool rising) {
  std::vector<int32_t> at;
  for (size_t i = 1; i < v.size(); ++i)
    if (rising ? v[i - 1] < level && v[i] >= level : v[i - 1] > level && v[i] <= level)
      at.push_back(int32_t(i));
  return at;
}

// ---- the analog models ----

TEST_F(CaptureTest, AnalogModelsRecordTheGeneratedSignal) {
  // 1 MHz, a 1 kHz sine of 800 mV on A and a 1 kHz square of 400 mV on B, at
  // the 1000 mV gain: 8-bit codes 128 ± 102 and ± 51, 12-bit codes ± 1638 and ± 819.
  struct {
    const char *model;
    int clockIndex, gain;
    int zero, peakA, levelB;
    bool channelB, bothEdges;
  } cases[] = {
      {"Ardent", 6, 4, 128, 102, 0, false, true},
      {"Dorian", 7, 4, 128, 102, 51, true, true},
      {"Cobalt", 7, 4, 128, 102, 51, true, true},
      {"Dorian-12", 6, 3, 0, 1638, 819, true, false}, // its set-up takes 500 ms
  };
  const int32_t n = 10000, tp = 3000;
  for (auto &c : cases) {
    SCOPED_TRACE(c.model);
    Bench(c.model, "A=sine:1000:800,B=square:1000:400:0:90");
    for (uint8_t edge : {0, 1}) {
      if (edge && !c.bothEdges) continue;
      SCOPED_TRACE(edge ? "falling" : "rising");
      VELK_CPBuffers(n, tp);
      VELK_CPSampling(0, c.clockIndex, 0);
      VELK_CPGain(c.gain, c.gain);
      VELK_CPCoupling(1, 1);
      VELK_CPThresholdA(0, 0);
      AnalogTrigger(0, edge);
      ASSERT_TRUE(Run());
      std::vector<int32_t> a(n), b(n, -9999);
      VELK_GetADCDataA(a.data(), b.data());
      EXPECT_EQ(Info().sample_rate, 1e6);

      // The trigger: the level crossed, in the right direction, at the trigger position.
      if (edge == 0) {
        EXPECT_LT(a[tp - 1], c.zero);
        EXPECT_GE(a[tp], c.zero);
      } else {
        EXPECT_GT(a[tp - 1], c.zero);
        EXPECT_LE(a[tp], c.zero);
      }
      // Ten periods of 1000 samples, at the full amplitude.
      std::vector<int32_t> up = Crossings(a, c.zero, true);
      ASSERT_GE(up.size(), 9u);
      for (size_t i = 1; i < up.size(); ++i)
        EXPECT_NEAR(1000, up[i] - up[i - 1], 1);
      EXPECT_EQ(c.zero + c.peakA, *std::max_element(a.begin() + 1, a.end() - 1));
      EXPECT_EQ(c.zero - c.peakA, *std::min_element(a.begin() + 1, a.end() - 1));
      if (c.channelB) {
        for (int32_t i = 1; i < n - 1; ++i)
          ASSERT_TRUE(b[i] == c.zero + c.levelB || b[i] == c.zero - c.levelB) << i << " " << b[i];
        std::vector<int32_t> upB = Crossings(b, c.zero, true);
        ASSERT_GE(upB.size(), 9u);
        EXPECT_NEAR(250, (up[0] - upB[0] + 1000) % 1000, 1) << "a quarter period ahead";
      } else {
        EXPECT_EQ(-9999, b[5]) << "channel B left alone";
      }
      // The converted read-out gives the millivolts' share of the half scale.
      std::vector<float> mv(n);
      VELK_GetDataA(mv.data(), nullptr);
      double halfRange = c.zero ? 128 : 2048;
      EXPECT_NEAR(800 * halfRange / 1000, *std::max_element(mv.begin(), mv.end()), 1.0);
    }
  }
}

TEST_F(CaptureTest, CaptureDelayMovesTheTriggerEarlier) {
  Bench("Cobalt", "A=sine:1000:800");
  VELK_CPBuffers(10000, 8000);
  VELK_CPSampling(0, 7, 0);
  VELK_CPGain(4, 4);
  VELK_CPCoupling(1, 1);
  VELK_CPThresholdA(0, 0);
  AnalogTrigger(0, 0);
  VELK_CPCaptureDelay(2500);
  ASSERT_TRUE(Run());
  std::vector<int32_t> a(10000);
  VELK_GetADCDataA(a.data(), nullptr);
  EXPECT_EQ(Info().trigger_index, 8000 - 2500);
  EXPECT_LT(a[5499], 128);
  EXPECT_GE(a[5500], 128);
}

TEST_F(CaptureTest, ForcedTriggerCompletesACaptureThatNeverTriggers) {
  Bench("Dorian", "A=dc:0");
  velkemu_set_speed(0.2); // 1 MHz at 200 kHz: the pre-trigger part takes 10 ms
  VELK_CPBuffers(10000, 2000);
  VELK_CPSampling(0, 7, 0);
  VELK_CPThresholdA(50, 0);
  AnalogTrigger(0, 0);
  VELK_CPSet();
  ASSERT_EQ(LastError().code, 0) << LastError().text;
  VELK_StartCapture();
  const auto deadline = Clock::now() + milliseconds(1000);
  while (!(VELK_ReadStatus() & 0x80))
    ASSERT_LT(Clock::now(), deadline);
  VELK_ForceTrigger(); // writes the remembered mode back after 100 ms
  EXPECT_EQ(VELK_ReadStatus() & 0x0A, 0x0A) << "triggered, no delay";
  while (!(VELK_ReadStatus() & 0x01))
    ASSERT_LT(Clock::now(), deadline);
  velkemu_capture info = Info();
  EXPECT_TRUE(info.forced);
  EXPECT_EQ(info.trigger_index, 2000);
}

// At the fastest clock the two banks take turns: the host's buffer must be
// one continuous channel A (and, on the logic models, continuous samples).
TEST_F(CaptureTest, FastestClockInterleavesIntoOneContinuousChannel) {
  struct {
    const char *model;
    int gain;
    double codesPerMilliVolt;
    bool analog, logic;
  } cases[] = {
      {"Dorian", 4, 0.128, true, false},
      {"Cobalt", 4, 0.128, true, true},
      {"Brisk", 0, 0, false, true},
      {"Dorian-12", 3, 2.048, true, false},
  };
  const int32_t n = 4000, tp = 1000;
  for (auto &c : cases) {
    SCOPED_TRACE(c.model);
    // 5 MHz: 40 samples a period at 200 MHz (20 on the 12-bit scope's 100 MHz);
    // the logic channels count samples at 200 MHz.
    Bench(c.model, "A=sine:5e6:800,D0-D15=counter:2e8");
    VELK_CPBuffers(n, tp);
    VELK_CPSampling(0, 0, 0);
    VELK_CPGain(c.gain, c.gain);
    VELK_CPCoupling(1, 1);
    VELK_CPThresholdA(0, 0);
    AnalogTrigger(0, 0);
    std::vector<uint8_t> pattern(32, 2);
    if (!c.analog) DigitalTrigger(0, 0, 4, pattern.data());
    ASSERT_TRUE(Run());
    velkemu_capture info = Info();
    EXPECT_EQ(info.interleave, 2);
    EXPECT_NEAR(tp, info.trigger_index, 1);
    if (c.analog) {
      std::vector<int32_t> a(n);
      VELK_GetADCDataA(a.data(), nullptr);
      int zero = c.codesPerMilliVolt < 1 ? 128 : 0;
      for (int32_t i = 1; i < n - 1; ++i) {
        double mv = 800 * std::sin(2 * M_PI * 5e6 * TimeOf(info, i));
        ASSERT_NEAR(zero + mv * c.codesPerMilliVolt, a[i], 1.0) << "sample " << i;
      }
    }
    if (c.logic) {
      std::vector<uint32_t> d(n);
      VELK_GetDataD(d.data());
      uint32_t mask = c.analog ? 0xFF : 0xFFFF; // channels the fastest clock records
      for (int32_t i = 1; i < n - 1; ++i)
        ASSERT_EQ((uint32_t(info.first_sample) + uint32_t(i)) & mask, d[i]) << "sample " << i;
    }
  }
}

// ---- the logic models ----

TEST_F(CaptureTest, PatternTriggerFiresWhereThePatternFirstAppears) {
  // At 1 MHz the low byte counts milliseconds; the pre-trigger part ends at
  // sample 1500, where the count is 1.
  struct {
    const char *model;
    uint8_t value;
    int64_t trigger;
    uint32_t before;
  } cases[] = {
      {"Brisk", 0x2A, 42000, 0x29},
      {"Brisk", 0x01, 1500, 0x01}, // already there: the first sample that may trigger
      {"Cobalt", 0x2A, 42000, 0x29},
  };
  const int32_t n = 5000, tp = 1500;
  for (auto &c : cases) {
    SCOPED_TRACE(std::string(c.model) + " " + std::to_string(c.value));
    Bench(c.model, "D0-D7=counter:1000");
    VELK_CPBuffers(n, tp);
    VELK_CPSampling(0, 7, 0);
    DigitalTrigger(1, 0, 0, LowBytePattern(c.value).data());
    VELK_CPSkip(0);
    ASSERT_TRUE(Run());
    std::vector<uint32_t> d(n);
    VELK_GetDataD(d.data());
    EXPECT_EQ(Info().trigger_sample, c.trigger);
    EXPECT_EQ(d[tp] & 0xFF, c.value);
    EXPECT_EQ(d[tp - 1] & 0xFF, c.before);
  }
}

TEST_F(CaptureTest, SkippedEdgesMoveTheTrigger) {
  // D3 is a 1 kHz clock: at 1 MHz it rises every 1000 samples.
  const int32_t n = 5000, tp = 1000;
  std::vector<uint8_t> anything(32, 2);
  for (const char *model : {"Brisk", "Cobalt"}) {
    SCOPED_TRACE(model);
    Bench(model, "D3=clock:1000");
    for (uint8_t edge : {0, 1}) {
      for (int skip : {0, 4}) {
        SCOPED_TRACE(std::to_string(edge) + " skip " + std::to_string(skip));
        VELK_CPBuffers(n, tp);
        VELK_CPSampling(0, 7, 0);
        DigitalTrigger(0, edge, 3, anything.data());
        VELK_CPSkip(skip);
        ASSERT_TRUE(Run());
        std::vector<uint32_t> d(n);
        VELK_GetDataD(d.data());
        EXPECT_EQ(d[tp - 1] >> 3 & 1, edge == 0 ? 0u : 1u);
        EXPECT_EQ(d[tp] >> 3 & 1, edge == 0 ? 1u : 0u);
        // The trigger is the (skip + 1)-th such edge after the pre-trigger part.
        velkemu_capture info = Info();
        auto high = [&](int64_t k) {
          double cycles = (info.phase + double(k) / 1e6) * 1000;
          return cycles - std::floor(cycles) < 0.5;
        };
        int64_t k = info.samples - info.post_trigger;
        for (int edges = 0;; ++k)
          if (high(k) != high(k - 1) && high(k) == (edge == 0) && edges++ == skip) break;
        EXPECT_EQ(info.trigger_sample, k);
        EXPECT_EQ(info.trigger_index, tp);
      }
    }
  }
}

TEST_F(CaptureTest, EdgeCounterCountsTheEdgesOfItsChannel) {
  // D5 toggles every 50 samples; D6 never changes.
  const int32_t n = 5000, tp = 1000;
  std::vector<uint8_t> anything(32, 2);
  for (const char *model : {"Brisk", "Cobalt"}) {
    SCOPED_TRACE(model);
    Bench(model, "D0=clock:1000,D5=clock:10000,D6=high");
    for (uint8_t channel : {5, 6}) {
      for (uint8_t edge : {0, 1}) {
        SCOPED_TRACE("channel " + std::to_string(channel) + " edge " + std::to_string(edge));
        VELK_CPBuffers(n, tp);
        VELK_CPSampling(0, 7, 0);
        DigitalTrigger(0, 0, 0, anything.data());
        VELK_CPSkip(0);
        VELK_CPEdgeCounter(1, edge, channel);
        ASSERT_TRUE(Run());
        std::vector<uint32_t> d(n);
        VELK_GetDataD(d.data());
        auto counts = [&](uint32_t was, uint32_t is) {
          return was != is && is == (edge == 0 ? 1u : 0u);
        };
        int32_t seen = 0;
        for (int32_t i = tp + 1; i < n; ++i)
          seen += counts(d[i - 1] >> channel & 1, d[i] >> channel & 1);
        // The same from the signal: the edges after the trigger sample.
        velkemu_capture info = Info();
        auto level = [&](int64_t k) {
          double cycles = (info.phase + double(k) / 1e6) * 10000;
          return channel == 6 || cycles - std::floor(cycles) < 0.5 ? 1u : 0u;
        };
        int32_t expected = 0;
        for (int64_t k = info.trigger_sample + 1; k < info.recorded; ++k)
          expected += counts(level(k - 1), level(k));
        int32_t counted = VELK_GetEdgeCount();
        EXPECT_EQ(counted, expected);
        EXPECT_NEAR(counted, seen, 1); // the host's last sample is a copy
        EXPECT_EQ(counted == 0, channel == 6);
      }
    }
  }
}

TEST_F(CaptureTest, ExternalStrobeCaptureReportsItsStopPosition) {
  // The low byte counts at twice the external clock's 1 MHz: sampled on the
  // rising edges it reads 0, 2, 4..., on the falling ones 1, 3, 5...
  struct {
    const char *model;
    uint8_t clockEdge;
    uint32_t offset;
  } cases[] = {{"Brisk", 0, 0}, {"Brisk", 1, 1}, {"Cobalt", 0, 0}};
  const int32_t n = 20000;
  for (auto &c : cases) {
    SCOPED_TRACE(std::string(c.model) + " edge " + std::to_string(c.clockEdge));
    Bench(c.model, "D0-D7=counter:2000000,CLK=clock:1000000");
    VELK_CPBuffers(n, n / 2);
    // The external clock keeps the stored clock index, and at index 0 the
    // host would halve the memory and read it interleaved.
    VELK_CPSampling(0, 7, 0);
    VELK_CPSampling(2, 0, c.clockEdge);
    VELK_CPSet();
    ASSERT_EQ(LastError().code, 0) << LastError().text;
    VELK_StartCapture();
    EXPECT_EQ(VELK_ReadStatus() & 0x80, 0x80) << "the memory is full";
    VELK_StopCapture();
    EXPECT_EQ(VELK_GetStopPosition(), n);
    VELK_Clear();
    std::vector<uint32_t> d(n);
    VELK_GetDataD(d.data());
    for (int32_t i = 1; i < n - 1; ++i)
      ASSERT_EQ((2 * uint32_t(i) + c.offset) & 0xFF, d[i] & 0xFF) << "sample " << i;
  }
}

TEST_F(CaptureTest, ExternalStrobeStoppedEarlyHoldsWhatItRecorded) {
  Bench("Brisk", "D0-D7=counter:2000000,CLK=clock:1000000");
  velkemu_set_speed(0.01); // 10000 clocks a second
  const int32_t n = 100000;
  VELK_CPBuffers(n, n / 2);
  VELK_CPSampling(0, 7, 0);
  VELK_CPSampling(2, 0, 0);
  VELK_CPSet();
  VELK_StartCapture();
  int32_t position = 0;
  const auto until = Clock::now() + milliseconds(50);
  while (Clock::now() < until) {
    EXPECT_EQ(VELK_ReadStatus() & 0x80, 0);
    int32_t now = VELK_GetStopPosition();
    EXPECT_GE(now, position) << "the count only grows";
    position = now;
    std::this_thread::sleep_for(milliseconds(5));
  }
  VELK_StopCapture();
  position = VELK_GetStopPosition();
  EXPECT_GT(position, 100);
  EXPECT_LT(position, n / 2);
  VELK_Clear();
  std::vector<uint32_t> d(n);
  VELK_GetDataD(d.data());
  for (int32_t i = 1; i < position; ++i)
    ASSERT_EQ(2 * uint32_t(i) & 0xFF, d[i] & 0xFF) << "sample " << i;
}

// ---- failures ----

TEST_F(CaptureTest, SetupTimesOutWhenTheImageCannotRunTheClock) {
  Bench("Dorian");
  VELK_CPBuffers(1000, 500);
  VELK_CPSampling(0, 7, 0);
  VELK_CPSet();
  ASSERT_EQ(LastError().code, 0) << LastError().text;
  // Behind the library's back the instrument gets the base image, which
  // captures nothing; the library believes its own image is still there.
  ASSERT_EQ(velkemu_load_image(device, "Dorian"), 0);
  VELK_CPSet();
  EXPECT_EQ(LastError().code, 1);
  EXPECT_EQ(LastError().text, "Could not set capture parameters. Timeout.");
  VELK_StartCapture();
  EXPECT_EQ(VELK_ReadStatus(), 0) << "it never runs";
}

// Every call after an unplug returns at once (the library never waits out
// its 10 s transfer timeout) and the failure shows in the last error.
TEST_F(CaptureTest, UnpluggedInstrumentEndsEveryCallPromptly) {
  auto quick = [](const char *what, auto call) {
    auto begin = Clock::now();
    call();
    EXPECT_LT(Clock::now() - begin, milliseconds(500)) << what;
  };
  {
    SCOPED_TRACE("logic analyzer, during the read-out");
    Bench("Brisk");
    VELK_CPBuffers(50000, 1000);
    VELK_CPSampling(0, 7, 0);
    ASSERT_TRUE(Run());
    velkemu_fault_unplug_after(device, 3); // read-out mode, then bank 0's command and data
    std::vector<uint32_t> d(50000);
    quick("read-out", [&] { VELK_GetDataD(d.data()); });
    // The failed bank read says error 6; the read-out's last command, which
    // cannot even clear the bridge's queues, then says the device is gone.
    EXPECT_EQ(LastError().code, 1);
    EXPECT_EQ(LastError().text, "Communication error. Device not found.");
    quick("edge count", [] { EXPECT_EQ(VELK_GetEdgeCount(), 0); });
  }
  {
    SCOPED_TRACE("scope, during the capture");
    Bench("Dorian");
    velkemu_set_speed(0.01);
    VELK_CPBuffers(10000, 5000);
    VELK_CPSampling(0, 7, 0);
    VELK_CPSet();
    VELK_StartCapture();
    velkemu_fault_unplug_after(device, 0);
    quick("status", [] { EXPECT_EQ(VELK_ReadStatus(), 0); });
    EXPECT_EQ(LastError().code, 1) << "a poller can tell a lost instrument";
    quick("stop", [] { VELK_StopCapture(); });
    std::vector<float> a(10000), b(10000);
    quick("read-out", [&] { VELK_GetDataA(a.data(), b.data()); });
    quick("start", [] { VELK_StartCapture(); });
    // The start's failed write, then the check that finds the instrument gone.
    EXPECT_EQ(LastError().code, 1);
    EXPECT_EQ(LastError().text, "Communication error. Device not found.");
  }
}

} // namespace
