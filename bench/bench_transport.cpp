// Host-side throughput of bank reads through the library's transport and the
// emulator: what the host can take in, to compare with the bridge's ~40 MB/s.
#include "emulated.h"

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <string>
#include <vector>

namespace {

void BankRead2MiB(benchmark::State &state) {
  const bool pending = state.range(0) != 0;
  if (!OpenEmulated("Brisk", pending, false)) {
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
