// The adapter's view of the USB: every device of the FTDI vendor id, with the
// strings it offers and whether this user may open it.
#pragma once

#include <ftdi.h>
#include <libusb.h>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace velkftdi {

struct TListed {
  libusb_device *dev = nullptr; // valid only inside WithDevices
  uint8_t bus = 0;
  uint8_t address = 0;
  uint16_t vendor = 0;
  uint16_t product = 0;
  std::vector<uint8_t> ports; // the port path from the root hub
  int access = 0;             // enum velkftdi_access
  std::string description;
  std::string serial;
  std::string node; // /dev/bus/usb/BBB/DDD
};

// Calls visit with the FTDI devices that ctx's libusb sees, sorted by bus and
// port path so the positions stay put while nothing is plugged or pulled. The
// devices stay valid during the call.
void WithDevices(ftdi_context *ctx, const std::function<void(const std::vector<TListed> &)> &visit);

// The same list with the devices left out: empty when libusb cannot start.
std::vector<TListed> ListDevices();

} // namespace velkftdi
