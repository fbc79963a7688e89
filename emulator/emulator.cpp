#include "emulator.h"

#include <cstdio>
#include <cstdlib>
#include <map>

namespace velkemu {

namespace {

std::string Trim(const std::string &s) {
  size_t b = s.find_first_not_of(" \t");
  if (b == std::string::npos) return "";
  size_t e = s.find_last_not_of(" \t");
  return s.substr(b, e - b + 1);
}

std::vector<std::string> SplitList(const char *list) {
  std::vector<std::string> items;
  if (!list) return items;
  std::string text = list;
  size_t at = 0;
  for (;;) {
    size_t comma = text.find(',', at);
    std::string item = Trim(text.substr(at, comma == std::string::npos ? comma : comma - at));
    if (!item.empty()) items.push_back(item);
    if (comma == std::string::npos) break;
    at = comma + 1;
  }
  return items;
}

// The environment's signals and speed; a signal list with a syntax error or a speed
// that is not a number of at least 0 is reported and ignored.
void LoadSignals(TBench &bench) {
  const char *list = std::getenv("VELK_EMULATE_SIGNALS");
  std::string why;
  if (!TSignalSet::Make(list, bench.signals, &why)) {
    std::fprintf(stderr, "velkemu: VELK_EMULATE_SIGNALS ignored: %s\n", why.c_str());
    TSignalSet::Make(nullptr, bench.signals);
  }
}

void LoadSpeed(TBench &bench) {
  const char *speed = std::getenv("VELK_EMULATE_SPEED");
  if (!speed || !*speed) return;
  char *end = nullptr;
  double value = std::strtod(speed, &end);
  if (*end == '\0' && value >= 0 && value <= 1e12)
    bench.speed = value;
  else
    std::fprintf(stderr, "velkemu: VELK_EMULATE_SPEED ignored: '%s'\n", speed);
}

} // namespace

TEmulator::TEmulator() {
  LoadSpeed(bench);
  Reset(std::getenv("VELK_EMULATE"));
}

TEmulator::~TEmulator() {
  pending.SetEnabled(false);
}

int TEmulator::Reset(const char *list) {
  for (auto &h : handles_)
    h->open = false;
  devices.clear();
  LoadSignals(bench);
  log.Clear();
  std::map<int, int> ordinals; // per model: 1 for the first instrument, 2 for the next...
  for (const std::string &description : SplitList(list)) {
    auto d = std::make_unique<TDevice>();
    d->description = description;
    char serial[16];
    std::snprintf(serial, sizeof serial, "VE%06d", int(devices.size() + 1));
    d->serial = serial;
    int model = ModelFromDescription(description);
    d->instrument = std::make_unique<TInstrument>(model, ++ordinals[model], bench);
    devices.push_back(std::move(d));
  }
  return int(devices.size());
}

TDevice *TEmulator::Device(int dev) {
  return dev >= 0 && size_t(dev) < devices.size() ? devices[dev].get() : nullptr;
}

THandle *TEmulator::Find(const void *h) {
  if (!known_.count(h)) return nullptr;
  auto *record = static_cast<THandle *>(const_cast<void *>(h));
  return record->open ? record : nullptr;
}

int TEmulator::ListedDevice(int index) {
  if (index < 0) return -1;
  for (size_t dev = 0; dev < devices.size(); ++dev)
    if (devices[dev]->plugged && index-- == 0) return int(dev);
  return -1;
}

int TEmulator::ListedCount() {
  int n = 0;
  for (auto &d : devices)
    n += d->plugged;
  return n;
}

THandle *TEmulator::Open(int dev) {
  TDevice &d = *devices[dev];
  auto record = std::make_unique<THandle>();
  record->dev = dev;
  d.handle = record.get();
  known_.insert(record.get());
  handles_.push_back(std::move(record));
  return d.handle;
}

// A download cut short by closing the handle is dropped: the next open finds
// the bridge in normal mode and the instrument unconfigured.
void TEmulator::Close(THandle *h) {
  h->open = false;
  if (h->gone) return;
  TDevice &d = *devices[h->dev];
  d.handle = nullptr;
  d.instrument->AbandonBitBang();
}

void TEmulator::Unplug(TDevice &d) {
  d.plugged = false;
  d.unplugAfter = 0;
  if (d.handle) d.handle->gone = true;
  d.handle = nullptr;
}

// Plugging in again powers the instrument up from scratch; handles from
// before the unplug stay dead.
void TEmulator::Replug(TDevice &d) {
  d.unplugAfter = 0;
  if (d.plugged) return;
  d.plugged = true;
  d.latencyTimer = 16;
  d.instrument->PowerCycle();
}

void TEmulator::CountTransfer(TDevice &d) {
  if (d.unplugAfter > 0 && --d.unplugAfter == 0) Unplug(d);
}

TEmulator &Emu() {
  static TEmulator emulator;
  return emulator;
}

namespace {
// Builds the devices of VELK_EMULATE as the library loads, not at first use.
[[maybe_unused]] TEmulator &loadTime = Emu();
} // namespace

} // namespace velkemu
