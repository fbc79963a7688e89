#include "startup.h"

#include "autoevent.h"
#include "settings.h"
#include "ui.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLockFile>
#include <QSettings>
#include <QStandardPaths>
#include <QThread>

#include <QSysInfo>

#include <cerrno>
#include <csignal>
#include <cstring>
#include <limits>

const char *const kSimulatedModels[5] = {"Ardent", "Brisk", "Cobalt", "Dorian", "Dorian-12"};

namespace {

void Wait(int ms) {
  QThread::msleep(static_cast<unsigned long>(ms));
}

// The lock file names a running process of this host (QLockFile writes the
// pid, the program name and the host name, one a line).
bool LockOwnerAlive(const QString &path) {
  QFile f(path);
  if (!f.open(QIODevice::ReadOnly)) return false;
  const QList<QByteArray> lines = f.read(4096).split('\n');
  bool ok = false;
  const qint64 pid = lines.value(0).trimmed().toLongLong(&ok);
  if (!ok || pid <= 0 || pid > std::numeric_limits<pid_t>::max()) return false;
  const QByteArray host = lines.value(2).trimmed();
  if (!host.isEmpty() && host != QSysInfo::machineHostName().toLocal8Bit()) return false;
  return ::kill(static_cast<pid_t>(pid), 0) == 0 || errno == EPERM;
}

QString RuntimeFolder() {
  QString dir = qEnvironmentVariable("XDG_RUNTIME_DIR");
  if (dir.isEmpty() || !QFileInfo(dir).isDir()) dir = QDir::tempPath();
  return dir;
}

} // namespace

QString ProgramFolder() {
  QString exe = QFile::symLinkTarget(QStringLiteral("/proc/self/exe"));
  QString dir = QFileInfo(exe).absolutePath();
  return dir.endsWith('/') ? dir : dir + '/';
}

QString DefaultSettingsFolder() {
  QString base = qEnvironmentVariable("XDG_DATA_HOME");
  if (base.isEmpty()) {
    QString home = QDir::homePath();
    if (home.isEmpty()) return QString();
    base = home + QStringLiteral("/.local/share");
  }
  QString folder = base + QStringLiteral("/TORVASK/VELK/");
  if (!QDir().mkpath(folder)) return QString();
  return folder;
}

TStartup::TStartup(TUserInterface *ui, TStartupOptions options)
    : fUi(ui), fOptions(std::move(options)) {}

TStartup::~TStartup() {
  if (!fDone) Shutdown(false);
}

bool TStartup::Fail() {
  // The library keeps what it has; the error box at exit says why.
  ErrorFlag = true;
  return false;
}

bool TStartup::Init() {
  ErrorFlag = false;
  CancelledFlag = false;
  fRecord = std::make_unique<TVELK>();
  VELK = fRecord.get();
  TVELK &r = *fRecord;
  r.Ui = fUi;
  r.HardwarePresent = true;

  r.AppFolder = fOptions.AppFolder.isEmpty() ? ProgramFolder() : fOptions.AppFolder;
  if (!r.AppFolder.endsWith('/')) r.AppFolder += '/';
  r.SettingsFolder = DefaultSettingsFolder();
  r.SpectrumEvent = std::make_unique<TAutoResetEvent>();
  r.SpectrumEvent->Reset();

  if (fUi) fUi->SplashLine(1);
  if (!BindLibrary(r, r.AppFolder + QStringLiteral("libvelkio.so"))) {
    r.HardwarePresent = false;
    return Fail();
  }
  r.Lib.InitDriver();
  std::u16string folder = r.AppFolder.toStdU16String();
  r.Lib.SetPath(folder.c_str());
  int32_t code = r.LibraryError();
  if (code == 1) {
    r.HardwarePresent = false;
  } else if (code != 0) {
    r.HardwarePresent = false;
    return Fail();
  }

  int32_t ids[8] = {};
  uint8_t models[8] = {};
  int32_t n = 0;
  if (r.HardwarePresent && !fOptions.ForceSimulation) {
    n = r.Lib.ListDevices(ids, models);
    if (r.LibraryError() != 0) {
      r.HardwarePresent = false;
      return Fail();
    }
    n = std::min<int32_t>(n, 8);
  }
  DevicesFound = n;
  if (!SelectAndOpen(n, ids, models)) return false;
  if (!Configure()) return false;

  // Finish.
  if (r.HardwarePresent) r.BufferCapacity = static_cast<uint32_t>(r.Lib.GetDeviceRamSize());
  // Without its information block the instrument's memory size is a guess.
  if (fUnknownDevice)
    r.SetStatus(QStringLiteral("Unknown device: no serial number or version, memory size "
                               "taken as %1.")
                    .arg(r.BufferCapacity));
  if (fUi) fUi->SplashLine(4);
  if (!TakeInstanceNumber()) return Fail();
  r.AllocateBuffers();
  ReadSettings(r);
  RegisterLocation();
  if (fUi) fUi->SplashResult(4, QStringLiteral("OK"));
  return true;
}

