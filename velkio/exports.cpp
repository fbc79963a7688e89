// The flat exported interface: one process-wide library state, the transport
// and up to five model drivers, walked in their fixed order.
#include "velkio.h"

#include "driver.h"
#include "protocol.h"
#include "state.h"
#include "usb.h"

#include <algorithm>
#include <cstring>
#include <memory>

using namespace velkio;

namespace {

struct TLibrary {
  std::unique_ptr<TVelkio> state;
  std::unique_ptr<TUSB> usb;
  std::unique_ptr<TProtocol> protocol;
  std::unique_ptr<TDriver> drivers[kSlotCount];
};

TLibrary g;

struct TModelName {
  const char *description;
  uint8_t model;
};
const TModelName kModels[] = {{"Ardent", 1}, {"Brisk", 2},     {"Cobalt", 3},
                              {"Dorian", 4}, {"Dorian-12", 5}, {"Fenwick", 6}};

uint8_t ModelOfDescription(const char *description) {
  for (const TModelName &m : kModels)
    if (std::strcmp(m.description, description) == 0) return m.model;
  return 0;
}

// The caller's list arrays hold this many entries.
constexpr int32_t kListCapacity = 8;

template <typename F> void ForEachDriver(F f) {
  for (auto &d : g.drivers)
    if (d) f(*d);
}

TDriver *FirstDriver(bool (TDriver::*has)() const = nullptr) {
  for (auto &d : g.drivers)
    if (d && (!has || ((*d).*has)())) return d.get();
  return nullptr;
}

// Copies a text field of the device information, cut to fit the caller's buffer.
void CopyInfoText(char *buffer, int offset, size_t maxChars) {
  if (!buffer) return;
  if (!g.state) {
    buffer[0] = 0;
    return;
  }
  const char *field = reinterpret_cast<const char *>(g.state->DeviceInfo + offset);
  size_t n = strnlen(field, std::min<size_t>(maxChars, kInfoSize - offset));
  std::memcpy(buffer, field, n);
  buffer[n] = 0;
}

std::u16string FromArgument(const velk_char16 *text, size_t maxChars) {
  if (!text) return std::u16string();
  size_t n = 0;
  while (n < maxChars && text[n])
    ++n;
  return std::u16string(text, n);
}

// Runs a capture step. When one of its transfers failed the step ends with
// the code (the transport's text stays, or "Device not found." when the
// instrument is gone): a caller that polls the status next would otherwise
// wait for an instrument that never received the command.
template <typename F> void Step(int32_t code, F f) {
  if (!g.state) return;
  const uint32_t before = g.state->TransferFailures;
  f();
  if (g.state->TransferFailures == before) return;
  // An instrument that went away is the real cause: say that.
  g.protocol->StillThere();
  g.state->FailStep(code);
}

template <typename T> T ItemOrZero(int index, int size, T (*get)(int)) {
  return index >= 0 && index < size ? get(index) : T{};
}

} // namespace

