#include "measure.h"

#include "format.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>

namespace {

// The clock list holds at most 0x200 entries per selector block; an index
// outside it would ask the library another question (0x100 is the count).
bool ClockIndexValid(int32_t index) {
  return index >= 0 && index < 0x200;
}

double ProbeDivider(const TVELK &r, int32_t probe) {
  return probe >= 0 && probe < 3 ? r.Probes[probe].Divider : 1.0;
}

// Sum, sum of squares and extremes of the first n samples. Four running lanes
// keep the additions from waiting on each other; the samples are converter codes,
// small integers whose sums are exact in a double, so the order does not matter.
struct TSums {
  double Sum = 0, Squares = 0;
  float Min = 0, Max = 0;
};

TSums SumSamples(const float *v, size_t n) {
  double s[4] = {}, q[4] = {};
  float lo[4], hi[4];
  for (int k = 0; k < 4; ++k)
    lo[k] = hi[k] = v[0];
  size_t i = 0;
  for (; i + 4 <= n; i += 4)
    for (int k = 0; k < 4; ++k) {
      const float x = v[i + k];
      s[k] += x;
      q[k] += static_cast<double>(x) * x;
      lo[k] = x < lo[k] ? x : lo[k];
      hi[k] = x > hi[k] ? x : hi[k];
    }
  for (; i < n; ++i) {
    const float x = v[i];
    s[0] += x;
    q[0] += static_cast<double>(x) * x;
    lo[0] = x < lo[0] ? x : lo[0];
    hi[0] = x > hi[0] ? x : hi[0];
  }
  TSums t;
  t.Sum = (s[0] + s[1]) + (s[2] + s[3]);
  t.Squares = (q[0] + q[1]) + (q[2] + q[3]);
  t.Min = std::min(std::min(lo[0], lo[1]), std::min(lo[2], lo[3]));
  t.Max = std::max(std::max(hi[0], hi[1]), std::max(hi[2], hi[3]));
  return t;
}

void ChannelStats(const std::vector<float> &samples, uint32_t buffLength, double halfRange,
                  double sampleRate, double divider, TVELK::TStats &stats, bool &overrange) {
  stats = {};
  overrange = false;
  const size_t n = std::min<size_t>(buffLength, samples.size());
  if (n == 0) return;
  const TSums t = SumSamples(samples.data(), n);
  // The extremes start from the first sample rather than from ±half range: the
  // same for every sample inside the converter's range, and still the true
  // extremes when a corrected value lies beyond it.
  const double limit = 0.92 * halfRange;
  overrange = halfRange > 0 && (t.Max > limit || t.Min < -limit);
  const double mean = t.Sum / static_cast<double>(n);
  stats.Mean = mean;
  stats.Rms = std::sqrt(t.Squares / static_cast<double>(n));
  stats.Min = t.Min;
  stats.Max = t.Max;
  stats.Freq =
      EstimateFrequency(samples.data(), static_cast<uint32_t>(n), mean, t.Min, t.Max, sampleRate);
  stats.Mean *= divider;
  stats.Rms *= divider;
  stats.Min *= divider;
  stats.Max *= divider;
}

const TVELK::TStats *StatsOf(const TVELK &r, char channel) {
  if (channel == 'A') return &r.StatsA;
  if (channel == 'B') return &r.StatsB;
  return nullptr;
}

bool CursorPos(const TScopeMarkers &m, char cursor, int64_t &pos) {
  switch (cursor) {
  case 'X':
    pos = m.PosX;
    return true;
  case 'Y':
    pos = m.PosY;
    return true;
  case 'Z':
    pos = m.PosZ;
    return true;
  case 'T':
    pos = m.TriggerPos;
    return true;
  default:
    return false;
  }
}

bool CursorLevel(const TScopeMarkers &m, char cursor, double &level) {
  switch (cursor) {
  case 'X':
    level = m.LevelX;
    return true;
  case 'Y':
    level = m.LevelY;
    return true;
  case 'Z':
    level = m.LevelZ;
    return true;
  case 'T':
    level = m.TriggerLevel;
    return true;
  default:
    return false;
  }
}

int32_t TruncateToInt32(double x) {
  if (std::isnan(x)) return 0;
  if (x >= 2147483647.0) return std::numeric_limits<int32_t>::max();
  if (x <= -2147483648.0) return std::numeric_limits<int32_t>::min();
  return static_cast<int32_t>(x);
}

void CopyField(char (&field)[10], const QString &text) {
  const QByteArray bytes = text.toLatin1();
  const size_t n = std::min<size_t>(static_cast<size_t>(bytes.size()), sizeof field - 1);
  std::memcpy(field, bytes.constData(), n);
  field[n] = 0;
}

} // namespace

