// How the capture and autoset workers tell the front end what happens. The
// windows implement it with blocking queued calls onto the user-interface
// thread; velkcli and the tests implement it directly. Every call is made from
// the worker thread, which waits until it returns.
#pragma once

class TCaptureObserver {
public:
  virtual ~TCaptureObserver() = default;

  // StatusText changed: show it (read it with TVELK::Status()).
  virtual void ShowStatus() = 0;
  // The force-trigger buttons become enabled / disabled.
  virtual void PreTriggerFilled() {}
  virtual void TriggerSeen() {}
  // New samples are in the record: show them (and count the capture).
  virtual void PresentCapture() = 0;
  // The capture is over: stop and force-trigger buttons disabled, setting
  // controls enabled. Capturing is cleared by the caller right after.
  virtual void CaptureFinished() = 0;
  // The trigger notification: the default message beep, or a 1000 Hz 100 ms tone.
  virtual void TriggerSound(bool /*defaultBeep*/) {}
  // The capture-delay countdown of the logic window: seconds > 0 starts it, 0 stops it.
  virtual void DelayCountdown(int /*seconds*/) {}
  // Setting controls disabled and stop buttons enabled (true), or the reverse.
  virtual void ControlsLocked(bool /*locked*/) {}
  // Autoset's statistics are ready to be shown.
  virtual void StatsChanged() {}
};
