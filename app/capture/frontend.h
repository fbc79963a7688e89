// The meeting point of the program shell (app/shell) and the main windows: the
// windows call the shared capture, stop, force-trigger and autoset handlers
// through TCaptureCommands, and the shell reaches every main window through
// TMainView. Both live here, below the windows, so the windows need not know
// the shell and the shell keeps the one copy of the handlers.
#pragma once

#include "control.h"

#include <QString>

// What every main window shows of a capture; called on the user-interface thread.
class TMainView {
public:
  virtual ~TMainView() = default;
  // The status text into the window's message label.
  virtual void ShowStatusText(const QString &text) = 0;
  // A capture or autoset starts (true: setting controls disabled, stop enabled)
  // or has ended (false: the reverse, force trigger disabled too).
  virtual void LockControlsForCapture(bool locked) = 0;
  // The force-trigger button.
  virtual void EnableForceTrigger(bool on) = 0;
  // New samples are in the record (only windows that are visible act).
  virtual void PresentCapture() = 0;
  // Autoset's statistics changed; autoset found its settings.
  virtual void StatsChanged() {}
  virtual void AutosetSucceeded() {}
  // The capture-delay countdown (seconds > 0 starts it, 0 stops it).
  virtual void DelayCountdown(int /*seconds*/) {}
};

// The shared handlers of the main windows' buttons and keys.
class TCaptureCommands {
public:
  virtual ~TCaptureCommands() = default;
  // Capture button / Enter.
  virtual void CaptureClick(TCaptureControl::TSender sender) = 0;
  // Stop button / Esc: asks and returns; the end arrives through the views.
  virtual void StopClick() = 0;
  // Force-trigger button / Space.
  virtual void TriggerClick() = 0;
  // Autoset button (oscilloscope).
  virtual void AutosetClick() = 0;
  // A capture or autoset runs.
  virtual bool Busy() const = 0;
  // The quit question of the main windows ("Do you really want to quit?");
  // true when the program is to end.
  virtual bool AskQuit() = 0;
  // Ends the program: stops and joins every worker first.
  virtual void Quit() = 0;
};
