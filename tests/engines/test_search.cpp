// Pattern search over the active logic capture.
#include "search.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

TPattern Pattern(std::initializer_list<std::pair<int, TPatternLevel>> levels) {
  TPattern p;
  p.fill(kPatternAny);
  for (const auto &[channel, level] : levels)
    p[channel] = level;
  return p;
}

struct TCapture : TVELK {
  explicit TCapture(std::vector<uint32_t> samples, int channels = 16) {
    DigitalChannelCount = channels;
    BuffLength = static_cast<uint32_t>(samples.size());
    DigitalSamples[0] = std::move(samples);
  }
};

//                                   0    1    2    3    4    5        6
const std::vector<uint32_t> kSamples = {0x0, 0x1, 0x3, 0x2, 0x1, 0x10003, 0x3};

TEST(PatternSearch, SearchAndFindNext) {
  const TPattern all = Pattern({});
  const TPattern both = Pattern({{0, kPatternHigh}, {1, kPatternHigh}});
  const TPattern bothLow16 = Pattern({{0, kPatternHigh}, {1, kPatternHigh}, {16, kPatternLow}});
  const TPattern none = Pattern({{0, kPatternLow}, {1, kPatternLow}});
  struct {
    int Channels;
    const TPattern &P;
    bool Next; // Find Next from cursor X = From, else Search from From
    int64_t From, Hit;
  } const cases[] = {
      {16, all, false, 0, 0},                               // everything at X: the first sample
      {16, all, true, 3, 4},                                // the sample right after cursor X
      {16, both, false, 0, 2},     {16, both, true, 2, 5},  // steps through the hits in order
      {16, both, true, 5, 6},      {16, both, true, 6, -1}, // cursor X on the last sample: no wrap
      {32, bothLow16, true, 2, 6},                          // channel 16 high at 5
      {16, bothLow16, true, 2, 5},                          // channel 16 is not sampled: not tested
      {16, none, false, 0, 0},     {16, none, true, 0, -1}, // only before cursor X
      {16, both, false, -7, 2},    {0, all, false, 0, -1},  // a device without digital channels
  };
  for (const auto &c : cases) {
    TCapture r(kSamples, c.Channels);
    const int64_t hit = c.Next ? FindNextPattern(r, c.P, c.From) : SearchPattern(r, c.P, c.From);
    EXPECT_EQ(hit, c.Hit) << (c.Next ? "next from " : "search from ") << c.From << ", "
                          << c.Channels << " channels";
  }
}

TEST(PatternSearch, ScansTheActiveBufferWithinItsLength) {
  const TPattern both = Pattern({{0, kPatternHigh}, {1, kPatternHigh}});
  TCapture r(kSamples);
  r.BuffLength = 2; // the record ends before the first hit
  EXPECT_EQ(SearchPattern(r, both, 0), kPatternNotFound);
  r.BuffLength = 0;
  EXPECT_EQ(SearchPattern(r, Pattern({}), 0), kPatternNotFound);
  r.BuffLength = 1000; // longer than the buffer
  EXPECT_EQ(FindNextPattern(r, both, 5), 6);
  EXPECT_EQ(FindNextPattern(r, both, 6), kPatternNotFound);

  r.DigitalSamples[1] = {0x3, 0x0};
  r.ActiveDigitalTab = 1;
  EXPECT_EQ(SearchPattern(r, both, 0), 0);
  r.ActiveDigitalTab = 2; // not created
  EXPECT_EQ(SearchPattern(r, Pattern({}), 0), kPatternNotFound);
  r.ActiveDigitalTab = 5;
  EXPECT_EQ(SearchPattern(r, Pattern({}), 0), kPatternNotFound);
}

TEST(PatternSearch, ResultTexts) {
  EXPECT_EQ(SearchResultText(5).toStdString(), "Pattern found \nat: 5");
  EXPECT_EQ(SearchResultText(0).toStdString(), "Pattern found \nat: 0");
  EXPECT_EQ(SearchResultText(kPatternNotFound).toStdString(), "Pattern\nnot found.");
}

} // namespace
