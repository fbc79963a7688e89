// Packets, the register batch, configuration image download and bad input.
#include "fixture.h"

#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>

using namespace velktest;
namespace fs = std::filesystem;

namespace {

struct TOp {
  int op;
  std::vector<uint8_t> bytes; // written bytes; for reads only the size matters
};

struct TPacketCase {
  const char *name;
  std::function<void()> action;
  std::vector<TOp> expected;
};

const std::vector<uint8_t> kNone;

TEST_F(LibraryTest, EveryPrimitiveSendsItsPacket) {
  Attach("Dorian");
  uint8_t value = 0;
  uint8_t data[4] = {1, 2, 3, 4};
  std::vector<uint8_t> bank(0x20000);
  const TPacketCase cases[] = {
      {"write register",
       [] { QPRE4902(11, 0x5A); },
       {{VELKEMU_OP_PURGE_COMM, kNone},
        {VELKEMU_OP_WRITE, Bytes({0x41, 0x44, 0x43, 0x8B, 0x01, 0x00, 0x00, 0x5A})}}},
      {"read register",
       [&] { ARPJ9457(10, &value); },
       {{VELKEMU_OP_PURGE_COMM, kNone},
        {VELKEMU_OP_WRITE, Bytes({0x41, 0x44, 0x43, 0x0A, 0x01, 0x00, 0x00})},
        {VELKEMU_OP_READ, std::vector<uint8_t>(1)}}},
      {"block read",
       [&] { VELK_ReadRAM(2, bank.data(), 0x20000); },
       {{VELKEMU_OP_PURGE_COMM, kNone},
        {VELKEMU_OP_WRITE, Bytes({0x41, 0x44, 0x43, 0x1B, 0x00, 0x00, 0x02})},
        {VELKEMU_OP_READ, std::vector<uint8_t>(0x20000)}}},
      {"block write",
       [&] { VELK_WriteRAM(3, data, 4); },
       {{VELKEMU_OP_PURGE_COMM, kNone},
        {VELKEMU_OP_WRITE, Bytes({0x41, 0x44, 0x43, 0x9C, 0x04, 0x00, 0x00})},
        {VELKEMU_OP_WRITE, Bytes({1, 2, 3, 4})}}},
      {"batch without purge",
       [] { VELK_StartCapture(); },
       {{VELKEMU_OP_WRITE, Bytes({0x41, 0x44, 0x43, 0x89, 0x01, 0x00, 0x00, 0x00, 0x41, 0x44, 0x43,
                                  0x86, 0x01, 0x00, 0x00, 0x01})}}},
      {"status LED off",
       [] { VELK_StatusLED(false); },
       {{VELKEMU_OP_PURGE_COMM, kNone},
        {VELKEMU_OP_WRITE, Bytes({0x41, 0x44, 0x43, 0xA0, 0x01, 0x00, 0x00, 0x08})}}},
      {"release",
       [] { VELK_FreeDevice(); },
       {{VELKEMU_OP_PURGE_COMM, kNone},
        {VELKEMU_OP_WRITE, Bytes({0x41, 0x44, 0x43, 0xBF, 0x01, 0x00, 0x00, 0xFF})}}},
  };
  for (const TPacketCase &c : cases) {
    SCOPED_TRACE(c.name);
    velkemu_log_clear();
    c.action();
    std::vector<TTransfer> log = Log();
    ASSERT_EQ(log.size(), c.expected.size());
    for (size_t i = 0; i < log.size(); ++i) {
      EXPECT_EQ(log[i].op, c.expected[i].op) << i;
      if (log[i].op == VELKEMU_OP_WRITE) {
        EXPECT_EQ(log[i].data, c.expected[i].bytes) << i;
      }
      if (log[i].op == VELKEMU_OP_READ) {
        EXPECT_EQ(log[i].requested, c.expected[i].bytes.size()) << i;
      }
      if (log[i].op == VELKEMU_OP_PURGE_COMM) {
        EXPECT_EQ(log[i].arg, 12u);
      }
    }
  }
  EXPECT_EQ(value, velkemu_get_register(device, 10));
}

TEST_F(LibraryTest, InformationBlockAndCountersUseTheirRegisters) {
  Attach("Brisk");
  uint8_t block[256];
  for (int i = 0; i < 256; ++i)
    block[i] = static_cast<uint8_t>(255 - i);
  NAOP4239(block);
  uint8_t stored[256] = {};
  velkemu_get_info_block(device, stored);
  EXPECT_EQ(0, std::memcmp(block, stored, 256));
  uint8_t back[256] = {};
  NGRH0485(back);
  EXPECT_EQ(0, std::memcmp(block, back, 256));

  velkemu_set_register(device, 45, 0x12);
  velkemu_set_register(device, 44, 0x34);
  velkemu_set_register(device, 43, 0x56);
  velkemu_set_register(device, 2, 0x01);
  velkemu_set_register(device, 1, 0x00);
  velkemu_set_register(device, 0, 0xFF);
  EXPECT_EQ(VELK_GetEdgeCount(), 0x123456);
  EXPECT_EQ(VELK_GetStopPosition(), 0x0100FF);
}

// A folder with a Lib/ subfolder for image files made by the test.
class ImageFolderTest : public LibraryTest {
protected:
  void SetUp() override {
    LibraryTest::SetUp();
    folder = fs::path(::testing::TempDir()) /
             ("velk-" + std::to_string(getpid()) + "-" +
              ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::create_directories(folder / "Lib");
  }
  void TearDown() override {
    LibraryTest::TearDown();
    fs::remove_all(folder);
  }
  void WriteFile(const fs::path &path, const std::vector<uint8_t> &bytes) {
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char *>(bytes.data()), bytes.size());
  }
  std::vector<uint8_t> Image(const std::string &name) {
    std::ifstream in(BinDir() + "Lib/" + name + ".v10", std::ios::binary);
    std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(in)),
                               std::istreambuf_iterator<char>());
    for (uint8_t &b : bytes)
      b ^= 0x3C;
    return bytes;
  }
  std::vector<uint8_t> HexText(const std::vector<uint8_t> &image) {
    static const char kDigits[] = "0123456789ABCDEF";
    std::vector<uint8_t> text;
    for (uint8_t b : image) {
      text.push_back(kDigits[b >> 4]);
      text.push_back(kDigits[b & 15]);
    }
    return text;
  }
  std::vector<uint8_t> BitBangStream() {
    for (const TTransfer &t : Log())
      if (t.op == VELKEMU_OP_WRITE && t.data.size() >= 32 && (t.data[0] & 0x04)) return t.data;
    return {};
  }
  fs::path folder;
};

