// Writes the seed corpora and the dictionaries of the fuzz targets with the
// program itself, for each simulated model:
//
//   - the per-instrument settings file as a first start writes it (defaults),
//   - the settings a user leaves after setting the instrument up (the smallest
//     buffer, a clock, gains and probes, channel names, a bus and an RS-232
//     decoder with state definitions on the bus where the model has a logic
//     part), written by WriteSettings and as a settings-only file by SaveFile,
//   - a project: velkcli loads that settings-only file, captures once in demo
//     mode and saves the .prj with its sample files,
//   - the state-definition file as the program saves it (hexadecimal lines),
//     and the same table in the decimal form a user makes for a *.csv file.
//
//   fuzz_seeds FUZZ_FOLDER     (writes FUZZ_FOLDER/corpus/<target>/ and FUZZ_FOLDER/<target>.dict)
//
// The state-definition files are named relative to the folder the files are
// loaded from (the fuzz targets work in their scratch folder).
#include "files.h"
#include "fuzz_common.h"
#include "interpreters.h"
#include "settings.h"
#include "startup.h"
#include "statedefs.h"
#include "ui.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <cstdio>
#include <cstring>
#include <set>

namespace {

class TChooseModel : public TUserInterface {
public:
  explicit TChooseModel(int model) : fModel(model) {}
  void ShowMessage(const QString &text, const QString &, TMessageIcon) override {
    std::fprintf(stderr, "fuzz_seeds: %s\n", qPrintable(text));
  }
  bool AskOkCancel(const QString &, const QString &, TMessageIcon) override { return true; }
  int SelectDevice(const QString &, const QString &, const QStringList &) override {
    return fModel;
  }

private:
  int fModel;
};

[[noreturn]] void Die(const QString &what) {
  std::fprintf(stderr, "fuzz_seeds: %s\n", qPrintable(what));
  std::exit(1);
}

QByteArray Read(const QString &path) {
  QFile f(path);
  if (!f.open(QIODevice::ReadOnly)) Die(QStringLiteral("cannot read ") + path);
  return f.readAll();
}

QByteArray ReadIfThere(const QString &path) {
  QFile f(path);
  return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

void Write(const QString &path, const QByteArray &bytes) {
  QDir().mkpath(QFileInfo(path).absolutePath());
  QFile f(path);
  if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate) || f.write(bytes) != bytes.size())
    Die(QStringLiteral("cannot write ") + path);
}

const std::vector<TStateDef> &StateTable() {
  static const std::vector<TStateDef> defs = [] {
    std::vector<TStateDef> d(5);
    const std::pair<int, const char *> items[] = {
        {0x0, "Reset"}, {0x1, "Fetch"}, {0x2, "Decode"}, {0xA, "Store"}, {0xF, "Halt"}};
    for (size_t i = 0; i < d.size(); ++i) {
      d[i].Value = items[i].first;
      std::strcpy(d[i].Name, items[i].second);
    }
    return d;
  }();
  return defs;
}

// What a user sets up before saving: the smallest buffer, a slower clock, and
// per part a few choices of the windows.
void SetUp(TVELK &r, bool decimalStates) {
  r.BuffLength = 256;
  r.TriggerAt = 64;
  r.SamplingRate = 5;
  r.CaptureDelay = 0;
  if (r.HasAnalog()) {
    r.GainChA = 2;
    r.GainChB = 3;
    r.CouplingChB = 0;
    r.ProbeChB = 1;
    r.EnabledChRA = true;
    r.AnalogThreshold = 20;
    r.FFTWindow = 2;
    r.FFTWinSize = 8;
    std::strcpy(r.Probes[2].Caption, "1:50");
    r.Probes[2].Divider = 50;
  }
  if (r.HasDigital()) {
    const char *names[] = {"D0", "D1", "D2", "D3", "RXD", "CLK"};
    for (int c = 0; c < 6; ++c)
      std::strcpy(r.ChName[c], names[c]);
    r.ChPattern[5] = 1;
    r.TriggerCond = 1;
    r.EdgeCounter = true;
    r.EdgeCounterCh = 5;
    r.EdgeSkip = 3;
    TIntpDef bus;
    std::strcpy(bus.Name, "Nibble");
    bus.Type = kIntpBus;
    bus.Bus.DispMode = kDispHex;
    const int busSlot = CreateInterpreter(r, bus, {0, 1, 2, 3});
    TIntpDef serial;
    std::strcpy(serial.Name, "Console");
    serial.Type = kIntpRS232;
    serial.RS232.BaudRate = 19200;
    serial.RS232.DataBits = 7;
    serial.RS232.Parity = 1;
    serial.RS232.DispMode = kDispAscii;
    if (busSlot < 0 || CreateInterpreter(r, serial, {4}) < 0) Die("no interpreters");
    const QString file =
        decimalStates ? QStringLiteral("states.csv") : QStringLiteral("states.txt");
    if (!LoadStateDefs(r, file)) Die("cannot load " + file);
    r.StateDefIntp = busSlot;
  }
}

