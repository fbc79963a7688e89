// D2XX entry points: set-up and control calls of an open channel.
#include "emulator.h"
#include "export.h"

using namespace velkemu;

namespace {

// Runs a control call on an open, connected device: logged, and failing while
// a control fault for op is on (nothing then happens) or after an unplug.
template <typename TAction> FT_STATUS Control(FT_HANDLE h, int op, uint32_t arg, TAction action) {
  TEmulator &e = Emu();
  std::lock_guard<std::mutex> lock(e.mu);
  THandle *record = e.Find(h);
  if (!record) return FT_INVALID_HANDLE;
  TDevice &d = *e.devices[record->dev];
  FT_STATUS status = FT_IO_ERROR;
  if (!record->gone && !(d.controlFaults >> op & 1)) status = action(d);
  record->lastError = status == FT_OK ? 0 : record->gone ? kErrorDeviceGone : kErrorGenFailure;
  e.log.Add(record->dev, op, arg, status == FT_OK);
  return status;
}

// Queries are not logged and cannot be made to fail, but need a connected device.
template <typename TQuery> FT_STATUS Query(FT_HANDLE h, TQuery query) {
  TEmulator &e = Emu();
  std::lock_guard<std::mutex> lock(e.mu);
  THandle *record = e.Find(h);
  if (!record) return FT_INVALID_HANDLE;
  if (record->gone) return FT_IO_ERROR;
  query(*e.devices[record->dev]);
  return FT_OK;
}

FT_STATUS DropAnswersIf(TDevice &d, bool rx) {
  if (rx) d.instrument->DropAnswers();
  return FT_OK;
}

} // namespace

// The bridge's reset empties its queues; the instrument behind it keeps its
// configuration and registers.
VELKEMU_EXPORT FT_STATUS FT_ResetDevice(FT_HANDLE ftHandle) {
  return Control(ftHandle, VELKEMU_OP_RESET, 0, [](TDevice &d) { return DropAnswersIf(d, true); });
}

// Only the queue towards the host can be purged: the instrument has already
// taken in everything the host wrote, a half-received command included.
VELKEMU_EXPORT FT_STATUS FT_Purge(FT_HANDLE ftHandle, ULONG Mask) {
  return Control(ftHandle, VELKEMU_OP_PURGE, Mask,
                 [Mask](TDevice &d) { return DropAnswersIf(d, Mask & FT_PURGE_RX); });
}

VELKEMU_EXPORT BOOL FT_W32_PurgeComm(FT_HANDLE ftHandle, DWORD dwMask) {
  FT_STATUS status = Control(ftHandle, VELKEMU_OP_PURGE_COMM, dwMask, [dwMask](TDevice &d) {
    return DropAnswersIf(d, dwMask & (PURGE_RXCLEAR | PURGE_RXABORT));
  });
  return status == FT_OK ? TRUE : FALSE;
}

VELKEMU_EXPORT FT_STATUS FT_SetTimeouts(FT_HANDLE ftHandle, ULONG ReadTimeout, ULONG) {
  return Control(ftHandle, VELKEMU_OP_TIMEOUTS, ReadTimeout, [](TDevice &) { return FT_OK; });
}

VELKEMU_EXPORT FT_STATUS FT_SetUSBParameters(FT_HANDLE ftHandle, ULONG ulInTransferSize, ULONG) {
  return Control(ftHandle, VELKEMU_OP_USB_PARAMS, ulInTransferSize,
                 [](TDevice &) { return FT_OK; });
}

VELKEMU_EXPORT FT_STATUS FT_SetLatencyTimer(FT_HANDLE ftHandle, UCHAR ucLatency) {
  return Control(ftHandle, VELKEMU_OP_LATENCY, ucLatency, [ucLatency](TDevice &d) {
    d.latencyTimer = ucLatency;
    return FT_OK;
  });
}

VELKEMU_EXPORT FT_STATUS FT_GetLatencyTimer(FT_HANDLE ftHandle, UCHAR *pucLatency) {
  if (!pucLatency) return FT_INVALID_PARAMETER;
  return Query(ftHandle, [pucLatency](TDevice &d) { *pucLatency = d.latencyTimer; });
}

VELKEMU_EXPORT FT_STATUS FT_GetQueueStatus(FT_HANDLE ftHandle, DWORD *dwRxBytes) {
  if (!dwRxBytes) return FT_INVALID_PARAMETER;
  return Query(ftHandle, [dwRxBytes](TDevice &d) { *dwRxBytes = DWORD(d.instrument->Queued()); });
}

// Mode 1 (asynchronous bit-bang) starts an image download, mode 0 ends it and
// hands the stream to the instrument; other modes are not emulated.
VELKEMU_EXPORT FT_STATUS FT_SetBitMode(FT_HANDLE ftHandle, UCHAR ucMask, UCHAR ucEnable) {
  return Control(ftHandle, VELKEMU_OP_BITMODE, uint32_t(ucMask) << 8 | ucEnable,
                 [ucEnable](TDevice &d) {
                   if (ucEnable == FT_BITMODE_ASYNC_BITBANG)
                     d.instrument->EnterBitBang();
                   else if (ucEnable == FT_BITMODE_RESET)
                     d.instrument->LeaveBitBang();
                   else
                     return FT_INVALID_PARAMETER;
                   return FT_OK;
                 });
}

VELKEMU_EXPORT DWORD FT_W32_GetLastError(FT_HANDLE ftHandle) {
  TEmulator &e = Emu();
  std::lock_guard<std::mutex> lock(e.mu);
  THandle *record = e.Find(ftHandle);
  return record ? record->lastError : kErrorInvalidHandle;
}
