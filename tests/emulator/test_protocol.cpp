// The command stream of a configured instrument: the "ADC" parser, registers,
// memory banks and the information block.
#include "emu_test_support.h"

#include <cstring>

namespace {

using Protocol = TEmuTest;

// Whatever the transfer boundaries, the instrument sees the same commands.
TEST_F(Protocol, CommandsSplitAtAnyByteOrCombinedInOneTransferAllArrive) {
  TBytes stream = Cat({{0x00, 'A', 'D', 'A', 'A'}, // garbage, including partial "ADC"s
                       RegWrite(11, 0x5A),
                       BlockWrite(27, {1, 2, 3}),
                       ReadCmd(11, 1),
                       ReadCmd(27, 3)});
  for (size_t cut = 0; cut < stream.size(); ++cut) {
    SCOPED_TRACE("split after byte " + std::to_string(cut));
    velkemu_set_register(0, 11, 0);
    FT_W32_PurgeComm(h, 12);
    ASSERT_TRUE(Write(h, TBytes(stream.begin(), stream.begin() + cut)).ok);
    ASSERT_TRUE(Write(h, TBytes(stream.begin() + cut, stream.end())).ok);
    TBytes answer;
    ASSERT_EQ(4u, Read(h, answer, 4).count);
    EXPECT_EQ((TBytes{0x5A, 1, 2, 3}), answer);
  }
}

TEST_F(Protocol, ABatchOfThirtyTwoRegisterWritesInOneTransfer) {
  TBytes batch;
  for (int i = 0; i < 32; ++i)
    batch = Cat({batch, RegWrite(64 + i, uint8_t(0xA0 + i))});
  ASSERT_EQ(256u, batch.size());
  ASSERT_TRUE(Write(h, batch).ok);
  for (int i = 0; i < 32; ++i)
    EXPECT_EQ(0xA0 + i, velkemu_get_register(0, 64 + i)) << i;
}

TEST_F(Protocol, RegistersReadBackExceptStatusAndDeviceLatency) {
  struct {
    const char *model;
    int latencyAfterWrite; // 53 is a trigger-level byte on the 12-bit scopes
  } cases[] = {{"Ardent", 3}, {"Brisk", 3},     {"Cobalt", 3},
               {"Dorian", 3}, {"Dorian-12", 9}, {"Fenwick", 9}};
  for (auto &c : cases) {
    SCOPED_TRACE(c.model);
    SetUpDevices(c.model);
    EXPECT_EQ(c.latencyAfterWrite == 3 ? 3 : 0, ReadReg(h, 53));
    int status = ReadReg(h, 10);
    ASSERT_TRUE(Write(h, Cat({RegWrite(53, 9), RegWrite(10, 7), RegWrite(127, 0xFE)})).ok);
    EXPECT_EQ(c.latencyAfterWrite, ReadReg(h, 53));
    EXPECT_EQ(status, ReadReg(h, 10)) << "the status ignores writes";
    EXPECT_EQ(0xFE, ReadReg(h, 127));
    // The control API sets what a read returns, read-only registers included.
    velkemu_set_register(0, 10, 0x81);
    velkemu_set_register(0, 53, 5);
    EXPECT_EQ(0x81, ReadReg(h, 10));
    EXPECT_EQ(5, ReadReg(h, 53));
    FT_Close(h);
  }
}

TEST_F(Protocol, BanksOfEachModel) {
  struct {
    const char *model;
    size_t sizes[4];
  } cases[] = {
      {"Ardent", {0, 0, 0x20000, 0}},
      {"Brisk", {0x80000, 0x80000, 0x80000, 0x80000}}, // large memory by default
      {"Cobalt", {0x20000, 0x20000, 0x20000, 0x20000}},
      {"Dorian", {0, 0, 0x20000, 0x20000}},
      {"Dorian-12", {0x20000, 0x20000, 0x20000, 0}},
      {"Fenwick", {0x20000, 0x20000, 0x20000, 0}},
      {"Acme UART", {0, 0, 0, 0}},
  };
  for (auto &c : cases) {
    velkemu_reset(c.model);
    for (int bank = 0; bank < 4; ++bank)
      EXPECT_EQ(c.sizes[bank], velkemu_bank_size(0, bank)) << c.model << " bank " << bank;
  }
}

TEST_F(Protocol, BlockWritesAndReadsStartAtZeroAndWrapAroundTheBank) {
  SetUpDevices("Brisk");
  const size_t size = velkemu_bank_size(0, 2);
  ASSERT_EQ(0x80000u, size);
  TBytes pattern(size);
  for (size_t i = 0; i < size; ++i)
    pattern[i] = uint8_t(i * 7 + i / 251);
  ASSERT_TRUE(Write(h, BlockWrite(27, pattern)).ok);
  TBytes copy(size);
  ASSERT_EQ(size, velkemu_read_bank(0, 2, copy.data(), size));
  EXPECT_EQ(pattern, copy);

  // 1,000,000 bytes in the library's chunks of at most 0x40000.
  FT_W32_PurgeComm(h, 12);
  ASSERT_TRUE(Write(h, ReadCmd(27, 1000000)).ok);
  TBytes all, chunk;
  for (DWORD left = 1000000; left > 0;) {
    DWORD n = std::min<DWORD>(left, 0x40000);
    ASSERT_EQ(n, Read(h, chunk, n).count);
    all.insert(all.end(), chunk.begin(), chunk.end());
    left -= n;
  }
  for (size_t i = 0; i < all.size(); ++i)
    if (all[i] != pattern[i % size]) FAIL() << "byte " << i << " of the wrapped read";

  // A 1-byte write to a port is a block write of one byte.
  ASSERT_TRUE(Write(h, RegWrite(28, 0x77)).ok);
  uint8_t first = 0;
  velkemu_read_bank(0, 3, &first, 1);
  EXPECT_EQ(0x77, first);
  EXPECT_EQ(0x77, ReadReg(h, 28));
}

TEST_F(Protocol, PortsAModelLacksReadZerosAndIgnoreWrites) {
  SetUpDevices("Ardent");
  ASSERT_TRUE(Write(h, BlockWrite(25, TBytes(64, 0x55))).ok);
  EXPECT_EQ(TBytes(64, 0), Ask(h, ReadCmd(25, 64), 64));
  // The pen-type scope keeps its lower trigger level in register 28.
  ASSERT_TRUE(Write(h, RegWrite(28, 141)).ok);
  EXPECT_EQ(141, ReadReg(h, 28));
  EXPECT_EQ(TBytes(8, 0), Ask(h, ReadCmd(28, 8), 8));
}

TEST_F(Protocol, TheLargeMemoryFlagSizesTheBanksAndKeepsTheirContent) {
  uint8_t block[256];
  ASSERT_EQ(0, velkemu_get_info_block(0, block));
  EXPECT_EQ(0, block[255] & 1);
  const uint8_t marker[3] = {9, 8, 7};
  velkemu_write_bank(0, 3, marker, 3);
  block[255] |= 1;
  velkemu_set_info_block(0, block);
  EXPECT_EQ(0x80000u, velkemu_bank_size(0, 3));
  EXPECT_EQ(0u, velkemu_bank_size(0, 0));
  uint8_t back[3] = {};
  velkemu_read_bank(0, 3, back, 3);
  EXPECT_EQ(0, std::memcmp(marker, back, 3));
}

TEST_F(Protocol, DefaultInformationBlocks) {
  velkemu_reset("Dorian,Brisk,Dorian");
  uint8_t block[256];
  velkemu_get_info_block(0, block);
  EXPECT_STREQ("VELK Dorian", reinterpret_cast<char *>(block));
  EXPECT_STREQ("1.20", reinterpret_cast<char *>(block + 21));
  EXPECT_STREQ("VD2611001", reinterpret_cast<char *>(block + 27));
  for (int i = 246; i < 254; ++i)
    EXPECT_EQ(0, block[i]) << "zero codes are nominal";
  EXPECT_NE(0, block[238]) << "calibration mantissas are set";
  EXPECT_EQ(0, block[255]);
  velkemu_get_info_block(1, block);
  EXPECT_EQ(1, block[255] & 1);
  velkemu_get_info_block(2, block);
  EXPECT_STREQ("VD2611002", reinterpret_cast<char *>(block + 27));
}

TEST_F(Protocol, InformationBlockFetchStoreAndBlankFault) {
  uint8_t stored[256];
  velkemu_get_info_block(0, stored);
  const TBytes fetch = Cat({RegWrite(61, 1), ReadCmd(60, 256)});
  EXPECT_EQ(TBytes(stored, stored + 256), Ask(h, fetch, 256));

  TBytes mine(256);
  for (int i = 0; i < 256; ++i)
    mine[i] = uint8_t(255 - i);
  ASSERT_TRUE(Write(h, Cat({BlockWrite(60, mine), RegWrite(61, 2)})).ok);
  velkemu_get_info_block(0, stored);
  EXPECT_EQ(mine, TBytes(stored, stored + 256));
  EXPECT_EQ(0x20000u, velkemu_bank_size(0, 2)) << "storing a flag does not change the memory";

  velkemu_fault_blank_info(0, 1);
  EXPECT_EQ(TBytes(256, 0xFF), Ask(h, fetch, 256));
  velkemu_fault_blank_info(0, 0);
  EXPECT_EQ(mine, Ask(h, fetch, 256));
}

TEST_F(Protocol, UnconfiguredInstrumentsTakeWritesAndAnswerNothing) {
  SetUpDevices("Dorian", false);
  EXPECT_STREQ("", velkemu_loaded_image(0));
  ASSERT_TRUE(Write(h, Cat({RegWrite(11, 5), ReadCmd(11, 1)})).ok);
  EXPECT_EQ(0, velkemu_get_register(0, 11));
  TBytes answer;
  TTransferResult r = Read(h, answer, 1);
  EXPECT_TRUE(r.ok && r.pending && r.count == 0) << "the read runs into the timeout";
}

TEST_F(Protocol, ReleaseKeepsTheInstrumentConfigured) {
  EXPECT_EQ(0, velkemu_released(0));
  ASSERT_TRUE(Write(h, RegWrite(63, 255)).ok);
  EXPECT_EQ(1, velkemu_released(0));
  EXPECT_STREQ("Dorian", velkemu_loaded_image(0));
  EXPECT_EQ(3, ReadReg(h, 53));
}

} // namespace
