// Renders every window and dialog of the program into PNG files, in a
// representative state: the oscilloscope after a capture of the emulator's
// default signals (a sine on A, a square on B), the start-up dialogs as the
// start-up fills them. Run by scripts/screenshots under the offscreen platform.
#include "dialoghooks.h"
#include "formabout.h"
#include "formanalog.h"
#include "formconfig.h"
#include "formmessage.h"
#include "formselectdevice.h"
#include "formsimpleinput.h"
#include "formsplash.h"
#include "program.h"
#include "velkemu.h"

#include <QApplication>
#include <QDialog>
#include <QDir>
#include <QElapsedTimer>
#include <QTemporaryDir>

#include <cstdio>
#include <cstdlib>
#include <functional>

namespace {

QString gOut;
int gFailures = 0;

void Save(QWidget &w, const char *name) {
  w.show();
  QApplication::processEvents();
  const QString path = gOut + QLatin1Char('/') + QLatin1String(name) + QStringLiteral(".png");
  if (w.grab().save(path)) {
    std::printf("%s\n", path.toLocal8Bit().constData());
  } else {
    std::fprintf(stderr, "velk-screenshots: could not write %s\n", path.toLocal8Bit().constData());
    ++gFailures;
  }
}

bool Serve(const std::function<bool()> &until, int ms = 15000) {
  QElapsedTimer clock;
  clock.start();
  while (!until()) {
    if (clock.elapsed() > ms) return false;
    QApplication::processEvents(QEventLoop::AllEvents, 5);
  }
  return true;
}

} // namespace

int main(int argc, char **argv) {
  qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  gOut = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral("screenshots");
  QDir().mkpath(gOut);
  // Settings, locks and the installation record stay in a folder of our own.
  QTemporaryDir home;
  qputenv("XDG_DATA_HOME", QFile::encodeName(home.filePath("data")));
  QDir().mkpath(home.filePath("run"));
  qputenv("XDG_RUNTIME_DIR", QFile::encodeName(home.filePath("run")));
  qputenv("VELK_INSTALL_RECORD_DIR", QFile::encodeName(home.filePath("etc")));
  // Modal dialogs are pictured instead of run; message boxes answer OK.
  DialogHooks().Exec = [](QDialog &dialog) {
    Save(dialog,
         dialog.objectName().isEmpty() ? "dialog" : dialog.objectName().toLatin1().constData());
    return 0;
  };
  DialogHooks().Message = [](int, const QString &, const QString &) { return 0; };

  TProgramOptions options;
  options.Emulate = QStringLiteral("Dorian");
  options.AppFolder = QStringLiteral(VELK_BIN_DIR);
  velkemu_set_noise(1);
  // The emulator is loaded with this program already: it takes its list now.
  velkemu_reset("Dorian");
  TProgram program(options);
  bool shown = false;
  program.FirstShown = [&] { shown = true; };
  if (!program.Start() || !Serve([&] { return shown; })) {
    std::fprintf(stderr, "velk-screenshots: the program did not start against the emulator\n");
    return 1;
  }
  TVELK &r = *program.Record();
  TfrmAnalog &analog = *program.Analog();
  analog.resize(1100, 700);
  // One single capture of the default signals.
  r.TriggerType = 0;
  const int before = r.CaptureCount;
  program.Shell()->CaptureClick(TCaptureControl::kAnalogWindow);
  if (!Serve([&] { return r.CaptureCount > before && !program.Shell()->Busy(); })) {
    std::fprintf(stderr, "velk-screenshots: no capture\n");
    return 1;
  }
  Save(analog, "analog");

  // The start-up windows and the minor dialogs, filled as their callers fill them.
  TfrmSplash splash;
  splash.show(); // showing clears the results: they come after
  const char *lines[] = {"Dorian found.", "OK", "Dorian, #00001234", "OK", "Done"};
  for (int i = 1; i <= 5; ++i) {
    splash.EnableLine(i);
    splash.SetResult(i, QString::fromLatin1(lines[i - 1]));
  }
  Save(splash, "splash");
  TfrmSelectDevice select;
  select.Prepare(QStringLiteral("2 devices found."), QStringLiteral("Select device to open."),
                 {QStringLiteral(" 1: Dorian"), QStringLiteral(" 2: Brisk")});
  Save(select, "select-device");
  TfrmSelectDevice demo;
  demo.Prepare(QStringLiteral("Hardware not found."),
               QStringLiteral("Select device to enter Demo Mode."),
               {"Ardent", "Brisk", "Cobalt", "Dorian", "Dorian-12"});
  Save(demo, "select-demo");
  TfrmMessage message;
  message.Prepare(3, QStringLiteral("Do you really want to quit?"));
  Save(message, "message-quit");
  TfrmMessage warning;
  warning.Prepare(
      1,
      QStringLiteral(
          "Selection of this sampling frequency will reduce count of available "
          "channels\nand may change or disable some of options.\n\nPress OK to continue."),
      QStringLiteral("Warning"));
  Save(warning, "message-warning");
  TfrmSimpleInput input;
  input.PrepareEdgeSkipCount(12);
  Save(input, "simple-input");
  TfrmAbout about(r);
  about.Prepare();
  Save(about, "about");
  TfrmConfig config(r);
  config.Prepare();
  Save(config, "config");

  program.Finish();
  return gFailures ? 1 : 0;
}
