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
// Setting stores the byte without side effects; setting the status (10) pins
// what status reads answer until the host next starts a capture or the
// instrument powers up.
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

// Captures. The instruments capture the signals of the bench (below) as the
// registers say; time is simulated and advances whenever the host touches
// the instrument. velkemu_get_capture shows the capture as of the host's last
// contact (it does not advance it).
enum velkemu_capture_state {
  VELKEMU_CAPTURE_IDLE = 0, // no capture since the last set-up (fields: the registers now)
  VELKEMU_CAPTURE_RUNNING = 1,
  VELKEMU_CAPTURE_COMPLETE = 2, // status bit 0x01: recording stopped by itself
  VELKEMU_CAPTURE_STOPPED = 3   // the host wrote run = 0 first
};
typedef struct velkemu_capture {
  int state;          // enum velkemu_capture_state
  int runnable;       // 1 when the loaded image provides the selected clock
  uint8_t status;     // what a status read answers
  double sample_rate; // Hz; both banks together when interleaved; CLK's rate with an external clock
  int external_clock; // 0 internal, 1 rising, 2 falling edges of CLK
  int strobe;         // 1: external clock without post-trigger count: fills once, no trigger
  int interleave;     // 2 when two banks take turns sample by sample
  int64_t samples;    // samples per channel the memory holds
  int64_t post_trigger;       // samples recorded after the trigger sample's position (delay aside)
  int64_t latency;            // of those, what the host took off the count (latency or pipeline)
  int64_t delay;              // capture delay in samples (as the registers held at the trigger)
  int trigger_mode;           // register 11 as the capture started
  int gain_a, gain_b;         // indexes into the model's gain table
  int coupling_a, coupling_b; // 0 AC, 1 DC
  int channel_b;              // 1 when channel B is recorded
  int digital_channels;       // logic channels recorded
  int edge_counter;           // 1 when the edge counter counts
  int probe_comp;             // 1 when the probe-compensation output is on
  uint32_t probe_period;      // 12-bit scope: registers 37..39
  int ext_trigger;            // 12-bit scope: X connector 0 input, 1 trigger output, 2 probe comp
  double phase;               // signal time (s) of sample 0: sample k is at phase + k / sample_rate
  int64_t recorded;           // samples recorded since the start
  int64_t trigger_sample;     // the sample that triggered, -1 before
  int forced;                 // 1 when that was a forced trigger
  int64_t first_sample;       // the sample at address 0 once the capture ended, -1 before
  int64_t trigger_index;      // trigger_sample - first_sample (where the host finds it), -1 unknown
  uint32_t edge_count;        // what registers 43..45 count
} velkemu_capture;
int velkemu_get_capture(int dev, velkemu_capture *out);

// The signals on every instrument's inputs: the default set overridden per
// channel by a signal list (syntax in emulator/README.md); NULL: what VELK_EMULATE_SIGNALS
// says. 0, or -1 with nothing changed for a syntax error. Takes effect at once.
int velkemu_set_signals(const char *list);
// Simulated seconds per wall second (VELK_EMULATE_SPEED at load, default 1);
// 0 runs every capture as far as it can at each contact. -1 for a negative
// factor. velkemu_reset leaves it (and the noise) as it is.
int velkemu_set_speed(double factor);
// Held time (held != 0): host contacts no longer move simulated time; only
// velkemu_advance does, by whole samples of the running capture. For tests that
// look at every step of a capture without racing the wall clock; a reset
// lets time run again.
int velkemu_hold_time(int held);
// Records that many more samples of the running capture (trigger search,
// delay and post-trigger part as usual). -1 for a device that does not exist
// or a negative count.
int velkemu_advance(int dev, int64_t samples);
// Converter noise of ± codes (default 1; 0 for exact samples). -1 outside 0..4096.
int velkemu_set_noise(int codes);

// Pending mode: reads and writes answer "pending" (false, last error 997) and a
// worker thread completes them, then signals the EVENT_HANDLE of the overlapped
// record. Applies to all devices.
void velkemu_set_pending(int on);

#ifdef __cplusplus
}
#endif
