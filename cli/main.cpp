// velkcli: the acquisition core on the command line (options.cpp has the
// options and the usage text).
#include "analysis.h"
#include "files.h"
#include "filesys.h"
#include "format.h"
#include "options.h"
#include "record.h"
#include "settings.h"
#include "startup.h"
#include "terminal_ui.h"
#include "usblist.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QStringList>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace {

void Out(const QString &line) {
  std::printf("%s\n", line.toLocal8Bit().constData());
}

void Err(const QString &line) {
  std::fprintf(stderr, "%s\n", line.toLocal8Bit().constData());
}

// A failed load or save: the product's own text, then the file and the cause.
int Fail(const TVELK &r, const TTerminalUi &ui, const QString &problem) {
  const QString text = QString::fromLatin1(r.StatusText);
  if (!text.isEmpty() && text != ui.LastMessage)
    Err(problem.isEmpty() ? text : text + u' ' + problem);
  else if (!problem.isEmpty())
    Err(QStringLiteral("velkcli: ") + problem);
  return 1;
}

bool IsInstrument(const char *description) {
  if (std::strcmp(description, "Fenwick") == 0) return true;
  for (const char *model : kSimulatedModels)
    if (std::strcmp(description, model) == 0) return true;
  return false;
}

// The instruments velkio offers; verbose adds every FTDI device on the USB
// and why it is offered or not.
int List(const QString &appFolder, bool verbose) {
  TVELK r;
  if (!BindLibrary(r, appFolder + QStringLiteral("libvelkio.so"))) {
    std::fprintf(stderr, "%s\n", r.StatusText);
    return 1;
  }
  r.Lib.InitDriver();
  std::u16string folder = appFolder.toStdU16String();
  r.Lib.SetPath(folder.c_str());
  int32_t ids[8] = {};
  uint8_t models[8] = {};
  int32_t n = std::min<int32_t>(r.Lib.ListDevices(ids, models), 8);
  int status = 0;
  if (r.LibraryError() != 0) {
    std::fprintf(stderr, "%s\n", r.StatusText);
    status = 1;
  }
  std::vector<TOfferedDevice> offered;
  for (int32_t i = 0; i < n && status == 0; ++i) {
    char description[kDescriptionSize] = {};
    r.Lib.GetDeviceDescr(ids[i], description);
    Out(QStringLiteral("%1\t%2\t%3").arg(i).arg(models[i]).arg(QString::fromLatin1(description)));
    offered.push_back({QString::fromLatin1(description), models[i]});
  }
  if (status == 0 && n == 0) Err(QStringLiteral("velkcli: no instrument attached"));
  if (status == 0 && n == 8) {
    // The list holds 8; any instrument past the eighth is not offered.
    bool more = false;
    for (int32_t index = ids[7] + 1; index < 128 && !more; ++index) {
      char description[kDescriptionSize] = {};
      r.Lib.GetDeviceDescr(index, description);
      if (r.LibraryError() != 0) break;
      more = IsInstrument(description);
    }
    if (more)
      Err(QStringLiteral("velkcli: more than 8 instruments are attached; only the first 8 are "
                         "offered"));
  }
  r.Lib.FreeDriver();
  UnbindLibrary(r);
  if (verbose) status = std::max(status, PrintUsbListing(appFolder, offered));
  return status;
}

void Info(const TVELK &r, const QString &title) {
  Out(QStringLiteral("Device: %1%2")
          .arg(QString::fromLatin1(r.DeviceDescription),
               r.HardwarePresent ? QString() : QStringLiteral(" (demo)")));
  Out(QStringLiteral("Model code: %1").arg(r.ModelCode));
  Out(QStringLiteral("Title: %1").arg(title));
  Out(QStringLiteral("Serial number: %1").arg(QString::fromLatin1(r.SerialNumber)));
  Out(QStringLiteral("Firmware version: %1").arg(QString::fromLatin1(r.FirmwareVersion)));
  Out(QStringLiteral("Buffer capacity: %1").arg(r.BufferCapacity));
  QStringList features;
  if (r.DeviceFeatures & 0x01) features << QStringLiteral("analog");
  if (r.DeviceFeatures & 0x02) features << QStringLiteral("digital");
  if (r.DeviceFeatures & 0x04) features << QStringLiteral("edge counter");
  if (r.DeviceFeatures & 0x08) features << QStringLiteral("edge skip");
  if (r.DeviceFeatures & 0x10) features << QStringLiteral("capture delay");
  Out(QStringLiteral("Features: 0x%1 (%2)")
          .arg(r.DeviceFeatures, 2, 16, QLatin1Char('0'))
          .arg(features.join(QStringLiteral(", "))));
  if (r.HasDigital()) Out(QStringLiteral("Digital channels: %1").arg(r.DigitalChannelCount));
  QStringList clocks;
  int32_t clockCount = r.Lib.GetClockItems(0x100);
  for (int32_t i = 0; i < clockCount; ++i)
    clocks << FormatFrequency(r.Lib.GetClockItems(0x200 + i));
  Out(QStringLiteral("Clocks: %1").arg(clocks.join(QStringLiteral(", "))));
  if (r.HasAnalog()) {
    QStringList gains;
    int32_t gainCount = r.Lib.GetGainItems(0x100);
    double divider = r.Probes[r.ProbeChA >= 0 && r.ProbeChA < 3 ? r.ProbeChA : 0].Divider;
    for (int32_t i = 0; i < gainCount; ++i)
      gains << FormatVoltage(r, -1, r.Lib.GetGainItems(0x200 + i) * divider * 0.2) +
                   QStringLiteral("/div");
    Out(QStringLiteral("Gains: %1").arg(gains.join(QStringLiteral(", "))));
  }
}

