#include "fuzz_common.h"

#include "edges.h"
#include "interpreters.h"
#include "library.h"
#include "measure.h"
#include "search.h"
#include "startup.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <string>
#include <unistd.h>

namespace {

// Item selectors use bits 0..12: the low byte is the item, 0x100..0x1000 the column.
constexpr int kSelectors = 0x2000;

struct TItemLists {
  int32_t Clock[kSelectors], Gain[kSelectors], Config[kSelectors];
};
TItemLists gLists[kFuzzModels];
std::unique_ptr<QTemporaryDir> gScratch;

template <int M> int32_t ClockItems(int32_t s) {
  return gLists[M].Clock[s & (kSelectors - 1)];
}
template <int M> int32_t GainItems(int32_t s) {
  return gLists[M].Gain[s & (kSelectors - 1)];
}
template <int M> int32_t ConfigItems(int32_t s) {
  return gLists[M].Config[s & (kSelectors - 1)];
}
template <int M> void Install(TVelkLib &lib) {
  lib.GetClockItems = ClockItems<M>;
  lib.GetGainItems = GainItems<M>;
  lib.GetConfigItems = ConfigItems<M>;
}
void (*const kInstall[kFuzzModels])(TVelkLib &) = {Install<0>, Install<1>, Install<2>, Install<3>,
                                                   Install<4>};

[[noreturn]] void Fail(const char *what) {
  std::fprintf(stderr, "fuzz: %s\n", what);
  std::abort();
}

void Expect(bool ok, const char *what) {
  if (!ok) Fail(what);
}

bool Terminated(const char *field, size_t size) {
  return std::memchr(field, 0, size) != nullptr;
}

} // namespace

void FuzzSetUp() {
  static bool done = false;
  if (done) return;
  done = true;
  TVELK r;
  if (!BindLibrary(r, QStringLiteral(VELK_FUZZ_VELKIO))) Fail("libvelkio.so cannot be bound");
  r.Lib.InitDriver();
  for (int m = 0; m < kFuzzModels; ++m) {
    // As start-up does in demo mode.
    r.Lib.InitDevice(static_cast<uint8_t>(m + 1));
    if (!r.Lib.ConfigDevice(true)) Fail("the library refused a simulated model");
    for (int s = 0; s < kSelectors; ++s) {
      gLists[m].Clock[s] = r.Lib.GetClockItems(s);
      gLists[m].Gain[s] = r.Lib.GetGainItems(s);
      gLists[m].Config[s] = r.Lib.GetConfigItems(s);
    }
    r.Lib.FreeDevice();
  }
  r.Lib.FreeDriver();
  UnbindLibrary(r);

  // tmpfs where there is one: the targets write their files on every run.
  const QString base =
      QDir(QStringLiteral("/dev/shm")).exists() ? QStringLiteral("/dev/shm") : QDir::tempPath();
  gScratch = std::make_unique<QTemporaryDir>(base + QStringLiteral("/velk-fuzz-XXXXXX"));
  if (!gScratch->isValid()) Fail("no scratch folder");
}

TFuzzInScratch::TFuzzInScratch() : fBack(open(".", O_RDONLY | O_DIRECTORY | O_CLOEXEC)) {
  if (fBack < 0 || chdir(QFile::encodeName(gScratch->path()).constData()) != 0)
    Fail("cannot enter the scratch folder");
}

TFuzzInScratch::~TFuzzInScratch() {
  if (fchdir(fBack) != 0) Fail("cannot leave the scratch folder");
  close(fBack);
}

TVELK &FuzzRecord(int model, int slot) {
  static std::unique_ptr<TVELK> records[kFuzzModels][2];
  std::unique_ptr<TVELK> &r = records[model][slot];
  if (!r) {
    r = std::make_unique<TVELK>();
    kInstall[model](r->Lib);
    r->HardwarePresent = false;
    r->ModelCode = static_cast<uint8_t>(model + 1);
    r->BufferCapacity = kSimulatedCapacity;
    std::strncpy(r->DeviceDescription, kSimulatedModels[model], kDescriptionSize - 1);
    r->AllocateBuffers();
    return *r;
  }
  // Loading reads at most BuffLength words into each buffer.
  auto clear = [&](auto &buffer) {
    std::fill_n(buffer.begin(), std::min<size_t>(buffer.size(), r->BuffLength), 0);
  };
  clear(r->SamplesA);
  clear(r->SamplesB);
  for (auto &d : r->DigitalSamples)
    clear(d);
  r->SetStatus("");
  return *r;
}

int FuzzModelOf(const QString &description) {
  for (int m = 0; m < kFuzzModels; ++m)
    if (description == QLatin1String(kSimulatedModels[m])) return m;
  return -1;
}

std::vector<QByteArray> FuzzSplitFiles(const uint8_t *data, size_t size) {
  const QByteArray all(reinterpret_cast<const char *>(data), static_cast<qsizetype>(size));
  const QByteArray mark(kFuzzFileMark);
  std::vector<QByteArray> files;
  qsizetype from = 0;
  for (;;) {
    const qsizetype at = all.indexOf(mark, from);
    if (at < 0) break;
    files.push_back(all.mid(from, at - from));
    from = at + mark.size();
  }
  files.push_back(all.mid(from));
  return files;
}