TEST_F(ImageFolderTest, DownloadRunsTheBridgeThroughBitBangModeInOrder) {
  Attach("Dorian", false);
  ASSERT_TRUE(VELK_ConfigDevice(false)) << LastError().text;
  EXPECT_STREQ(velkemu_loaded_image(device), "Dorian");
  std::vector<int> ops;
  for (const TTransfer &t : Log())
    ops.push_back(t.op);
  const std::vector<int> download = {VELKEMU_OP_RESET,   VELKEMU_OP_PURGE_COMM, VELKEMU_OP_WRITE,
                                     VELKEMU_OP_RESET,   VELKEMU_OP_BITMODE,    VELKEMU_OP_WRITE,
                                     VELKEMU_OP_BITMODE, VELKEMU_OP_RESET,      VELKEMU_OP_PURGE};
  ASSERT_GE(ops.size(), download.size());
  EXPECT_EQ(std::vector<int>(ops.begin(), ops.begin() + download.size()), download);
  std::vector<TTransfer> log = Log();
  EXPECT_EQ(log[4].arg, 0xFF01u) << "all pins out, asynchronous bit-bang";
  EXPECT_EQ(log[6].arg, 0u);
  EXPECT_EQ(log[8].arg, 3u);
  EXPECT_EQ(log[5].data.size(), 16 * Image("Dorian").size() + 16);
}

