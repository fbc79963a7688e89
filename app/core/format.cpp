#include "format.h"

#include "record.h"

#include <QStringView>

#include <algorithm>
#include <charconv>
#include <cmath>
#include <string>

namespace {

QString NonFinite(double v) {
  if (std::isnan(v)) return QStringLiteral("nan");
  return v < 0 ? QStringLiteral("-inf") : QStringLiteral("inf");
}

// The decimal digits of |v| × 10^places, rounded half away from zero, without
// leading zeros (empty when the value rounds to zero). The rounding works on the
// 15 significant digits of v, the precision a double holds for certain.
std::string RoundedDigits(double v, int places) {
  constexpr int kSignificant = 15;
  char buf[40];
  const auto end = std::to_chars(buf, buf + sizeof buf, std::fabs(v), std::chars_format::scientific,
                                 kSignificant - 1)
                       .ptr;
  // buf holds "d.dddddddddddddde±x"
  std::string digits(1, buf[0]);
  digits.append(buf + 2, kSignificant - 1);
  const char *e = std::find(buf, end, 'e') + 1;
  if (*e == '+') ++e;
  int exponent = 0;
  std::from_chars(e, end, exponent);

  // digits × 10^(exponent - 14) is the value; scale it to whole units of the last place.
  const int shift = exponent - (kSignificant - 1) + places;
  if (shift >= 0) {
    digits.append(static_cast<size_t>(shift), '0');
  } else if (-shift > kSignificant) {
    digits.clear();
  } else {
    const size_t keep = static_cast<size_t>(kSignificant + shift);
    const bool up = digits[keep] >= '5';
    digits.resize(keep);
    if (up) {
      size_t i = digits.size();
      while (i > 0 && digits[i - 1] == '9')
        digits[--i] = '0';
      if (i == 0)
        digits.insert(digits.begin(), '1');
      else
        ++digits[i - 1];
    }
  }
  digits.erase(0, std::min(digits.find_first_not_of('0'), digits.size()));
  return digits;
}

// Writes v with a decimal pattern such as "0.###mV" or "-0.##dB": the run of
// "0", "#" and "." is the number, the characters around it are copied. A value
// that does not round to zero and is negative gets a leading "-".
QString ApplyPattern(double v, QStringView pattern, const QLocale &locale) {
  qsizetype first = -1, last = -1;
  size_t intZeros = 0, places = 0, fracZeros = 0;
  bool afterPoint = false;
  for (qsizetype i = 0; i < pattern.size(); ++i) {
    const QChar c = pattern[i];
    if (c != u'0' && c != u'#' && c != u'.') continue;
    if (first < 0) first = i;
    last = i;
    if (c == u'.') {
      afterPoint = true;
    } else if (afterPoint) {
      ++places;
      if (c == u'0') ++fracZeros;
    } else if (c == u'0') {
      ++intZeros;
    }
  }

  std::string digits = RoundedDigits(v, static_cast<int>(places));
  const bool zero = digits.empty();
  if (digits.size() < places + intZeros) digits.insert(0, places + intZeros - digits.size(), '0');
  std::string fraction = digits.substr(digits.size() - places);
  digits.resize(digits.size() - places);
  while (fraction.size() > fracZeros && fraction.back() == '0')
    fraction.pop_back();

  QString text;
  if (v < 0 && !zero) text += u'-';
  text += pattern.left(first);
  text += QLatin1StringView(digits.data(), static_cast<qsizetype>(digits.size()));
  if (!fraction.empty()) {
    text += locale.decimalPoint();
    text += QLatin1StringView(fraction.data(), static_cast<qsizetype>(fraction.size()));
  }
  text += pattern.mid(last + 1);
  return text;
}

// One row of a unit table: values below Below are multiplied by Scale and
// written with Pattern.
struct TRange {
  double Below;
  const char16_t *Pattern;
  double Scale;
};

} // namespace

QString FormatVoltage(const TVELK &r, int32_t gainIndex, double value, const QLocale &locale) {
  if (!std::isfinite(value)) return NonFinite(value);
  // Converter codes become millivolts through the gain's half-scale value. With
  // no bound library or a half range of zero there is no scale to apply, and the
  // value is shown as millivolts, as for a negative index, rather than divided
  // by zero.
  double m = value;
  if (gainIndex >= 0 && r.Lib.GetGainItems && r.Lib.GetConfigItems) {
    const int32_t halfRange = r.Lib.GetConfigItems(0x200);
    if (halfRange != 0) m = value * r.Lib.GetGainItems(0x200 + gainIndex) / halfRange;
  }

  // The range is chosen by the unrounded value: 999.96 mV stays in mV as "1000mV".
  const double a = std::fabs(m);
  if (a == 0) return QStringLiteral("0V");
  if (a <= 1) return ApplyPattern(m, u"0.###mV", locale);
  if (a <= 10) return ApplyPattern(m, u"0.##mV", locale);
  if (a <= 100) return ApplyPattern(m, u"0.#mV", locale);
  if (a < 1000) return ApplyPattern(m, u"#mV", locale);
  if (a == 1000 || a > 1000000) return ApplyPattern(m * 0.001, u"#V", locale);
  if (a <= 10000) return ApplyPattern(m * 0.001, u"0.###V", locale);
  if (a <= 100000) return ApplyPattern(m * 0.001, u"0.##V", locale);
  return ApplyPattern(m * 0.001, u"0.#V", locale);
}

