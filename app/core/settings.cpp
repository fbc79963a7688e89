#include "settings.h"

#include "statedefs.h"
#include "ui.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <limits>

namespace {

const QString kGeneral = QStringLiteral("General");
const QString kAnalog = QStringLiteral("Analog");
const QString kDigital = QStringLiteral("Digital");
const QString kInterpreters = QStringLiteral("Interpreters");
const QString kConfig = QStringLiteral("Config");
const QString kColors = QStringLiteral("Colors");

constexpr int32_t kIntMax = std::numeric_limits<int32_t>::max();
constexpr int kMaxPathChars = 32767;
constexpr uint32_t kMaxCaptureDelay = 100000000;
constexpr int32_t kMaxEdgeSkip = 9999;
constexpr uint32_t kMinBuffLength = 256;

struct TColorKey {
  const char *Name;
  uint32_t TColors::*Field;
  uint32_t Default;
};

// The single colours in the order of the record; DigitalCh%d and
// DigitalIntp%d (default black) come between the two groups.
const TColorKey kColorsFirst[] = {
    {"AnalogCurX", &TColors::AnalogCurX, 0x0000FF},
    {"AnalogCurY", &TColors::AnalogCurY, 0xFF0000},
    {"AnalogCurZ", &TColors::AnalogCurZ, 0x008000},
    {"AnalogCurT", &TColors::AnalogCurT, 0xFF00FF},
    {"AnalogChA", &TColors::AnalogChA, 33023},
    {"AnalogChRA", &TColors::AnalogChRA, 6324383},
    {"AnalogChB", &TColors::AnalogChB, 0xFF0080},
    {"AnalogChRB", &TColors::AnalogChRB, 10444928},
    {"AnalogChM", &TColors::AnalogChM, 0xFF8080},
    {"AnalogBack", &TColors::AnalogBack, 0xFFFFFF},
    {"AnalogGrid", &TColors::AnalogGrid, 12632256},
    {"AnalogText", &TColors::AnalogText, 6316128},
    {"AnalogRulerBack", &TColors::AnalogRulerBack, 15987699},
    {"AnalogRulerText", &TColors::AnalogRulerText, 6316128},
    {"AnalogRulerBackA", &TColors::AnalogRulerBackA, 0xE1FFFF},
    {"AnalogRulerTextA", &TColors::AnalogRulerTextA, 6316128},
    {"AnalogRulerBackB", &TColors::AnalogRulerBackB, 0xE1FFFF},
    {"AnalogRulerTextB", &TColors::AnalogRulerTextB, 6316128},
    {"DigitalCurX", &TColors::DigitalCurX, 0x0000FF},
    {"DigitalCurY", &TColors::DigitalCurY, 0xFF0000},
    {"DigitalCurZ", &TColors::DigitalCurZ, 0x008000},
    {"DigitalCurT", &TColors::DigitalCurT, 0xFF00FF},
};
const TColorKey kColorsLast[] = {
    {"DigitalBack", &TColors::DigitalBack, 0xFFFFFF},
    {"DigitalGrid", &TColors::DigitalGrid, 12632256},
    {"DigitalRulerBack", &TColors::DigitalRulerBack, 15987699},
    {"DigitalRulerText", &TColors::DigitalRulerText, 6316128},
};

QString Key(const char *pattern, int n) {
  return QString::fromLatin1(pattern).replace(QLatin1String("%d"), QString::number(n));
}

// Number of entries of a library item list, or -1 when it is not known (no
// library bound, as in the tests): the index checks are then skipped.
int32_t ItemCount(int32_t (*items)(int32_t)) {
  if (!items) return -1;
  const int32_t n = items(0x100);
  return n > 0 ? n : -1;
}

// Number of digital channels the checks allow (all 32 when not known).
int UsableChannels(const TVELK &r) {
  return r.DigitalChannelCount > 0 ? std::min(r.DigitalChannelCount, kMaxChannels) : kMaxChannels;
}

// Reads values with their defaults and notes whether any value was refused.
class TReader {
public:
  explicit TReader(const CMyIni &ini) : fIni(ini) {}

