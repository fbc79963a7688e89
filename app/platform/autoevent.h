// An in-process auto-reset event: Set wakes one waiter (or the next one to
// wait) and the event resets itself.
#pragma once

#include <chrono>
#include <condition_variable>
#include <mutex>

class TAutoResetEvent {
public:
  void Set() {
    {
      std::lock_guard<std::mutex> lock(fMutex);
      fSignalled = true;
    }
    fCondition.notify_one();
  }
  void Reset() {
    std::lock_guard<std::mutex> lock(fMutex);
    fSignalled = false;
  }
  // True when the event was set within the timeout; it is reset again.
  bool Wait(std::chrono::milliseconds timeout) {
    std::unique_lock<std::mutex> lock(fMutex);
    if (!fCondition.wait_for(lock, timeout, [this] { return fSignalled; })) return false;
    fSignalled = false;
    return true;
  }

private:
  std::mutex fMutex;
  std::condition_variable fCondition;
  bool fSignalled = false;
};
