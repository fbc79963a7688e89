// The capture workers: one capture, captures back to back, and captures that
// force the trigger after one buffer time. Each runs on its own thread, talks
// to the library through the record's table and to the front end through the
// observer; the windows reach it only through the record's flags and the
// settings it copies under TVELK::ConfigMutex.
#pragma once

#include "acquire.h"
#include "observer.h"
#include "record.h"

#include <QString>
#include <QThread>

#include <atomic>
#include <functional>
#include <thread>

// What the capture workers and autoset share: their thread, the way to the
// front end and the one way to end.
//
// The thread is a std::thread, joined before the worker is destroyed: the
// thread sanitizer follows a join, while Qt's threads end through primitives it
// cannot see, which would make every collected worker read as a race.
class TWorker {
public:
  TWorker(TVELK &r, TCaptureObserver &observer) : R(r), fObserver(observer) {}
  virtual ~TWorker();
  TWorker(const TWorker &) = delete;
  TWorker &operator=(const TWorker &) = delete;

  // Runs run() on a thread of its own at the given priority.
  void start(QThread::Priority priority = QThread::InheritPriority);
  // Asks the worker to end; it stops the instrument and ends with its
  // notifications. Returns at once.
  virtual void RequestStop() { requestInterruption(); }
  void requestInterruption() { fInterrupt = true; }
  bool isInterruptionRequested() const { return fInterrupt; }
  // The thread has left run() (it may still be on its way out: wait() joins).
  bool isFinished() const { return fFinished; }
  // The worker has sent its last notification: what remains of its thread
  // only clears its flag, so joining it is at once.
  bool EndNotified() const { return fEnded; }
  void wait();
  // Runs on the front end's thread inside the worker's last notification.
  std::function<void()> OnEnded;

protected:
  virtual void run() = 0;

  // Runs fn on the front end's thread; the worker waits for it.
  template <typename F> void OnUi(F fn) { fObserver.OnUiThread(fn); }
  // Status text, shown.
  void Say(const char *text);
  void Say(const QString &text);
  // The end of every worker: CaptureFinished, the final status (null: the
  // text as it stands) shown, and only then the worker's flag cleared.
  void End(const char *status, std::atomic<uint8_t> &flag);
  void End(const QString &status, std::atomic<uint8_t> &flag);
  bool Ended() const { return fEnded; }

  TVELK &R;
  TCaptureObserver &fObserver;

private:
  std::atomic<bool> fEnded{false}, fInterrupt{false}, fFinished{false};
  std::thread fThread;
};

class TCaptureThread : public TWorker {
public:
  using TWorker::TWorker;

protected:
  // The worker's sequence; returning without an end of its own ends it with
  // "Capture stopped.".
  virtual void Body() = 0;
  void run() final;

  // True when the library reports an error; its text is in StatusText then
  // (an instrument that went away answers every status read with 0, so the
  // polling loops ask too).
  bool LibraryFailed();
  bool InstrumentLost() { return LibraryFailed(); }
  // Ends the capture with the status given (null: as it stands).
  void Finish(const char *status) { End(status, R.Capturing); }
  // Swaps the new samples into the record on the front end's thread and has
  // them shown.
  void Present();
  // Polls the status until one of the bits is set; false when told to stop
  // (the instrument is stopped then) or when the instrument was lost (the
  // worker has failed then). onEachPass runs before every read.
  template <typename F> bool WaitFor(uint8_t bits, F onEachPass);
  bool WaitFor(uint8_t bits);
  // Sends the configuration (again) from a fresh copy of the settings;
  // Reapply answers false on a library error.
  void Resend();
  bool Reapply();
  void SetThreshold();
  void TriggerSound();
  // The capture delay phase; false when told to stop.
  bool CaptureDelayPhase();
  // A library error ends the worker: its text stays, the controls come back.
  void Fail();
  // Stops the instrument and reads the data of the parts present; false (the
  // worker has failed) on a library error.
  bool Transfer();
  // The data of the parts present into the worker's buffers: from the
  // instrument, or generated in simulated mode.
  void ReadParts();
  // Simulated repeat and auto modes: generated captures until told to stop.
  void SimulateUntilStopped();
  // Repeat and auto modes: simulated mode runs here to its end (false);
  // otherwise the first cycle will send the configuration.
  bool BeginCycles();
  // The start of every cycle: the configuration again when it changed; false
  // when that failed (the worker has ended).
  bool NextCycle();
  const char *WaitingText() const;

  // The settings of the capture under way.
  TCaptureSettings fS;
  // Where the external strobes ended (strobe captures only; -1: not known).
  int32_t fStopPosition = -1;
};

class TSingleThread : public TCaptureThread {
public:
  using TCaptureThread::TCaptureThread;

protected:
  void Body() override;

private:
  void RunStrobe();
};

class TRepeatThread : public TCaptureThread {
public:
  using TCaptureThread::TCaptureThread;

protected:
  void Body() override;
};

class TAutoThread : public TCaptureThread {
public:
  using TCaptureThread::TCaptureThread;

protected:
  void Body() override;
};

// ThreadPriority 0..6 as the thread priorities idle .. time-critical.
QThread::Priority WorkerPriority(uint8_t threadPriority);
