// The pen-type scope: one 8-bit channel, 100 MHz down to 200 Hz.
#include "drivers.h"

#include <chrono>
#include <thread>

namespace velkio {

namespace {

const uint8_t kLastAddress[3] = {3, 4, 5};
const uint8_t kPostTrigger[3] = {0, 1, 2};

// The full table starts at 100 MHz: index i runs at kClockFrequencies[i + 1].
uint32_t ArdentDivider(int32_t clockIndex) {
  if (clockIndex < 3 || clockIndex > 17) return 0;
  return static_cast<uint32_t>(10000000 / kClockFrequencies[clockIndex + 1]);
}

class TArdent final : public TDriver {
public:
  using TDriver::TDriver;

  std::u16string BaseName() const override { return u"Ardent"; }
  bool HasAnalog() const override { return true; }

  void InstallTables() override {
    TClockItem clocks[18];
    for (int i = 0; i < 18; ++i)
      clocks[i] = {kClockFrequencies[i + 1], 0, 0, 1};
    // Instruments without the fastest clock offer the table from 50 MHz on.
    int first = (V.DeviceFlags() & kFlagNoFastestPenClock) ? 1 : 0;
    V.InstallClocks(clocks + first, 18 - first);
    V.InstallGains(kGains8Bit, 8);
    V.HalfRange = 128;
    V.ConfigFlags = 0x01;
    const int32_t autoset[6] = {0, 3, 6, 9, 12, 0};
    std::copy(autoset, autoset + 6, V.AutosetClocks);
  }

  void SetupCapture() override {
    const TCaptureParams &c = V.CaptureParams;
    P.BeginBatch();
    P.QueueRegister(kRegRun, 0);
    P.QueueRegister(kRegArm, 0);
    QueueBytes(kLastAddress, 3, c.BufferLength - 1);
    QueueBytes(kPostTrigger, 3, c.BufferLength - c.TriggerPosition - c.DeviceLatency);
    P.QueueRegister(33, c.GainA > 3 ? 1 : 0);
    P.QueueRegister(36, c.CouplingA == 0 ? 1 : 0);
    P.QueueRegister(kRegLED, static_cast<uint8_t>(((c.GainA % 4) + 4) % 4));
    QueueLevels();
    fTriggerMode = c.AnalogEdge == 0 ? 2 : c.AnalogEdge == 1 ? 3 : 0;
    P.QueueRegister(kRegTriggerMode, fTriggerMode);
    if (c.ClockIndex >= 0 && c.ClockIndex <= 2) {
      fClockMode = static_cast<uint8_t>(c.ClockIndex);
      P.QueueRegister(kRegClockMode, fClockMode);
    } else {
      fClockMode = 0;
      P.QueueRegister(kRegClockMode, 0);
      uint32_t b = ArdentDivider(c.ClockIndex) - 1;
      P.QueueRegister(40, static_cast<uint8_t>(b));
      P.QueueRegister(41, static_cast<uint8_t>(b >> 8));
    }
    if (P.SendBatch()) WaitReady();
  }

  void ForceTrigger() override {
    P.WriteRegister(kRegTriggerMode, 1);
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    P.WriteRegister(kRegTriggerMode, fTriggerMode);
  }

  void GetDataA(float *a, float *) override { Read(a, nullptr); }
  void GetADCDataA(int32_t *a, int32_t *) override { Read(nullptr, a); }

  void SetThresholdA() override {
    P.BeginBatch();
    QueueLevels();
    P.SendBatch();
  }

protected:
  std::u16string ChooseImage() const override {
    return V.CaptureParams.ClockIndex > 2 ? u"ArdentLF" : u"ArdentHF";
  }
  uint8_t BankRegister(int32_t bank) const override { return bank == 0 ? 27 : 0; }

private:
  void QueueLevels() {
    int32_t upper = 0, lower = 0;
    TriggerLevels(kHysteresis8, upper, lower);
    P.QueueRegister(22, Code8(upper));
    P.QueueRegister(28, Code8(lower));
  }

  void Read(float *a, int32_t *raw) {
    const TCaptureParams &c = V.CaptureParams;
    const int32_t n = c.BufferLength;
    const uint8_t zero = ZeroCode(true, c.GainA);
    const double k = V.Correction(c.GainA);
    P.WriteRegister(kRegClockMode, c.ClockIndex > 2 ? 1 : 3);
    if (n > 0) {
      std::vector<uint8_t> bank(n, 0);
      ReadBank(27, bank.data(), n);
      for (int32_t i = 0; i < n; ++i) {
        if (a) a[i] = Convert8(bank[i], zero, k);
        if (raw) raw[i] = bank[i];
      }
      FixEnds(a, n);
      FixEnds(raw, n);
    }
    P.WriteRegister(kRegClockMode, fClockMode);
  }
};

} // namespace

std::unique_ptr<TDriver> MakeArdent(TProtocol &protocol) {
  return std::make_unique<TArdent>(protocol);
}

} // namespace velkio