QString FormatTime(double seconds, const QLocale &locale) {
  static constexpr TRange kRanges[] = {
      {1e-8, u"0.####ns", 1e9},     {1e-7, u"0.###ns", 1e9},
      {1e-6, u"0.##ns", 1e9},       {1e-5, u"0.####\u00B5s", 1e6},
      {1e-4, u"0.###\u00B5s", 1e6}, {1e-3, u"0.##\u00B5s", 1e6},
      {0.01, u"0.####ms", 1e3},     {0.1, u"0.###ms", 1e3},
      {1, u"0.##ms", 1e3},          {10, u"0.###s", 1},
      {100, u"0.##s", 1},           {1000, u"0.#s", 1},
  };
  if (!std::isfinite(seconds)) return NonFinite(seconds);
  const double t = std::fabs(seconds);
  if (t == 0) return QStringLiteral("0s");
  for (const TRange &range : kRanges)
    if (t < range.Below) return ApplyPattern(seconds * range.Scale, range.Pattern, locale);

  // From 1000 s on: whole hours, minutes and seconds, truncated. The hours keep
  // all their digits; beyond the precision of a double the remainder is clamped.
  double rest = t;
  const double h = std::floor(rest / 3600);
  rest -= 3600 * h;
  const int m = std::clamp(static_cast<int>(std::floor(rest / 60)), 0, 59);
  rest -= 60.0 * m;
  const int s = std::clamp(static_cast<int>(std::floor(rest)), 0, 59);
  return QStringLiteral("%1%2:%3:%4")
      .arg(seconds < 0 ? QStringLiteral("-") : QString())
      .arg(QString::number(h, 'f', 0).rightJustified(2, u'0'))
      .arg(m, 2, 10, QChar(u'0'))
      .arg(s, 2, 10, QChar(u'0'));
}

QString FormatFrequency(double hz, const QLocale &locale) {
  static constexpr TRange kRanges[] = {
      {1e-5, u"0.###uHz", 1e6}, {1e-4, u"0.##uHz", 1e6}, {1e-3, u"0.#uHz", 1e6},
      {0.01, u"0.###mHz", 1e3}, {0.1, u"0.##mHz", 1e3},  {1, u"0.#mHz", 1e3},
      {10, u"0.###Hz", 1},      {100, u"0.##Hz", 1},     {1000, u"0.#Hz", 1},
      {1e4, u"0.###kHz", 1e-3}, {1e5, u"0.##kHz", 1e-3}, {1e6, u"0.#kHz", 1e-3},
      {1e7, u"0.###MHz", 1e-6}, {1e8, u"0.##MHz", 1e-6},
  };
  if (!std::isfinite(hz)) return NonFinite(hz);
  if (hz == 0) return QStringLiteral("0Hz");
  // The value is not made absolute: negative values, like those below 1 uHz and
  // from 100 MHz on, are written in MHz with one decimal.
  if (hz >= 1e-6)
    for (const TRange &range : kRanges)
      if (hz < range.Below) return ApplyPattern(hz * range.Scale, range.Pattern, locale);
  return ApplyPattern(hz * 1e-6, u"0.#MHz", locale);
}

QString FormatPhase(double degrees, const QLocale &locale) {
  if (!std::isfinite(degrees)) return NonFinite(degrees);
  const double a = std::fabs(degrees);
  if (a == 0) return QStringLiteral("0deg");
  if (a < 10) return ApplyPattern(degrees, u"0.###deg", locale);
  if (a < 100) return ApplyPattern(degrees, u"0.##deg", locale);
  return ApplyPattern(degrees, u"0.#deg", locale);
}

QString FormatDecibel(double db, const QLocale &locale) {
  if (!std::isfinite(db)) return NonFinite(db);
  // The "-" is part of the pattern, not a sign: 0 dB reads "-0dB", and a
  // negative value (a gain rather than an attenuation) gets its own sign in
  // front of it, "--6dB".
  return ApplyPattern(db, u"-0.##dB", locale);
}