void ComputeChannelStats(const std::vector<float> &samples, uint32_t buffLength, double halfRange,
                         double sampleRate, double divider, TVELK::TStats &stats, bool &overrange) {
  ChannelStats(samples, buffLength, halfRange, sampleRate, divider, stats, overrange);
}

double ScopeSampleRate(const TVELK &r) {
  if (!r.Lib.GetClockItems || !ClockIndexValid(r.SamplingRate)) return 0;
  return r.Lib.GetClockItems(0x200 + r.SamplingRate);
}

void ComputeAnalogStats(TVELK &r) {
  const double halfRange = r.Lib.GetConfigItems ? r.Lib.GetConfigItems(0x200) : 0;
  ComputeAnalogStats(r, halfRange, ScopeSampleRate(r));
}

void ComputeAnalogStats(TVELK &r, double halfRange, double sampleRate) {
  ChannelStats(r.SamplesA, r.BuffLength, halfRange, sampleRate, ProbeDivider(r, r.ProbeChA),
               r.StatsA, r.OverrangeA);
  r.StatsB = {};
  r.OverrangeB = false;
  if (!r.SamplesB.empty())
    ChannelStats(r.SamplesB, r.BuffLength, halfRange, sampleRate, ProbeDivider(r, r.ProbeChB),
                 r.StatsB, r.OverrangeB);
}

double EstimateFrequency(const float *v, uint32_t count, double mean, double min, double max,
                         double sampleRate) {
  // A band of ±d around the mean: an edge counts only when it crosses both of its
  // borders, so noise on a slow edge cannot split it in two.
  const double d = std::fabs(max - min) / 6;
  if (!(d >= 3) || count < 4) return 0;
  const bool rising = v[count - 1] > mean;
  const double first = rising ? mean + d : mean - d;
  const double second = rising ? mean - d : mean + d;
  auto crosses = [v, rising](int64_t n, double t) {
    const double before = v[n - 1], at = v[n];
    return rising ? before <= t && t < at : at < t && t <= before;
  };
  // Walking backward: e1, e2 are the last edge's crossings of the first and the
  // second border, e3, e4 those of the edge before it. 0 = not found yet.
  int64_t e1 = 0, e2 = 0, e3 = 0, e4 = 0;
  for (int64_t n = static_cast<int64_t>(count) - 2; n >= 2 && !e4; --n) {
    if (e2 && crosses(n, first)) e3 = n;
    if (e3 && e2 && crosses(n, second)) e4 = n;
    if (!e2 && crosses(n, first)) e1 = n;
    if (e1 && !e2 && crosses(n, second)) e2 = n;
  }
  if (!e1 || !e2 || !e3 || !e4) return 0;
  const int64_t a = e2 + (e1 - e2) / 2;
  const int64_t b = e4 + (e3 - e4) / 2;
  return a != b ? sampleRate / static_cast<double>(a - b) : 0;
}

const char *MeasurementShortName(char type) {
  switch (type) {
  case 'F':
    return "Freq";
  case 'P':
    return "Period";
  case 'A':
    return "AVG";
  case 'R':
    return "RMS";
  case 'K':
    return "Pk-Pk";
  default:
    return "";
  }
}

const char *MeasurementLongName(char type) {
  switch (type) {
  case 'F':
    return "Frequency";
  case 'P':
    return "Period";
  case 'A':
    return "Average value";
  case 'R':
    return "RMS value";
  case 'K':
    return "Peak-Peak value";
  default:
    return "";
  }
}

QString MeasurementHint(char channel, char type) {
  return QStringLiteral("%1 (channel %2)")
      .arg(QLatin1String(MeasurementLongName(type)))
      .arg(QLatin1Char(channel));
}

QString MeasurementText(const TVELK &r, char channel, char type, const QLocale &locale) {
  const TVELK::TStats *s = StatsOf(r, channel);
  if (!s) return {};
  const int32_t gain = channel == 'A' ? r.GainChA : r.GainChB;
  switch (type) {
  case 'F':
    return s->Freq == 0 ? QStringLiteral("?Hz") : FormatFrequency(s->Freq, locale);
  case 'P':
    return s->Freq == 0 ? QStringLiteral("?s") : FormatTime(1 / s->Freq, locale);
  case 'A':
    return FormatVoltage(r, gain, s->Mean, locale);
  case 'R':
    return FormatVoltage(r, gain, s->Rms, locale);
  case 'K':
    return FormatVoltage(r, gain, std::fabs(s->Max - s->Min), locale);
  default:
    return {};
  }
}