// The file kind that the extension names.
int KindOf(const TVELK &r, const QString &path, bool digital) {
  QString ext = QFileInfo(path).suffix().toLower();
  bool logic = digital || !r.HasAnalog();
  if (ext == QStringLiteral("prj")) return 0;
  if (ext == QStringLiteral("set")) return 1;
  if (ext == QStringLiteral("bin")) return logic ? 4 : 2;
  if (ext == QStringLiteral("txt")) return logic ? 5 : 3;
  return -1;
}

} // namespace

int main(int argc, char **argv) {
  QCoreApplication app(argc, argv);
  QCoreApplication::setApplicationName(QStringLiteral("velkcli"));
  QCoreApplication::setApplicationVersion(QStringLiteral(VELK_VERSION));
  // The arguments as bytes: a file name that is not UTF-8 keeps its bytes.
  QStringList arguments;
  for (int i = 0; i < argc; ++i)
    arguments << NameFromNative(QByteArray(argv[i]));
  TCommandLine commandLine;
  if (int status = commandLine.Parse(arguments); status >= 0) return status;
  const TOptions &o = commandLine.Options();

  QString appFolder = ProgramFolder();
  if (!o.emulate.isEmpty()) {
    // The emulator stands in for the driver for this process only.
    qputenv("VELK_D2XX_LIBRARY", (appFolder + QStringLiteral("libvelkemu.so")).toLocal8Bit());
    qputenv("VELK_EMULATE", o.emulate.toLocal8Bit());
  }
  if (o.command == QStringLiteral("list")) return List(appFolder, o.verbose);

  TTerminalUi ui;
  TStartupOptions options;
  options.AppFolder = appFolder;
  if (!o.demo.isEmpty()) {
    options.ForceSimulation = true;
    ui.AllowDemo = true;
    ui.Choice = 0;
    for (int k = 0; k < 5; ++k)
      if (o.demo.compare(QString::fromLatin1(kSimulatedModels[k]), Qt::CaseInsensitive) == 0)
        ui.Choice = k;
  } else {
    ui.Choice = o.device;
  }

  TStartup startup(&ui, options);
  if (!startup.Init()) {
    if (startup.CancelledFlag) {
      if (ui.NoInstrument)
        std::fprintf(stderr, "velkcli: no instrument attached (--demo MODEL simulates one)\n");
      else
        std::fprintf(stderr, "velkcli: there is no instrument %d\n", o.device);
      startup.Shutdown(false);
      return 1;
    }
    startup.Shutdown(false); // shows the error text
    return 1;
  }
  TVELK &r = *startup.Record();
  int status = 0;
  if (o.device > 0 && o.device >= startup.DevicesFound) {
    std::fprintf(stderr, "velkcli: there is no instrument %d\n", o.device);
    startup.Shutdown(false);
    return 1;
  }
  // What start-up left on the status line (an unknown device, demo mode).
  if (r.StatusText[0]) Err(r.Status());
  bool samples = false;
  if (!o.load.isEmpty()) {
    ui.LastMessage.clear();
    r.SetStatus("");
    QString problem;
    if (!LoadFile(r, o.load, &problem)) {
      status = Fail(r, ui, problem);
    } else {
      // What the load did to the length or the samples.
      if (r.StatusText[0]) Err(r.Status());
      samples = r.LastFileKind == 0;
    }
  }
  bool goodCaptureKept = false;
  if (status == 0) status = RunAnalysis(r, o.analysis, samples, &goodCaptureKept);
  // Repeated captures that failed part-way: --save asked for the samples, so
  // the last good capture is saved; the exit status still says it failed.
  if (goodCaptureKept && !o.save.isEmpty()) {
    Err(QStringLiteral("velkcli: saving the last good capture"));
    r.LastFileKind = static_cast<uint8_t>(KindOf(r, o.save, o.digital));
    r.FileName = o.save;
    r.SetStatus("");
    ui.LastMessage.clear();
    QString problem;
    if (!SaveFile(r, &problem)) Fail(r, ui, problem);
  }
  if (status == 0 && !o.save.isEmpty()) {
    r.LastFileKind = static_cast<uint8_t>(KindOf(r, o.save, o.digital));
    r.FileName = o.save;
    r.SetStatus("");
    ui.LastMessage.clear();
    QString problem;
    if (!SaveFile(r, &problem)) status = Fail(r, ui, problem);
  }
  if (status == 0 && o.saveSettings) {
    QString problem;
    r.SetStatus("");
    if (!WriteSettings(r, &problem)) {
      Err(QStringLiteral("Could not save file. ") + problem);
      status = 1;
    }
  }
  if (status == 0 && o.command == QStringLiteral("info")) Info(r, startup.Title());
  startup.Shutdown(false);
  return status;
}
