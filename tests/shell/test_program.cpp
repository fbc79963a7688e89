// The program as a user meets it, against the emulator under the offscreen
// platform: start-up and its dialogs, a capture from the keyboard drawn in the
// oscilloscope, stopping a repeat capture, quitting during a capture.
#include "analogdata.h"
#include "dialoghooks.h"
#include "formanalog.h"
#include "formselectdevice.h"
#include "program.h"
#include "velkemu.h"

#include <QApplication>
#include <QComboBox>
#include <QDialog>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QImage>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

#include <cstdlib>
#include <functional>
#include <memory>
#include <string>

namespace {

class ProgramTest : public ::testing::Test {
protected:
  void SetUp() override {
    ASSERT_TRUE(home.isValid());
    setenv("XDG_DATA_HOME", home.filePath("data").toLocal8Bit().constData(), 1);
    QDir().mkpath(home.filePath("run"));
    setenv("XDG_RUNTIME_DIR", home.filePath("run").toLocal8Bit().constData(), 1);
    setenv("VELK_INSTALL_RECORD_DIR", home.filePath("etc").toLocal8Bit().constData(), 1);
    unsetenv("VELK_D2XX_LIBRARY");
    unsetenv("VELK_EMULATE");
    DialogHooks() = {};
    // Message boxes are counted and answered OK.
    DialogHooks().Message = [this](int kind, const QString &text, const QString &caption) {
      messages.push_back(caption.toStdString() + ": " + text.toStdString());
      (void)kind;
      return 0;
    };
  }
  void TearDown() override {
    program.reset();
    DialogHooks() = {};
  }
  // Starts the program as `Velk --emulate <instruments>` would.
  bool Start(const QString &emulate,
             const QString &appFolder = QStringLiteral(VELK_TEST_BIN_DIR "/")) {
    velkemu_set_speed(1);
    velkemu_set_noise(0);
    // This process has the emulator loaded already: it reads the list now,
    // as a fresh program would when it loads it.
    if (!emulate.isEmpty()) velkemu_reset(emulate.toUtf8().constData());
    TProgramOptions options;
    options.Emulate = emulate;
    options.AppFolder = appFolder;
    program = std::make_unique<TProgram>(options);
    program->FirstShown = [this] { shown = true; };
    if (!program->Start()) return false;
    return Serve([this] { return shown; });
  }
  // Runs the event loop until the condition holds; false after the limit.
  static bool Serve(const std::function<bool()> &until, int ms = 10000) {
    QElapsedTimer clock;
    clock.start();
    while (!until()) {
      if (clock.elapsed() > ms) return false;
      QApplication::processEvents(QEventLoop::AllEvents, 5);
    }
    return true;
  }
  TVELK &R() { return *program->Record(); }
  TfrmAnalog &Analog() { return *program->Analog(); }

