// Loading and saving a project of 524288 samples on every channel: two analog
// channels and a 32-bit logic buffer (6 MiB of sample files).
#include "fake_library.h"
#include "files.h"
#include "settings.h"

#include <QTemporaryDir>

#include <benchmark/benchmark.h>

namespace {

constexpr uint32_t kSamples = 524288;

struct TProject {
  QTemporaryDir dir;
  TVELK r;
  TProject() {
    SetUpFakeRecord(r, TFakeModel::Mixed, "Cobalt", kSamples);
    CMyIni empty;
    ReadSettings(r, empty);
    for (uint32_t i = 0; i < kSamples; ++i) {
      r.SamplesA[i] = static_cast<float>(i % 256) - 128;
      r.SamplesB[i] = static_cast<float>(i % 100);
      r.DigitalSamples[0][i] = i * 2654435761u;
    }
    r.FileName = dir.filePath(QStringLiteral("p.prj"));
    r.LastFileKind = kFileProject;
  }
};

void BM_SaveProject(benchmark::State &state) {
  TProject p;
  for (auto _ : state)
    if (!SaveFile(p.r)) state.SkipWithError(p.r.StatusText);
  state.SetBytesProcessed(state.iterations() * 3 * kSamples * 4);
}
BENCHMARK(BM_SaveProject)->Unit(benchmark::kMillisecond);

void BM_LoadProject(benchmark::State &state) {
  TProject p;
  SaveFile(p.r);
  for (auto _ : state)
    if (!LoadFile(p.r, p.r.FileName)) state.SkipWithError(p.r.StatusText);
  state.SetBytesProcessed(state.iterations() * 3 * kSamples * 4);
}
BENCHMARK(BM_LoadProject)->Unit(benchmark::kMillisecond);

} // namespace
