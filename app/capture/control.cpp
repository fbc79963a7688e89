#include "control.h"

TCaptureControl::~TCaptureControl() {
  if (fAutoset) {
    fAutoset->RequestStop();
    fAutoset->wait();
  }
  if (fWorker) {
    fWorker->requestInterruption();
    fWorker->wait();
  }
}

void TCaptureControl::Retire(std::unique_ptr<QThread> &worker) {
  // A single worker frees itself in the original; here the next start (or the
  // end) collects it once it has run out.
  if (worker) {
    worker->wait();
    worker.reset();
  }
}

void TCaptureControl::Capture(TSender sender) {
  R.ForceTriggerRequest = 0;
  if (sender != kOther) R.TriggerDomain = static_cast<uint8_t>(sender);
  fObserver.ControlsLocked(true);
  R.StopPosition = 0;
  if (R.Capturing) return;
  R.SetStatus("Capture starting...");
  fObserver.ShowStatus();
  Retire(fWorker);
  R.Capturing = 1;
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
  fWorker->start(WorkerPriority(R.ThreadPriority));
}

void TCaptureControl::Stop() {
  if (R.AutosetRunning) {
    if (fAutoset) fAutoset->RequestStop();
    return;
  }
  if (R.Capturing && fWorker) {
    fWorker->requestInterruption();
    // The single worker is not waited for in the original; waiting here keeps
    // the status text and the flags from being written by two threads at once,
    // and it ends at its next status read.
    fWorker->wait();
    fWorker.reset();
  }
  fObserver.ControlsLocked(false);
  R.SetStatus("Capture stopped.");
  fObserver.ShowStatus();
  R.Capturing = 0;
}

void TCaptureControl::Autoset() {
  if (R.Capturing || R.AutosetRunning) return;
  if (fAutoset) {
    fAutoset->wait();
    fAutoset.reset();
  }
  fAutoset = std::make_unique<TAutoSetThread>(R, fObserver);
  fAutoset->start(WorkerPriority(R.ThreadPriority));
}

void TCaptureControl::Wait() {
  if (fAutoset) {
    fAutoset->wait();
    if (fAutoset->Succeeded()) {
      uint8_t mode = R.TriggerType;
      R.TriggerType = 0;
      Capture(kAnalogWindow);
      R.TriggerType = mode;
    }
  }
  if (fWorker) fWorker->wait();
}