bool TStartup::SelectAndOpen(int32_t n, const int32_t *ids, const uint8_t *models) {
  TVELK &r = *fRecord;
  auto openChosen = [&](int k) {
    r.ModelCode = models[k];
    r.Lib.OpenDevice(ids[k]);
    r.HardwarePresent = r.LibraryError() == 0;
    if (!r.HardwarePresent) return Fail();
    return true;
  };
  auto describe = [&](int k) {
    r.Lib.GetDeviceDescr(ids[k], r.DeviceDescription);
    r.DeviceDescription[kDescriptionSize - 1] = 0;
    return r.LibraryError() == 0;
  };
  if (n >= 2) {
    if (fUi) fUi->SplashResult(1, QStringLiteral("%1 devices found").arg(n));
    QStringList items;
    for (int i = 0; i < n; ++i) {
      if (!describe(i)) {
        r.HardwarePresent = false;
        ErrorFlag = true;
        break;
      }
      items << QString::asprintf("%2d: %s", i + 1, r.DeviceDescription);
    }
    if (ErrorFlag) return false;
    int k = fUi ? fUi->SelectDevice(QStringLiteral("%1 devices found.").arg(n),
                                    QStringLiteral("Select device to open."), items)
                : 0;
    if (k < 0 || k >= n) {
      CancelledFlag = true;
      return false;
    }
    if (!describe(k)) {
      r.HardwarePresent = false;
      return Fail();
    }
    return openChosen(k);
  }
  if (n == 1) {
    if (!describe(0)) {
      r.HardwarePresent = false;
      return Fail();
    }
    if (fUi)
      fUi->SplashResult(1, QString::fromLatin1(r.DeviceDescription) + QStringLiteral(" found."));
    return openChosen(0);
  }
  // No instrument: a model to simulate.
  if (fUi) fUi->SplashResult(1, QStringLiteral("Hardware not found."));
  r.HardwarePresent = false;
  QStringList items;
  for (const char *m : kSimulatedModels)
    items << QString::fromLatin1(m);
  int k = fUi ? fUi->SelectDevice(QStringLiteral("Hardware not found."),
                                  QStringLiteral("Select device to enter Demo Mode."), items)
              : 0;
  if (k < 0 || k >= items.size()) {
    UnbindLibrary(r);
    VELK = nullptr;
    fRecord.reset();
    CancelledFlag = true;
    return false;
  }
  r.ModelCode = static_cast<uint8_t>(k + 1);
  r.BufferCapacity = kSimulatedCapacity;
  std::strncpy(r.DeviceDescription, kSimulatedModels[k], kDescriptionSize - 1);
  r.SetStatus("Hardware not found. Demo mode.");
  return true;
}

bool TStartup::Configure() {
  TVELK &r = *fRecord;
  r.Lib.InitDevice(r.ModelCode);
  if (fUi) fUi->SplashLine(2);
  if (!r.Lib.ConfigDevice(!r.HardwarePresent)) {
    r.LibraryError();
    r.HardwarePresent = false;
    return Fail();
  }
  if (fUi)
    fUi->SplashResult(2, r.HardwarePresent ? QStringLiteral("OK")
                                           : QStringLiteral("Failed, entering demo mode"));
  if (!r.HardwarePresent) return true;
  // The lamp blinks so the user sees which instrument was opened.
  r.Lib.StatusLED(false);
  Wait(200);
  r.Lib.StatusLED(true);
  Wait(200);
  if (fUi) fUi->SplashLine(3);
  char id[257] = {};
  r.Lib.GetDeviceID(id);
  QString line3;
  if (static_cast<uint8_t>(id[0]) != 0xFF && id[0] != 0) {
    r.Lib.GetDeviceSN(r.SerialNumber);
    r.Lib.GetDeviceVer(r.FirmwareVersion);
    r.SerialNumber[sizeof r.SerialNumber - 1] = 0;
    r.FirmwareVersion[sizeof r.FirmwareVersion - 1] = 0;
    line3 = QString::fromLatin1(id) + QStringLiteral(", #") + QString::fromLatin1(r.SerialNumber);
  } else {
    line3 = QStringLiteral("Unknown device");
    fUnknownDevice = true;
  }
  if (fUi) fUi->SplashResult(3, line3);
  r.Lib.StatusLED(false);
  Wait(200);
  r.Lib.StatusLED(true);
  return true;
}

