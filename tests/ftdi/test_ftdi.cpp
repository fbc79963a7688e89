// The libftdi1 adapter as shipped, over the real libftdi1 and libusb: what it
// exports, what it lists on a machine without an FTDI device, and how it
// refuses handles it never gave out. Devices of every kind are the business
// of test_ftdi_standin.cpp.
#include "d2xx.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <set>
#include <string>

#include "exported_names.h"

namespace {

// The FTDI devices the kernel sees, read from sysfs without the adapter.
int FtdiDevicesInSysfs() {
  int n = 0;
  std::error_code ec;
  for (const auto &entry : std::filesystem::directory_iterator("/sys/bus/usb/devices", ec)) {
    std::ifstream vendor(entry.path() / "idVendor");
    std::string id;
    if (vendor >> id && id == "0403") ++n;
  }
  return n;
}

TEST(Ftdi, ExportsTheD2xxEntryPointsAndItsUsbListing) {
  std::set<std::string> expected = kD2xxEntryPoints;
  expected.insert("VELKFTDI_ListUsb");
  EXPECT_EQ(ExportedNames(VELKFTDI_LIBRARY), expected);
}

// A machine without an FTDI device, where libusb may not even start in a
// sandbox: either way the adapter lists nothing and opens nothing. With an
// instrument or any FTDI cable attached the case cannot hold, so it steps
// aside.
TEST(Ftdi, WithoutAnInstrumentListsAndOpensNothing) {
  if (int n = FtdiDevicesInSysfs())
    GTEST_SKIP() << n << " FTDI device(s) attached: this case needs a machine without one";
  DWORD count = 99;
  ASSERT_EQ(FT_ListDevices(&count, nullptr, FT_LIST_NUMBER_ONLY), FT_OK);
  EXPECT_EQ(count, 0u);
  EXPECT_EQ(FT_ListDevices(nullptr, nullptr, FT_LIST_NUMBER_ONLY), FT_INVALID_PARAMETER);

  char description[64] = "untouched";
  EXPECT_EQ(FT_ListDevices(reinterpret_cast<PVOID>(intptr_t(0)), description,
                           FT_LIST_BY_INDEX | FT_OPEN_BY_DESCRIPTION),
            FT_DEVICE_NOT_FOUND);
  EXPECT_STREQ(description, "untouched");

  EXPECT_EQ(FT_W32_CreateFile("Brisk", GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OVERLAPPED | FT_OPEN_BY_DESCRIPTION,
                              nullptr),
            INVALID_HANDLE_VALUE);
  EXPECT_EQ(
      FT_W32_CreateFile(nullptr, 0, 0, nullptr, OPEN_EXISTING, FT_OPEN_BY_DESCRIPTION, nullptr),
      INVALID_HANDLE_VALUE);

  FT_HANDLE h = nullptr;
  EXPECT_EQ(FT_Open(0, &h), FT_DEVICE_NOT_FOUND);
  EXPECT_EQ(FT_Open(-1, &h), FT_DEVICE_NOT_FOUND);
  EXPECT_EQ(FT_OpenEx(const_cast<char *>("VE000001"), FT_OPEN_BY_SERIAL_NUMBER, &h),
            FT_DEVICE_NOT_FOUND);
  EXPECT_EQ(h, nullptr);
}

// Null, the failed-open value, a small number shaped like the adapter's own
// handles and a stray address: every entry point refuses them, and a
// transfer neither reports pending nor touches the caller's overlapped record.
TEST(Ftdi, HandlesItNeverGaveOutAreRefused) {
  int stray = 0;
  const FT_HANDLE handles[] = {nullptr, INVALID_HANDLE_VALUE, reinterpret_cast<FT_HANDLE>(0x10),
                               &stray};
  for (FT_HANDLE h : handles) {
    SCOPED_TRACE(testing::Message() << "handle " << h);
    EXPECT_EQ(FT_Close(h), FT_INVALID_HANDLE);
    EXPECT_FALSE(FT_W32_CloseHandle(h));
    EXPECT_EQ(FT_ResetDevice(h), FT_INVALID_HANDLE);
    EXPECT_EQ(FT_Purge(h, FT_PURGE_RX | FT_PURGE_TX), FT_INVALID_HANDLE);
    EXPECT_EQ(FT_SetTimeouts(h, 100, 100), FT_INVALID_HANDLE);
    EXPECT_EQ(FT_SetLatencyTimer(h, 2), FT_INVALID_HANDLE);
    EXPECT_EQ(FT_SetBitMode(h, 0xFF, FT_BITMODE_ASYNC_BITBANG), FT_INVALID_HANDLE);
    EXPECT_EQ(FT_SetUSBParameters(h, 4096, 0), FT_INVALID_HANDLE);
    UCHAR latency = 0;
    EXPECT_EQ(FT_GetLatencyTimer(h, &latency), FT_INVALID_HANDLE);
    DWORD queued = 0;
    EXPECT_EQ(FT_GetQueueStatus(h, &queued), FT_INVALID_HANDLE);
    EXPECT_FALSE(FT_W32_PurgeComm(h, PURGE_TXCLEAR | PURGE_RXCLEAR));

    uint8_t buffer[16] = {};
    DWORD moved = 7;
    EXPECT_EQ(FT_Write(h, buffer, sizeof buffer, &moved), FT_INVALID_HANDLE);
    EXPECT_EQ(FT_Read(h, buffer, sizeof buffer, &moved), FT_INVALID_HANDLE);

    EVENT_HANDLE event{};
    pthread_mutex_init(&event.eMutex, nullptr);
    pthread_cond_init(&event.eCondVar, nullptr);
    OVERLAPPED ov{};
    ov.Internal = 0x55;
    ov.InternalHigh = 0x66;
    ov.hEvent = &event;
    EXPECT_FALSE(FT_W32_WriteFile(h, buffer, sizeof buffer, &moved, &ov));
    EXPECT_FALSE(FT_W32_ReadFile(h, buffer, sizeof buffer, &moved, &ov));
    EXPECT_NE(FT_W32_GetLastError(h), ERROR_IO_PENDING);
    EXPECT_FALSE(FT_W32_GetOverlappedResult(h, &ov, &moved, TRUE));
    EXPECT_EQ(event.iVar, 0);
    EXPECT_EQ(ov.Internal, 0x55u);
    EXPECT_EQ(ov.InternalHigh, 0x66u);
    EXPECT_EQ(moved, 7u);
    pthread_cond_destroy(&event.eCondVar);
    pthread_mutex_destroy(&event.eMutex);
  }
}

} // namespace
