// TVelkio: the library state – device information, model tables, stored
// capture parameters, the last error and the image bookkeeping.
#pragma once

#include <cstdint>
#include <string>

namespace velkio {

// Receives the transport's and the protocol's reports.
class TReport {
public:
  virtual ~TReport() = default;
  // Replaces the last error text and leaves the code as it was.
  virtual void ReportText(const char *text) = 0;
  virtual void ReportError(int32_t code, const char *text) = 0;
};

struct TClockItem {
  int32_t FrequencyHz;
  uint8_t ChannelB;
  uint8_t DigitalChannels;
  int32_t Interleave;
};

struct TGainItem {
  int32_t HalfScaleMilliVolts;
  double Correction;
};

struct TCaptureParams {
  int32_t BufferLength;
  int32_t TriggerPosition;
  int32_t ClockIndex;
  uint8_t ClockSource;
  uint8_t ExtClockType;
  uint8_t ExtClockEdge;
  int32_t CaptureDelay;
  int32_t GainA, GainB;
  uint8_t CouplingA, CouplingB;
  int32_t LevelCode;
  int32_t Margin;
  uint8_t TriggerKind;
  uint8_t AnalogSource;
  uint8_t AnalogEdge;
  uint8_t DigitalCondition;
  uint8_t DigitalEdge;
  uint8_t EdgeChannel;
  uint8_t Pattern[32];
  int32_t SkipCount;
  uint8_t ExtTrigMode;
  uint8_t ProbeComp;
  int32_t DigitalThreshold;
  uint8_t EdgeCounterOn;
  uint8_t EdgeCounterEdge;
  uint8_t EdgeCounterChannel;
  int32_t DeviceLatency;
};

// Offsets within the 256-byte information block.
enum : int {
  kInfoIdentity = 0,
  kInfoIdentitySize = 21,
  kInfoVersion = 21,
  kInfoVersionSize = 6,
  kInfoSerial = 27,
  kInfoSerialSize = 211,
  kInfoCalMantissa = 238,
  kInfoZeroB = 246,
  kInfoZeroA = 250,
  kInfoFlags = 255,
  kInfoSize = 256
};
enum : uint8_t { kFlagLargeMemory = 0x01, kFlagNoFastestPenClock = 0x02 };

constexpr int kMaxGainItems = 10;
constexpr int kMaxClockItems = 24;
constexpr int kMaxAutosetClocks = 6;
constexpr int kErrorTextSize = 103;
constexpr size_t kLoadedImageChars = 50;
constexpr size_t kLibraryFolderChars = 32767;

class TVelkio final : public TReport {
public:
  TVelkio() = default;

  uint8_t ModelCode = 0;
  uint8_t DeviceInfo[kInfoSize] = {};
  int32_t RamSize = 0;
  int32_t HalfRange = 0;
  int32_t ConfigFlags = 0;
  int32_t AutosetClocks[kMaxAutosetClocks] = {};
  TGainItem Gains[kMaxGainItems + 1] = {};
  TClockItem Clocks[kMaxClockItems + 1] = {};
  uint8_t Fenwick = 0;
  TCaptureParams CaptureParams = {};
  char LastErrorText[kErrorTextSize] = {};
  int32_t LastErrorCode = 0;
  // Transfers the transport reported as failed, counted so that a capture
  // step can tell that one of its transfers failed.
  uint32_t TransferFailures = 0;
  std::u16string LoadedImage;
  std::u16string LibraryFolder;

  void ReportText(const char *text) override;
  void ReportError(int32_t code, const char *text) override;
  void ClearError() { ReportError(0, ""); }
  // A step whose transfers failed ends with a code: the transport's text stays
  // and the code is set unless an error with a code came first.
  void FailStep(int32_t code) {
    if (LastErrorCode == 0) LastErrorCode = code;
  }

  uint8_t DeviceFlags() const { return DeviceInfo[kInfoFlags]; }
  int ClockCount() const;
  int GainCount() const;
  // Correction of a gain index; 1.0 outside the table.
  double Correction(int32_t gain) const;
  // The level in corrected codes turned into raw converter codes with
  // channel A's gain, rounded half up.
  int32_t LevelToCode(int32_t level) const;

  // Copy a model's table and end it with its terminator.
  void InstallClocks(const TClockItem *clocks, int count);
  void InstallGains(const TGainItem *gains, int count);
};

// floor(x) when the fraction is below one half, else floor(x) + 1.
int32_t RoundHalfUp(double x);

// UTF-16 text to UTF-8 (for file names); unpaired surrogates become U+FFFD.
std::string ToUtf8(const std::u16string &s);

} // namespace velkio
