// Binding the library and the start-up sequence, against the real library and
// the emulator, in a private settings and runtime folder.
#include "record.h"
#include "settings.h"
#include "startup.h"
#include "ui.h"
#include "velkemu.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QSysInfo>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cstdlib>
#include <unistd.h>

namespace {

struct TRecorderUi : TUserInterface {
  int Choice = 0;
  int Selections = 0;
  QString Label1, Label2;
  QStringList Offered;
  QStringList Messages;
  QString Results[6];
  void ShowMessage(const QString &text, const QString &caption, TMessageIcon) override {
    Messages << caption + ": " + text;
  }
  bool AskOkCancel(const QString &text, const QString &caption, TMessageIcon) override {
    Messages << caption + ": " + text;
    return true;
  }
  void SplashResult(int line, const QString &text) override { Results[line] = text; }
  int SelectDevice(const QString &l1, const QString &l2, const QStringList &items) override {
    ++Selections;
    Label1 = l1;
    Label2 = l2;
    Offered = items;
    return Choice;
  }
};

class StartupTest : public ::testing::Test {
protected:
  void SetUp() override {
    ASSERT_TRUE(home.isValid());
    setenv("XDG_DATA_HOME", home.filePath("data").toLocal8Bit().constData(), 1);
    QDir().mkpath(home.filePath("run"));
    setenv("XDG_RUNTIME_DIR", home.filePath("run").toLocal8Bit().constData(), 1);
    setenv("VELK_D2XX_LIBRARY", VELK_TEST_EMULATOR, 1);
    options.AppFolder = QStringLiteral(VELK_TEST_BIN_DIR "/");
    options.InstallRecordFolder = home.filePath("etc");
  }
  std::unique_ptr<TStartup> Start(const char *instruments) {
    velkemu_reset(instruments);
    auto s = std::make_unique<TStartup>(&ui, options);
    s->Init();
    return s;
  }
  QString SettingsFile(const QString &name) const {
    return home.filePath("data/TORVASK/VELK/") + name;
  }

