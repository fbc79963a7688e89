#include "workers.h"

#include "format.h"

#include <QElapsedTimer>

#include <cmath>
#include <utility>

#include <pthread.h>
#include <sched.h>

namespace {

constexpr uint8_t kPreTriggerFilled = 0x80;
constexpr uint8_t kTriggered = 0x02;
constexpr uint8_t kDelayOver = 0x08;
constexpr uint8_t kComplete = 0x01;

// A worker buffer goes into the record by a swap when both are of one size
// (always, after AllocateBuffers); a logic tab of another size gets a copy.
template <typename T> void HandOver(std::vector<T> &shown, std::vector<T> &captured) {
  if (captured.empty()) return;
  if (shown.size() == captured.size())
    std::swap(shown, captured);
  else
    std::copy_n(captured.begin(), std::min(shown.size(), captured.size()), shown.begin());
}

} // namespace

QThread::Priority WorkerPriority(uint8_t p) {
  static const QThread::Priority kPriorities[7] = {
      QThread::IdlePriority,        QThread::LowestPriority, QThread::LowPriority,
      QThread::NormalPriority,      QThread::HighPriority,   QThread::HighestPriority,
      QThread::TimeCriticalPriority};
  return kPriorities[p < 7 ? p : 3];
}

TWorker::~TWorker() {
  wait();
}

void TWorker::start(QThread::Priority priority) {
  wait();
  fFinished = false;
  fThread = std::thread([this] {
    run();
    fFinished = true;
  });
  // Only the idle class means anything to the normal Linux scheduler without
  // privileges; the others run as normal threads.
  if (priority == QThread::IdlePriority) {
    sched_param param{};
    pthread_setschedparam(fThread.native_handle(), SCHED_IDLE, &param);
  }
}

void TWorker::wait() {
  if (fThread.joinable()) fThread.join();
}

void TWorker::Say(const char *text) {
  R.SetStatus(text);
  OnUi([this] { fObserver.ShowStatus(); });
}

void TWorker::Say(const QString &text) {
  R.SetStatus(text);
  OnUi([this] { fObserver.ShowStatus(); });
}

void TWorker::End(const char *status, std::atomic<uint8_t> &flag) {
  if (fEnded) return;
  fEnded = true;
  OnUi([&] {
    fObserver.CaptureFinished();
    if (status) R.SetStatus(status);
    fObserver.ShowStatus();
    if (OnEnded) OnEnded();
  });
  flag = 0;
}

void TWorker::End(const QString &status, std::atomic<uint8_t> &flag) {
  End(status.toLatin1().constData(), flag);
}

void TCaptureThread::run() {
  Body();
  if (!Ended()) Finish("Capture stopped.");
}

void TCaptureThread::Present() {
  OnUi([this] {
    HandOver(R.SamplesA, R.CaptureA);
    HandOver(R.SamplesB, R.CaptureB);
    if (R.HasDigital()) {
      int tab = R.ActiveDigitalTab >= 0 && R.ActiveDigitalTab < 3 ? R.ActiveDigitalTab : 0;
      HandOver(R.DigitalSamples[tab], R.CaptureD);
    }
    if (fStopPosition >= 0) R.StopPosition = fStopPosition;
    fObserver.PresentCapture();
  });
}

template <typename F> bool TCaptureThread::WaitFor(uint8_t bits, F onEachPass) {
  for (;;) {
    onEachPass();
    uint8_t s = R.Lib.ReadStatus();
    if (isInterruptionRequested()) {
      R.Lib.StopCapture();
      return false;
    }
    if (s & bits) return true;
    if (InstrumentLost()) {
      Fail();
      return false;
    }
    QThread::yieldCurrentThread();
  }
}

bool TCaptureThread::LibraryFailed() {
  char text[103] = {};
  if (R.Lib.GetLastError(text) == 0) return false;
  R.SetStatus(text);
  return true;
}

bool TCaptureThread::WaitFor(uint8_t bits) {
  return WaitFor(bits, [] {});
}

void TCaptureThread::Resend() {
  // The flags go up before the copy is taken: a change the windows make
  // after the copy clears them again and is sent on the next pass.
  R.ConfigApplied = 1;
  R.ThresholdApplied = 1;
  fS = ApplyCaptureConfig(R);
}

