#include "uicall.h"

#include <QSocketNotifier>
#include <QThread>

#include <sys/eventfd.h>
#include <unistd.h>

TUiCaller::TUiCaller() {
  fWake = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
  if (fWake >= 0) {
    fNotifier = new QSocketNotifier(fWake, QSocketNotifier::Read, this);
    connect(fNotifier, &QSocketNotifier::activated, this, [this] { RunPending(); });
  }
}

TUiCaller::~TUiCaller() {
  delete fNotifier;
  if (fWake >= 0) ::close(fWake);
}

void TUiCaller::Call(const std::function<void()> &fn) {
  if (QThread::currentThread() == thread() || fWake < 0) {
    // Without an eventfd (never on Linux) the blocking queued call serves.
    if (QThread::currentThread() == thread())
      fn();
    else
      QMetaObject::invokeMethod(this, fn, Qt::BlockingQueuedConnection);
    return;
  }
  std::lock_guard<std::mutex> caller(fCallers);
  std::unique_lock<std::mutex> lock(fMutex);
  fPending = &fn;
  fFinished = false;
  const uint64_t one = 1;
  [[maybe_unused]] ssize_t n = ::write(fWake, &one, sizeof one);
  fDone.wait(lock, [this] { return fFinished; });
}

void TUiCaller::RunPending() {
  uint64_t count = 0;
  [[maybe_unused]] ssize_t n = ::read(fWake, &count, sizeof count);
  std::unique_lock<std::mutex> lock(fMutex);
  if (!fPending) return;
  const std::function<void()> *fn = fPending;
  // Taken: a nested event loop inside fn finds nothing to run. The caller
  // waits until fFinished; the function runs without the lock so that it may
  // itself ask the worker to stop or start another one.
  fPending = nullptr;
  lock.unlock();
  (*fn)();
  lock.lock();
  fFinished = true;
  fDone.notify_all();
}
