#include "driver.h"

#include <chrono>
#include <thread>

namespace velkio {

const int32_t kClockFrequencies[19] = {
    200000000, 100000000, 50000000, 20000000, 10000000, 5000000, 2000000, 1000000, 500000, 200000,
    100000,    50000,     20000,    10000,    5000,     2000,    1000,    500,     200};

const TGainItem kGains8Bit[8] = {{25000, 1.025641026}, {10000, 1.240694789}, {5000, 1.296349252},
                                 {2500, 0.996574276},  {1000, 1.0},          {500, 0.967741935},
                                 {250, 1.011152416},   {100, 0.971659919}};

uint32_t Divider10MHz(int32_t clockIndex) {
  if (clockIndex < 4 || clockIndex > 18) return 0;
  return static_cast<uint32_t>(10000000 / kClockFrequencies[clockIndex]);
}

int SlotOfModel(uint8_t model) {
  switch (model) {
  case 1:
    return kSlotArdent;
  case 2:
    return kSlotBrisk;
  case 3:
    return kSlotCobalt;
  case 4:
    return kSlotDorian;
  case 5:
  case 6:
    return kSlotDorian12;
  default:
    return -1;
  }
}

bool TDriver::DownloadForCapture() {
  if (!P.DownloadImage(ChooseImage())) return false;
  // Without the latency the post-trigger count would be wrong.
  if (ReadsLatency() && !ReadLatency()) {
    V.FailStep(1);
    return false;
  }
  return true;
}

void TDriver::Start() {
  P.BeginBatch();
  P.QueueRegister(kRegArm, 0);
  P.QueueRegister(kRegRun, 1);
  P.SendBatch();
}

std::u16string TDriver::BandImage() const {
  const TCaptureParams &c = V.CaptureParams;
  if (c.ClockSource != 0) return BaseName() + u"LF";
  if (c.ClockIndex == 0) return BaseName() + u"200";
  if (c.ClockIndex >= 1 && c.ClockIndex <= 3) return BaseName() + u"HF";
  return BaseName() + u"LF";
}

void TDriver::ForceTriggerVia(const uint8_t delayRegs[4], uint8_t forcedMode, bool settle) {
  P.BeginBatch();
  QueueBytes(delayRegs, 4, 0);
  P.QueueRegister(kRegTriggerMode, forcedMode);
  P.SendBatch();
  if (settle) std::this_thread::sleep_for(std::chrono::milliseconds(100));
  P.WriteRegister(kRegTriggerMode, fTriggerMode);
}

void TDriver::SetThresholdD() {
  P.WriteRegister(8, static_cast<uint8_t>(V.CaptureParams.DigitalThreshold));
}

void TDriver::Stop() {
  P.WriteRegister(kRegRun, 0);
}

void TDriver::Clear() {
  P.BeginBatch();
  P.QueueRegister(kRegRun, 0);
  P.QueueRegister(kRegArm, 0);
  P.SendBatch();
}

uint8_t TDriver::ReadStatus() {
  uint8_t status = 0;
  P.ReadRegister(kRegStatus, status);
  return status;
}

void TDriver::StatusLED(bool on) {
  P.WriteRegister(kRegLED, on ? 0 : 8);
}

void TDriver::Release() {
  P.WriteRegister(kRegRelease, 255);
}

bool TDriver::ReadLatency() {
  uint8_t latency = 0;
  bool ok = P.ReadRegister(kRegLatency, latency);
  V.CaptureParams.DeviceLatency = latency;
  return ok;
}

void TDriver::ReadRAM(int32_t bank, uint8_t *data, int32_t length) {
  uint8_t reg = bank >= 0 && bank < 4 ? BankRegister(bank) : 0;
  if (reg == 0 || length <= 0 || !data) return;
  ReadBank(reg, data, static_cast<uint32_t>(length));
}

void TDriver::WriteRAM(int32_t bank, const uint8_t *data, int32_t length) {
  uint8_t reg = bank >= 0 && bank < 4 ? BankRegister(bank) : 0;
  if (reg == 0 || length <= 0 || !data) return;
  if (!P.WriteBlock(reg, data, static_cast<uint32_t>(length)))
    V.ReportError(6, "Communication error. Could not write memory.");
}

bool TDriver::ReadBank(uint8_t reg, uint8_t *data, uint32_t length) {
  if (P.ReadBlock(reg, data, length)) return true;
  // Every model says so (the original's scopes did not, and their incomplete
  // read-outs passed for captures).
  V.ReportError(6, "Communication error. Could not read memory.");
  return false;
}

void TDriver::QueueBytes(const uint8_t *regs, int count, uint32_t value) {
  for (int i = 0; i < count; ++i)
    P.QueueRegister(regs[i], static_cast<uint8_t>(value >> (8 * i)));
}

bool TDriver::WaitReady() {
  using Clock = std::chrono::steady_clock;
  const auto begin = Clock::now();
  for (;;) {
    uint8_t status = 0;
    const bool read = P.ReadRegister(kRegStatus, status);
    if (status != 0) break;
    // An instrument that went away says so at once (the purge reports it
    // with a code) rather than as a time-out two seconds later.
    if (!read && V.LastErrorCode != 0) return false;
    if (Clock::now() - begin >= std::chrono::milliseconds(2000)) {
      V.ReportError(1, "Could not set capture parameters. Timeout.");
      return false;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  return true;
}

int32_t TDriver::HalfAtFastest(int32_t value) const {
  return Fastest() ? value / 2 : value;
}

void TDriver::TriggerLevels(const int32_t hysteresis[4], int32_t &upper, int32_t &lower) const {
  const TCaptureParams &c = V.CaptureParams;
  int32_t h = c.Margin >= 0 && c.Margin <= 3 ? hysteresis[c.Margin] : 0;
  if (c.AnalogEdge != 0) {
    upper = c.LevelCode + h;
    lower = c.LevelCode;
  } else {
    upper = c.LevelCode;
    lower = c.LevelCode - h;
  }
}

uint8_t TDriver::ZeroCode(bool channelA, int32_t gain) const {
  int group = ((gain % 4) + 4) % 4;
  uint8_t zero = V.DeviceInfo[(channelA ? kInfoZeroA : kInfoZeroB) + group];
  return zero == 0 ? 128 : zero;
}

} // namespace velkio
