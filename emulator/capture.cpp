#include "capture.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdint>
#include <limits>

namespace velkemu {

namespace {

// Samples the trigger search looks at per call, and the chunk it takes them
// in: about 2 ms of analog work, so the host's poll never stalls for long.
constexpr int64_t kSearchBudget = 1 << 17;
// The edge counter only looks at one logic channel, which is far cheaper.
constexpr int64_t kCountBudget = 1 << 21;
constexpr size_t kChunk = 8192;

constexpr int64_t kForever = std::numeric_limits<int64_t>::max();

uint64_t Mix(uint64_t x) {
  x += 0x9E3779B97F4A7C15ull;
  x = (x ^ (x >> 30)) * 0xBF58476D1CE4E5B9ull;
  x = (x ^ (x >> 27)) * 0x94D049BB133111EBull;
  return x ^ (x >> 31);
}

} // namespace

// ---- host actions ----

void TCapture::Reset() {
  state_ = kIdle;
  status_ = 0;
  forcePending_ = false;
}

void TCapture::Start(const char *image, uint8_t cobaltInterleave, TClock::time_point now) {
  size_t bankSize = 0;
  for (const std::vector<uint8_t> &bank : banks_)
    bankSize = std::max(bankSize, bank.size());
  TCaptureSetup setup =
      DecodeSetup(model_, image, regs_, cobaltInterleave, bankSize, bench_.signals);
  if (!setup.runnable) {
    state_ = kIdle;
    return;
  }
  setup_ = setup;
  state_ = kRunning;
  status_ = 0x40;
  recorded_ = 0;
  trigger_ = -1;
  end_ = 0;
  delay_ = 0;
  first_ = -1;
  countedTo_ = 0;
  edgeCount_ = 0;
  events_ = 0;
  std::fill(std::begin(armed_), std::end(armed_), false);
  forcePending_ = setup_.trigger == kTriggerForced;
  forced_ = false;
  ++serial_;
  // A sample sees the signals half a period into its slot, so that signals
  // whose edges fall on multiples of the sample period read cleanly. CLK's
  // rising edges come a quarter period into its cycles and its falling edges
  // a high phase later, so that neither meets a signal locked to CLK or to
  // twice its rate on an edge.
  timebase_.period = 1.0 / setup_.rate;
  double at = setup_.externalClock == 0   ? 0.5
              : setup_.externalClock == 1 ? 0.25
                                          : 0.25 + bench_.signals.clockDuty;
  timebase_.start = signalTime_ + (at - std::floor(at)) * timebase_.period;
  last_ = now;
  credit_ = 0;
}

void TCapture::Stop() {
  if (state_ == kRunning) Finish(kStopped);
}

void TCapture::Clear() {
  Stop();
  state_ = kIdle;
  status_ = 0;
}

// Past the pre-trigger part the force takes the sample being recorded now.
// Writing the remembered mode back afterwards changes nothing: the capture
// searches with the mode it started with.
void TCapture::TriggerModeWritten(uint8_t value) {
  if (state_ != kRunning || trigger_ >= 0 || value != ForceValue(model_) || setup_.strobe) return;
  forcePending_ = true;
  if (recorded_ >= PreSamples()) {
    Record(1);
    credit_ -= 1;
  }
}

// ---- progress ----

int64_t TCapture::PreSamples() const {
  return std::max<int64_t>(0, setup_.samples - setup_.post);
}

void TCapture::Advance(TClock::time_point now) {
  if (state_ != kRunning) return;
  int64_t due = kForever;
  if (bench_.held) {
    due = 0;
  } else if (bench_.speed > 0) {
    credit_ += std::chrono::duration<double>(now - last_).count() * setup_.rate * bench_.speed;
    due = credit_ >= 9e18 ? kForever : static_cast<int64_t>(credit_);
    credit_ -= static_cast<double>(due);
  }
  last_ = now;
  // Time the work budget could not cover is not owed later: the capture runs
  // slower than the wall clock instead of piling up work.
  if (!Record(due)) credit_ = 0;
}

void TCapture::Step(int64_t n) {
  while (n > 0 && state_ == kRunning)
    Record(n, &n);
}

bool TCapture::Record(int64_t due, int64_t *left) {
  const bool external = setup_.externalClock != 0;
  int64_t searchLeft = kSearchBudget, countLeft = kCountBudget;
  bool starved = false;
  while (due > 0 && state_ == kRunning) {
    if (setup_.strobe) {
      // The memory fills once from address 0; there is no trigger.
      int64_t step = std::min(due, setup_.samples - recorded_);
      recorded_ += step;
      due -= step;
      if (recorded_ >= setup_.samples) {
        status_ |= 0x80;
        Finish(kComplete);
      }
      continue;
    }
    if (trigger_ < 0) {
      int64_t pre = PreSamples();
      if (recorded_ < pre) {
        int64_t step = std::min(due, pre - recorded_);
        recorded_ += step;
        due -= step;
      } else {
        if (!external) status_ |= 0x80;
        if (forcePending_) {
          Trigger(recorded_, true);
          ++recorded_;
          --due;
        } else if (searchLeft <= 0) {
          starved = true;
          break;
        } else {
          const int64_t cost = SearchCost();
          int64_t step = std::min(
              {due, std::max<int64_t>(1, searchLeft / cost), static_cast<int64_t>(kChunk)});
          int64_t hit = Search(recorded_, static_cast<size_t>(step));
          int64_t taken = hit >= 0 ? hit - recorded_ + 1 : step;
          searchLeft -= taken * cost;
          recorded_ += taken;
          due -= taken;
          if (hit >= 0) Trigger(hit, false);
        }
      }
    } else {
      int64_t step = std::min(due, end_ - recorded_);
      if (setup_.counting) {
        if (countLeft <= 0) {
          starved = true;
          break;
        }
        step = std::min(step, countLeft);
        countLeft -= step;
      }
      recorded_ += step;
      due -= step;
      if (setup_.counting) CountEdges(countedTo_, recorded_);
      if (recorded_ >= trigger_ + 1 + delay_) status_ |= 0x08;
    }
    if (external && recorded_ >= setup_.samples) status_ |= 0x80;
    if (trigger_ >= 0 && recorded_ >= end_) Finish(kComplete);
  }
  if (left) *left = due;
  return !starved;
}

void TCapture::Trigger(int64_t k, bool forced) {
  trigger_ = k;
  forced_ = forced;
  forcePending_ = false;
  status_ |= 0x02;
  delay_ = static_cast<int64_t>(DelayPositions(model_, regs_)) * setup_.interleave;
  end_ = std::max(k + 1, k + setup_.post + delay_);
  countedTo_ = k + 1;
  if (delay_ == 0) status_ |= 0x08;
}

void TCapture::Finish(TState how) {
  if (how == kComplete) status_ |= 0x01;
  state_ = how;
  Layout();
  signalTime_ += static_cast<double>(recorded_) * timebase_.period;
}

// ---- trigger search ----

int64_t TCapture::Search(int64_t k0, size_t n) {
  switch (setup_.trigger) {
  case kTriggerAnalog:
    return SearchAnalog(k0, n);
  case kTriggerDigital:
    return SearchDigital(k0, n);
  default:
    return -1; // a mode the model does not know: only a forced trigger helps
  }
}

// Rising: the first sample at or above the upper level after the source was
// below the lower one; falling: at or below the lower level after it was above
// the upper one. X is a logic input and fires on its own level changes; on the
// 12-bit scope only while its connector is an input.
int64_t TCapture::SearchAnalog(int64_t k0, size_t n) {
  int upper = 0, lower = 0;
  AnalogLevels(model_, regs_, upper, lower);
  const uint8_t edges = setup_.analogEdges;
  const bool useX = (edges & (kRiseX | kFallX)) && setup_.extTrigger == 0;
  for (int input = kInputA; input <= kInputB; ++input) {
    uint8_t mine = input == kInputA ? (kRiseA | kFallA) : (kRiseB | kFallB);
    if (edges & mine) {
      codes_[input].resize(n);
      Codes(input, k0, n, codes_[input].data());
    }
  }
  const TAnalogSignal &x = bench_.signals.analog[kInputX];
  for (size_t i = 0; i < n; ++i) {
    const int64_t k = k0 + static_cast<int64_t>(i);
    bool fire = false;
    auto judge = [&](int input, int code, int up, int low, uint8_t rise, uint8_t fall) {
      if (edges & rise) {
        bool &armed = armed_[2 * input];
        if (code < low)
          armed = true;
        else if (armed && code >= up)
          fire = true;
      }
      if (edges & fall) {
        bool &armed = armed_[2 * input + 1];
        if (code > up)
          armed = true;
        else if (armed && code <= low)
          fire = true;
      }
    };
    if (edges & (kRiseA | kFallA)) judge(kInputA, codes_[kInputA][i], upper, lower, kRiseA, kFallA);
    if (edges & (kRiseB | kFallB)) judge(kInputB, codes_[kInputB][i], upper, lower, kRiseB, kFallB);
    if (useX) {
      int level = x.MilliVolts(timebase_.Time(k)) >= kLogicThresholdMilliVolts ? 1 : 0;
      judge(kInputX, level, 1, 1, kRiseX, 0);
      judge(kInputX, level, 0, 0, 0, kFallX);
    }
    if (fire) return k;
  }
  return -1;
}

// The logic channels the digital trigger looks at.
uint32_t TCapture::TriggerChannels() const {
  uint32_t edge = 1u << setup_.edgeChannel, pattern = ~setup_.patternMask;
  uint32_t used = setup_.combine == TCaptureSetup::kEdge      ? edge
                  : setup_.combine == TCaptureSetup::kPattern ? pattern
                                                              : edge | pattern;
  return used & RecordedChannels();
}

// Work per searched sample, in units of about one analog sample.
int64_t TCapture::SearchCost() const {
  if (setup_.trigger != kTriggerDigital) return 1;
  return 1 + std::popcount(TriggerChannels()) / 8;
}

int64_t TCapture::SearchDigital(int64_t k0, size_t n) {
  // One sample before the chunk, for the edges of its first sample.
  words_.resize(n + 1);
  Words(k0 - 1, n + 1, TriggerChannels(), words_.data());
  const uint32_t bit = 1u << setup_.edgeChannel;
  const uint32_t care = ~setup_.patternMask;
  for (size_t i = 1; i <= n; ++i) {
    const uint32_t now = words_[i], before = words_[i - 1];
    const bool rise = (now & bit) && !(before & bit);
    const bool fall = !(now & bit) && (before & bit);
    const bool edge = setup_.edgeType == 0 ? rise : setup_.edgeType == 1 ? fall : rise || fall;
    const bool pattern = ((now ^ setup_.patternLevel) & care) == 0;
    bool event = false;
    switch (setup_.combine) {
    case TCaptureSetup::kEdge:
      event = edge;
      break;
    case TCaptureSetup::kPattern:
      event = pattern;
      break;
    case TCaptureSetup::kEdgeAndPattern:
      event = edge && pattern;
      break;
    case TCaptureSetup::kEdgeOrPattern:
      event = edge || pattern;
      break;
    }
    if (!event) continue;
    if (events_ >= setup_.skips) return k0 + static_cast<int64_t>(i) - 1;
    ++events_;
  }
  return -1;
}

// The counter sees the edges of its channel on samples after the trigger,
// rising or falling as register 42 says.
void TCapture::CountEdges(int64_t from, int64_t to) {
  if (setup_.counterChannel >= kLogicChannels) {
    countedTo_ = to;
    return;
  }
  const TDigitalSignal &signal = bench_.signals.logic[setup_.counterChannel];
  while (from < to) {
    size_t n = static_cast<size_t>(std::min<int64_t>(to - from, 1 << 16));
    words_.assign(n + 1, 0);
    signal.Fill(timebase_, from - 1, n + 1, 1, words_.data());
    for (size_t i = 1; i <= n; ++i)
      if (words_[i] != words_[i - 1] && (words_[i] == 0) == setup_.counterFalling) ++edgeCount_;
    from += static_cast<int64_t>(n);
  }
  countedTo_ = to;
}

// ---- samples ----

int TCapture::Noise(int input, int64_t k) const {
  const int amplitude = bench_.noise;
  if (amplitude <= 0) return 0;
  uint64_t x = Mix(serial_ * 0x100000001B3ull ^ (static_cast<uint64_t>(input) << 60) ^
                   static_cast<uint64_t>(k));
  return static_cast<int>(x % static_cast<uint64_t>(2 * amplitude + 1)) - amplitude;
}

// Both converters take channel A through A's front end when they interleave;
// channel B goes through its own.
void TCapture::Codes(int input, int64_t k0, size_t n, int16_t *out) const {
  const TAnalogSignal &signal = bench_.signals.analog[input];
  const bool a = input == kInputA;
  const int gain = a ? setup_.gainA : setup_.gainB;
  const TGain &g = Gain(model_, gain);
  const double removed = (a ? setup_.acA : setup_.acB) ? signal.Mean() : 0;
  double scale;
  int zero, low, high;
  if (TwelveBit(model_)) {
    scale = 2048.0 / g.halfScale;
    zero = 0, low = -2048, high = 2047;
  } else {
    scale = 128.0 / g.halfScale / g.correction;
    uint8_t stored = info_[(a ? 250 : 246) + (gain & 3)];
    zero = stored ? stored : 128;
    low = 0, high = 255;
  }
  for (size_t i = 0; i < n; ++i) {
    const int64_t k = k0 + static_cast<int64_t>(i);
    double codes = std::clamp((signal.MilliVolts(timebase_.Time(k)) - removed) * scale, -1e6, 1e6);
    // Rounded half away from zero, as lround() would, without its call.
    long rounded = codes >= 0 ? static_cast<long>(codes + 0.5) : -static_cast<long>(0.5 - codes);
    long code = zero + rounded + Noise(input, k);
    out[i] = static_cast<int16_t>(std::clamp<long>(code, low, high));
  }
}

uint32_t TCapture::RecordedChannels() const {
  int n = setup_.digitalChannels;
  return n >= 32 ? ~0u : (1u << n) - 1;
}

// In stretches that stay in the cache while every channel adds its bit.
void TCapture::Words(int64_t k0, size_t n, uint32_t mask, uint32_t *out) const {
  std::fill(out, out + n, 0u);
  for (size_t at = 0; at < n; at += kChunk) {
    size_t len = std::min(kChunk, n - at);
    for (int c = 0; c < kLogicChannels; ++c)
      if (mask >> c & 1)
        bench_.signals.logic[c].Fill(timebase_, k0 + static_cast<int64_t>(at), len, 1u << c,
                                     out + at);
  }
}

// The last samples recorded, oldest first from address 0 — the inverse of the
// host's read-out: interleaved samples alternate between two banks, the
// 12-bit codes split into low bytes and a shared nibble bank.
void TCapture::Layout() {
  const int64_t count = std::min(recorded_, setup_.samples);
  first_ = recorded_ - count;
  if (count <= 0) return;
  const size_t n = static_cast<size_t>(count);
  const bool ilv = setup_.interleave == 2;
  // Whole positions only, and no more than the banks hold now (the control
  // API may have shrunk them since the start).
  size_t room = SIZE_MAX;
  for (const std::vector<uint8_t> &bank : banks_)
    if (!bank.empty()) room = std::min(room, bank.size());
  const size_t positions = std::min(ilv ? n / 2 : n, room);
  const bool analog = model_ != kBrisk;
  const bool logic = model_ == kBrisk || model_ == kCobalt;
  std::vector<int16_t> a, b;
  std::vector<uint32_t> w;
  if (analog) {
    a.resize(n);
    Codes(kInputA, first_, n, a.data());
    if (setup_.channelB) {
      b.resize(n);
      Codes(kInputB, first_, n, b.data());
    }
  }
  if (logic) {
    w.resize(n);
    Words(first_, n, RecordedChannels(), w.data());
  }
  auto byte = [](auto v, int shift) {
    return static_cast<uint8_t>(static_cast<uint32_t>(v) >> shift);
  };
  // The sample of position j in the first and second bank of a pair.
  auto even = [&](const auto &v, size_t j) { return ilv ? v[2 * j] : v[j]; };
  auto odd = [&](const auto &v, const auto &other, size_t j) {
    return ilv ? v[2 * j + 1] : other[j];
  };

  switch (model_) {
  case kArdent:
    for (size_t j = 0; j < positions; ++j)
      banks_[2][j] = byte(a[j], 0);
    break;
  case kBrisk:
    for (size_t j = 0; j < positions; ++j) {
      if (ilv) {
        banks_[0][j] = byte(w[2 * j], 0);
        banks_[1][j] = byte(w[2 * j], 8);
        banks_[2][j] = byte(w[2 * j + 1], 0);
        banks_[3][j] = byte(w[2 * j + 1], 8);
      } else {
        for (int k = 0; k < 4; ++k)
          banks_[k][j] = byte(w[j], 8 * k);
      }
    }
    break;
  case kCobalt:
  case kDorian:
    for (size_t j = 0; j < positions; ++j) {
      banks_[2][j] = byte(even(a, j), 0);
      banks_[3][j] = byte(odd(a, b, j), 0);
      if (model_ == kCobalt) {
        banks_[0][j] = byte(even(w, j), 0);
        banks_[1][j] = ilv ? byte(w[2 * j + 1], 0) : byte(w[j], 8);
      }
    }
    break;
  case kDorian12:
  case kFenwick:
    for (size_t j = 0; j < positions; ++j) {
      uint32_t first = static_cast<uint16_t>(even(a, j));
      uint32_t second = static_cast<uint16_t>(odd(a, b, j));
      banks_[0][j] = byte(first, 0);
      banks_[2][j] = byte(second, 0);
      banks_[1][j] = static_cast<uint8_t>((first >> 8 & 0x0F) | (second >> 8 & 0x0F) << 4);
    }
    break;
  default:
    break;
  }
}

} // namespace velkemu
