// Blocking calls from a worker onto the thread that owns a TUiCaller (the
// user-interface thread): the worker hands over the function and waits until
// that thread's event loop has run it.
//
// Qt's blocking queued connection does the same, but it synchronises with
// primitives the thread sanitizer cannot see, so every hand-over of samples
// would read as a race. Here the function passes under a std::mutex and the
// event loop is woken through an eventfd, both of which the sanitizer follows.
#pragma once

#include <QObject>

#include <condition_variable>
#include <functional>
#include <mutex>

class QSocketNotifier;

class TUiCaller : public QObject {
public:
  TUiCaller();
  ~TUiCaller() override;

  // Runs fn on this object's thread and returns when it has run; on that
  // thread itself, at once.
  void Call(const std::function<void()> &fn);

private:
  void RunPending();

  int fWake = -1;
  QSocketNotifier *fNotifier = nullptr;
  // One caller at a time hands over its function.
  std::mutex fCallers;
  std::mutex fMutex;
  std::condition_variable fDone;
  const std::function<void()> *fPending = nullptr;
  bool fFinished = false;
};