  QTemporaryDir home;
  TStartupOptions options;
  TRecorderUi ui;
};

TEST_F(StartupTest, BindingRefusesMissingAndIncompleteLibraries) {
  TVELK r;
  EXPECT_FALSE(BindLibrary(r, QStringLiteral("/nonexistent/libvelkio.so")));
  EXPECT_STREQ(r.StatusText, "Missing library.");
  EXPECT_FALSE(BindLibrary(r, QStringLiteral(VELK_TEST_PARTIAL)));
  EXPECT_STREQ(r.StatusText, "Incorrect library.");
  UnbindLibrary(r);
  EXPECT_TRUE(BindLibrary(r, QStringLiteral(VELK_TEST_VELKIO)));
  EXPECT_NE(r.Lib.GetLastError, nullptr);
  UnbindLibrary(r);
}

TEST_F(StartupTest, MissingLibraryEndsStartupWithTheErrorBoxAndNoSettings) {
  options.AppFolder = home.filePath("empty/");
  auto s = Start("Dorian");
  EXPECT_TRUE(s->ErrorFlag);
  s->Shutdown(true);
  EXPECT_EQ(ui.Messages, QStringList{"Error: Missing library."});
  EXPECT_FALSE(QDir(home.filePath("data/TORVASK/VELK")).exists() &&
               !QDir(home.filePath("data/TORVASK/VELK")).isEmpty());
}

struct TSimCase {
  int choice;
  uint8_t model;
  uint32_t features;
  bool channelB;
  int digitalChannels;
};

TEST_F(StartupTest, SimulatedModeOffersTheFiveModels) {
  const TSimCase cases[] = {{0, 1, 0x01, false, 0},
                            {1, 2, 0x1E, false, 32},
                            {2, 3, 0x1F, true, 16},
                            {3, 4, 0x01, true, 0},
                            {4, 5, 0x11, true, 0}};
  for (const TSimCase &c : cases) {
    SCOPED_TRACE(c.choice);
    ui = TRecorderUi();
    ui.Choice = c.choice;
    auto s = Start("");
    ASSERT_FALSE(s->ErrorFlag) << s->Record()->StatusText;
    TVELK &r = *s->Record();
    EXPECT_EQ(ui.Label1, "Hardware not found.");
    EXPECT_EQ(ui.Label2, "Select device to enter Demo Mode.");
    EXPECT_EQ(ui.Offered, (QStringList{"Ardent", "Brisk", "Cobalt", "Dorian", "Dorian-12"}));
    EXPECT_EQ(ui.Results[1], "Hardware not found.");
    EXPECT_EQ(ui.Results[2], "Failed, entering demo mode");
    EXPECT_FALSE(r.HardwarePresent);
    EXPECT_EQ(r.ModelCode, c.model);
    EXPECT_EQ(r.BufferCapacity, 131072u);
    EXPECT_EQ(r.DeviceFeatures, c.features);
    EXPECT_EQ(r.HasChannelB, c.channelB);
    EXPECT_EQ(r.DigitalChannelCount, c.digitalChannels);
    EXPECT_EQ(r.SamplesA.size(), (c.features & 1) ? 131072u : 0u);
    EXPECT_EQ(r.DigitalSamples[0].size(), (c.features & 2) ? 131072u : 0u);
    EXPECT_STREQ(r.StatusText, "Hardware not found. Demo mode.");
    EXPECT_EQ(VELK, &r);
    QString description = QString::fromLatin1(r.DeviceDescription);
    s->Shutdown(true);
    EXPECT_EQ(VELK, nullptr);
    EXPECT_TRUE(QFile::exists(SettingsFile(description + "Demo.ini"))) << description.toStdString();
  }
}

TEST_F(StartupTest, CancelledSelectionEndsSilently) {
  ui.Choice = -1;
  auto s = Start("");
  EXPECT_TRUE(s->CancelledFlag);
  EXPECT_FALSE(s->ErrorFlag);
  s->Shutdown(true);
  EXPECT_TRUE(ui.Messages.isEmpty());
}

TEST_F(StartupTest, OneInstrumentOpensWithoutAsking) {
  auto s = Start("Cobalt");
  ASSERT_FALSE(s->ErrorFlag) << s->Record()->StatusText;
  TVELK &r = *s->Record();
  EXPECT_EQ(ui.Selections, 0);
  EXPECT_EQ(ui.Results[1], "Cobalt found.");
  EXPECT_EQ(ui.Results[2], "OK");
  EXPECT_TRUE(ui.Results[3].startsWith("VELK Cobalt, #")) << ui.Results[3].toStdString();
  EXPECT_TRUE(r.HardwarePresent);
  EXPECT_EQ(r.ModelCode, 3);
  EXPECT_EQ(r.BufferCapacity, 0x20000u);
  EXPECT_STRNE(r.SerialNumber, "");
  EXPECT_EQ(s->Title(), "Cobalt");
  EXPECT_EQ(QString(velkemu_loaded_image(0)), "Cobalt");
  s->Shutdown(true);
  EXPECT_TRUE(QFile::exists(SettingsFile("Cobalt.ini")));
  EXPECT_EQ(velkemu_released(0), 1) << "the instrument is released at exit";
}

TEST_F(StartupTest, SeveralInstrumentsAreOfferedAndTheChosenOneOpens) {
  ui.Choice = 2;
  auto s = Start("Dorian,Serial Cable,Brisk,Dorian-12");
  ASSERT_FALSE(s->ErrorFlag) << s->Record()->StatusText;
  EXPECT_EQ(ui.Label1, "3 devices found.");
  EXPECT_EQ(ui.Label2, "Select device to open.");
  EXPECT_EQ(ui.Offered, (QStringList{" 1: Dorian", " 2: Brisk", " 3: Dorian-12"}));
  EXPECT_EQ(ui.Results[1], "3 devices found");
  EXPECT_STREQ(s->Record()->DeviceDescription, "Dorian-12");
  EXPECT_EQ(s->Record()->ModelCode, 5);
  EXPECT_EQ(QString(velkemu_loaded_image(3)), "Dorian-12");
  EXPECT_EQ(QString(velkemu_loaded_image(0)), "");
}

TEST_F(StartupTest, NineInstrumentsOfferTheFirstEight) {
  ui.Choice = 7;
  auto s = Start("Brisk,Brisk,Brisk,Dorian,Dorian,Dorian,Cobalt,Cobalt,Ardent");
  ASSERT_FALSE(s->ErrorFlag) << s->Record()->StatusText;
  EXPECT_EQ(ui.Offered.size(), 8);
  EXPECT_EQ(ui.Offered.last(), " 8: Cobalt");
  EXPECT_EQ(s->Record()->ModelCode, 3);
}

TEST_F(StartupTest, BlankIdentifierIsAnUnknownDevice) {
  velkemu_reset("Dorian");
  velkemu_fault_blank_info(0, 1);
  auto s = std::make_unique<TStartup>(&ui, options);
  ASSERT_TRUE(s->Init()) << s->Record()->StatusText;
  EXPECT_EQ(ui.Results[3], "Unknown device");
  EXPECT_STREQ(s->Record()->SerialNumber, "");
  // The status line says so, and what the memory size was taken as.
  EXPECT_STREQ(s->Record()->StatusText,
               "Unknown device: no serial number or version, memory size taken as 131072.");
}

TEST_F(StartupTest, OpeningFailureShowsTheLibraryText) {
  velkemu_reset("Dorian");
  velkemu_fault_control(0, VELKEMU_OP_LATENCY, 1);
  auto s = std::make_unique<TStartup>(&ui, options);
  EXPECT_FALSE(s->Init());
  EXPECT_TRUE(s->ErrorFlag);
  s->Shutdown(true);
  EXPECT_EQ(ui.Messages, QStringList{"Error: Could not set USB latency time"});
}

TEST_F(StartupTest, SecondProcessOnTheSameInstrumentIsInstanceTwo) {
  auto s = Start("Brisk");
  ASSERT_FALSE(s->ErrorFlag) << s->Record()->StatusText;
  EXPECT_EQ(s->Record()->InstanceNumber, 0);
  QProcess other;
  QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
  env.insert("VELK_INSTALL_RECORD_DIR", home.filePath("etc"));
  other.setProcessEnvironment(env);
  other.start(QStringLiteral(VELK_TEST_CLI),
              {QStringLiteral("--emulate"), QStringLiteral("Brisk"), QStringLiteral("info"),
               QStringLiteral("--save-settings")});
  ASSERT_TRUE(other.waitForFinished(20000));
  QString out = QString::fromLocal8Bit(other.readAllStandardOutput());
  EXPECT_EQ(other.exitCode(), 0) << other.readAllStandardError().toStdString();
  EXPECT_TRUE(out.contains("Title: Brisk (2)")) << out.toStdString();
  EXPECT_TRUE(QFile::exists(SettingsFile("Brisk1.ini")));
}

TEST_F(StartupTest, InstallationRecordNamesTheProgramFolder) {
  auto s = Start("");
  ASSERT_FALSE(s->ErrorFlag);
  QFile conf(home.filePath("etc/VELK.conf"));
  ASSERT_TRUE(conf.open(QIODevice::ReadOnly));
  QString text = QString::fromUtf8(conf.readAll());
  EXPECT_TRUE(text.contains("Signature=velk"));
  EXPECT_TRUE(text.contains(QStringLiteral("Location=" VELK_TEST_BIN_DIR))) << text.toStdString();
}

QByteArray HostName() {
  return QSysInfo::machineHostName().toLocal8Bit();
}

// What QLockFile writes for a live process: this test program.
QByteArray LiveLock() {
  return QByteArray::number(getpid()) + "\ntest_core\n" + HostName() + "\n";
}

TEST_F(StartupTest, OnlyALiveProcessOfThisHostHoldsAnInstance) {
  const struct {
    const char *what;
    QByteArray content;
    int instance;
  } cases[] = {
      {"empty", "", 0},
      {"garbage", "not a lock\n", 0},
      {"pid 0", "0\nvelkcli\n" + HostName() + "\n", 0},
      {"pid -1", "-1\nvelkcli\n" + HostName() + "\n", 0},
      {"a process that is gone", "2147483646\nvelkcli\n" + HostName() + "\n", 0},
      {"another host", "1\nvelkcli\nsomewhere-else\n", 0},
      {"a live process here", LiveLock(), 1},
  };
  for (const auto &c : cases) {
    SCOPED_TRACE(c.what);
    QFile lock(home.filePath("run/Dorian.0.lock"));
    ASSERT_TRUE(lock.open(QIODevice::WriteOnly | QIODevice::Truncate));
    lock.write(c.content);
    lock.close();
    auto s = Start("Dorian");
    ASSERT_FALSE(s->ErrorFlag) << s->Record()->StatusText;
    EXPECT_EQ(s->Record()->InstanceNumber, c.instance);
    s->Shutdown(false);
    QFile::remove(home.filePath("run/Dorian.0.lock"));
  }
}

TEST_F(StartupTest, MoreInstancesThanLockFilesAreRefused) {
  for (int k = 0; k < kMaxInstances; ++k) {
    QFile lock(home.filePath(QStringLiteral("run/Dorian.%1.lock").arg(k)));
    ASSERT_TRUE(lock.open(QIODevice::WriteOnly));
    lock.write(LiveLock());
  }
  auto s = Start("Dorian");
  EXPECT_TRUE(s->ErrorFlag);
  s->Shutdown(false);
  EXPECT_EQ(ui.Messages, QStringList{"Error: Too many instances of Dorian are running (1000)."});
}

} // namespace