// The dictionary entries of a store: its header, root and the tags of its
// sections and entries, in UTF-16 little-endian as they stand in the files.
void AddStoreWords(std::set<QByteArray> &words, const QByteArray &file) {
  QString text;
  for (qsizetype i = 2; i + 1 < file.size(); i += 2)
    text += QChar(static_cast<char16_t>(uint8_t(file[i]) | (uint8_t(file[i + 1]) << 8)));
  auto utf16 = [](const QString &s) {
    QByteArray b;
    for (QChar c : s) {
      b += static_cast<char>(c.unicode() & 0xFF);
      b += static_cast<char>(c.unicode() >> 8);
    }
    return b;
  };
  words.insert(QByteArray("\xFF\xFE", 2));
  words.insert(utf16(QStringLiteral("<?xml version=\"1.0\" encoding=\"UTF-16\"?>")));
  words.insert(utf16(QStringLiteral(" value = \"")));
  words.insert(utf16(QStringLiteral("\"/>\r\n")));
  for (const char *entity : {"&amp;", "&quot;", "&apos;", "&lt;", "&gt;"})
    words.insert(utf16(QString::fromLatin1(entity)));
  static const QRegularExpression tag(QStringLiteral("</?[A-Za-z0-9_]+>?"));
  for (auto m = tag.globalMatch(text); m.hasNext();)
    words.insert(utf16(m.next().captured(0)));
}

void WriteDict(const QString &path, const std::set<QByteArray> &words) {
  QByteArray text = "# Generated by fuzz_seeds from files the program writes.\n";
  int n = 0;
  for (const QByteArray &w : words) {
    text += "w" + QByteArray::number(n++) + "=\"";
    for (char c : w) {
      const auto u = static_cast<uint8_t>(c);
      if (u >= 0x20 && u < 0x7F && c != '"' && c != '\\')
        text += c;
      else
        text += QByteArray("\\x") + QByteArray::number(u, 16).rightJustified(2, '0');
    }
    text += "\"\n";
  }
  Write(path, text);
}

} // namespace

