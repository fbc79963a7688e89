#include "record.h"

#include "../platform/autoevent.h"

#include <QLockFile>

#include <algorithm>
#include <cstring>

TVELK *VELK = nullptr;

TVELK::TVELK() {
  std::strcpy(Probes[0].Caption, "1:1");
  Probes[0].Divider = 1.0f;
}

TVELK::~TVELK() = default;

void TVELK::SetStatus(const char *text) {
  std::lock_guard<std::mutex> lock(StatusMutex);
  std::strncpy(StatusText, text ? text : "", kStatusTextSize - 1);
  StatusText[kStatusTextSize - 1] = 0;
}

void TVELK::SetStatus(const QString &text) {
  SetStatus(text.toLatin1().constData());
}

QString TVELK::Status() const {
  std::lock_guard<std::mutex> lock(StatusMutex);
  return QString::fromLatin1(StatusText);
}

int32_t TVELK::LibraryError() {
  if (!Lib.GetLastError) return 0;
  char text[103] = {};
  int32_t code = Lib.GetLastError(text);
  SetStatus(text);
  return code;
}

void TVELK::AllocateBuffers() {
  int32_t clocks = Lib.GetClockItems(0x100);
  DeviceFeatures = static_cast<uint32_t>(Lib.GetConfigItems(0x100));
  HasChannelB = false;
  DigitalChannelCount = 0;
  for (int32_t i = 0; i < clocks; ++i) {
    if (Lib.GetClockItems(0x400 + i) != 0) HasChannelB = true;
    DigitalChannelCount = std::max(DigitalChannelCount, Lib.GetClockItems(0x800 + i));
  }
  DigitalChannelCount = std::min(DigitalChannelCount, kMaxChannels);
  if (HasAnalog()) {
    SamplesA.assign(BufferCapacity, 0.0f);
    RefSamplesA.clear();
    if (HasChannelB) {
      SamplesB.assign(BufferCapacity, 0.0f);
      RefSamplesB.clear();
    }
  }
  if (HasDigital()) DigitalSamples[0].assign(BufferCapacity, 0u);
  CaptureA.assign(SamplesA.size(), 0.0f);
  CaptureB.assign(SamplesB.size(), 0.0f);
  CaptureD.assign(DigitalSamples[0].size(), 0u);
}

bool TVELK::ClockAffectsChannelB(int32_t oldClock, int32_t newClock) const {
  return (Lib.GetClockItems(0x400 + oldClock) != 0) != (Lib.GetClockItems(0x400 + newClock) != 0);
}

bool TVELK::ClockAffectsDigitalChannels(int32_t oldClock, int32_t newClock) const {
  return Lib.GetClockItems(0x800 + oldClock) != Lib.GetClockItems(0x800 + newClock);
}

uint32_t TVELK::DefaultChConfig(int n) const {
  if (n < DigitalChannelCount) return kChChannel + static_cast<uint32_t>(n);
  if (n < kMaxChannels) return kChAbsent + static_cast<uint32_t>(n);
  return 0;
}
