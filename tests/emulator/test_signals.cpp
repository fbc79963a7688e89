// The signals on the inputs: the syntax of a signal list, the shapes of the
// logic signals, the serial line's polarity and the converter codes of the
// analog inputs.
#include "emu_test_support.h"

#include <cstdlib>
#include <string>

namespace {

using Signals = TCaptureTest;

TEST_F(Signals, ListSyntax) {
  const char *valid[] = {
      "",
      " , ,",
      "A=sine:1e3:500:100:45, B=triangle:50:300,X=dc:5000",
      "B=square:1000:1000:0:90:25",
      "D0-D7=counter:1000:8,D31=high,D30=low",
      "D5=pattern:0110:2e6,D6=clock:1000:12.5:180",
      "D9=uart:115200:7E2:a\\,b:c\\x41\\r\\n",
      "D9=uart:9600",
      "CLK=clock:2000000:30",
  };
  for (const char *list : valid)
    EXPECT_EQ(0, velkemu_set_signals(list)) << list;
  const char *invalid[] = {
      "A",                          // no '='
      "A=",                         // no signal
      "A=sine",                     // frequency and amplitude missing
      "A=sine:0:100",               // frequency must be above 0
      "A=sine:1000:nan",            // not a number
      "A=sine:1000:100:0:0:50",     // duty only for squares
      "A=square:1000:100:0:0:100",  // duty at the end of the cycle
      "A=low",                      // a logic signal on an analog input
      "Q=low",                      // no such channel
      "D32=high",                   //
      "D3-D1=low",                  // range backwards
      "D0=sine:1000:1",             // an analog signal on a logic channel
      "D0=high:1",                  //
      "D0=clock:1000:0",            // duty 0
      "D0=pattern:012",             //
      "D0=pattern:",                //
      "D0=counter:1000:32",         // no bit 32
      "D0-D7=counter:1000:25",      // bits 25..32
      "D0=uart:9600:9N1",           //
      "D0=uart:9600:8X1:a",         //
      "D0=uart:9600:8N1:bad\\q",    // unknown escape
      "D0=uart:9600:8N1:",          // no text
      "D0=clock:1e3\\,",            // escapes only in text
      "CLK=pattern:1",              //
      "A=sine:1000:100,D0=bogus:1", // one bad item spoils the set
  };
  for (const char *list : invalid)
    EXPECT_EQ(-1, velkemu_set_signals(list)) << list;
}

TEST_F(Signals, FailedListChangesNothingAndResetReadsTheEnvironment) {
  setenv("VELK_EMULATE_SIGNALS", "D3=high", 1);
  SetUpDevices("Brisk", false);
  ASSERT_EQ(0, velkemu_load_image(0, "BriskLF"));
  velkemu_set_speed(0);
  auto d3 = [this] { return LogicCapture(100)[50] >> 3 & 1; };
  EXPECT_EQ(1u, d3()) << "from the environment";
  EXPECT_EQ(-1, velkemu_set_signals("D3=low,Q=1"));
  EXPECT_EQ(1u, d3());
  EXPECT_EQ(0, velkemu_set_signals("D3=low"));
  EXPECT_EQ(0u, d3());
  EXPECT_EQ(0, velkemu_set_signals(nullptr));
  EXPECT_EQ(1u, d3()) << "back to the environment's";
  unsetenv("VELK_EMULATE_SIGNALS");
}

TEST_F(Signals, LogicShapes) {
  Use("Brisk", "BriskLF",
      "D0=clock:1000:25,D1=clock:1000:50:90,D2=pattern:0110:1000,D3-D4=counter:1000:1,"
      "D5=high,D6=low");
  std::vector<uint32_t> words = LogicCapture(8000);
  ASSERT_EQ(0, Info().first_sample);
  for (uint32_t k = 0; k < 8000; ++k) {
    uint32_t expected = (k % 1000 < 250) | ((k + 250) % 1000 < 500) << 1 |
                        uint32_t("0110"[k / 1000 % 4] == '1') << 2 | (k / 1000 >> 1 & 3) << 3 |
                        1u << 5;
    ASSERT_EQ(expected, words[k] & 0x7F) << "sample " << k;
  }
}

// The line as the logic analyzer's serial decoder reads it: idle and stop
// bits low, the start bit high, data and parity bits inverted, LSB first.
TEST_F(Signals, SerialLinePolarity) {
  // 10000 baud at 1 MHz: 100 samples a bit.
  Use("Brisk", "BriskLF", "D8=uart:10000:8N1:5,D9=uart:10000:7E2:K");
  std::vector<uint32_t> words = LogicCapture(4000);
  auto line = [&](int channel, int bit) { return int(words[bit * 100 + 50] >> channel & 1); };
  // '5' = 0x35: start, 1 0 1 0 1 1 0 0 inverted, stop, then a character of idle.
  std::vector<int> eight{1, 0, 1, 0, 1, 0, 0, 1, 1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0};
  // 'K' = 0x4B: start, 1 1 0 1 0 0 1 inverted, even parity 0 inverted, two stops, idle.
  std::vector<int> seven{1, 0, 0, 1, 0, 1, 1, 0, 1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0};
  for (size_t bit = 0; bit < 40; ++bit) {
    EXPECT_EQ(eight[bit % eight.size()], line(8, int(bit))) << "8N1 bit " << bit;
    EXPECT_EQ(seven[bit % seven.size()], line(9, int(bit))) << "7E2 bit " << bit;
  }
}

// Decodes the default text as a receiver would: wait for a start bit, read
// eight data bits at their middles.
TEST_F(Signals, DefaultSerialChannelRepeatsItsText) {
  Use("Brisk", "BriskLF");
  std::vector<uint32_t> words = LogicCapture(40000); // 40 ms at 9600 baud
  const double perBit = 1e6 / 9600;
  std::string text;
  int previous = 0;
  for (size_t k = 0; k + 10 * perBit < words.size(); ++k) {
    int level = words[k] >> 8 & 1;
    if (level && !previous) {
      int c = 0;
      for (int b = 0; b < 8; ++b)
        c |= !(words[size_t(k + (1.5 + b) * perBit)] >> 8 & 1) << b;
      EXPECT_EQ(0u, words[size_t(k + 9.5 * perBit)] >> 8 & 1) << "stop bit";
      text += char(c);
      k += size_t(9.6 * perBit);
      level = 0;
    }
    previous = level;
  }
  EXPECT_NE(std::string::npos, text.find("Hello from Velk\r\nHello from Velk\r\n")) << text;
}

TEST_F(Signals, AnalogInputsBecomeConverterCodes) {
  // Code = zero code + mV × 128 / half scale / correction (8-bit, zero code
  // 128 unless the information block says otherwise), mV × 2048 / half scale
  // (12-bit); AC coupling takes the mean away; the converters clip.
  struct {
    const char *what, *model, *signals;
    TRegs regs;
    int zeroCodeA; // information block byte 250 + gain group, 0: untouched
    int a, b;
  } cases[] = {
      {"gains 4 and 7", "Dorian", "A=dc:500,B=dc:50", {{33, 3}, {32, 0x30}}, 0, 192, 194},
      {"gain 0, B AC", "Dorian", "A=dc:-10000,B=dc:50", {{33, 0}, {32, 0}, {36, 2}}, 0, 78, 128},
      {"AC takes a square's mean",
       "Dorian",
       "A=square:1000:200:300:0:75,B=dc:0",
       {{33, 1}, {32, 0}, {36, 1}},
       0,
       128 + 13,
       128},
      {"DC keeps a sine's offset",
       "Dorian",
       "A=sine:1000:100:300,B=dc:0",
       {{33, 1}, {32, 0}},
       0,
       128 + 39,
       128}, // 300 + 100 sin(2π × 6.05 µs × 1 kHz) = 303.8 mV
      {"clipped", "Dorian", "A=dc:500,B=dc:-500", {{33, 3}, {32, 0x33}}, 0, 255, 0},
      {"zero code of gain group 1", "Cobalt", "A=dc:100", {{33, 1}, {32, 1}}, 120, 146, -1},
      {"pen scope", "Ardent", "A=dc:-1000", {{33, 0}, {32, 2}}, 0, 128 - 20, -1},
      {"12-bit gains 3 and 5",
       "Dorian-12",
       "A=dc:500,B=dc:-100",
       {{33, 3}, {32, 0x20}},
       0,
       1024,
       -819},
      {"12-bit clipped", "Dorian-12", "A=dc:20000,B=dc:-20000", {{33, 0}, {32, 0}}, 0, 2047, -2048},
  };
  for (auto &c : cases) {
    SCOPED_TRACE(c.what);
    std::string model = c.model;
    bool twelve = model == "Dorian-12";
    Use(c.model, twelve ? "Dorian-12" : (model + "LF").c_str(), c.signals);
    if (c.zeroCodeA) {
      uint8_t block[256];
      velkemu_get_info_block(0, block);
      block[251] = uint8_t(c.zeroCodeA);
      velkemu_set_info_block(0, block);
    }
    Memory(100, 50);
    Set({{15, twelve ? 1 : 0}});
    Set(c.regs);
    Set({{11, model == "Ardent" ? 1 : twelve ? 32 : 18}});
    Start();
    ASSERT_EQ(0x01, Status() & 0x01);
    // The square is high for the first three quarters of its cycle, so its
    // mean is 400 mV; the 10 µs in memory are all high: 100 mV above it.
    int at = 60;
    if (twelve) {
      TBytes low = Bank(25, 100), nibbles = Bank(26, 100), lowB = Bank(27, 100);
      auto code = [](int value) { return value >= 0x800 ? value - 4096 : value; };
      EXPECT_EQ(c.a, code((nibbles[at] & 0x0F) << 8 | low[at]));
      EXPECT_EQ(c.b, code((nibbles[at] & 0xF0) << 4 | lowB[at]));
    } else {
      EXPECT_EQ(c.a, Bank(27, 100)[at]);
      if (c.b >= 0) {
        EXPECT_EQ(c.b, Bank(28, 100)[at]);
      }
    }
    FT_Close(h);
  }
}

TEST_F(Signals, NoiseStaysWithinItsCodes) {
  Use("Dorian", "DorianLF", "A=dc:0,B=dc:0");
  velkemu_set_noise(2);
  Memory(1000, 500);
  Set({{15, 0}, {11, 18}});
  Start();
  ASSERT_EQ(0x01, Status() & 0x01);
  TBytes a = Bank(27, 1000), b = Bank(28, 1000);
  std::vector<int> seen(5, 0);
  for (size_t i = 0; i < a.size(); ++i) {
    ASSERT_LE(std::abs(a[i] - 128), 2);
    ASSERT_LE(std::abs(b[i] - 128), 2);
    ++seen[a[i] - 126];
  }
  for (int n : seen)
    EXPECT_GT(n, 100) << "every code of ±2 turns up";
  EXPECT_NE(a, b) << "each channel has its own noise";
  EXPECT_EQ(-1, velkemu_set_noise(-1));
}

} // namespace
