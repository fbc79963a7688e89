#include "control.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QThread>
#include <QTimer>

#include <chrono>
#include <thread>

TCaptureControl::~TCaptureControl() {
  fClosing = true;
  if (fAutoset) {
    fAutoset->RequestStop();
    ServeUntilFinished(*fAutoset);
  }
  if (fWorker) {
    fWorker->RequestStop();
    ServeUntilFinished(*fWorker);
  }
}

bool TCaptureControl::Busy() const {
  return R.Capturing || R.AutosetRunning || (fWorker && !fWorker->isFinished()) ||
         (fAutoset && !fAutoset->isFinished());
}

void TCaptureControl::ServeUntilFinished(TWorker &worker) {
  QCoreApplication *app = QCoreApplication::instance();
  if (app && app->thread() == QThread::currentThread()) {
    // The worker may be waiting in a blocking call onto this thread: keep
    // serving such calls (no user input) until it has ended.
    ++fServing;
    while (!worker.isFinished()) {
      QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
      if (!worker.isFinished()) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    --fServing;
  }
  // Otherwise the observer answers on its own thread.
  worker.wait();
}

void TCaptureControl::Watch(TWorker &worker) {
  // The worker's last notification runs on this thread; collecting it waits
  // for the next turn of the event loop, when it has left its thread.
  // An observer that answers on the worker's own thread (the command line)
  // has no event loop to come back to: Wait() collects there.
  worker.OnEnded = [this] {
    if (QThread::currentThread() == thread())
      QTimer::singleShot(0, this, [this] { WorkerEnded(); });
  };
}

void TCaptureControl::Capture(TSender sender) {
  R.ForceTriggerRequest = 0;
  if (sender != kOther) R.TriggerDomain = static_cast<uint8_t>(sender);
  fObserver.ControlsLocked(true);
  if (R.AutosetRunning) return; // one user of the library at a time
  if (R.Capturing) {
    if (fStopping) {
      fRestart = true;
      fRestartSender = sender;
    }
    return;
  }
  R.StopPosition = 0;
  Start(sender);
}

void TCaptureControl::Start(TSender) {
  // The previous worker has cleared Capturing after its last notification,
  // so collecting it cannot wait on this thread.
  if (fWorker) {
    fWorker->wait();
    fWorker.reset();
  }
  R.Capturing = 1;
  fStopping = false;
  R.SetStatus("Capture starting...");
  fObserver.ShowStatus();
  switch (R.TriggerType) {
  case 1:
    fWorker = std::make_unique<TRepeatThread>(R, fObserver);
    break;
  case 2:
    fWorker = std::make_unique<TAutoThread>(R, fObserver);
    break;
  default:
    fWorker = std::make_unique<TSingleThread>(R, fObserver);
    break;
  }
  Watch(*fWorker);
  fWorker->start(WorkerPriority(R.ThreadPriority));
}

void TCaptureControl::Stop() {
  fRestart = false;
  if (R.AutosetRunning) {
    if (fAutoset) fAutoset->RequestStop();
    return;
  }
  if (R.Capturing && fWorker && !fWorker->isFinished()) {
    fStopping = true;
    fWorker->RequestStop();
    return;
  }
  fObserver.ControlsLocked(false);
  R.SetStatus("Capture stopped.");
  fObserver.ShowStatus();
}

void TCaptureControl::Autoset() {
  if (R.Capturing || R.AutosetRunning || !R.HardwarePresent) return;
  if (fAutoset) {
    fAutoset->wait();
    fAutoset.reset();
  }
  fAutosetSucceeded = false;
  // Set before any event can be processed, as Capturing is for a capture.
  R.AutosetRunning = 1;
  fObserver.ControlsLocked(true);
  fAutoset = std::make_unique<TAutoSetThread>(R, fObserver);
  Watch(*fAutoset);
  fAutoset->start(WorkerPriority(R.ThreadPriority));
}

void TCaptureControl::WorkerEnded() {
  // Not while a wait is serving a worker (it collects afterwards), nor once
  // the control is going away.
  if (fServing || fClosing) return;
  if (fAutoset && (fAutoset->isFinished() || fAutoset->EndNotified())) {
    fAutoset->wait();
    const bool succeeded = fAutoset->Succeeded();
    fAutoset.reset();
    fAutosetSucceeded = succeeded;
    if (succeeded && !R.Capturing) {
      fObserver.AutosetSucceeded();
      // One single capture, as the oscilloscope's capture button starts it.
      const uint8_t mode = R.TriggerType;
      R.TriggerType = 0;
      Capture(kAnalogWindow);
      R.TriggerType = mode;
    }
  }
  if (fWorker && (fWorker->isFinished() || fWorker->EndNotified())) {
    fWorker->wait();
    fWorker.reset();
    fStopping = false;
    if (fRestart) {
      fRestart = false;
      Capture(fRestartSender);
    }
  }
}

void TCaptureControl::Wait() {
  while (fAutoset || fWorker) {
    ServeUntilFinished(fAutoset ? static_cast<TWorker &>(*fAutoset) : *fWorker);
    // Collects what ended and starts what waited for it.
    WorkerEnded();
  }
}
