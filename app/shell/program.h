// The program's life without main(): start-up with the splash window and the
// selection dialog, the windows in their order, the first idle moment, and an
// orderly end. main.cpp, the end-to-end tests and the start-up benchmark all
// run it, so what they measure and check is what users get.
#pragma once

#include "shell.h"
#include "startup.h"

#include <QString>

#include <functional>
#include <memory>

class TfrmAnalog;
class TfrmSplash;
class TfrmSelectDevice;
class TGuiUserInterface;

struct TProgramOptions {
  // Instruments for the emulator (empty: the real D2XX provider).
  QString Emulate;
  // A project or settings file to open once the windows are up.
  QString File;
  // The program folder with a trailing '/' (empty: the running program's).
  QString AppFolder;
};

class TProgram {
public:
  explicit TProgram(TProgramOptions options);
  // Finish() if it has not run.
  ~TProgram();

  // Start-up; the windows show at the first idle moment after it (FirstShown
  // runs then). False: the start failed (its "Error" box has been shown) or was
  // cancelled; ExitCode() says which.
  bool Start();
  int ExitCode() const { return fExitCode; }
  // Runs once the first window is on screen.
  std::function<void()> FirstShown;

  // After the event loop: stops and joins every worker, closes the windows,
  // writes the settings when asked to and frees the library.
  void Finish();

  TVELK *Record() const { return fStartup ? fStartup->Record() : nullptr; }
  TShell *Shell() const { return fShell.get(); }
  TfrmAnalog *Analog() const { return fAnalog.get(); }

private:
  void IdleHandler();

  TProgramOptions fOptions;
  std::unique_ptr<TfrmSplash> fSplash;
  std::unique_ptr<TfrmSelectDevice> fSelect;
  std::unique_ptr<TGuiUserInterface> fUi;
  std::unique_ptr<TStartup> fStartup;
  std::unique_ptr<TShell> fShell;
  std::unique_ptr<TfrmAnalog> fAnalog;
  int fExitCode = 0;
  bool fFinished = false;
};
