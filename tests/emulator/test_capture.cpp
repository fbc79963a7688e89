// Captures as the host programs them register by register: the clock each
// image provides, the decoded front end and counts, the status sequence, the
// memory layout and the trigger conditions.
#include "emu_test_support.h"

#include <chrono>
#include <cmath>
#include <thread>
#include <utility>

namespace {

using Clock = std::chrono::steady_clock;
using Capture = TCaptureTest;

// ---- what the registers select ----

TEST_F(Capture, ClockComesFromTheImageAndTheRegisters) {
  struct {
    const char *model, *image;
    TRegs regs;
    double rate; // 0: the image does not provide it
    int interleave, external;
  } cases[] = {
      {"Brisk", "Brisk200", {{15, 0}}, 200e6, 2, 0},
      {"Brisk", "BriskHF", {{15, 1}}, 50e6, 1, 0},
      {"Brisk", "BriskHF", {{15, 3}}, 0, 1, 0},
      {"Brisk", "BriskLF", {{15, 0}, {40, 4}, {41, 0}}, 2e6, 1, 0},
      {"Brisk", "BriskLF", {{15, 0}, {40, 0x4F}, {41, 0xC3}}, 200, 1, 0},
      {"Brisk", "BriskLF", {{15, 0x90}}, 1e6, 1, 2},
      {"Brisk", "BriskLF", {{15, 2}}, 0, 1, 0},
      {"Brisk", "Brisk", {{15, 0}}, 0, 1, 0},
      {"Dorian", "Dorian200", {{15, 0}, {32, 0x40}}, 200e6, 2, 0},
      {"Dorian", "Dorian200", {{15, 0}, {32, 0x00}}, 0, 1, 0},
      {"Dorian", "DorianHF", {{15, 0x22}}, 20e6, 1, 0},
      {"Dorian", "DorianHF", {{15, 0}, {32, 0x40}}, 0, 1, 0},
      {"Dorian", "DorianLF", {{15, 0x20}, {40, 9}}, 1e6, 1, 0},
      {"Dorian", "DorianLF", {{15, 0x10}}, 1e6, 1, 1},
      {"Cobalt", "Cobalt200", {{15, 0}, {32, 0x40}, {53, 1}}, 200e6, 2, 0},
      {"Cobalt", "Cobalt200", {{15, 0}, {32, 0x40}, {53, 0}}, 0, 1, 0},
      {"Cobalt", "CobaltHF", {{15, 0}, {53, 1}}, 0, 1, 0},
      {"Ardent", "ArdentHF", {{15, 0}}, 100e6, 1, 0},
      {"Ardent", "ArdentLF", {{15, 0}, {40, 0xE7}, {41, 0x03}}, 10e3, 1, 0},
      {"Ardent", "ArdentLF", {{15, 0x10}}, 0, 1, 0},
      {"Ardent", "Ardent", {{15, 1}}, 0, 1, 0},
      {"Dorian-12", "Dorian-12", {{15, 0}, {32, 0x40}}, 100e6, 2, 0},
      {"Dorian-12", "Dorian-12", {{15, 0}}, 50e6, 1, 0},
      {"Dorian-12", "Dorian-12", {{15, 1}}, 20e6, 1, 0},
      {"Fenwick", "Dorian-12", {{15, 1}, {21, 0x3F}, {22, 0x0D}, {23, 0x03}}, 100, 1, 0},
      {"Dorian-12", "Dorian-12", {{15, 1}, {32, 0x40}}, 0, 1, 0},
  };
  for (auto &c : cases) {
    SCOPED_TRACE(std::string(c.image) + " " + ::testing::PrintToString(c.regs));
    Use(c.model, c.image);
    Memory(1000, 500);
    Set(c.regs);
    velkemu_capture info = Info();
    EXPECT_EQ(c.rate > 0, info.runnable == 1);
    if (c.rate > 0) {
      EXPECT_DOUBLE_EQ(c.rate, info.sample_rate);
      EXPECT_EQ(c.interleave, info.interleave);
      EXPECT_EQ(c.external, info.external_clock);
      EXPECT_EQ(0x40, Status()) << "ready";
    } else {
      EXPECT_EQ(0, Status());
      Start();
      EXPECT_EQ(0, Status()) << "a clock the image lacks never runs";
      EXPECT_EQ(VELKEMU_CAPTURE_IDLE, Info().state);
    }
    FT_Close(h);
  }
}

TEST_F(Capture, FrontEndAndCountsAreDecodedPerModel) {
  struct {
    const char *model, *image;
    TRegs regs;
    int gainA, gainB, couplingA, couplingB;
    int64_t samples, post, latency;
  } cases[] = {
      // 8-bit: range bit adds 4, register 32 bits 0-1 and 4-5; 36 bit set = AC.
      {"Dorian", "DorianLF", {{33, 1}, {32, 0x21}, {36, 2}}, 5, 2, 1, 0, 1000, 103, 3},
      {"Cobalt", "CobaltLF", {{33, 2}, {32, 0x33}, {36, 1}}, 3, 7, 0, 1, 1000, 103, 3},
      {"Ardent", "ArdentLF", {{33, 1}, {32, 2}, {36, 1}}, 6, 0, 0, 1, 1000, 103, 3},
      // Interleaved: half the positions, twice the samples.
      {"Dorian", "Dorian200", {{32, 0x40}}, 0, 0, 1, 1, 2000, 206, 6},
      // 12-bit: range bit adds 3; the post-trigger count leaves out the
      // pipeline delay of the clock, except for the external input.
      {"Dorian-12", "Dorian-12", {{33, 3}, {32, 0x12}, {15, 0}}, 5, 4, 1, 1, 1000, 106, 6},
      {"Dorian-12", "Dorian-12", {{15, 1}}, 0, 0, 1, 1, 1000, 105, 5},
      {"Dorian-12", "Dorian-12", {{15, 1}, {21, 1}}, 0, 0, 1, 1, 1000, 103, 3},
      {"Dorian-12", "Dorian-12", {{15, 1}, {21, 19}}, 0, 0, 1, 1, 1000, 102, 2},
      {"Dorian-12", "Dorian-12", {{15, 1}, {21, 39}}, 0, 0, 1, 1, 1000, 101, 1},
      {"Dorian-12", "Dorian-12", {{15, 1}, {11, 0x40}}, 0, 0, 1, 1, 1000, 100, 0},
      {"Fenwick", "Dorian-12", {{15, 1}, {2, 0x80}}, 0, 0, 1, 1, 1000, 105, 5},
  };
  for (auto &c : cases) {
    SCOPED_TRACE(std::string(c.model) + " " + ::testing::PrintToString(c.regs));
    Use(c.model, c.image);
    Memory(1000, 100);
    Set(c.regs);
    velkemu_capture info = Info();
    ASSERT_TRUE(info.runnable);
    EXPECT_EQ(c.gainA, info.gain_a);
    EXPECT_EQ(c.gainB, info.gain_b);
    EXPECT_EQ(c.couplingA, info.coupling_a);
    EXPECT_EQ(c.couplingB, info.coupling_b);
    EXPECT_EQ(c.samples, info.samples);
    EXPECT_EQ(c.post, info.post_trigger);
    EXPECT_EQ(c.latency, info.latency);
    FT_Close(h);
  }
}

// ---- the status sequence ----

TEST_F(Capture, StatusBitsAccumulateThroughTheCapture) {
  Use("Dorian", "DorianLF");
  velkemu_hold_time(1); // every step below is one sample of simulated time
  Memory(4000, 2000);
  Set({{15, 0}, {40, 9}, {41, 0}, {11, 0}}); // mode 0 never triggers
  Set({{47, 0xE8}, {48, 0x03}});             // delay 1000
  EXPECT_EQ(0x40, Status());
  Start();
  EXPECT_EQ((std::vector<int>{0x40, 0xC0}), StepUntil(0x80, 4000)) << "the pre-trigger part fills";
  velkemu_advance(0, 100000);
  EXPECT_EQ(0xC0, Status()) << "no trigger comes";

  Set({{11, 18}, {11, 0}}); // forced (past the pre-trigger part: at once), mode back
  std::vector<int> seen = StepUntil(0x01, 10000);
  EXPECT_EQ((std::vector<int>{0xC2, 0xCA, 0xCB}), seen) << "triggered, delay over, complete";
  for (size_t i = 1; i < seen.size(); ++i)
    EXPECT_EQ(seen[i], seen[i] | seen[i - 1]) << "bits only add up";
  velkemu_capture info = Info();
  EXPECT_EQ(VELKEMU_CAPTURE_COMPLETE, info.state);
  EXPECT_TRUE(info.forced);
  EXPECT_EQ(1000, info.delay);
  EXPECT_EQ(4000 - 2003 - 1000, info.trigger_index) << "the delay moves the trigger earlier";
  Set({{6, 0}});
  EXPECT_EQ(0xCB, Status()) << "stopping keeps the bits";
  Set({{9, 0}});
  EXPECT_EQ(0x40, Status()) << "arm = 0 clears them";
}

// With an external clock 0x80 means the whole memory is full, not just the
// pre-trigger part; registers 0..2 read back how many clocks came.
TEST_F(Capture, ExternalClockReportsAFullMemoryAndItsClockCount) {
  Use("Brisk", "BriskLF");
  velkemu_hold_time(1);
  Memory(1000, 500);
  Set({{15, 0x10}, {11, 0}});
  Start();
  velkemu_advance(0, 700);
  EXPECT_EQ(0x40, Status()) << "past the pre-trigger part, the memory not yet full";
  EXPECT_EQ((std::vector<int>{0x40, 0xC0}), StepUntil(0x80, 1000));
  Set({{6, 0}});
  int64_t clocks = Info().recorded;
  EXPECT_GE(clocks, 1000);
  EXPECT_EQ(clocks, ReadReg(h, 2) << 16 | ReadReg(h, 1) << 8 | ReadReg(h, 0));
}

// The memory at any stop holds what was recorded, oldest first from address 0.
TEST_F(Capture, StopAtAnyPointKeepsStatusAndRecordedSamples) {
  struct {
    const char *when;
    bool waitForPreTrigger, force;
    int status;
  } cases[] = {{"filling the pre-trigger part", false, false, 0x40},
               {"waiting for the trigger", true, false, 0xC0},
               {"after the trigger", true, true, 0xCA}};
  for (auto &c : cases) {
    SCOPED_TRACE(c.when);
    Use("Brisk", "BriskLF", "D0-D7=counter:1000000"); // one count per sample
    velkemu_hold_time(1);
    Memory(1000, 500);
    Set({{15, 0}, {40, 9}, {41, 0}, {11, 0}});
    Start();
    velkemu_advance(0, 250); // half the pre-trigger part
    if (c.waitForPreTrigger) {
      ASSERT_EQ(0x80, StepUntil(0x80, 1000).back() & 0x80);
    }
    if (c.force) {
      Set({{11, 12}});
      ASSERT_EQ(0x0A, StepUntil(0x0A, 1000).back() & 0x0A);
    }
    Set({{6, 0}});
    velkemu_capture info = Info();
    EXPECT_EQ(VELKEMU_CAPTURE_STOPPED, info.state);
    EXPECT_EQ(c.status, Status());
    EXPECT_EQ(c.status, info.status);
    ASSERT_GT(info.recorded, 0);
    int64_t held = std::min<int64_t>(info.recorded, 1000);
    EXPECT_EQ(info.recorded - held, info.first_sample);
    TBytes bank = Bank(25, 1000);
    for (int64_t i = 0; i < held; ++i) {
      int64_t count = int64_t(std::floor((info.phase + double(info.first_sample + i) / 1e6) * 1e6));
      ASSERT_EQ(uint8_t(count), bank[i]) << "address " << i;
    }
    FT_Close(h);
  }
}

TEST_F(Capture, ForcedTriggerWaitsForThePreTriggerPart) {
  Use("Dorian-12", "Dorian-12");
  velkemu_hold_time(1);
  Memory(10000, 7000);
  Set({{15, 0}, {11, 0}});
  Start();
  Set({{11, 32}, {11, 0}}); // forced at once, the remembered mode right after
  ASSERT_EQ(0x01, StepUntil(0x01, 20000).back() & 0x01);
  velkemu_capture info = Info();
  EXPECT_TRUE(info.forced);
  EXPECT_EQ(10000 - 7006, info.trigger_sample) << "the first sample after the pre-trigger part";
  EXPECT_EQ(10000 - 7006, info.trigger_index);
}

// ---- what ends up in the banks ----

TEST_F(Capture, BanksHoldTheLastSamplesInTheHostsOrder) {
  // The logic channels carry the sample number; the host's read-out order
  // then reads back 0, 1, 2... from the first sample kept.
  struct {
    const char *model, *image;
    TRegs regs;
    double rate;
    int banks[4]; // bank holding bits 0-7, 8-15 of even samples, then of odd ones (-1: none)
    int positions;
  } cases[] = {
      {"Brisk", "BriskLF", {{15, 0}, {40, 9}}, 1e6, {25, 26, -1, -1}, 3000},
      {"Brisk", "Brisk200", {{15, 0}}, 200e6, {25, 26, 27, 28}, 3000},
      {"Cobalt", "CobaltLF", {{15, 0}, {40, 9}}, 1e6, {25, 26, -1, -1}, 3000},
      {"Cobalt", "Cobalt200", {{15, 0}, {32, 0x40}, {53, 1}}, 200e6, {25, -1, 26, -1}, 3000},
  };
  for (auto &c : cases) {
    SCOPED_TRACE(c.image);
    char signals[64];
    std::snprintf(signals, sizeof signals, "D0-D15=counter:%g", c.rate);
    Use(c.model, c.image, signals);
    Memory(c.positions, 1000);
    Set(c.regs);
    Set({{11, c.model[0] == 'B' ? 12 : 18}}); // forced: triggers once the pre-trigger part is in
    Start();
    ASSERT_EQ(0x01, Status() & 0x01);
    velkemu_capture info = Info();
    int ilv = info.interleave;
    EXPECT_EQ(c.positions * ilv, info.samples);
    EXPECT_EQ(info.samples - (1000 + 3) * ilv, info.trigger_index);
    EXPECT_EQ(info.trigger_sample + (1003) * ilv, info.recorded);
    std::vector<TBytes> banks(4);
    for (int b = 0; b < 4; ++b)
      if (c.banks[b] > 0) banks[b] = Bank(c.banks[b], c.positions);
    for (int j = 0; j < c.positions; ++j) {
      for (int half = 0; half < ilv; ++half) {
        int64_t k = info.first_sample + int64_t(j) * ilv + half;
        uint32_t expected = uint32_t(k) & (ilv == 2 && c.banks[3] < 0 ? 0xFF : 0xFFFF);
        uint32_t word = banks[2 * half][j];
        if (c.banks[2 * half + 1] > 0) word |= banks[2 * half + 1][j] << 8;
        ASSERT_EQ(expected, word) << "position " << j << " half " << half;
      }
    }
    FT_Close(h);
  }
}

// ---- trigger conditions ----

TEST_F(Capture, DigitalTriggerConditions) {
  // At 1 MHz D0 is a 1 kHz clock (high for samples 0-499 of each 1000), D1 a
  // 250 Hz one (high for 0-1999 of each 4000). The search starts at sample
  // 4000 - (1000 + 3) = 2997.
  struct {
    const char *what, *model;
    TRegs regs;
    int64_t trigger; // -1: none
  } cases[] = {
      {"rising", "Brisk", {{12, 0}, {11, 2}}, 3000},
      {"falling", "Brisk", {{12, 0}, {11, 1}}, 3500},
      {"either edge", "Brisk", {{12, 1}, {11, 3}}, 4000},
      {"pattern D0 low, D1 high",
       "Brisk",
       {{13, 2}, {14, 0xFC}, {21, 0xFF}, {22, 0xFF}, {29, 0xFF}, {11, 4}},
       4500},
      {"pattern already there",
       "Brisk",
       {{13, 0}, {14, 0xFE}, {21, 0xFF}, {22, 0xFF}, {29, 0xFF}, {11, 4}},
       2997},
      {"rising and D1 high",
       "Brisk",
       {{12, 0}, {13, 2}, {14, 0xFD}, {21, 0xFF}, {22, 0xFF}, {29, 0xFF}, {11, 6}},
       4000},
      {"rising or D0 low",
       "Brisk",
       {{12, 0}, {13, 0}, {14, 0xFE}, {21, 0xFF}, {22, 0xFF}, {29, 0xFF}, {11, 9}},
       2997},
      {"falling or D1 high",
       "Brisk",
       {{12, 0}, {13, 2}, {14, 0xFD}, {21, 0xFF}, {22, 0xFF}, {29, 0xFF}, {11, 8}},
       3500},
      {"third rising edge", "Brisk", {{42, 0x80}, {43, 3}, {44, 0}, {45, 0}, {11, 11}}, 5000},
      {"third falling edge", "Brisk", {{42, 0xC0}, {43, 3}, {44, 0}, {45, 0}, {11, 11}}, 5500},
      {"unknown mode", "Brisk", {{11, 0}}, -1},
      {"rising, two skipped", "Cobalt", {{12, 0}, {54, 2}, {11, 2}}, 5000},
      {"pattern ignores skips",
       "Cobalt",
       {{13, 2}, {14, 0xFC}, {21, 0xFF}, {54, 2}, {11, 4}},
       4500},
      {"rising and D1 high, one skipped",
       "Cobalt",
       {{12, 0}, {13, 2}, {14, 0xFD}, {21, 0xFF}, {54, 1}, {11, 6}},
       5000},
  };
  for (auto &c : cases) {
    SCOPED_TRACE(c.what);
    Use(c.model, c.model[0] == 'B' ? "BriskLF" : "CobaltLF", "D0=clock:1000,D1=clock:250");
    Memory(4000, 1000);
    Set({{15, 0}, {40, 9}, {41, 0}});
    Set(c.regs);
    Start();
    velkemu_capture info{};
    for (int read = 0; read < 4; ++read) {
      Status();
      info = Info();
    }
    EXPECT_EQ(c.trigger, info.trigger_sample);
    if (c.trigger >= 0) {
      EXPECT_EQ(2997, info.trigger_index);
    }
    FT_Close(h);
  }
}

// Channel A's codes at 1 MHz: a 1 kHz sine of 500 mV at gain 4 (1000 mV half
// scale, correction 1), read half a sample period into each sample.
int CodeA(int64_t k) {
  return 128 + int(std::lround(64.0 * std::sin(2 * M_PI * (double(k) + 0.5) / 1000)));
}

// Where the rules put the analog trigger on A, searching from sample from.
int64_t FirstAnalogTrigger(bool rising, int upper, int lower, int64_t from) {
  bool armed = false;
  for (int64_t k = from; k < from + 20000; ++k) {
    int code = CodeA(k);
    if (rising ? code < lower : code > upper)
      armed = true;
    else if (armed && (rising ? code >= upper : code <= lower))
      return k;
  }
  return -1;
}

TEST_F(Capture, AnalogTriggerLevelsHysteresisAndSources) {
  // B and X are squares rising three quarters and a quarter into A's cycle.
  // The search starts at sample 4000 - 1000 = 3000.
  constexpr int64_t kFromA = -2;
  struct {
    const char *what, *model;
    TRegs regs;
    int64_t trigger; // kFromA: as FirstAnalogTrigger finds it for A
    bool rising;
    int upper, lower;
  } cases[] = {
      {"A rising", "Dorian", {{52, 128}, {51, 128}, {11, 13}}, kFromA, true, 128, 128},
      {"A falling", "Dorian", {{52, 128}, {51, 128}, {11, 12}}, kFromA, false, 128, 128},
      {"A rising, lower level never reached",
       "Dorian",
       {{52, 140}, {51, 60}, {11, 13}},
       -1,
       true,
       0,
       0},
      {"A rising with hysteresis",
       "Dorian",
       {{52, 140}, {51, 70}, {11, 13}},
       kFromA,
       true,
       140,
       70},
      {"A falling with hysteresis",
       "Dorian",
       {{52, 185}, {51, 150}, {11, 12}},
       kFromA,
       false,
       185,
       150},
      {"A falling, upper level never reached",
       "Dorian",
       {{52, 200}, {51, 100}, {11, 12}},
       -1,
       true,
       0,
       0},
      {"pen scope A rising", "Ardent", {{22, 150}, {28, 150}, {11, 2}}, kFromA, true, 150, 150},
      {"B rising", "Dorian", {{52, 128}, {51, 128}, {11, 15}}, 3750, true, 0, 0},
      {"X rising", "Cobalt", {{11, 16}}, 3250, true, 0, 0},
      {"X falling", "Cobalt", {{11, 17}}, 3750, true, 0, 0},
      {"12-bit A falling or X rising", "Dorian-12", {{40, 0}, {11, 0x42}}, 3250, true, 0, 0},
      {"12-bit X while its connector is an output",
       "Dorian-12",
       {{40, 3}, {11, 0x42}},
       3500,
       true,
       0,
       0},
  };
  for (auto &c : cases) {
    SCOPED_TRACE(c.what);
    std::string model = c.model;
    bool twelve = model == "Dorian-12";
    std::string image = twelve ? model : model + "LF";
    Use(c.model, image.c_str(),
        "A=sine:1000:500,B=square:1000:500:0:90,X=square:1000:2500:2500:-90");
    Memory(4000, twelve ? 1000 - 2 : 1000 - 3);
    if (twelve) // 20 MHz / 20, gain 3 (1000 mV), levels at 0
      Set({{15, 1}, {21, 19}, {33, 1}, {32, 0}, {51, 0}, {52, 0}, {53, 0}, {54, 0}});
    else
      Set({{15, 0}, {40, 9}, {41, 0}, {33, 3}, {32, 0}});
    Set(c.regs);
    Start();
    velkemu_capture info{};
    for (int read = 0; read < 4; ++read) {
      Status();
      info = Info();
    }
    int64_t expected =
        c.trigger == kFromA ? FirstAnalogTrigger(c.rising, c.upper, c.lower, 3000) : c.trigger;
    EXPECT_EQ(expected, info.trigger_sample);
    FT_Close(h);
  }
}

// With no trigger coming, every contact searches a bounded stretch, so the
// host's poll never stalls.
TEST_F(Capture, TriggerSearchIsBoundedPerContact) {
  Use("Dorian", "Dorian200");
  Memory(1000, 500);
  Set({{15, 0}, {32, 0x40}, {52, 250}, {51, 250}, {11, 13}}); // a level the sine never reaches
  Start();
  int64_t before = 0;
  for (int read = 0; read < 3; ++read) {
    EXPECT_EQ(0xC0, Status());
    velkemu_capture info = Info();
    EXPECT_GT(info.recorded, before);
    EXPECT_LE(info.recorded - before, 1 << 18);
    before = info.recorded;
  }
  EXPECT_EQ(-1, Info().trigger_sample);
}

} // namespace