TEST_F(ImageFolderTest, ImageBytesExpandLeastSignificantBitFirst) {
  Attach("Dorian", false);
  SetPath(folder.string() + "/");
  WriteFile(folder / "Lib/Dorian.v10", {0x01 ^ 0x3C, 0x00 ^ 0x3C, 0xFF ^ 0x3C});
  // Three bytes are no image the instrument accepts: the download says so.
  EXPECT_FALSE(VELK_ConfigDevice(false));
  EXPECT_EQ(LastError().code, 4);
  EXPECT_EQ(LastError().text, "Could not configure device");
  std::vector<uint8_t> stream = BitBangStream();
  ASSERT_EQ(stream.size(), 64u);
  EXPECT_EQ(std::vector<uint8_t>(stream.begin(), stream.begin() + 16),
            Bytes({0x85, 0x87, 0x04, 0x06, 0x04, 0x06, 0x04, 0x06, 0x04, 0x06, 0x04, 0x06, 0x04,
                   0x06, 0x04, 0x06}));
  for (int i = 16; i < 32; i += 2)
    EXPECT_EQ(stream[i], 0x04);
  for (int i = 32; i < 48; i += 2)
    EXPECT_EQ(stream[i], 0x85);
  EXPECT_STREQ(velkemu_loaded_image(device), "");
}

TEST_F(ImageFolderTest, SameImageDownloadsOnceAndMissingImageIsRetried) {
  Attach("Dorian", false);
  SetPath(folder.string() + "/");
  EXPECT_FALSE(VELK_ConfigDevice(false));
  EXPECT_EQ(LastError().code, 2);
  EXPECT_EQ(LastError().text, "Missing library.");
  EXPECT_TRUE(Log(VELKEMU_OP_WRITE).empty()) << "nothing reaches the instrument";

  SetPath(BinDir());
  ASSERT_TRUE(VELK_ConfigDevice(false)) << "the failed attempt must not count as loaded";
  EXPECT_EQ(velkemu_download_count(device), 1);
  EXPECT_TRUE(VELK_ConfigDevice(false));
  EXPECT_EQ(VELK_LoadLib(u""), 1);
  EXPECT_EQ(velkemu_download_count(device), 1);
  EXPECT_EQ(VELK_LoadLib(u"HF"), 1);
  EXPECT_EQ(velkemu_download_count(device), 2);
  EXPECT_STREQ(velkemu_loaded_image(device), "DorianHF");
}

TEST_F(ImageFolderTest, TwelveBitScopeAlwaysLoadsItsOneImage) {
  Attach("Fenwick");
  EXPECT_STREQ(velkemu_loaded_image(device), "Dorian-12");
  EXPECT_EQ(VELK_LoadLib(u"LF"), 1);
  EXPECT_EQ(velkemu_download_count(device), 1);
}

TEST_F(ImageFolderTest, EmptyOrTruncatedImageFailsWithoutConfiguring) {
  Attach("Dorian", false);
  SetPath(folder.string() + "/");
  WriteFile(folder / "Lib/Dorian.v10", {});
  EXPECT_FALSE(VELK_ConfigDevice(false));
  EXPECT_EQ(LastError().code, 2);
  EXPECT_EQ(LastError().text, "Missing library.");

  std::vector<uint8_t> image = Image("Dorian");
  image.resize(image.size() / 2);
  for (uint8_t &b : image)
    b ^= 0x3C;
  WriteFile(folder / "Lib/Dorian.v10", image);
  EXPECT_FALSE(VELK_ConfigDevice(false));
  EXPECT_EQ(LastError().code, 4);
  EXPECT_STREQ(velkemu_loaded_image(device), "");
  // The real image still loads afterwards: the failure was not remembered as loaded.
  SetPath(BinDir());
  EXPECT_TRUE(VELK_ConfigDevice(false)) << LastError().text;
}

