#include "usb.h"

#include <chrono>
#include <cstdlib>
#include <dlfcn.h>
#include <thread>

namespace velkio {

namespace {

const char *const kVendorLibrary = "libftd2xx.so";
const char *const kAdapterLibrary = "libvelkftdi.so";

// A manual-reset event as the providers expect it behind OVERLAPPED::hEvent.
class TEvent {
public:
  TEvent() {
    fOk = pthread_mutex_init(&fEvent.eMutex, nullptr) == 0;
    if (fOk && pthread_cond_init(&fEvent.eCondVar, nullptr) != 0) {
      pthread_mutex_destroy(&fEvent.eMutex);
      fOk = false;
    }
    fEvent.iVar = 0;
  }
  ~TEvent() {
    if (fOk) {
      pthread_cond_destroy(&fEvent.eCondVar);
      pthread_mutex_destroy(&fEvent.eMutex);
    }
  }
  TEvent(const TEvent &) = delete;
  TEvent &operator=(const TEvent &) = delete;

  bool Ok() const { return fOk; }
  EVENT_HANDLE *Handle() { return &fEvent; }
  void Wait() {
    pthread_mutex_lock(&fEvent.eMutex);
    while (fEvent.iVar == 0)
      pthread_cond_wait(&fEvent.eCondVar, &fEvent.eMutex);
    pthread_mutex_unlock(&fEvent.eMutex);
  }

private:
  EVENT_HANDLE fEvent{};
  bool fOk = false;
};

template <typename T> bool Resolve(void *module, const char *name, T &slot) {
  slot = reinterpret_cast<T>(dlsym(module, name));
  return slot != nullptr;
}

} // namespace

std::string LibraryOwnFolder() {
  Dl_info info{};
  if (dladdr(reinterpret_cast<void *>(&LibraryOwnFolder), &info) == 0 || !info.dli_fname)
    return std::string();
  std::string path = info.dli_fname;
  size_t slash = path.rfind('/');
  return slash == std::string::npos ? std::string("./") : path.substr(0, slash + 1);
}

TUSB::TUSB(TReport &report) : fReport(report) {}

TUSB::~TUSB() {
  if (fModule) dlclose(fModule);
}

bool TUSB::Bind() {
  if (fModule)
    return fOpen && fOpenEx && fListDevices && fClose && fRead && fWrite && fResetDevice &&
           fPurge && fSetTimeouts && fGetQueueStatus && fSetLatencyTimer && fGetLatencyTimer &&
           fSetBitMode && fSetUSBParameters && fCreateFile && fCloseHandle && fReadFile &&
           fWriteFile && fGetLastError && fPurgeComm && fGetOverlappedResult;
  const char *chosen = std::getenv("VELK_D2XX_LIBRARY");
  if (chosen && *chosen) {
    // Exactly this file: a test or the emulator option must never end up
    // talking to real hardware by falling back.
    fProviderPath = chosen;
    fModule = dlopen(chosen, RTLD_NOW | RTLD_LOCAL);
  } else {
    fProviderPath = kVendorLibrary;
    fModule = dlopen(kVendorLibrary, RTLD_NOW | RTLD_LOCAL);
    if (!fModule) {
      fProviderPath = LibraryOwnFolder() + kAdapterLibrary;
      fModule = dlopen(fProviderPath.c_str(), RTLD_NOW | RTLD_LOCAL);
    }
  }
  if (!fModule) return false;
  bool all = true;
  all &= Resolve(fModule, "FT_Open", fOpen);
  all &= Resolve(fModule, "FT_OpenEx", fOpenEx);
  all &= Resolve(fModule, "FT_ListDevices", fListDevices);
  all &= Resolve(fModule, "FT_Close", fClose);
  all &= Resolve(fModule, "FT_Read", fRead);
  all &= Resolve(fModule, "FT_Write", fWrite);
  all &= Resolve(fModule, "FT_ResetDevice", fResetDevice);
  all &= Resolve(fModule, "FT_Purge", fPurge);
  all &= Resolve(fModule, "FT_SetTimeouts", fSetTimeouts);
  all &= Resolve(fModule, "FT_GetQueueStatus", fGetQueueStatus);
  all &= Resolve(fModule, "FT_SetLatencyTimer", fSetLatencyTimer);
  all &= Resolve(fModule, "FT_GetLatencyTimer", fGetLatencyTimer);
  all &= Resolve(fModule, "FT_SetBitMode", fSetBitMode);
  all &= Resolve(fModule, "FT_SetUSBParameters", fSetUSBParameters);
  all &= Resolve(fModule, "FT_W32_CreateFile", fCreateFile);
  all &= Resolve(fModule, "FT_W32_CloseHandle", fCloseHandle);
  all &= Resolve(fModule, "FT_W32_ReadFile", fReadFile);
  all &= Resolve(fModule, "FT_W32_WriteFile", fWriteFile);
  all &= Resolve(fModule, "FT_W32_GetLastError", fGetLastError);
  all &= Resolve(fModule, "FT_W32_PurgeComm", fPurgeComm);
  all &= Resolve(fModule, "FT_W32_GetOverlappedResult", fGetOverlappedResult);
  return all;
}

// Each call below answers for an entry point that is not bound, so a missing
// provider makes every operation fail instead of crashing.

bool TUSB::CountDevices(DWORD &count) {
  if (!fListDevices) {
    count = 0;
    return true;
  }
  DWORD n = 0;
  FT_STATUS st = fListDevices(&n, nullptr, FT_LIST_NUMBER_ONLY);
  count = n;
  return st == FT_OK;
}

bool TUSB::DescriptionByIndex(int index, char *buffer) {
  if (!fListDevices) return true;
  return fListDevices(reinterpret_cast<PVOID>(static_cast<intptr_t>(index)), buffer,
                      FT_LIST_BY_INDEX | FT_OPEN_BY_DESCRIPTION) == FT_OK;
}

bool TUSB::Open(const char *description) {
  FT_HANDLE h = nullptr;
  if (fCreateFile)
    h = fCreateFile(description, GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                    FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OVERLAPPED | FT_OPEN_BY_DESCRIPTION, nullptr);
  if (h == INVALID_HANDLE_VALUE) return false;
  Handle = h;
  return true;
}

bool TUSB::Reopen() {
  if (fClose) fClose(Handle);
  FT_HANDLE h = nullptr;
  if (!fOpen || fOpen(DeviceIndex, &h) != FT_OK) return false;
  Handle = h;
  SetupChannel();
  return true;
}

bool TUSB::Close() {
  return fCloseHandle && fCloseHandle(Handle);
}

bool TUSB::SetupChannel() {
  if (!fSetUSBParameters || fSetUSBParameters(Handle, 4096, 0) != FT_OK) {
    fReport.ReportError(3, "Could not set USB in/out buffer parameters");
    return false;
  }
  if (!fResetDevice || fResetDevice(Handle) != FT_OK) {
    fReport.ReportError(4, "Could not reset USB device");
    return false;
  }
  if (!fSetTimeouts || fSetTimeouts(Handle, 10000, 10000) != FT_OK) {
    fReport.ReportError(5, "Could not set USB timeouts");
    return false;
  }
  if (!fSetLatencyTimer || fSetLatencyTimer(Handle, 2) != FT_OK) {
    fReport.ReportError(5, "Could not set USB latency time");
    return false;
  }
  std::this_thread::sleep_for(std::chrono::milliseconds(100));
  return true;
}

bool TUSB::Reset() {
  return fResetDevice && fResetDevice(Handle) == FT_OK;
}

bool TUSB::PurgeQueues() {
  return fPurge && fPurge(Handle, FT_PURGE_RX | FT_PURGE_TX) == FT_OK;
}

bool TUSB::BitBangMode() {
  return fSetBitMode && fSetBitMode(Handle, 0xFF, FT_BITMODE_ASYNC_BITBANG) == FT_OK;
}

bool TUSB::NormalMode() {
  return fSetBitMode && fSetBitMode(Handle, 0, FT_BITMODE_RESET) == FT_OK;
}

bool TUSB::PurgeBeforeCommand() {
  return fPurgeComm && fPurgeComm(Handle, PURGE_TXCLEAR | PURGE_RXCLEAR);
}

bool TUSB::TransferChunk(bool write, uint8_t *data, DWORD length) {
  TEvent event;
  if (!event.Ok()) return false;
  OVERLAPPED overlapped{};
  overlapped.hEvent = event.Handle();
  DWORD moved = 0;
  BOOL done = FALSE;
  if (write)
    done = fWriteFile && fWriteFile(Handle, data, length, &moved, &overlapped);
  else
    done = fReadFile && fReadFile(Handle, data, length, &moved, &overlapped);
  const char *failed =
      write ? "Communication error, write failed" : "Communication error, read failed";
  const char *timeout =
      write ? "Communication error, write timeout" : "Communication error, read timeout";
  if (done) {
    // A provider that completes at once still says how much it moved; a short
    // count is the same timeout as on the pending path, not a success.
    if (moved != length) {
      fReport.ReportText(timeout);
      return false;
    }
    return true;
  }
  if (!fGetLastError || fGetLastError(Handle) != ERROR_IO_PENDING) {
    fReport.ReportText(failed);
    return false;
  }
  event.Wait();
  DWORD count = 0;
  if (!fGetOverlappedResult || !fGetOverlappedResult(Handle, &overlapped, &count, FALSE)) {
    fReport.ReportText(failed);
    return false;
  }
  if (count != length) {
    fReport.ReportText(timeout);
    return false;
  }
  return true;
}

bool TUSB::Write(const uint8_t *data, size_t length) {
  // The providers take a non-const buffer for both directions; nothing is written to it.
  uint8_t *p = const_cast<uint8_t *>(data);
  while (length > 0) {
    DWORD chunk = length > kChunkSize ? kChunkSize : static_cast<DWORD>(length);
    if (!TransferChunk(true, p, chunk)) return false;
    p += chunk;
    length -= chunk;
  }
  return true;
}

bool TUSB::Read(uint8_t *data, size_t length) {
  while (length > 0) {
    DWORD chunk = length > kChunkSize ? kChunkSize : static_cast<DWORD>(length);
    if (!TransferChunk(false, data, chunk)) return false;
    data += chunk;
    length -= chunk;
  }
  return true;
}

} // namespace velkio
