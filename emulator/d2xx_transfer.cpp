// D2XX entry points: reads, writes and their overlapped results.
//
// A transfer the instrument can satisfy at once answers TRUE. A read that
// finds fewer bytes than asked for runs into the channel's read timeout,
// which the emulator lets elapse at once: it answers pending and completes
// with the bytes that were there. In pending mode every transfer on a
// connected device answers pending and the worker completes it shortly after.
#include "emulator.h"
#include "export.h"

#include <algorithm>
#include <vector>

using namespace velkemu;

namespace {

struct TOutcome {
  bool ok;
  DWORD error; // when !ok
  DWORD moved;
  bool gone; // the device was not there: fails at once, even in pending mode
};

// Hands the outcome to the caller: TRUE at once, FALSE with a last error, or
// FALSE with 997 and the outcome in the overlapped record.
BOOL Answer(TEmulator &e, THandle &h, const TOutcome &out, DWORD requested, LPDWORD moved,
            LPOVERLAPPED ov) {
  bool complete = out.ok && out.moved == requested;
  if (ov && e.pending.Enabled() && !out.gone) {
    e.pending.Queue(ov, out.ok ? 0 : out.error, out.moved);
  } else if (!out.ok) {
    h.lastError = out.error;
    return FALSE;
  } else if (complete || !ov) {
    if (moved) *moved = out.moved;
    h.lastError = 0;
    return TRUE;
  } else {
    CompleteOverlapped(ov, 0, out.moved);
  }
  if (moved) *moved = 0;
  h.lastError = kErrorIoPending;
  return FALSE;
}

TOutcome DoWrite(TEmulator &e, THandle &h, const uint8_t *data, DWORD n) {
  TDevice &d = *e.devices[h.dev];
  TOutcome out{false, kErrorDeviceGone, 0, h.gone};
  if (!h.gone) {
    if (d.failWriteIn > 0 && --d.failWriteIn == 0) {
      out.error = kErrorGenFailure; // nothing reaches the instrument
    } else {
      if (d.instrument->InBitBang())
        d.instrument->CollectPins(data, n);
      else
        d.instrument->Receive(data, n);
      out = {true, 0, n, false};
    }
  }
  e.log.Add(h.dev, VELKEMU_OP_WRITE, 0, n, out.moved, out.ok, data, n);
  if (!out.gone) e.CountTransfer(d);
  return out;
}

TOutcome DoRead(TEmulator &e, THandle &h, uint8_t *data, DWORD n) {
  TDevice &d = *e.devices[h.dev];
  TOutcome out{false, kErrorDeviceGone, 0, h.gone};
  if (!h.gone) {
    DWORD limit = n;
    if (d.shortReadIn > 0 && --d.shortReadIn == 0)
      limit = std::min<DWORD>(n, DWORD(std::max(d.shortReadBytes, 0)));
    // Bytes past a short read stay queued: they arrive late, and the purge
    // before the next command drops them.
    out = {true, 0, DWORD(d.instrument->TakeAnswer(data, limit)), false};
  }
  e.log.Add(h.dev, VELKEMU_OP_READ, 0, n, out.moved, out.ok, data, out.moved);
  if (!out.gone) e.CountTransfer(d);
  return out;
}

} // namespace

VELKEMU_EXPORT BOOL FT_W32_WriteFile(FT_HANDLE ftHandle, LPVOID lpBuffer, DWORD nBufferSize,
                                     LPDWORD lpBytesWritten, LPOVERLAPPED lpOverlapped) {
  TEmulator &e = Emu();
  std::lock_guard<std::mutex> lock(e.mu);
  THandle *h = e.Find(ftHandle);
  if (!h) return FALSE;
  if (!lpBuffer && nBufferSize) {
    h->lastError = kErrorInvalidParameter;
    return FALSE;
  }
  TOutcome out = DoWrite(e, *h, static_cast<const uint8_t *>(lpBuffer), nBufferSize);
  return Answer(e, *h, out, nBufferSize, lpBytesWritten, lpOverlapped);
}

