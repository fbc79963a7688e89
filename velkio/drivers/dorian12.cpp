// The two-channel 12-bit scope; also drives the Fenwick instrument.
#include "drivers.h"

#include <chrono>
#include <thread>

namespace velkio {

namespace {

const uint8_t kLastAddress[3] = {3, 4, 5};
const uint8_t kPostTrigger[3] = {0, 1, 2};
const uint8_t kDelay[4] = {17, 18, 19, 20};
const uint8_t kDivider[3] = {21, 22, 23};
const uint8_t kProbePeriod[3] = {37, 38, 39};
const int32_t kHysteresis12[4] = {0, 62, 102, 205};
const TGainItem kGains12[6] = {{10000, 1.0}, {5000, 1.0}, {2500, 1.0},
                               {1000, 1.0},  {500, 1.0},  {250, 1.0}};

// The trigger pipeline's delay in samples, by clock index.
int32_t PipelineCorrection(int32_t clockIndex) {
  if (clockIndex <= 1) return 6;
  if (clockIndex == 2) return 5;
  if (clockIndex == 3) return 3;
  if (clockIndex <= 6) return 2;
  return 1;
}

// Divider of the 20 MHz base by clock index (3..17), 0 beyond the table.
uint32_t Divider20MHz(int32_t clockIndex) {
  if (clockIndex < 3 || clockIndex > 17) return 0;
  return static_cast<uint32_t>(20000000 / kClockFrequencies[clockIndex + 1]);
}

int32_t SignExtend12(uint32_t code) {
  code &= 0xFFF;
  return code >= 0x800 ? static_cast<int32_t>(code) - 4096 : static_cast<int32_t>(code);
}

class TDorian12 final : public TDriver {
public:
  using TDriver::TDriver;

  std::u16string BaseName() const override { return u"Dorian-12"; }
  std::u16string VariantName(const std::u16string &) const override { return u"Dorian-12"; }
  bool ReadsLatency() const override { return false; }
  bool HasAnalog() const override { return true; }

  void InstallTables() override {
    TClockItem clocks[18];
    for (int i = 0; i < 18; ++i)
      clocks[i] = {kClockFrequencies[i + 1], static_cast<uint8_t>(i == 0 ? 0 : 1), 0,
                   i == 0 ? 2 : 1};
    V.InstallClocks(clocks, 18);
    V.InstallGains(kGains12, 6);
    V.HalfRange = 2048;
    V.ConfigFlags = 0x11;
    const int32_t autoset[6] = {1, 4, 7, 10, 0, 0};
    std::copy(autoset, autoset + 6, V.AutosetClocks);
    if (V.ModelCode == 6) V.Fenwick = 1;
  }