TEST_F(ImageFolderTest, ServiceTextDownloadsWithoutChangingTheLoadedName) {
  Attach("Dorian");
  fs::path path = folder / "image.hex";
  std::vector<uint8_t> text = HexText(Image("DorianHF"));
  text.push_back('\r');
  text.push_back('\n');
  WriteFile(path, text);
  std::u16string wide = Utf16(path.string());
  EXPECT_TRUE(NTSE8345(wide.c_str())) << LastError().text;
  EXPECT_STREQ(velkemu_loaded_image(device), "DorianHF");
  // The library still believes "Dorian" is loaded, so this is skipped.
  EXPECT_EQ(VELK_LoadLib(u""), 1);
  EXPECT_STREQ(velkemu_loaded_image(device), "DorianHF");
}

TEST_F(ImageFolderTest, ServiceTextOfOneByte) {
  Attach("Dorian");
  fs::path path = folder / "a5.hex";
  WriteFile(path, {'A', '5'});
  std::u16string wide = Utf16(path.string());
  EXPECT_FALSE(NTSE8345(wide.c_str())) << "one byte is no image the instrument takes";
  EXPECT_EQ(BitBangStream(),
            Bytes({0x85, 0x87, 0x04, 0x06, 0x85, 0x87, 0x04, 0x06, 0x04, 0x06, 0x85,
                   0x87, 0x04, 0x06, 0x85, 0x87, 0x04, 0x06, 0x04, 0x06, 0x04, 0x06,
                   0x04, 0x06, 0x04, 0x06, 0x04, 0x06, 0x04, 0x06, 0x04, 0x06}));
}

TEST_F(ImageFolderTest, DamagedServiceTextNeverReachesTheInstrument) {
  Attach("Dorian");
  const std::vector<uint8_t> texts[] = {
      {'A', '5', 'B'}, {'A', '5', 'G', '0'}, {'A', ' ', '5', '0'}};
  for (const std::vector<uint8_t> &text : texts) {
    velkemu_log_clear();
    WriteFile(folder / "bad.hex", text);
    std::u16string wide = Utf16((folder / "bad.hex").string());
    EXPECT_FALSE(NTSE8345(wide.c_str()));
    EXPECT_EQ(LastError().code, 4);
    EXPECT_EQ(LastError().text, "Could not configure device");
    EXPECT_TRUE(Log().empty());
  }
  std::u16string missing = Utf16((folder / "none.hex").string());
  EXPECT_FALSE(NTSE8345(missing.c_str()));
  EXPECT_EQ(LastError().code, 2);
  EXPECT_STREQ(velkemu_loaded_image(device), "Dorian");
}

TEST_F(ImageFolderTest, UnplugDuringDownloadFailsCleanly) {
  Attach("Cobalt", false);
  velkemu_fault_unplug_after(device, 1); // the release write passes, the stream does not
  EXPECT_FALSE(VELK_ConfigDevice(false));
  EXPECT_EQ(LastError().code, 4);
  EXPECT_EQ(LastError().text, "Could not configure device");
  EXPECT_FALSE(VELK_ConfigDevice(false)) << "a failed download is tried again";
  EXPECT_EQ(LastError().code, 1);
  EXPECT_EQ(LastError().text, "Communication error. Device not found.");
}

TEST_F(ImageFolderTest, FailedBridgeResetReopensTheChannel) {
  Attach("Dorian", false);
  velkemu_fault_control(device, VELKEMU_OP_RESET, 1);
  EXPECT_FALSE(VELK_ConfigDevice(false));
  EXPECT_EQ(LastError().code, 4);
  std::vector<int> ops;
  for (const TTransfer &t : Log())
    ops.push_back(t.op);
  ASSERT_GE(ops.size(), 3u);
  EXPECT_EQ(ops[1], VELKEMU_OP_CLOSE);
  EXPECT_EQ(ops[2], VELKEMU_OP_OPEN);
  velkemu_fault_control(device, VELKEMU_OP_RESET, 0);
  EXPECT_TRUE(VELK_ConfigDevice(false)) << LastError().text;
}

} // namespace