VELKEMU_EXPORT BOOL FT_W32_ReadFile(FT_HANDLE ftHandle, LPVOID lpBuffer, DWORD nBufferSize,
                                    LPDWORD lpBytesReturned, LPOVERLAPPED lpOverlapped) {
  TEmulator &e = Emu();
  std::lock_guard<std::mutex> lock(e.mu);
  THandle *h = e.Find(ftHandle);
  if (!h) return FALSE;
  if (!lpBuffer && nBufferSize) {
    h->lastError = kErrorInvalidParameter;
    return FALSE;
  }
  TOutcome out = DoRead(e, *h, static_cast<uint8_t *>(lpBuffer), nBufferSize);
  return Answer(e, *h, out, nBufferSize, lpBytesReturned, lpOverlapped);
}

VELKEMU_EXPORT BOOL FT_W32_GetOverlappedResult(FT_HANDLE ftHandle, LPOVERLAPPED lpOverlapped,
                                               LPDWORD lpdwBytesTransferred, BOOL bWait) {
  TEmulator &e = Emu();
  std::unique_lock<std::mutex> lock(e.mu);
  THandle *h = e.Find(ftHandle);
  if (!h) return FALSE;
  if (!lpOverlapped) {
    h->lastError = kErrorInvalidParameter;
    return FALSE;
  }
  if (e.pending.InFlight(lpOverlapped)) {
    if (!bWait) {
      h->lastError = kErrorIoIncomplete;
      return FALSE;
    }
    e.pending.WaitDone(lock, lpOverlapped);
    h = e.Find(ftHandle); // the handle may have gone while we waited
    if (!h) return FALSE;
  }
  if (lpdwBytesTransferred) *lpdwBytesTransferred = lpOverlapped->InternalHigh;
  if (lpOverlapped->Internal != 0) {
    h->lastError = lpOverlapped->Internal;
    return FALSE;
  }
  h->lastError = 0;
  return TRUE;
}

// The plain calls move bytes without an overlapped record: a write takes
// everything, a read returns what is there when the timeout ends.
VELKEMU_EXPORT FT_STATUS FT_Write(FT_HANDLE ftHandle, LPVOID lpBuffer, DWORD dwBytesToWrite,
                                  LPDWORD lpBytesWritten) {
  TEmulator &e = Emu();
  std::lock_guard<std::mutex> lock(e.mu);
  THandle *h = e.Find(ftHandle);
  if (!h) return FT_INVALID_HANDLE;
  if ((!lpBuffer && dwBytesToWrite) || !lpBytesWritten) return FT_INVALID_PARAMETER;
  TOutcome out = DoWrite(e, *h, static_cast<const uint8_t *>(lpBuffer), dwBytesToWrite);
  *lpBytesWritten = out.moved;
  h->lastError = out.ok ? 0 : out.error;
  return out.ok ? FT_OK : FT_IO_ERROR;
}

VELKEMU_EXPORT FT_STATUS FT_Read(FT_HANDLE ftHandle, LPVOID lpBuffer, DWORD dwBytesToRead,
                                 LPDWORD lpBytesReturned) {
  TEmulator &e = Emu();
  std::lock_guard<std::mutex> lock(e.mu);
  THandle *h = e.Find(ftHandle);
  if (!h) return FT_INVALID_HANDLE;
  if ((!lpBuffer && dwBytesToRead) || !lpBytesReturned) return FT_INVALID_PARAMETER;
  TOutcome out = DoRead(e, *h, static_cast<uint8_t *>(lpBuffer), dwBytesToRead);
  *lpBytesReturned = out.moved;
  h->lastError = out.ok ? 0 : out.error;
  return out.ok ? FT_OK : FT_IO_ERROR;
}
