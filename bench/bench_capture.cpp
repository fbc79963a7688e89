// The host's own cost per capture: repeat mode against the emulator at 4096
// samples with the emulator's time factor set so high that the instrument never
// makes the host wait. What remains is set-up, polling, transfer and hand-over.
#include "control.h"
#include "startup.h"
#include "ui.h"
#include "velkemu.h"

#include <benchmark/benchmark.h>

#include <QDir>
#include <QTemporaryDir>

#include <condition_variable>
#include <cstdlib>
#include <mutex>

namespace {

struct TSilentUi : TUserInterface {
  void ShowMessage(const QString &, const QString &, TMessageIcon) override {}
  bool AskOkCancel(const QString &, const QString &, TMessageIcon) override { return true; }
  int SelectDevice(const QString &, const QString &, const QStringList &) override { return 0; }
};

struct TCounter : TCaptureObserver {
  std::mutex Mutex;
  std::condition_variable Changed;
  int64_t Presented = 0;
  void ShowStatus() override {}
  void PresentCapture() override {
    std::lock_guard<std::mutex> lock(Mutex);
    ++Presented;
    Changed.notify_all();
  }
  void CaptureFinished() override {}
  void WaitBeyond(int64_t n) {
    std::unique_lock<std::mutex> lock(Mutex);
    Changed.wait(lock, [&] { return Presented > n; });
  }
};

void RepeatCaptureRate(benchmark::State &state) {
  QTemporaryDir home;
  setenv("XDG_DATA_HOME", home.filePath("data").toLocal8Bit().constData(), 1);
  QDir().mkpath(home.filePath("run"));
  setenv("XDG_RUNTIME_DIR", home.filePath("run").toLocal8Bit().constData(), 1);
  setenv("VELK_D2XX_LIBRARY", VELK_BENCH_EMULATOR, 1);
  velkemu_reset(state.range(0) ? "Brisk" : "Dorian");
  velkemu_set_speed(1e6);
  velkemu_log_data(0);
  TSilentUi ui;
  TStartupOptions options;
  options.AppFolder = QStringLiteral(VELK_BENCH_BIN_DIR);
  options.InstallRecordFolder = home.filePath("etc");
  TStartup startup(&ui, options);
  if (!startup.Init()) {
    state.SkipWithError("no emulated instrument");
    return;
  }
  TVELK &r = *startup.Record();
  r.BuffLength = 4096;
  r.TriggerAt = 2048;
  r.CaptureDelay = 0;
  r.SamplingRate = 7; // 1 MHz
  r.TriggerType = 1;
  TCounter counter;
  {
    TCaptureControl control(r, counter);
    control.Capture(r.HasAnalog() ? TCaptureControl::kAnalogWindow : TCaptureControl::kLogicWindow);
    counter.WaitBeyond(0);
    for (auto _ : state) {
      int64_t now;
      {
        std::lock_guard<std::mutex> lock(counter.Mutex);
        now = counter.Presented;
      }
      counter.WaitBeyond(now);
    }
    control.Stop();
  }
  state.SetItemsProcessed(state.iterations());
  state.SetLabel(state.range(0) ? "logic analyzer, captures/s" : "two-channel scope, captures/s");
  startup.Shutdown(false);
}
BENCHMARK(RepeatCaptureRate)
    ->Arg(0)
    ->Arg(1)
    ->Unit(benchmark::kMicrosecond)
    ->UseRealTime()
    ->MinTime(2.0);

} // namespace

BENCHMARK_MAIN();
