// The stand-in libftdi1/libusb layer (see usb_standin.h). It follows the
// documented behaviour of the real libraries for the calls the adapter makes:
// the libftdi context fields, the interface numbering and endpoints, the
// return codes, libusb's timeouts that still report what was moved, and the
// two modem-status bytes that start every packet the chip sends.
#include "usb_standin.h"

#include <ftdi.h>
#include <libusb.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <thread>

struct libusb_device {
  usbstandin::TDevice *d;
};

struct libusb_device_handle {
  libusb_device *dev;
};

namespace usbstandin {
namespace {

struct TBus;
TDevice &AddTo(TBus &bus, TDevice device);

struct TBus {
  std::deque<TDevice> devices;
  std::deque<libusb_device> nodes;
  bool unavailable = false;
  std::string sysfs;

  TBus() {
    char folder[] = "/tmp/usbstandin.XXXXXX";
    if (mkdtemp(folder)) sysfs = folder;
    AddFromEnvironment();
  }
  ~TBus() {
    std::error_code ec;
    if (!sysfs.empty()) std::filesystem::remove_all(sysfs, ec);
  }

  // A program run by a test (velkcli) gets its devices from
  // USBSTANDIN_DEVICES: "DESCRIPTION,PRODUCT-HEX,ok|denied[,SERIAL];...", on
  // bus 1 from address 2 on.
  void AddFromEnvironment() {
    const char *text = std::getenv("USBSTANDIN_DEVICES");
    if (!text) return;
    std::stringstream entries(text);
    uint8_t n = 0;
    for (std::string entry; std::getline(entries, entry, ';');) {
      std::stringstream fields(entry);
      std::string description, product, access, serial;
      std::getline(fields, description, ',');
      std::getline(fields, product, ',');
      std::getline(fields, access, ',');
      std::getline(fields, serial, ',');
      TDevice d;
      d.description = description;
      d.product = uint16_t(std::strtoul(product.c_str(), nullptr, 16));
      d.permitted = access != "denied";
      d.serial = serial;
      d.address = uint8_t(2 + n);
      d.ports = {uint8_t(++n)};
      AddTo(*this, d);
    }
  }
};

TBus &Bus() {
  static TBus bus;
  return bus;
}

std::string SysfsName(const TDevice &d) {
  std::string name = std::to_string(d.bus) + "-";
  for (size_t i = 0; i < d.ports.size(); ++i)
    name += (i ? "." : "") + std::to_string(d.ports[i]);
  return name;
}

bool BitBang(int mode) {
  return mode == BITMODE_BITBANG || mode == BITMODE_SYNCBB;
}

TDevice &AddTo(TBus &bus, TDevice device) {
  TDevice &d = bus.devices.emplace_back(std::move(device));
  bus.nodes.push_back(libusb_device{&d});
  // The kernel publishes the strings world-readable, whoever may open the node.
  std::filesystem::path folder = std::filesystem::path(bus.sysfs) / SysfsName(d);
  std::filesystem::create_directories(folder);
  std::ofstream(folder / "product") << d.description << "\n";
  if (!d.serial.empty()) std::ofstream(folder / "serial") << d.serial << "\n";
  return d;
}

} // namespace

int Fail(ftdi_context *ctx, int code, const char *text) {
  ctx->error_str = text;
  return code;
}

TDevice *Opened(ftdi_context *ctx) {
  return ctx && ctx->usb_dev ? ctx->usb_dev->dev->d : nullptr;
}

void Sleep(unsigned int ms) {
  std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

void Reset() {
  TBus &bus = Bus();
  bus.devices.clear();
  bus.nodes.clear();
  bus.unavailable = false;
  std::error_code ec;
  for (const auto &entry : std::filesystem::directory_iterator(bus.sysfs, ec))
    std::filesystem::remove_all(entry.path(), ec);
}

TDevice &Add(TDevice device) {
  return AddTo(Bus(), std::move(device));
}

void SetUnavailable(bool unavailable) {
  Bus().unavailable = unavailable;
}

} // namespace usbstandin

using usbstandin::Fail;
using usbstandin::Opened;
using usbstandin::Sleep;
using usbstandin::TDevice;

extern "C" {

const char *usbstandin_sysfs_root(void) {
  return usbstandin::Bus().sysfs.c_str();
}

// libusb

ssize_t libusb_get_device_list(libusb_context *, libusb_device ***list) {
  auto &nodes = usbstandin::Bus().nodes;
  auto **array =
      static_cast<libusb_device **>(std::calloc(nodes.size() + 1, sizeof(libusb_device *)));
  for (size_t i = 0; i < nodes.size(); ++i)
    array[i] = &nodes[i];
  *list = array;
  return ssize_t(nodes.size());
}

void libusb_free_device_list(libusb_device **list, int) {
  std::free(list);
}

int libusb_get_device_descriptor(libusb_device *dev, libusb_device_descriptor *desc) {
  *desc = libusb_device_descriptor{};
  desc->bLength = LIBUSB_DT_DEVICE_SIZE;
  desc->bDescriptorType = LIBUSB_DT_DEVICE;
  desc->idVendor = dev->d->vendor;
  desc->idProduct = dev->d->product;
  desc->iManufacturer = 1;
  desc->iProduct = 2;
  desc->iSerialNumber = dev->d->serial.empty() ? 0 : 3;
  desc->bNumConfigurations = 1;
  return 0;
}

uint8_t libusb_get_bus_number(libusb_device *dev) {
  return dev->d->bus;
}

uint8_t libusb_get_device_address(libusb_device *dev) {
  return dev->d->address;
}

int libusb_get_port_numbers(libusb_device *dev, uint8_t *ports, int length) {
  const auto &p = dev->d->ports;
  if (int(p.size()) > length) return LIBUSB_ERROR_OVERFLOW;
  std::copy(p.begin(), p.end(), ports);
  return int(p.size());
}

int libusb_open(libusb_device *dev, libusb_device_handle **handle) {
  if (dev->d->gone) return LIBUSB_ERROR_NO_DEVICE;
  if (!dev->d->permitted) return LIBUSB_ERROR_ACCESS;
  *handle = new libusb_device_handle{dev};
  return 0;
}

void libusb_close(libusb_device_handle *handle) {
  delete handle;
}

int libusb_get_string_descriptor_ascii(libusb_device_handle *handle, uint8_t index,
                                       unsigned char *data, int length) {
  const TDevice &d = *handle->dev->d;
  static const std::string kMaker = "FTDI";
  if (index == 0 || index > 3 || (index == 3 && d.serial.empty())) return LIBUSB_ERROR_PIPE;
  const std::string &text = index == 1 ? kMaker : index == 2 ? d.description : d.serial;
  int n = std::min<int>(int(text.size()), length - 1);
  std::memcpy(data, text.data(), size_t(n));
  data[n] = 0;
  return n;
}

int libusb_bulk_transfer(libusb_device_handle *handle, unsigned char endpoint, unsigned char *data,
                         int length, int *transferred, unsigned int timeout) {
  TDevice &d = *handle->dev->d;
  *transferred = 0;
  if (d.gone) return LIBUSB_ERROR_NO_DEVICE;
  int channel = d.claimed;
  if (endpoint & 0x80) {
    d.readEndpoints.push_back(endpoint);
    d.lastReadLength = length;
    if (endpoint != 0x81 + 2 * channel) return LIBUSB_ERROR_NOT_FOUND;
    if (d.toHost.empty()) {
      if (d.silent || timeout <= unsigned(d.latency)) {
        Sleep(timeout);
        return LIBUSB_ERROR_TIMEOUT;
      }
      // Nothing to send: a status packet when the latency timer runs out.
      Sleep(unsigned(d.latency));
      data[0] = 0x01;
      data[1] = 0x60;
      *transferred = 2;
      return 0;
    }
    int at = 0;
    while (at + 2 < length) {
      size_t payload = std::min<size_t>(size_t(d.maxPacket - 2), d.toHost.size());
      data[at] = 0x01;
      data[at + 1] = 0x60;
      std::copy_n(d.toHost.begin(), payload, data + at + 2);
      d.toHost.erase(d.toHost.begin(), d.toHost.begin() + long(payload));
      at += 2 + int(payload);
      if (payload < size_t(d.maxPacket - 2)) break; // a short packet ends the transfer
    }
    *transferred = at;
    if (d.silent && d.toHost.empty() && at < length) {
      // The bytes came, then nothing more: the transfer runs into its timeout.
      Sleep(timeout);
      return LIBUSB_ERROR_TIMEOUT;
    }
    return 0;
  }
  d.writeEndpoints.push_back(endpoint);
  if (endpoint != 0x02 + 2 * channel) return LIBUSB_ERROR_NOT_FOUND;
  long room = d.acceptLimit < 0 ? length : d.acceptLimit - long(d.fromHost.size());
  int taken = int(std::clamp<long>(room, 0, length));
  d.fromHost.insert(d.fromHost.end(), data, data + taken);
  *transferred = taken;
  if (usbstandin::BitBang(d.bitMode) && taken > 0) {
    d.bitBangBytes += size_t(taken);
    d.lastWrite = std::chrono::steady_clock::now();
  }
  if (taken < length) {
    Sleep(timeout);
    return LIBUSB_ERROR_TIMEOUT;
  }
  return 0;
}

// libftdi

ftdi_context *ftdi_new(void) {
  if (usbstandin::Bus().unavailable) return nullptr;
  auto *ctx = static_cast<ftdi_context *>(std::calloc(1, sizeof(ftdi_context)));
  static int context;
  ctx->usb_ctx = reinterpret_cast<libusb_context *>(&context);
  ctx->usb_read_timeout = 5000;
  ctx->usb_write_timeout = 5000;
  ctx->type = TYPE_BM;
  ctx->baudrate = -1;
  ctx->readbuffer_chunksize = 4096;
  ctx->writebuffer_chunksize = 4096;
  ctx->max_packet_size = 0;
  ctx->module_detach_mode = AUTO_DETACH_SIO_MODULE;
  ftdi_set_interface(ctx, INTERFACE_ANY);
  return ctx;
}

void ftdi_free(ftdi_context *ctx) {
  if (!ctx) return;
  if (ctx->usb_dev) ftdi_usb_close(ctx);
  std::free(ctx);
}

int ftdi_set_interface(ftdi_context *ctx, enum ftdi_interface interface) {
  int channel = interface == INTERFACE_ANY ? 0 : int(interface) - int(INTERFACE_A);
  if (channel < 0 || channel > 3) return Fail(ctx, -1, "Unknown interface");
  if (ctx->usb_dev && ctx->interface != channel)
    return Fail(ctx, -3, "Interface can not be changed on an already open device");
  ctx->interface = channel;
  ctx->index = INTERFACE_A + channel;
  ctx->in_ep = 0x02 + 2 * channel;
  ctx->out_ep = 0x81 + 2 * channel;
  return 0;
}

int ftdi_usb_open_dev(ftdi_context *ctx, libusb_device *dev) {
  TDevice &d = *dev->d;
  if (d.gone || !d.permitted) return Fail(ctx, -4, "libusb_open() failed");
  if (d.open || ctx->interface >= d.channels)
    return Fail(ctx, -5,
                "unable to claim usb device. Make sure the default FTDI driver is not in use");
  switch (ctx->module_detach_mode) {
  case AUTO_DETACH_SIO_MODULE:
    d.kernelDriver[ctx->interface] = false;
    break;
  case AUTO_DETACH_REATACH_SIO_MODULE:
    d.autoDetach = true;
    d.kernelDriver[ctx->interface] = false;
    break;
  case DONT_DETACH_SIO_MODULE:
    if (d.kernelDriver[ctx->interface])
      return Fail(ctx, -5,
                  "unable to claim usb device. Make sure the default FTDI driver is not in use");
    break;
  }
  d.open = true;
  d.claimed = ctx->interface;
  d.baud = 9600;
  ctx->usb_dev = new libusb_device_handle{dev};
  ctx->type = d.channels > 1 ? TYPE_2232C : TYPE_R;
  ctx->max_packet_size = unsigned(d.maxPacket);
  ctx->baudrate = 9600;
  return 0;
}

int ftdi_usb_close(ftdi_context *ctx) {
  TDevice *d = Opened(ctx);
  if (!d) return 0;
  // Releasing the interface hands an automatically detached driver back.
  if (d->autoDetach && d->claimed >= 0) d->kernelDriver[d->claimed] = true;
  d->autoDetach = false;
  d->open = false;
  d->claimed = -1;
  delete ctx->usb_dev;
  ctx->usb_dev = nullptr;
  return 0;
}

const char *ftdi_get_error_string(ftdi_context *ctx) {
  return ctx && ctx->error_str ? ctx->error_str : "";
}

int ftdi_usb_reset(ftdi_context *ctx) {
  TDevice *d = Opened(ctx);
  if (!d) return Fail(ctx, -2, "USB device unavailable");
  if (d->gone) return Fail(ctx, -1, "FTDI reset failed");
  ++d->resets;
  d->toHost.clear();
  return 0;
}

int ftdi_tciflush(ftdi_context *ctx) {
  TDevice *d = Opened(ctx);
  if (!d) return Fail(ctx, -2, "USB device unavailable");
  if (d->gone) return Fail(ctx, -1, "FTDI purge of RX buffer failed");
  d->toHost.clear();
  return 0;
}

int ftdi_tcoflush(ftdi_context *ctx) {
  TDevice *d = Opened(ctx);
  if (!d) return Fail(ctx, -2, "USB device unavailable");
  if (d->gone) return Fail(ctx, -1, "FTDI purge of TX buffer failed");
  return 0;
}

int ftdi_set_latency_timer(ftdi_context *ctx, unsigned char latency) {
  if (latency < 1) return Fail(ctx, -1, "latency out of range. Only valid for 1-255");
  TDevice *d = Opened(ctx);
  if (!d) return Fail(ctx, -3, "USB device unavailable");
  if (d->gone) return Fail(ctx, -2, "unable to set latency timer");
  d->latency = latency;
  return 0;
}

int ftdi_get_latency_timer(ftdi_context *ctx, unsigned char *latency) {
  TDevice *d = Opened(ctx);
  if (!d) return Fail(ctx, -2, "USB device unavailable");
  if (d->gone) return Fail(ctx, -1, "reading latency timer failed");
  *latency = static_cast<unsigned char>(d->latency);
  return 0;
}

int ftdi_set_bitmode(ftdi_context *ctx, unsigned char, unsigned char mode) {
  TDevice *d = Opened(ctx);
  if (!d) return Fail(ctx, -2, "USB device unavailable");
  if (d->gone)
    return Fail(ctx, -1, "unable to configure bitbang mode. Perhaps not a BM/2232C type chip?");
  if (usbstandin::BitBang(d->bitMode) && d->bitBangBytes > 0) {
    // What the chip had not clocked out yet is lost when the mode changes.
    double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - d->lastWrite).count();
    double sent = seconds * double(d->baud) * usbstandin::kBitBangBytesPerBaud;
    double held = double(std::min(d->bitBangBytes, usbstandin::kChipTxBuffer));
    if (held > sent) d->bitBangCut += size_t(held - sent + 0.999);
  }
  d->bitBangBytes = 0;
  d->bitMode = mode;
  ctx->bitbang_enabled = mode == BITMODE_RESET ? 0 : 1;
  return 0;
}

} // extern "C"
