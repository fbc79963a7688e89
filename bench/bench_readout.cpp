// Host-side cost of unpacking a full capture: VELK_GetDataD on the logic
// analyzer and VELK_GetDataA on the two-channel scope, 524288 samples each, next
// to the bare bank transfers they are made of. The difference is the unpacking.
#include "emulated.h"

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <string>
#include <vector>

namespace {

constexpr int32_t kSamples = 524288;

bool Open(const char *model) {
  if (!OpenEmulated(model, false, true)) return false;
  // The read-out only needs the stored length and clock; no capture has to run.
  VELK_CPBuffers(kSamples, kSamples / 2);
  VELK_CPSampling(0, 7, 0);
  return true;
}

void Finish(benchmark::State &state) {
  char text[103];
  if (VELK_GetLastError(text) != 0) state.SkipWithError(text);
  state.SetItemsProcessed(static_cast<int64_t>(state.iterations()) * kSamples);
  VELK_FreeDriver();
}

void GetDataD(benchmark::State &state) {
  if (!Open("Brisk")) {
    state.SkipWithError("no emulated analyzer");
    return;
  }
  std::vector<uint32_t> samples(kSamples);
  for (auto _ : state) {
    VELK_GetDataD(samples.data());
    benchmark::DoNotOptimize(samples.data());
  }
  Finish(state);
}
BENCHMARK(GetDataD)->Unit(benchmark::kMillisecond)->UseRealTime();

void AnalyzerBankReadsOnly(benchmark::State &state) {
  if (!Open("Brisk")) {
    state.SkipWithError("no emulated analyzer");
    return;
  }
  std::vector<uint8_t> bank(kSamples);
  for (auto _ : state) {
    for (int b = 0; b < 4; ++b)
      VELK_ReadRAM(b, bank.data(), kSamples);
    benchmark::DoNotOptimize(bank.data());
  }
  Finish(state);
}
BENCHMARK(AnalyzerBankReadsOnly)->Unit(benchmark::kMillisecond)->UseRealTime();

void GetDataA(benchmark::State &state) {
  if (!Open("Dorian")) {
    state.SkipWithError("no emulated scope");
    return;
  }
  std::vector<float> a(kSamples), b(kSamples);
  for (auto _ : state) {
    VELK_GetDataA(a.data(), b.data());
    benchmark::DoNotOptimize(a.data());
    benchmark::DoNotOptimize(b.data());
  }
  Finish(state);
}
BENCHMARK(GetDataA)->Unit(benchmark::kMillisecond)->UseRealTime();

void ScopeBankReadsOnly(benchmark::State &state) {
  if (!Open("Dorian")) {
    state.SkipWithError("no emulated scope");
    return;
  }
  std::vector<uint8_t> bank(kSamples);
  for (auto _ : state) {
    VELK_ReadRAM(2, bank.data(), kSamples);
    VELK_ReadRAM(3, bank.data(), kSamples);
    benchmark::DoNotOptimize(bank.data());
  }
  Finish(state);
}
BENCHMARK(ScopeBankReadsOnly)->Unit(benchmark::kMillisecond)->UseRealTime();

} // namespace
BENCHMARK_MAIN();
