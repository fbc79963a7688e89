// The emulator's process-wide state behind both of its interfaces (the D2XX
// entry points and the velkemu_* control API): the emulated devices, the
// handles given out, the transfer log and the pending-mode worker. One lock
// guards all of it; every entry point takes it for the length of the call.
#pragma once

#include "d2xx.h"
#include "instrument.h"
#include "pending.h"
#include "transfer_log.h"

#include <memory>
#include <mutex>
#include <string>
#include <unordered_set>
#include <vector>

namespace velkemu {

// Last-error codes of the W32 calls.
constexpr DWORD kErrorInvalidHandle = 6;
constexpr DWORD kErrorGenFailure = 31;
constexpr DWORD kErrorInvalidParameter = 87;
constexpr DWORD kErrorIoIncomplete = 996;
constexpr DWORD kErrorIoPending = ERROR_IO_PENDING;
constexpr DWORD kErrorDeviceGone = 1167;

struct THandle {
  int dev;
  bool open = true;
  bool gone = false; // the device was unplugged under it; only closing helps
  DWORD lastError = 0;
};

struct TDevice {
  std::string description;
  std::string serial;
  std::unique_ptr<TInstrument> instrument;
  bool plugged = true;
  THandle *handle = nullptr; // the open handle, if any
  uint8_t latencyTimer = 16;
  // Faults; counts are of transfers still to come (0: not armed).
  int unplugAfter = 0;
  int shortReadIn = 0;
  int shortReadBytes = 0;
  int failWriteIn = 0;
  uint32_t controlFaults = 0; // bit n: calls of VELKEMU_OP n fail
};

class TEmulator {
public:
  TEmulator();
  ~TEmulator();

  // Replaces the devices by a comma-separated list of USB descriptions.
  int Reset(const char *list);

  TDevice *Device(int dev);
  // The handle record behind h while h is open, else nullptr. Records are
  // never freed before unload, so a stale handle cannot alias a new one.
  THandle *Find(const void *h);
  // D2XX listing index → device number: only plugged devices are listed.
  int ListedDevice(int index);
  int ListedCount();
  THandle *Open(int dev);
  void Close(THandle *h);
  void Unplug(TDevice &d);
  void Replug(TDevice &d);
  // Counts a transfer against an armed unplug; the device goes after it.
  void CountTransfer(TDevice &d);

  std::mutex mu;
  // Signals, speed and noise, shared by all instruments. Every Reset reads
  // VELK_EMULATE_SIGNALS again; speed (VELK_EMULATE_SPEED, read at load) and
  // noise stay as they are set.
  TBench bench;
  std::vector<std::unique_ptr<TDevice>> devices;
  TTransferLog log;
  TPendingWorker pending{mu}; // after mu: stopped before mu goes

private:
  std::vector<std::unique_ptr<THandle>> handles_;
  std::unordered_set<const void *> known_;
};

// The one emulator of the process; it reads VELK_EMULATE when the library
// loads.
TEmulator &Emu();

} // namespace velkemu
