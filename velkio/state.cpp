#include "state.h"

#include <cmath>
#include <cstring>

namespace velkio {

namespace {

void CopyText(char (&to)[kErrorTextSize], const char *text) {
  std::strncpy(to, text ? text : "", kErrorTextSize - 1);
  to[kErrorTextSize - 1] = 0;
}

} // namespace

void TVelkio::ReportText(const char *text) {
  ++TransferFailures;
  CopyText(LastErrorText, text);
}

void TVelkio::ReportError(int32_t code, const char *text) {
  LastErrorCode = code;
  CopyText(LastErrorText, text);
}

int TVelkio::ClockCount() const {
  int n = 0;
  while (n < kMaxClockItems && Clocks[n].FrequencyHz != -1)
    ++n;
  return n;
}

int TVelkio::GainCount() const {
  int n = 0;
  while (n < kMaxGainItems && Gains[n].HalfScaleMilliVolts != 0)
    ++n;
  return n;
}

double TVelkio::Correction(int32_t gain) const {
  if (gain < 0 || gain >= GainCount()) return 1.0;
  return Gains[gain].Correction;
}

int32_t TVelkio::LevelToCode(int32_t level) const {
  return RoundHalfUp(level / Correction(CaptureParams.GainA));
}

void TVelkio::InstallClocks(const TClockItem *clocks, int count) {
  if (count > kMaxClockItems) count = kMaxClockItems;
  for (int i = 0; i < count; ++i)
    Clocks[i] = clocks[i];
  Clocks[count] = {-1, 0, 0, 0};
}

void TVelkio::InstallGains(const TGainItem *gains, int count) {
  if (count > kMaxGainItems) count = kMaxGainItems;
  for (int i = 0; i < count; ++i)
    Gains[i] = gains[i];
  Gains[count] = {0, 0.0};
}

int32_t RoundHalfUp(double x) {
  double f = std::floor(x);
  return static_cast<int32_t>(x - f < 0.5 ? f : f + 1.0);
}

std::string ToUtf8(const std::u16string &s) {
  std::string out;
  out.reserve(s.size());
  for (size_t i = 0; i < s.size(); ++i) {
    uint32_t c = s[i];
    if (c >= 0xD800 && c <= 0xDBFF && i + 1 < s.size() && s[i + 1] >= 0xDC00 &&
        s[i + 1] <= 0xDFFF) {
      c = 0x10000 + ((c - 0xD800) << 10) + (s[i + 1] - 0xDC00);
      ++i;
    } else if (c >= 0xD800 && c <= 0xDFFF) {
      c = 0xFFFD;
    }
    if (c < 0x80) {
      out += static_cast<char>(c);
    } else if (c < 0x800) {
      out += static_cast<char>(0xC0 | (c >> 6));
      out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
      out += static_cast<char>(0xE0 | (c >> 12));
      out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
      out += static_cast<char>(0xF0 | (c >> 18));
      out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
      out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (c & 0x3F));
    }
  }
  return out;
}

} // namespace velkio