  void SetupCapture() override {
    const TCaptureParams &c = V.CaptureParams;
    P.BeginBatch();
    P.QueueRegister(kRegRun, 0);
    P.QueueRegister(kRegArm, 0);
    QueueBytes(kLastAddress, 3, HalfAtFastest(c.BufferLength) - 1);
    uint32_t post = HalfAtFastest(c.BufferLength - c.TriggerPosition);
    if (c.AnalogSource != 2) post -= PipelineCorrection(c.ClockIndex);
    if (V.Fenwick) post |= 0x800000;
    QueueBytes(kPostTrigger, 3, post);
    P.QueueRegister(33, (c.GainA > 2 ? 0x01 : 0) | (c.GainB > 2 ? 0x02 : 0));
    P.QueueRegister(36, (c.CouplingA == 0 ? 0x01 : 0) | (c.CouplingB == 0 ? 0x02 : 0));
    uint8_t ga = static_cast<uint8_t>(((c.GainA % 3) + 3) % 3);
    uint8_t gb = static_cast<uint8_t>(((c.GainB % 3) + 3) % 3);
    P.QueueRegister(kRegLED, Fastest() ? (ga | ga << 4 | 0x40) : (ga | gb << 4));
    bool falling = c.AnalogEdge != 0;
    fTriggerMode = c.AnalogSource == 0   ? (falling ? 0x02 : 0x01)
                   : c.AnalogSource == 1 ? (falling ? 0x08 : 0x04)
                                         : (falling ? 0x80 : 0x40);
    P.QueueRegister(kRegTriggerMode, fTriggerMode);
    QueueLevels();
    QueueBytes(kDelay, 4, c.ClockSource == 2 ? 0 : HalfAtFastest(c.CaptureDelay));
    if (c.ExtTrigMode == 1) {
      P.QueueRegister(41, 10);
      P.QueueRegister(40, 3);
    } else if (c.ExtTrigMode == 0) {
      P.QueueRegister(40, 0);
    }
    if (c.ClockIndex >= 3 || c.ClockIndex < 0) {
      fClockMode = 1;
      P.QueueRegister(kRegClockMode, 1);
      QueueBytes(kDivider, 3, Divider20MHz(c.ClockIndex) - 1);
    } else {
      fClockMode = c.ClockIndex == 2 ? 1 : 0;
      P.QueueRegister(kRegClockMode, fClockMode);
      QueueBytes(kDivider, 3, 0);
    }
    if (c.ProbeComp) {
      P.QueueRegister(40, 2);
      QueueBytes(kProbePeriod, 3, c.ClockIndex <= 1 ? 25000 : 10000);
    }
    if (!P.SendBatch()) return;
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
    WaitReady();
  }

  void ForceTrigger() override { ForceTriggerVia(kDelay, 32, false); }

  void GetDataA(float *a, float *b) override { Read(a, b, nullptr, nullptr); }
  void GetADCDataA(int32_t *a, int32_t *b) override { Read(nullptr, nullptr, a, b); }

  void SetThresholdA() override {
    P.BeginBatch();
    QueueLevels();
    P.SendBatch();
  }

protected:
  std::u16string ChooseImage() const override { return u"Dorian-12"; }
  uint8_t BankRegister(int32_t bank) const override {
    return bank >= 0 && bank <= 2 ? static_cast<uint8_t>(25 + bank) : 0;
  }

private:
  void QueueLevels() {
    int32_t upper = 0, lower = 0;
    TriggerLevels(kHysteresis12, upper, lower);
    P.QueueRegister(51, static_cast<uint8_t>(upper));
    P.QueueRegister(52, static_cast<uint8_t>(upper >> 8));
    P.QueueRegister(53, static_cast<uint8_t>(lower));
    P.QueueRegister(54, static_cast<uint8_t>(lower >> 8));
  }

  void Read(float *a, float *b, int32_t *rawA, int32_t *rawB) {
    const int32_t n = V.CaptureParams.BufferLength;
    P.WriteRegister(kRegClockMode, 1);
    if (n > 0) {
      const int32_t len = HalfAtFastest(n);
      std::vector<uint8_t> lowA(len, 0), nibbles(len, 0), lowB(len, 0);
      ReadBank(25, lowA.data(), len);
      ReadBank(26, nibbles.data(), len);
      ReadBank(27, lowB.data(), len);
      auto put = [](float *f, int32_t *r, int32_t i, int32_t code) {
        if (f) f[i] = static_cast<float>(code);
        if (r) r[i] = code;
      };
      for (int32_t i = 0; i < len; ++i) {
        int32_t codeA = SignExtend12((nibbles[i] & 0x0Fu) * 256 + lowA[i]);
        int32_t codeB = SignExtend12((nibbles[i] & 0xF0u) * 16 + lowB[i]);
        if (!Fastest()) {
          put(a, rawA, i, codeA);
          put(b, rawB, i, codeB);
        } else {
          // The B half of each position holds channel A's next sample.
          put(a, rawA, 2 * i, codeA);
          put(a, rawA, 2 * i + 1, codeB);
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
};

} // namespace

std::unique_ptr<TDriver> MakeDorian12(TProtocol &protocol) {
  return std::make_unique<TDorian12>(protocol);
}

} // namespace velkio
