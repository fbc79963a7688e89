// velkcli end to end: the program as a user runs it, against the emulator and
// in simulated mode, with a private settings and runtime folder.
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QProcessEnvironment>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

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
    env.remove("VELK_EMULATE");
    // No instrument unless the test emulates one.
    env.insert("VELK_D2XX_LIBRARY", home.filePath("no-driver.so"));
    p.setProcessEnvironment(env);
    p.start(QStringLiteral(VELK_TEST_CLI), args);
    if (!p.waitForFinished(30000)) return {-1, {}, "timed out"};
    return {p.exitCode(), QString::fromLocal8Bit(p.readAllStandardOutput()),
            QString::fromLocal8Bit(p.readAllStandardError())};
  }
  QString File(const QString &name) const { return home.filePath(name); }
  QTemporaryDir home;
};

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

} // namespace
