// The two-channel 8-bit scope.
#include "drivers.h"

namespace velkio {

namespace {

const uint8_t kLastAddress[3] = {3, 4, 5};
const uint8_t kPostTrigger[3] = {0, 1, 2};
const uint8_t kDelay[4] = {47, 48, 49, 50};

class TDorian final : public TAnalog8Driver {
public:
  using TAnalog8Driver::TAnalog8Driver;

  std::u16string BaseName() const override { return u"Dorian"; }

  void InstallTables() override {
    TClockItem clocks[19];
    for (int i = 0; i < 19; ++i)
      clocks[i] = {kClockFrequencies[i], static_cast<uint8_t>(i == 0 ? 0 : 1), 0, i == 0 ? 2 : 1};
    V.InstallClocks(clocks, 19);
    V.InstallGains(kGains8Bit, 8);
    V.HalfRange = 128;
    V.ConfigFlags = 0x01;
    const int32_t autoset[6] = {2, 4, 7, 10, 13, 0};
    std::copy(autoset, autoset + 6, V.AutosetClocks);
  }

  void SetupCapture() override {
    const TCaptureParams &c = V.CaptureParams;
    P.BeginBatch();
    P.QueueRegister(kRegRun, 0);
    P.QueueRegister(kRegArm, 0);
    QueueBytes(kLastAddress, 3, HalfAtFastest(c.BufferLength) - 1);
    QueueBytes(kPostTrigger, 3,
               HalfAtFastest(c.BufferLength - c.TriggerPosition) - c.DeviceLatency);
    QueueFrontEnd();
    bool falling = c.AnalogEdge != 0;
    fTriggerMode = c.AnalogSource == 0   ? (falling ? 12 : 13)
                   : c.AnalogSource == 1 ? (falling ? 14 : 15)
                                         : 17;
    P.QueueRegister(kRegTriggerMode, fTriggerMode);
    QueueLevels();
    if (c.ClockSource != 0) {
      fClockMode = 0x10;
      P.QueueRegister(kRegClockMode, fClockMode);
    } else {
      fClockMode = QueueInternalClock();
    }
    if (P.SendBatch()) WaitReady();
  }

  void ForceTrigger() override { ForceTriggerVia(kDelay, 18, true); }

protected:
  std::u16string ChooseImage() const override { return BandImage(); }
  uint8_t BankRegister(int32_t bank) const override { return bank == 2 ? 27 : bank == 3 ? 28 : 0; }
};

} // namespace

std::unique_ptr<TDriver> MakeDorian(TProtocol &protocol) {
  return std::make_unique<TDorian>(protocol);
}

} // namespace velkio
