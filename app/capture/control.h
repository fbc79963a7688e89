// What the capture, force-trigger, stop and autoset buttons of both windows do,
// without the buttons: starting the worker of the capture mode, forwarding a
// forced trigger, stopping, autoset. The windows and velkcli share it.
#pragma once

#include "autoset.h"
#include "observer.h"
#include "record.h"
#include "workers.h"

#include <memory>

class TCaptureControl {
public:
  enum TSender { kOther = -1, kAnalogWindow = 0, kLogicWindow = 1 };

  TCaptureControl(TVELK &r, TCaptureObserver &observer) : R(r), fObserver(observer) {}
  // Stops whatever runs and waits for it.
  ~TCaptureControl();

  void Capture(TSender sender);
  void ForceTrigger() { R.ForceTriggerRequest = 1; }
  void Stop();
  // Starts autoset (nothing happens in simulated mode).
  void Autoset();
  // Waits until the running worker (or autoset) has ended; for the command
  // line and the tests. Autoset's closing single capture is started here.
  void Wait();
  bool AutosetSucceeded() const { return fAutoset && fAutoset->Succeeded(); }

private:
  void Retire(std::unique_ptr<QThread> &worker);

  TVELK &R;
  TCaptureObserver &fObserver;
  std::unique_ptr<QThread> fWorker;
  std::unique_ptr<TAutoSetThread> fAutoset;
};
