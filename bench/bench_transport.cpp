// Host-side throughput of bank reads through the library's transport and the
// emulator: what the host can take in, to compare with the bridge's ~40 MB/s.
#include "velkemu.h"
#include "velkio.h"

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <string>
#include <vector>

namespace {

bool OpenAnalyzer(bool pending) {
  setenv("VELK_D2XX_LIBRARY", VELK_BENCH_EMULATOR, 1);
  velkemu_reset("Brisk");
  velkemu_set_pending(pending ? 1 : 0);
  velkemu_log_data(0);
  VELK_InitDriver();
  std::string bin = VELK_BENCH_BIN_DIR;
  std::u16string folder(bin.begin(), bin.end());
  VELK_SetPath(folder.c_str());
  int32_t ids[8];
  uint8_t models[8];
  if (VELK_ListDevices(ids, models) < 1) return false;
  VELK_OpenDevice(ids[0]);
  VELK_InitDevice(models[0]);
  return VELK_ConfigDevice(false);
}

void BankRead2MiB(benchmark::State &state) {
  const bool pending = state.range(0) != 0;
  if (!OpenAnalyzer(pending)) {
    state.SkipWithError("no emulated analyzer");
    return;
  }
  std::vector<uint8_t> data(2 * 1024 * 1024);
  for (auto _ : state) {
    VELK_ReadRAM(0, data.data(), static_cast<int32_t>(data.size()));
    benchmark::DoNotOptimize(data.data());
  }
  char text[103];
  if (VELK_GetLastError(text) != 0) state.SkipWithError(text);
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) *
                          static_cast<int64_t>(data.size()));
  state.SetLabel(pending ? "pending transfers" : "immediate transfers");
  VELK_FreeDriver();
  velkemu_set_pending(0);
}
BENCHMARK(BankRead2MiB)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->UseRealTime();

} // namespace