int main(int argc, char **argv) {
  QCoreApplication app(argc, argv);
  if (argc != 2) Die("usage: fuzz_seeds FUZZ_FOLDER");
  const QString out = QDir(QString::fromLocal8Bit(argv[1])).absolutePath() + u'/';
  const QString corpus = out + QStringLiteral("corpus/");
  QTemporaryDir work;
  if (!work.isValid()) Die("no temporary folder");
  // Nothing of the user's is read or written: settings, locks and the
  // installation record stay in the temporary folder.
  qputenv("XDG_DATA_HOME", QFile::encodeName(work.filePath(QStringLiteral("data"))));
  qputenv("XDG_RUNTIME_DIR", QFile::encodeName(work.path()));
  QDir::setCurrent(work.path());
  const QString bin = QStringLiteral(VELK_FUZZ_BIN_DIR) + u'/';

  // The state definitions: saved by the program, and the decimal form of a user's *.csv.
  if (!SaveStateDefs(QStringLiteral("states.txt"), QStringLiteral("Idle"), StateTable()))
    Die("cannot save the state definitions");
  QByteArray csv = "Idle\n";
  for (const TStateDef &d : StateTable())
    csv += QByteArray::number(d.Value) + ',' + d.Name + '\n';
  Write(work.filePath(QStringLiteral("states.csv")), csv);
  std::set<QByteArray> stateWords = {"\n",   "\r\n",  " ",     ",", "0000",
                                     "FFFF", "65535", "65536", "-1"};
  for (const char *name : {"states.txt", "states.csv"})
    Write(corpus + QStringLiteral("fuzz_statedefs/") + QLatin1String(name),
          Read(work.filePath(QLatin1String(name))));
  for (const TStateDef &d : StateTable())
    stateWords.insert(QByteArray(d.Name));
  WriteDict(out + QStringLiteral("fuzz_statedefs.dict"), stateWords);

  std::set<QByteArray> storeWords, projectWords, settingsWords;
  for (int m = 0; m < kFuzzModels; ++m) {
    const QString model = QString::fromLatin1(kSimulatedModels[m]);
    const bool decimalStates = m % 2 == 0;
    const QByteArray states =
        ReadIfThere(work.filePath(decimalStates ? "states.csv" : "states.txt"));
    QByteArray defaults, configured, set;
    bool digital = false;
    {
      TChooseModel ui(m);
      TStartupOptions options;
      options.AppFolder = bin;
      options.ForceSimulation = true;
      options.InstallRecordFolder = work.filePath(QStringLiteral("etc"));
      TStartup startup(&ui, options);
      if (!startup.Init()) Die("demo mode did not start for " + model);
      TVELK &r = *startup.Record();
      digital = r.HasDigital();
      const QString settingsFile = SettingsFileName(r);
      if (!WriteSettings(r)) Die("cannot write the settings");
      defaults = Read(settingsFile);
      SetUp(r, decimalStates);
      r.LastFileKind = kFileSettings;
      r.FileName = work.filePath(model + QStringLiteral(".set"));
      if (!SaveFile(r)) Die("cannot save " + r.FileName);
      set = Read(r.FileName);
      if (!WriteSettings(r)) Die("cannot write the settings");
      configured = Read(settingsFile);
      startup.Shutdown(false);
    }

    // One capture in demo mode with those settings, saved as a project.
    QProcess cli;
    cli.setWorkingDirectory(work.path());
    cli.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    cli.start(bin + QStringLiteral("velkcli"),
              {QStringLiteral("--demo"), model, QStringLiteral("--load"), model + ".set",
               QStringLiteral("--capture"), QStringLiteral("single"), QStringLiteral("--save"),
               model + ".prj"});
    if (!cli.waitForFinished(60000) || cli.exitStatus() != QProcess::NormalExit ||
        cli.exitCode() != 0)
      Die("velkcli could not save the project of " + model);
    const QByteArray prj = Read(work.filePath(model + ".prj"));
    const QByteArray dtd = ReadIfThere(work.filePath(model + ".dtd"));
    const QByteArray dta = ReadIfThere(work.filePath(model + ".dta"));
    const QByteArray dtb = ReadIfThere(work.filePath(model + ".dtb"));

    const QString lower = model.toLower();
    Write(corpus + "fuzz_myini/" + lower + "-defaults.ini", defaults);
    Write(corpus + "fuzz_myini/" + lower + ".ini", configured);
    Write(corpus + "fuzz_myini/" + lower + ".set", set);
    Write(corpus + "fuzz_myini/" + lower + ".prj", prj);
    const QByteArray iniName = (model + QStringLiteral("Demo.ini")).toLatin1();
    Write(corpus + "fuzz_settings/" + lower + "-defaults", FuzzJoinFiles({iniName, defaults}));
    Write(corpus + "fuzz_settings/" + lower,
          FuzzJoinFiles(digital ? std::vector<QByteArray>{iniName, configured, states}
                                : std::vector<QByteArray>{iniName, configured}));
    Write(corpus + "fuzz_project/" + lower + "-prj",
          FuzzJoinFiles(digital ? std::vector<QByteArray>{prj, dtd, dta, dtb, states}
                                : std::vector<QByteArray>{prj, dtd, dta, dtb}));
    Write(corpus + "fuzz_project/" + lower + "-set",
          FuzzJoinFiles(digital ? std::vector<QByteArray>{set, {}, {}, {}, states}
                                : std::vector<QByteArray>{set}));
    for (const QByteArray &f : {defaults, configured, set, prj}) {
      AddStoreWords(storeWords, f);
      AddStoreWords(projectWords, f);
      AddStoreWords(settingsWords, f);
    }
    settingsWords.insert(iniName);
  }
  projectWords.insert(kFuzzFileMark);
  settingsWords.insert(kFuzzFileMark);
  for (const char *name : {"states.txt", "states.csv"}) {
    projectWords.insert(QByteArray(name));
    settingsWords.insert(QByteArray(name));
  }
  WriteDict(out + QStringLiteral("fuzz_myini.dict"), storeWords);
  WriteDict(out + QStringLiteral("fuzz_project.dict"), projectWords);
  WriteDict(out + QStringLiteral("fuzz_settings.dict"), settingsWords);
  return 0;
}
