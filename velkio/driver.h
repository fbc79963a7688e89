// TDriver: what every model driver offers the exports. The five model classes
// stand in fixed slots; the exports walk the slots in order.
#pragma once

#include "protocol.h"
#include "state.h"

#include <cstdint>
#include <memory>
#include <string>

namespace velkio {

enum TSlot : int {
  kSlotArdent = 0,
  kSlotBrisk = 1,
  kSlotCobalt = 2,
  kSlotDorian = 3,
  kSlotDorian12 = 4,
  kSlotCount = 5
};

class TDriver {
public:
  explicit TDriver(TProtocol &protocol) : P(protocol), V(protocol.State()) {}
  virtual ~TDriver() = default;
  TDriver(const TDriver &) = delete;
  TDriver &operator=(const TDriver &) = delete;

  // Identity and tables.
  virtual std::u16string BaseName() const = 0;
  // The image VELK_LoadLib downloads for a suffix.
  virtual std::u16string VariantName(const std::u16string &suffix) const {
    return BaseName() + suffix;
  }
  virtual bool ReadsLatency() const { return true; }
  virtual void InstallTables() = 0;

  // Which operations the model has; the exports pass a driver by otherwise.
  virtual bool HasAnalog() const { return false; }
  virtual bool HasDigital() const { return false; }
  virtual bool HasAnalogThreshold() const { return HasAnalog(); }

  // Capture programming: chooses (and downloads) the image, reads the latency,
  // sends the set-up batch and waits for ready where the model does.
  // DownloadForCapture reports the download's error; false stops VELK_CPSet.
  bool DownloadForCapture();
  virtual void SetupCapture() = 0;
  void Start();
  void Stop();
  void Clear();
  virtual void ForceTrigger() = 0;
  uint8_t ReadStatus();
  void StatusLED(bool on);
  void Release();
  bool ReadLatency();

  // Read-out; the models without the part leave these alone.
  virtual void GetDataA(float *, float *) {}
  virtual void GetADCDataA(int32_t *, int32_t *) {}
  virtual void GetDataD(uint32_t *) {}
  // The counters and the logic threshold sit at the same registers on both
  // models with logic channels; the exports ask only those.
  virtual int32_t GetEdgeCount() { return P.ReadCounter24(45, 44, 43); }
  virtual int32_t GetStopPosition() { return P.ReadCounter24(2, 1, 0); }
  virtual void SetThresholdA() {}
  virtual void SetThresholdD();

  // Memory banks 0..3 for VELK_ReadRAM / VELK_WriteRAM.
  virtual void ReadRAM(int32_t bank, uint8_t *data, int32_t length);
  virtual void WriteRAM(int32_t bank, const uint8_t *data, int32_t length);

  void ReadInfoBlock(uint8_t block[kInfoSize]) { P.ReadInfoBlock(block); }
  void WriteInfoBlock(const uint8_t block[kInfoSize]) { P.WriteInfoBlock(block); }

protected:
  // The configuration image the clock settings call for.
  virtual std::u16string ChooseImage() const = 0;
  // Port register of a memory bank, 0 when the model lacks it.
  virtual uint8_t BankRegister(int32_t bank) const = 0;

  // Helpers shared by the models.
  // The image by clock band: base name + "200" at the fastest clock, "HF" for the
  // next three, "LF" below and for an external clock.
  std::u16string BandImage() const;
  // Clears the capture delay, forces with the given trigger mode and restores the
  // remembered one (after 100 ms when settle is set).
  void ForceTriggerVia(const uint8_t delayRegs[4], uint8_t forcedMode, bool settle);
  void QueueBytes(const uint8_t *regs, int count, uint32_t value);
  bool WaitReady();
  // Waits until the ready poll's 10 ms steps, kept separate for the tests' sake.
  bool ReadBank(uint8_t reg, uint8_t *data, uint32_t length);
  int32_t HalfAtFastest(int32_t value) const;
  // The fastest internal clock, where two banks take turns. An external clock
  // keeps the stored clock index, which must not make it look interleaved.
  bool Fastest() const {
    return V.CaptureParams.ClockSource == 0 && V.CaptureParams.ClockIndex == 0;
  }
  // Hysteresis-adjusted trigger levels in converter codes relative to mid-scale.
  void TriggerLevels(const int32_t hysteresis[4], int32_t &upper, int32_t &lower) const;
  uint8_t ZeroCode(bool channelA, int32_t gain) const;

  TProtocol &P;
  TVelkio &V;
  uint8_t fClockMode = 0;
  uint8_t fTriggerMode = 0;
};

std::unique_ptr<TDriver> MakeDriver(TSlot slot, TProtocol &protocol);
// The slot of a model code, or -1 for an unknown code.
int SlotOfModel(uint8_t model);

// Clock tables: the 1-2-5 sequence from 200 MHz (19 entries) or 100 MHz (18).
extern const int32_t kClockFrequencies[19];
// Divider of the 10 MHz clock by clock index (indexes 4..18), 0 beyond.
uint32_t Divider10MHz(int32_t clockIndex);
extern const TGainItem kGains8Bit[8];

} // namespace velkio
