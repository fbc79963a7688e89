#include "fake_library.h"

#include <csignal>

namespace {

const int32_t kFrequencies[19] = {
    200000000, 100000000, 50000000, 20000000, 10000000, 5000000, 2000000, 1000000, 500000, 200000,
    100000,    50000,     20000,    10000,    5000,     2000,    1000,    500,     200};
const int32_t kGains[8] = {25000, 10000, 5000, 2500, 1000, 500, 250, 100};

struct TModelTable {
  bool ChannelB;
  int32_t DigitalAtFastest, Digital;
  int32_t Gains;
  int32_t HalfRange;
  int32_t Features;
};

constexpr TModelTable kTables[] = {
    {true, 0, 0, 8, 128, 0x01},  // Scope
    {false, 16, 32, 0, 0, 0x1E}, // Logic
    {true, 8, 16, 8, 128, 0x1F}, // Mixed
};

// The selectors of the library: 0x100 count, 0x200 + i frequency, 0x400 + i
// channel B, 0x800 + i digital channels, 0x1000 + i interleave.
template <int M> int32_t ClockItems(int32_t selector) {
  const TModelTable &t = kTables[M];
  const int i = selector & 0xFF;
  if (selector & 0x100) return 19;
  if (i >= 19) return 0;
  if (selector & 0x200) return kFrequencies[i];
  if (selector & 0x400) return t.ChannelB && i != 0 ? 1 : 0;
  if (selector & 0x800) return i == 0 ? t.DigitalAtFastest : t.Digital;
  if (selector & 0x1000) return i == 0 ? 2 : 1;
  return 0;
}

template <int M> int32_t GainItems(int32_t selector) {
  const TModelTable &t = kTables[M];
  const int i = selector & 0xFF;
  if (selector & 0x100) return t.Gains;
  if (selector & 0x200) return i < t.Gains ? kGains[i] : 0;
  return 0;
}

template <int M> int32_t ConfigItems(int32_t selector) {
  const TModelTable &t = kTables[M];
  if (selector & 0x100) return t.Features;
  if (selector & 0x200) return t.HalfRange;
  return 0;
}

template <int M> void Install(TVELK &r) {
  r.Lib.GetClockItems = ClockItems<M>;
  r.Lib.GetGainItems = GainItems<M>;
  r.Lib.GetConfigItems = ConfigItems<M>;
}

} // namespace

void InstallFakeLibrary(TVELK &r, TFakeModel model) {
  r.Lib = {};
  switch (model) {
  case TFakeModel::Scope:
    Install<0>(r);
    break;
  case TFakeModel::Logic:
    Install<1>(r);
    break;
  case TFakeModel::Mixed:
    Install<2>(r);
    break;
  }
}

void SetUpFakeRecord(TVELK &r, TFakeModel model, const char *description, uint32_t capacity) {
  InstallFakeLibrary(r, model);
  r.SetStatus("");
  qstrncpy(r.DeviceDescription, description, kDescriptionSize);
  r.BufferCapacity = capacity;
  r.AllocateBuffers();
}

void TRecordingUi::ShowMessage(const QString &text, const QString &caption, TMessageIcon icon) {
  Messages.push_back({text, caption, icon});
}

bool TRecordingUi::AskOkCancel(const QString &text, const QString &caption, TMessageIcon icon) {
  Messages.push_back({text, caption, icon});
  return Answer;
}

TDiskFull::TDiskFull(rlim_t bytes) {
  fOldHandler = std::signal(SIGXFSZ, SIG_IGN);
  getrlimit(RLIMIT_FSIZE, &fOld);
  rlimit limit = fOld;
  limit.rlim_cur = bytes;
  setrlimit(RLIMIT_FSIZE, &limit);
}

TDiskFull::~TDiskFull() {
  setrlimit(RLIMIT_FSIZE, &fOld);
  std::signal(SIGXFSZ, fOldHandler);
}