QByteArray FuzzJoinFiles(const std::vector<QByteArray> &files) {
  QByteArray all;
  for (size_t i = 0; i < files.size(); ++i) {
    if (i) all += kFuzzFileMark;
    all += files[i];
  }
  return all;
}

QString FuzzPutFile(const QString &name, const QByteArray *bytes) {
  const QString path = gScratch->filePath(name);
  if (!bytes) {
    QFile::remove(path);
    return path;
  }
  QFile f(path);
  if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate) || f.write(*bytes) != bytes->size())
    Fail("the scratch folder cannot be written");
  return path;
}

void FuzzCheckRecord(const TVELK &r) {
  const int32_t clocks = r.Lib.GetClockItems(0x100);
  Expect(r.BuffLength <= r.BufferCapacity, "BuffLength beyond the capacity");
  Expect(r.BuffLength == r.BufferCapacity ||
             (r.BuffLength >= 256 && (r.BuffLength & (r.BuffLength - 1)) == 0),
         "BuffLength not one the setup can choose");
  Expect(r.TriggerAt <= r.BuffLength, "TriggerAt past the buffer");
  Expect(r.SamplingRate >= 0 && r.SamplingRate < clocks, "SamplingRate not a clock");
  Expect(r.ActiveWindow <= 1 && r.TriggerType <= 2, "general index out of range");
  if (r.HasAnalog()) {
    const int32_t gains = r.Lib.GetGainItems(0x100);
    Expect(r.GainChA >= 0 && r.GainChA < gains && r.GainChB >= 0 && r.GainChB < gains,
           "gain not in the list");
    Expect(r.ProbeChA >= 0 && r.ProbeChA <= 2 && r.ProbeChB >= 0 && r.ProbeChB <= 2,
           "probe index out of range");
    Expect(r.FFTWinSize >= 7 && r.FFTWinSize <= 15 && r.FFTWindow <= 7, "spectrum setting");
    for (const TProbe &p : r.Probes)
      Expect(Terminated(p.Caption, sizeof p.Caption) && std::isfinite(p.Divider) && p.Divider > 0,
             "probe caption or divider");
  }
  if (r.HasDigital()) {
    const int channels = r.DigitalChannelCount;
    Expect(r.EdgeChannel < channels && r.EdgeCounterCh < channels, "edge channel not present");
    for (int c = 0; c < kMaxChannels; ++c)
      Expect(Terminated(r.ChName[c], kChNameSize) && r.ChPattern[c] <= 2,
             "channel name or pattern");
    bool taken[kMaxChannels] = {};
    for (uint32_t w : r.ChConfig) {
      const uint32_t kind = w & kChKindMask, id = w & kChIdMask;
      if (kind == kChChannel || kind == kChMember || kind == kChAbsent) {
        Expect(id < static_cast<uint32_t>(kMaxChannels) && !taken[id], "a channel twice");
        taken[id] = true;
        Expect(kind == kChAbsent || id < static_cast<uint32_t>(channels), "channel not present");
      }
    }
    for (int slot = 0; slot < kMaxInterpreters; ++slot) {
      const TIntpDef *d = r.Interpreters[slot].get();
      const int row = InterpreterRow(r.ChConfig, slot);
      Expect((d != nullptr) == (row >= 0), "definition without its row or row without definition");
      if (!d) {
        Expect(r.InterpreterData[slot].empty(), "decoded words of a missing interpreter");
        continue;
      }
      Expect(r.InterpreterData[slot].size() == r.BufferCapacity, "decoded words not a buffer");
      Expect(Terminated(d->Name, sizeof d->Name) && d->Type <= kIntpRS232 && d->DispMode() <= 2,
             "interpreter name, type or display");
      const int width = InterpreterWidth(r.ChConfig, slot);
      if (d->Type == kIntpBus)
        Expect(width >= 2 && width <= kMaxBusWidth && d->Bus.Width == width, "bus width");
      else
        Expect(width == 1 && d->RS232.BaudRate >= 1 && d->RS232.DataBits >= 4 &&
                   d->RS232.DataBits <= 8 && d->RS232.StopBits >= 0 && d->RS232.StopBits <= 2 &&
                   d->RS232.Parity >= 0 && d->RS232.Parity <= 4,
               "serial parameters");
    }
    Expect(r.StateDefIntp >= -1 && r.StateDefIntp < kMaxInterpreters, "StateDefIntp");
    // The definitions name the values of a bus that is there.
    Expect(r.StateDefIntp < 0 ||
               (r.Interpreters[r.StateDefIntp] && r.Interpreters[r.StateDefIntp]->Type == kIntpBus),
           "StateDefIntp names no bus");
    Expect(r.StateDefFileType <= 1, "StateDefFileType");
    Expect(!r.StateDefFile.isEmpty() || (r.StateDefs.empty() && r.StateDefTitle.isEmpty()),
           "state definitions without their file");
  }
  Expect(r.TriggerBeep <= 3 && r.ThreadPriority <= 6, "configuration index out of range");
}

void FuzzUseRecord(TVELK &r) {
  if (r.HasAnalog()) ComputeAnalogStats(r);
  if (r.HasDigital()) {
    DecodeInterpreters(r);
    ComputeEdgeCounts(r);
    TPattern pattern;
    for (int c = 0; c < kMaxChannels; ++c)
      pattern[c] = static_cast<TPatternLevel>(r.ChPattern[c]);
    (void)SearchPattern(r, pattern, r.TriggerAt);
  }
}
