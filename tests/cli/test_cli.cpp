// velkcli end to end: the program as a user runs it, against the emulator and
// in simulated mode, with a private settings and runtime folder.
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QProcessEnvironment>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <vector>

#include <sys/stat.h>

namespace {

// The frequency a "--measure" line reports, in Hz (0 when the line is missing).
double MeasuredHz(const QString &out, const QString &channel) {
  for (const QString &line : out.split('\n')) {
    if (!line.startsWith(channel + " Freq ")) continue;
    QString value = line.mid(channel.size() + 6);
    double scale = value.endsWith("kHz") ? 1e3 : value.endsWith("MHz") ? 1e6 : 1;
    value.chop(value.endsWith("kHz") || value.endsWith("MHz") ? 3 : 2);
    return value.toDouble() * scale;
  }
  return 0;
}

struct TRun {
  int exitCode;
  QString out, err;
};

class CliTest : public ::testing::Test {
protected:
  void SetUp() override {
    ASSERT_TRUE(home.isValid());
    QDir().mkpath(home.filePath("run"));
  }
  TRun Run(const QStringList &args) {
    QProcess p;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("XDG_DATA_HOME", home.filePath("data"));
    env.insert("XDG_RUNTIME_DIR", home.filePath("run"));
    // The installation record stays in the test's folder, never in /etc.
    env.insert("VELK_INSTALL_RECORD_DIR", home.filePath("etc"));
    env.remove("VELK_EMULATE");
    // No instrument unless the test emulates one.
    env.insert("VELK_D2XX_LIBRARY", home.filePath("no-driver.so"));
    p.setProcessEnvironment(env);
    p.start(QStringLiteral(VELK_TEST_CLI), args);
    if (!p.waitForFinished(30000)) return {-1, {}, "timed out"};
    return {p.exitCode(), QString::fromLocal8Bit(p.readAllStandardOutput()),
            QString::fromLocal8Bit(p.readAllStandardError())};
  }
  // The command line through the shell, for arguments that are bytes rather
  // than text (VELKCLI names the program).
  TRun Shell(const QString &script) {
    QProcess p;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("XDG_DATA_HOME", home.filePath("data"));
    env.insert("XDG_RUNTIME_DIR", home.filePath("run"));
    env.insert("VELKCLI", QStringLiteral(VELK_TEST_CLI));
    env.insert("HOME_DIR", home.path());
    p.setProcessEnvironment(env);
    p.start(QStringLiteral("/bin/sh"), {QStringLiteral("-c"), script});
    if (!p.waitForFinished(30000)) return {-1, {}, "timed out"};
    return {p.exitCode(), QString::fromLocal8Bit(p.readAllStandardOutput()),
            QString::fromLocal8Bit(p.readAllStandardError())};
  }
  QString File(const QString &name) const { return home.filePath(name); }
  // A settings file (UTF-16 store) with the given sections, as the application writes them.
  void WriteStore(const QString &name, const QString &body) {
    QString text = QStringLiteral("<?xml version=\"1.0\" encoding=\"UTF-16\"?>\r\n<Project>\r\n") +
                   body + QStringLiteral("</Project>");
    QFile f(File(name));
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write("\xFF\xFE", 2);
    f.write(reinterpret_cast<const char *>(text.utf16()), text.size() * 2);
  }
  QTemporaryDir home;
};

TEST_F(CliTest, VersionHelpAndOptionForms) {
  TRun r = Run({"--version"});
  EXPECT_EQ(r.exitCode, 0);
  EXPECT_EQ(r.out, QStringLiteral("velkcli " VELK_TEST_VERSION "\n"));
  r = Run({"--help"});
  EXPECT_EQ(r.exitCode, 0);
  for (const char *option : {"--emulate", "--device", "--demo", "--load", "--autoset", "--capture",
                             "--digital", "--measure", "--decode", "--edges", "--search",
                             "--spectrum", "--dft", "--save", "--save-settings", "--version"})
    EXPECT_TRUE(r.out.contains(QString::fromLatin1(option) + ' ')) << option;
  EXPECT_TRUE(r.out.simplified().contains("the digital trigger for --capture"))
      << "--digital says it picks the trigger too";
  // --option=value and the two-value options in either form.
  r = Run({"--demo=Cobalt", "--capture=repeat,2", "--measure", "--spectrum=" + File("s.csv"),
           "--dft=0,1023"});
  EXPECT_EQ(r.exitCode, 0) << r.err.toStdString();
  EXPECT_TRUE(QFile::exists(File("s.csv")));
  r = Run({"--demo", "Cobalt", "--capture", "auto", "2", "--spectrum", File("t.csv"), "--dft", "0",
           "1023", "info"});
  EXPECT_EQ(r.exitCode, 0) << r.err.toStdString();
  EXPECT_TRUE(r.out.contains("Device: Cobalt (demo)"));
}

TEST_F(CliTest, AbsurdCommandLinesAreRefusedWithAReason) {
  struct {
    QStringList args;
    const char *reason;
  } cases[] = {
      {{"--dft", "0", "10", "--demo", "Dorian", "--capture", "single"},
       "--dft applies to --spectrum"},
      {{"--demo", "Dorian", "--capture", "single", "--spectrum", "x.csv", "--dft", "20", "10"},
       "FROM lies after TO"},
      {{"--demo", "Dorian", "--autoset"}, "--autoset needs an instrument"},
      {{"--demo", "Dorian", "--device", "1", "info"}, "not both"},
      {{"--demo", "Dorian", "--measure"}, "--measure needs samples"},
      {{"--demo", "Brisk", "--decode"}, "--decode needs samples"},
      {{"--demo", "Brisk", "--edges"}, "--edges needs samples"},
      {{"--demo", "Brisk", "--search", "1X"}, "--search needs samples"},
      {{"--demo", "Dorian", "--spectrum", "x.csv"}, "--spectrum needs samples"},
      {{"--demo", "Dorian", "--digital", "info"}, "--digital applies to --capture and --save"},
      {{"--demo", "Dorian", "--capture", "repeat"}, "need a number of captures"},
      {{"--demo", "Dorian", "--capture", "repeat", "0"}, "need a number of captures"},
      {{"--demo", "Dorian", "--save", "x.doc"}, "--save takes"},
      {{"--demo", "Dorian", "--frobnicate"}, "frobnicate"},
      {{"--demo"}, "demo"},
      {{"list", "--capture", "single"}, "list takes no --capture"},
      {{"list", "info"}, "one command at a time"},
      {{"dance"}, "unknown command dance"},
  };
  for (auto &c : cases) {
    TRun r = Run(c.args);
    EXPECT_EQ(r.exitCode, 2) << c.args.join(' ').toStdString();
    EXPECT_TRUE(r.err.contains(c.reason))
        << c.args.join(' ').toStdString() << ": " << r.err.toStdString();
  }
}

TEST_F(CliTest, ListShowsTheAttachedInstruments) {
  TRun r = Run({"--emulate", "Dorian,Serial Cable,Brisk,Fenwick", "list"});
  EXPECT_EQ(r.exitCode, 0) << r.err.toStdString();
  EXPECT_EQ(r.out, "0\t4\tDorian\n1\t2\tBrisk\n2\t6\tFenwick\n");
  r = Run({"list"});
  EXPECT_EQ(r.exitCode, 0);
  EXPECT_EQ(r.out, "");
}

TEST_F(CliTest, InfoOfAnEmulatedScope) {
  TRun r = Run({"--emulate", "Dorian", "info"});
  ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
  EXPECT_TRUE(r.out.contains("Device: Dorian\n")) << r.out.toStdString();
  EXPECT_TRUE(r.out.contains("Model code: 4\n"));
  EXPECT_TRUE(r.out.contains("Buffer capacity: 131072\n"));
  // A started instrument records where the program lives: in the folder the
  // environment names, not in /etc.
  EXPECT_TRUE(QFile::exists(home.filePath("etc/VELK.conf")));
  EXPECT_TRUE(r.out.contains("Features: 0x01 (analog)\n"));
  EXPECT_TRUE(r.out.contains("Clocks: 200MHz, 100MHz, 50MHz, 20MHz, 10MHz, 5MHz, 2MHz, 1MHz, "
                             "500kHz, 200kHz, 100kHz, 50kHz, 20kHz, 10kHz, 5kHz, 2kHz, 1kHz, "
                             "500Hz, 200Hz\n"));
  EXPECT_TRUE(r.out.contains("Gains: 5V/div, 2V/div, 1V/div, 500mV/div, 200mV/div, 100mV/div, "
                             "50mV/div, 20mV/div\n"))
      << r.out.toStdString();
}

TEST_F(CliTest, InfoPicksTheInstrumentAndSimulates) {
  TRun r = Run({"--emulate", "Dorian,Brisk", "--device", "1", "info"});
  ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
  EXPECT_TRUE(r.out.contains("Device: Brisk\n"));
  EXPECT_TRUE(r.out.contains("Buffer capacity: 524288\n"));
  EXPECT_TRUE(r.out.contains("Digital channels: 32\n"));

  r = Run({"--demo", "Dorian-12", "info"});
  ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
  EXPECT_TRUE(r.out.contains("Device: Dorian-12 (demo)\n"));
  EXPECT_TRUE(r.out.contains("Buffer capacity: 131072\n"));
  EXPECT_TRUE(r.out.contains("Clocks: 100MHz,"));

  r = Run({"--demo", "Zeppelin", "info"});
  EXPECT_EQ(r.exitCode, 2);
}

TEST_F(CliTest, EveryFileKindSavesAndTheSettingKindsLoadBack) {
  struct {
    QStringList args;
    QStringList files;
  } cases[] = {
      {{"--demo", "Cobalt", "--save", File("p.prj")}, {"p.prj", "p.dtd", "p.dta", "p.dtb"}},
      {{"--demo", "Cobalt", "--save", File("s.set")}, {"s.set"}},
      {{"--demo", "Cobalt", "--save", File("a.bin")}, {"aA.bin", "aB.bin"}},
      {{"--demo", "Cobalt", "--save", File("a.txt")}, {"a.txt"}},
      {{"--demo", "Cobalt", "--save", File("d.bin"), "--digital"}, {"d.bin"}},
      {{"--demo", "Brisk", "--save", File("l.txt")}, {"l.txt"}},
  };
  for (auto &c : cases) {
    TRun r = Run(c.args);
    EXPECT_EQ(r.exitCode, 0) << c.args.join(' ').toStdString() << r.err.toStdString();
    for (const QString &f : c.files)
      EXPECT_TRUE(QFile::exists(File(f))) << f.toStdString();
  }
  EXPECT_EQ(QFile(File("d.bin")).size(), 131072 * 4) << "one word per sample";
  TRun r = Run({"--demo", "Cobalt", "--load", File("p.prj")});
  EXPECT_EQ(r.exitCode, 0) << r.err.toStdString();
  r = Run({"--demo", "Cobalt", "--load", File("s.set"), "--save", File("again.set")});
  EXPECT_EQ(r.exitCode, 0) << r.err.toStdString();
  QFile first(File("s.set")), second(File("again.set"));
  ASSERT_TRUE(first.open(QIODevice::ReadOnly) && second.open(QIODevice::ReadOnly));
  EXPECT_EQ(first.readAll(), second.readAll()) << "a loaded settings file saves unchanged";
}

TEST_F(CliTest, ForeignAndBrokenFilesAreRefused) {
  ASSERT_EQ(Run({"--demo", "Brisk", "--save", File("b.set")}).exitCode, 0);
  TRun r = Run({"--demo", "Dorian", "--load", File("b.set")});
  EXPECT_NE(r.exitCode, 0);
  EXPECT_TRUE(r.err.contains("Incorrect file.\nFile saved for 'Brisk' device."))
      << r.err.toStdString();

  QFile junk(File("junk.prj"));
  ASSERT_TRUE(junk.open(QIODevice::WriteOnly));
  junk.write("this is not a project");
  junk.close();
  r = Run({"--demo", "Dorian", "--load", File("junk.prj")});
  EXPECT_NE(r.exitCode, 0);
  EXPECT_TRUE(r.err.contains("Could not open file.")) << r.err.toStdString();

  r = Run({"--demo", "Dorian", "--save", File("x.doc")});
  EXPECT_EQ(r.exitCode, 2);
}

TEST_F(CliTest, SettingsAreSharedAndWrittenOnlyWhenAsked) {
  ASSERT_EQ(Run({"--demo", "Dorian", "info"}).exitCode, 0);
  EXPECT_FALSE(QFile::exists(home.filePath("data/TORVASK/VELK/DorianDemo.ini")));
  ASSERT_EQ(Run({"--demo", "Dorian", "info", "--save-settings"}).exitCode, 0);
  EXPECT_TRUE(QFile::exists(home.filePath("data/TORVASK/VELK/DorianDemo.ini")));
}

TEST_F(CliTest, MissingInstrumentIsAClearFailure) {
  TRun r = Run({"--emulate", "Dorian", "--device", "3", "info"});
  EXPECT_NE(r.exitCode, 0);
  EXPECT_TRUE(r.err.contains("there is no instrument 3")) << r.err.toStdString();
  r = Run({"info"});
  EXPECT_NE(r.exitCode, 0);
  EXPECT_TRUE(r.err.contains("no instrument attached")) << r.err.toStdString();
}

TEST_F(CliTest, CaptureAndMeasureAnEmulatedScope) {
  TRun r = Run({"--emulate", "Dorian", "--capture", "single", "--measure", "--spectrum",
                File("spectrum.csv")});
  ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
  EXPECT_TRUE(r.err.contains("Waiting for analog trigger...")) << r.err.toStdString();
  EXPECT_TRUE(r.err.contains("Capture stopped."));
  EXPECT_NEAR(MeasuredHz(r.out, "A"), 1000, 5) << r.out.toStdString();
  EXPECT_TRUE(r.out.contains("A Period ")) << r.out.toStdString();
  EXPECT_TRUE(r.out.contains("A Pk-Pk "));
  QFile csv(File("spectrum.csv"));
  ASSERT_TRUE(csv.open(QIODevice::ReadOnly));
  EXPECT_TRUE(csv.readLine().startsWith("Bin,Frequency (Hz),Magnitude A,Phase A (deg)"));
}

TEST_F(CliTest, RepeatedAndAutoCapturesInDemoMode) {
  TRun r = Run({"--demo", "Cobalt", "--capture", "repeat", "3", "--measure"});
  EXPECT_EQ(r.exitCode, 0) << r.err.toStdString();
  EXPECT_TRUE(r.out.contains("A RMS "));
  r = Run({"--demo", "Cobalt", "--capture", "auto", "2"});
  EXPECT_EQ(r.exitCode, 0) << r.err.toStdString();
  r = Run({"--demo", "Cobalt", "--capture", "sometimes"});
  EXPECT_EQ(r.exitCode, 2);
}

TEST_F(CliTest, DecodesTheSerialTextOfTheEmulatedAnalyzer) {
  // A settings file with an RS-232 decoder on channel 9 (D8, which carries
  // text at 9600 baud), the edge counter on channel 10 and a 1 MHz clock.
  QString digital;
  for (int n = 0; n < 40; ++n) {
    uint32_t word = n < 8    ? 0x1400 + n
                    : n == 8 ? 0x1820
                    : n == 9 ? 0x1C08
                    : n < 33 ? 0x1400 + n - 1
                             : 0;
    digital += QStringLiteral(" <ChConfig%1 value = \"%2\"/>\r\n").arg(n).arg(word, 0, 16);
  }
  WriteStore("serial.set",
             "<Device>\r\n <Signature value = \"Brisk\"/>\r\n</Device>\r\n"
             "<File>\r\n <Type value = \"1\"/>\r\n</File>\r\n"
             "<General>\r\n <SamplingRate value = \"7\"/>\r\n <BuffLength value = \"20000\"/>\r\n"
             "</General>\r\n<Digital>\r\n" +
                 digital +
                 " <EdgeConter value = \"1\"/>\r\n <EdgeCounterCh value = \"9\"/>\r\n"
                 "</Digital>\r\n<Interpreters>\r\n <Intp0Name value = \"Serial\"/>\r\n"
                 " <Intp0Type value = \"1\"/>\r\n <Intp0BaudRate value = \"2580\"/>\r\n"
                 "</Interpreters>\r\n");
  TRun r = Run({"--emulate", "Brisk", "--load", File("serial.set"), "--capture", "single",
                "--decode", "--edges", "--search", "1XXXXXXXX1"});
  ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
  QString text;
  for (const QString &line : r.out.split('\n'))
    if (line.startsWith("Serial\t")) {
      QStringList f = line.split('\t');
      ASSERT_GE(f.size(), 4);
      EXPECT_LE(f[1].toInt(), f[2].toInt());
      if (f.size() == 4) text += QChar(f[3].toInt(nullptr, 16));
    }
  EXPECT_TRUE(text.contains("Hello from Velk")) << text.toStdString() << r.out.toStdString();
  EXPECT_TRUE(r.out.contains("Edges (asynchronous): ")) << r.out.toStdString();
  EXPECT_TRUE(r.out.contains("Edges (synchronous): "));
  QStringList lines = r.out.split('\n', Qt::SkipEmptyParts);
  bool searched = false;
  for (const QString &line : lines) {
    bool number = false;
    line.toLongLong(&number);
    searched |= number;
  }
  EXPECT_TRUE(searched) << "the search printed the sample it found";
}

TEST_F(CliTest, AutosetOnTheEmulatedScopeEndsInACapture) {
  TRun r = Run({"--emulate", "Dorian", "--autoset", "--measure"});
  ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
  EXPECT_TRUE(r.err.contains("Autoset in progress... ")) << r.err.toStdString();
  EXPECT_NEAR(MeasuredHz(r.out, "A"), 1000, 5) << r.out.toStdString();
}

TEST_F(CliTest, ResultsThatCannotBeProducedAreFailures) {
  ASSERT_EQ(Run({"--demo", "Dorian", "--save", File("s.set")}).exitCode, 0);
  struct {
    QStringList args;
    const char *reason;
  } cases[] = {
      {{"--demo", "Dorian", "--capture", "single", "--edges"}, "no edge counter"},
      {{"--demo", "Brisk", "--capture", "single", "--edges"}, "the edge counter is off"},
      {{"--demo", "Brisk", "--capture", "single", "--measure"}, "no analog channels"},
      {{"--demo", "Brisk", "--capture", "single", "--spectrum", File("x.csv")},
       "no analog channels"},
      {{"--demo", "Dorian", "--capture", "single", "--search", "1X"}, "no logic channels"},
      {{"--demo", "Dorian", "--capture", "single", "--decode"}, "no logic channels"},
      {{"--demo", "Brisk", "--capture", "single", "--decode"}, "no interpreter is defined"},
      {{"--demo", "Dorian", "--load", File("s.set"), "--measure"}, "settings only"},
  };
  for (auto &c : cases) {
    TRun r = Run(c.args);
    EXPECT_EQ(r.exitCode, 1) << c.args.join(' ').toStdString();
    EXPECT_TRUE(r.err.contains(c.reason))
        << c.args.join(' ').toStdString() << ": " << r.err.toStdString();
  }
  EXPECT_FALSE(QFile::exists(File("x.csv")));
}

TEST_F(CliTest, AutosetFollowedByRepeatedAndAutoCaptures) {
  for (const char *mode : {"repeat", "auto"}) {
    TRun r = Run({"--emulate", "Dorian", "--autoset", "--capture", mode, "2", "--measure"});
    EXPECT_EQ(r.exitCode, 0) << mode << ": " << r.err.toStdString();
    EXPECT_NEAR(MeasuredHz(r.out, "A"), 1000, 5) << mode << ": " << r.out.toStdString();
  }
}

TEST_F(CliTest, ListSaysWhenNothingOrTooMuchIsAttached) {
  TRun r = Run({"list"});
  EXPECT_EQ(r.exitCode, 0);
  EXPECT_TRUE(r.err.contains("no instrument attached")) << r.err.toStdString();
  r = Run({"--emulate", "Dorian,Brisk,Dorian,Brisk,Dorian,Brisk,Dorian,Brisk,Cobalt", "list"});
  EXPECT_EQ(r.exitCode, 0);
  EXPECT_EQ(r.out.count('\n'), 8);
  EXPECT_TRUE(r.err.contains("only the first 8 are offered")) << r.err.toStdString();
  r = Run({"--emulate", "Dorian,Brisk,Dorian,Brisk,Dorian,Brisk,Dorian,Brisk,Bridge", "list"});
  EXPECT_FALSE(r.err.contains("only the first 8")) << "a ninth bridge is no instrument";
}

TEST_F(CliTest, FileProblemsNameTheFileAndTheCause) {
  ASSERT_EQ(mkfifo(File("fifo.prj").toLocal8Bit().constData(), 0600), 0);
  ASSERT_EQ(mkfifo(File("fifo.csv").toLocal8Bit().constData(), 0600), 0);
  QFile empty(File("empty.set"));
  ASSERT_TRUE(empty.open(QIODevice::WriteOnly));
  empty.close();
  // The demo settings file is a folder: the store cannot be written.
  ASSERT_TRUE(QDir().mkpath(home.filePath("data/TORVASK/VELK/CobaltDemo.ini")));
  struct {
    QStringList args;
    QString text;
  } cases[] = {
      {{"--demo", "Dorian", "--load", File("missing.prj")},
       "Could not open file. " + File("missing.prj") + ": No such file or directory"},
      {{"--demo", "Dorian", "--load", File("empty.set")},
       "Could not open file. " + File("empty.set") + ": not a project or settings file"},
      {{"--demo", "Dorian", "--save", File("fifo.prj")},
       "Could not save file. " + File("fifo.prj") + ": not a regular file"},
      {{"--demo", "Dorian", "--capture", "single", "--spectrum", File("fifo.csv")},
       "Could not save data file. " + File("fifo.csv") + ": not a regular file"},
      {{"--demo", "Cobalt", "--save-settings"},
       "Could not save file. " + home.filePath("data/TORVASK/VELK/CobaltDemo.ini") +
           ": not a regular file"},
  };
  for (auto &c : cases) {
    TRun r = Run(c.args);
    EXPECT_EQ(r.exitCode, 1) << c.args.join(' ').toStdString();
    EXPECT_TRUE(r.err.contains(c.text)) << r.err.toStdString();
    EXPECT_FALSE(r.err.contains("File saved for ''")) << r.err.toStdString();
  }
  struct stat st {};
  ASSERT_EQ(lstat(File("fifo.prj").toLocal8Bit().constData(), &st), 0);
  EXPECT_TRUE(S_ISFIFO(st.st_mode));
}

TEST_F(CliTest, FileNamesThatAreNotUtf8SaveAndLoad) {
  TRun r = Shell("name=\"$HOME_DIR/$(printf 'caf\\351 \\377')\"; "
                 "\"$VELKCLI\" --demo Dorian --save \"$name.prj\" && "
                 "test -f \"$name.prj\" && test -f \"$name.dta\" && "
                 "\"$VELKCLI\" --demo Dorian --load \"$name.prj\" --measure");
  EXPECT_EQ(r.exitCode, 0) << r.err.toStdString();
  EXPECT_TRUE(r.out.contains("A RMS ")) << r.out.toStdString();
  Shell("rm -f \"$HOME_DIR/$(printf 'caf\\351 \\377')\".*");
}

TEST_F(CliTest, LoadingAProjectSaysWhatItDidToLengthAndSamples) {
  // A project as the original writes it (no stamps, numbers in hexadecimal), with a length the
  // instrument does not offer and a channel A file of 100 samples.
  WriteStore("odd.prj", "<Device>\r\n <Signature value = \"Dorian\"/>\r\n"
                        " <RamSize value = \"20000\"/>\r\n</Device>\r\n"
                        "<File>\r\n <Type value = \"0\"/>\r\n <DataA value = \"1\"/>\r\n</File>\r\n"
                        "<General>\r\n <BuffLength value = \"3E8\"/>\r\n</General>\r\n");
  QFile dta(File("odd.dta"));
  ASSERT_TRUE(dta.open(QIODevice::WriteOnly));
  dta.write(QByteArray(400, '\0'));
  dta.close();
  TRun r = Run({"--demo", "Dorian", "--load", File("odd.prj")});
  EXPECT_EQ(r.exitCode, 0) << r.err.toStdString();
  EXPECT_TRUE(r.err.contains("Length 1000 not offered, 131072 used.")) << r.err.toStdString();
  EXPECT_TRUE(r.err.contains("Data file shorter: 100 of 131072 samples, the rest cleared."))
      << r.err.toStdString();
}

TEST_F(CliTest, NanAndInfiniteSamplesOfAFileAreOverRange) {
  WriteStore("nan.prj", "<Device>\r\n <Signature value = \"Dorian\"/>\r\n"
                        " <RamSize value = \"20000\"/>\r\n</Device>\r\n"
                        "<File>\r\n <Type value = \"0\"/>\r\n <DataA value = \"1\"/>\r\n</File>\r\n"
                        "<General>\r\n <BuffLength value = \"100\"/>\r\n</General>\r\n");
  std::vector<float> a(256);
  for (size_t i = 0; i < a.size(); ++i)
    a[i] = static_cast<float>(50 * std::sin(i * 0.3));
  a[10] = std::numeric_limits<float>::quiet_NaN();
  a[20] = std::numeric_limits<float>::infinity();
  a[30] = -std::numeric_limits<float>::infinity();
  QFile dta(File("nan.dta"));
  ASSERT_TRUE(dta.open(QIODevice::WriteOnly));
  dta.write(reinterpret_cast<const char *>(a.data()), 256 * 4);
  dta.close();
  TRun r = Run({"--demo", "Dorian", "--load", File("nan.prj"), "--measure"});
  EXPECT_EQ(r.exitCode, 0) << r.err.toStdString();
  EXPECT_TRUE(r.out.contains("A OVER RANGED!")) << r.out.toStdString();
  EXPECT_FALSE(r.out.contains("nan", Qt::CaseInsensitive)) << r.out.toStdString();
  EXPECT_FALSE(r.out.contains("inf", Qt::CaseInsensitive)) << r.out.toStdString();
}

} // namespace
