// Start-up and shutdown of the application, without windows: binding the
// library, choosing the instrument (or a model to simulate), opening and
// configuring it, the instance number, the buffers and the settings.
#pragma once

#include "record.h"

#include <QString>

#include <memory>

struct TStartupOptions {
  // The program folder (trailing '/'); empty: the folder of the running program.
  QString AppFolder;
  // Where the installation record is kept; empty: $VELK_INSTALL_RECORD_DIR when
  // set, else /etc/xdg/TORVASK.
  QString InstallRecordFolder;
  // Simulate a model even when instruments are attached.
  bool ForceSimulation = false;
};

class TStartup {
public:
  TStartup(TUserInterface *ui, TStartupOptions options = {});
  ~TStartup();

  // Creates the record (VELK) and runs the start-up sequence. False: ErrorFlag
  // (StatusText says why) or CancelledFlag.
  bool Init();
  // What the application does at exit: on ErrorFlag the error box; otherwise
  // writes the settings when asked to, releases the instrument and the library
  // and destroys the record.
  void Shutdown(bool writeSettings);

  // The application title: the description, and "(n)" for instances after the first.
  QString Title() const;

  bool ErrorFlag = false;
  bool CancelledFlag = false;
  // Instruments the listing found (at most 8).
  int32_t DevicesFound = 0;
  TVELK *Record() const { return fRecord.get(); }

private:
  bool Fail();
  bool SelectAndOpen(int32_t count, const int32_t *ids, const uint8_t *models);
  bool Configure();
  // False (StatusText says why) when every instance number is taken.
  bool TakeInstanceNumber();
  void RegisterLocation();

  TUserInterface *fUi;
  TStartupOptions fOptions;
  std::unique_ptr<TVELK> fRecord;
  bool fDone = false;
  bool fUnknownDevice = false;
};

// Instance numbers 0 .. kMaxInstances-1, one lock file each.
constexpr int kMaxInstances = 1000;

// The simulated models, in the order the selection offers them.
extern const char *const kSimulatedModels[5];

// The folder of the running program with a trailing '/'.
QString ProgramFolder();
// $XDG_DATA_HOME (or ~/.local/share) + "/TORVASK/VELK/", created; empty when
// it cannot be created.
QString DefaultSettingsFolder();