  int32_t Int(const QString &section, const QString &key, int32_t def) const {
    return fIni.ReadInt(section, key, def);
  }
  // A value in lo..hi; anything else gives the default.
  int32_t Range(const QString &section, const QString &key, int32_t def, int32_t lo, int32_t hi) {
    const int32_t v = fIni.ReadInt(section, key, def);
    if (v >= lo && v <= hi) return v;
    fRefused = true;
    return def;
  }
  // An index into a list of count entries (count -1: not known, any index >= 0).
  int32_t Index(const QString &section, const QString &key, int32_t def, int32_t count) {
    return Range(section, key, def, 0, count < 0 ? kIntMax : count - 1);
  }
  uint8_t Byte(const QString &section, const QString &key, uint8_t def, int32_t hi) {
    return static_cast<uint8_t>(Range(section, key, def, 0, hi));
  }
  bool Bool(const QString &section, const QString &key, bool def) const {
    return fIni.ReadInt(section, key, def ? 1 : 0) != 0;
  }
  void Refuse() { fRefused = true; }
  bool Refused() const { return fRefused; }
  const CMyIni &Ini() const { return fIni; }

private:
  const CMyIni &fIni;
  bool fRefused = false;
};

void WriteText(CMyIni &ini, const QString &section, const QString &key, const char *field,
               size_t size) {
  ini.WriteWideString(section, key, QString::fromLatin1(field, qstrnlen(field, size)));
}

bool ValidChConfigWord(uint32_t w, int channels) {
  if (w & ~(kChKindMask | kChFlagsMask | kChIdMask)) return false;
  const uint32_t id = w & kChIdMask;
  switch (w & kChKindMask) {
  case kChEmpty:
    return w == 0;
  case kChAbsent:
    return id < static_cast<uint32_t>(kMaxChannels);
  case kChChannel:
  case kChMember:
    return id < static_cast<uint32_t>(channels);
  case kChIntp:
    return id >= kIntpIdBase && id < kIntpIdBase + kMaxInterpreters;
  default:
    return false;
  }
}

// The table as a whole: members follow an interpreter row, a bus has 2..16
// members and an RS-232 decoder one, no channel or interpreter appears twice,
// and every channel of the device has a row.
bool ChConfigConsistent(const TVELK &r, int channels) {
  bool seen[kMaxChannels] = {};
  bool shown[kMaxChannels] = {};
  bool seenIntp[kMaxInterpreters] = {};
  int head = -1, members = 0;
  auto headComplete = [&] {
    if (head < 0) return true;
    const TIntpDef *d = r.Interpreters[head].get();
    if (!d) return false;
    return d->Type == kIntpBus ? members >= 2 && members <= 16 : members == 1;
  };
  for (uint32_t w : r.ChConfig) {
    const uint32_t kind = w & kChKindMask;
    const uint32_t id = w & kChIdMask;
    if (kind == kChMember && head < 0) return false;
    if (kind != kChMember) {
      if (!headComplete()) return false;
      head = -1;
      members = 0;
    }
    if (kind == kChIntp) {
      const int slot = static_cast<int>(id) - kIntpIdBase;
      if (seenIntp[slot]) return false;
      seenIntp[slot] = true;
      head = slot;
    } else if (kind != kChEmpty) {
      if (seen[id]) return false;
      seen[id] = true;
      shown[id] = kind != kChAbsent;
      if (kind == kChMember) ++members;
    }
  }
  if (!headComplete()) return false;
  if (r.DigitalChannelCount > 0)
    for (int c = 0; c < channels; ++c)
      if (!shown[c]) return false;
  return true;
}

void ReadGeneral(TVELK &r, TReader &in) {
  const uint32_t capacity = r.BufferCapacity;
  uint32_t length = static_cast<uint32_t>(
      in.Int(kGeneral, QStringLiteral("BuffLength"), static_cast<int32_t>(capacity)));
  // A longer buffer than this instrument holds is limited to it; lengths the
  // setup cannot choose (256 × 2^k) are refused.
  if (length > capacity)
    length = capacity;
  else if (length != capacity && (length < kMinBuffLength || (length & (length - 1)) != 0)) {
    length = capacity;
    in.Refuse();
  }
  r.BuffLength = length;
  r.ActiveWindow = in.Byte(kGeneral, QStringLiteral("ActiveWindow"), r.HasAnalog() ? 0 : 1, 1);
  r.SamplingRate =
      in.Index(kGeneral, QStringLiteral("SamplingRate"), 2, ItemCount(r.Lib.GetClockItems));
  const uint32_t triggerAt = static_cast<uint32_t>(
      in.Int(kGeneral, QStringLiteral("TriggerAt"), static_cast<int32_t>(length / 2)));
  r.TriggerAt = triggerAt <= length ? triggerAt : length / 2;
  if (triggerAt > length) in.Refuse();
  r.TriggerType = in.Byte(kGeneral, QStringLiteral("TriggerType"), 0, 2);
  const uint32_t delay = static_cast<uint32_t>(in.Int(kGeneral, QStringLiteral("CaptureDelay"), 0));
  r.CaptureDelay = delay <= kMaxCaptureDelay ? delay : 0;
  if (delay > kMaxCaptureDelay) in.Refuse();
}

void ReadRect(TReader &in, const QString &section, TRect32 &rect) {
  // Window positions are taken as they are: the windows fit them to the screen.
  rect.Left = in.Int(section, QStringLiteral("Left"), 0);
  rect.Top = in.Int(section, QStringLiteral("Top"), 0);
  rect.Right = in.Int(section, QStringLiteral("Right"), 0);
  rect.Bottom = in.Int(section, QStringLiteral("Bottom"), 0);
}

void ReadProbe(TReader &in, TProbe &probe, int n, const char *caption, float divider) {
  in.Ini().ReadString(kAnalog, Key("ProbeCaption%d", n), caption, probe.Caption, 11);
  const double d = in.Ini().ReadFloat(kAnalog, Key("ProbeDivider%d", n), divider);
  // Judged as the float it is kept in: 1e-50 is positive, but 0 as a float.
  const float f = static_cast<float>(d);
  if (f > 0 && std::isnormal(f)) {
    probe.Divider = f;
  } else {
    probe.Divider = divider;
    in.Refuse();
  }
}

void ReadAnalog(TVELK &r, TReader &in) {
  const int32_t gains = ItemCount(r.Lib.GetGainItems);
  ReadRect(in, kAnalog, r.AnalogWindowRect);
  r.AnalogEnabled = in.Bool(kAnalog, QStringLiteral("Enabled"), true);
  r.AnalogThreshold = in.Int(kAnalog, QStringLiteral("Threshold"), 0);
  r.ThresholdMargin = in.Range(kAnalog, QStringLiteral("ThresholdMargin"), 1, 0, 3);
  r.AnalogEdgeType = in.Byte(kAnalog, QStringLiteral("EdgeType"), 0, 1);
  r.TriggerSource = in.Byte(kAnalog, QStringLiteral("TriggerSource"), 0, 2);
  r.ExtTrigMode = in.Byte(kAnalog, QStringLiteral("ExtTrigMode"), 0, 1);
  r.GainChA = in.Index(kAnalog, QStringLiteral("GainChA"), 0, gains);
  r.CouplingChA = in.Byte(kAnalog, QStringLiteral("CouplingChA"), 1, 1);
  r.InvertChA = in.Bool(kAnalog, QStringLiteral("InvertChA"), false);
  r.EnabledChA = in.Bool(kAnalog, QStringLiteral("EnabledChA"), true);
  r.EnabledChRA = in.Bool(kAnalog, QStringLiteral("EnabledChRA"), false);
  r.ProbeChA = in.Range(kAnalog, QStringLiteral("ProbeChA"), 0, 0, 2);
  r.GainChB = in.Index(kAnalog, QStringLiteral("GainChB"), 0, gains);
  r.CouplingChB = in.Byte(kAnalog, QStringLiteral("CouplingChB"), 1, 1);
  r.InvertChB = in.Bool(kAnalog, QStringLiteral("InvertChB"), false);
  r.EnabledChB = in.Bool(kAnalog, QStringLiteral("EnabledChB"), true);
  r.EnabledChRB = in.Bool(kAnalog, QStringLiteral("EnabledChRB"), false);
  r.ProbeChB = in.Range(kAnalog, QStringLiteral("ProbeChB"), 0, 0, 2);
  r.FFTWindow = in.Byte(kAnalog, QStringLiteral("FFTWindow"), 4, 7);
  r.FFTWinSize = in.Range(kAnalog, QStringLiteral("FFTWinSize"), 10, 7, 15); // 2^7 .. 2^15 samples
  std::strcpy(r.Probes[0].Caption, "1:1");
  r.Probes[0].Divider = 1.0f;
  ReadProbe(in, r.Probes[1], 2, "1:10", 10.0f);
  ReadProbe(in, r.Probes[2], 3, "1:100", 100.0f);
}

void ReadInterpreters(TVELK &r, TReader &in) {
  for (int i = 0; i < kMaxInterpreters; ++i) {
    TIntpDef *d = r.Interpreters[i].get();
    if (!d) continue;
    char name[kChNameSize + 1];
    std::snprintf(name, sizeof name, "Interpreter %d", i + 1);
    in.Ini().ReadString(kInterpreters, Key("Intp%dName", i), name, d->Name, sizeof d->Name);
    d->Type = in.Byte(kInterpreters, Key("Intp%dType", i), kIntpBus, kIntpRS232);
    const uint8_t mode = in.Byte(kInterpreters, Key("Intp%dDispMode", i), kDispHex, kDispAscii);
    if (d->Type == kIntpBus) {
      d->Bus.DispMode = mode;
      // The width is not stored: it is the run of member rows after the head row.
      int head = -1;
      for (int n = 0; n < kChConfigCount; ++n)
        if ((r.ChConfig[n] & kChKindMask) == kChIntp &&
            static_cast<int>(r.ChConfig[n] & kChIdMask) == kIntpIdBase + i) {
          head = n;
          break;
        }
      int width = 0;
      for (int n = head + 1; head >= 0 && n < kChConfigCount; ++n) {
        if ((r.ChConfig[n] & kChKindMask) != kChMember) break;
        ++width;
      }
      d->Bus.Width = width;
    } else {
      d->RS232.DispMode = mode;
      d->RS232.BaudRate = in.Range(kInterpreters, Key("Intp%dBaudRate", i), 9600, 1, kIntMax);
      d->RS232.DataBits = in.Range(kInterpreters, Key("Intp%dDataBits", i), 8, 4, 8);
      d->RS232.StopBits = in.Range(kInterpreters, Key("Intp%dStopBits", i), 0, 0, 2);
      d->RS232.Parity = in.Range(kInterpreters, Key("Intp%dParity", i), 0, 0, 4);
    }
  }
}

void ReadDigital(TVELK &r, TReader &in) {
  const int channels = UsableChannels(r);
  ReadRect(in, kDigital, r.DigitalWindowRect);
  r.DigitalEnabled = in.Bool(kDigital, QStringLiteral("Enabled"), true);
  r.DigitalThreshold = in.Range(kDigital, QStringLiteral("Threshold"), 2, 0, 5);
  r.TriggerCond = in.Byte(kDigital, QStringLiteral("TriggerCond"), 0, 3);
  r.ClockSource = in.Byte(kDigital, QStringLiteral("ClockSource"), 0, 2);
  r.ExtStbType = in.Byte(kDigital, QStringLiteral("ExtStbType"), 0, 1);
  r.ExtGenFreq = in.Range(kDigital, QStringLiteral("ExtGenFreq"), 0, 0, kIntMax);
  r.ExtClkEdge = in.Byte(kDigital, QStringLiteral("ExtClkEdge"), 0, 1);
  for (int n = 0; n < kMaxChannels; ++n) {
    char def[kChNameSize];
    std::snprintf(def, sizeof def, "Channel %d", n + 1);
    in.Ini().ReadString(kDigital, Key("Ch%dName", n), def, r.ChName[n], kChNameSize);
  }
  for (int n = 0; n < kMaxChannels; ++n)
    r.ChPattern[n] = in.Byte(kDigital, Key("Ch%dPattern", n), 2, 2);
  r.DigitalEdgeType = in.Byte(kDigital, QStringLiteral("EdgeType"), 0, 3);
  r.EdgeChannel = in.Byte(kDigital, QStringLiteral("EdgeChannel"), 0, channels - 1);
  r.EdgeSkip = in.Range(kDigital, QStringLiteral("EdgeSkip"), 0, 0, kMaxEdgeSkip);
  r.EdgeCounter = in.Bool(kDigital, QStringLiteral("EdgeConter"), false);
  r.EdgeCounterCh = in.Byte(kDigital, QStringLiteral("EdgeCounterCh"), 0, channels - 1);
  r.EdgeCountType = in.Byte(kDigital, QStringLiteral("EdgeCountType"), 0, 1);

  // Every head row of an interpreter creates its definition and decoded words.
  for (int i = 0; i < kMaxInterpreters; ++i) {
    r.Interpreters[i].reset();
    r.InterpreterData[i].clear();
  }
  for (int n = 0; n < kChConfigCount; ++n) {
    const uint32_t def = r.DefaultChConfig(n);
    uint32_t w =
        static_cast<uint32_t>(in.Int(kDigital, Key("ChConfig%d", n), static_cast<int32_t>(def)));
    if (!ValidChConfigWord(w, channels)) {
      w = def;
      in.Refuse();
    }
    r.ChConfig[n] = w;
    if ((w & kChKindMask) == kChIntp) {
      const int slot = static_cast<int>(w & kChIdMask) - kIntpIdBase;
      r.Interpreters[slot] = std::make_unique<TIntpDef>();
      r.InterpreterData[slot].assign(r.BufferCapacity, 0u);
    }
  }
  ReadInterpreters(r, in);
  // A table that does not hold together (members without their interpreter,
  // a channel twice, a bus of one channel) would mislead the display and the
  // decoders: it is replaced by a fresh one, without interpreters.
  if (!ChConfigConsistent(r, channels)) {
    in.Refuse();
    for (int n = 0; n < kChConfigCount; ++n)
      r.ChConfig[n] = r.DefaultChConfig(n);
    for (int i = 0; i < kMaxInterpreters; ++i) {
      r.Interpreters[i].reset();
      r.InterpreterData[i].clear();
    }
  }

  r.StateDefIntp = in.Range(kDigital, QStringLiteral("StateDefIntp"), -1, -1, kMaxInterpreters - 1);
  // The definitions name the values of one bus: a slot without a bus (empty,
  // an RS-232 decoder, dropped with its table) is no place for them.
  if (r.StateDefIntp >= 0 &&
      (!r.Interpreters[r.StateDefIntp] || r.Interpreters[r.StateDefIntp]->Type != kIntpBus)) {
    r.StateDefIntp = -1;
    in.Refuse();
  }
  r.StateDefFile =
      in.Ini().ReadWideString(kDigital, QStringLiteral("StateDefFile"), QString(), kMaxPathChars);
  r.StateDefFileType = in.Byte(kDigital, QStringLiteral("StateDefFileType"), 0, 1);
  r.StateDefs.clear();
  r.StateDefTitle.clear();
  if (!r.StateDefFile.isEmpty() && !LoadStateDefs(r, r.StateDefFile)) {
    // A file that no longer loads is forgotten without a message.
    r.StateDefTitle.clear();
    r.StateDefIntp = -1;
    r.StateDefFile.clear();
    in.Refuse();
  }
}

void ReadConfig(TVELK &r, TReader &in) {
  r.TriggerBeep = in.Byte(kConfig, QStringLiteral("TriggerBeep"), 0, 3);
  r.LastOpenFileName = in.Ini().ReadWideString(kConfig, QStringLiteral("LastOpenFileName"),
                                               QString(), kMaxPathChars);
  r.LastOpenFileType = in.Int(kConfig, QStringLiteral("LastOpenFileType"), 1);
  r.LastSaveFileName = in.Ini().ReadWideString(kConfig, QStringLiteral("LastSaveFileName"),
                                               QString(), kMaxPathChars);
  r.LastSaveFileType = in.Int(kConfig, QStringLiteral("LastSaveFileType"), 1);
  r.ThreadPriority = in.Byte(kConfig, QStringLiteral("ThreadPriority"), 3, 6);
  r.SaveSettingsOnExit = in.Bool(kConfig, QStringLiteral("SaveSettingsOnExit"), true);
}

void ReadColors(TVELK &r, TReader &in) {
  auto read = [&](const QString &key, uint32_t def) {
    return static_cast<uint32_t>(in.Int(kColors, key, static_cast<int32_t>(def)));
  };
  for (const TColorKey &c : kColorsFirst)
    r.Colors.*c.Field = read(QLatin1String(c.Name), c.Default);
  for (int n = 0; n < kMaxChannels; ++n)
    r.Colors.DigitalCh[n] = read(Key("DigitalCh%d", n), 0);
  for (int n = 0; n < kMaxInterpreters; ++n)
    r.Colors.DigitalIntp[n] = read(Key("DigitalIntp%d", n), 0);
  for (const TColorKey &c : kColorsLast)
    r.Colors.*c.Field = read(QLatin1String(c.Name), c.Default);
}

void WriteRect(CMyIni &ini, const QString &section, const TRect32 &rect) {
  ini.WriteInt(section, QStringLiteral("Left"), rect.Left);
  ini.WriteInt(section, QStringLiteral("Top"), rect.Top);
  ini.WriteInt(section, QStringLiteral("Right"), rect.Right);
  ini.WriteInt(section, QStringLiteral("Bottom"), rect.Bottom);
}

void WriteAnalog(const TVELK &r, CMyIni &ini) {
  WriteRect(ini, kAnalog, r.AnalogWindowRect);
  ini.WriteInt(kAnalog, QStringLiteral("Enabled"), r.AnalogEnabled);
  ini.WriteInt(kAnalog, QStringLiteral("Threshold"), r.AnalogThreshold);
  ini.WriteInt(kAnalog, QStringLiteral("ThresholdMargin"), r.ThresholdMargin);
  ini.WriteInt(kAnalog, QStringLiteral("EdgeType"), r.AnalogEdgeType);
  ini.WriteInt(kAnalog, QStringLiteral("TriggerSource"), r.TriggerSource);
  ini.WriteInt(kAnalog, QStringLiteral("ExtTrigMode"), r.ExtTrigMode);
  ini.WriteInt(kAnalog, QStringLiteral("GainChA"), r.GainChA);
  ini.WriteInt(kAnalog, QStringLiteral("CouplingChA"), r.CouplingChA);
  ini.WriteInt(kAnalog, QStringLiteral("InvertChA"), r.InvertChA);
  ini.WriteInt(kAnalog, QStringLiteral("EnabledChA"), r.EnabledChA);
  ini.WriteInt(kAnalog, QStringLiteral("EnabledChRA"), r.EnabledChRA);
  ini.WriteInt(kAnalog, QStringLiteral("ProbeChA"), r.ProbeChA);
  ini.WriteInt(kAnalog, QStringLiteral("GainChB"), r.GainChB);
  ini.WriteInt(kAnalog, QStringLiteral("CouplingChB"), r.CouplingChB);
  ini.WriteInt(kAnalog, QStringLiteral("InvertChB"), r.InvertChB);
  ini.WriteInt(kAnalog, QStringLiteral("EnabledChB"), r.EnabledChB);
  ini.WriteInt(kAnalog, QStringLiteral("EnabledChRB"), r.EnabledChRB);
  ini.WriteInt(kAnalog, QStringLiteral("ProbeChB"), r.ProbeChB);
  ini.WriteInt(kAnalog, QStringLiteral("FFTWindow"), r.FFTWindow);
  ini.WriteInt(kAnalog, QStringLiteral("FFTWinSize"), r.FFTWinSize);
  for (int n = 2; n <= 3; ++n) {
    WriteText(ini, kAnalog, Key("ProbeCaption%d", n), r.Probes[n - 1].Caption,
              sizeof r.Probes[n - 1].Caption);
    ini.WriteFloat(kAnalog, Key("ProbeDivider%d", n), r.Probes[n - 1].Divider);
  }
}

void WriteDigital(const TVELK &r, CMyIni &ini) {
  WriteRect(ini, kDigital, r.DigitalWindowRect);
  ini.WriteInt(kDigital, QStringLiteral("Enabled"), r.DigitalEnabled);
  ini.WriteInt(kDigital, QStringLiteral("Threshold"), r.DigitalThreshold);
  ini.WriteInt(kDigital, QStringLiteral("TriggerCond"), r.TriggerCond);
  ini.WriteInt(kDigital, QStringLiteral("ClockSource"), r.ClockSource);
  ini.WriteInt(kDigital, QStringLiteral("ExtStbType"), r.ExtStbType);
  // Whole hertz: the fraction is dropped.
  const double hz =
      std::isfinite(r.ExtGenFreq) ? std::clamp(r.ExtGenFreq, 0.0, double(kIntMax)) : 0;
  ini.WriteInt(kDigital, QStringLiteral("ExtGenFreq"), static_cast<int32_t>(hz));
  ini.WriteInt(kDigital, QStringLiteral("ExtClkEdge"), r.ExtClkEdge);
  for (int n = 0; n < kMaxChannels; ++n)
    WriteText(ini, kDigital, Key("Ch%dName", n), r.ChName[n], kChNameSize);
  for (int n = 0; n < kMaxChannels; ++n)
    ini.WriteInt(kDigital, Key("Ch%dPattern", n), r.ChPattern[n]);
  ini.WriteInt(kDigital, QStringLiteral("EdgeType"), r.DigitalEdgeType);
  ini.WriteInt(kDigital, QStringLiteral("EdgeChannel"), r.EdgeChannel);
  ini.WriteInt(kDigital, QStringLiteral("EdgeSkip"), r.EdgeSkip);
  ini.WriteInt(kDigital, QStringLiteral("EdgeConter"), r.EdgeCounter);
  ini.WriteInt(kDigital, QStringLiteral("EdgeCounterCh"), r.EdgeCounterCh);
  ini.WriteInt(kDigital, QStringLiteral("EdgeCountType"), r.EdgeCountType);
  for (int n = 0; n < kChConfigCount; ++n)
    ini.WriteInt(kDigital, Key("ChConfig%d", n), static_cast<int32_t>(r.ChConfig[n]));
  for (int i = 0; i < kMaxInterpreters; ++i) {
    const TIntpDef *d = r.Interpreters[i].get();
    if (!d) continue;
    WriteText(ini, kInterpreters, Key("Intp%dName", i), d->Name, sizeof d->Name);
    ini.WriteInt(kInterpreters, Key("Intp%dType", i), d->Type);
    ini.WriteInt(kInterpreters, Key("Intp%dDispMode", i), d->DispMode());
    if (d->Type == kIntpRS232) {
      ini.WriteInt(kInterpreters, Key("Intp%dBaudRate", i), d->RS232.BaudRate);
      ini.WriteInt(kInterpreters, Key("Intp%dDataBits", i), d->RS232.DataBits);
      ini.WriteInt(kInterpreters, Key("Intp%dStopBits", i), d->RS232.StopBits);
      ini.WriteInt(kInterpreters, Key("Intp%dParity", i), d->RS232.Parity);
    }
  }
  ini.WriteInt(kDigital, QStringLiteral("StateDefIntp"), r.StateDefIntp);
  ini.WriteWideString(kDigital, QStringLiteral("StateDefFile"), r.StateDefFile);
  ini.WriteInt(kDigital, QStringLiteral("StateDefFileType"), r.StateDefFileType);
}

} // namespace

