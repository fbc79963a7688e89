// Listing reads the strings with libusb itself rather than through libftdi:
// libftdi gives up on all strings when one is missing (a bridge without a
// serial number) and cannot say why a device did not open. A device this user
// may not open is still listed, with the product string the kernel publishes
// world-readable in sysfs, so the user learns at the open why it fails instead
// of meeting an empty list.
#include "usb_list.h"

#include "velkftdi.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <tuple>

#ifdef VELKFTDI_STANDIN
// The test build's stand-in USB layer keeps its own sysfs folder.
extern "C" const char *usbstandin_sysfs_root(void);
#define VELKFTDI_SYSFS_ROOT usbstandin_sysfs_root()
#else
#define VELKFTDI_SYSFS_ROOT "/sys/bus/usb/devices"
#endif

namespace velkftdi {
namespace {

constexpr uint16_t kFtdiVendor = 0x0403;

// The kernel's name of the device: "BUS-PORT.PORT...".
std::string SysfsName(const TListed &d) {
  if (d.ports.empty()) return {};
  std::string name = std::to_string(d.bus) + "-";
  for (size_t i = 0; i < d.ports.size(); ++i)
    name += (i ? "." : "") + std::to_string(d.ports[i]);
  return name;
}

// One attribute of the device from sysfs, without the line end; empty when absent.
std::string SysfsText(const TListed &d, const char *attribute) {
  std::string name = SysfsName(d);
  if (name.empty()) return {};
  std::ifstream in(std::string(VELKFTDI_SYSFS_ROOT) + "/" + name + "/" + attribute);
  std::string text;
  if (!in || !std::getline(in, text)) return {};
  while (!text.empty() && (text.back() == '\r' || text.back() == ' '))
    text.pop_back();
  return text;
}

std::string StringDescriptor(libusb_device_handle *h, uint8_t index) {
  if (index == 0) return {}; // the device has no such string
  unsigned char text[256] = {};
  int n = libusb_get_string_descriptor_ascii(h, index, text, sizeof text - 1);
  return n > 0 ? std::string(reinterpret_cast<char *>(text), size_t(n)) : std::string();
}

TListed Describe(libusb_device *dev, const libusb_device_descriptor &desc) {
  TListed d;
  d.dev = dev;
  d.bus = libusb_get_bus_number(dev);
  d.address = libusb_get_device_address(dev);
  d.vendor = desc.idVendor;
  d.product = desc.idProduct;
  uint8_t ports[8] = {};
  int n = libusb_get_port_numbers(dev, ports, int(sizeof ports));
  if (n > 0) d.ports.assign(ports, ports + n);
  char node[32];
  std::snprintf(node, sizeof node, "/dev/bus/usb/%03u/%03u", unsigned(d.bus), unsigned(d.address));
  d.node = node;

  libusb_device_handle *h = nullptr;
  int rc = libusb_open(dev, &h);
  if (rc == 0) {
    d.access = VELKFTDI_ACCESS_OK;
    // Each string on its own: a missing serial number leaves the description.
    d.description = StringDescriptor(h, desc.iProduct);
    d.serial = StringDescriptor(h, desc.iSerialNumber);
    libusb_close(h);
  } else {
    d.access = rc == LIBUSB_ERROR_ACCESS ? VELKFTDI_ACCESS_DENIED : VELKFTDI_ACCESS_FAILED;
  }
  if (d.description.empty()) d.description = SysfsText(d, "product");
  if (d.serial.empty()) d.serial = SysfsText(d, "serial");
  return d;
}

} // namespace

void WithDevices(ftdi_context *ctx,
                 const std::function<void(const std::vector<TListed> &)> &visit) {
  std::vector<TListed> list;
  libusb_device **devices = nullptr;
  ssize_t count = libusb_get_device_list(ctx->usb_ctx, &devices);
  for (ssize_t i = 0; i < count; ++i) {
    libusb_device_descriptor desc{};
    if (libusb_get_device_descriptor(devices[i], &desc) != 0) continue;
    // Every product id of the vendor: instruments carry their own ids.
    if (desc.idVendor != kFtdiVendor) continue;
    list.push_back(Describe(devices[i], desc));
  }
  std::stable_sort(list.begin(), list.end(), [](const TListed &a, const TListed &b) {
    return std::tie(a.bus, a.ports, a.address) < std::tie(b.bus, b.ports, b.address);
  });
  visit(list);
  if (count >= 0) libusb_free_device_list(devices, 1);
}

std::vector<TListed> ListDevices() {
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

} // namespace velkftdi
