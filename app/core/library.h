// The 45 entry points of libvelkio.so that the application binds by name.
#pragma once

#include <QString>

#include <cstdint>

struct TVELK;

struct TVelkLib {
  void (*InitDriver)();
  void (*FreeDriver)();
  void (*SetPath)(const char16_t *folder);
  int32_t (*ListDevices)(int32_t *indexes, uint8_t *models);
  void (*GetDeviceDescr)(int32_t index, char *buffer);
  void (*OpenDevice)(int32_t index);
  int32_t (*CloseDevice)();
  bool (*InitDevice)(uint8_t model);
  bool (*ConfigDevice)(bool offline);
  void (*FreeDevice)();
  void (*StatusLED)(bool on);
  uint8_t (*ReadStatus)();
  void (*GetDeviceID)(char *buffer);
  void (*GetDeviceSN)(char *buffer);
  void (*GetDeviceVer)(char *buffer);
  int32_t (*GetDeviceRamSize)();
  int32_t (*GetConfigItems)(int32_t selector);
  int32_t (*GetClockItems)(int32_t selector);
  int32_t (*GetGainItems)(int32_t selector);
  void (*GetDataA)(float *a, float *b);
  void (*GetDataD)(uint32_t *samples);
  int32_t (*GetEdgeCount)();
  int32_t (*GetStopPosition)();
  void (*CPBuffers)(int32_t length, int32_t triggerPosition);
  void (*CPEdgeCounter)(uint8_t on, uint8_t edge, uint8_t channel);
  void (*CPCaptureDelay)(int32_t samples);
  void (*CPThresholdA)(int32_t level, int32_t margin);
  void (*SetThresholdA)(int32_t level, int32_t margin);
  void (*CPThresholdD)(int32_t threshold);
  void (*SetThresholdD)(int32_t threshold);
  void (*CPTrigger)(uint8_t kind, const uint8_t *a, const uint8_t *b, const uint8_t *c,
                    const uint8_t *pattern);
  void (*CPSkip)(int32_t count);
  void (*CPSampling)(uint8_t source, int32_t clockOrStrobe, uint8_t edge);
  void (*CPGain)(int32_t gainA, int32_t gainB);
  void (*CPCoupling)(uint8_t couplingA, uint8_t couplingB);
  void (*CPExtTrig)(uint8_t mode);
  void (*CPProbeComp)(uint8_t on);
  void (*CPSet)();
  void (*StartCapture)();
  void (*StopCapture)();
  void (*ForceTrigger)();
  void (*Clear)();
  void (*ReadRAM)(int32_t bank, uint8_t *data, int32_t length);
  void (*WriteRAM)(int32_t bank, const uint8_t *data, int32_t length);
  int32_t (*GetLastError)(char *buffer);
};

// Loads the library file and resolves all 45 names ("_VELK_…"). On failure
// StatusText holds "Missing library." or "Incorrect library." and the result is false.
bool BindLibrary(TVELK &r, const QString &path);
void UnbindLibrary(TVELK &r);
