#include "library.h"

#include "record.h"

#include <dlfcn.h>

namespace {

template <typename T> bool Resolve(void *module, const char *name, T &slot) {
  slot = reinterpret_cast<T>(dlsym(module, name));
  return slot != nullptr;
}

} // namespace

bool BindLibrary(TVELK &r, const QString &path) {
  r.LibraryHandle = dlopen(path.toLocal8Bit().constData(), RTLD_NOW | RTLD_LOCAL);
  if (!r.LibraryHandle) {
    r.SetStatus("Missing library.");
    return false;
  }
  void *m = r.LibraryHandle;
  TVelkLib &l = r.Lib;
  // Every name is resolved, in table order, before the verdict: the table then
  // shows which names a refused library lacks.
  bool all = true;
  all &= Resolve(m, "_VELK_InitDriver", l.InitDriver);
  all &= Resolve(m, "_VELK_FreeDriver", l.FreeDriver);
  all &= Resolve(m, "_VELK_SetPath", l.SetPath);
  all &= Resolve(m, "_VELK_ListDevices", l.ListDevices);
  all &= Resolve(m, "_VELK_GetDeviceDescr", l.GetDeviceDescr);
  all &= Resolve(m, "_VELK_OpenDevice", l.OpenDevice);
  all &= Resolve(m, "_VELK_CloseDevice", l.CloseDevice);
  all &= Resolve(m, "_VELK_InitDevice", l.InitDevice);
  all &= Resolve(m, "_VELK_ConfigDevice", l.ConfigDevice);
  all &= Resolve(m, "_VELK_FreeDevice", l.FreeDevice);
  all &= Resolve(m, "_VELK_StatusLED", l.StatusLED);
  all &= Resolve(m, "_VELK_ReadStatus", l.ReadStatus);
  all &= Resolve(m, "_VELK_GetDeviceID", l.GetDeviceID);
  all &= Resolve(m, "_VELK_GetDeviceSN", l.GetDeviceSN);
  all &= Resolve(m, "_VELK_GetDeviceVer", l.GetDeviceVer);
  all &= Resolve(m, "_VELK_GetDeviceRamSize", l.GetDeviceRamSize);
  all &= Resolve(m, "_VELK_GetConfigItems", l.GetConfigItems);
  all &= Resolve(m, "_VELK_GetClockItems", l.GetClockItems);
  all &= Resolve(m, "_VELK_GetGainItems", l.GetGainItems);
  all &= Resolve(m, "_VELK_GetDataA", l.GetDataA);
  all &= Resolve(m, "_VELK_GetDataD", l.GetDataD);
  all &= Resolve(m, "_VELK_GetEdgeCount", l.GetEdgeCount);
  all &= Resolve(m, "_VELK_GetStopPosition", l.GetStopPosition);
  all &= Resolve(m, "_VELK_CPBuffers", l.CPBuffers);
  all &= Resolve(m, "_VELK_CPEdgeCounter", l.CPEdgeCounter);
  all &= Resolve(m, "_VELK_CPCaptureDelay", l.CPCaptureDelay);
  all &= Resolve(m, "_VELK_CPThresholdA", l.CPThresholdA);
  all &= Resolve(m, "_VELK_SetThresholdA", l.SetThresholdA);
  all &= Resolve(m, "_VELK_CPThresholdD", l.CPThresholdD);
  all &= Resolve(m, "_VELK_SetThresholdD", l.SetThresholdD);
  all &= Resolve(m, "_VELK_CPTrigger", l.CPTrigger);
  all &= Resolve(m, "_VELK_CPSkip", l.CPSkip);
  all &= Resolve(m, "_VELK_CPSampling", l.CPSampling);
  all &= Resolve(m, "_VELK_CPGain", l.CPGain);
  all &= Resolve(m, "_VELK_CPCoupling", l.CPCoupling);
  all &= Resolve(m, "_VELK_CPExtTrig", l.CPExtTrig);
  all &= Resolve(m, "_VELK_CPProbeComp", l.CPProbeComp);
  all &= Resolve(m, "_VELK_CPSet", l.CPSet);
  all &= Resolve(m, "_VELK_StartCapture", l.StartCapture);
  all &= Resolve(m, "_VELK_StopCapture", l.StopCapture);
  all &= Resolve(m, "_VELK_ForceTrigger", l.ForceTrigger);
  all &= Resolve(m, "_VELK_Clear", l.Clear);
  all &= Resolve(m, "_VELK_ReadRAM", l.ReadRAM);
  all &= Resolve(m, "_VELK_WriteRAM", l.WriteRAM);
  all &= Resolve(m, "_VELK_GetLastError", l.GetLastError);
  if (!all) {
    r.SetStatus("Incorrect library.");
    return false;
  }
  return true;
}

void UnbindLibrary(TVELK &r) {
  if (r.LibraryHandle) {
    dlclose(r.LibraryHandle);
    r.LibraryHandle = nullptr;
  }
  r.Lib = {};
}