QString DistanceText(const TVELK &r, const TScopeMarkers &m, char cursor1, char cursor2,
                     char channel, char mode, const QLocale &locale) {
  if (mode == 'V') {
    double l1 = 0, l2 = 0;
    if (!CursorLevel(m, cursor1, l1) || !CursorLevel(m, cursor2, l2)) return {};
    // The trigger level carries no channel position: take it off the other
    // cursor's level so that both are compared in the trigger channel's codes.
    const double position = r.TriggerSource == 0   ? m.PositionA
                            : r.TriggerSource == 1 ? m.PositionB
                                                   : 0.0;
    if (cursor1 == 'T') l2 -= position;
    if (cursor2 == 'T') l1 -= position;
    if (channel == 'A')
      return FormatVoltage(r, r.GainChA, std::fabs(l1 - l2) * ProbeDivider(r, r.ProbeChA), locale);
    if (channel == 'B')
      return FormatVoltage(r, r.GainChB, std::fabs(l1 - l2) * ProbeDivider(r, r.ProbeChB), locale);
    return {};
  }
  if (mode != 't' && mode != 's' && mode != 'f') return {};
  int64_t p1 = 0, p2 = 0;
  if (!CursorPos(m, cursor1, p1) || !CursorPos(m, cursor2, p2)) return {};
  const int64_t n = p1 > p2 ? p1 - p2 : p2 - p1;
  // A strobe clock has no time base: every distance is a count of samples.
  if (mode == 's' || r.ClockSource == 2) return QString::number(n);
  const double rate = ScopeSampleRate(r);
  if (mode == 't') return rate > 0 ? FormatTime(n / rate, locale) : QStringLiteral("?s");
  if (n == 0) return QStringLiteral("Inf Hz");
  return rate > 0 ? FormatFrequency(rate / n, locale) : QStringLiteral("?Hz");
}

QString DistanceHint(char cursor1, char cursor2, char channel, char mode) {
  const QLatin1Char a(cursor1), b(cursor2);
  switch (mode) {
  case 't':
    return QStringLiteral("Time distance (%1%2)").arg(a).arg(b);
  case 'f':
    return QStringLiteral("Frequency (%1%2)").arg(a).arg(b);
  case 's':
    return QStringLiteral("Distance in samples (%1%2)").arg(a).arg(b);
  case 'V':
    return QStringLiteral("Voltage (%1%2, channel %3)").arg(a).arg(b).arg(QLatin1Char(channel));
  default:
    return {};
  }
}

QString CursorPositionText(const TVELK &r, const TScopeMarkers &m, char cursor, char unit,
                           const QLocale &locale) {
  int64_t pos = 0;
  if (!CursorPos(m, cursor, pos) || (unit != 's' && unit != 't')) return {};
  if (unit == 's') return QString::number(pos);
  if (cursor == 'T') return QStringLiteral("0s");
  const double rate = ScopeSampleRate(r);
  if (rate <= 0) return QStringLiteral("?s");
  return FormatTime(static_cast<double>(pos - static_cast<int64_t>(r.TriggerAt)) / rate, locale);
}

TMultimeterRecord MultimeterRecord(const TVELK &r, int32_t halfRange, bool channelB,
                                   const QLocale &locale) {
  TMultimeterRecord rec;
  std::memset(&rec, 0, sizeof rec);
  static constexpr char kTypes[5] = {'F', 'P', 'A', 'R', 'K'};
  for (int i = 0; i < 5; ++i) {
    CopyField(rec.TextsA[i], MeasurementText(r, 'A', kTypes[i], locale));
    CopyField(rec.TextsB[i], MeasurementText(r, 'B', kTypes[i], locale));
  }
  rec.MeanA = TruncateToInt32(std::fabs(r.StatsA.Mean));
  rec.RmsA = TruncateToInt32(r.StatsA.Rms);
  rec.MeanB = TruncateToInt32(std::fabs(r.StatsB.Mean));
  rec.RmsB = TruncateToInt32(r.StatsB.Rms);
  rec.ColorA = r.Colors.AnalogChA;
  rec.ColorB = r.Colors.AnalogChB;
  rec.OverrangeA = r.OverrangeA;
  rec.OverrangeB = r.OverrangeB;
  rec.HalfRange = halfRange;
  rec.ChannelB = channelB;
  return rec;
}
