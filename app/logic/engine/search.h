// Pattern search over the active logic capture: the first sample at which every
// tested channel has the level asked for.
#pragma once

#include "record.h"

#include <QString>

#include <array>
#include <cstdint>

// What one channel must be: low, high, or either level (not tested).
enum TPatternLevel : uint8_t { kPatternLow = 0, kPatternHigh = 1, kPatternAny = 2 };
using TPattern = std::array<TPatternLevel, kMaxChannels>;

constexpr int64_t kPatternNotFound = -1;

// The first sample from `from` on (no wrap) that matches; channels from
// DigitalChannelCount on are not tested. kPatternNotFound when none does.
int64_t SearchPattern(const TVELK &r, const TPattern &pattern, int64_t from);
// "Find Next": from the sample after cursor X, whether that cursor is shown or not.
int64_t FindNextPattern(const TVELK &r, const TPattern &pattern, int64_t cursorX);
// "Pattern found \nat: 123" or "Pattern\nnot found."
QString SearchResultText(int64_t hit);
