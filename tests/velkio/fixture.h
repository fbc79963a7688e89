// Drives libvelkio.so through its exports against the emulator, which the
// library loads as its D2XX provider (the test links the same file, so both
// see one emulator).
#pragma once

#include "velkemu.h"
#include "velkio.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

namespace velktest {

inline std::u16string Utf16(const std::string &s) {
  return std::u16string(s.begin(), s.end());
}

inline const std::string &BinDir() {
  static const std::string dir = VELK_TEST_BIN_DIR "/";
  return dir;
}

struct TLastError {
  int32_t code;
  std::string text;
};

inline TLastError LastError() {
  char text[103] = {};
  int32_t code = VELK_GetLastError(text);
  return {code, text};
}

struct TTransfer {
  int op;
  uint32_t arg;
  uint32_t requested;
  uint32_t moved;
  int ok;
  std::vector<uint8_t> data;
};

// The emulator's transfer log since the last clear, optionally one kind only.
inline std::vector<TTransfer> Log(int op = 0) {
  std::vector<TTransfer> out;
  for (size_t i = 0; i < velkemu_log_count(); ++i) {
    velkemu_transfer t{};
    velkemu_log_entry(i, &t);
    if (op && t.op != op) continue;
    out.push_back(
        {t.op, t.arg, t.requested, t.moved, t.ok, std::vector<uint8_t>(t.data, t.data + t.size)});
  }
  return out;
}

inline std::vector<uint8_t> Bytes(std::initializer_list<int> list) {
  return std::vector<uint8_t>(list.begin(), list.end());
}

// A fresh library against freshly emulated instruments.
class LibraryTest : public ::testing::Test {
protected:
  void SetUp() override {
    setenv("VELK_D2XX_LIBRARY", VELK_TEST_EMULATOR, 1);
    velkemu_set_pending(0);
    velkemu_reset("Dorian");
    VELK_InitDriver();
    SetPath(BinDir());
  }
  void TearDown() override {
    VELK_FreeDriver();
    velkemu_set_pending(0);
  }

  static void SetPath(const std::string &folder) {
    std::u16string f = Utf16(folder);
    VELK_SetPath(f.c_str());
  }

  // Emulates the instruments in list and opens the first one as the
  // application does; configures it unless told otherwise.
  void Attach(const char *list, bool configure = true) {
    velkemu_reset(list);
    int32_t ids[8] = {};
    uint8_t models[8] = {};
    ASSERT_GE(VELK_ListDevices(ids, models), 1);
    VELK_OpenDevice(ids[0]);
    ASSERT_EQ(LastError().code, 0) << LastError().text;
    VELK_InitDevice(models[0]);
    device = ids[0];
    if (configure) {
      ASSERT_TRUE(VELK_ConfigDevice(false)) << LastError().text;
    }
    velkemu_log_clear();
  }

  int device = 0;
};

} // namespace velktest
