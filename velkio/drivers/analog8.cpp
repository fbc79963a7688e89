#include "drivers.h"

namespace velkio {

const int32_t kHysteresis8[4] = {0, 4, 7, 13};

void FoldPattern(const uint8_t pattern[32], uint32_t &level, uint32_t &mask) {
  level = 0;
  mask = 0;
  for (int n = 0; n < 32; ++n) {
    if (pattern[n] == 1) level |= 1u << n;
    if (pattern[n] == 2) mask |= 1u << n;
  }
}

uint8_t EdgeMode(uint8_t digitalEdge, uint8_t e0, uint8_t e1, uint8_t other) {
  return digitalEdge == 0 ? e0 : digitalEdge == 1 ? e1 : other;
}

std::unique_ptr<TDriver> MakeDriver(TSlot slot, TProtocol &protocol) {
  switch (slot) {
  case kSlotArdent:
    return MakeArdent(protocol);
  case kSlotBrisk:
    return MakeBrisk(protocol);
  case kSlotCobalt:
    return MakeCobalt(protocol);
  case kSlotDorian:
    return MakeDorian(protocol);
  case kSlotDorian12:
    return MakeDorian12(protocol);
  default:
    return nullptr;
  }
}

void TAnalog8Driver::QueueFrontEnd() {
  const TCaptureParams &c = V.CaptureParams;
  P.QueueRegister(33, (c.GainA > 3 ? 0x01 : 0) | (c.GainB > 3 ? 0x02 : 0));
  P.QueueRegister(36, (c.CouplingA == 0 ? 0x01 : 0) | (c.CouplingB == 0 ? 0x02 : 0));
  uint8_t gains =
      static_cast<uint8_t>((((c.GainA % 4) + 4) % 4) | ((((c.GainB % 4) + 4) % 4) << 4));
  P.QueueRegister(kRegLED, gains | (Fastest() ? 0x40 : 0));
}

void TAnalog8Driver::QueueLevels() {
  int32_t upper = 0, lower = 0;
  TriggerLevels(kHysteresis8, upper, lower);
  P.QueueRegister(52, Code8(upper));
  P.QueueRegister(51, Code8(lower));
}

void TAnalog8Driver::SetThresholdA() {
  P.BeginBatch();
  QueueLevels();
  P.SendBatch();
}

uint8_t TAnalog8Driver::QueueInternalClock() {
  const TCaptureParams &c = V.CaptureParams;
  uint8_t probe = c.ProbeComp ? 0x20 : 0;
  if (c.ClockIndex >= 0 && c.ClockIndex <= 3) {
    static const uint8_t kModes[4] = {0, 0, 1, 2};
    uint8_t mode = kModes[c.ClockIndex] | probe;
    P.QueueRegister(kRegClockMode, mode);
    return mode;
  }
  uint32_t b = Divider10MHz(c.ClockIndex) - 1;
  P.QueueRegister(kRegClockMode, probe);
  P.QueueRegister(40, static_cast<uint8_t>(b));
  P.QueueRegister(41, static_cast<uint8_t>(b >> 8));
  return probe;
}

void TAnalog8Driver::ReadAnalog(float *a, float *b, int32_t *rawA, int32_t *rawB) {
  const TCaptureParams &c = V.CaptureParams;
  const int32_t n = c.BufferLength;
  const uint8_t za = ZeroCode(true, c.GainA), zb = ZeroCode(false, c.GainB);
  const double ka = V.Correction(c.GainA), kb = V.Correction(c.GainB);
  P.WriteRegister(kRegClockMode, 0x40);
  if (n > 0) {
    if (!Fastest()) {
      std::vector<uint8_t> bank(n, 0);
      ReadBank(27, bank.data(), n);
      for (int32_t i = 0; i < n; ++i) {
        if (a) a[i] = Convert8(bank[i], za, ka);
        if (rawA) rawA[i] = bank[i];
      }
      std::fill(bank.begin(), bank.end(), 0);
      ReadBank(28, bank.data(), n);
      for (int32_t i = 0; i < n; ++i) {
        if (b) b[i] = Convert8(bank[i], zb, kb);
        if (rawB) rawB[i] = bank[i];
      }
    } else {
      // Both converters sample channel A, one the even and one the odd samples.
      const int32_t half = n / 2;
      std::vector<uint8_t> even(half, 0), odd(half, 0);
      ReadBank(27, even.data(), half);
      ReadBank(28, odd.data(), half);
      for (int32_t i = 0; i < half; ++i) {
        if (a) {
          a[2 * i] = Convert8(even[i], za, ka);
          a[2 * i + 1] = Convert8(odd[i], za, ka);
        }
        if (rawA) {
          rawA[2 * i] = even[i];
          rawA[2 * i + 1] = odd[i];
        }
      }
    }
  }
  P.WriteRegister(kRegClockMode, fClockMode);
  FixEnds(a, n);
  FixEnds(rawA, n);
  if (!Fastest()) {
    FixEnds(b, n);
    FixEnds(rawB, n);
  }
}

} // namespace velkio
