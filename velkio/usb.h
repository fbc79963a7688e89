// TUSB: the binding of the D2XX provider, the one open channel, its set-up and
// the overlapped transfers that every command is built on.
#pragma once

#include "d2xx.h"
#include "state.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace velkio {

constexpr DWORD kChunkSize = 0x40000;

class TUSB {
public:
  explicit TUSB(TReport &report);
  ~TUSB();
  TUSB(const TUSB &) = delete;
  TUSB &operator=(const TUSB &) = delete;

  // Loads the provider and resolves the 21 entry points; true only when the
  // library loaded and every name resolved.
  bool Bind();
  bool Bound() const { return fModule != nullptr; }
  // Which file Bind chose or tried, for diagnostics.
  const std::string &ProviderPath() const { return fProviderPath; }

  // Device listing and opening.
  bool CountDevices(DWORD &count);
  bool DescriptionByIndex(int index, char *buffer);
  bool Open(const char *description);
  // Closes the old handle and opens the remembered device index again; the
  // channel set-up follows a successful re-open (its outcome is not checked).
  bool Reopen();
  bool Close();
  // The set-up after every open: on failure its code and text are reported.
  bool SetupChannel();

  bool Reset();
  bool PurgeQueues();
  bool BitBangMode();
  bool NormalMode();
  bool PurgeBeforeCommand();

  // Overlapped transfers, split into chunks of at most 0x40000 bytes.
  bool Write(const uint8_t *data, size_t length);
  bool Read(uint8_t *data, size_t length);

  int32_t DeviceIndex = 0;
  FT_HANDLE Handle = nullptr;
  // The register batch. The largest capture set-up needs 32 packets, more than
  // the 250 bytes the instrument's own batch size suggests, so the buffer grows
  // and the whole batch still leaves in one transfer, in order.
  std::vector<uint8_t> Batch;

private:
  bool TransferChunk(bool write, uint8_t *data, DWORD length);

  TReport &fReport;
  void *fModule = nullptr;
  std::string fProviderPath;

  PFT_Open fOpen = nullptr;
  PFT_OpenEx fOpenEx = nullptr;
  PFT_ListDevices fListDevices = nullptr;
  PFT_Close fClose = nullptr;
  PFT_Read fRead = nullptr;
  PFT_Write fWrite = nullptr;
  PFT_ResetDevice fResetDevice = nullptr;
  PFT_Purge fPurge = nullptr;
  PFT_SetTimeouts fSetTimeouts = nullptr;
  PFT_GetQueueStatus fGetQueueStatus = nullptr;
  PFT_SetLatencyTimer fSetLatencyTimer = nullptr;
  PFT_GetLatencyTimer fGetLatencyTimer = nullptr;
  PFT_SetBitMode fSetBitMode = nullptr;
  PFT_SetUSBParameters fSetUSBParameters = nullptr;
  PFT_W32_CreateFile fCreateFile = nullptr;
  PFT_W32_CloseHandle fCloseHandle = nullptr;
  PFT_W32_ReadFile fReadFile = nullptr;
  PFT_W32_WriteFile fWriteFile = nullptr;
  PFT_W32_GetLastError fGetLastError = nullptr;
  PFT_W32_PurgeComm fPurgeComm = nullptr;
  PFT_W32_GetOverlappedResult fGetOverlappedResult = nullptr;
};

// The folder that holds libvelkio.so, with a trailing '/'.
std::string LibraryOwnFolder();

} // namespace velkio
