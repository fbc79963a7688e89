// The capture workers: one capture, captures back to back, and captures that
// force the trigger after one buffer time. Each runs on its own thread, talks
// to the library through the record's table and to the front end through the
// observer; the windows reach it only through the record's flags.
#pragma once

#include "observer.h"
#include "record.h"

#include <QThread>

class TCaptureThread : public QThread {
public:
  TCaptureThread(TVELK &r, TCaptureObserver &observer) : R(r), fObserver(observer) {}

protected:
  // Status text, shown.
  void Say(const char *text);
  void Say(const QString &text);
  // The library's last error into StatusText; true when there is one.
  bool LibraryFailed() { return R.LibraryError() != 0; }
  // Ends a capture that failed or was told to stop, with the notifications.
  void Finish(const char *status);
  void Present() { fObserver.PresentCapture(); }
  // Polls the status until one of the bits is set; false when told to stop
  // (the instrument is stopped then). onEachPass runs before every read.
  template <typename F> bool WaitFor(uint8_t bits, F onEachPass);
  bool WaitFor(uint8_t bits);
  // Sends the configuration (again); false on a library error.
  bool Reapply();
  void SetThreshold();
  void TriggerSound();
  // The capture delay phase; false when told to stop.
  bool CaptureDelayPhase();
  // A library error ends the worker: its text stays, the controls come back.
  void Fail();
  // True when the library reports an error since the capture was set up (an
  // instrument that went away answers every status read with 0); the text is
  // in StatusText then.
  bool InstrumentLost();
  bool fFailed = false;
  // Stops the instrument and reads the data of the parts present; false (the
  // worker has failed) on a library error.
  bool Transfer();
  // The data of the parts present: from the instrument, or generated in
  // simulated mode.
  void Simulate();
  // Simulated repeat and auto modes: generated captures until told to stop.
  void SimulateUntilStopped();
  // Repeat and auto modes: simulated mode runs here to its end (false);
  // otherwise the first cycle will send the configuration.
  bool BeginCycles();
  // The start of every cycle: the configuration again when it changed; false
  // when that failed (the worker has ended).
  bool NextCycle();
  const char *WaitingText() const;

  TVELK &R;
  TCaptureObserver &fObserver;
};

class TSingleThread : public TCaptureThread {
public:
  using TCaptureThread::TCaptureThread;

protected:
  void run() override;

private:
  void RunStrobe();
};

class TRepeatThread : public TCaptureThread {
public:
  using TCaptureThread::TCaptureThread;

protected:
  void run() override;
};

class TAutoThread : public TCaptureThread {
public:
  using TCaptureThread::TCaptureThread;

protected:
  void run() override;
};

// ThreadPriority 0..6 as the thread priorities idle .. time-critical.
QThread::Priority WorkerPriority(uint8_t threadPriority);
