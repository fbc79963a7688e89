// The scope-and-logic unit: the 8-bit scope's analog half plus 16 logic channels.
#include "drivers.h"

namespace velkio {

namespace {

const uint8_t kLastAddress[3] = {3, 4, 5};
const uint8_t kPostTrigger[3] = {0, 1, 2};
const uint8_t kDelay[4] = {47, 48, 49, 50};
const uint8_t kSkip[3] = {54, 55, 56};

class TCobalt final : public TAnalog8Driver {
public:
  using TAnalog8Driver::TAnalog8Driver;

  std::u16string BaseName() const override { return u"Cobalt"; }
  bool HasDigital() const override { return true; }

  void InstallTables() override {
    TClockItem clocks[19];
    for (int i = 0; i < 19; ++i)
      clocks[i] = {kClockFrequencies[i], static_cast<uint8_t>(i == 0 ? 0 : 1),
                   static_cast<uint8_t>(i == 0 ? 8 : 16), i == 0 ? 2 : 1};
    V.InstallClocks(clocks, 19);
    V.InstallGains(kGains8Bit, 8);
    V.HalfRange = 128;
    V.ConfigFlags = 0x1F;
    const int32_t autoset[6] = {2, 4, 7, 10, 13, 0};
    std::copy(autoset, autoset + 6, V.AutosetClocks);
  }

  void SetupCapture() override {
    const TCaptureParams &c = V.CaptureParams;
    const bool strobe = c.ClockSource == 2;
    P.BeginBatch();
    P.QueueRegister(kRegRun, 0);
    P.QueueRegister(kRegArm, 0);
    QueueBytes(kLastAddress, 3, HalfAtFastest(c.BufferLength) - 1);
    int32_t post = HalfAtFastest(c.BufferLength - c.TriggerPosition) - c.DeviceLatency;
    QueueBytes(kPostTrigger, 3, strobe ? 0 : post);
    QueueFrontEnd();
    QueueLevels();
    if (c.TriggerKind == 0) {
      bool falling = c.AnalogEdge != 0;
      fTriggerMode = c.AnalogSource == 0   ? (falling ? 12 : 13)
                     : c.AnalogSource == 1 ? (falling ? 14 : 15)
                                           : (falling ? 17 : 16);
      P.QueueRegister(kRegTriggerMode, fTriggerMode);
    }
    P.QueueRegister(53, Fastest() ? 1 : 0);
    QueueBytes(kDelay, 4, strobe ? 0 : HalfAtFastest(c.CaptureDelay));
    if (c.EdgeCounterOn)
      P.QueueRegister(42, (c.EdgeCounterEdge == 1 ? 0x40 : 0) + (c.EdgeCounterChannel & 0x3F));
    P.QueueRegister(8, static_cast<uint8_t>(c.DigitalThreshold));
    if (c.TriggerKind == 1 && !strobe) QueueDigitalTrigger();
    QueueClock();
    if (P.SendBatch() && c.ClockSource == 0) WaitReady();
  }

  void ForceTrigger() override { ForceTriggerVia(kDelay, 18, true); }

  void GetDataD(uint32_t *samples) override {
    const int32_t n = V.CaptureParams.BufferLength;
    P.WriteRegister(kRegClockMode, 0x40);
    if (n > 0 && samples) {
      if (!Fastest()) {
        std::vector<uint8_t> bank(n, 0);
        ReadBank(25, bank.data(), n);
        FixEnds(bank.data(), n);
        for (int32_t i = 0; i < n; ++i)
          samples[i] = bank[i];
        std::fill(bank.begin(), bank.end(), 0);
        ReadBank(26, bank.data(), n);
        FixEnds(bank.data(), n);
        for (int32_t i = 0; i < n; ++i)
          samples[i] |= static_cast<uint32_t>(bank[i]) << 8;
      } else {
        // Channels 0-7 only, the two banks taking turns.
        const int32_t half = n / 2;
        std::vector<uint8_t> even(half, 0), odd(half, 0);
        ReadBank(25, even.data(), half);
        ReadBank(26, odd.data(), half);
        for (int32_t i = 0; i < half; ++i) {
          samples[2 * i] = even[i];
          samples[2 * i + 1] = odd[i];
        }
        if (n % 2) samples[n - 1] = n > 1 ? samples[n - 2] : 0;
      }
    }
    P.WriteRegister(kRegClockMode, fClockMode);
  }

  void ReadRAM(int32_t bank, uint8_t *data, int32_t length) override {
    SetAddressBeforeSetup(length);
    TDriver::ReadRAM(bank, data, length);
  }
  void WriteRAM(int32_t bank, const uint8_t *data, int32_t length) override {
    SetAddressBeforeSetup(length);
    TDriver::WriteRAM(bank, data, length);
  }

protected:
  std::u16string ChooseImage() const override { return BandImage(); }
  uint8_t BankRegister(int32_t bank) const override { return static_cast<uint8_t>(25 + bank); }

private:
  void QueueDigitalTrigger() {
    const TCaptureParams &c = V.CaptureParams;
    uint32_t level = 0, mask = 0;
    FoldPattern(c.Pattern, level, mask);
    auto queuePattern = [&] {
      P.QueueRegister(13, static_cast<uint8_t>(level));
      P.QueueRegister(20, static_cast<uint8_t>(level >> 8));
      P.QueueRegister(14, static_cast<uint8_t>(mask));
      P.QueueRegister(21, static_cast<uint8_t>(mask >> 8));
    };
    uint8_t mode = 0;
    switch (c.DigitalCondition) {
    case 0:
      P.QueueRegister(12, c.EdgeChannel);
      mode = EdgeMode(c.DigitalEdge, 2, 1, 3);
      break;
    case 1:
      queuePattern();
      mode = 4;
      break;
    case 2:
    case 3:
      P.QueueRegister(12, c.EdgeChannel);
      queuePattern();
      mode = c.DigitalCondition == 2 ? EdgeMode(c.DigitalEdge, 6, 5, 7)
                                     : EdgeMode(c.DigitalEdge, 9, 8, 10);
      break;
    default:
      break;
    }
    fTriggerMode = mode;
    P.QueueRegister(kRegTriggerMode, mode);
    bool skips = c.DigitalCondition == 0 || c.DigitalCondition == 2;
    QueueBytes(kSkip, 3, skips ? static_cast<uint32_t>(c.SkipCount) : 0);
  }

  void QueueClock() {
    const TCaptureParams &c = V.CaptureParams;
    if (c.ClockSource != 0) {
      fClockMode = c.ExtClockEdge == 1 ? 0x90 : 0x10;
      P.QueueRegister(kRegClockMode, fClockMode);
    } else {
      fClockMode = QueueInternalClock();
    }
  }

  // Before any capture set-up the instrument does not know how long its banks
  // are, so a bank transfer first tells it the transfer's length.
  void SetAddressBeforeSetup(int32_t length) {
    if (V.CaptureParams.BufferLength != 0 || length <= 0) return;
    P.BeginBatch();
    QueueBytes(kLastAddress, 3, static_cast<uint32_t>(length - 1));
    P.SendBatch();
  }
};

} // namespace

std::unique_ptr<TDriver> MakeCobalt(TProtocol &protocol) {
  return std::make_unique<TCobalt>(protocol);
}

} // namespace velkio
