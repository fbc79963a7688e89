// velkcli list --verbose: every FTDI device on the USB, as the libftdi1
// adapter sees it, and why velkio offers it or not.
#pragma once

#include "velkftdi.h"

#include <QString>
#include <QStringList>

#include <vector>

// An instrument velkio listed: its description and model code.
struct TOfferedDevice {
  QString Description;
  int Model = 0;
};

// One line per device: "usb BBB/DDD VVVV:PPPP "description" serial "S": reason".
QStringList UsbListing(const std::vector<velkftdi_usb_device> &devices,
                       const std::vector<TOfferedDevice> &offered);

// Prints the listing to standard output. The adapter is the D2XX provider
// named by VELK_D2XX_LIBRARY when that one has the listing, otherwise
// libvelkftdi.so in appFolder. Answers the exit status: 1 when no adapter
// could be asked.
int PrintUsbListing(const QString &appFolder, const std::vector<TOfferedDevice> &offered);
