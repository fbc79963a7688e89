// Bus and RS-232 decoders, and the interpreters' place in the channel-configuration words.
#include "interpreters.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <random>
#include <vector>

namespace {

// ---------------------------------------------------------------- serial lines

// Builds a logic capture of one serial line as the analyzer sees it: idle is 0,
// the start bit is 1 and a data bit of 1 is 0. Bit boundaries fall on real
// sample times, so non-integer bit lengths come out as a real line would.
struct TLine {
  int Channel;
  double Spb; // samples per bit
  std::vector<uint32_t> S;
  double T = 0;

  TLine(int channel, double spb) : Channel(channel), Spb(spb) {}
  void Level(int v, double samples) {
    T += samples;
    while (static_cast<double>(S.size()) < std::ceil(T - 1e-9))
      S.push_back(static_cast<uint32_t>(v) << Channel);
  }
  void Idle(double samples) { Level(0, samples); }
  // brokenStop: the stop bit stays at the start level (a framing error).
  size_t Char(int c, int dataBits = 8, int parity = 0, double stopBits = 1,
              bool brokenStop = false) {
    const size_t start = static_cast<size_t>(std::ceil(T - 1e-9));
    Level(1, Spb);
    int ones = 0;
    for (int k = 0; k < dataBits; ++k) {
      const int bit = c >> k & 1;
      ones += bit;
      Level(!bit, Spb);
    }
    if (parity) Level(!(ones & 1), Spb);
    Level(brokenStop ? 1 : 0, stopBits * Spb);
    return start;
  }
};

// The decoder as a plain sample-by-sample state machine, for lines of at least
// five samples per bit.
std::vector<uint32_t> ReferenceRS232(const std::vector<uint32_t> &s, int ch, const TRS232Params &p,
                                     double rate) {
  const int64_t n = static_cast<int64_t>(s.size());
  std::vector<uint32_t> out(s.size(), 0);
  auto R = [](double x) { return x - std::floor(x) < 0.5 ? std::floor(x) : std::ceil(x); };
  auto bit = [&](int64_t i) { return static_cast<int>(s[static_cast<size_t>(i)] >> ch & 1); };
  const double spb = rate / p.BaudRate;
  const int g = p.DataBits + 2 + (p.Parity ? 1 : 0);
  int state = 0, e = 0, prev = -1;
  int64_t q = -1, a = 0, pos[12] = {};
  uint32_t t = 0;
  for (int64_t j = 0; j < n; ++j) {
    const int c = bit(j);
    if (state == 0) {
      if (c == 1) continue;
      state = 1;
    }
    if (state == 1) {
      if (c == 0) continue;
      a = j + static_cast<int64_t>(std::floor((g + 0.5 * p.StopBits) * spb));
      if (a >= n) continue;
      pos[0] = j + static_cast<int64_t>(R(spb * 0.5));
      for (int k = 1; k < g; ++k)
        pos[k] = pos[0] + static_cast<int64_t>(R(k * spb));
      t = 0;
      for (int k = 0; k < p.DataBits; ++k)
        if (bit(pos[k + 1]) == 0) t |= 1u << k;
      e = bit(pos[g - 1]);
      state = 2;
    }
    uint32_t w = t | kIntpInFrame;
    if (e) w |= kIntpFramingError;
    if (q != -1 && q + 1 == j && prev != -1 && static_cast<int>(t) == prev) w |= kIntpRepeated;
    out[static_cast<size_t>(j)] = w;
    if (j >= pos[g - 1] && (j == a || bit(j + 1) == 1)) {
      prev = static_cast<int>(t);
      q = j;
      state = e ? 0 : 1;
      e = 0;
    }
  }
  return out;
}

std::vector<uint32_t> Decode(const std::vector<uint32_t> &s, int ch, const TRS232Params &p,
                             double rate) {
  std::vector<uint32_t> out(s.size(), 0xDEADBEEF);
  DecodeRS232(s.data(), static_cast<uint32_t>(s.size()), ch, p, rate, out.data());
  return out;
}

TRS232Params Params(int baud, int dataBits = 8, int parity = 0, int stopBits = 0) {
  TRS232Params p;
  p.BaudRate = baud;
  p.DataBits = dataBits;
  p.Parity = parity;
  p.StopBits = stopBits;
  return p;
}

// The characters of a decoded row: the value at every sample where a frame begins.
std::vector<int> Characters(const std::vector<uint32_t> &out) {
  std::vector<int> chars;
  for (size_t j = 0; j < out.size(); ++j) {
    const bool starts =
        (out[j] & kIntpInFrame) &&
        (j == 0 || !(out[j - 1] & kIntpInFrame) || (out[j] & kIntpRepeated) ||
         (out[j - 1] & 0xFF) != (out[j] & 0xFF) || (out[j - 1] ^ out[j]) & kIntpFramingError);
    if (starts) chars.push_back(static_cast<int>(out[j] & 0xFF));
  }
  return chars;
}

// 8N1 at 10 samples per bit: 100 samples per second of rate at 10 bit/s.
constexpr double kRate10 = 100;
const TRS232Params k8N1 = Params(10);

// ------------------------------------------------------------------- decoders

TEST(BusDecoder, MembersGiveBitsInListOrder) {
  // Members 3, 1, 2: bit 0 = channel 3, bit 1 = channel 1, bit 2 = channel 2.
  const std::vector<uint32_t> s = {1u << 3, 1u << 1, 1u << 2, 0xE, 0x1 | 0x10, 0xFFFFFFFF};
  const std::vector<uint32_t> expected = {1, 2, 4, 7, 0, 7};
  std::vector<uint32_t> out(s.size(), 0xDEADBEEF);
  DecodeBus(s.data(), static_cast<uint32_t>(s.size()), {3, 1, 2}, out.data());
  EXPECT_EQ(out, expected);
}

TEST(BusDecoder, AgreesWithBitByBitGather) {
  std::mt19937 rng(7);
  std::vector<uint32_t> s(4096);
  for (uint32_t &w : s)
    w = rng();
  const std::vector<std::vector<int>> buses = {
      {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15},
      {28, 29, 30, 31},         // neighbours in order: shifted and masked
      {31, 0, 8, 16, 24},       // one member in every byte
      {7, 6, 5, 4, 3, 2, 1, 0}, // reversed
      {40, 5, -1, 9},           // no such channels: bits stay 0
      {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16}, // only 16 are read
      {},
  };
  for (const auto &members : buses) {
    std::vector<uint32_t> out(s.size(), 0xDEADBEEF);
    DecodeBus(s.data(), static_cast<uint32_t>(s.size()), members, out.data());
    for (size_t j = 0; j < s.size(); ++j) {
      uint32_t v = 0;
      for (size_t k = 0; k < members.size() && k < 16; ++k)
        if (members[k] >= 0 && members[k] < 32 && (s[j] >> members[k] & 1)) v |= 1u << k;
      ASSERT_EQ(out[j], v) << "sample " << j << ", " << members.size() << " members";
    }
  }
}

// 8N1, 10 samples per bit, start edge at 10: data bits are read at 25, 35 … 95
// and the stop bit at 105, and the frame lasts to 110. Every other sample of a
// data bit's cell is at the opposite level, so an offset of one sample shows.
TEST(SerialDecoder, SamplesBitCentres) {
  constexpr int kStart = 10;
  for (int c : {0x00, 0xFF, 0xA5, 0x5A, 0x01, 0x80}) {
    std::vector<uint32_t> s(200, 0);
    s[kStart] = 1;
    for (int o = 1; o < 10; ++o)
      s[kStart + o] = 1; // the start bit
    for (int k = 0; k < 8; ++k) {
      const uint32_t level = !(c >> k & 1);
      for (int o = 0; o < 10; ++o)
        s[kStart + 10 + 10 * k + o] = o == 5 ? level : !level;
    }
    const auto out = Decode(s, 0, k8N1, kRate10);
    EXPECT_EQ(out[kStart - 1], 0u);
    EXPECT_EQ(out[kStart], c | kIntpInFrame) << c;
    EXPECT_EQ(out[kStart + 100], c | kIntpInFrame) << c;
    EXPECT_EQ(out[kStart + 101], 0u) << c;
    EXPECT_EQ(out, ReferenceRS232(s, 0, k8N1, kRate10));
  }
  // The stop bit is read at offset 95 alone.
  struct {
    int StartLevelAt;
    bool Error;
  } const stops[] = {{94, false}, {95, true}, {96, false}};
  for (const auto &st : stops) {
    std::vector<uint32_t> s(200, 0);
    for (int o = 0; o < 10; ++o)
      s[kStart + o] = 1;
    s[kStart + st.StartLevelAt] = 1;
    const auto out = Decode(s, 0, k8N1, kRate10);
    EXPECT_EQ((out[kStart] & kIntpFramingError) != 0, st.Error) << st.StartLevelAt;
  }
}

// A frame whose stop bit is at the start level carries bit 29, and the decoder
// takes no start bit until the line has been idle: the start level that follows
// (a break) decodes nothing, the character after the idle decodes cleanly.
TEST(SerialDecoder, FramingErrorWaitsForIdle) {
  TLine line(5, 10);
  line.Idle(20);
  const size_t bad = line.Char('A', 8, 0, 1, /*brokenStop=*/true);
  line.Level(1, 50); // the line stays at the start level
  line.Idle(20);
  const size_t good = line.Char('B');
  line.Idle(50);
  const auto out = Decode(line.S, 5, k8N1, kRate10);
  EXPECT_EQ(out[bad], 'A' | kIntpInFrame | kIntpFramingError);
  for (size_t j = bad + 96; j < good; ++j)
    ASSERT_EQ(out[j], 0u) << j;
  EXPECT_EQ(out[good], 'B' | kIntpInFrame);
  EXPECT_EQ(Characters(out), (std::vector<int>{'A', 'B'}));
  EXPECT_EQ(out, ReferenceRS232(line.S, 5, k8N1, kRate10));
}

// Bit 30 marks the first sample of a character that follows an equal one
// directly; after a gap, or after a different character, it does not.
TEST(SerialDecoder, RepeatedCharacterBit) {
  TLine line(0, 10);
  line.Idle(5);
  const size_t a1 = line.Char('A');
  const size_t a2 = line.Char('A');
  const size_t b1 = line.Char('B');
  line.Idle(2); // the first cell ends at 304 + 1: one sample of gap remains
  const size_t b2 = line.Char('B');
  line.Idle(20);
  const auto out = Decode(line.S, 0, k8N1, kRate10);
  EXPECT_EQ(out[a1], 'A' | kIntpInFrame);
  EXPECT_EQ(out[a2 - 1], 'A' | kIntpInFrame); // the first cell ends right before
  EXPECT_EQ(out[a2], 'A' | kIntpInFrame | kIntpRepeated);
  EXPECT_EQ(out[a2 + 1], 'A' | kIntpInFrame);
  EXPECT_EQ(out[b1], 'B' | kIntpInFrame);
  EXPECT_EQ(out[b2 - 1], 0u);
  EXPECT_EQ(out[b2], 'B' | kIntpInFrame);
  EXPECT_EQ(out, ReferenceRS232(line.S, 0, k8N1, kRate10));
}

// A character whose frame would end past the last sample produces no cell.
TEST(SerialDecoder, IncompleteLastFrameIsNotDecoded) {
  constexpr size_t kStart = 10;
  struct {
    size_t Count;
    bool Decoded;
  } const cases[] = {{kStart + 100, false}, {kStart + 101, true}};
  for (const auto &c : cases) {
    TLine line(0, 10);
    line.Idle(kStart);
    line.Char(0x42);
    line.S.resize(c.Count, 0);
    const auto out = Decode(line.S, 0, k8N1, kRate10);
    EXPECT_EQ(out[kStart] != 0, c.Decoded) << c.Count;
    EXPECT_EQ(out.back() != 0, c.Decoded) << c.Count;
  }
}

// A capture that begins at the start level decodes nothing until the line has
// been idle once; the same line with one idle sample first decodes both.
TEST(SerialDecoder, CaptureBeginningAtStartLevel) {
  for (int lead : {0, 1}) {
    TLine line(0, 10);
    line.Idle(lead);
    line.Char(0x00); // start and data bits all at the start level
    const size_t next = line.Char('C');
    line.Idle(20);
    const auto out = Decode(line.S, 0, k8N1, kRate10);
    EXPECT_EQ(Characters(out), lead ? std::vector<int>({0x00, 'C'}) : std::vector<int>({'C'}));
    EXPECT_EQ(out[next], 'C' | kIntpInFrame);
  }
}

// Formats and real-valued bit lengths: what is sent is what is decoded, and the
// decoder agrees sample for sample with the plain state machine on clean lines
// and on lines full of glitches.
TEST(SerialDecoder, FormatsAndRatesAgreeWithStateMachine) {
  struct {
    double Rate;
    int Baud, DataBits, Parity, StopBits;
  } const formats[] = {
      {1e6, 115200, 8, 0, 0}, // 8.68 samples per bit
      {1e6, 9600, 7, 1, 2},   // 7E2
      {5e5, 57600, 5, 2, 1},  // 8.68 spb, 1.5 stop bits
      {2e5, 38400, 4, 3, 0},  // 5.2 spb, 4 data bits, mark parity
      {1e6, 300, 8, 4, 2},
      {75, 10, 8, 0, 0}, // 7.5 spb: centres at 4, 12, 19, 27 … (halves round up)
      {90, 10, 6, 0, 1}, // 9 spb
  };
  std::mt19937 rng(3);
  for (const auto &f : formats) {
    const TRS232Params p = Params(f.Baud, f.DataBits, f.Parity, f.StopBits);
    const double spb = f.Rate / f.Baud;
    const int mask = (1 << f.DataBits) - 1;
    TLine line(17, spb);
    line.Idle(3 * spb);
    std::vector<int> sent;
    for (int i = 0; i < 40 && line.S.size() < 4000000; ++i) {
      sent.push_back(static_cast<int>(rng()) & mask);
      line.Char(sent.back(), f.DataBits, f.Parity != 0, 1 + 0.5 * f.StopBits);
      if (rng() % 3 == 0) line.Idle(spb * (rng() % 5) + rng() % 3);
    }
    line.Idle(2 * spb);
    const auto out = Decode(line.S, 17, p, f.Rate);
    EXPECT_EQ(Characters(out), sent) << f.Baud;
    EXPECT_EQ(out, ReferenceRS232(line.S, 17, p, f.Rate)) << f.Baud;

    // Random runs of both levels: framing errors, waits for idle, cut frames.
    std::vector<uint32_t> noise;
    while (noise.size() < 20000)
      noise.insert(noise.end(), 1 + rng() % static_cast<unsigned>(3 * spb),
                   (rng() & 1) << 17 | (rng() & 0x1000));
    EXPECT_EQ(Decode(noise, 17, p, f.Rate), ReferenceRS232(noise, 17, p, f.Rate)) << f.Baud;
  }
}

// With very few samples per bit the stop bit's centre can fall after the end of
// the frame; no read or write may pass the last sample (checked by the
// sanitizers on exactly sized buffers), and bad parameters decode nothing.
TEST(SerialDecoder, StaysInsideTheRecord) {
  std::mt19937 rng(11);
  for (double spb : {0.3, 0.5, 1.0, 1.17, 2.5, 3.3}) {
    for (size_t n : {1u, 2u, 13u, 200u, 2001u}) {
      std::vector<uint32_t> s(n);
      for (uint32_t &w : s)
        w = rng() & 1;
      std::vector<uint32_t> out(n);
      DecodeRS232(s.data(), static_cast<uint32_t>(n), 0, Params(1000), 1000 * spb, out.data());
    }
  }
  // 1.17 samples per bit, 8N1: the stop bit's centre is 12 samples after the
  // start edge, the frame's nominal end 11: a start at 1 needs 14 samples.
  for (size_t n : {13u, 14u}) {
    std::vector<uint32_t> s(n, 0);
    s[1] = 1;
    const auto out = Decode(s, 0, Params(1000), 1170);
    EXPECT_EQ(out[1] != 0, n == 14) << n;
    EXPECT_EQ(out[n - 1] != 0, n == 14) << n;
  }
  const std::vector<uint32_t> s = {0, 1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0};
  const std::vector<uint32_t> zeros(s.size(), 0);
  TRS232Params bad[] = {Params(0), Params(-9600), Params(1, 3), Params(1, 9), Params(1, 8, 0, 3)};
  for (const TRS232Params &p : bad)
    EXPECT_EQ(Decode(s, 0, p, 2), zeros);
  EXPECT_EQ(Decode(s, 0, Params(1), 0), zeros);   // no sample rate
  EXPECT_EQ(Decode(s, 0, Params(1), NAN), zeros); // nor a usable one
  EXPECT_EQ(Decode(s, 32, Params(1), 2), zeros);  // no such channel
}

// --------------------------------------------------------- channel configuration

constexpr int kDeviceChannels = 8;

void Fresh(uint32_t (&c)[kChConfigCount]) {
  for (int n = 0; n < kChConfigCount; ++n)
    c[n] = n < kDeviceChannels ? 0x1400 + n : n < 32 ? 0x1000 + n : 0;
}

std::vector<uint32_t> Words(const uint32_t (&c)[kChConfigCount]) {
  std::vector<uint32_t> w(c, c + kChConfigCount);
  while (!w.empty() && w.back() == 0)
    w.pop_back();
  return w;
}

TIntpDef Bus(const char *name = "Bus", uint8_t mode = kDispDecimal) {
  TIntpDef d;
  std::memcpy(d.Name, name, std::min<size_t>(std::strlen(name), kChNameSize));
  d.Type = kIntpBus;
  d.Bus.DispMode = mode;
  return d;
}

TIntpDef Serial(const char *name = "Serial") {
  TIntpDef d;
  std::memcpy(d.Name, name, std::min<size_t>(std::strlen(name), kChNameSize));
  d.Type = kIntpRS232;
  d.RS232 = Params(19200, 7, 1, 2);
  return d;
}

struct TLogic : TVELK {
  TLogic() {
    DigitalChannelCount = kDeviceChannels;
    BufferCapacity = 64;
    Fresh(ChConfig);
  }
};

TEST(InterpreterEditing, CreateTakesTheFirstMemberRowInRowOrder) {
  TLogic r;
  EXPECT_EQ(NewInterpreterName(r.Interpreters).toStdString(), "Interpreter 1");
  const int slot = CreateInterpreter(r, Bus(), {3, 1, 2});
  ASSERT_EQ(slot, 0);
  // Channel 1's row comes first of the three: the block stands there; absent
  // channels' words are dropped and the rest moves up.
  EXPECT_EQ(Words(r.ChConfig), (std::vector<uint32_t>{0x1400, 0x1820, 0x1C03, 0x1C01, 0x1C02,
                                                      0x1404, 0x1405, 0x1406, 0x1407}));
  EXPECT_EQ(InterpreterMembers(r.ChConfig, 0), (std::vector<int>{3, 1, 2}));
  EXPECT_EQ(InterpreterWidth(r.ChConfig, 0), 3);
  EXPECT_EQ(r.Interpreters[0]->Bus.Width, 3);
  EXPECT_EQ(r.Interpreters[0]->Bus.DispMode, kDispDecimal);
  EXPECT_EQ(r.InterpreterData[0].size(), 64u);
  EXPECT_EQ(FreeChannels(r.ChConfig), (std::vector<int>{0, 4, 5, 6, 7}));

  EXPECT_EQ(CreateInterpreter(r, Serial(), {6}), 1);
  EXPECT_EQ(r.Interpreters[1]->RS232.BaudRate, 19200);
  EXPECT_EQ(r.Interpreters[1]->RS232.DataBits, 7);
  EXPECT_EQ(Words(r.ChConfig), (std::vector<uint32_t>{0x1400, 0x1820, 0x1C03, 0x1C01, 0x1C02,
                                                      0x1404, 0x1405, 0x1821, 0x1C06, 0x1407}));
}

TEST(InterpreterEditing, RefusedCreationsChangeNothing) {
  TLogic r;
  ASSERT_EQ(CreateInterpreter(r, Bus(), {0, 1}), 0);
  struct {
    TIntpDef Def;
    std::vector<int> Members;
  } const cases[] = {
      {Bus(), {2}},                                                        // a bus needs two
      {Bus(), {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16}}, // and at most 16
      {Serial(), {2, 3}},                                                  // RS-232: exactly one
      {Serial(), {}},
      {Bus(), {2, 32}}, // no such channel
      {Bus(), {2, 2}},  // twice the same
      {Bus(), {1, 2}},  // 1 belongs to another interpreter
      {Bus(), {2, 9}},  // 9 has no row on this device
  };
  uint32_t before[kChConfigCount];
  std::memcpy(before, r.ChConfig, sizeof before);
  for (const auto &c : cases) {
    EXPECT_EQ(CreateInterpreter(r, c.Def, c.Members), -1) << c.Members.size();
    EXPECT_EQ(std::memcmp(before, r.ChConfig, sizeof before), 0);
    EXPECT_EQ(DefinedInterpreterSlots(r.Interpreters), std::vector<int>{0});
  }
  TIntpDef odd = Bus();
  odd.Type = 7;
  EXPECT_EQ(CreateInterpreter(r, odd, {2, 3}), -1);

  // All 8 slots used.
  TLogic full;
  for (int i = 0; i < kMaxInterpreters; ++i)
    ASSERT_EQ(CreateInterpreter(full, Serial(), {i}), i);
  EXPECT_EQ(FirstFreeInterpreterSlot(full.Interpreters), -1);
  EXPECT_TRUE(NewInterpreterName(full.Interpreters).isEmpty());
  Fresh(full.ChConfig); // even with free rows, no slot is left
  EXPECT_EQ(CreateInterpreter(full, Bus(), {0, 1}), -1);
}

TEST(InterpreterEditing, EditMovesTheBlockAndFreesOldMembers) {
  TLogic r;
  ASSERT_EQ(CreateInterpreter(r, Bus(), {3, 1, 2}), 0);
  r.ChConfig[1] |= kChHidden; // expanded
  r.ChConfig[6] |= kChHidden; // channel 5 hidden
  ASSERT_EQ(r.ChConfig[6], 0x1505u);
  TIntpDef d = Bus("", kDispAscii);
  std::memset(d.Name, 'n', sizeof d.Name); // no terminating zero: cut to 16 characters
  d.Type = kIntpRS232;                     // the type cannot change
  ASSERT_TRUE(EditInterpreter(r, 0, d, {5, 2}));
  // The old members become plain rows where they stood; the block goes to the
  // first new member's row (channel 2), keeping its expanded state.
  EXPECT_EQ(Words(r.ChConfig), (std::vector<uint32_t>{0x1400, 0x1403, 0x1401, 0x1920, 0x1C05,
                                                      0x1C02, 0x1404, 0x1406, 0x1407}));
  EXPECT_STREQ(r.Interpreters[0]->Name, "nnnnnnnnnnnnnnnn");
  EXPECT_EQ(r.Interpreters[0]->Type, kIntpBus);
  EXPECT_EQ(r.Interpreters[0]->Bus.Width, 2);
  EXPECT_EQ(r.Interpreters[0]->Bus.DispMode, kDispAscii);

  // The same members in another order; an old member is taken again.
  ASSERT_TRUE(EditInterpreter(r, 0, Bus(), {1, 5}));
  EXPECT_EQ(InterpreterMembers(r.ChConfig, 0), (std::vector<int>{1, 5}));
  EXPECT_FALSE(EditInterpreter(r, 0, Bus(), {1}));
  EXPECT_FALSE(EditInterpreter(r, 3, Bus(), {1, 2})); // no such interpreter
  EXPECT_FALSE(EditInterpreter(r, 9, Bus(), {1, 2}));
}

TEST(InterpreterEditing, DeleteReturnsMembersAtTheBusPlace) {
  TLogic r;
  ASSERT_EQ(CreateInterpreter(r, Bus(), {3, 1, 2}), 0);
  r.ChConfig[3] |= kChHidden; // member channel 1 hidden
  r.StateDefIntp = 0;
  ASSERT_TRUE(DeleteInterpreter(r, 0));
  EXPECT_EQ(Words(r.ChConfig), (std::vector<uint32_t>{0x1400, 0x1403, 0x1501, 0x1402, 0x1404,
                                                      0x1405, 0x1406, 0x1407}));
  EXPECT_FALSE(r.Interpreters[0]);
  EXPECT_TRUE(r.InterpreterData[0].empty());
  EXPECT_EQ(r.StateDefIntp, -1);
  EXPECT_FALSE(DeleteInterpreter(r, 0));
  EXPECT_FALSE(DeleteInterpreter(r, -1));
}

TEST(InterpreterEditing, DeleteFirstOfThreeThenTheRowShownSecond) {
  TLogic r;
  ASSERT_EQ(CreateInterpreter(r, Bus("one"), {0, 1}), 0);
  ASSERT_EQ(CreateInterpreter(r, Bus("two"), {2, 3}), 1);
  ASSERT_EQ(CreateInterpreter(r, Serial("three"), {4}), 2);
  r.StateDefIntp = 1;
  ASSERT_TRUE(DeleteInterpreter(r, 0));
  const std::vector<int> rows = DefinedInterpreterSlots(r.Interpreters);
  ASSERT_EQ(rows, (std::vector<int>{1, 2}));
  ASSERT_TRUE(DeleteInterpreter(r, rows[1]));
  EXPECT_EQ(DefinedInterpreterSlots(r.Interpreters), std::vector<int>{1});
  EXPECT_STREQ(r.Interpreters[1]->Name, "two");
  EXPECT_EQ(InterpreterMembers(r.ChConfig, 1), (std::vector<int>{2, 3}));
  EXPECT_EQ(r.StateDefIntp, 1);
  EXPECT_EQ(FreeChannels(r.ChConfig), (std::vector<int>{0, 1, 4, 5, 6, 7}));
  EXPECT_EQ(CreateInterpreter(r, Bus(), {6, 7}), 0); // the first free slot again
}

// A damaged table (a head of an undefined slot, stray member words) is laid out
// again soundly when an interpreter is created.
TEST(InterpreterEditing, StrayWordsBecomePlainRows) {
  TLogic r;
  r.ChConfig[2] = 0x1820;         // head of slot 0, which has no definition
  r.ChConfig[3] = 0x1C03 | 0x100; // its "member", hidden
  r.ChConfig[5] = 0x1C05;         // a member with no head
  ASSERT_EQ(CreateInterpreter(r, Bus(), {6, 7}), 0);
  EXPECT_EQ(Words(r.ChConfig), (std::vector<uint32_t>{0x1400, 0x1401, 0x1503, 0x1404, 0x1405,
                                                      0x1820, 0x1C06, 0x1C07}));
}

// The channel dialog edits working copies; OK writes them into the record.
TEST(InterpreterEditing, WorkingCopiesApplyOnOk) {
  TLogic r;
  ASSERT_EQ(CreateInterpreter(r, Bus("kept"), {0, 1}), 0);
  std::array<uint32_t, kChConfigCount> work;
  std::copy(std::begin(r.ChConfig), std::end(r.ChConfig), work.begin());
  TIntpDefs defs = CopyInterpreters(r.Interpreters);
  ASSERT_EQ(CreateInterpreter(work, defs, Serial("new"), {5}), 1);
  EXPECT_FALSE(r.Interpreters[1]); // the record is untouched until OK
  r.InterpreterData[0].assign(64, 0xFFFFFFFF);

  ApplyInterpreters(r, work, defs);
  EXPECT_TRUE(std::equal(work.begin(), work.end(), r.ChConfig));
  ASSERT_TRUE(r.Interpreters[1]);
  EXPECT_STREQ(r.Interpreters[1]->Name, "new");
  EXPECT_NE(r.Interpreters[1].get(), defs[1].get()); // a copy, not shared
  for (int s : {0, 1})
    EXPECT_EQ(r.InterpreterData[s], std::vector<uint32_t>(64, 0)) << s;
  EXPECT_TRUE(r.InterpreterData[2].empty());
}

TEST(InterpreterEditing, BaudRateText) {
  struct {
    const char *Text;
    int32_t Rate;
  } const cases[] = {{"9600", 9600}, {"115200", 115200}, {" 1200 ", 1200}, {"abc", 9600},
                     {"", 9600},     {"0", 9600},        {"-300", 9600},   {"12.5", 9600}};
  for (const auto &c : cases)
    EXPECT_EQ(ParseBaudRate(QString::fromLatin1(c.Text)), c.Rate) << c.Text;
}

// ---------------------------------------------------------------- the record

int32_t ClockItems(int32_t selector) {
  return selector == 0x202 ? 100 : 0; // clock item 2: 100 Hz
}

TEST(DecodeInterpreters, DecodesTheActiveBufferOfTheRecord) {
  TLogic r;
  r.Lib.GetClockItems = ClockItems;
  r.SamplingRate = 2;
  ASSERT_EQ(CreateInterpreter(r, Serial(), {4}), 0);
  r.Interpreters[0]->RS232 = k8N1;
  ASSERT_EQ(CreateInterpreter(r, Bus(), {1, 0}), 1);
  TLine line(4, 10);
  line.Idle(3);
  const size_t start = line.Char('Z');
  line.S.resize(128, 0);
  for (size_t j = 0; j < line.S.size(); ++j)
    line.S[j] |= j & 3;
  r.DigitalSamples[0].assign(r.BufferCapacity, 0xFFFFFFFF);
  r.DigitalSamples[1].assign(line.S.begin(), line.S.begin() + r.BufferCapacity);
  r.ActiveDigitalTab = 1;
  r.BuffLength = 200;           // longer than the buffers: bounded by them
  r.InterpreterData[1].clear(); // a definition whose words were never made
  DecodeInterpreters(r);
  ASSERT_EQ(r.InterpreterData[1].size(), 64u);
  for (size_t j = 0; j < 64; ++j) {
    const uint32_t swapped = (j & 1) << 1 | (j >> 1 & 1);
    ASSERT_EQ(r.InterpreterData[1][j], swapped) << j;
  }
  // 'Z' needs 101 samples; it starts at 3 and the buffer holds 64: not decoded.
  EXPECT_EQ(r.InterpreterData[0], std::vector<uint32_t>(64, 0));

  r.BufferCapacity = 128;
  r.DigitalSamples[1] = line.S;
  DecodeInterpreters(r, 100);
  EXPECT_EQ(r.InterpreterData[0][start], 'Z' | kIntpInFrame);

  // Without a library the serial row stays empty; the bus still decodes.
  r.Lib.GetClockItems = nullptr;
  DecodeInterpreters(r);
  EXPECT_EQ(r.InterpreterData[0][start], 0u);
  EXPECT_EQ(r.InterpreterData[1][3], 3u);

  // A tab that does not exist and a member that names no channel decode nothing.
  r.ActiveDigitalTab = 3;
  r.ChConfig[InterpreterRow(r.ChConfig, 1) + 1] = kChMember | 40;
  DecodeInterpreters(r, 100);
  EXPECT_EQ(r.InterpreterData[1][3], 0u);
}

} // namespace
