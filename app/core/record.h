// TVELK, the acquisition record: device identity, capture configuration of both
// parts, sample buffers, derived results, colours, file memory and run-time
// flags. One record lives from start-up to exit, reached through VELK.
#pragma once

#include "library.h"

#include <QString>

#include <array>
#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <vector>

class TUserInterface;
class TAutoResetEvent;

constexpr int kMaxChannels = 32;
constexpr int kMaxInterpreters = 8;
constexpr int kChConfigCount = 40;
constexpr int kIntpIdBase = 32;
constexpr int kChNameSize = 16; // characters including the terminating zero
constexpr int kStatusTextSize = 100;
constexpr int kDescriptionSize = 102;
constexpr uint32_t kSimulatedCapacity = 0x20000;

// Kinds of a channel-configuration word (bits 10-12).
enum : uint32_t {
  kChKindMask = 0x1C00,
  kChEmpty = 0x0000,
  kChAbsent = 0x1000,  // kind 4: a channel the device does not have
  kChChannel = 0x1400, // kind 5
  kChIntp = 0x1800,    // kind 6
  kChMember = 0x1C00,  // kind 7
  kChFlagsMask = 0x0300,
  kChHidden = 0x0100, // kinds 5 and 7; kind 6: expanded
  kChIdMask = 0x00FF
};

// Interpreter definitions.
enum TIntpType : uint8_t { kIntpBus = 0, kIntpRS232 = 1 };
enum TDispMode : uint8_t { kDispHex = 0, kDispDecimal = 1, kDispAscii = 2 };

struct TBusParams {
  int32_t Width = 0;
  uint8_t DispMode = 0;
};

struct TRS232Params {
  int32_t BaudRate = 9600;
  int32_t DataBits = 8;
  int32_t StopBits = 0; // 0 = 1, 1 = 1.5, 2 = 2 stop bits
  int32_t Parity = 0;   // 0 none, 1 even, 2 odd, 3 mark, 4 space
  uint8_t DispMode = 0;
};

struct TIntpDef {
  char Name[kChNameSize + 1] = {}; // up to 16 characters
  uint8_t Type = kIntpBus;
  TBusParams Bus;     // used when Type is kIntpBus
  TRS232Params RS232; // used when Type is kIntpRS232
  uint8_t DispMode() const { return Type == kIntpBus ? Bus.DispMode : RS232.DispMode; }
};

// A named value of one bus.
struct TStateDef {
  int32_t Value = 0;  // 0 .. 65535
  char Name[20] = {}; // at most 16 characters, no spaces
};

struct TProbe {
  char Caption[12] = {};
  float Divider = 1.0f;
};

struct TRect32 {
  int32_t Left = 0, Top = 0, Right = 0, Bottom = 0;
};

// Display colours, 0x00BBGGRR; the names are the settings keys.
struct TColors {
  uint32_t AnalogCurX, AnalogCurY, AnalogCurZ, AnalogCurT;
  uint32_t AnalogChA, AnalogChRA, AnalogChB, AnalogChRB, AnalogChM;
  uint32_t AnalogBack, AnalogGrid, AnalogText;
  uint32_t AnalogRulerBack, AnalogRulerText, AnalogRulerBackA, AnalogRulerTextA, AnalogRulerBackB,
      AnalogRulerTextB;
  uint32_t DigitalCurX, DigitalCurY, DigitalCurZ, DigitalCurT;
  uint32_t DigitalCh[kMaxChannels];
  uint32_t DigitalIntp[kMaxInterpreters];
  uint32_t DigitalBack, DigitalGrid, DigitalRulerBack, DigitalRulerText;
};

struct TVELK {
  TVELK();
  ~TVELK();
  TVELK(const TVELK &) = delete;
  TVELK &operator=(const TVELK &) = delete;

  // Device identity and capabilities
  uint32_t BufferCapacity = 0;
  char FirmwareVersion[10] = {};
  char SerialNumber[10] = {};
  uint32_t DeviceFeatures =
      0; // 0x01 analog, 0x02 digital, 0x04 edge counter, 0x08 skip, 0x10 delay
  bool HasChannelB = false;
  int32_t DigitalChannelCount = 0;

  // Application options and colours
  uint8_t TriggerBeep = 0;
  TColors Colors = {};

  // Logic-analyzer configuration
  bool DigitalEnabled = false;
  uint8_t ClockSource = 0;
  int32_t DigitalThreshold = 0;
  uint8_t TriggerCond = 0;
  uint8_t ExtStbType = 0;
  uint8_t ExtClkEdge = 0;
  double ExtGenFreq = 0;
  uint8_t ChPattern[kMaxChannels] = {};
  uint8_t DigitalEdgeType = 0;
  uint8_t EdgeChannel = 0;
  std::array<std::vector<uint32_t>, 3> DigitalSamples; // empty = not created
  std::array<std::unique_ptr<TIntpDef>, kMaxInterpreters> Interpreters;
  std::array<std::vector<uint32_t>, kMaxInterpreters> InterpreterData;
  std::vector<TStateDef> StateDefs;
  QString StateDefTitle;
  int32_t StateDefIntp = -1;
  QString StateDefFile;
  uint8_t StateDefFileType = 0;
  int32_t ActiveDigitalTab = 0;
  int32_t EdgeSkip = 0;
  bool EdgeCounter = false;
  uint8_t EdgeCounterCh = 0;
  uint8_t EdgeCountType = 0;
  int32_t EdgesBeforeTrigger = 0;
  int32_t EdgesAfterTrigger = 0;
  uint32_t ChConfig[kChConfigCount] = {};
  char ChName[kMaxChannels][kChNameSize] = {};

