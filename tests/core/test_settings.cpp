// Settings persistence: file names, the layout of the settings file, every
// key's round trip and default, and the values a file may not impose.
#include "fake_library.h"
#include "file_helpers.h"
#include "settings.h"
#include "statedefs.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cstring>
#include <functional>

namespace {

const QString kDigital = QStringLiteral("Digital");

// The channel table of FillEveryKey for 16 channels: rows 0-11 channels (2
// hidden), a bus of channels 12-14 (slot 0, expanded), an RS-232 decoder on
// channel 15 (slot 1), the absent channels 16-31, and empty slots.
void FillChConfig(uint32_t (&cfg)[kChConfigCount]) {
  for (int n = 0; n < 12; ++n)
    cfg[n] = kChChannel | n;
  cfg[2] |= kChHidden;
  cfg[12] = kChIntp | kChHidden | 32;
  cfg[13] = kChMember | 12;
  cfg[14] = kChMember | 13;
  cfg[15] = kChMember | 14;
  cfg[16] = kChIntp | 33;
  cfg[17] = kChMember | 15;
  for (int n = 18; n < 34; ++n)
    cfg[n] = kChAbsent | (n - 2);
  for (int n = 34; n < kChConfigCount; ++n)
    cfg[n] = 0;
}

// Every key at a valid value other than its default, for the mixed model.
void FillEveryKey(TVELK &r, const QString &stateFile) {
  r.BuffLength = 0x1000;
  r.ActiveWindow = 1;
  r.SamplingRate = 7;
  r.TriggerAt = 0x300;
  r.TriggerType = 2;
  r.CaptureDelay = 12345;

  r.AnalogWindowRect = {-5, 10, 800, 600};
  r.AnalogEnabled = false;
  r.AnalogThreshold = -40;
  r.ThresholdMargin = 3;
  r.AnalogEdgeType = 1;
  r.TriggerSource = 2;
  r.ExtTrigMode = 1;
  r.GainChA = 7;
  r.CouplingChA = 0;
  r.InvertChA = true;
  r.EnabledChA = false;
  r.EnabledChRA = true;
  r.ProbeChA = 2;
  r.GainChB = 3;
  r.CouplingChB = 0;
  r.InvertChB = true;
  r.EnabledChB = false;
  r.EnabledChRB = true;
  r.ProbeChB = 1;
  r.FFTWindow = 7;
  r.FFTWinSize = 15;
  std::strcpy(r.Probes[1].Caption, "x\xB5'\"<&>");
  r.Probes[1].Divider = 2.5f;
  std::strcpy(r.Probes[2].Caption, "1:1000");
  r.Probes[2].Divider = 1000.0f;

  r.DigitalWindowRect = {1, 2, 3, 4};
  r.DigitalEnabled = false;
  r.DigitalThreshold = 5;
  r.TriggerCond = 3;
  r.ClockSource = 1;
  r.ExtStbType = 1;
  r.ExtGenFreq = 1000000;
  r.ExtClkEdge = 1;
  for (int n = 0; n < kMaxChannels; ++n) {
    std::snprintf(r.ChName[n], kChNameSize, "Bob's %d", n);
    r.ChPattern[n] = n % 2;
  }
  r.DigitalEdgeType = 3;
  r.EdgeChannel = 15;
  r.EdgeSkip = 9999;
  r.EdgeCounter = true;
  r.EdgeCounterCh = 14;
  r.EdgeCountType = 1;
  FillChConfig(r.ChConfig);
  r.Interpreters[0] = std::make_unique<TIntpDef>();
  std::strcpy(r.Interpreters[0]->Name, "Address \"bus\"");
  r.Interpreters[0]->Bus = {3, kDispAscii};
  r.Interpreters[1] = std::make_unique<TIntpDef>();
  std::strcpy(r.Interpreters[1]->Name, "Console");
  r.Interpreters[1]->Type = kIntpRS232;
  r.Interpreters[1]->RS232 = {115200, 7, 2, 4, kDispDecimal};
  r.StateDefIntp = 0;
  r.StateDefFile = stateFile;
  r.StateDefFileType = 1;
  PutFile(stateFile, "Idle\n1,One\n2,Two\n");
  LoadStateDefs(r, stateFile);

  r.TriggerBeep = 3;
  r.LastOpenFileName = QStringLiteral("/tmp/\u041F\u0440\u043E\u0435\u043A\u0442 'x'.prj");
  r.LastOpenFileType = 2;
  r.LastSaveFileName = QStringLiteral("/tmp/a&b.txt");
  r.LastSaveFileType = 5;
  r.ThreadPriority = 6;
  r.SaveSettingsOnExit = false;
  auto *colors = reinterpret_cast<uint32_t *>(&r.Colors);
  for (size_t i = 0; i < sizeof r.Colors / 4; ++i)
    colors[i] = 0x10203 * (i + 1) & 0xFFFFFF;
}

void ExpectSameSettings(const TVELK &a, const TVELK &b) {
  EXPECT_EQ(a.BuffLength, b.BuffLength);
  EXPECT_EQ(a.ActiveWindow, b.ActiveWindow);
  EXPECT_EQ(a.SamplingRate, b.SamplingRate);
  EXPECT_EQ(a.TriggerAt, b.TriggerAt);
  EXPECT_EQ(a.TriggerType, b.TriggerType);
  EXPECT_EQ(a.CaptureDelay, b.CaptureDelay);

  for (auto rect : {&TVELK::AnalogWindowRect, &TVELK::DigitalWindowRect}) {
    EXPECT_EQ((a.*rect).Left, (b.*rect).Left);
    EXPECT_EQ((a.*rect).Top, (b.*rect).Top);
    EXPECT_EQ((a.*rect).Right, (b.*rect).Right);
    EXPECT_EQ((a.*rect).Bottom, (b.*rect).Bottom);
  }
  EXPECT_EQ(a.AnalogEnabled, b.AnalogEnabled);
  EXPECT_EQ(a.AnalogThreshold, b.AnalogThreshold);
  EXPECT_EQ(a.ThresholdMargin, b.ThresholdMargin);
  EXPECT_EQ(a.AnalogEdgeType, b.AnalogEdgeType);
  EXPECT_EQ(a.TriggerSource, b.TriggerSource);
  EXPECT_EQ(a.ExtTrigMode, b.ExtTrigMode);
  EXPECT_EQ(a.GainChA, b.GainChA);
  EXPECT_EQ(a.CouplingChA, b.CouplingChA);
  EXPECT_EQ(a.InvertChA, b.InvertChA);
  EXPECT_EQ(a.EnabledChA, b.EnabledChA);
  EXPECT_EQ(a.EnabledChRA, b.EnabledChRA);
  EXPECT_EQ(a.ProbeChA, b.ProbeChA);
  EXPECT_EQ(a.GainChB, b.GainChB);
  EXPECT_EQ(a.CouplingChB, b.CouplingChB);
  EXPECT_EQ(a.InvertChB, b.InvertChB);
  EXPECT_EQ(a.EnabledChB, b.EnabledChB);
  EXPECT_EQ(a.EnabledChRB, b.EnabledChRB);
  EXPECT_EQ(a.ProbeChB, b.ProbeChB);
  EXPECT_EQ(a.FFTWindow, b.FFTWindow);
  EXPECT_EQ(a.FFTWinSize, b.FFTWinSize);
  for (int i = 0; i < 3; ++i) {
    EXPECT_STREQ(a.Probes[i].Caption, b.Probes[i].Caption);
    EXPECT_EQ(a.Probes[i].Divider, b.Probes[i].Divider);
  }

  EXPECT_EQ(a.DigitalEnabled, b.DigitalEnabled);
  EXPECT_EQ(a.DigitalThreshold, b.DigitalThreshold);
  EXPECT_EQ(a.TriggerCond, b.TriggerCond);
  EXPECT_EQ(a.ClockSource, b.ClockSource);
  EXPECT_EQ(a.ExtStbType, b.ExtStbType);
  EXPECT_EQ(a.ExtGenFreq, b.ExtGenFreq);
  EXPECT_EQ(a.ExtClkEdge, b.ExtClkEdge);
  for (int n = 0; n < kMaxChannels; ++n) {
    EXPECT_STREQ(a.ChName[n], b.ChName[n]) << n;
    EXPECT_EQ(a.ChPattern[n], b.ChPattern[n]) << n;
  }
  EXPECT_EQ(a.DigitalEdgeType, b.DigitalEdgeType);
  EXPECT_EQ(a.EdgeChannel, b.EdgeChannel);
  EXPECT_EQ(a.EdgeSkip, b.EdgeSkip);
  EXPECT_EQ(a.EdgeCounter, b.EdgeCounter);
  EXPECT_EQ(a.EdgeCounterCh, b.EdgeCounterCh);
  EXPECT_EQ(a.EdgeCountType, b.EdgeCountType);
  for (int n = 0; n < kChConfigCount; ++n)
    EXPECT_EQ(a.ChConfig[n], b.ChConfig[n]) << n;
  for (int i = 0; i < kMaxInterpreters; ++i) {
    ASSERT_EQ(!a.Interpreters[i], !b.Interpreters[i]) << i;
    if (!a.Interpreters[i]) continue;
    const TIntpDef &x = *a.Interpreters[i], &y = *b.Interpreters[i];
    EXPECT_STREQ(x.Name, y.Name);
    EXPECT_EQ(x.Type, y.Type);
    EXPECT_EQ(x.DispMode(), y.DispMode());
    if (x.Type == kIntpBus) {
      EXPECT_EQ(x.Bus.Width, y.Bus.Width);
    } else {
      EXPECT_EQ(x.RS232.BaudRate, y.RS232.BaudRate);
      EXPECT_EQ(x.RS232.DataBits, y.RS232.DataBits);
      EXPECT_EQ(x.RS232.StopBits, y.RS232.StopBits);
      EXPECT_EQ(x.RS232.Parity, y.RS232.Parity);
    }
  }
  EXPECT_EQ(a.StateDefIntp, b.StateDefIntp);
  EXPECT_EQ(a.StateDefFile, b.StateDefFile);
  EXPECT_EQ(a.StateDefFileType, b.StateDefFileType);
  EXPECT_EQ(a.StateDefTitle, b.StateDefTitle);
  ASSERT_EQ(a.StateDefs.size(), b.StateDefs.size());
  for (size_t i = 0; i < a.StateDefs.size(); ++i) {
    EXPECT_EQ(a.StateDefs[i].Value, b.StateDefs[i].Value);
    EXPECT_STREQ(a.StateDefs[i].Name, b.StateDefs[i].Name);
  }

  EXPECT_EQ(a.TriggerBeep, b.TriggerBeep);
  EXPECT_EQ(a.LastOpenFileName, b.LastOpenFileName);
  EXPECT_EQ(a.LastOpenFileType, b.LastOpenFileType);
  EXPECT_EQ(a.LastSaveFileName, b.LastSaveFileName);
  EXPECT_EQ(a.LastSaveFileType, b.LastSaveFileType);
  EXPECT_EQ(a.ThreadPriority, b.ThreadPriority);
  EXPECT_EQ(a.SaveSettingsOnExit, b.SaveSettingsOnExit);
  EXPECT_EQ(std::memcmp(&a.Colors, &b.Colors, sizeof a.Colors), 0);
}

QString Text(const QByteArray &file) {
  return QString::fromUtf16(reinterpret_cast<const char16_t *>(file.constData() + 2),
                            (file.size() - 2) / 2);
}

class Settings : public ::testing::Test {
protected:
  QTemporaryDir dir;
  TRecordingUi ui;
  QString StateFile() const { return dir.filePath(QStringLiteral("states.csv")); }
  void Prepare(TVELK &r, TFakeModel model, const char *description) {
    SetUpFakeRecord(r, model, description);
    r.SettingsFolder = dir.path() + u'/';
    r.Ui = &ui;
  }
  // A store holding every key of FillEveryKey.
  void FullStore(CMyIni &ini) {
    TVELK r;
    Prepare(r, TFakeModel::Mixed, "Cobalt");
    FillEveryKey(r, StateFile());
    ini.Open(dir.filePath(QStringLiteral("unused.ini")), QStringLiteral("Settings"), false);
    WriteSettings(r, ini);
  }
};

TEST_F(Settings, FileNamePerInstrumentInstanceAndDemo) {
  TVELK r;
  std::strcpy(r.DeviceDescription, "Brisk");
  r.SettingsFolder = QStringLiteral("/home/u/.local/share/TORVASK/VELK/");
  EXPECT_EQ(SettingsFileName(r), r.SettingsFolder + QStringLiteral("Brisk.ini"));
  r.InstanceNumber = 1;
  EXPECT_EQ(SettingsFileName(r), r.SettingsFolder + QStringLiteral("Brisk1.ini"));
  r.HardwarePresent = false;
  EXPECT_EQ(SettingsFileName(r), r.SettingsFolder + QStringLiteral("BriskDemo.ini"));
  r.SettingsFolder.clear(); // no folder: the current one
  std::strcpy(r.DeviceDescription, "A/B");
  EXPECT_EQ(SettingsFileName(r), QStringLiteral("A_BDemo.ini"));
}

TEST_F(Settings, FileLayout) {
  TVELK r;
  Prepare(r, TFakeModel::Scope, "Dorian");
  CMyIni empty;
  ReadSettings(r, empty); // the defaults
  CMyIni ini;
  ini.Open(QString(), QStringLiteral("Settings"), false);
  WriteSettings(r, ini);
  const QString text = Text(ini.Serialize());
  ini.Discard();
  EXPECT_TRUE(text.startsWith(QStringLiteral("<?xml version=\"1.0\" encoding=\"UTF-16\"?>\r\n"
                                             "<Settings>\r\n"
                                             "<General>\r\n"
                                             " <BuffLength value = \"20000\"/>\r\n"
                                             " <ActiveWindow value = \"0\"/>\r\n"
                                             " <SamplingRate value = \"2\"/>\r\n"
                                             " <TriggerAt value = \"10000\"/>\r\n"
                                             " <TriggerType value = \"0\"/>\r\n"
                                             " <CaptureDelay value = \"0\"/>\r\n"
                                             "</General>\r\n"
                                             "<Analog>\r\n"
                                             " <Left value = \"0\"/>\r\n")))
      << qPrintable(text.left(400));
  for (const char *line :
       {" <ProbeCaption2 value = \"1:10\"/>\r\n <ProbeDivider2 value = \"10\"/>",
        " <ProbeCaption3 value = \"1:100\"/>\r\n <ProbeDivider3 value = \"100\"/>",
        " <AnalogChA value = \"80ff\"/>", " <DigitalRulerText value = \"606060\"/>"})
    EXPECT_TRUE(text.contains(QString::fromLatin1(line))) << line;
  EXPECT_TRUE(text.endsWith(QStringLiteral("</Colors>\r\n</Settings>")));
  EXPECT_FALSE(text.contains(QStringLiteral("<Digital>"))); // no digital part

  // The mixed model: every section, interpreters between Digital and Config.
  TVELK m;
  Prepare(m, TFakeModel::Mixed, "Cobalt");
  FillEveryKey(m, StateFile());
  m.ExtGenFreq = 1000.7;
  m.StateDefIntp = -1;
  CMyIni mixed;
  mixed.Open(QString(), QStringLiteral("Settings"), false);
  WriteSettings(m, mixed);
  const QString all = Text(mixed.Serialize());
  mixed.Discard();
  qsizetype at = 0;
  for (const char *section :
       {"<General>", "<Analog>", "<Digital>", "<Interpreters>", "<Config>", "<Colors>"}) {
    const qsizetype next = all.indexOf(QString::fromLatin1(section));
    EXPECT_GT(next, at) << section;
    at = next;
  }
  for (const char *line :
       {" <ExtGenFreq value = \"3e8\"/>", " <StateDefIntp value = \"ffffffff\"/>",
        " <ChConfig12 value = \"1920\"/>", " <Intp1BaudRate value = \"1c200\"/>",
        " <Ch0Name value = \"Bob&apos;s 0\"/>"})
    EXPECT_TRUE(all.contains(QString::fromLatin1(line))) << line;
}

TEST_F(Settings, EveryKeySurvivesTheSettingsFile) {
  TVELK r;
  Prepare(r, TFakeModel::Mixed, "Cobalt");
  FillEveryKey(r, StateFile());
  ASSERT_TRUE(WriteSettings(r));
  ASSERT_TRUE(QFile::exists(dir.filePath(QStringLiteral("Cobalt.ini"))));

  TVELK back;
  Prepare(back, TFakeModel::Mixed, "Cobalt");
  ReadSettings(back);
  EXPECT_TRUE(ui.Messages.empty());
  ExpectSameSettings(r, back);
  // The decoders get zeroed words for every interpreter of the table.
  EXPECT_EQ(back.InterpreterData[0], std::vector<uint32_t>(back.BufferCapacity, 0u));
  EXPECT_EQ(back.InterpreterData[1].size(), back.BufferCapacity);
  EXPECT_TRUE(back.InterpreterData[2].empty());

  // Another instrument name, or the simulated instrument, has its own file.
  for (bool demo : {false, true}) {
    TVELK other;
    Prepare(other, TFakeModel::Mixed, demo ? "Cobalt" : "Cobalt 2");
    other.HardwarePresent = !demo;
    ReadSettings(other);
    EXPECT_EQ(other.SamplingRate, 2);
    EXPECT_EQ(other.TriggerAt, other.BufferCapacity / 2);
  }
}

TEST_F(Settings, AnEmptyStoreGivesEveryDefault) {
  TVELK r;
  Prepare(r, TFakeModel::Mixed, "Cobalt");
  CMyIni empty;
  EXPECT_TRUE(ReadSettings(r, empty));
  EXPECT_EQ(r.BuffLength, 0x20000u);
  EXPECT_EQ(r.TriggerAt, 0x10000u);
  EXPECT_EQ(r.ActiveWindow, 0);
  EXPECT_EQ(r.SamplingRate, 2);
  EXPECT_TRUE(r.AnalogEnabled && r.EnabledChA && r.EnabledChB && r.DigitalEnabled);
  EXPECT_EQ(r.CouplingChA + r.CouplingChB, 2);
  EXPECT_EQ(r.ThresholdMargin, 1);
  EXPECT_EQ(r.FFTWindow, 4);
  EXPECT_EQ(r.FFTWinSize, 10);
  EXPECT_STREQ(r.Probes[0].Caption, "1:1");
  EXPECT_STREQ(r.Probes[1].Caption, "1:10");
  EXPECT_STREQ(r.Probes[2].Caption, "1:100");
  EXPECT_EQ(r.Probes[2].Divider, 100.0f);
  EXPECT_EQ(r.DigitalThreshold, 2);
  EXPECT_STREQ(r.ChName[0], "Channel 1");
  EXPECT_STREQ(r.ChName[31], "Channel 32");
  EXPECT_EQ(r.ChPattern[31], 2);
  EXPECT_EQ(r.ChConfig[15], 0x140Fu);
  EXPECT_EQ(r.ChConfig[16], 0x1010u);
  EXPECT_EQ(r.ChConfig[32], 0u);
  EXPECT_EQ(r.StateDefIntp, -1);
  EXPECT_EQ(r.LastOpenFileType, 1);
  EXPECT_EQ(r.LastSaveFileType, 1);
  EXPECT_EQ(r.ThreadPriority, 3);
  EXPECT_TRUE(r.SaveSettingsOnExit);
  EXPECT_EQ(r.Colors.AnalogCurX, 255u);
  EXPECT_EQ(r.Colors.DigitalCurY, 0xFF0000u);
  EXPECT_EQ(r.Colors.AnalogChRA, 6324383u);
  EXPECT_EQ(r.Colors.AnalogRulerBackB, 0xE1FFFFu);
  EXPECT_EQ(r.Colors.DigitalRulerBack, 15987699u);
  EXPECT_EQ(r.Colors.DigitalCh[5], 0u);

  TVELK logic;
  Prepare(logic, TFakeModel::Logic, "Brisk");
  ReadSettings(logic, empty);
  EXPECT_EQ(logic.ActiveWindow, 1);
  EXPECT_EQ(logic.ChConfig[31], 0x141Fu);
}

TEST_F(Settings, BufferLengthIsLimitedToTheInstrument) {
  TVELK r;
  Prepare(r, TFakeModel::Scope, "Dorian");
  CMyIni ini;
  ini.WriteInt(QStringLiteral("General"), QStringLiteral("BuffLength"), 0x40000);
  EXPECT_TRUE(ReadSettings(r, ini));
  EXPECT_EQ(r.BuffLength, 0x20000u);
  EXPECT_EQ(r.TriggerAt, 0x10000u);
  ini.WriteInt(QStringLiteral("General"), QStringLiteral("BuffLength"), 1000); // not 256 × 2^k
  EXPECT_FALSE(ReadSettings(r, ini));
  EXPECT_EQ(r.BuffLength, 0x20000u);
  ini.Discard();
}

TEST_F(Settings, ValuesOutOfTheirRangeFallBackToTheirDefaults) {
  using F = std::function<double(const TVELK &)>;
  const struct {
    const char *Section, *Key, *Text;
    F Field;
    double Default;
  } cases[] = {
      {"General", "SamplingRate", "13", [](auto &r) { return r.SamplingRate; }, 2},
      {"General", "SamplingRate", "ffffffff", [](auto &r) { return r.SamplingRate; }, 2},
      {"General", "TriggerAt", "1001", [](auto &r) { return r.TriggerAt; }, 0x800},
      {"General", "BuffLength", "0", [](auto &r) { return r.BuffLength; }, 0x20000},
      {"General", "ActiveWindow", "2", [](auto &r) { return r.ActiveWindow; }, 0},
      {"General", "TriggerType", "3", [](auto &r) { return r.TriggerType; }, 0},
      {"General", "CaptureDelay", "5f5e101", [](auto &r) { return r.CaptureDelay; }, 0},
      {"Analog", "GainChA", "8", [](auto &r) { return r.GainChA; }, 0},
      {"Analog", "GainChB", "ffffffff", [](auto &r) { return r.GainChB; }, 0},
      {"Analog", "ProbeChA", "3", [](auto &r) { return r.ProbeChA; }, 0},
      {"Analog", "ProbeChB", "3", [](auto &r) { return r.ProbeChB; }, 0},
      {"Analog", "ThresholdMargin", "4", [](auto &r) { return r.ThresholdMargin; }, 1},
      {"Analog", "EdgeType", "2", [](auto &r) { return r.AnalogEdgeType; }, 0},
      {"Analog", "TriggerSource", "3", [](auto &r) { return r.TriggerSource; }, 0},
      {"Analog", "CouplingChA", "2", [](auto &r) { return r.CouplingChA; }, 1},
      {"Analog", "FFTWindow", "8", [](auto &r) { return r.FFTWindow; }, 4},
      {"Analog", "FFTWinSize", "6", [](auto &r) { return r.FFTWinSize; }, 10},
      {"Analog", "FFTWinSize", "10", [](auto &r) { return r.FFTWinSize; }, 10}, // 2^16
      {"Analog", "ProbeDivider2", "0", [](auto &r) { return r.Probes[1].Divider; }, 10},
      {"Analog", "ProbeDivider2", "nan", [](auto &r) { return r.Probes[1].Divider; }, 10},
      {"Analog", "ProbeDivider3", "1e300", [](auto &r) { return r.Probes[2].Divider; }, 100},
      // Positive as a double, 0 (or subnormal) as the float it is kept in.
      {"Analog", "ProbeDivider3", "1e-50", [](auto &r) { return r.Probes[2].Divider; }, 100},
      {"Analog", "ProbeDivider3", "1e-40", [](auto &r) { return r.Probes[2].Divider; }, 100},
      {"Digital", "Threshold", "6", [](auto &r) { return r.DigitalThreshold; }, 2},
      {"Digital", "TriggerCond", "4", [](auto &r) { return r.TriggerCond; }, 0},
      {"Digital", "ClockSource", "3", [](auto &r) { return r.ClockSource; }, 0},
      {"Digital", "ExtGenFreq", "fffffffb", [](auto &r) { return r.ExtGenFreq; }, 0},
      {"Digital", "Ch3Pattern", "3", [](auto &r) { return r.ChPattern[3]; }, 2},
      {"Digital", "EdgeType", "4", [](auto &r) { return r.DigitalEdgeType; }, 0},
      {"Digital", "EdgeChannel", "10", [](auto &r) { return r.EdgeChannel; }, 0}, // 16 channels
      {"Digital", "EdgeCounterCh", "10", [](auto &r) { return r.EdgeCounterCh; }, 0},
      {"Digital", "EdgeSkip", "2710", [](auto &r) { return r.EdgeSkip; }, 0},
      {"Digital", "StateDefIntp", "8", [](auto &r) { return r.StateDefIntp; }, -1},
      {"Digital", "StateDefIntp", "fffffffe", [](auto &r) { return r.StateDefIntp; }, -1},
      // Found by fuzz_settings: the state definitions on the RS-232 decoder, on an empty slot.
      {"Digital", "StateDefIntp", "1", [](auto &r) { return r.StateDefIntp; }, -1},
      {"Digital", "StateDefIntp", "5", [](auto &r) { return r.StateDefIntp; }, -1},
      {"Interpreters", "Intp0Type", "2", [](auto &r) { return r.Interpreters[0]->Type; }, 0},
      {"Interpreters", "Intp0DispMode", "3", [](auto &r) { return r.Interpreters[0]->DispMode(); },
       0},
      {"Interpreters", "Intp1DispMode", "3", [](auto &r) { return r.Interpreters[1]->DispMode(); },
       0},
      {"Interpreters", "Intp1BaudRate", "0",
       [](auto &r) { return r.Interpreters[1]->RS232.BaudRate; }, 9600},
      {"Interpreters", "Intp1DataBits", "9",
       [](auto &r) { return r.Interpreters[1]->RS232.DataBits; }, 8},
      {"Interpreters", "Intp1DataBits", "3",
       [](auto &r) { return r.Interpreters[1]->RS232.DataBits; }, 8},
      {"Interpreters", "Intp1StopBits", "3",
       [](auto &r) { return r.Interpreters[1]->RS232.StopBits; }, 0},
      {"Interpreters", "Intp1Parity", "5", [](auto &r) { return r.Interpreters[1]->RS232.Parity; },
       0},
      {"Config", "ThreadPriority", "7", [](auto &r) { return r.ThreadPriority; }, 3},
      {"Config", "TriggerBeep", "4", [](auto &r) { return r.TriggerBeep; }, 0},
  };
  for (const auto &c : cases) {
    CMyIni ini;
    FullStore(ini);
    ini.WriteWideString(QString::fromLatin1(c.Section), QString::fromLatin1(c.Key),
                        QString::fromLatin1(c.Text));
    TVELK r;
    Prepare(r, TFakeModel::Mixed, "Cobalt");
    EXPECT_FALSE(ReadSettings(r, ini)) << c.Key << " " << c.Text;
    EXPECT_EQ(c.Field(r), c.Default) << c.Key << " " << c.Text;
    EXPECT_EQ(r.Interpreters[1] ? r.Interpreters[1]->Type : -1, kIntpRS232) << c.Key;
    ini.Discard();
  }
}

TEST_F(Settings, ChannelTableWordsAndStructureAreChecked) {
  // A bad word takes the default of its row when that fits the table.
  for (uint32_t bad : {0x0C05u, 0x1410u, 0x1805u, 0x21405u}) {
    CMyIni ini;
    FullStore(ini);
    ini.WriteInt(kDigital, QStringLiteral("ChConfig5"), static_cast<int32_t>(bad));
    TVELK r;
    Prepare(r, TFakeModel::Mixed, "Cobalt");
    EXPECT_FALSE(ReadSettings(r, ini)) << std::hex << bad;
    EXPECT_EQ(r.ChConfig[5], 0x1405u) << std::hex << bad;
    EXPECT_EQ(r.ChConfig[12], 0x1920u) << std::hex << bad;
    EXPECT_TRUE(r.Interpreters[0] && r.Interpreters[1]) << std::hex << bad;
    ini.Discard();
  }
  // A table that does not hold together is replaced by a fresh one.
  const struct {
    const char *Name;
    std::vector<std::pair<int, uint32_t>> Words;
  } broken[] = {
      {"members without their interpreter", {{12, 0}}},
      {"a bus of one channel", {{14, kChChannel | 13}, {15, kChChannel | 14}}},
      {"a channel twice", {{0, kChChannel | 1}}},
      {"an RS-232 decoder on two channels",
       {{15, kChIntp | 33}, {16, kChMember | 14}, {17, kChMember | 15}}},
      {"an interpreter twice", {{16, kChIntp | 32}}},
      {"a channel of the device without a row", {{11, kChAbsent | 11}}},
  };
  for (const auto &c : broken) {
    CMyIni ini;
    FullStore(ini);
    for (auto [n, w] : c.Words)
      ini.WriteInt(kDigital, QStringLiteral("ChConfig%1").arg(n), static_cast<int32_t>(w));
    TVELK r;
    Prepare(r, TFakeModel::Mixed, "Cobalt");
    EXPECT_FALSE(ReadSettings(r, ini)) << c.Name;
    for (int n = 0; n < kChConfigCount; ++n)
      EXPECT_EQ(r.ChConfig[n], r.DefaultChConfig(n)) << c.Name;
    for (int i = 0; i < kMaxInterpreters; ++i) {
      EXPECT_FALSE(r.Interpreters[i]) << c.Name;
      EXPECT_TRUE(r.InterpreterData[i].empty()) << c.Name;
    }
    EXPECT_EQ(r.StateDefIntp, -1) << c.Name; // its bus went with the table
    ini.Discard();
  }
}

TEST_F(Settings, InterpretersComeFromTheChannelTable) {
  // The bus loses a member in the table: its width follows the table; the
  // RS-232 decoder keeps its parameters.
  CMyIni ini;
  FullStore(ini);
  ini.WriteInt(kDigital, QStringLiteral("ChConfig15"), kChChannel | 14);
  TVELK r;
  Prepare(r, TFakeModel::Mixed, "Cobalt");
  ASSERT_TRUE(ReadSettings(r, ini));
  ASSERT_TRUE(r.Interpreters[0] && r.Interpreters[1]);
  EXPECT_EQ(r.Interpreters[0]->Bus.Width, 2);
  EXPECT_STREQ(r.Interpreters[0]->Name, "Address \"bus\"");
  EXPECT_EQ(r.Interpreters[1]->RS232.BaudRate, 115200);
  EXPECT_EQ(r.Interpreters[1]->RS232.Parity, 4);
  ini.Discard();

  CMyIni fresh;
  FullStore(fresh);
  TVELK unnamed;
  Prepare(unnamed, TFakeModel::Mixed, "Cobalt");
  CMyIni copy;
  // Only the table and the type of slot 1: the rest of the keys take defaults.
  for (int n = 0; n < kChConfigCount; ++n)
    copy.WriteInt(kDigital, QStringLiteral("ChConfig%1").arg(n),
                  fresh.ReadInt(kDigital, QStringLiteral("ChConfig%1").arg(n), 0));
  copy.WriteInt(QStringLiteral("Interpreters"), QStringLiteral("Intp1Type"), 1);
  EXPECT_TRUE(ReadSettings(unnamed, copy));
  EXPECT_STREQ(unnamed.Interpreters[0]->Name, "Interpreter 1");
  EXPECT_EQ(unnamed.Interpreters[0]->Bus.DispMode, kDispHex);
  EXPECT_EQ(unnamed.Interpreters[1]->RS232.BaudRate, 9600);
  EXPECT_EQ(unnamed.Interpreters[1]->RS232.DataBits, 8);
  fresh.Discard();
  copy.Discard();
}

TEST_F(Settings, AStateDefinitionFileThatNoLongerLoadsIsForgotten) {
  TVELK r;
  Prepare(r, TFakeModel::Mixed, "Cobalt");
  FillEveryKey(r, StateFile());
  ASSERT_TRUE(WriteSettings(r));
  QFile::remove(StateFile());

  TVELK back;
  Prepare(back, TFakeModel::Mixed, "Cobalt");
  back.StateDefs = {TStateDef{9, "Stale"}};
  ReadSettings(back);
  EXPECT_TRUE(ui.Messages.empty());
  EXPECT_TRUE(back.StateDefFile.isEmpty());
  EXPECT_EQ(back.StateDefIntp, -1);
  EXPECT_TRUE(back.StateDefTitle.isEmpty());
  EXPECT_TRUE(back.StateDefs.empty());
  EXPECT_EQ(back.SamplingRate, 7); // the rest is read
}

TEST_F(Settings, WithoutALibraryTheListIndexesAreNotChecked) {
  CMyIni ini;
  ini.WriteInt(QStringLiteral("General"), QStringLiteral("SamplingRate"), 40);
  ini.WriteInt(QStringLiteral("Analog"), QStringLiteral("GainChA"), 12);
  ini.WriteInt(QStringLiteral("Analog"), QStringLiteral("GainChB"), -1);
  ini.WriteInt(kDigital, QStringLiteral("EdgeChannel"), 31);
  TVELK r;
  r.DeviceFeatures = 0x03;
  r.BufferCapacity = 0x20000;
  EXPECT_FALSE(ReadSettings(r, ini)); // GainChB -1 is never an index
  EXPECT_EQ(r.SamplingRate, 40);
  EXPECT_EQ(r.GainChA, 12);
  EXPECT_EQ(r.GainChB, 0);
  EXPECT_EQ(r.EdgeChannel, 31);
  EXPECT_EQ(r.ChConfig[31], 0x101Fu); // channel count unknown: fresh table as for none
  ini.Discard();
}

TEST_F(Settings, AFileThatCannotBeReadGivesTheMessageAndTheDefaults) {
  const QString path = dir.filePath(QStringLiteral("Cobalt.ini"));
  const QByteArray good = Utf16File(QStringLiteral(
      "<Settings>\r\n<General>\r\n <SamplingRate value = \"5\"/>\r\n</General>\r\n</Settings>"));
  const struct {
    const char *Name;
    QByteArray Bytes;
  } cases[] = {
      {"malformed", Utf16File(QStringLiteral("<Settings><General></Settings>"))},
      {"truncated", good.left(good.size() - 10)},
      {"not UTF-16", QByteArray("<Settings><General></General></Settings>")},
      {"huge", QByteArray()},
  };
  for (const auto &c : cases) {
    if (c.Bytes.isEmpty())
      PutHugeFile(path);
    else
      PutFile(path, c.Bytes);
    ui.Messages.clear();
    TVELK r;
    Prepare(r, TFakeModel::Mixed, "Cobalt");
    ReadSettings(r);
    ASSERT_EQ(ui.Messages.size(), 1u) << c.Name;
    EXPECT_EQ(ui.Messages[0].Text, QStringLiteral("Could not restore config.")) << c.Name;
    EXPECT_EQ(ui.Messages[0].Caption, QString()) << c.Name;
    EXPECT_EQ(ui.Messages[0].Icon, TMessageIcon::None) << c.Name;
    EXPECT_EQ(r.SamplingRate, 2) << c.Name;
    EXPECT_EQ(r.TriggerAt, 0x10000u) << c.Name;
    EXPECT_EQ(r.ThreadPriority, 3) << c.Name;
    EXPECT_EQ(r.ChConfig[0], 0x1400u) << c.Name;
    EXPECT_EQ(r.Colors.AnalogChA, 33023u) << c.Name;
  }
  // A missing file is no error: the defaults, without a message.
  QFile::remove(path);
  ui.Messages.clear();
  TVELK r;
  Prepare(r, TFakeModel::Mixed, "Cobalt");
  ReadSettings(r);
  EXPECT_TRUE(ui.Messages.empty());
  EXPECT_EQ(r.FFTWindow, 4);
  // And the good file is read.
  PutFile(path, good);
  ReadSettings(r);
  EXPECT_EQ(r.SamplingRate, 5);
}

TEST_F(Settings, AFailedWriteKeepsThePreviousFile) {
  TVELK r;
  Prepare(r, TFakeModel::Mixed, "Cobalt");
  CMyIni empty;
  ReadSettings(r, empty);
  ASSERT_TRUE(WriteSettings(r));
  const QString path = SettingsFileName(r);
  const QByteArray old = FileBytes(path);
  FillEveryKey(r, StateFile());
  {
    TDiskFull full(4096);
    EXPECT_FALSE(WriteSettings(r));
  }
  EXPECT_EQ(FileBytes(path), old);
  EXPECT_EQ(FolderEntries(dir.path()),
            (QStringList{QStringLiteral("Cobalt.ini"), QStringLiteral("states.csv")}));
  r.SettingsFolder = dir.filePath(QStringLiteral("missing/"));
  EXPECT_FALSE(WriteSettings(r));
}

} // namespace
