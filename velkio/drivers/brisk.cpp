// The 32-channel logic analyzer.
#include "drivers.h"

namespace velkio {

namespace {

const uint8_t kLastAddress[3] = {3, 4, 5};
const uint8_t kPostTrigger[3] = {0, 1, 2};
const uint8_t kDelay[4] = {47, 48, 49, 50};
const uint8_t kCounter[3] = {43, 44, 45};
const uint8_t kLevelRegs[4] = {13, 20, 30, 31};
const uint8_t kMaskRegs[4] = {14, 21, 22, 29};

class TBrisk final : public TDriver {
public:
  using TDriver::TDriver;

  std::u16string BaseName() const override { return u"Brisk"; }
  bool HasDigital() const override { return true; }

  void InstallTables() override {
    TClockItem clocks[19];
    for (int i = 0; i < 19; ++i)
      clocks[i] = {kClockFrequencies[i], 0, static_cast<uint8_t>(i == 0 ? 16 : 32), i == 0 ? 2 : 1};
    // The logic analyzer has no gains, half range or autoset clocks: those
    // stay as they are.
    V.InstallClocks(clocks, 19);
    V.ConfigFlags = 0x1E;
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
    if (c.EdgeCounterOn)
      P.QueueRegister(42, (c.EdgeCounterEdge == 1 ? 0x40 : 0) | (c.EdgeCounterChannel & 0x3F));
    QueueBytes(kDelay, 4, strobe ? 0 : HalfAtFastest(c.CaptureDelay));
    P.QueueRegister(8, static_cast<uint8_t>(c.DigitalThreshold));
    if (c.ClockSource == 0) QueueTrigger();
    if (c.ClockSource != 0) {
      fClockMode = c.ExtClockEdge == 1 ? 0x90 : 0x10;
      P.QueueRegister(kRegClockMode, fClockMode);
    } else if (c.ClockIndex >= 0 && c.ClockIndex <= 3) {
      static const uint8_t kModes[4] = {0, 0, 1, 2};
      fClockMode = kModes[c.ClockIndex];
      P.QueueRegister(kRegClockMode, fClockMode);
    } else {
      fClockMode = 0;
      P.QueueRegister(kRegClockMode, 0);
      uint32_t b = Divider10MHz(c.ClockIndex) - 1;
      P.QueueRegister(40, static_cast<uint8_t>(b));
      P.QueueRegister(41, static_cast<uint8_t>(b >> 8));
    }
    P.SendBatch();
  }

  void ForceTrigger() override { ForceTriggerVia(kDelay, 12, true); }

  void GetDataD(uint32_t *samples) override {
    const int32_t n = V.CaptureParams.BufferLength;
    P.WriteRegister(kRegClockMode, 0x40);
    if (n > 0 && samples) {
      std::fill(samples, samples + n, 0u);
      if (!Fastest()) {
        std::vector<uint8_t> bank(n);
        for (int k = 0; k < 4; ++k) {
          std::fill(bank.begin(), bank.end(), 0);
          ReadBank(static_cast<uint8_t>(25 + k), bank.data(), n);
          for (int32_t i = 0; i < n; ++i)
            samples[i] |= static_cast<uint32_t>(bank[i]) << (8 * k);
        }
      } else {
        // Banks 0/1 hold the even samples, 2/3 the odd ones; channels 16-31 read as 0.
        const int32_t half = n / 2;
        std::vector<uint8_t> bank(half);
        static const uint8_t kOrder[4] = {25, 27, 26, 28};
        for (int k = 0; k < 4; ++k) {
          std::fill(bank.begin(), bank.end(), 0);
          ReadBank(kOrder[k], bank.data(), half);
          const int32_t odd = k % 2, shift = k < 2 ? 0 : 8;
          for (int32_t i = 0; i < half; ++i)
            samples[2 * i + odd] |= static_cast<uint32_t>(bank[i]) << shift;
        }
      }
      FixEnds(samples, n);
    }
    P.WriteRegister(kRegClockMode, fClockMode);
  }

protected:
  std::u16string ChooseImage() const override { return BandImage(); }
  uint8_t BankRegister(int32_t bank) const override { return static_cast<uint8_t>(25 + bank); }

private:
  void QueueTrigger() {
    const TCaptureParams &c = V.CaptureParams;
    uint32_t level = 0, mask = 0;
    FoldPattern(c.Pattern, level, mask);
    auto queuePattern = [&] {
      QueueBytes(kLevelRegs, 4, level);
      QueueBytes(kMaskRegs, 4, mask);
    };
    switch (c.DigitalCondition) {
    case 0:
      if (c.SkipCount == 0) {
        P.QueueRegister(12, c.EdgeChannel);
        fTriggerMode = EdgeMode(c.DigitalEdge, 2, 1, 3);
        P.QueueRegister(kRegTriggerMode, fTriggerMode);
      } else {
        // The counter counts the edges to skip; this replaces the edge
        // counter's set-up.
        fTriggerMode = 11;
        P.QueueRegister(kRegTriggerMode, fTriggerMode);
        P.QueueRegister(42, 0x80 | (c.DigitalEdge == 1 ? 0x40 : 0) | (c.EdgeChannel & 0x1F));
        QueueBytes(kCounter, 3, static_cast<uint32_t>(c.SkipCount + 1));
      }
      break;
    case 1:
      queuePattern();
      fTriggerMode = 4;
      P.QueueRegister(kRegTriggerMode, fTriggerMode);
      break;
    case 2:
    case 3:
      P.QueueRegister(12, c.EdgeChannel);
      queuePattern();
      fTriggerMode = c.DigitalCondition == 2 ? EdgeMode(c.DigitalEdge, 6, 5, 7)
                                             : EdgeMode(c.DigitalEdge, 9, 8, 10);
      P.QueueRegister(kRegTriggerMode, fTriggerMode);
      break;
    default:
      fTriggerMode = 0;
      break;
    }
  }
};

} // namespace

std::unique_ptr<TDriver> MakeBrisk(TProtocol &protocol) {
  return std::make_unique<TBrisk>(protocol);
}

} // namespace velkio
