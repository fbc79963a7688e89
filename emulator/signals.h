// The signals on the emulated instruments' inputs: analog channels A, B and
// the external trigger input X, logic channels D0..D31 and the external clock
// CLK. One set serves every instrument of the process, like a signal generator
// wired to the bench. The set is a list of per-channel overrides of a default
// set; the syntax is described in emulator/README.md.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace velkemu {

constexpr int kAnalogInputs = 3; // A, B, X
constexpr int kInputA = 0, kInputB = 1, kInputX = 2;
constexpr int kLogicChannels = 32;
// X counts as high at and above this level.
constexpr double kLogicThresholdMilliVolts = 1400.0;

// Where sample k of a capture sits in signal time: start + k × period.
struct TTimebase {
  double start = 0;  // seconds
  double period = 1; // seconds per sample
  double Time(int64_t k) const { return start + static_cast<double>(k) * period; }
};

struct TAnalogSignal {
  enum TKind { kDc, kSine, kSquare, kTriangle };
  TKind kind = kDc;
  double frequency = 0; // Hz
  double amplitude = 0; // mV
  double offset = 0;    // mV
  double phase = 0;     // cycles (0..1)
  double duty = 0.5;    // square: share of the cycle at offset + amplitude
  double MilliVolts(double t) const;
  // The average level, which AC coupling takes away.
  double Mean() const;
};

// A logic signal is a cyclic sequence of slots at a fixed slot rate: at time t
// it shows slot floor(t × rate + offset) modulo the length. Clocks, patterns,
// counter bits and serial text are all of this form, which lets a capture
// fill a run of equal samples at once.
struct TDigitalSignal {
  std::vector<uint8_t> slots{0};
  double rate = 1;   // slots per second
  double offset = 0; // slots

  int64_t Slot(const TTimebase &tb, int64_t k) const;
  bool Level(const TTimebase &tb, int64_t k) const;
  // ORs bit into words[i] for every sample k0 + i (i < n) at which the signal is high.
  void Fill(const TTimebase &tb, int64_t k0, size_t n, uint32_t bit, uint32_t *words) const;

  // Slots from each slot to the next one of the other level (0: the signal
  // never changes). Computed by Finish.
  std::vector<uint32_t> runs{0};
  void Finish();
};

struct TSignalSet {
  TAnalogSignal analog[kAnalogInputs];
  TDigitalSignal logic[kLogicChannels];
  double clockRate = 1e6; // CLK, Hz
  double clockDuty = 0.5;

  // The default set, overridden by a signal list (nullptr or "" for none).
  // Returns false and leaves *out alone when the list has a syntax error;
  // error then tells why.
  static bool Make(const char *list, TSignalSet &out, std::string *error = nullptr);
};

// The default set as a signal list.
extern const char *const kDefaultSignals;

} // namespace velkemu
