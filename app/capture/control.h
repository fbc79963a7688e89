// What the capture, force-trigger, stop and autoset buttons of both windows do,
// without the buttons: starting the worker of the capture mode, forwarding a
// forced trigger, stopping, autoset. The windows and velkcli share it.
//
// It lives on the front end's thread and never blocks there on a worker that
// may be waiting for that thread: Stop only asks, and the end arrives as the
// worker's CaptureFinished. Waiting (Wait, the destructor) keeps serving the
// worker's calls to the front end.
#pragma once

#include "autoset.h"
#include "observer.h"
#include "record.h"
#include "workers.h"

#include <QObject>

#include <memory>

class TCaptureControl : public QObject {
public:
  enum TSender { kOther = -1, kAnalogWindow = 0, kLogicWindow = 1 };

  TCaptureControl(TVELK &r, TCaptureObserver &observer) : R(r), fObserver(observer) {}
  // Stops whatever runs and waits for it (serving it meanwhile).
  ~TCaptureControl() override;

  // The capture buttons. While a stop is under way the press is remembered and
  // the capture starts once the stopped worker has ended.
  void Capture(TSender sender);
  void ForceTrigger() { R.ForceTriggerRequest = 1; }
  // The stop buttons: asks the running worker (or autoset) to end and returns
  // at once. With nothing running the windows are reset at once.
  void Stop();
  // Starts autoset (nothing happens in simulated mode). When it succeeds, the
  // closing single capture starts once its worker has ended.
  void Autoset();
  // Waits until nothing runs any more, including the capture that follows a
  // successful autoset or a capture pressed during a stop; for quitting, the
  // command line and the tests. Serves the workers' calls meanwhile.
  void Wait();
  // A worker or autoset runs (or has not yet been collected).
  bool Busy() const;
  bool AutosetSucceeded() const { return fAutosetSucceeded; }

private:
  void Start(TSender sender);
  // Waits for one worker, serving the workers' calls to this thread.
  void ServeUntilFinished(TWorker &worker);
  // Has the worker's end collected on this thread.
  void Watch(TWorker &worker);
  // On this thread once a worker has ended: collects it and starts what was
  // waiting for it (the capture after autoset or after a stop).
  void WorkerEnded();

  TVELK &R;
  TCaptureObserver &fObserver;
  std::unique_ptr<TCaptureThread> fWorker;
  std::unique_ptr<TAutoSetThread> fAutoset;
  bool fStopping = false;
  bool fRestart = false;
  TSender fRestartSender = kOther;
  bool fAutosetSucceeded = false;
  int fServing = 0;
  bool fClosing = false;
};
