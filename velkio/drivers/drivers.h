// The five model drivers and what the 8-bit scopes share.
#pragma once

#include "../driver.h"

#include <memory>
#include <vector>

namespace velkio {

std::unique_ptr<TDriver> MakeArdent(TProtocol &protocol);
std::unique_ptr<TDriver> MakeBrisk(TProtocol &protocol);
std::unique_ptr<TDriver> MakeCobalt(TProtocol &protocol);
std::unique_ptr<TDriver> MakeDorian(TProtocol &protocol);
std::unique_ptr<TDriver> MakeDorian12(TProtocol &protocol);

// Hysteresis of the 8-bit converters by margin index, in codes of 128.
extern const int32_t kHysteresis8[4];

// An 8-bit converter's code for a level relative to mid-scale.
inline uint8_t Code8(int32_t level) {
  return static_cast<uint8_t>((level + 128) & 0xFF);
}

// Converted sample: the correction times the signed 8-bit difference to the zero code.
inline float Convert8(uint8_t code, uint8_t zero, double correction) {
  return static_cast<float>(correction * static_cast<int8_t>(static_cast<uint8_t>(code - zero)));
}

// The first sample takes the second's value and the last the one before it.
template <typename T> void FixEnds(T *samples, int32_t count) {
  if (!samples || count < 2) return;
  samples[0] = samples[1];
  samples[count - 1] = samples[count - 2];
}

// Pattern bytes folded into a level word (1 = high) and a mask word (1 = don't care).
void FoldPattern(const uint8_t pattern[32], uint32_t &level, uint32_t &mask);

// Digital trigger mode for the edge-based conditions: {edge 0, edge 1, other}.
uint8_t EdgeMode(uint8_t digitalEdge, uint8_t e0, uint8_t e1, uint8_t other);

// The analog half of the 8-bit two-channel scopes: front end, trigger levels
// and read-out of banks 27 (A) and 28 (B).
class TAnalog8Driver : public TDriver {
public:
  using TDriver::TDriver;
  bool HasAnalog() const override { return true; }
  void GetDataA(float *a, float *b) override { ReadAnalog(a, b, nullptr, nullptr); }
  void GetADCDataA(int32_t *a, int32_t *b) override { ReadAnalog(nullptr, nullptr, a, b); }
  void SetThresholdA() override;

protected:
  // Registers 33, 36 and 32: ranges, couplings, gains (and interleave at the fastest clock).
  void QueueFrontEnd();
  // Registers 52 (upper) and 51 (lower).
  void QueueLevels();
  // Register 15 value for the internal clock, with the divider queued when needed.
  uint8_t QueueInternalClock();
  void ReadAnalog(float *a, float *b, int32_t *rawA, int32_t *rawB);
};

} // namespace velkio