bool TCaptureThread::Reapply() {
  Resend();
  return !LibraryFailed();
}

void TCaptureThread::SetThreshold() {
  R.ThresholdApplied = 1;
  int32_t analog, margin, digital;
  {
    std::lock_guard<std::mutex> lock(R.ConfigMutex);
    analog = fS.AnalogThreshold = R.AnalogThreshold;
    margin = fS.ThresholdMargin = R.ThresholdMargin;
    digital = fS.DigitalThreshold = R.DigitalThreshold;
  }
  if (fS.TriggerDomain == 0)
    R.Lib.SetThresholdA(analog, margin);
  else
    R.Lib.SetThresholdD(digital);
}

void TCaptureThread::TriggerSound() {
  const uint8_t beep = fS.TriggerBeep;
  if (beep & 0x01) OnUi([this, beep] { fObserver.TriggerSound((beep & 0x02) != 0); });
}

bool TCaptureThread::CaptureDelayPhase() {
  if (fS.CaptureDelay == 0) return true;
  double rate = R.Lib.GetClockItems(0x200 + fS.SamplingRate);
  double seconds = rate > 0 ? fS.CaptureDelay / rate : 0;
  Say(QStringLiteral("Capture delay...") + FormatTime(std::floor(seconds)));
  const int countdown = seconds > 2.0 ? static_cast<int>(seconds) : 0;
  if (countdown) OnUi([this, countdown] { fObserver.DelayCountdown(countdown); });
  bool ok = WaitFor(kDelayOver);
  if (countdown) OnUi([this] { fObserver.DelayCountdown(0); });
  return ok;
}

void TCaptureThread::Fail() {
  requestInterruption();
  Finish(nullptr);
}

bool TCaptureThread::Transfer() {
  R.Lib.StopCapture();
  Say("Transfering data...");
  ReadParts();
  if (LibraryFailed()) {
    Fail();
    return false;
  }
  return true;
}

bool TCaptureThread::BeginCycles() {
  if (!R.HardwarePresent) {
    SimulateUntilStopped();
    return false;
  }
  Say("Starting capture...");
  R.ConfigApplied = 0;
  return true;
}

bool TCaptureThread::NextCycle() {
  QThread::yieldCurrentThread();
  if (R.ConfigApplied == 0 && !Reapply()) {
    Fail();
    return false;
  }
  return true;
}

void TCaptureThread::ReadParts() {
  if (R.HasAnalog()) ReadAnalogData(R, fS, R.CaptureA, R.CaptureB);
  if (R.HasDigital()) ReadDigitalData(R, fS, R.CaptureD);
}

void TCaptureThread::SimulateUntilStopped() {
  while (!isInterruptionRequested()) {
    QThread::yieldCurrentThread();
    fS = TakeCaptureSettings(R);
    ReadParts();
    Present();
  }
}

const char *TCaptureThread::WaitingText() const {
  return fS.TriggerDomain == 0 ? "Waiting for analog trigger..." : "Waiting for digital trigger...";
}

void TSingleThread::Body() {
  if (!R.HardwarePresent) {
    fS = TakeCaptureSettings(R);
    ReadParts();
    Present();
    return;
  }
  if (R.ClockSource == 2) {
    RunStrobe();
    return;
  }
  Say("Starting capture...");
  if (!Reapply()) {
    Fail();
    return;
  }
  R.Lib.StartCapture();
  Say("Filling pre-trigger buffer...");
  if (!WaitFor(kPreTriggerFilled)) return;
  OnUi([this] { fObserver.PreTriggerFilled(); });
  Say(WaitingText());
  bool waiting = WaitFor(kTriggered, [this] {
    if (R.ConfigApplied == 0) {
      // The single worker re-sends without looking at the outcome.
      Resend();
      R.Lib.StartCapture();
    }
    if (R.ThresholdApplied == 0) SetThreshold();
    if (R.ForceTriggerRequest) {
      R.Lib.ForceTrigger();
      R.ForceTriggerRequest = 0;
    }
  });
  if (!waiting) return;
  TriggerSound();
  OnUi([this] { fObserver.TriggerSeen(); });
  if (!CaptureDelayPhase()) return;
  Say("Filling post-trigger buffer...");
  if (!WaitFor(kComplete)) return;
  if (!Transfer()) return;
  Present();
}

