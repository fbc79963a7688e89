#include "workers.h"

#include "acquire.h"
#include "format.h"

#include <QElapsedTimer>

#include <cmath>

namespace {

constexpr uint8_t kPreTriggerFilled = 0x80;
constexpr uint8_t kTriggered = 0x02;
constexpr uint8_t kDelayOver = 0x08;
constexpr uint8_t kComplete = 0x01;

} // namespace

QThread::Priority WorkerPriority(uint8_t p) {
  static const QThread::Priority kPriorities[7] = {
      QThread::IdlePriority,        QThread::LowestPriority, QThread::LowPriority,
      QThread::NormalPriority,      QThread::HighPriority,   QThread::HighestPriority,
      QThread::TimeCriticalPriority};
  return kPriorities[p < 7 ? p : 3];
}

void TCaptureThread::Say(const char *text) {
  R.SetStatus(text);
  fObserver.ShowStatus();
}

void TCaptureThread::Say(const QString &text) {
  R.SetStatus(text);
  fObserver.ShowStatus();
}

void TCaptureThread::Finish(const char *status) {
  fObserver.CaptureFinished();
  R.Capturing = 0;
  if (status) R.SetStatus(status);
  fObserver.ShowStatus();
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

bool TCaptureThread::InstrumentLost() {
  char text[103] = {};
  if (R.Lib.GetLastError(text) == 0) return false;
  R.SetStatus(text);
  return true;
}

bool TCaptureThread::WaitFor(uint8_t bits) {
  return WaitFor(bits, [] {});
}

bool TCaptureThread::Reapply() {
  ApplyCaptureConfig(R);
  if (LibraryFailed()) return false;
  R.ConfigApplied = 1;
  R.ThresholdApplied = 1;
  return true;
}

void TCaptureThread::SetThreshold() {
  if (R.TriggerDomain == 0)
    R.Lib.SetThresholdA(R.AnalogThreshold, R.ThresholdMargin);
  else
    R.Lib.SetThresholdD(R.DigitalThreshold);
  R.ThresholdApplied = 1;
}

void TCaptureThread::TriggerSound() {
  if (R.TriggerBeep & 0x01) fObserver.TriggerSound((R.TriggerBeep & 0x02) != 0);
}

bool TCaptureThread::CaptureDelayPhase() {
  if (R.CaptureDelay == 0) return true;
  double rate = R.Lib.GetClockItems(0x200 + R.SamplingRate);
  double seconds = rate > 0 ? R.CaptureDelay / rate : 0;
  Say(QStringLiteral("Capture delay...") + FormatTime(std::floor(seconds)));
  bool countdown = seconds > 2.0;
  if (countdown) fObserver.DelayCountdown(static_cast<int>(seconds));
  bool ok = WaitFor(kDelayOver);
  if (countdown) fObserver.DelayCountdown(0);
  return ok;
}

void TCaptureThread::Fail() {
  fFailed = true;
  requestInterruption();
  Finish(nullptr);
}

bool TCaptureThread::Transfer() {
  R.Lib.StopCapture();
  Say("Transfering data...");
  Simulate();
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

void TCaptureThread::Simulate() {
  if (R.HasAnalog()) ReadAnalogData(R);
  if (R.HasDigital()) ReadDigitalData(R);
}

void TCaptureThread::SimulateUntilStopped() {
  while (!isInterruptionRequested()) {
    QThread::yieldCurrentThread();
    Simulate();
    Present();
  }
  Finish("Capture stopped.");
}

const char *TCaptureThread::WaitingText() const {
  return R.TriggerDomain == 0 ? "Waiting for analog trigger..." : "Waiting for digital trigger...";
}

void TSingleThread::run() {
  if (!R.HardwarePresent) {
    Simulate();
    Present();
    Finish("Capture stopped.");
    return;
  }
  if (R.ClockSource == 2) {
    RunStrobe();
    return;
  }
  Say("Starting capture...");
  ApplyCaptureConfig(R);
  if (LibraryFailed()) {
    Fail();
    return;
  }
  R.ConfigApplied = 1;
  R.ThresholdApplied = 1;
  R.Lib.StartCapture();
  Say("Filling pre-trigger buffer...");
  if (!WaitFor(kPreTriggerFilled)) return;
  fObserver.PreTriggerFilled();
  Say(WaitingText());
  bool waiting = WaitFor(kTriggered, [this] {
    if (R.ConfigApplied == 0) {
      // The single worker re-sends without looking at the outcome.
      ApplyCaptureConfig(R);
      R.Lib.StartCapture();
      R.ConfigApplied = 1;
      R.ThresholdApplied = 1;
    }
    if (R.ThresholdApplied == 0) SetThreshold();
    if (R.ForceTriggerRequest) {
      R.Lib.ForceTrigger();
      R.ForceTriggerRequest = 0;
    }
  });
  if (!waiting) return;
  TriggerSound();
  fObserver.TriggerSeen();
  if (!CaptureDelayPhase()) return;
  Say("Filling post-trigger buffer...");
  if (!WaitFor(kComplete)) return;
  if (!Transfer()) return;
  Present();
  Finish("Capture stopped.");
}

void TSingleThread::RunStrobe() {
  Say("Starting capture...");
  ApplyCaptureConfig(R);
  if (LibraryFailed()) {
    Fail();
    return;
  }
  R.Lib.StartCapture();
  Say("Filling buffer...");
  for (;;) {
    uint8_t s = R.Lib.ReadStatus();
    Say(QString::asprintf("Filling buffer... (%d external clocks)", R.Lib.GetStopPosition()));
    if (isInterruptionRequested() || (s & kPreTriggerFilled)) break;
    if (InstrumentLost()) {
      R.Lib.StopCapture();
      Fail();
      return;
    }
    QThread::yieldCurrentThread();
  }
  R.Lib.StopCapture();
  R.StopPosition = R.Lib.GetStopPosition();
  R.Lib.Clear();
  ReadDigitalData(R);
  // Nothing was sampled after the last strobe: what the memory holds there is
  // left over from before.
  int tab = R.ActiveDigitalTab >= 0 && R.ActiveDigitalTab < 3 ? R.ActiveDigitalTab : 0;
  std::vector<uint32_t> &buffer = R.DigitalSamples[tab];
  if (R.StopPosition >= 0 && static_cast<uint32_t>(R.StopPosition) <= R.BuffLength)
    for (size_t i = static_cast<size_t>(R.StopPosition); i < R.BuffLength && i < buffer.size(); ++i)
      buffer[i] = 0;
  Present();
  Finish("Capture stopped.");
}

void TRepeatThread::run() {
  if (!BeginCycles()) return;
  for (;;) {
    if (!NextCycle()) return;
    R.Lib.StartCapture();
    Say("Filling pre-trigger buffer...");
    if (!WaitFor(kPreTriggerFilled)) return;
    fObserver.PreTriggerFilled();
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
    fObserver.TriggerSeen();
    if (!CaptureDelayPhase()) return;
    Say("Filling post-trigger buffer...");
    if (!WaitFor(kComplete)) return;
    if (!Transfer()) return;
    Present();
    if (isInterruptionRequested()) {
      Finish("Capture stopped.");
      return;
    }
  }
}

void TAutoThread::run() {
  if (!BeginCycles()) return;
  for (;;) {
    if (!NextCycle()) return;
    if (R.ThresholdApplied == 0) SetThreshold();
    R.Lib.StartCapture();
    Say("Filling pre-trigger buffer...");
    if (!WaitFor(kPreTriggerFilled)) {
      if (!fFailed) Finish("Capture stopped.");
      return;
    }
    Say(WaitingText());
    double rate = R.Lib.GetClockItems(0x200 + R.SamplingRate);
    double ms = rate > 0 ? R.BuffLength / rate * 1000.0 : 0;
    const qint64 timeout = static_cast<qint64>(std::floor(ms + 0.5));
    QElapsedTimer clock;
    clock.start();
    // No trigger within one buffer time: force it, on every pass until it comes.
    bool stopped = false;
    for (;;) {
      uint8_t status = R.Lib.ReadStatus();
      if (isInterruptionRequested()) {
        R.Lib.StopCapture();
        stopped = true;
        break;
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
    if (stopped) {
      Finish("Capture stopped.");
      return;
    }
    Say("Filling post-trigger buffer...");
    if (!WaitFor(kComplete)) {
      if (!fFailed) Finish("Capture stopped.");
      return;
    }
    if (!Transfer()) return;
    Present();
    if (isInterruptionRequested()) {
      Finish("Capture stopped.");
      return;
    }
  }
}