QString SettingsFileName(const TVELK &r) {
  // A '/' in a device's USB description must not lead into another folder.
  QString name = QString::fromLatin1(r.DeviceDescription,
                                     qstrnlen(r.DeviceDescription, sizeof r.DeviceDescription));
  name.replace(u'/', u'_');
  if (!r.HardwarePresent) return r.SettingsFolder + name + QStringLiteral("Demo.ini");
  if (r.InstanceNumber >= 1)
    return r.SettingsFolder + name + QString::number(r.InstanceNumber) + QStringLiteral(".ini");
  return r.SettingsFolder + name + QStringLiteral(".ini");
}

bool ReadSettings(TVELK &r, CMyIni &ini) {
  TReader in(ini);
  ReadGeneral(r, in);
  if (r.HasAnalog()) ReadAnalog(r, in);
  if (r.HasDigital()) ReadDigital(r, in);
  ReadConfig(r, in);
  ReadColors(r, in);
  return !in.Refused();
}

void WriteSettings(TVELK &r, CMyIni &ini) {
  ini.WriteInt(kGeneral, QStringLiteral("BuffLength"), static_cast<int32_t>(r.BuffLength));
  ini.WriteInt(kGeneral, QStringLiteral("ActiveWindow"), r.ActiveWindow);
  ini.WriteInt(kGeneral, QStringLiteral("SamplingRate"), r.SamplingRate);
  ini.WriteInt(kGeneral, QStringLiteral("TriggerAt"), static_cast<int32_t>(r.TriggerAt));
  ini.WriteInt(kGeneral, QStringLiteral("TriggerType"), r.TriggerType);
  ini.WriteInt(kGeneral, QStringLiteral("CaptureDelay"), static_cast<int32_t>(r.CaptureDelay));
  if (r.HasAnalog()) WriteAnalog(r, ini);
  if (r.HasDigital()) WriteDigital(r, ini);

  ini.WriteInt(kConfig, QStringLiteral("TriggerBeep"), r.TriggerBeep);
  ini.WriteWideString(kConfig, QStringLiteral("LastOpenFileName"), r.LastOpenFileName);
  ini.WriteInt(kConfig, QStringLiteral("LastOpenFileType"), r.LastOpenFileType);
  ini.WriteWideString(kConfig, QStringLiteral("LastSaveFileName"), r.LastSaveFileName);
  ini.WriteInt(kConfig, QStringLiteral("LastSaveFileType"), r.LastSaveFileType);
  ini.WriteInt(kConfig, QStringLiteral("ThreadPriority"), r.ThreadPriority);
  ini.WriteInt(kConfig, QStringLiteral("SaveSettingsOnExit"), r.SaveSettingsOnExit);

  auto write = [&](const QString &key, uint32_t value) {
    ini.WriteInt(kColors, key, static_cast<int32_t>(value));
  };
  for (const TColorKey &c : kColorsFirst)
    write(QLatin1String(c.Name), r.Colors.*c.Field);
  for (int n = 0; n < kMaxChannels; ++n)
    write(Key("DigitalCh%d", n), r.Colors.DigitalCh[n]);
  for (int n = 0; n < kMaxInterpreters; ++n)
    write(Key("DigitalIntp%d", n), r.Colors.DigitalIntp[n]);
  for (const TColorKey &c : kColorsLast)
    write(QLatin1String(c.Name), r.Colors.*c.Field);
}

void ReadSettings(TVELK &r) {
  CMyIni ini;
  if (ini.Open(SettingsFileName(r), QStringLiteral("Settings"), true)) {
    ReadSettings(r, ini);
    return;
  }
  if (r.Ui)
    r.Ui->ShowMessage(QStringLiteral("Could not restore config."), QString(), TMessageIcon::None);
  // The record must not keep zero-filled values: an empty store gives the defaults.
  CMyIni empty;
  ReadSettings(r, empty);
}

bool WriteSettings(TVELK &r, QString *problem) {
  CMyIni ini;
  ini.Open(SettingsFileName(r), QStringLiteral("Settings"), false);
  WriteSettings(r, ini);
  const bool ok = ini.Save();
  if (!ok && problem) *problem = ini.Problem();
  ini.Discard(); // a failed write is not tried again on the way out
  return ok;
}
