// Enumeration, opening, channel set-up and the overlapped transfers.
#include "fixture.h"

#include <cstring>

using namespace velktest;

namespace {

TEST_F(LibraryTest, ListsOnlyExactInstrumentNamesWithFenwickAsModelSix) {
  velkemu_reset("Dorianx,dorian,Dorian,Serial Cable,Fenwick,Brisk-32,Dorian-12");
  int32_t ids[8] = {};
  uint8_t models[8] = {};
  ASSERT_EQ(VELK_ListDevices(ids, models), 3);
  EXPECT_EQ(ids[0], 2);
  EXPECT_EQ(models[0], 4);
  EXPECT_EQ(ids[1], 4);
  EXPECT_EQ(models[1], 6);
  EXPECT_EQ(ids[2], 6);
  EXPECT_EQ(models[2], 5);
  EXPECT_EQ(LastError().code, 0);
  EXPECT_EQ(LastError().text, "");
}

TEST_F(LibraryTest, ListingStopsAtTheCallersEightEntries) {
  velkemu_reset("Brisk,Brisk,Brisk,Brisk,Brisk,Dorian,Dorian,Dorian,Dorian,Cobalt");
  int32_t ids[10];
  uint8_t models[10];
  std::memset(ids, 0x7F, sizeof ids);
  std::memset(models, 0x7F, sizeof models);
  EXPECT_EQ(VELK_ListDevices(ids, models), 8);
  EXPECT_EQ(ids[7], 7);
  EXPECT_EQ(ids[8], 0x7F7F7F7F) << "wrote past the eighth entry";
  EXPECT_EQ(models[8], 0x7F);
}

TEST_F(LibraryTest, NoDeviceAttachedListsNothingWithoutError) {
  velkemu_reset("");
  int32_t ids[8];
  uint8_t models[8];
  EXPECT_EQ(VELK_ListDevices(ids, models), 0);
  EXPECT_EQ(LastError().code, 0);
  EXPECT_EQ(LastError().text, "");
}

TEST_F(LibraryTest, DescriptionOfAListedDevice) {
  velkemu_reset("Something else,Cobalt");
  char text[64];
  std::memset(text, 'x', sizeof text);
  VELK_GetDeviceDescr(1, text);
  EXPECT_STREQ(text, "Cobalt");
  VELK_GetDeviceDescr(5, text);
  EXPECT_EQ(LastError().code, 1);
  EXPECT_EQ(LastError().text, "Could not get device descriptor");
}

TEST_F(LibraryTest, OpeningSetsTheChannelUpInOrder) {
  Attach("Dorian", false);
  velkemu_reset("Dorian");
  velkemu_log_clear();
  VELK_OpenDevice(0);
  EXPECT_EQ(LastError().code, 0);
  std::vector<std::pair<int, uint32_t>> ops;
  for (const TTransfer &t : Log())
    ops.emplace_back(t.op, t.arg);
  std::vector<std::pair<int, uint32_t>> expected = {{VELKEMU_OP_OPEN, 0},
                                                    {VELKEMU_OP_USB_PARAMS, 4096},
                                                    {VELKEMU_OP_RESET, 0},
                                                    {VELKEMU_OP_TIMEOUTS, 10000},
                                                    {VELKEMU_OP_LATENCY, 2}};
  ASSERT_EQ(ops.size(), expected.size());
  for (size_t i = 0; i < ops.size(); ++i) {
    EXPECT_EQ(ops[i].first, expected[i].first) << i;
    if (i > 0) {
      EXPECT_EQ(ops[i].second, expected[i].second) << i;
    }
  }
}

struct TSetupFailure {
  int op;
  int32_t code;
  const char *text;
};

TEST_F(LibraryTest, EveryChannelSetupFailureHasItsCodeAndText) {
  const TSetupFailure cases[] = {
      {VELKEMU_OP_USB_PARAMS, 3, "Could not set USB in/out buffer parameters"},
      {VELKEMU_OP_RESET, 4, "Could not reset USB device"},
      {VELKEMU_OP_TIMEOUTS, 5, "Could not set USB timeouts"},
      {VELKEMU_OP_LATENCY, 5, "Could not set USB latency time"},
  };
  for (const TSetupFailure &c : cases) {
    velkemu_reset("Dorian");
    velkemu_fault_control(0, c.op, 1);
    VELK_OpenDevice(0);
    EXPECT_EQ(LastError().code, c.code) << c.text;
    EXPECT_EQ(LastError().text, c.text);
  }
}

TEST_F(LibraryTest, OpeningFailuresReportDescriptionAndChannelErrors) {
  velkemu_reset("Dorian");
  VELK_OpenDevice(3);
  EXPECT_EQ(LastError().code, 1);
  EXPECT_EQ(LastError().text, "Could not get device description.");

  VELK_OpenDevice(0);
  ASSERT_EQ(LastError().code, 0);
  VELK_OpenDevice(0); // already open
  EXPECT_EQ(LastError().code, 2);
  EXPECT_EQ(LastError().text, "Could not open USB channel.");
}

TEST_F(LibraryTest, BankReadsAreChunkedAt256KiB) {
  Attach("Brisk");
  ASSERT_EQ(VELK_GetDeviceRamSize(), 0x80000) << "the emulated analyzer has large memory";
  velkemu_log_data(0);
  std::vector<uint8_t> data(1000000);
  VELK_ReadRAM(1, data.data(), static_cast<int32_t>(data.size()));
  velkemu_log_data(1);
  std::vector<uint32_t> sizes;
  for (const TTransfer &t : Log(VELKEMU_OP_READ))
    sizes.push_back(t.requested);
  EXPECT_EQ(sizes, (std::vector<uint32_t>{262144, 262144, 262144, 213568}));
  EXPECT_EQ(LastError().code, 0);
}

TEST_F(LibraryTest, ShortReadIsAReadTimeoutThatKeepsTheCode) {
  Attach("Dorian");
  SetPath("/nonexistent/");
  VELK_LoadLib(u"LF"); // leaves error 2 in place
  ASSERT_EQ(LastError().code, 2);
  velkemu_fault_short_read(device, 1, 0);
  uint8_t value = 0;
  EXPECT_FALSE(ARPJ9457(10, &value)); // the service register read
  EXPECT_EQ(LastError().code, 2);
  EXPECT_EQ(LastError().text, "Communication error, read timeout");
  auto reads = Log(VELKEMU_OP_READ);
  ASSERT_EQ(reads.size(), 1u);
  EXPECT_EQ(reads[0].moved, 0u);
}

TEST_F(LibraryTest, EveryModelReportsFailedBankTransfersAsErrorSix) {
  const struct {
    const char *model;
    int bank;
  } cases[] = {{"Brisk", 2}, {"Cobalt", 2}, {"Ardent", 0}, {"Dorian", 2}, {"Dorian-12", 2}};
  for (const auto &[model, bank] : cases) {
    SCOPED_TRACE(model);
    VELK_FreeDriver();
    VELK_InitDriver();
    SetPath(BinDir());
    Attach(model);
    velkemu_fault_short_read(device, 1, 100);
    std::vector<uint8_t> data(4096);
    VELK_ReadRAM(bank, data.data(), 4096);
    EXPECT_EQ(LastError().code, 6);
    EXPECT_EQ(LastError().text, "Communication error. Could not read memory.");
    velkemu_fault_failed_write(device, 2); // the header goes, the data fails
    VELK_WriteRAM(bank, data.data(), 4096);
    EXPECT_EQ(LastError().code, 6);
    EXPECT_EQ(LastError().text, "Communication error. Could not write memory.");
  }
}

TEST_F(LibraryTest, FailedWriteIsReportedAndTheReadIsNotAttempted) {
  Attach("Dorian");
  velkemu_fault_failed_write(device, 1);
  uint8_t value = 0x55;
  EXPECT_FALSE(ARPJ9457(10, &value));
  EXPECT_EQ(value, 0x55);
  EXPECT_EQ(LastError().text, "Communication error, write failed");
  EXPECT_TRUE(Log(VELKEMU_OP_READ).empty());
}

TEST_F(LibraryTest, PendingTransfersCompleteThroughTheEvent) {
  velkemu_set_pending(1);
  Attach("Cobalt");
  std::vector<uint8_t> out(0x20000), in(0x20000);
  for (size_t i = 0; i < out.size(); ++i)
    out[i] = static_cast<uint8_t>(i * 7 + 3);
  VELK_WriteRAM(3, out.data(), 0x20000);
  VELK_ReadRAM(3, in.data(), 0x20000);
  EXPECT_EQ(LastError().code, 0) << LastError().text;
  EXPECT_EQ(out, in);
  velkemu_fault_short_read(device, 1, 0);
  uint8_t status = 0x33;
  EXPECT_FALSE(ARPJ9457(10, &status));
  EXPECT_EQ(status, 0x33);
  EXPECT_EQ(LastError().text, "Communication error, read timeout");
}

TEST_F(LibraryTest, UnpluggedInstrumentFailsEveryLaterCall) {
  Attach("Dorian");
  velkemu_fault_unplug_after(device, 0);
  uint8_t value = 0;
  EXPECT_FALSE(QPRE4902(11, 1));
  EXPECT_FALSE(ARPJ9457(10, &value));
  // A status poll must be able to tell a lost instrument from a slow one.
  EXPECT_EQ(VELK_ReadStatus(), 0);
  EXPECT_EQ(LastError().code, 1);
  EXPECT_EQ(LastError().text, "Communication error. Device not found.");
  int32_t ids[8];
  uint8_t models[8];
  EXPECT_EQ(VELK_ListDevices(ids, models), 0);
}

class MissingProviderTest : public ::testing::Test {
protected:
  void SetUp() override {
    setenv("VELK_D2XX_LIBRARY", "/nonexistent/libftd2xx.so", 1);
    VELK_InitDriver();
  }
  void TearDown() override { VELK_FreeDriver(); }
};

TEST_F(MissingProviderTest, NoProviderMeansNoDevicesAndOpeningFailsInSetup) {
  int32_t ids[8];
  uint8_t models[8];
  EXPECT_EQ(VELK_ListDevices(ids, models), 0);
  EXPECT_EQ(LastError().code, 0);
  VELK_OpenDevice(0);
  EXPECT_EQ(LastError().code, 3);
  EXPECT_EQ(LastError().text, "Could not set USB in/out buffer parameters");
  EXPECT_EQ(VELK_ReadStatus(), 0);
  EXPECT_FALSE(QPRE4902(6, 0));
}

} // namespace
