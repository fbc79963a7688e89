#include "usblist.h"

#include <dlfcn.h>

#include <cstdio>
#include <cstdlib>

namespace {

QString Quoted(const char *text) {
  return QLatin1Char('"') + QString::fromLatin1(text) + QLatin1Char('"');
}

// Why velkio offers the device or not, and what stands in the way of opening it.
QString Reason(const velkftdi_usb_device &d, const std::vector<TOfferedDevice> &offered) {
  QString description = QString::fromLatin1(d.description);
  int model = 0;
  for (const TOfferedDevice &o : offered)
    if (!description.isEmpty() && o.Description == description) model = o.Model;
  QString reason = model                   ? QStringLiteral("offered as model %1").arg(model)
                   : description.isEmpty() ? QStringLiteral("not offered: no description")
                                           : QStringLiteral("not offered: no matching description");
  if (d.access == VELKFTDI_ACCESS_DENIED)
    reason += QStringLiteral("; no access to %1: install the udev rule ftdi/60-velk.rules")
                  .arg(QString::fromLatin1(d.node));
  else if (d.access != VELKFTDI_ACCESS_OK)
    reason +=
        QStringLiteral("; %1 did not open (in use or unplugged)").arg(QString::fromLatin1(d.node));
  return reason;
}

} // namespace

QStringList UsbListing(const std::vector<velkftdi_usb_device> &devices,
                       const std::vector<TOfferedDevice> &offered) {
  QStringList lines;
  for (const velkftdi_usb_device &d : devices) {
    QString line = QString::asprintf("usb %03u/%03u %04x:%04x ", unsigned(d.bus),
                                     unsigned(d.address), unsigned(d.vendor), unsigned(d.product)) +
                   Quoted(d.description);
    if (d.serial[0]) line += QStringLiteral(" serial ") + Quoted(d.serial);
    lines << line + QStringLiteral(": ") + Reason(d, offered);
  }
  if (devices.empty()) lines << QStringLiteral("usb: no FTDI device seen");
  return lines;
}

int PrintUsbListing(const QString &appFolder, const std::vector<TOfferedDevice> &offered) {
  // The provider velkio was told to use, when it is an adapter with the
  // listing (the tests' stand-in is one); otherwise the adapter beside us.
  void *module = nullptr;
  velkftdi_list_usb_fn list = nullptr;
  const char *chosen = std::getenv("VELK_D2XX_LIBRARY");
  if (chosen && *chosen && (module = dlopen(chosen, RTLD_NOW | RTLD_LOCAL))) {
    list = reinterpret_cast<velkftdi_list_usb_fn>(dlsym(module, "VELKFTDI_ListUsb"));
    if (!list) {
      dlclose(module);
      module = nullptr;
    }
  }
  QString adapter = appFolder + QStringLiteral("libvelkftdi.so");
  if (!list && (module = dlopen(adapter.toLocal8Bit().constData(), RTLD_NOW | RTLD_LOCAL)))
    list = reinterpret_cast<velkftdi_list_usb_fn>(dlsym(module, "VELKFTDI_ListUsb"));
  if (!list) {
    std::fprintf(stderr, "velkcli: %s cannot list the USB devices\n",
                 adapter.toLocal8Bit().constData());
    if (module) dlclose(module);
    return 1;
  }
  std::vector<velkftdi_usb_device> devices(16);
  int32_t n = list(devices.data(), int32_t(devices.size()));
  if (n > int32_t(devices.size())) {
    devices.resize(size_t(n));
    n = std::min(n, list(devices.data(), n));
  }
  devices.resize(size_t(std::max(n, 0)));
  dlclose(module);
  for (const QString &line : UsbListing(devices, offered))
    std::printf("%s\n", line.toLocal8Bit().constData());
  return 0;
}
