// The 21 D2XX entry points of d2xx.h over libftdi1.
//
// Devices are listed afresh on every call, always in the same order; the
// description is the USB product string. A handle is an opaque number that is
// never reused, so a closed or unknown handle is recognised and refused
// instead of crashing. Each handle carries its own mutex: calls on one handle
// are serialised, calls on different handles run side by side.
//
// Transfers are synchronous. A transfer that ends short because its timeout
// passed is answered as pending (FALSE, last error 997) with the count in the
// OVERLAPPED record and the caller's event already signalled, so the caller's
// wait returns at once and the overlapped result carries the short count.
#include "d2xx.h"

#include <ftdi.h>
#include <libusb.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#define VELKFTDI_EXPORT extern "C" __attribute__((visibility("default")))

namespace {

constexpr DWORD kErrorInvalidHandle = 6;
constexpr DWORD kErrorGenFailure = 31;
constexpr DWORD kErrorInvalidParameter = 87;
constexpr DWORD kDefaultTimeoutMs = 5000;
constexpr int kFtdiVendor = 0x0403;

struct THandle {
  std::mutex mu;
  ftdi_context *ctx = nullptr; // null once closed
  DWORD readTimeoutMs = kDefaultTimeoutMs;
  DWORD writeTimeoutMs = kDefaultTimeoutMs;
  DWORD lastError = 0;
};

struct TRegistry {
  std::mutex mu;
  std::map<uintptr_t, std::shared_ptr<THandle>> open;
  uintptr_t next = 0x10;
};

TRegistry &Registry() {
  static TRegistry registry;
  return registry;
}

FT_HANDLE Register(ftdi_context *ctx) {
  auto h = std::make_shared<THandle>();
  h->ctx = ctx;
  h->ctx->usb_read_timeout = int(h->readTimeoutMs);
  h->ctx->usb_write_timeout = int(h->writeTimeoutMs);
  TRegistry &r = Registry();
  std::lock_guard<std::mutex> lock(r.mu);
  uintptr_t key = r.next;
  r.next += 0x10;
  r.open[key] = std::move(h);
  return reinterpret_cast<FT_HANDLE>(key);
}

std::shared_ptr<THandle> Find(FT_HANDLE handle) {
  TRegistry &r = Registry();
  std::lock_guard<std::mutex> lock(r.mu);
  auto it = r.open.find(reinterpret_cast<uintptr_t>(handle));
  return it == r.open.end() ? nullptr : it->second;
}

// A handle found in the registry and locked; false when it is unknown or has
// been closed meanwhile.
class TLocked {
public:
  explicit TLocked(FT_HANDLE handle) : fHandle(Find(handle)) {
    if (fHandle) fLock = std::unique_lock<std::mutex>(fHandle->mu);
  }
  explicit operator bool() const { return fHandle && fHandle->ctx; }
  THandle *operator->() const { return fHandle.get(); }
  THandle &operator*() const { return *fHandle; }

private:
  std::shared_ptr<THandle> fHandle;
  std::unique_lock<std::mutex> fLock;
};

FT_STATUS CloseHandle(FT_HANDLE handle) {
  std::shared_ptr<THandle> h;
  {
    TRegistry &r = Registry();
    std::lock_guard<std::mutex> lock(r.mu);
    auto it = r.open.find(reinterpret_cast<uintptr_t>(handle));
    if (it == r.open.end()) return FT_INVALID_HANDLE;
    h = std::move(it->second);
    r.open.erase(it);
  }
  std::lock_guard<std::mutex> lock(h->mu);
  ftdi_usb_close(h->ctx);
  ftdi_free(h->ctx);
  h->ctx = nullptr;
  return FT_OK;
}

struct TListed {
  libusb_device *dev;
  std::string description;
  std::string serial;
};

// Calls visit(list) with the FTDI devices that ctx sees, with their strings.
// The devices stay valid during the call. Two searches: the common FTDI
// products (vendor and product 0), and the FTDI vendor with product 0, which
// libftdi versions that allow it read as any product; a device found by both
// is listed once.
template <typename F> void WithDevices(ftdi_context *ctx, F visit) {
  ftdi_device_list *common = nullptr;
  ftdi_device_list *vendor = nullptr;
  std::vector<TListed> list;
  auto add = [&](ftdi_device_list *found) {
    for (ftdi_device_list *d = found; d; d = d->next) {
      if (std::any_of(list.begin(), list.end(),
                      [&](const TListed &listed) { return listed.dev == d->dev; }))
        continue;
      char description[128] = {0};
      char serial[128] = {0};
      // A device we may not open (no access rights) is still listed, with
      // empty strings: it is there, but nothing will match it.
      if (ftdi_usb_get_strings(ctx, d->dev, nullptr, 0, description, sizeof description, serial,
                               sizeof serial) < 0)
        description[0] = serial[0] = 0;
      list.push_back({d->dev, description, serial});
    }
  };
  if (ftdi_usb_find_all(ctx, &common, 0, 0) > 0) add(common);
  if (ftdi_usb_find_all(ctx, &vendor, kFtdiVendor, 0) > 0) add(vendor);
  visit(list);
  if (common) ftdi_list_free(&common);
  if (vendor) ftdi_list_free(&vendor);
}

std::vector<TListed> ListStrings() {
  std::vector<TListed> copy;
  ftdi_context *ctx = ftdi_new(); // null when libusb cannot be initialised
  if (!ctx) return copy;
  WithDevices(ctx, [&](const std::vector<TListed> &list) {
    copy = list;
    for (TListed &d : copy)
      d.dev = nullptr;
  });
  ftdi_free(ctx);
  return copy;
}

// Opens the first device for which pick(position, device) is true.
template <typename F> FT_STATUS OpenFirst(F pick, FT_HANDLE *out) {
  ftdi_context *ctx = ftdi_new();
  if (!ctx) return FT_DEVICE_NOT_FOUND;
  FT_STATUS status = FT_DEVICE_NOT_FOUND;
  WithDevices(ctx, [&](const std::vector<TListed> &list) {
    for (size_t i = 0; i < list.size(); ++i) {
      if (!pick(i, list[i])) continue;
      status = ftdi_usb_open_dev(ctx, list[i].dev) == 0 ? FT_OK : FT_DEVICE_NOT_OPENED;
      return;
    }
  });
  if (status != FT_OK) {
    ftdi_free(ctx);
    return status;
  }
  *out = Register(ctx);
  return FT_OK;
}

FT_STATUS OpenByName(const char *name, bool bySerial, FT_HANDLE *out) {
  if (!name) return FT_DEVICE_NOT_FOUND;
  return OpenFirst(
      [&](size_t, const TListed &d) { return (bySerial ? d.serial : d.description) == name; }, out);
}

void CopyField(char *out, const std::string &text) {
  size_t n = std::min<size_t>(text.size(), 63);
  std::memcpy(out, text.data(), n);
  out[n] = 0;
}

enum class TEnd { Complete, TimedOut, Failed };

// Moves n bytes in one direction, polling until done or the timeout passes.
// libftdi answers 0 while nothing is there yet; a libusb timeout counts as
// "nothing yet" too, any other negative answer is a USB error.
template <typename F> TEnd Transfer(DWORD n, DWORD timeoutMs, DWORD &moved, F step) {
  moved = 0;
  auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  while (moved < n) {
    int chunk = int(std::min<DWORD>(n - moved, 1u << 20));
    int got = step(moved, chunk);
    if (got < 0 && got != LIBUSB_ERROR_TIMEOUT) return TEnd::Failed;
    if (got > 0) {
      moved += DWORD(got);
      continue;
    }
    if (std::chrono::steady_clock::now() >= deadline) return TEnd::TimedOut;
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  return TEnd::Complete;
}

TEnd Write(THandle &h, const uint8_t *data, DWORD n, DWORD &moved) {
  return Transfer(n, h.writeTimeoutMs, moved,
                  [&](DWORD at, int chunk) { return ftdi_write_data(h.ctx, data + at, chunk); });
}

TEnd Read(THandle &h, uint8_t *data, DWORD n, DWORD &moved) {
  return Transfer(n, h.readTimeoutMs, moved,
                  [&](DWORD at, int chunk) { return ftdi_read_data(h.ctx, data + at, chunk); });
}

void Signal(HANDLE event) {
  auto *e = static_cast<EVENT_HANDLE *>(event);
  if (!e) return;
  pthread_mutex_lock(&e->eMutex);
  e->iVar = 1;
  pthread_cond_broadcast(&e->eCondVar);
  pthread_mutex_unlock(&e->eMutex);
}

// The answer of an overlapped-style transfer (see the top of this file).
BOOL Answer(THandle &h, TEnd end, DWORD moved, LPDWORD out, LPOVERLAPPED ov) {
  if (end == TEnd::Failed) {
    h.lastError = kErrorGenFailure;
    if (out) *out = 0;
    return FALSE;
  }
  if (end == TEnd::Complete || !ov) {
    h.lastError = 0;
    if (out) *out = moved;
    return TRUE;
  }
  ov->Internal = 0;
  ov->InternalHigh = moved;
  Signal(ov->hEvent);
  h.lastError = ERROR_IO_PENDING;
  if (out) *out = 0;
  return FALSE;
}

FT_STATUS Status(int libftdiResult) {
  return libftdiResult < 0 ? FT_IO_ERROR : FT_OK;
}

FT_STATUS Purge(THandle &h, bool rx, bool tx) {
  if (rx && ftdi_tciflush(h.ctx) < 0) return FT_IO_ERROR;
  if (tx && ftdi_tcoflush(h.ctx) < 0) return FT_IO_ERROR;
  return FT_OK;
}

} // namespace

VELKFTDI_EXPORT FT_STATUS FT_ListDevices(PVOID pArg1, PVOID pArg2, DWORD Flags) {
  if (Flags & FT_LIST_NUMBER_ONLY) {
    if (!pArg1) return FT_INVALID_PARAMETER;
    *static_cast<DWORD *>(pArg1) = DWORD(ListStrings().size());
    return FT_OK;
  }
  if (!(Flags & (FT_OPEN_BY_DESCRIPTION | FT_OPEN_BY_SERIAL_NUMBER))) return FT_INVALID_PARAMETER;
  bool bySerial = !(Flags & FT_OPEN_BY_DESCRIPTION);
  if (Flags & FT_LIST_BY_INDEX) {
    if (!pArg2) return FT_INVALID_PARAMETER;
    std::vector<TListed> list = ListStrings();
    size_t index = reinterpret_cast<uintptr_t>(pArg1);
    if (index >= list.size()) return FT_DEVICE_NOT_FOUND;
    CopyField(static_cast<char *>(pArg2), bySerial ? list[index].serial : list[index].description);
    return FT_OK;
  }
  if (Flags & FT_LIST_ALL) {
    // pArg1: a NULL-terminated array of buffers, one per device; pArg2: the count.
    if (!pArg1 || !pArg2) return FT_INVALID_PARAMETER;
    std::vector<TListed> list = ListStrings();
    char **buffers = static_cast<char **>(pArg1);
    for (size_t i = 0; i < list.size() && buffers[i]; ++i)
      CopyField(buffers[i], bySerial ? list[i].serial : list[i].description);
    *static_cast<DWORD *>(pArg2) = DWORD(list.size());
    return FT_OK;
  }
  return FT_INVALID_PARAMETER;
}

VELKFTDI_EXPORT FT_STATUS FT_Open(int deviceNumber, FT_HANDLE *pHandle) {
  if (!pHandle) return FT_INVALID_PARAMETER;
  if (deviceNumber < 0) return FT_DEVICE_NOT_FOUND;
  return OpenFirst([&](size_t i, const TListed &) { return i == size_t(deviceNumber); }, pHandle);
}

VELKFTDI_EXPORT FT_STATUS FT_OpenEx(PVOID pArg1, DWORD Flags, FT_HANDLE *pHandle) {
  if (!pHandle || !(Flags & (FT_OPEN_BY_DESCRIPTION | FT_OPEN_BY_SERIAL_NUMBER)))
    return FT_INVALID_PARAMETER;
  return OpenByName(static_cast<const char *>(pArg1), !(Flags & FT_OPEN_BY_DESCRIPTION), pHandle);
}

VELKFTDI_EXPORT FT_HANDLE FT_W32_CreateFile(LPCTSTR lpszName, DWORD, DWORD, LPSECURITY_ATTRIBUTES,
                                            DWORD, DWORD dwAttrsAndFlags, HANDLE) {
  bool bySerial =
      (dwAttrsAndFlags & FT_OPEN_BY_SERIAL_NUMBER) && !(dwAttrsAndFlags & FT_OPEN_BY_DESCRIPTION);
  FT_HANDLE h = nullptr;
  return OpenByName(lpszName, bySerial, &h) == FT_OK ? h : INVALID_HANDLE_VALUE;
}

VELKFTDI_EXPORT FT_STATUS FT_Close(FT_HANDLE ftHandle) {
  return CloseHandle(ftHandle);
}

VELKFTDI_EXPORT BOOL FT_W32_CloseHandle(FT_HANDLE ftHandle) {
  return CloseHandle(ftHandle) == FT_OK ? TRUE : FALSE;
}

VELKFTDI_EXPORT FT_STATUS FT_SetUSBParameters(FT_HANDLE ftHandle, ULONG ulInTransferSize,
                                              ULONG ulOutTransferSize) {
  TLocked h(ftHandle);
  if (!h) return FT_INVALID_HANDLE;
  // 0 leaves a direction as it is.
  if (ulInTransferSize && ftdi_read_data_set_chunksize(h->ctx, ulInTransferSize) < 0)
    return FT_IO_ERROR;
  if (ulOutTransferSize && ftdi_write_data_set_chunksize(h->ctx, ulOutTransferSize) < 0)
    return FT_IO_ERROR;
  return FT_OK;
}

VELKFTDI_EXPORT FT_STATUS FT_ResetDevice(FT_HANDLE ftHandle) {
  TLocked h(ftHandle);
  if (!h) return FT_INVALID_HANDLE;
  return Status(ftdi_usb_reset(h->ctx));
}

VELKFTDI_EXPORT FT_STATUS FT_SetTimeouts(FT_HANDLE ftHandle, ULONG ReadTimeout,
                                         ULONG WriteTimeout) {
  TLocked h(ftHandle);
  if (!h) return FT_INVALID_HANDLE;
  h->readTimeoutMs = ReadTimeout;
  h->writeTimeoutMs = WriteTimeout;
  // libusb reads 0 as "no limit": a single bulk transfer gets at least 1 ms.
  h->ctx->usb_read_timeout = int(std::clamp<ULONG>(ReadTimeout, 1, INT32_MAX));
  h->ctx->usb_write_timeout = int(std::clamp<ULONG>(WriteTimeout, 1, INT32_MAX));
  return FT_OK;
}

VELKFTDI_EXPORT FT_STATUS FT_SetLatencyTimer(FT_HANDLE ftHandle, UCHAR ucLatency) {
  TLocked h(ftHandle);
  if (!h) return FT_INVALID_HANDLE;
  return Status(ftdi_set_latency_timer(h->ctx, ucLatency));
}

VELKFTDI_EXPORT FT_STATUS FT_GetLatencyTimer(FT_HANDLE ftHandle, UCHAR *pucLatency) {
  TLocked h(ftHandle);
  if (!h) return FT_INVALID_HANDLE;
  if (!pucLatency) return FT_INVALID_PARAMETER;
  return Status(ftdi_get_latency_timer(h->ctx, pucLatency));
}

VELKFTDI_EXPORT FT_STATUS FT_SetBitMode(FT_HANDLE ftHandle, UCHAR ucMask, UCHAR ucEnable) {
  TLocked h(ftHandle);
  if (!h) return FT_INVALID_HANDLE;
  // The D2XX mode values are libftdi's: 0 = BITMODE_RESET, 1 = BITMODE_BITBANG, ...
  return Status(ftdi_set_bitmode(h->ctx, ucMask, ucEnable));
}

VELKFTDI_EXPORT FT_STATUS FT_Purge(FT_HANDLE ftHandle, ULONG Mask) {
  TLocked h(ftHandle);
  if (!h) return FT_INVALID_HANDLE;
  return Purge(*h, Mask & FT_PURGE_RX, Mask & FT_PURGE_TX);
}

VELKFTDI_EXPORT BOOL FT_W32_PurgeComm(FT_HANDLE ftHandle, DWORD dwMask) {
  TLocked h(ftHandle);
  if (!h) return FALSE;
  // Transfers are synchronous, so there is never one to abort: only the
  // clear bits do something.
  bool ok = Purge(*h, dwMask & PURGE_RXCLEAR, dwMask & PURGE_TXCLEAR) == FT_OK;
  h->lastError = ok ? 0 : kErrorGenFailure;
  return ok ? TRUE : FALSE;
}

VELKFTDI_EXPORT FT_STATUS FT_GetQueueStatus(FT_HANDLE ftHandle, DWORD *dwRxBytes) {
  TLocked h(ftHandle);
  if (!h) return FT_INVALID_HANDLE;
  if (!dwRxBytes) return FT_INVALID_PARAMETER;
  *dwRxBytes = 0; // libftdi does not tell what waits in the chip
  return FT_OK;
}

// The plain calls: a write or read that ends short on its timeout is FT_OK
// with the short count, a USB error FT_IO_ERROR.
VELKFTDI_EXPORT FT_STATUS FT_Write(FT_HANDLE ftHandle, LPVOID lpBuffer, DWORD dwBytesToWrite,
                                   LPDWORD lpBytesWritten) {
  TLocked h(ftHandle);
  if (!h) return FT_INVALID_HANDLE;
  if ((!lpBuffer && dwBytesToWrite) || !lpBytesWritten) return FT_INVALID_PARAMETER;
  TEnd end = Write(*h, static_cast<const uint8_t *>(lpBuffer), dwBytesToWrite, *lpBytesWritten);
  h->lastError = end == TEnd::Failed ? kErrorGenFailure : 0;
  return end == TEnd::Failed ? FT_IO_ERROR : FT_OK;
}

VELKFTDI_EXPORT FT_STATUS FT_Read(FT_HANDLE ftHandle, LPVOID lpBuffer, DWORD dwBytesToRead,
                                  LPDWORD lpBytesReturned) {
  TLocked h(ftHandle);
  if (!h) return FT_INVALID_HANDLE;
  if ((!lpBuffer && dwBytesToRead) || !lpBytesReturned) return FT_INVALID_PARAMETER;
  TEnd end = Read(*h, static_cast<uint8_t *>(lpBuffer), dwBytesToRead, *lpBytesReturned);
  h->lastError = end == TEnd::Failed ? kErrorGenFailure : 0;
  return end == TEnd::Failed ? FT_IO_ERROR : FT_OK;
}

VELKFTDI_EXPORT BOOL FT_W32_WriteFile(FT_HANDLE ftHandle, LPVOID lpBuffer, DWORD nBufferSize,
                                      LPDWORD lpBytesWritten, LPOVERLAPPED lpOverlapped) {
  TLocked h(ftHandle);
  if (!h) return FALSE;
  if (!lpBuffer && nBufferSize) {
    h->lastError = kErrorInvalidParameter;
    return FALSE;
  }
  DWORD moved = 0;
  TEnd end = Write(*h, static_cast<const uint8_t *>(lpBuffer), nBufferSize, moved);
  return Answer(*h, end, moved, lpBytesWritten, lpOverlapped);
}

VELKFTDI_EXPORT BOOL FT_W32_ReadFile(FT_HANDLE ftHandle, LPVOID lpBuffer, DWORD nBufferSize,
                                     LPDWORD lpBytesReturned, LPOVERLAPPED lpOverlapped) {
  TLocked h(ftHandle);
  if (!h) return FALSE;
  if (!lpBuffer && nBufferSize) {
    h->lastError = kErrorInvalidParameter;
    return FALSE;
  }
  DWORD moved = 0;
  TEnd end = Read(*h, static_cast<uint8_t *>(lpBuffer), nBufferSize, moved);
  return Answer(*h, end, moved, lpBytesReturned, lpOverlapped);
}

VELKFTDI_EXPORT DWORD FT_W32_GetLastError(FT_HANDLE ftHandle) {
  TLocked h(ftHandle);
  return h ? h->lastError : kErrorInvalidHandle;
}

VELKFTDI_EXPORT BOOL FT_W32_GetOverlappedResult(FT_HANDLE ftHandle, LPOVERLAPPED lpOverlapped,
                                                LPDWORD lpdwBytesTransferred, BOOL) {
  TLocked h(ftHandle);
  if (!h) return FALSE;
  if (!lpOverlapped) {
    h->lastError = kErrorInvalidParameter;
    return FALSE;
  }
  // Every transfer has ended before its call returned: nothing to wait for.
  if (lpdwBytesTransferred) *lpdwBytesTransferred = lpOverlapped->InternalHigh;
  if (lpOverlapped->Internal != 0) {
    h->lastError = lpOverlapped->Internal;
    return FALSE;
  }
  h->lastError = 0;
  return TRUE;
}
