// The libftdi1 adapter against the stand-in USB layer: what a user with an
// instrument meets. Listing without permission or without a serial number,
// products other than the common ones, the channel of a dual bridge, the end
// of a bit-bang stream, timeouts that keep what moved, and the smaller D2XX
// semantics (latency 0, transfer sizes, queue status, the serial driver given
// back).
#include "d2xx.h"
#include "usb_standin.h"
#include "velkftdi.h"
#include "velkio.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <regex>
#include <set>
#include <string>
#include <vector>

using usbstandin::TDevice;

namespace {

TDevice Device(const char *description, uint8_t bus, uint8_t address, std::vector<uint8_t> ports,
               uint16_t product = 0x6001) {
  TDevice d;
  d.description = description;
  d.bus = bus;
  d.address = address;
  d.ports = std::move(ports);
  d.product = product;
  return d;
}

// The transport's open: by description, overlapped.
FT_HANDLE Open(const char *description) {
  return FT_W32_CreateFile(description, GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                           FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OVERLAPPED | FT_OPEN_BY_DESCRIPTION,
                           nullptr);
}

std::string Listed(int index, DWORD flag) {
  char text[64] = {};
  if (FT_ListDevices(reinterpret_cast<PVOID>(intptr_t(index)), text, FT_LIST_BY_INDEX | flag) !=
      FT_OK)
    return "<none>";
  return text;
}

std::vector<uint8_t> Pattern(size_t n) {
  std::vector<uint8_t> bytes(n);
  for (size_t i = 0; i < n; ++i)
    bytes[i] = uint8_t(i * 7 + 1);
  return bytes;
}

// One overlapped transfer as the transport makes it.
struct TOverlapped {
  EVENT_HANDLE event{};
  OVERLAPPED ov{};
  TOverlapped() {
    pthread_mutex_init(&event.eMutex, nullptr);
    pthread_cond_init(&event.eCondVar, nullptr);
    ov.hEvent = &event;
  }
  ~TOverlapped() {
    pthread_cond_destroy(&event.eCondVar);
    pthread_mutex_destroy(&event.eMutex);
  }
};

// What an overlapped transfer moved, or -1 when it failed; pending tells
// whether it ended short (the transport's "timeout").
struct TMoved {
  long count;
  bool pending;
};

TMoved Transfer(FT_HANDLE h, bool write, uint8_t *data, DWORD n) {
  TOverlapped o;
  DWORD moved = 0;
  BOOL done = write ? FT_W32_WriteFile(h, data, n, &moved, &o.ov)
                    : FT_W32_ReadFile(h, data, n, &moved, &o.ov);
  if (done) return {long(moved), false};
  if (FT_W32_GetLastError(h) != ERROR_IO_PENDING) return {-1, false};
  EXPECT_EQ(o.event.iVar, 1) << "a pending transfer signals the caller's event";
  DWORD count = 0;
  if (!FT_W32_GetOverlappedResult(h, &o.ov, &count, FALSE)) return {-1, true};
  return {long(count), true};
}

class Standin : public ::testing::Test {
protected:
  void SetUp() override {
    usbstandin::Reset();
    unsetenv("VELK_FTDI_INTERFACE");
  }
  void TearDown() override { unsetenv("VELK_FTDI_INTERFACE"); }
};

TEST_F(Standin, ListsEveryFtdiProductInPortOrderWithTheStringsItCanRead) {
  TDevice brisk = Device("Brisk", 2, 7, {3});
  TDevice dorian = Device("Dorian", 1, 5, {2, 4}, 0x8E40); // an instrument's own product id
  dorian.serial = "VE000002";
  TDevice mouse = Device("Mouse", 1, 9, {1});
  mouse.vendor = 0x046D;
  TDevice cobalt = Device("Cobalt", 1, 4, {2, 1}, 0x6010);
  cobalt.serial = ""; // the bridge has no serial-number string
  TDevice denied = Device("Dorian-12", 1, 3, {1, 1}, 0x6014);
  denied.serial = "VE000005";
  denied.permitted = false; // no udev rule: only sysfs tells the strings
  for (const TDevice &d : {brisk, dorian, mouse, cobalt, denied})
    usbstandin::Add(d);

  DWORD count = 0;
  ASSERT_EQ(FT_ListDevices(&count, nullptr, FT_LIST_NUMBER_ONLY), FT_OK);
  ASSERT_EQ(count, 4u);
  const char *descriptions[] = {"Dorian-12", "Cobalt", "Dorian", "Brisk"};
  const char *serials[] = {"VE000005", "", "VE000002", "VE000001"};
  for (int i = 0; i < 4; ++i) {
    EXPECT_EQ(Listed(i, FT_OPEN_BY_DESCRIPTION), descriptions[i]) << i;
    EXPECT_EQ(Listed(i, FT_OPEN_BY_SERIAL_NUMBER), serials[i]) << i;
  }

  velkftdi_usb_device usb[8] = {};
  ASSERT_EQ(VELKFTDI_ListUsb(usb, 8), 4);
  EXPECT_STREQ(usb[0].node, "/dev/bus/usb/001/003");
  EXPECT_EQ(usb[0].access, VELKFTDI_ACCESS_DENIED);
  EXPECT_EQ(usb[0].product, 0x6014);
  EXPECT_EQ(usb[2].product, 0x8E40);
  for (int i = 1; i < 4; ++i)
    EXPECT_EQ(usb[i].access, VELKFTDI_ACCESS_OK) << i;
  EXPECT_EQ(VELKFTDI_ListUsb(usb, 2), 4) << "the count of all, whatever fits";

  // FT_Open counts in the same order; the device without a serial opens.
  FT_HANDLE h = nullptr;
  ASSERT_EQ(FT_Open(1, &h), FT_OK);
  uint8_t byte = 0x5A;
  EXPECT_EQ(Transfer(h, true, &byte, 1).count, 1);
  EXPECT_EQ(FT_Close(h), FT_OK);

  usbstandin::SetUnavailable(true); // libusb does not start: nothing, and no crash
  EXPECT_EQ(FT_ListDevices(&count, nullptr, FT_LIST_NUMBER_ONLY), FT_OK);
  EXPECT_EQ(count, 0u);
  EXPECT_EQ(Open("Brisk"), INVALID_HANDLE_VALUE);
}

// The instrument is offered, so start-up does not fall back to "Hardware not
// found."; opening it fails with the channel error and one line that names
// the node and the rule.
TEST_F(Standin, AnInstrumentWithoutPermissionIsOfferedAndItsOpenSaysWhy) {
  TDevice d = Device("Dorian-12", 1, 3, {1, 1});
  d.permitted = false;
  usbstandin::Add(d);
  setenv("VELK_D2XX_LIBRARY", VELKFTDI_STANDIN_LIBRARY, 1);
  VELK_InitDriver();
  int32_t ids[8] = {};
  uint8_t models[8] = {};
  ASSERT_EQ(VELK_ListDevices(ids, models), 1);
  EXPECT_EQ(models[0], 5);

  testing::internal::CaptureStderr();
  VELK_OpenDevice(ids[0]);
  std::string err = testing::internal::GetCapturedStderr();
  char text[103] = {};
  EXPECT_EQ(VELK_GetLastError(text), 2);
  EXPECT_STREQ(text, "Could not open USB channel.");
  VELK_FreeDriver();
  unsetenv("VELK_D2XX_LIBRARY");

  EXPECT_EQ(std::count(err.begin(), err.end(), '\n'), 1) << err;
  EXPECT_NE(err.find("/dev/bus/usb/001/003"), std::string::npos) << err;
  EXPECT_NE(err.find("60-velk.rules"), std::string::npos) << err;
}

// The shipped udev rule grants access to exactly the products velkio offers,
// one description per model.
TEST_F(Standin, TheUdevRuleNamesEveryInstrumentDescription) {
  std::ifstream rules(VELKFTDI_RULES);
  ASSERT_TRUE(rules) << VELKFTDI_RULES;
  std::vector<std::string> products;
  bool vendor = false, uaccess = false;
  const std::regex product(R"re(^ATTR\{product\}=="([^"]+)")re");
  for (std::string line; std::getline(rules, line);) {
    std::smatch m;
    if (std::regex_search(line, m, product)) products.push_back(m[1]);
    vendor |= line.find(R"(ATTR{idVendor}!="0403")") != std::string::npos;
    uaccess |= line.find(R"(TAG+="uaccess")") != std::string::npos;
  }
  EXPECT_TRUE(vendor);
  EXPECT_TRUE(uaccess);
  uint8_t address = 2;
  for (const std::string &p : products)
    usbstandin::Add(Device(p.c_str(), 1, address, {address})), ++address;
  setenv("VELK_D2XX_LIBRARY", VELKFTDI_STANDIN_LIBRARY, 1);
  VELK_InitDriver();
  int32_t ids[8] = {};
  uint8_t models[8] = {};
  int32_t n = VELK_ListDevices(ids, models);
  VELK_FreeDriver();
  unsetenv("VELK_D2XX_LIBRARY");
  EXPECT_EQ(n, int32_t(products.size())) << "every product of the rule is an instrument";
  EXPECT_EQ(std::set<uint8_t>(models, models + std::min(n, 8)),
            (std::set<uint8_t>{1, 2, 3, 4, 5, 6}));
}

struct TChannelCase {
  const char *variable; // null: unset
  bool opens;
  int interface;
  int writeEndpoint;
  int readEndpoint;
};

TEST_F(Standin, TheChannelIsAUnlessVelkFtdiInterfaceNamesAnother) {
  const TChannelCase cases[] = {
      {nullptr, true, 0, 0x02, 0x81}, {"", true, 0, 0x02, 0x81},  {"A", true, 0, 0x02, 0x81},
      {"B", true, 1, 0x04, 0x83},     {"b", true, 1, 0x04, 0x83}, {"C", false, 0, 0, 0},
      {"B2", false, 0, 0, 0},
  };
  for (const TChannelCase &c : cases) {
    SCOPED_TRACE(c.variable ? c.variable : "(unset)");
    usbstandin::Reset();
    TDevice dual = Device("Brisk", 1, 2, {1}, 0x6010);
    dual.channels = 2;
    TDevice &d = usbstandin::Add(dual);
    if (c.variable)
      setenv("VELK_FTDI_INTERFACE", c.variable, 1);
    else
      unsetenv("VELK_FTDI_INTERFACE");
    testing::internal::CaptureStderr();
    FT_HANDLE h = Open("Brisk");
    std::string err = testing::internal::GetCapturedStderr();
    if (!c.opens) {
      EXPECT_EQ(h, INVALID_HANDLE_VALUE);
      EXPECT_EQ(std::count(err.begin(), err.end(), '\n'), 1) << err;
      continue;
    }
    ASSERT_NE(h, INVALID_HANDLE_VALUE) << err;
    EXPECT_EQ(d.claimed, c.interface);
    EXPECT_FALSE(d.kernelDriver[c.interface]);
    EXPECT_TRUE(d.kernelDriver[1 - c.interface]) << "the other channel keeps its serial port";
    uint8_t out[3] = {1, 2, 3};
    EXPECT_EQ(Transfer(h, true, out, 3).count, 3);
    d.toHost = {9, 8};
    uint8_t in[2] = {};
    EXPECT_EQ(Transfer(h, false, in, 2).count, 2);
    EXPECT_EQ(d.writeEndpoints, std::vector<int>{c.writeEndpoint});
    EXPECT_EQ(d.readEndpoints, std::vector<int>{c.readEndpoint});
    EXPECT_EQ(FT_Close(h), FT_OK);
    EXPECT_TRUE(d.kernelDriver[c.interface]) << "closing gives the serial driver back";
  }
}

// The image stream leaves in bit-bang mode and the mode is left right after
// the last write: nothing of the stream may still sit in the chip then.
TEST_F(Standin, LeavingBitBangWaitsUntilTheChipHasClockedTheStreamOut) {
  for (size_t n : {size_t(100), size_t(10000)}) {
    SCOPED_TRACE(n);
    usbstandin::Reset();
    TDevice &d = usbstandin::Add(Device("Dorian", 1, 2, {1}));
    FT_HANDLE h = Open("Dorian");
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    ASSERT_EQ(FT_SetBitMode(h, 0xFF, FT_BITMODE_ASYNC_BITBANG), FT_OK);
    std::vector<uint8_t> stream = Pattern(n);
    ASSERT_EQ(Transfer(h, true, stream.data(), DWORD(n)).count, long(n));
    ASSERT_EQ(FT_SetBitMode(h, 0, FT_BITMODE_RESET), FT_OK);
    EXPECT_EQ(d.bitBangCut, 0u) << "bytes cut off the end of the stream";
    EXPECT_EQ(d.fromHost, stream);
    EXPECT_EQ(FT_Close(h), FT_OK);
  }
}

TEST_F(Standin, ATimeoutKeepsWhatMovedAndIsReportedAsATimeout) {
  TDevice &d = usbstandin::Add(Device("Brisk", 1, 2, {1}));
  FT_HANDLE h = Open("Brisk");
  ASSERT_NE(h, INVALID_HANDLE_VALUE);
  ASSERT_EQ(FT_SetTimeouts(h, 100, 100), FT_OK);

  // The chip takes 3000 of 10000 bytes, then its input stalls.
  d.acceptLimit = 3000;
  std::vector<uint8_t> out = Pattern(10000);
  TMoved w = Transfer(h, true, out.data(), DWORD(out.size()));
  EXPECT_TRUE(w.pending);
  EXPECT_EQ(w.count, 3000);
  EXPECT_EQ(d.fromHost, std::vector<uint8_t>(out.begin(), out.begin() + 3000));
  d.acceptLimit = 3500;
  DWORD moved = 0;
  EXPECT_EQ(FT_Write(h, out.data(), 1000, &moved), FT_OK);
  EXPECT_EQ(moved, 500u);

  // 5 of 8 bytes arrive: once followed by status packets until the timeout,
  // once by silence that runs the bulk transfer itself into libusb's timeout.
  for (bool silent : {false, true}) {
    SCOPED_TRACE(silent ? "silent" : "status packets");
    d.silent = silent;
    d.toHost = {1, 2, 3, 4, 5};
    uint8_t in[8] = {};
    TMoved r = Transfer(h, false, in, 8);
    EXPECT_TRUE(r.pending);
    EXPECT_EQ(r.count, 5);
    EXPECT_EQ(std::vector<uint8_t>(in, in + 5), (std::vector<uint8_t>{1, 2, 3, 4, 5}));
  }
  d.toHost = {7, 7};
  uint8_t in[4] = {};
  EXPECT_EQ(FT_Read(h, in, 4, &moved), FT_OK);
  EXPECT_EQ(moved, 2u);

  // A pulled cable is a failure, not a timeout.
  d.gone = true;
  EXPECT_EQ(Transfer(h, true, out.data(), 16).count, -1);
  EXPECT_EQ(FT_W32_GetLastError(h), 31u);
  EXPECT_EQ(Transfer(h, false, in, 4).count, -1);
  EXPECT_EQ(FT_Read(h, in, 4, &moved), FT_IO_ERROR);
  EXPECT_FALSE(FT_W32_PurgeComm(h, PURGE_TXCLEAR | PURGE_RXCLEAR));
  EXPECT_EQ(FT_Close(h), FT_OK);
}

TEST_F(Standin, LatencyZeroTransferSizesAndTheQueue) {
  TDevice &d = usbstandin::Add(Device("Cobalt", 1, 2, {1}));
  FT_HANDLE h = Open("Cobalt");
  ASSERT_NE(h, INVALID_HANDLE_VALUE);
  ASSERT_EQ(FT_SetTimeouts(h, 200, 200), FT_OK);

  EXPECT_EQ(FT_SetLatencyTimer(h, 0), FT_OK);
  UCHAR latency = 99;
  EXPECT_EQ(FT_GetLatencyTimer(h, &latency), FT_OK);
  EXPECT_EQ(latency, 1);
  EXPECT_EQ(d.latency, 1);
  EXPECT_EQ(FT_SetLatencyTimer(h, 2), FT_OK);

  // Transfer sizes are multiples of 64 from 64 to 64 KiB; a read asks for one.
  const std::pair<ULONG, int> sizes[] = {
      {100, 128}, {4096, 4096}, {5000, 5056}, {1, 64}, {100000, 65536}};
  for (auto [asked, used] : sizes) {
    ASSERT_EQ(FT_SetUSBParameters(h, asked, 0), FT_OK);
    d.toHost = {1};
    uint8_t byte = 0;
    ASSERT_EQ(Transfer(h, false, &byte, 1).count, 1);
    EXPECT_EQ(d.lastReadLength, used) << asked;
  }

  d.toHost.assign(10, 0x33);
  DWORD queued = 0;
  EXPECT_EQ(FT_GetQueueStatus(h, &queued), FT_OK);
  EXPECT_EQ(queued, 10u);
  uint8_t in[4] = {};
  DWORD moved = 0;
  EXPECT_EQ(FT_Read(h, in, 4, &moved), FT_OK);
  EXPECT_EQ(moved, 4u);
  EXPECT_EQ(FT_GetQueueStatus(h, &queued), FT_OK);
  EXPECT_EQ(queued, 6u);
  EXPECT_EQ(FT_Purge(h, FT_PURGE_RX), FT_OK);
  EXPECT_EQ(FT_GetQueueStatus(h, &queued), FT_OK);
  EXPECT_EQ(queued, 0u);

  EXPECT_FALSE(d.kernelDriver[0]);
  EXPECT_EQ(FT_Close(h), FT_OK);
  EXPECT_TRUE(d.kernelDriver[0]) << "the serial port comes back when Velk closes the device";
  EXPECT_FALSE(d.open);
}

} // namespace
