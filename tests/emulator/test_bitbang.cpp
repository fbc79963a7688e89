// Configuration image downloads through bit-bang mode, with the image files
// of bin/Lib.
#include "emu_test_support.h"

namespace {

class BitBang : public TEmuTest {
protected:
  void SetUp() override { SetUpDevices("Dorian", false); }
};

TEST_F(BitBang, EveryImageFileConfiguresItsOwnFamilyOnly) {
  struct {
    const char *image;
    int models; // bit n: model n accepts it
  } cases[] = {
      {"Ardent", 1 << 1},    {"ArdentHF", 1 << 1},
      {"ArdentLF", 1 << 1},  {"Brisk", 1 << 2},
      {"Brisk200", 1 << 2},  {"BriskHF", 1 << 2},
      {"BriskLF", 1 << 2},   {"Cobalt", 1 << 3},
      {"Cobalt200", 1 << 3}, {"CobaltHF", 1 << 3},
      {"CobaltLF", 1 << 3},  {"Dorian", 1 << 4},
      {"Dorian200", 1 << 4}, {"DorianHF", 1 << 4},
      {"DorianLF", 1 << 4},  {"Dorian-12", 1 << 5 | 1 << 6},
  };
  SetUpDevices("Acme UART,Ardent,Brisk,Cobalt,Dorian,Dorian-12,Fenwick", false);
  FT_HANDLE hs[7] = {h};
  for (int dev = 1; dev < 7; ++dev)
    ASSERT_EQ(FT_OK, FT_Open(dev, &hs[dev]));
  for (auto &c : cases) {
    TBytes image = ImageFile(c.image);
    ASSERT_EQ(2048u, image.size()) << c.image;
    TBytes stream = BitBangStream(image);
    for (int dev = 0; dev < 7; ++dev) {
      SCOPED_TRACE(std::string(c.image) + " into model " + std::to_string(dev));
      int before = velkemu_download_count(dev);
      Download(hs[dev], stream);
      bool fits = c.models >> velkemu_model(dev) & 1;
      EXPECT_STREQ(fits ? c.image : "", velkemu_loaded_image(dev));
      EXPECT_EQ(before + (fits ? 1 : 0), velkemu_download_count(dev));
    }
  }
}

TEST_F(BitBang, AConfiguredInstrumentAnswersWithRegistersAtTheirDefaults) {
  Download(h, BitBangStream(ImageFile("DorianHF")));
  ASSERT_STREQ("DorianHF", velkemu_loaded_image(0));
  ASSERT_TRUE(Write(h, RegWrite(11, 17)).ok);
  EXPECT_EQ(17, ReadReg(h, 11));

  // A new download: the instrument forgets everything while it awaits the
  // image, ignores what comes before normal mode, and starts afresh.
  ASSERT_EQ(FT_OK, FT_SetBitMode(h, 0xFF, FT_BITMODE_ASYNC_BITBANG));
  EXPECT_STREQ("", velkemu_loaded_image(0));
  ASSERT_EQ(FT_OK, FT_SetBitMode(h, 0, FT_BITMODE_RESET));
  EXPECT_STREQ("", velkemu_loaded_image(0)) << "an empty stream is refused";
  EXPECT_EQ(-1, ReadReg(h, 11));
  Download(h, BitBangStream(ImageFile("Dorian")));
  EXPECT_STREQ("Dorian", velkemu_loaded_image(0));
  EXPECT_EQ(2, velkemu_download_count(0));
  EXPECT_EQ(0, ReadReg(h, 11));
  EXPECT_EQ(3, ReadReg(h, 53));
}

TEST_F(BitBang, BrokenStreamsAreRefused) {
  const TBytes good = BitBangStream(ImageFile("Dorian"));
  TBytes badPair = good, flippedBit = good, shortByOne = good, noTrailer = good,
         badSum = ImageFile("Dorian"), longer = good;
  badPair[100] = 0x05;
  std::swap(flippedBit[16 * 30], flippedBit[16 * 30 + 1]); // 0x06, 0x04: clock edge backwards
  shortByOne.pop_back();
  noTrailer.resize(good.size() - 16);
  badSum[500] ^= 1;
  longer.insert(longer.end(), good.end() - 16, good.end());
  struct {
    const char *what;
    TBytes stream;
  } cases[] = {
      {"empty", {}},
      {"a pair that is neither bit", badPair},
      {"a reversed clock pair", flippedBit},
      {"a length not a multiple of 16", shortByOne},
      {"no trailing clocks", noTrailer},
      {"extra trailing clocks", longer},
      {"a wrong checksum", BitBangStream(badSum)},
      {"an image of another model", BitBangStream(ImageFile("Cobalt"))},
  };
  for (auto &c : cases) {
    SCOPED_TRACE(c.what);
    if (c.stream.empty()) {
      ASSERT_EQ(FT_OK, FT_SetBitMode(h, 0xFF, FT_BITMODE_ASYNC_BITBANG));
      ASSERT_EQ(FT_OK, FT_SetBitMode(h, 0, FT_BITMODE_RESET));
    } else {
      Download(h, c.stream);
    }
    EXPECT_STREQ("", velkemu_loaded_image(0));
    EXPECT_EQ(0, velkemu_download_count(0));
    EXPECT_EQ(-1, ReadReg(h, 10)) << "still unconfigured";
  }
  Download(h, good);
  EXPECT_EQ(1, velkemu_download_count(0));
}

TEST_F(BitBang, AStreamMayArriveInChunksOfAnySize) {
  const TBytes stream = BitBangStream(ImageFile("Dorian200"));
  for (size_t chunk : {size_t(1000), size_t(7), stream.size()}) {
    SCOPED_TRACE(chunk);
    Download(h, stream, chunk);
    EXPECT_STREQ("Dorian200", velkemu_loaded_image(0));
  }
  EXPECT_EQ(3, velkemu_download_count(0));
}

TEST_F(BitBang, ClosingMidwayDropsTheDownload) {
  const TBytes stream = BitBangStream(ImageFile("Dorian"));
  ASSERT_EQ(FT_OK, FT_SetBitMode(h, 0xFF, FT_BITMODE_ASYNC_BITBANG));
  ASSERT_TRUE(Write(h, stream).ok);
  ASSERT_EQ(FT_OK, FT_Close(h));
  ASSERT_EQ(FT_OK, FT_Open(0, &h));
  ASSERT_EQ(FT_OK, FT_SetBitMode(h, 0, FT_BITMODE_RESET));
  EXPECT_STREQ("", velkemu_loaded_image(0));
  // Commands now go to the (unconfigured) instrument, not into the stream.
  ASSERT_TRUE(Write(h, RegWrite(11, 1)).ok);
  Download(h, stream);
  EXPECT_STREQ("Dorian", velkemu_loaded_image(0));
}

} // namespace
