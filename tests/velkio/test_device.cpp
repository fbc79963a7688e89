// Model tables, item lists, device information and the exported names.
#include "exported_names.h"
#include "fixture.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <set>

using namespace velktest;

namespace {

struct TTableCase {
  uint8_t model;
  int clocks;
  int fastestHz;
  int clock5Hz;
  int channelB[2];
  int digital[2];
  int interleave[2];
  int gains;
  int firstGainMv;
  int lastGainMv;
  int configFlags;
  int halfRange;
  std::vector<int> autoset;
};

TEST_F(LibraryTest, ItemListsOfEveryModel) {
  const TTableCase cases[] = {
      {1,
       18,
       100000000,
       2000000,
       {0, 0},
       {0, 0},
       {1, 1},
       8,
       25000,
       100,
       0x01,
       128,
       {0, 3, 6, 9, 12, 0}},
      {2, 19, 200000000, 5000000, {0, 0}, {16, 32}, {2, 1}, 0, 0, 0, 0x1E, 0, {0, 0, 0, 0, 0, 0}},
      {3,
       19,
       200000000,
       5000000,
       {0, 1},
       {8, 16},
       {2, 1},
       8,
       25000,
       100,
       0x1F,
       128,
       {2, 4, 7, 10, 13, 0}},
      {4,
       19,
       200000000,
       5000000,
       {0, 1},
       {0, 0},
       {2, 1},
       8,
       25000,
       100,
       0x01,
       128,
       {2, 4, 7, 10, 13, 0}},
      {5,
       18,
       100000000,
       2000000,
       {0, 1},
       {0, 0},
       {2, 1},
       6,
       10000,
       250,
       0x11,
       2048,
       {1, 4, 7, 10, 0, 0}},
      {6,
       18,
       100000000,
       2000000,
       {0, 1},
       {0, 0},
       {2, 1},
       6,
       10000,
       250,
       0x11,
       2048,
       {1, 4, 7, 10, 0, 0}},
  };
  for (const TTableCase &c : cases) {
    SCOPED_TRACE(static_cast<int>(c.model));
    VELK_FreeDriver();
    VELK_InitDriver();
    VELK_InitDevice(c.model);
    ASSERT_TRUE(VELK_ConfigDevice(true));
    EXPECT_EQ(VELK_GetClockItems(0x100), c.clocks);
    EXPECT_EQ(VELK_GetClockItems(0x200), c.fastestHz);
    EXPECT_EQ(VELK_GetClockItems(0x205), c.clock5Hz);
    EXPECT_EQ(VELK_GetClockItems(0x200 + c.clocks - 1), 200);
    EXPECT_EQ(VELK_GetClockItems(0x200 + c.clocks), -1) << "the table ends in -1";
    for (int i = 0; i < 2; ++i) {
      EXPECT_EQ(VELK_GetClockItems(0x400 + i), c.channelB[i]);
      EXPECT_EQ(VELK_GetClockItems(0x800 + i), c.digital[i]);
      EXPECT_EQ(VELK_GetClockItems(0x1000 + i), c.interleave[i]);
    }
    EXPECT_EQ(VELK_GetGainItems(0x100), c.gains);
    if (c.gains) {
      EXPECT_EQ(VELK_GetGainItems(0x200), c.firstGainMv);
      EXPECT_EQ(VELK_GetGainItems(0x200 + c.gains - 1), c.lastGainMv);
    }
    EXPECT_EQ(VELK_GetConfigItems(0x100), c.configFlags);
    EXPECT_EQ(VELK_GetConfigItems(0x200), c.halfRange);
    std::vector<int> autoset;
    for (int i = 0; i < 6; ++i)
      autoset.push_back(VELK_GetConfigItems(0x400 + i));
    EXPECT_EQ(autoset, c.autoset);
    EXPECT_EQ(VELK_GetClockItems(0x005), 0) << "no list bit, no answer";
    EXPECT_EQ(VELK_GetClockItems(0x2FF), 0) << "past the table";
  }
}

TEST_F(LibraryTest, ReadStatusWithoutDriverIsZero) {
  Attach("Dorian", false);
  velkemu_set_register(device, 10, 0x81);
  VELK_FreeDevice();
  EXPECT_EQ(VELK_ReadStatus(), 0);
}

TEST_F(LibraryTest, InformationBlockFillsIdentityAndMemorySize) {
  Attach("Dorian", false);
  uint8_t block[256] = {};
  std::strcpy(reinterpret_cast<char *>(block), "Unit 7");
  std::strcpy(reinterpret_cast<char *>(block + 21), "3.04");
  std::strcpy(reinterpret_cast<char *>(block + 27), "SN1234567890123");
  block[255] = 0x01;
  block[238] = 0x5A;
  block[246] = 4;
  velkemu_set_info_block(device, block);
  ASSERT_TRUE(VELK_ConfigDevice(false));
  char id[257], sn[10], ver[10];
  std::memset(sn, 'z', sizeof sn);
  VELK_GetDeviceID(id);
  VELK_GetDeviceSN(sn);
  VELK_GetDeviceVer(ver);
  EXPECT_STREQ(id, "Unit 7");
  EXPECT_STREQ(ver, "3.04");
  EXPECT_STREQ(sn, "SN1234567") << "cut to the application's ten bytes";
  EXPECT_EQ(VELK_GetDeviceRamSize(), 0x80000);
  EXPECT_EQ(VELK_GetDeviceCalibration(0, 'A'), 0x5A << 12);
  EXPECT_EQ(VELK_GetDeviceCalibration(0, 'B'), 0x5A << 12);
  EXPECT_EQ(VELK_GetDeviceCalibration(8, 'A'), 0);
}

TEST_F(LibraryTest, BlankInformationBlockLeavesEmptyTextsAndSmallMemory) {
  Attach("Brisk", false);
  velkemu_fault_blank_info(device, 1);
  ASSERT_TRUE(VELK_ConfigDevice(false));
  char id[257] = "x", sn[10] = "x", ver[10] = "x";
  VELK_GetDeviceID(id);
  VELK_GetDeviceSN(sn);
  VELK_GetDeviceVer(ver);
  EXPECT_STREQ(id, "");
  EXPECT_STREQ(sn, "");
  EXPECT_STREQ(ver, "");
  EXPECT_EQ(VELK_GetDeviceRamSize(), 0x20000);
}

TEST_F(LibraryTest, PenScopeWithoutItsFastestClockShiftsTheClockIndex) {
  Attach("Ardent", false);
  uint8_t block[256] = {};
  velkemu_get_info_block(device, block);
  block[255] |= 0x02;
  velkemu_set_info_block(device, block);
  ASSERT_TRUE(VELK_ConfigDevice(false));
  EXPECT_EQ(VELK_GetClockItems(0x100), 17);
  EXPECT_EQ(VELK_GetClockItems(0x200), 50000000);

  // The application's index 0 (50 MHz) is the driver's index 1. The image is
  // loaded first so that the instrument can be made to look ready.
  ASSERT_EQ(VELK_LoadLib(u"HF"), 1);
  velkemu_set_register(device, 10, 0x01);
  VELK_CPBuffers(1000, 500);
  VELK_CPSampling(0, 0, 0);
  VELK_CPSet();
  EXPECT_EQ(LastError().code, 0) << LastError().text;
  EXPECT_STREQ(velkemu_loaded_image(device), "ArdentHF");
  EXPECT_EQ(velkemu_get_register(device, 15), 1);
  ASSERT_EQ(VELK_LoadLib(u"LF"), 1);
  velkemu_set_register(device, 10, 0x01);
  VELK_CPSampling(0, 2, 0); // 10 MHz
  VELK_CPSet();
  EXPECT_EQ(LastError().code, 0) << LastError().text;
  EXPECT_STREQ(velkemu_loaded_image(device), "ArdentLF");
  EXPECT_EQ(velkemu_get_register(device, 15), 0);
  EXPECT_EQ(velkemu_get_register(device, 40), 0);
  EXPECT_EQ(velkemu_get_register(device, 41), 0);
}

TEST_F(LibraryTest, TriggerLevelIsConvertedWithChannelAGainRoundingHalfUp) {
  Attach("Dorian");
  ASSERT_EQ(VELK_LoadLib(u"LF"), 1);
  velkemu_set_register(device, 10, 0x01);
  VELK_CPBuffers(1000, 500);
  VELK_CPSampling(0, 6, 0);
  VELK_CPGain(2, 7);
  const uint8_t source = 1, edge = 0;
  VELK_CPTrigger(0, &source, &edge, nullptr, nullptr);
  VELK_CPThresholdA(-5, 0); // -5 / 1.296349252 = -3.857
  VELK_CPSet();
  EXPECT_EQ(LastError().code, 0) << LastError().text;
  EXPECT_EQ(velkemu_get_register(device, 52), 124);
  EXPECT_EQ(velkemu_get_register(device, 51), 124);
  EXPECT_EQ(velkemu_get_register(device, 11), 15) << "channel B, rising";
}

TEST_F(LibraryTest, CaptureSetupTimesOutWhenTheInstrumentNeverGetsReady) {
  Attach("Dorian");
  velkemu_set_register(device, 10, 0);
  VELK_CPBuffers(1000, 500);
  VELK_CPSet();
  EXPECT_EQ(LastError().code, 1);
  EXPECT_EQ(LastError().text, "Could not set capture parameters. Timeout.");
}

TEST(Exports, ExactlyTheInterfaceIsExported) {
  std::set<std::string> names = ExportedNames(VELK_TEST_VELKIO);
  const char *const expected[] = {"_VELK_InitDriver",
                                  "_VELK_FreeDriver",
                                  "_VELK_SetPath",
                                  "_VELK_ListDevices",
                                  "_VELK_GetDeviceDescr",
                                  "_VELK_OpenDevice",
                                  "_VELK_CloseDevice",
                                  "_VELK_InitDevice",
                                  "_VELK_ConfigDevice",
                                  "_VELK_LoadLib",
                                  "_VELK_FreeDevice",
                                  "_VELK_CPBuffers",
                                  "_VELK_CPEdgeCounter",
                                  "_VELK_CPCaptureDelay",
                                  "_VELK_CPThresholdA",
                                  "_VELK_CPThresholdD",
                                  "_VELK_CPTrigger",
                                  "_VELK_CPSkip",
                                  "_VELK_CPSampling",
                                  "_VELK_CPGain",
                                  "_VELK_CPCoupling",
                                  "_VELK_CPExtTrig",
                                  "_VELK_CPProbeComp",
                                  "_VELK_CPSet",
                                  "_VELK_StartCapture",
                                  "_VELK_StopCapture",
                                  "_VELK_ForceTrigger",
                                  "_VELK_Clear",
                                  "_VELK_ReadStatus",
                                  "_VELK_SetThresholdA",
                                  "_VELK_SetThresholdD",
                                  "_VELK_StatusLED",
                                  "_VELK_GetDataA",
                                  "_VELK_GetADCDataA",
                                  "_VELK_GetDataD",
                                  "_VELK_GetEdgeCount",
                                  "_VELK_GetStopPosition",
                                  "_VELK_GetDeviceID",
                                  "_VELK_GetDeviceSN",
                                  "_VELK_GetDeviceVer",
                                  "_VELK_GetDeviceRamSize",
                                  "_VELK_GetDeviceCalibration",
                                  "_VELK_GetClockItems",
                                  "_VELK_GetGainItems",
                                  "_VELK_GetConfigItems",
                                  "_VELK_ReadRAM",
                                  "_VELK_WriteRAM",
                                  "_VELK_GetLastError",
                                  "_NTSE8345",
                                  "_NGRH0485",
                                  "_NAOP4239",
                                  "_QPRE4902",
                                  "_ARPJ9457"};
  std::set<std::string> want(std::begin(expected), std::end(expected));
  ASSERT_EQ(want.size(), 53u);
  EXPECT_EQ(names, want);
}

} // namespace