void TSingleThread::RunStrobe() {
  Say("Starting capture...");
  if (!Reapply()) {
    Fail();
    return;
  }
  R.Lib.StartCapture();
  Say("Filling buffer...");
  int32_t shown = -1;
  for (;;) {
    uint8_t s = R.Lib.ReadStatus();
    int32_t strobes = R.Lib.GetStopPosition();
    // Only a changed count is worth a trip to the windows.
    if (strobes != shown) {
      Say(QString::asprintf("Filling buffer... (%d external clocks)", strobes));
      shown = strobes;
    }
    if (isInterruptionRequested() || (s & kPreTriggerFilled)) break;
    if (InstrumentLost()) {
      R.Lib.StopCapture();
      Fail();
      return;
    }
    QThread::yieldCurrentThread();
  }
  R.Lib.StopCapture();
  fStopPosition = R.Lib.GetStopPosition();
  R.Lib.Clear();
  ReadDigitalData(R, fS, R.CaptureD);
  // Nothing was sampled after the last strobe: what the memory holds there is
  // left over from before.
  if (fStopPosition >= 0 && static_cast<uint32_t>(fStopPosition) <= fS.BuffLength)
    for (size_t i = static_cast<size_t>(fStopPosition); i < fS.BuffLength && i < R.CaptureD.size();
         ++i)
      R.CaptureD[i] = 0;
  Present();
}

void TRepeatThread::Body() {
  if (!BeginCycles()) return;
  for (;;) {
    if (!NextCycle()) return;
    R.Lib.StartCapture();
    Say("Filling pre-trigger buffer...");
    if (!WaitFor(kPreTriggerFilled)) return;
    OnUi([this] { fObserver.PreTriggerFilled(); });
    Say(WaitingText());
    bool failed = false;
    bool waiting = WaitFor(kTriggered, [this, &failed] {
      if (failed) return;
      if (R.ConfigApplied == 0) {
        if (!Reapply()) {
          failed = true;
          requestInterruption();
          return;
        }
        R.Lib.StartCapture();
      }
      if (R.ThresholdApplied == 0) SetThreshold();
      if (R.ForceTriggerRequest) {
        R.Lib.ForceTrigger();
        R.ForceTriggerRequest = 0;
        R.ForcedTrigger = 1;
      }
    });
    if (failed) {
      Finish(nullptr);
      return;
    }
    if (!waiting) return;
    TriggerSound();
    if (R.ForcedTrigger) {
      // The forced trigger replaced the trigger mode; the next cycle sends the
      // configuration again.
      R.ConfigApplied = 0;
      R.ForcedTrigger = 0;
    }
    OnUi([this] { fObserver.TriggerSeen(); });
    if (!CaptureDelayPhase()) return;
    Say("Filling post-trigger buffer...");
    if (!WaitFor(kComplete)) return;
    if (!Transfer()) return;
    Present();
    if (isInterruptionRequested()) return;
  }
}

void TAutoThread::Body() {
  if (!BeginCycles()) return;
  for (;;) {
    if (!NextCycle()) return;
    if (R.ThresholdApplied == 0) SetThreshold();
    R.Lib.StartCapture();
    Say("Filling pre-trigger buffer...");
    if (!WaitFor(kPreTriggerFilled)) return;
    Say(WaitingText());
    double rate = R.Lib.GetClockItems(0x200 + fS.SamplingRate);
    double ms = rate > 0 ? fS.BuffLength / rate * 1000.0 : 0;
    const qint64 timeout = static_cast<qint64>(std::floor(ms + 0.5));
    QElapsedTimer clock;
    clock.start();
    // No trigger within one buffer time: force it, on every pass until it comes.
    for (;;) {
      uint8_t status = R.Lib.ReadStatus();
      if (isInterruptionRequested()) {
        R.Lib.StopCapture();
        return;
      }
      if (status & kTriggered) break;
      if (InstrumentLost()) {
        Fail();
        return;
      }
      if (clock.elapsed() > timeout) {
        Say("Triggered.");
        R.Lib.ForceTrigger();
      }
      QThread::yieldCurrentThread();
    }
    Say("Filling post-trigger buffer...");
    if (!WaitFor(kComplete)) return;
    if (!Transfer()) return;
    Present();
    if (isInterruptionRequested()) return;
  }
}