extern "C" {

void VELK_InitDriver(void) {
  if (!g.state) g.state = std::make_unique<TVelkio>();
  if (!g.usb) {
    g.usb = std::make_unique<TUSB>(*g.state);
    g.protocol = std::make_unique<TProtocol>(*g.usb, *g.state);
  }
  // A missing provider is not reported here; every transfer fails later.
  g.usb->Bind();
}

void VELK_FreeDriver(void) {
  // The drivers hold references to the state and the transport, so they go
  // first; an open channel is left as it is.
  for (auto &d : g.drivers)
    d.reset();
  g.protocol.reset();
  g.state.reset();
  g.usb.reset();
}

void VELK_SetPath(const velk_char16 *folder) {
  if (g.state) g.state->LibraryFolder = FromArgument(folder, kLibraryFolderChars - 1);
}

int32_t VELK_ListDevices(int32_t *indexes, uint8_t *models) {
  if (!g.state) return 0;
  DWORD count = 0;
  if (!g.usb->CountDevices(count)) {
    g.state->ReportError(1, "Could not list USB devices");
    return 0;
  }
  int32_t found = 0;
  for (DWORD i = 0; i < count && found < kListCapacity; ++i) {
    char description[100] = {};
    g.usb->DescriptionByIndex(static_cast<int>(i), description);
    description[sizeof description - 1] = 0;
    uint8_t model = ModelOfDescription(description);
    if (model == 0) continue;
    if (indexes) indexes[found] = static_cast<int32_t>(i);
    if (models) models[found] = model;
    ++found;
  }
  g.state->ClearError();
  return found;
}

void VELK_GetDeviceDescr(int32_t index, char *buffer64) {
  if (!g.state) return;
  char description[100] = {};
  if (!g.usb->DescriptionByIndex(index, description))
    g.state->ReportError(1, "Could not get device descriptor");
  description[63] = 0;
  if (buffer64) std::memcpy(buffer64, description, strnlen(description, 63) + 1);
}

void VELK_OpenDevice(int32_t index) {
  if (!g.state) return;
  g.usb->DeviceIndex = index;
  char description[100] = {};
  if (!g.usb->DescriptionByIndex(index, description)) {
    g.state->ReportError(1, "Could not get device description.");
    return;
  }
  description[sizeof description - 1] = 0;
  if (!g.usb->Open(description)) {
    g.state->ReportError(2, "Could not open USB channel.");
    return;
  }
  if (!g.usb->SetupChannel()) return;
  g.state->ClearError();
}

int32_t VELK_CloseDevice(void) {
  return g.usb && g.usb->Close() ? 1 : 0;
}

bool VELK_InitDevice(uint8_t model) {
  if (!g.state) return true;
  g.state->ModelCode = model;
  int slot = SlotOfModel(model);
  if (slot >= 0) g.drivers[slot] = MakeDriver(static_cast<TSlot>(slot), *g.protocol);
  return true;
}

bool VELK_ConfigDevice(bool offline) {
  if (!g.state) return false;
  TVelkio &v = *g.state;
  std::memset(v.DeviceInfo, 0, sizeof v.DeviceInfo);
  if (!offline) {
    for (auto &d : g.drivers) {
      if (!d) continue;
      if (!g.protocol->DownloadImage(d->BaseName())) return false;
      uint8_t block[kInfoSize] = {};
      d->ReadInfoBlock(block);
      if (d->ReadsLatency()) d->ReadLatency();
      if (block[0] != 0x00 && block[0] != 0xFF) std::memcpy(v.DeviceInfo, block, kInfoSize);
      v.RamSize = (v.DeviceFlags() & kFlagLargeMemory) ? 0x80000 : 0x20000;
    }
  }
  ForEachDriver([](TDriver &d) { d.InstallTables(); });
  return true;
}

int32_t VELK_LoadLib(const velk_char16 *suffix) {
  if (!g.state) return 0;
  std::u16string s = FromArgument(suffix, kLoadedImageChars);
  int32_t result = 0;
  ForEachDriver([&](TDriver &d) { result = g.protocol->DownloadImage(d.VariantName(s)) ? 1 : 0; });
  return result;
}

void VELK_FreeDevice(void) {
  ForEachDriver([](TDriver &d) { d.Release(); });
  for (auto &d : g.drivers)
    d.reset();
}

// Capture parameters: stored only.

void VELK_CPBuffers(int32_t length, int32_t triggerPosition) {
  if (!g.state) return;
  g.state->CaptureParams.BufferLength = length;
  g.state->CaptureParams.TriggerPosition = triggerPosition;
}

void VELK_CPEdgeCounter(uint8_t on, uint8_t edge, uint8_t channel) {
  if (!g.state) return;
  g.state->CaptureParams.EdgeCounterOn = on;
  g.state->CaptureParams.EdgeCounterEdge = edge;
  g.state->CaptureParams.EdgeCounterChannel = channel;
}

void VELK_CPCaptureDelay(int32_t samples) {
  if (g.state) g.state->CaptureParams.CaptureDelay = samples;
}

void VELK_CPThresholdA(int32_t level, int32_t margin) {
  if (!g.state) return;
  g.state->CaptureParams.LevelCode = g.state->LevelToCode(level);
  g.state->CaptureParams.Margin = margin;
}

void VELK_CPThresholdD(int32_t threshold) {
  if (g.state) g.state->CaptureParams.DigitalThreshold = threshold;
}

void VELK_CPTrigger(uint8_t kind, const uint8_t *a, const uint8_t *b, const uint8_t *c,
                    const uint8_t *pattern32) {
  if (!g.state) return;
  TCaptureParams &p = g.state->CaptureParams;
  p.TriggerKind = kind;
  if (kind == 0) {
    if (a) p.AnalogSource = *a;
    if (b) p.AnalogEdge = *b;
  } else if (kind == 1 && a) {
    p.DigitalCondition = *a;
    if (p.DigitalCondition > 3) return;
    if (p.DigitalCondition != 1) {
      if (b) p.DigitalEdge = *b;
      if (c) p.EdgeChannel = *c;
    }
    if (p.DigitalCondition != 0 && pattern32) std::memcpy(p.Pattern, pattern32, sizeof p.Pattern);
  }
}

void VELK_CPSkip(int32_t count) {
  if (g.state) g.state->CaptureParams.SkipCount = count;
}

void VELK_CPSampling(uint8_t source, int32_t clockOrStrobe, uint8_t edge) {
  if (!g.state) return;
  TCaptureParams &p = g.state->CaptureParams;
  p.ClockSource = source;
  if (source == 0) {
    // The application counts in the table it was given; the drivers count in
    // the full one, which is one longer when the fastest clock is not offered.
    p.ClockIndex = clockOrStrobe + ((g.state->DeviceFlags() & kFlagNoFastestPenClock) ? 1 : 0);
  } else {
    p.ExtClockType = static_cast<uint8_t>(clockOrStrobe);
    p.ExtClockEdge = edge;
  }
}

void VELK_CPGain(int32_t gainA, int32_t gainB) {
  if (!g.state) return;
  g.state->CaptureParams.GainA = gainA;
  g.state->CaptureParams.GainB = gainB;
}

void VELK_CPCoupling(uint8_t couplingA, uint8_t couplingB) {
  if (!g.state) return;
  g.state->CaptureParams.CouplingA = couplingA;
  g.state->CaptureParams.CouplingB = couplingB;
}

void VELK_CPExtTrig(uint8_t mode) {
  if (g.state) g.state->CaptureParams.ExtTrigMode = mode;
}

void VELK_CPProbeComp(uint8_t on) {
  if (g.state) g.state->CaptureParams.ProbeComp = on;
}

// Capture control.

void VELK_CPSet(void) {
  if (!g.state) return;
  g.state->LastErrorCode = 0;
  // The first failure ends the set-up with its own code and text.
  Step(1, [] {
    for (auto &d : g.drivers) {
      if (!d) continue;
      if (!d->DownloadForCapture()) return;
      d->SetupCapture();
      if (g.state->LastErrorCode != 0) return;
    }
  });
}

void VELK_StartCapture(void) {
  Step(1, [] { ForEachDriver([](TDriver &d) { d.Start(); }); });
}

void VELK_StopCapture(void) {
  Step(1, [] { ForEachDriver([](TDriver &d) { d.Stop(); }); });
}

void VELK_ForceTrigger(void) {
  Step(1, [] { ForEachDriver([](TDriver &d) { d.ForceTrigger(); }); });
}

void VELK_Clear(void) {
  Step(1, [] { ForEachDriver([](TDriver &d) { d.Clear(); }); });
}

uint8_t VELK_ReadStatus(void) {
  TDriver *d = FirstDriver();
  uint8_t status = 0;
  if (d) Step(1, [&] { status = d->ReadStatus(); });
  return status;
}

void VELK_SetThresholdA(int32_t level, int32_t margin) {
  VELK_CPThresholdA(level, margin);
  Step(1, [] {
    ForEachDriver([](TDriver &d) {
      if (d.HasAnalogThreshold()) d.SetThresholdA();
    });
  });
}

void VELK_SetThresholdD(int32_t threshold) {
  VELK_CPThresholdD(threshold);
  Step(1, [] {
    ForEachDriver([](TDriver &d) {
      if (d.HasDigital()) d.SetThresholdD();
    });
  });
}

void VELK_StatusLED(bool on) {
  ForEachDriver([on](TDriver &d) { d.StatusLED(on); });
}

// Read-out.

// A read-out whose transfers failed is incomplete: error 6 (the bank reads
// say "Could not read memory." themselves; a failed mode switch keeps the
// transport's text).

void VELK_GetDataA(float *a, float *b) {
  Step(6, [=] {
    ForEachDriver([=](TDriver &d) {
      if (d.HasAnalog()) d.GetDataA(a, b);
    });
  });
}

void VELK_GetADCDataA(int32_t *a, int32_t *b) {
  Step(6, [=] {
    ForEachDriver([=](TDriver &d) {
      if (d.HasAnalog()) d.GetADCDataA(a, b);
    });
  });
}

void VELK_GetDataD(uint32_t *samples) {
  Step(6, [=] {
    ForEachDriver([=](TDriver &d) {
      if (d.HasDigital()) d.GetDataD(samples);
    });
  });
}

int32_t VELK_GetEdgeCount(void) {
  TDriver *d = FirstDriver(&TDriver::HasDigital);
  int32_t count = 0;
  if (d) Step(1, [&] { count = d->GetEdgeCount(); });
  return count;
}

int32_t VELK_GetStopPosition(void) {
  TDriver *d = FirstDriver(&TDriver::HasDigital);
  int32_t position = 0;
  if (d) Step(1, [&] { position = d->GetStopPosition(); });
  return position;
}

// Device information.

void VELK_GetDeviceID(char *buffer) {
  CopyInfoText(buffer, kInfoIdentity, kInfoIdentitySize - 1);
}

// The application keeps ten bytes of the serial number; a longer one is cut
// rather than written past its buffer.
void VELK_GetDeviceSN(char *buffer10) {
  CopyInfoText(buffer10, kInfoSerial, 9);
}

void VELK_GetDeviceVer(char *buffer) {
  CopyInfoText(buffer, kInfoVersion, kInfoVersionSize - 1);
}

int32_t VELK_GetDeviceRamSize(void) {
  return g.state ? g.state->RamSize : 0;
}

int32_t VELK_GetDeviceCalibration(int32_t index, char) {
  if (!g.state || index < 0 || index > 7) return 0;
  uint32_t mantissa = g.state->DeviceInfo[kInfoCalMantissa + index];
  uint32_t shift = g.state->DeviceInfo[kInfoZeroB + index] + 8u;
  // A shift past the word leaves nothing of the mantissa.
  return shift >= 32 ? 0 : static_cast<int32_t>(mantissa << shift);
}

// Item lists: the selector's bits choose list and column, its low byte the item.

int32_t VELK_GetClockItems(int32_t selector) {
  if (!g.state) return 0;
  const TVelkio &v = *g.state;
  int i = selector & 0xFF;
  if (i > kMaxClockItems) return selector & 0x100 ? v.ClockCount() : 0;
  const TClockItem &c = v.Clocks[i];
  if (selector & 0x100) return v.ClockCount();
  if (selector & 0x200) return c.FrequencyHz;
  if (selector & 0x400) return c.ChannelB;
  if (selector & 0x800) return c.DigitalChannels;
  if (selector & 0x1000) return c.Interleave;
  return 0;
}

int32_t VELK_GetGainItems(int32_t selector) {
  if (!g.state) return 0;
  const TVelkio &v = *g.state;
  int i = selector & 0xFF;
  if (selector & 0x100) return v.GainCount();
  if (selector & 0x200) return i <= kMaxGainItems ? v.Gains[i].HalfScaleMilliVolts : 0;
  return 0;
}

int32_t VELK_GetConfigItems(int32_t selector) {
  if (!g.state) return 0;
  const TVelkio &v = *g.state;
  int i = selector & 0xFF;
  if (selector & 0x100) return v.ConfigFlags;
  if (selector & 0x200) return v.HalfRange;
  if (selector & 0x400) return i < kMaxAutosetClocks ? v.AutosetClocks[i] : 0;
  return 0;
}

// Memory and errors.

void VELK_ReadRAM(int32_t bank, uint8_t *data, int32_t length) {
  ForEachDriver([=](TDriver &d) { d.ReadRAM(bank, data, length); });
}

void VELK_WriteRAM(int32_t bank, const uint8_t *data, int32_t length) {
  ForEachDriver([=](TDriver &d) { d.WriteRAM(bank, data, length); });
}

int32_t VELK_GetLastError(char *buffer103) {
  if (!g.state) {
    if (buffer103) buffer103[0] = 0;
    return 0;
  }
  if (buffer103) std::memcpy(buffer103, g.state->LastErrorText, kErrorTextSize);
  return g.state->LastErrorCode;
}

// Service functions.

bool NTSE8345(const velk_char16 *path) {
  if (!g.state) return false;
  return g.protocol->DownloadServiceImage(FromArgument(path, kLibraryFolderChars - 1));
}

void NGRH0485(uint8_t *block256) {
  if (block256) ForEachDriver([=](TDriver &d) { d.ReadInfoBlock(block256); });
}

void NAOP4239(const uint8_t *block256) {
  if (block256) ForEachDriver([=](TDriver &d) { d.WriteInfoBlock(block256); });
}

bool QPRE4902(uint8_t reg, uint8_t value) {
  return g.state && g.protocol->WriteRegister(reg, value);
}

bool ARPJ9457(uint8_t reg, uint8_t *value) {
  if (!g.state || !value) return false;
  return g.protocol->ReadRegister(reg, *value);
}

} // extern "C"
