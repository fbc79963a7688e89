// Control interface of the instrument emulator (libvelkemu.so).
//
// The emulator is a D2XX provider (see velkio/d2xx.h): velkio loads it like the
// vendor's driver when VELK_D2XX_LIBRARY names it. This interface is for tests,
// tools and the application's --emulate option; it is documented in
// emulator/README.md. Device numbers are the D2XX device indexes (0-based, in
// the order of VELK_EMULATE). Functions taking a device return -1 (or do
// nothing) for an index that does not exist.
#pragma once

#include <stddef.h>
#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

// Replaces all emulated devices by the comma-separated USB descriptions in
// list (NULL: read VELK_EMULATE again). Clears the transfer log and all faults.
// Open handles become invalid. Returns the number of devices.
int velkemu_reset(const char *list);
int velkemu_device_count(void);

// Model code of the emulated instrument behind a description (1..6), 0 for a
// description that is not an instrument.
int velkemu_model(int dev);

// The stored 256-byte information block (what register 61 = 1 fetches).
int velkemu_get_info_block(int dev, uint8_t block[256]);
int velkemu_set_info_block(int dev, const uint8_t block[256]);

// Registers 0..127 as the instrument holds them (the last value written, or the
// value the instrument shows for read-only registers such as status and latency).
int velkemu_get_register(int dev, int reg);
int velkemu_set_register(int dev, int reg, uint8_t value);

// Memory banks 0..3 (block ports 25..28). Size in bytes per bank, 0 for a bank
// the model lacks.
size_t velkemu_bank_size(int dev, int bank);
// Copies out (or in) up to len bytes from the start of the bank; returns bytes copied.
size_t velkemu_read_bank(int dev, int bank, uint8_t *out, size_t len);
size_t velkemu_write_bank(int dev, int bank, const uint8_t *in, size_t len);

// Name of the configuration image the instrument holds ("" while unconfigured),
// and how many complete image streams it has received since the reset.
const char *velkemu_loaded_image(int dev);
int velkemu_download_count(int dev);
// Configures the instrument with a named image of its family as a completed
// download would (registers back to their defaults), without a bit-bang
// stream and without counting a download: for tests that start from a
// configured instrument. 0, or -1 for an image of another model, an unknown
// name, or an instrument in the middle of a bit-bang download.
int velkemu_load_image(int dev, const char *name);
// 1 once register 63 has been written with 255 since the last configuration.
int velkemu_released(int dev);

// Transfer log: every call that reaches an open device, in order.
enum velkemu_op {
  VELKEMU_OP_WRITE = 1,      // FT_W32_WriteFile; data = the bytes written (all of them)
  VELKEMU_OP_READ = 2,       // FT_W32_ReadFile; data = the bytes returned
  VELKEMU_OP_PURGE_COMM = 3, // FT_W32_PurgeComm; arg = mask
  VELKEMU_OP_PURGE = 4,      // FT_Purge; arg = mask
  VELKEMU_OP_RESET = 5,      // FT_ResetDevice
  VELKEMU_OP_BITMODE = 6,    // FT_SetBitMode; arg = mask << 8 | mode
  VELKEMU_OP_USB_PARAMS = 7, // FT_SetUSBParameters; arg = in-transfer size
  VELKEMU_OP_TIMEOUTS = 8,   // FT_SetTimeouts; arg = read timeout
  VELKEMU_OP_LATENCY = 9,    // FT_SetLatencyTimer; arg = latency
  VELKEMU_OP_OPEN = 10,      // FT_W32_CreateFile or FT_Open
  VELKEMU_OP_CLOSE = 11      // FT_W32_CloseHandle or FT_Close
};
typedef struct velkemu_transfer {
  int dev;
  int op;             // enum velkemu_op
  uint32_t arg;       // see enum
  uint32_t requested; // bytes asked for (read/write)
  uint32_t moved;     // bytes moved (read/write)
  int ok;             // what the call answered (1 success or pending, 0 failure)
  const uint8_t *data;
  size_t size; // bytes at data (writes: requested, reads: moved; 0 when data logging is off)
} velkemu_transfer;

size_t velkemu_log_count(void);
// Fills *out with entry i (the data pointer stays valid until the next clear or reset).
int velkemu_log_entry(size_t i, velkemu_transfer *out);
void velkemu_log_clear(void);
// Logging of data bytes costs a copy per transfer; benchmarks turn it off (default on).
void velkemu_log_data(int on);

// Faults. Counts are of read/write transfers from now on (1 = the next one).
// Unplug: after n more transfers every call on the device fails, as does
// opening it again, until velkemu_replug.
int velkemu_fault_unplug_after(int dev, int transfers);
int velkemu_replug(int dev);
// The n-th read from now returns only `bytes` bytes (a read timeout on the wire).
int velkemu_fault_short_read(int dev, int nth, int bytes);
// The n-th write from now fails (returns false, nothing reaches the instrument).
int velkemu_fault_failed_write(int dev, int nth);
// The stored information block reads as 256 bytes of 0xFF.
int velkemu_fault_blank_info(int dev, int on);
// Control calls (reset, bit mode, USB parameters, timeouts, latency, purge)
// answer failure while on; op is one of VELKEMU_OP_* (0: all of them).
int velkemu_fault_control(int dev, int op, int on);

// Pending mode: reads and writes answer "pending" (false, last error 997) and a
// worker thread completes them, then signals the EVENT_HANDLE of the overlapped
// record. Applies to all devices.
void velkemu_set_pending(int on);

#ifdef __cplusplus
}
#endif
