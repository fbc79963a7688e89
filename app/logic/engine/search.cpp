#include "search.h"

#include <algorithm>

int64_t SearchPattern(const TVELK &r, const TPattern &pattern, int64_t from) {
  const int tab = r.ActiveDigitalTab;
  if (tab < 0 || tab >= static_cast<int>(r.DigitalSamples.size())) return kPatternNotFound;
  const std::vector<uint32_t> &samples = r.DigitalSamples[tab];
  const int64_t n = static_cast<int64_t>(std::min<size_t>(r.BuffLength, samples.size()));
  // The tested channels as a mask and the levels they must have.
  // A device without digital channels has nothing to find.
  const int channels = std::clamp(r.DigitalChannelCount, 0, kMaxChannels);
  if (channels == 0) return kPatternNotFound;
  uint32_t mask = 0, value = 0;
  for (int c = 0; c < channels; ++c) {
    if (pattern[c] != kPatternLow && pattern[c] != kPatternHigh) continue;
    mask |= 1u << c;
    if (pattern[c] == kPatternHigh) value |= 1u << c;
  }
  for (int64_t i = std::max<int64_t>(from, 0); i < n; ++i)
    if ((samples[static_cast<size_t>(i)] & mask) == value) return i;
  return kPatternNotFound;
}

int64_t FindNextPattern(const TVELK &r, const TPattern &pattern, int64_t cursorX) {
  return SearchPattern(r, pattern, cursorX + 1);
}

QString SearchResultText(int64_t hit) {
  if (hit < 0) return QStringLiteral("Pattern\nnot found.");
  return QStringLiteral("Pattern found \nat: %1").arg(hit);
}
