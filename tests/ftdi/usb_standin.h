// A stand-in for the parts of libftdi1 and libusb-1.0 that the adapter calls,
// built as a library of its own: the test build of the adapter links it in
// place of the real ones. It keeps a table of USB devices with the behaviour
// of an FTDI bridge that the adapter must cope with: missing strings, no
// permission on the device node, several channels, a chip that stops taking
// or sending bytes, a bit-bang stream still being clocked out, a pulled cable.
// Devices also appear in a sysfs folder of the stand-in's own.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <string>
#include <vector>

namespace usbstandin {

struct TDevice {
  // What the bus shows.
  uint8_t bus = 1;
  uint8_t address = 2;
  std::vector<uint8_t> ports = {1};
  uint16_t vendor = 0x0403;
  uint16_t product = 0x6001;
  std::string description = "Brisk";
  std::string serial = "VE000001"; // empty: the device has no serial-number string
  bool permitted = true;           // false: opening the node fails with "access denied"
  int channels = 1;                // interfaces of the bridge
  int maxPacket = 64;

  // How the chip behaves.
  std::deque<uint8_t> toHost; // bytes the chip will send
  bool silent = false;        // once toHost is empty, not even status packets: reads time out
  long acceptLimit = -1;      // bytes the chip takes in all before its input stalls; -1 no limit
  bool gone = false;          // the cable is pulled: every transfer and request fails

  // What the adapter did to it.
  bool kernelDriver[4] = {true, true, true, true}; // the serial driver is bound to the channel
  bool open = false;
  int claimed = -1; // the interface claimed while open
  bool autoDetach = false;
  std::vector<uint8_t> fromHost; // every byte the chip took
  std::vector<int> writeEndpoints;
  std::vector<int> readEndpoints;
  int lastReadLength = 0; // the buffer size of the last bulk read
  int latency = 16;
  int bitMode = 0;
  int resets = 0;
  size_t bitBangCut = 0; // bytes of bit-bang streams that were still in the chip at a mode change

  // Internal: the bit-bang stream in flight.
  size_t bitBangBytes = 0;
  std::chrono::steady_clock::time_point lastWrite;
  int baud = 0;
};

// No devices, libusb available.
void Reset();
// Adds a device (also to the sysfs folder) and answers the stored one, which
// stays valid until the next Reset.
TDevice &Add(TDevice device);
// libusb cannot start: ftdi_new answers null.
void SetUnavailable(bool unavailable);

// The bytes a chip in asynchronous bit-bang mode clocks out per second at
// the given baud rate, and the most it may still hold.
constexpr long kBitBangBytesPerBaud = 4;
constexpr size_t kChipTxBuffer = 4096;

} // namespace usbstandin

extern "C" const char *usbstandin_sysfs_root(void);
