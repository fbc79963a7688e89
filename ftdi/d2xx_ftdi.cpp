// The 21 D2XX entry points of d2xx.h over libftdi1 and libusb.
//
// Devices are listed afresh on every call, always in the same order (see
// usb_list.h); the description is the USB product string. A handle is an
// opaque number that is never reused, so a closed or unknown handle is
// recognised and refused instead of crashing. Each handle carries its own
// mutex: calls on one handle are serialised, calls on different handles run
// side by side.
//
// libftdi opens, configures and closes the chip; the data moves through
// libusb bulk transfers of our own, because libftdi's read and write calls
// drop the count of what they moved when a transfer times out. A transfer that
// ends short because its timeout passed is answered as pending (FALSE, last
// error 997) with the count in the OVERLAPPED record and the caller's event
// already signalled, so the caller's wait returns at once and the overlapped
// result carries the short count.
#include "d2xx.h"
#include "usb_list.h"
#include "velkftdi.h"

#include <algorithm>
#include <cctype>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#define VELKFTDI_EXPORT extern "C" __attribute__((visibility("default")))

using velkftdi::TListed;

namespace {

using TClock = std::chrono::steady_clock;

constexpr DWORD kErrorInvalidHandle = 6;
constexpr DWORD kErrorGenFailure = 31;
constexpr DWORD kErrorInvalidParameter = 87;
constexpr DWORD kDefaultTimeoutMs = 5000;
constexpr int kDefaultTransferSize = 4096;
constexpr int kDefaultLatencyMs = 16;
// What the chip may still hold of an outgoing stream when the last bulk
// write has returned.
constexpr size_t kChipTxBuffer = 4096;
// In asynchronous bit-bang mode the chip clocks a byte out per tick of its
// baud-rate generator; the slowest reading of that clock is four bytes per
// baud, which the drain wait assumes.
constexpr int kBitBangBytesPerBaud = 4;
constexpr auto kDrainMargin = std::chrono::milliseconds(10);

struct THandle {
  std::mutex mu;
  ftdi_context *ctx = nullptr; // null once closed
  DWORD readTimeoutMs = kDefaultTimeoutMs;
  DWORD writeTimeoutMs = kDefaultTimeoutMs;
  DWORD lastError = 0;
  int inTransferSize = kDefaultTransferSize;
  int outTransferSize = kDefaultTransferSize;
  int latencyMs = kDefaultLatencyMs;
  // Bytes the chip has sent that no read has taken yet, and the buffer of
  // the bulk reads.
  std::deque<uint8_t> received;
  std::vector<uint8_t> inBuffer;
  // Bit-bang bookkeeping for the drain wait when the mode is left.
  bool bitBang = false;
  size_t bitBangBytes = 0;
  TClock::time_point lastWrite;
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

// Leaving bit-bang mode while the chip still clocks out the end of a stream
// would cut it: wait until the bytes it may hold have gone out at the
// bit-bang rate, counted from the last write.
void DrainBitBang(THandle &h) {
  if (!h.bitBang || h.bitBangBytes == 0) return;
  size_t held = std::min(h.bitBangBytes, kChipTxBuffer);
  long long baud = h.ctx->baudrate > 0 ? h.ctx->baudrate : 9600;
  auto clockOut = std::chrono::microseconds(
      static_cast<long long>(held) * 1000000 / (baud * kBitBangBytesPerBaud) + 1);
  auto until = h.lastWrite + clockOut + kDrainMargin;
  if (until > TClock::now()) std::this_thread::sleep_until(until);
  h.bitBangBytes = 0;
}

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
  DrainBitBang(*h);
  // The chip was opened with libusb's automatic detach, so releasing the
  // interface here gives the kernel's serial driver the device back.
  ftdi_usb_close(h->ctx);
  ftdi_free(h->ctx);
  h->ctx = nullptr;
  return FT_OK;
}

// The channel of a multi-channel bridge: A unless VELK_FTDI_INTERFACE says
// otherwise. False (with a line on standard error) for a value that names no
// channel.
bool ChosenInterface(ftdi_interface &out) {
  const char *text = std::getenv("VELK_FTDI_INTERFACE");
  out = INTERFACE_A;
  if (!text || !*text) return true;
  static const ftdi_interface kChannels[] = {INTERFACE_A, INTERFACE_B, INTERFACE_C, INTERFACE_D};
  int c = std::toupper(static_cast<unsigned char>(text[0]));
  if (text[1] == 0 && c >= 'A' && c <= 'D') {
    out = kChannels[c - 'A'];
    return true;
  }
  std::fprintf(stderr, "velkftdi: VELK_FTDI_INTERFACE=%s names no channel (A, B, C or D)\n", text);
  return false;
}

// Opens the first device for which pick(position, device) is true. A device
// that does not open leaves one line on standard error that says why: the
// caller only reports that the channel did not open.
template <typename F> FT_STATUS OpenFirst(F pick, FT_HANDLE *out) {
  ftdi_interface channel;
  if (!ChosenInterface(channel)) return FT_DEVICE_NOT_OPENED;
  ftdi_context *ctx = ftdi_new();
  if (!ctx) return FT_DEVICE_NOT_FOUND;
  FT_STATUS status = FT_DEVICE_NOT_FOUND;
  velkftdi::WithDevices(ctx, [&](const std::vector<TListed> &list) {
    for (size_t i = 0; i < list.size(); ++i) {
      const TListed &d = list[i];
      if (!pick(i, d)) continue;
      status = FT_DEVICE_NOT_OPENED;
      if (ftdi_set_interface(ctx, channel) < 0) {
        std::fprintf(stderr, "velkftdi: %s (\"%s\"): %s\n", d.node.c_str(), d.description.c_str(),
                     ftdi_get_error_string(ctx));
        return;
      }
      ctx->module_detach_mode = AUTO_DETACH_REATACH_SIO_MODULE;
      if (ftdi_usb_open_dev(ctx, d.dev) == 0) {
        status = FT_OK;
      } else if (d.access == VELKFTDI_ACCESS_DENIED) {
        std::fprintf(stderr,
                     "velkftdi: no permission on %s (\"%s\"): install ftdi/60-velk.rules as "
                     "/etc/udev/rules.d/60-velk.rules and plug the instrument in again\n",
                     d.node.c_str(), d.description.c_str());
      } else {
        std::fprintf(stderr, "velkftdi: could not open %s (\"%s\", channel %c): %s\n",
                     d.node.c_str(), d.description.c_str(), 'A' + (ctx->index - INTERFACE_A),
                     ftdi_get_error_string(ctx));
      }
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

// Milliseconds left until the deadline for the next bulk transfer: at least
// 1, since libusb reads 0 as "no limit"; 0 once the deadline has passed and
// the transfer has had its first try.
unsigned int Remaining(TClock::time_point deadline, bool first) {
  auto left =
      std::chrono::duration_cast<std::chrono::milliseconds>(deadline - TClock::now()).count();
  if (left <= 0) return first ? 1 : 0;
  return unsigned(std::min<long long>(left, INT32_MAX));
}

// Writes n bytes in pieces of the out-transfer size, each with what is left
// of the timeout. Bytes the chip took before a timeout count.
TEnd Write(THandle &h, const uint8_t *data, DWORD n, DWORD &moved) {
  moved = 0;
  auto deadline = TClock::now() + std::chrono::milliseconds(h.writeTimeoutMs);
  for (bool first = true; moved < n; first = false) {
    unsigned int timeout = Remaining(deadline, first);
    if (timeout == 0) return TEnd::TimedOut;
    int piece = int(std::min<DWORD>(n - moved, DWORD(h.outTransferSize)));
    int done = 0;
    int rc = libusb_bulk_transfer(h.ctx->usb_dev, static_cast<unsigned char>(h.ctx->in_ep),
                                  const_cast<uint8_t *>(data + moved), piece, &done, timeout);
    moved += DWORD(std::max(done, 0));
    if (h.bitBang && done > 0) {
      h.bitBangBytes += size_t(done);
      h.lastWrite = TClock::now();
    }
    if (rc == LIBUSB_ERROR_TIMEOUT) return TEnd::TimedOut;
    if (rc < 0) return TEnd::Failed;
  }
  return TEnd::Complete;
}

// Hands out up to n received bytes; answers how many.
DWORD TakeReceived(THandle &h, uint8_t *out, DWORD n) {
  DWORD k = DWORD(std::min<size_t>(n, h.received.size()));
  std::copy_n(h.received.begin(), k, out);
  h.received.erase(h.received.begin(), h.received.begin() + k);
  return k;
}

// One bulk read from the chip into the received bytes. Every packet starts
// with two modem-status bytes, which are dropped; bytes that arrived before a
// timeout are kept.
int Receive(THandle &h, unsigned int timeoutMs) {
  int packet = h.ctx->max_packet_size > 2 ? int(h.ctx->max_packet_size) : 64;
  // A whole number of packets, or libusb reports an overflow.
  int size = std::max(packet, (h.inTransferSize + packet - 1) / packet * packet);
  std::vector<uint8_t> &buffer = h.inBuffer;
  buffer.resize(size_t(size));
  int got = 0;
  int rc = libusb_bulk_transfer(h.ctx->usb_dev, static_cast<unsigned char>(h.ctx->out_ep),
                                buffer.data(), size, &got, timeoutMs);
  for (int at = 0; at < got; at += packet) {
    int end = std::min(got, at + packet);
    if (end - at > 2)
      h.received.insert(h.received.end(), buffer.begin() + at + 2, buffer.begin() + end);
  }
  return rc;
}

TEnd Read(THandle &h, uint8_t *data, DWORD n, DWORD &moved) {
  moved = TakeReceived(h, data, n);
  auto deadline = TClock::now() + std::chrono::milliseconds(h.readTimeoutMs);
  for (bool first = true; moved < n; first = false) {
    unsigned int timeout = Remaining(deadline, first);
    if (timeout == 0) return TEnd::TimedOut;
    int rc = Receive(h, timeout);
    moved += TakeReceived(h, data + moved, n - moved);
    if (rc == LIBUSB_ERROR_TIMEOUT) return moved == n ? TEnd::Complete : TEnd::TimedOut;
    if (rc < 0) return TEnd::Failed;
  }
  return TEnd::Complete;
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
  if (rx) {
    h.received.clear();
    if (ftdi_tciflush(h.ctx) < 0) return FT_IO_ERROR;
  }
  if (tx && ftdi_tcoflush(h.ctx) < 0) return FT_IO_ERROR;
  return FT_OK;
}

// The D2XX transfer sizes are multiples of 64 bytes from 64 to 64 KiB.
int TransferSize(ULONG requested) {
  ULONG rounded = (std::min<ULONG>(requested, 0x10000) + 63) / 64 * 64;
  return int(std::max<ULONG>(rounded, 64));
}

} // namespace

VELKFTDI_EXPORT FT_STATUS FT_ListDevices(PVOID pArg1, PVOID pArg2, DWORD Flags) {
  if (Flags & FT_LIST_NUMBER_ONLY) {
    if (!pArg1) return FT_INVALID_PARAMETER;
    *static_cast<DWORD *>(pArg1) = DWORD(velkftdi::ListDevices().size());
    return FT_OK;
  }
  if (!(Flags & (FT_OPEN_BY_DESCRIPTION | FT_OPEN_BY_SERIAL_NUMBER))) return FT_INVALID_PARAMETER;
  bool bySerial = !(Flags & FT_OPEN_BY_DESCRIPTION);
  if (Flags & FT_LIST_BY_INDEX) {
    if (!pArg2) return FT_INVALID_PARAMETER;
    std::vector<TListed> list = velkftdi::ListDevices();
    size_t index = reinterpret_cast<uintptr_t>(pArg1);
    if (index >= list.size()) return FT_DEVICE_NOT_FOUND;
    CopyField(static_cast<char *>(pArg2), bySerial ? list[index].serial : list[index].description);
    return FT_OK;
  }
  if (Flags & FT_LIST_ALL) {
    // pArg1: a NULL-terminated array of buffers, one per device; pArg2: the count.
    if (!pArg1 || !pArg2) return FT_INVALID_PARAMETER;
    std::vector<TListed> list = velkftdi::ListDevices();
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
  if (ulInTransferSize) h->inTransferSize = TransferSize(ulInTransferSize);
  if (ulOutTransferSize) h->outTransferSize = TransferSize(ulOutTransferSize);
  return FT_OK;
}

VELKFTDI_EXPORT FT_STATUS FT_ResetDevice(FT_HANDLE ftHandle) {
  TLocked h(ftHandle);
  if (!h) return FT_INVALID_HANDLE;
  h->received.clear(); // the reset empties the chip's buffers as well
  return Status(ftdi_usb_reset(h->ctx));
}

VELKFTDI_EXPORT FT_STATUS FT_SetTimeouts(FT_HANDLE ftHandle, ULONG ReadTimeout,
                                         ULONG WriteTimeout) {
  TLocked h(ftHandle);
  if (!h) return FT_INVALID_HANDLE;
  h->readTimeoutMs = ReadTimeout;
  h->writeTimeoutMs = WriteTimeout;
  // libftdi's control requests: libusb reads 0 as "no limit", so at least 1 ms.
  h->ctx->usb_read_timeout = int(std::clamp<ULONG>(ReadTimeout, 1, INT32_MAX));
  h->ctx->usb_write_timeout = int(std::clamp<ULONG>(WriteTimeout, 1, INT32_MAX));
  return FT_OK;
}

VELKFTDI_EXPORT FT_STATUS FT_SetLatencyTimer(FT_HANDLE ftHandle, UCHAR ucLatency) {
  TLocked h(ftHandle);
  if (!h) return FT_INVALID_HANDLE;
  // The chip's smallest latency is 1 ms; libftdi refuses 0, the vendor's
  // driver takes it, so 0 asks for the smallest.
  int latency = std::max<int>(ucLatency, 1);
  FT_STATUS status = Status(ftdi_set_latency_timer(h->ctx, static_cast<unsigned char>(latency)));
  if (status == FT_OK) h->latencyMs = latency;
  return status;
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
  DrainBitBang(*h);
  FT_STATUS status = Status(ftdi_set_bitmode(h->ctx, ucMask, ucEnable));
  if (status == FT_OK) {
    h->bitBang = ucEnable == BITMODE_BITBANG || ucEnable == BITMODE_SYNCBB;
    h->bitBangBytes = 0;
  }
  return status;
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
  // What the adapter holds, and what the chip hands over within one latency
  // period (it sends what it has when its latency timer runs out).
  int rc = Receive(*h, unsigned(h->latencyMs) + 1);
  *dwRxBytes = DWORD(h->received.size());
  return rc < 0 && rc != LIBUSB_ERROR_TIMEOUT ? FT_IO_ERROR : FT_OK;
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

VELKFTDI_EXPORT int32_t VELKFTDI_ListUsb(velkftdi_usb_device *out, int32_t capacity) {
  std::vector<TListed> list = velkftdi::ListDevices();
  for (size_t i = 0; out && i < list.size() && i < size_t(std::max(capacity, 0)); ++i) {
    velkftdi_usb_device &d = out[i];
    d = velkftdi_usb_device{};
    d.bus = list[i].bus;
    d.address = list[i].address;
    d.vendor = list[i].vendor;
    d.product = list[i].product;
    d.access = list[i].access;
    CopyField(d.description, list[i].description);
    CopyField(d.serial, list[i].serial);
    std::snprintf(d.node, sizeof d.node, "%s", list[i].node.c_str());
  }
  return int32_t(std::min<size_t>(list.size(), INT32_MAX));
}