bool TStartup::TakeInstanceNumber() {
  TVELK &r = *fRecord;
  QString folder = RuntimeFolder();
  QString name = QString::fromLatin1(r.DeviceDescription);
  // A lock held by a live process of this host means that instance number is
  // taken; any other lock (a crashed instance's, an empty or unreadable file,
  // a pid of 0 or -1, another host's) is stale and taken over.
  for (int k = 0; k < kMaxInstances; ++k) {
    const QString path = folder + '/' + name + '.' + QString::number(k) + QStringLiteral(".lock");
    auto lock = std::make_unique<QLockFile>(path);
    lock->setStaleLockTime(0);
    bool locked = lock->tryLock(0);
    if (!locked && !LockOwnerAlive(path) && lock->removeStaleLockFile()) locked = lock->tryLock(0);
    if (locked) {
      r.InstanceLock = std::move(lock);
      r.InstanceNumber = k;
      return true;
    }
  }
  r.SetStatus(
      QStringLiteral("Too many instances of %1 are running (%2).").arg(name).arg(kMaxInstances));
  return false;
}

void TStartup::RegisterLocation() {
  TVELK &r = *fRecord;
  // VELK_INSTALL_RECORD_DIR moves the record elsewhere (the tests and
  // benchmarks point it into their temporary folders).
  QString folder = fOptions.InstallRecordFolder;
  if (folder.isEmpty()) folder = qEnvironmentVariable("VELK_INSTALL_RECORD_DIR");
  if (folder.isEmpty()) folder = QStringLiteral("/etc/xdg/TORVASK");
  QString location = r.AppFolder;
  if (location.endsWith('/') && location.size() > 1) location.chop(1);
  // Like the machine-wide registry it stands for: nothing is reported when the
  // record cannot be written.
  QDir().mkpath(folder);
  QSettings record(folder + QStringLiteral("/VELK.conf"), QSettings::IniFormat);
  if (record.value(QStringLiteral("Location")).toString() != location)
    record.setValue(QStringLiteral("Location"), location);
  if (record.value(QStringLiteral("Signature")).toString() != QStringLiteral("velk"))
    record.setValue(QStringLiteral("Signature"), QStringLiteral("velk"));
  record.sync();
}

QString TStartup::Title() const {
  if (!fRecord) return QStringLiteral("Velk");
  QString title = QString::fromLatin1(fRecord->DeviceDescription);
  if (fRecord->InstanceNumber != 0)
    title += QStringLiteral(" (%1)").arg(fRecord->InstanceNumber + 1);
  return title;
}

void TStartup::Shutdown(bool writeSettings) {
  if (fDone) return;
  fDone = true;
  if (CancelledFlag || !fRecord) {
    VELK = nullptr;
    fRecord.reset();
    return;
  }
  TVELK &r = *fRecord;
  if (ErrorFlag) {
    if (fUi) fUi->ShowMessage(r.Status(), QStringLiteral("Error"), TMessageIcon::Error);
    // No settings are written. The library is released all the same, so that
    // a process (a test, a front end that retries) can start again cleanly.
    if (r.Lib.FreeDriver) r.Lib.FreeDriver();
    UnbindLibrary(r);
    VELK = nullptr;
    fRecord.reset();
    return;
  }
  if (writeSettings) WriteSettings(r);
  r.InstanceLock.reset();
  if (r.HardwarePresent) r.Lib.FreeDevice();
  r.Lib.FreeDriver();
  UnbindLibrary(r);
  VELK = nullptr;
  fRecord.reset();
}