  QTemporaryDir home;
  std::unique_ptr<TProgram> program;
  std::vector<std::string> messages;
  bool shown = false;
};

// Columns of the plot where a pixel has exactly the colour given (0x00BBGGRR).
int ColumnsWithColour(const QImage &image, uint32_t bgr) {
  const QRgb want = qRgb(bgr & 0xFF, (bgr >> 8) & 0xFF, (bgr >> 16) & 0xFF);
  int columns = 0;
  for (int x = 0; x < image.width(); ++x)
    for (int y = 0; y < image.height(); ++y)
      if ((image.pixel(x, y) & 0xFFFFFF) == (want & 0xFFFFFF)) {
        ++columns;
        break;
      }
  return columns;
}

TEST_F(ProgramTest, EnterCapturesAndTheTraceIsDrawnAcrossThePlot) {
  ASSERT_TRUE(Start(QStringLiteral("Dorian")));
  EXPECT_TRUE(Analog().isVisible());
  EXPECT_EQ(Analog().windowTitle(), QStringLiteral("Analog (Dorian)"));
  R().TriggerType = 0;
  const int before = R().CaptureCount;
  QTest::keyClick(&Analog(), Qt::Key_Return);
  EXPECT_EQ(R().Capturing, 1) << "set before any event is processed";
  ASSERT_TRUE(Serve([&] { return R().CaptureCount > before && !program->Shell()->Busy(); }));
  TAnalogData &display = *Analog().DisplayA;
  QImage image = display.grab().toImage();
  const int plot = display.GetDisplayWidth();
  EXPECT_GT(ColumnsWithColour(image, R().Colors.AnalogChA), plot * 9 / 10)
      << "channel A's trace spans the plot";
}

TEST_F(ProgramTest, EscStopsARepeatCaptureWithinASecond) {
  ASSERT_TRUE(Start(QStringLiteral("Dorian")));
  QTest::keyClick(&Analog(), Qt::Key_R);
  ASSERT_EQ(R().TriggerType, 1);
  QTest::keyClick(&Analog(), Qt::Key_Return);
  const int before = R().CaptureCount;
  ASSERT_TRUE(Serve([&] { return R().CaptureCount >= before + 3; }));
  EXPECT_TRUE(Analog().bStop->isEnabled());
  EXPECT_FALSE(Analog().bConfig->isEnabled()) << "settings locked during the capture";
  // Keys respect the locks: a second Enter starts nothing, R/A/S change nothing.
  QTest::keyClick(&Analog(), Qt::Key_S);
  EXPECT_EQ(R().TriggerType, 1);
  QTest::keyClick(&Analog(), Qt::Key_Escape);
  EXPECT_TRUE(Serve([&] { return !program->Shell()->Busy(); }, 1000))
      << "the repeat capture ended within a second";
  EXPECT_EQ(R().Capturing, 0);
  EXPECT_EQ(R().Status(), QStringLiteral("Capture stopped."));
  // The end notification unlocked the controls.
  EXPECT_FALSE(Analog().bStop->isEnabled());
  EXPECT_TRUE(Analog().bConfig->isEnabled());
  EXPECT_TRUE(Analog().bCapture->isEnabled());
}

TEST_F(ProgramTest, ClosingDuringACaptureStopsItAndWritesTheSettings) {
  ASSERT_TRUE(Start(QStringLiteral("Dorian")));
  R().SaveSettingsOnExit = true;
  R().TriggerType = 1;
  R().GainChA = 3;
  QTest::keyClick(&Analog(), Qt::Key_Return);
  ASSERT_TRUE(Serve([&] { return R().CaptureCount >= 2; }));
  Analog().close(); // the quit question is answered yes
  EXPECT_EQ(messages.size(), 1u);
  program->Finish();
  const QString settings = home.filePath("data/TORVASK/VELK/Dorian.ini");
  ASSERT_TRUE(QFile::exists(settings));
  QFile f(settings);
  ASSERT_TRUE(f.open(QIODevice::ReadOnly));
  const QString text =
      QString::fromUtf16(reinterpret_cast<const char16_t *>(f.readAll().constData() + 2));
  EXPECT_TRUE(text.contains(QStringLiteral("GainChA"))) << "the settings were written";
}

TEST_F(ProgramTest, SeveralInstrumentsOpenTheSelectionDialog) {
  QStringList offered;
  DialogHooks().Exec = [&](QDialog &dialog) {
    auto *select = dynamic_cast<TfrmSelectDevice *>(&dialog);
    if (!select) return 0;
    auto *box = dialog.findChild<QComboBox *>();
    for (int i = 0; box && i < box->count(); ++i)
      offered << box->itemText(i);
    if (box) box->setCurrentIndex(1);
    dialog.accept();
    return 1;
  };
  ASSERT_TRUE(Start(QStringLiteral("Dorian,Cobalt")));
  EXPECT_EQ(offered, (QStringList{QStringLiteral(" 1: Dorian"), QStringLiteral(" 2: Cobalt")}));
  EXPECT_EQ(R().ModelCode, 3) << "the second one was chosen";
}

TEST_F(ProgramTest, WithoutAnInstrumentTheModelsAreOfferedForDemoMode) {
  QStringList offered;
  DialogHooks().Exec = [&](QDialog &dialog) {
    auto *box = dialog.findChild<QComboBox *>();
    for (int i = 0; box && i < box->count(); ++i)
      offered << box->itemText(i);
    if (box) box->setCurrentIndex(3);
    dialog.accept();
    return 1;
  };
  setenv("VELK_D2XX_LIBRARY", home.filePath("no-driver.so").toLocal8Bit().constData(), 1);
  ASSERT_TRUE(Start(QString()));
  EXPECT_EQ(offered, (QStringList{"Ardent", "Brisk", "Cobalt", "Dorian", "Dorian-12"}));
  EXPECT_FALSE(R().HardwarePresent);
  EXPECT_EQ(Analog().windowTitle(), QStringLiteral("Analog (Dorian) - DEMO"));
}

TEST_F(ProgramTest, AFailedStartShowsOneErrorBoxAndExitsNonZero) {
  // A program folder without the device library.
  QDir().mkpath(home.filePath("empty"));
  EXPECT_FALSE(Start(QStringLiteral("Dorian"), home.filePath("empty") + QLatin1Char('/')));
  EXPECT_EQ(program->ExitCode(), 1);
  ASSERT_EQ(messages.size(), 1u);
  EXPECT_EQ(messages[0], "Error: Missing library.");
}

} // namespace

int main(int argc, char **argv) {
  qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
