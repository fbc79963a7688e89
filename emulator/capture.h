// An instrument's capture: the sample stream recorded into the memory as a
// ring, the trigger search, the capture delay, the post-trigger part, the edge
// counter, and at the end the banks laid out as the host reads them.
//
// Time is simulated. Whenever the host touches the instrument the capture
// advances by the wall time since the last touch × sampling rate × speed
// factor (speed 0: as far as it can). Signals are functions of signal time, so
// nothing is generated while memory merely fills; only the trigger search and
// the edge counter look at samples on the way (in bounded chunks per call),
// and the memory is generated once, when the capture ends.
#pragma once

#include "capture_setup.h"
#include "models.h"
#include "signals.h"

#include <array>
#include <chrono>
#include <cstdint>
#include <vector>

namespace velkemu {

// What every instrument of the process shares: the signals on the inputs, the
// speed of simulated time and the converters' noise.
struct TBench {
  TSignalSet signals;
  double speed = 1;  // simulated seconds per wall second; 0: instant
  bool held = false; // time stands still: only velkemu_advance moves it
  int noise = 1;     // ± converter codes
};

using TBanks = std::array<std::vector<uint8_t>, kBankCount>;
using TClock = std::chrono::steady_clock;

class TCapture {
public:
  enum TState { kIdle, kRunning, kComplete, kStopped };

  TCapture(int model, const TBench &bench, const TRegisters &regs, TBanks &banks,
           const TInfoBlock &info)
      : model_(model), bench_(bench), regs_(regs), banks_(banks), info_(info) {}

  // Register 6 = 1: decodes the registers and runs, unless the image cannot
  // provide the clock (then nothing happens and the instrument stays idle).
  void Start(const char *image, uint8_t cobaltInterleave, TClock::time_point now);
  // Register 6 = 0: recording stops where it is; the banks get what it holds.
  void Stop();
  // Register 9 = 0: stops a running capture and forgets the status bits.
  void Clear();
  // Register 11 written: the force value triggers (once the pre-trigger part is in).
  void TriggerModeWritten(uint8_t value);
  // Catches up with the wall clock.
  void Advance(TClock::time_point now);
  // Records n samples, however much work that takes (held time).
  void Step(int64_t n);
  // Configuration or power-up: idle, nothing pending.
  void Reset();

  TState State() const { return state_; }
  uint8_t Status() const { return status_; }
  const TCaptureSetup &Setup() const { return setup_; }
  const TTimebase &Timebase() const { return timebase_; }
  int64_t Recorded() const { return recorded_; }
  int64_t TriggerSample() const { return trigger_; }
  int64_t FirstSample() const { return first_; }
  int64_t DelaySamples() const { return delay_; }
  bool Forced() const { return forced_; }
  uint32_t EdgeCount() const { return edgeCount_; }

private:
  int64_t PreSamples() const;
  // Records up to due samples; false when the work budget ran out first
  // (left: what was not recorded).
  bool Record(int64_t due, int64_t *left = nullptr);
  void Trigger(int64_t k, bool forced);
  void Finish(TState how);
  // The first sample in [k0, k0 + n) that fires the trigger, or -1.
  int64_t Search(int64_t k0, size_t n);
  int64_t SearchAnalog(int64_t k0, size_t n);
  int64_t SearchDigital(int64_t k0, size_t n);
  void CountEdges(int64_t from, int64_t to);
  void Layout();

  // Converter codes of input A or B for samples k0.. (8-bit 0..255 or signed 12-bit).
  void Codes(int input, int64_t k0, size_t n, int16_t *out) const;
  // Logic words of the recorded channels (or of mask) for samples k0..
  void Words(int64_t k0, size_t n, uint32_t mask, uint32_t *out) const;
  uint32_t RecordedChannels() const;
  uint32_t TriggerChannels() const;
  int64_t SearchCost() const;
  int Noise(int input, int64_t k) const;

  const int model_;
  const TBench &bench_;
  const TRegisters &regs_;
  TBanks &banks_;
  const TInfoBlock &info_;

  TState state_ = kIdle;
  TCaptureSetup setup_;
  TTimebase timebase_;
  uint8_t status_ = 0;
  int64_t recorded_ = 0; // samples recorded since the start
  int64_t trigger_ = -1; // sample that fired, -1 before
  int64_t end_ = 0;      // recording stops after this many samples (once triggered)
  int64_t delay_ = 0;    // samples between the trigger and the post-trigger part
  int64_t first_ = -1;   // sample at address 0 once the capture ended
  int64_t countedTo_ = 0;
  uint32_t edgeCount_ = 0;
  uint32_t events_ = 0; // qualifying events so far (edge skipping)
  bool armed_[2 * kAnalogInputs] = {};
  bool forcePending_ = false;
  bool forced_ = false;
  double signalTime_ = 0; // where the next capture starts in signal time
  uint64_t serial_ = 0;   // captures so far: seeds the noise
  TClock::time_point last_{};
  double credit_ = 0; // samples due but not yet recorded

  std::vector<int16_t> codes_[2];
  std::vector<uint32_t> words_;
};

} // namespace velkemu
