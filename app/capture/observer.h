// How the capture and autoset workers tell the front end what happens.
//
// Every notification runs on the front end's thread (the user-interface thread
// of the windows) while the worker waits: the worker hands it to OnUiThread,
// which the windows implement with a blocking queued call and velkcli and the
// tests by calling it at once. The thread that owns TCaptureControl therefore
// never blocks on a worker: a stop request returns at once, and waiting (at
// exit, on the command line) keeps serving these calls.
//
// Every worker, autoset included, ends the same way: one CaptureFinished, then
// one ShowStatus with the final text; only after these does it clear its flag
// (Capturing or AutosetRunning), so a new capture cannot start in between.
#pragma once

#include <functional>

class TCaptureObserver {
public:
  virtual ~TCaptureObserver() = default;

  // Runs fn on the front end's thread and returns when it has run.
  virtual void OnUiThread(const std::function<void()> &fn) { fn(); }

  // StatusText changed: show it (read it with TVELK::Status()).
  virtual void ShowStatus() = 0;
  // The force-trigger buttons become enabled / disabled.
  virtual void PreTriggerFilled() {}
  virtual void TriggerSeen() {}
  // New samples were swapped into the record: show them (and count the capture).
  virtual void PresentCapture() = 0;
  // A worker is over: stop and force-trigger buttons disabled, setting
  // controls enabled.
  virtual void CaptureFinished() = 0;
  // The trigger notification: the default message beep, or a 1000 Hz 100 ms tone.
  virtual void TriggerSound(bool /*defaultBeep*/) {}
  // The capture-delay countdown of the logic window: seconds > 0 starts it, 0 stops it.
  virtual void DelayCountdown(int /*seconds*/) {}
  // Setting controls disabled and stop buttons enabled (true), or the reverse.
  virtual void ControlsLocked(bool /*locked*/) {}
  // Autoset's statistics are in StatsA/StatsB: show them.
  virtual void StatsChanged() {}
  // Autoset found its settings: the oscilloscope shows the whole buffer before
  // the closing single capture starts.
  virtual void AutosetSucceeded() {}
};
