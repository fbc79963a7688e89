// Listing, opening and closing the emulated devices, and what the library
// exports.
#include "emu_test_support.h"
#include "exported_names.h"

#include <dlfcn.h>

#include <cstdlib>
#include <cstring>

namespace {

std::string ListedField(int index, DWORD field) {
  char buf[64];
  std::memset(buf, 'x', sizeof buf);
  FT_STATUS st =
      FT_ListDevices(reinterpret_cast<PVOID>(uintptr_t(index)), buf, FT_LIST_BY_INDEX | field);
  return st == FT_OK ? std::string(buf) : "<status " + std::to_string(st) + ">";
}

DWORD ListedCount() {
  DWORD n = 12345;
  EXPECT_EQ(FT_OK, FT_ListDevices(&n, nullptr, FT_LIST_NUMBER_ONLY));
  return n;
}

class DeviceList : public ::testing::Test {
protected:
  void TearDown() override { velkemu_reset(""); }
};

TEST_F(DeviceList, ListsTrimmedDescriptionsInOrderWithModelsAndSerials) {
  ASSERT_EQ(4, velkemu_reset(" Dorian , Brisk,, Acme UART,Fenwick "));
  ASSERT_EQ(4u, ListedCount());
  const char *want[] = {"Dorian", "Brisk", "Acme UART", "Fenwick"};
  const int models[] = {4, 2, 0, 6};
  for (int i = 0; i < 4; ++i) {
    EXPECT_EQ(want[i], ListedField(i, FT_OPEN_BY_DESCRIPTION));
    EXPECT_EQ("VE00000" + std::to_string(i + 1), ListedField(i, FT_OPEN_BY_SERIAL_NUMBER));
    EXPECT_EQ(models[i], velkemu_model(i));
  }
  EXPECT_EQ("<status 2>", ListedField(4, FT_OPEN_BY_DESCRIPTION));
  EXPECT_EQ(-1, velkemu_model(4));

  char b0[64], b1[64], b2[64], b3[64];
  char *all[] = {b0, b1, b2, b3, nullptr};
  DWORD n = 0;
  ASSERT_EQ(FT_OK, FT_ListDevices(all, &n, FT_LIST_ALL | FT_OPEN_BY_DESCRIPTION));
  EXPECT_EQ(4u, n);
  EXPECT_STREQ("Acme UART", b2);
}

TEST_F(DeviceList, LongDescriptionsAreListedAsSixtyThreeCharacters) {
  std::string longName(80, 'q');
  velkemu_reset(longName.c_str());
  EXPECT_EQ(longName.substr(0, 63), ListedField(0, FT_OPEN_BY_DESCRIPTION));
}

TEST_F(DeviceList, ModelsAreNamedExactlyAndCaseSensitively) {
  struct {
    const char *description;
    int model;
  } cases[] = {{"Ardent", 1},  {"Brisk", 2},  {"Cobalt", 3},   {"Dorian", 4},      {"Dorian-12", 5},
               {"Fenwick", 6}, {"dorian", 0}, {"Dorian12", 0}, {"Dorian-12 x", 0}, {"BRISK", 0}};
  for (auto &c : cases) {
    velkemu_reset(c.description);
    EXPECT_EQ(c.model, velkemu_model(0)) << c.description;
  }
}

TEST_F(DeviceList, EmptyListAndVelkEmulateFromTheEnvironment) {
  EXPECT_EQ(0, velkemu_reset(""));
  EXPECT_EQ(0u, ListedCount());
  EXPECT_EQ(0, velkemu_reset(" , ,"));

  const char *saved = std::getenv("VELK_EMULATE");
  std::string keep = saved ? saved : "";
  setenv("VELK_EMULATE", "Cobalt,Ardent", 1);
  EXPECT_EQ(2, velkemu_reset(nullptr));
  EXPECT_EQ(3, velkemu_model(0));
  unsetenv("VELK_EMULATE");
  EXPECT_EQ(0, velkemu_reset(nullptr));
  if (saved) setenv("VELK_EMULATE", keep.c_str(), 1);
}

TEST_F(DeviceList, OpensTheFirstFreeDeviceWithTheExactDescription) {
  velkemu_reset("Dorian,Acme UART,Dorian");
  FT_HANDLE first = OpenByDescription("Dorian");
  FT_HANDLE second = OpenByDescription("Dorian");
  ASSERT_NE(INVALID_HANDLE_VALUE, first);
  ASSERT_NE(INVALID_HANDLE_VALUE, second);
  EXPECT_EQ(INVALID_HANDLE_VALUE, OpenByDescription("Dorian")); // both open
  for (const char *wrong : {"dorian", "Dorian ", "Dor", ""})
    EXPECT_EQ(INVALID_HANDLE_VALUE, OpenByDescription(wrong)) << '"' << wrong << '"';

  // Not an instrument, but a bridge all the same: it opens and takes writes.
  FT_HANDLE uart = OpenByDescription("Acme UART");
  ASSERT_NE(INVALID_HANDLE_VALUE, uart);
  EXPECT_TRUE(Write(uart, ReadCmd(10, 1)).ok);
  TBytes answer;
  EXPECT_EQ(0u, Read(uart, answer, 1).count);

  EXPECT_TRUE(FT_W32_CloseHandle(first));
  FT_HANDLE again = OpenByDescription("Dorian");
  ASSERT_NE(INVALID_HANDLE_VALUE, again);
  EXPECT_NE(first, again) << "a closed handle is never handed out again";
  EXPECT_EQ(FT_OK, FT_Close(again));
  EXPECT_EQ(FT_OK, FT_Close(second));
  EXPECT_EQ(FT_OK, FT_Close(uart));
}

TEST_F(DeviceList, OpensByIndexAndBySerialNumber) {
  velkemu_reset("Brisk,Cobalt");
  FT_HANDLE h = nullptr, other = nullptr;
  EXPECT_EQ(FT_OK, FT_Open(1, &h));
  EXPECT_EQ(FT_DEVICE_NOT_OPENED, FT_Open(1, &other));
  EXPECT_EQ(FT_DEVICE_NOT_FOUND, FT_Open(2, &other));
  EXPECT_EQ(FT_DEVICE_NOT_FOUND, FT_Open(-1, &other));
  EXPECT_EQ(FT_OK, FT_OpenEx(const_cast<char *>("VE000001"), FT_OPEN_BY_SERIAL_NUMBER, &other));
  EXPECT_EQ(FT_OK, FT_Close(other));
  EXPECT_EQ(FT_OK, FT_OpenEx(const_cast<char *>("Brisk"), FT_OPEN_BY_DESCRIPTION, &other));
  EXPECT_EQ(FT_OK, FT_Close(other));
  EXPECT_EQ(FT_OK, FT_Close(h));
}

TEST_F(DeviceList, ClosedStaleAndForeignHandlesAreRefused) {
  velkemu_reset("Dorian");
  FT_HANDLE closed = nullptr, stale = nullptr;
  ASSERT_EQ(FT_OK, FT_Open(0, &closed));
  ASSERT_EQ(FT_OK, FT_Close(closed));
  ASSERT_EQ(FT_OK, FT_Open(0, &stale));
  velkemu_reset("Dorian"); // open handles die with the old devices
  int local = 0;
  for (FT_HANDLE bad :
       {closed, stale, FT_HANDLE(&local), FT_HANDLE(nullptr), FT_HANDLE(INVALID_HANDLE_VALUE)}) {
    uint8_t byte = 0;
    DWORD n = 0;
    OVERLAPPED ov{};
    EXPECT_EQ(FT_INVALID_HANDLE, FT_Close(bad));
    EXPECT_EQ(FT_INVALID_HANDLE, FT_Purge(bad, 3));
    EXPECT_EQ(FT_INVALID_HANDLE, FT_SetBitMode(bad, 0xFF, 1));
    EXPECT_FALSE(FT_W32_WriteFile(bad, &byte, 1, &n, &ov));
    EXPECT_FALSE(FT_W32_ReadFile(bad, &byte, 1, &n, &ov));
    EXPECT_FALSE(FT_W32_GetOverlappedResult(bad, &ov, &n, FALSE));
    EXPECT_FALSE(FT_W32_CloseHandle(bad));
    EXPECT_EQ(6u, FT_W32_GetLastError(bad));
  }
  EXPECT_EQ(0u, velkemu_log_count()) << "calls without a device are not logged";
  FT_HANDLE fresh = nullptr;
  EXPECT_EQ(FT_OK, FT_Open(0, &fresh)) << "the reset freed the device";
  FT_Close(fresh);
}

// velkio binds all 21 entry points by name; nothing of the emulator's
// insides may leak into the dynamic symbol table.
TEST(Exports, AllD2xxEntryPointsAndOnlyThePublicNames) {
  void *lib = dlopen(VELKEMU_LIBRARY, RTLD_NOW | RTLD_NOLOAD);
  ASSERT_NE(nullptr, lib) << dlerror();
  std::set<std::string> names = kD2xxEntryPoints;
  names.insert({"velkemu_reset", "velkemu_set_pending", "velkemu_load_image", "velkemu_released"});
  for (const std::string &name : names)
    EXPECT_NE(nullptr, dlsym(lib, name.c_str())) << name;
  EXPECT_EQ(nullptr, dlsym(lib, "_ZN7velkemu3EmuEv")); // velkemu::Emu()
  EXPECT_EQ(nullptr, dlsym(lib, "_ZN7velkemu13DecodeBitBangERKSt6vectorIhSaIhEERS2_"));
  dlclose(lib);
}

} // namespace
