// The time from the program's start to its first shown window, against the
// emulated two-channel scope under the offscreen platform: start-up (library,
// listing, image download, information block, settings), the windows, the
// first idle step. The goal is under a second.
#include "program.h"
#include "velkemu.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

namespace {

void FirstWindow(benchmark::State &state) {
  QTemporaryDir home;
  qputenv("XDG_DATA_HOME", QFile::encodeName(home.filePath("data")));
  QDir().mkpath(home.filePath("run"));
  qputenv("XDG_RUNTIME_DIR", QFile::encodeName(home.filePath("run")));
  qputenv("VELK_INSTALL_RECORD_DIR", QFile::encodeName(home.filePath("etc")));
  for (auto _ : state) {
    velkemu_reset("Dorian");
    TProgramOptions options;
    options.Emulate = QStringLiteral("Dorian");
    options.AppFolder = QStringLiteral(VELK_BENCH_BIN_DIR);
    TProgram program(options);
    bool shown = false;
    program.FirstShown = [&] { shown = true; };
    if (!program.Start()) {
      state.SkipWithError("the program did not start");
      return;
    }
    QElapsedTimer limit;
    limit.start();
    while (!shown && limit.elapsed() < 10000)
      QApplication::processEvents(QEventLoop::AllEvents, 1);
    state.PauseTiming();
    program.Finish();
    state.ResumeTiming();
  }
}
BENCHMARK(FirstWindow)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(5);

} // namespace

int main(int argc, char **argv) {
  qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
