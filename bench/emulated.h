// Opens one emulated instrument through libvelkio.so as the application does.
#pragma once

#include "velkemu.h"
#include "velkio.h"

#include <cstdlib>
#include <string>

// largeMemory sets the information block's flag first, so that a bank holds
// 524288 samples.
inline bool OpenEmulated(const char *model, bool pending, bool largeMemory) {
  setenv("VELK_D2XX_LIBRARY", VELK_BENCH_EMULATOR, 1);
  velkemu_reset(model);
  velkemu_set_pending(pending ? 1 : 0);
  velkemu_log_data(0);
  if (largeMemory) {
    uint8_t block[256];
    velkemu_get_info_block(0, block);
    block[255] |= 0x01;
    velkemu_set_info_block(0, block);
  }
  VELK_InitDriver();
  std::string bin = VELK_BENCH_BIN_DIR;
  std::u16string folder(bin.begin(), bin.end());
  VELK_SetPath(folder.c_str());
  int32_t ids[8];
  uint8_t models[8];
  if (VELK_ListDevices(ids, models) < 1) return false;
  VELK_OpenDevice(ids[0]);
  VELK_InitDevice(models[0]);
  return VELK_ConfigDevice(false);
}
