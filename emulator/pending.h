// Completion of overlapped transfers. A transfer answered "pending" records
// its outcome in the caller's OVERLAPPED (Internal: 0 or an error code,
// InternalHigh: bytes moved) and signals the EVENT_HANDLE behind hEvent: at
// once when the outcome is known (a read that ran into the channel timeout),
// or, in pending mode, from a worker thread shortly after the call.
#pragma once

#include "d2xx.h"

#include <chrono>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <thread>
#include <unordered_set>

namespace velkemu {

// Records the outcome and signals the event. The caller holds the emulator's
// lock, so a GetOverlappedResult never sees a half-finished completion.
void CompleteOverlapped(OVERLAPPED *ov, DWORD status, DWORD moved);

class TPendingWorker {
public:
  // mu is the emulator's lock: Queue, InFlight, Enabled and WaitDone are
  // called with it held; SetEnabled without it.
  explicit TPendingWorker(std::mutex &mu) : mu_(mu) {}
  ~TPendingWorker() { SetEnabled(false); }

  // Starts or stops the worker. Stopping completes everything still queued
  // and joins the thread.
  void SetEnabled(bool on);
  bool Enabled() const { return enabled_; }

  void Queue(OVERLAPPED *ov, DWORD status, DWORD moved);
  bool InFlight(const OVERLAPPED *ov) const { return inFlight_.count(ov) != 0; }
  void WaitDone(std::unique_lock<std::mutex> &lock, const OVERLAPPED *ov);

private:
  struct TJob {
    OVERLAPPED *ov;
    DWORD status, moved;
    std::chrono::steady_clock::time_point due;
  };
  void Run();

  std::mutex &mu_;
  std::mutex startStop_; // one SetEnabled at a time
  std::condition_variable wake_;
  std::condition_variable done_;
  std::deque<TJob> jobs_;
  std::unordered_set<const OVERLAPPED *> inFlight_;
  std::thread thread_;
  bool enabled_ = false;
  bool stop_ = false;
};

} // namespace velkemu