  // Oscilloscope configuration
  bool AnalogEnabled = false;
  std::vector<float> SamplesA, SamplesB;       // empty = not created
  std::vector<float> RefSamplesA, RefSamplesB; // empty = no reference stored
  int32_t GainChA = 0;
  uint8_t CouplingChA = 0; // 1 DC, 0 AC
  bool InvertChA = false, EnabledChA = false, EnabledChRA = false;
  int32_t ProbeChA = 0;
  int32_t GainChB = 0;
  uint8_t CouplingChB = 0;
  bool InvertChB = false, EnabledChB = false, EnabledChRB = false;
  int32_t ProbeChB = 0;
  int32_t AnalogThreshold = 0;
  int32_t ThresholdMargin = 0;
  uint8_t AnalogEdgeType = 0;
  uint8_t TriggerSource = 0;
  uint8_t ExtTrigMode = 0;
  std::vector<float> FFTInputA, FFTInputB;
  // The capture workers' own buffers, as long as the ones above: a worker reads
  // into these and the presentation, on the user-interface thread, swaps them
  // with SamplesA, SamplesB and the logic buffer in view. So a capture never
  // writes a buffer that a window may be painting or analysing.
  std::vector<float> CaptureA, CaptureB;
  std::vector<uint32_t> CaptureD;
  uint8_t FFTType = 0;
  uint8_t FFTWindow = 0;
  int32_t FFTWinSize = 0;
  TProbe Probes[3];

  // General capture configuration
  uint32_t BuffLength = 0;
  uint8_t ActiveWindow = 0;
  int32_t SamplingRate = 0;
  uint32_t TriggerAt = 0;
  uint8_t TriggerType = 0;
  uint32_t CaptureDelay = 0;
  uint8_t TriggerDomain = 0;
  int32_t StopPosition = 0;

  // Run-time flags shared with the workers
  std::atomic<uint8_t> ConfigApplied{0}, ThresholdApplied{0}, ForceTriggerRequest{0},
      ForcedTrigger{0}, Capturing{0}, ProbeComp{0}, AutosetRunning{0}, FFTBusy{0};

  // Files and instance
  QString AppFolder;      // with a trailing '/'
  QString SettingsFolder; // with a trailing '/', or empty
  std::unique_ptr<class QLockFile> InstanceLock;
  int32_t InstanceNumber = 0;
  bool SaveSettingsOnExit = false;
  uint8_t LastFileKind = 0;
  QString FileName;
  QString LastSaveFileName, LastOpenFileName;
  int32_t LastSaveFileType = 0, LastOpenFileType = 0;

  // Derived results of the last capture
  // Mean, RMS, minimum, maximum in codes times the probe divider; frequency in Hz (0 = unknown).
  struct TStats {
    double Mean = 0, Rms = 0, Min = 0, Max = 0, Freq = 0;
  } StatsA, StatsB;
  bool OverrangeA = false, OverrangeB = false;
  std::unique_ptr<TAutoResetEvent> SpectrumEvent; // "VELKCountSpectrum"
  uint8_t ThreadPriority = 0;
  char StatusText[kStatusTextSize] = {};
  bool ShowCaptureRate = false;
  int32_t CaptureCount = 0;
  TRect32 AnalogWindowRect, DigitalWindowRect;
  // Cursor positions in samples, [0] oscilloscope and [1] logic display, each
  // T, X, Y, Z (the order of the text exports' cursor line).
  uint32_t CursorPos[2][4] = {};

  // Device and library
  bool HardwarePresent = true;
  uint8_t ModelCode = 0;
  char DeviceDescription[kDescriptionSize] = {};
  void *LibraryHandle = nullptr;
  TVelkLib Lib = {};

  // Held by ApplyCaptureConfig while it reads the capture settings, and by the
  // windows while they change them during a capture.
  std::mutex ConfigMutex;
  mutable std::mutex StatusMutex;

  // The front end that shows messages; may be null (messages are then dropped).
  TUserInterface *Ui = nullptr;

  // --- Record operations ---
  bool HasAnalog() const { return DeviceFeatures & 0x01; }
  bool HasDigital() const { return DeviceFeatures & 0x02; }
  // StatusText is written by the workers and read by the windows: both go
  // through StatusMutex.
  void SetStatus(const char *text);
  void SetStatus(const QString &text);
  QString Status() const;
  // Fetches the library's last error into StatusText; the code (0 = none).
  int32_t LibraryError();

  void AllocateBuffers();
  bool ClockAffectsChannelB(int32_t oldClock, int32_t newClock) const;
  bool ClockAffectsDigitalChannels(int32_t oldClock, int32_t newClock) const;

  // The channel-configuration word of a fresh configuration.
  uint32_t DefaultChConfig(int n) const;
};

// The one record of the application (null outside start-up .. exit).
extern TVELK *VELK;
