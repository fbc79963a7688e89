// The one export of libvelkftdi.so beside the 21 D2XX entry points: what the
// adapter sees on the USB, for diagnostics (velkcli list --verbose). Callers
// bind it by name with dlsym, so nothing links against the adapter.
#pragma once

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

// How the adapter fared when it opened the device to read its strings.
enum velkftdi_access {
  VELKFTDI_ACCESS_OK = 1,     // opened: the strings are the device's own
  VELKFTDI_ACCESS_DENIED = 0, // no permission on the device node (udev rule missing)
  VELKFTDI_ACCESS_FAILED = -1 // opening failed for another reason (busy, gone)
};

struct velkftdi_usb_device {
  uint8_t bus;
  uint8_t address;
  uint16_t vendor;
  uint16_t product;
  int32_t access;       // enum velkftdi_access
  char description[64]; // the product string (from sysfs when the device could not be opened)
  char serial[64];      // the serial-number string, empty when the device has none
  char node[32];        // the device node, /dev/bus/usb/BBB/DDD
};

// Every USB device of the FTDI vendor id, in the adapter's listing order (the
// positions of FT_ListDevices and FT_Open). Writes at most capacity entries
// and answers how many devices there are.
typedef int32_t (*velkftdi_list_usb_fn)(struct velkftdi_usb_device *out, int32_t capacity);
int32_t VELKFTDI_ListUsb(struct velkftdi_usb_device *out, int32_t capacity);

#ifdef __cplusplus
}
#endif
