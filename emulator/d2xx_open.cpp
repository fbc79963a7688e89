// D2XX entry points: listing, opening and closing.
#include "emulator.h"
#include "export.h"

#include <algorithm>
#include <cstring>

using namespace velkemu;

namespace {

// Descriptions and serial numbers are handed out as at most 63 characters
// and a NUL, the size of the buffers D2XX callers pass.
void CopyField(char *out, const std::string &text) {
  size_t n = std::min<size_t>(text.size(), 63);
  std::memcpy(out, text.data(), n);
  out[n] = 0;
}

const std::string &FieldOf(const TDevice &d, DWORD flags) {
  return flags & FT_OPEN_BY_SERIAL_NUMBER ? d.serial : d.description;
}

// The first listed device whose description (or serial number) equals name
// exactly. Sets *busy when matching devices exist but all are open.
int FindByName(TEmulator &e, const char *name, bool bySerial, bool *busy) {
  *busy = false;
  int first = -1;
  for (size_t dev = 0; dev < e.devices.size(); ++dev) {
    const TDevice &d = *e.devices[dev];
    if (!d.plugged || (bySerial ? d.serial : d.description) != name) continue;
    if (!d.handle) return int(dev);
    if (first < 0) first = int(dev);
  }
  *busy = first >= 0;
  return first;
}

// Opens by name; FT_DEVICE_NOT_FOUND, FT_DEVICE_NOT_OPENED or FT_OK.
FT_STATUS OpenByName(const char *name, bool bySerial, FT_HANDLE *out) {
  TEmulator &e = Emu();
  std::lock_guard<std::mutex> lock(e.mu);
  bool busy = false;
  int dev = name ? FindByName(e, name, bySerial, &busy) : -1;
  if (dev < 0) return FT_DEVICE_NOT_FOUND;
  if (busy) {
    e.log.Add(dev, VELKEMU_OP_OPEN, 0, false);
    return FT_DEVICE_NOT_OPENED;
  }
  *out = e.Open(dev);
  e.log.Add(dev, VELKEMU_OP_OPEN, 0, true);
  return FT_OK;
}

FT_STATUS CloseHandle(FT_HANDLE h) {
  TEmulator &e = Emu();
  std::lock_guard<std::mutex> lock(e.mu);
  THandle *record = e.Find(h);
  if (!record) return FT_INVALID_HANDLE;
  e.Close(record);
  e.log.Add(record->dev, VELKEMU_OP_CLOSE, 0, true);
  return FT_OK;
}

} // namespace

VELKEMU_EXPORT FT_STATUS FT_ListDevices(PVOID pArg1, PVOID pArg2, DWORD Flags) {
  TEmulator &e = Emu();
  std::lock_guard<std::mutex> lock(e.mu);
  if (Flags & FT_LIST_NUMBER_ONLY) {
    if (!pArg1) return FT_INVALID_PARAMETER;
    *static_cast<DWORD *>(pArg1) = DWORD(e.ListedCount());
    return FT_OK;
  }
  if (!(Flags & (FT_OPEN_BY_DESCRIPTION | FT_OPEN_BY_SERIAL_NUMBER))) return FT_INVALID_PARAMETER;
  if (Flags & FT_LIST_BY_INDEX) {
    if (!pArg2) return FT_INVALID_PARAMETER;
    int dev = e.ListedDevice(int(reinterpret_cast<uintptr_t>(pArg1)));
    if (dev < 0) return FT_DEVICE_NOT_FOUND;
    CopyField(static_cast<char *>(pArg2), FieldOf(*e.devices[dev], Flags));
    return FT_OK;
  }
  if (Flags & FT_LIST_ALL) {
    // pArg1: a NULL-terminated array of buffers, one per device; pArg2: the count.
    if (!pArg1 || !pArg2) return FT_INVALID_PARAMETER;
    char **buffers = static_cast<char **>(pArg1);
    int count = e.ListedCount();
    for (int i = 0; i < count && buffers[i]; ++i)
      CopyField(buffers[i], FieldOf(*e.devices[e.ListedDevice(i)], Flags));
    *static_cast<DWORD *>(pArg2) = DWORD(count);
    return FT_OK;
  }
  return FT_INVALID_PARAMETER;
}

VELKEMU_EXPORT FT_STATUS FT_Open(int deviceNumber, FT_HANDLE *pHandle) {
  if (!pHandle) return FT_INVALID_PARAMETER;
  TEmulator &e = Emu();
  std::lock_guard<std::mutex> lock(e.mu);
  int dev = e.ListedDevice(deviceNumber);
  if (dev < 0) return FT_DEVICE_NOT_FOUND;
  if (e.devices[dev]->handle) {
    e.log.Add(dev, VELKEMU_OP_OPEN, 0, false);
    return FT_DEVICE_NOT_OPENED;
  }
  *pHandle = e.Open(dev);
  e.log.Add(dev, VELKEMU_OP_OPEN, 0, true);
  return FT_OK;
}

VELKEMU_EXPORT FT_STATUS FT_OpenEx(PVOID pArg1, DWORD Flags, FT_HANDLE *pHandle) {
  if (!pHandle || !(Flags & (FT_OPEN_BY_DESCRIPTION | FT_OPEN_BY_SERIAL_NUMBER)))
    return FT_INVALID_PARAMETER;
  return OpenByName(static_cast<const char *>(pArg1), !(Flags & FT_OPEN_BY_DESCRIPTION), pHandle);
}

VELKEMU_EXPORT FT_HANDLE FT_W32_CreateFile(LPCTSTR lpszName, DWORD, DWORD, LPSECURITY_ATTRIBUTES,
                                           DWORD, DWORD dwAttrsAndFlags, HANDLE) {
  bool bySerial =
      (dwAttrsAndFlags & FT_OPEN_BY_SERIAL_NUMBER) && !(dwAttrsAndFlags & FT_OPEN_BY_DESCRIPTION);
  FT_HANDLE h = nullptr;
  return OpenByName(lpszName, bySerial, &h) == FT_OK ? h : INVALID_HANDLE_VALUE;
}

VELKEMU_EXPORT FT_STATUS FT_Close(FT_HANDLE ftHandle) {
  return CloseHandle(ftHandle);
}

VELKEMU_EXPORT BOOL FT_W32_CloseHandle(FT_HANDLE ftHandle) {
  return CloseHandle(ftHandle) == FT_OK ? TRUE : FALSE;
}
