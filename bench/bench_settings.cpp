// Reading and writing a full settings file: every section, 8 interpreters, the
// 40-word channel table and a state-definition file of 400 lines.
#include "fake_library.h"
#include "settings.h"
#include "statedefs.h"

#include <QFileInfo>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstring>

namespace {

// The mixed model's 16 channels: four buses of two channels, four RS-232
// decoders, four plain channels, and the 16 absent ones.
void FullRecord(TVELK &r, const QString &folder) {
  SetUpFakeRecord(r, TFakeModel::Mixed, "Cobalt");
  r.SettingsFolder = folder + u'/';
  CMyIni empty;
  ReadSettings(r, empty);
  int row = 0, channel = 0;
  for (int slot = 0; slot < kMaxInterpreters; ++slot) {
    const bool bus = slot < 4;
    r.ChConfig[row++] = kChIntp | static_cast<uint32_t>(kIntpIdBase + slot);
    for (int m = 0; m < (bus ? 2 : 1); ++m)
      r.ChConfig[row++] = kChMember | channel++;
    r.Interpreters[slot] = std::make_unique<TIntpDef>();
    std::snprintf(r.Interpreters[slot]->Name, sizeof r.Interpreters[slot]->Name, "Decoder %d",
                  slot);
    r.Interpreters[slot]->Type = bus ? kIntpBus : kIntpRS232;
    r.Interpreters[slot]->Bus.Width = 2;
  }
  while (channel < 16)
    r.ChConfig[row++] = kChChannel | channel++;
  while (channel < 32)
    r.ChConfig[row++] = kChAbsent | channel++;
  for (int n = 0; n < kMaxChannels; ++n)
    std::snprintf(r.ChName[n], kChNameSize, "Line %d", n);

  std::vector<TStateDef> defs(400);
  for (int i = 0; i < 400; ++i) {
    defs[i].Value = i * 163;
    std::snprintf(defs[i].Name, sizeof defs[i].Name, "STATE_%d", i);
  }
  r.StateDefFile = folder + QStringLiteral("/states.def");
  SaveStateDefs(r.StateDefFile, QStringLiteral("Other"), defs);
  LoadStateDefs(r, r.StateDefFile);
  r.StateDefIntp = 0;
}

void BM_WriteSettings(benchmark::State &state) {
  QTemporaryDir dir;
  TVELK r;
  FullRecord(r, dir.path());
  for (auto _ : state)
    benchmark::DoNotOptimize(WriteSettings(r));
  state.counters["file_bytes"] = static_cast<double>(QFileInfo(SettingsFileName(r)).size());
}
BENCHMARK(BM_WriteSettings)->Unit(benchmark::kMicrosecond);

void BM_ReadSettings(benchmark::State &state) {
  QTemporaryDir dir;
  TVELK r;
  FullRecord(r, dir.path());
  WriteSettings(r);
  TVELK back;
  SetUpFakeRecord(back, TFakeModel::Mixed, "Cobalt");
  back.SettingsFolder = r.SettingsFolder;
  for (auto _ : state)
    ReadSettings(back);
  if (back.StateDefs.size() != 400 || !back.Interpreters[7]) state.SkipWithError("not read back");
}
BENCHMARK(BM_ReadSettings)->Unit(benchmark::kMicrosecond);

// The store alone, without the disk: parsing and writing the same file.
void BM_SettingsStoreInMemory(benchmark::State &state) {
  QTemporaryDir dir;
  TVELK r;
  FullRecord(r, dir.path());
  CMyIni ini;
  WriteSettings(r, ini);
  const QByteArray bytes = ini.Serialize();
  ini.Discard();
  for (auto _ : state) {
    CMyIni parsed;
    benchmark::DoNotOptimize(parsed.OpenBytes(bytes, QStringLiteral("Settings")));
    benchmark::DoNotOptimize(parsed.Serialize());
  }
  state.SetBytesProcessed(state.iterations() * bytes.size());
}
BENCHMARK(BM_SettingsStoreInMemory)->Unit(benchmark::kMicrosecond);

} // namespace
