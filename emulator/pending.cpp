#include "pending.h"

namespace velkemu {

namespace {
// Long enough that a caller really waits, short enough for thousands of
// transfers per test.
constexpr std::chrono::microseconds kCompletionDelay{50};
} // namespace

void CompleteOverlapped(OVERLAPPED *ov, DWORD status, DWORD moved) {
  ov->Internal = status;
  ov->InternalHigh = moved;
  if (auto *ev = static_cast<EVENT_HANDLE *>(ov->hEvent)) {
    pthread_mutex_lock(&ev->eMutex);
    ev->iVar = 1;
    pthread_cond_broadcast(&ev->eCondVar);
    pthread_mutex_unlock(&ev->eMutex);
  }
}

void TPendingWorker::SetEnabled(bool on) {
  std::lock_guard<std::mutex> serial(startStop_);
  {
    std::lock_guard<std::mutex> lock(mu_);
    enabled_ = on;
    if (!on) stop_ = true;
  }
  if (on) {
    if (!thread_.joinable()) thread_ = std::thread([this] { Run(); });
    return;
  }
  wake_.notify_all();
  if (thread_.joinable()) thread_.join();
  std::lock_guard<std::mutex> lock(mu_);
  stop_ = false;
}

void TPendingWorker::Queue(OVERLAPPED *ov, DWORD status, DWORD moved) {
  jobs_.push_back({ov, status, moved, std::chrono::steady_clock::now() + kCompletionDelay});
  inFlight_.insert(ov);
  wake_.notify_one();
}

void TPendingWorker::WaitDone(std::unique_lock<std::mutex> &lock, const OVERLAPPED *ov) {
  done_.wait(lock, [&] { return !InFlight(ov); });
}

void TPendingWorker::Run() {
  std::unique_lock<std::mutex> lock(mu_);
  for (;;) {
    if (jobs_.empty()) {
      if (stop_) break;
      wake_.wait(lock);
      continue;
    }
    TJob job = jobs_.front();
    if (!stop_ && std::chrono::steady_clock::now() < job.due) {
      wake_.wait_until(lock, job.due);
      continue;
    }
    jobs_.pop_front();
    CompleteOverlapped(job.ov, job.status, job.moved);
    inFlight_.erase(job.ov);
    done_.notify_all();
  }
}

} // namespace velkemu
