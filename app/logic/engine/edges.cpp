#include "edges.h"

#include "format.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace {

int32_t ClampToInt32(int64_t v) {
  return static_cast<int32_t>(std::clamp<int64_t>(v, std::numeric_limits<int32_t>::min(),
                                                  std::numeric_limits<int32_t>::max()));
}

const char *EdgeTypeName(uint8_t type) {
  return type == 0 ? "rising" : "falling";
}

// Time readouts need the internal clock; the external ones give samples only.
bool HasTimeBase(const TVELK &r) {
  return r.ClockSource == 0 && LogicSampleRate(r) > 0;
}

} // namespace

int64_t CountEdges(const TVELK &r, int64_t from, int64_t to, int channel, int type) {
  const int tab = r.ActiveDigitalTab;
  if (channel < 0 || channel >= kMaxChannels || (type != 0 && type != 1) || tab < 0 ||
      tab >= static_cast<int>(r.DigitalSamples.size()))
    return 0;
  const std::vector<uint32_t> &samples = r.DigitalSamples[tab];
  const int64_t n = static_cast<int64_t>(std::min<size_t>(r.BuffLength, samples.size()));
  const int64_t first = std::max<int64_t>(from, 0);
  const int64_t last = std::min(to, n - 1); // i + 1 must be a sample too
  if (first >= last) return 0;
  // Rising: 0 at i and 1 at i + 1; falling the other way round. Inverting every
  // word turns a falling edge into a rising one.
  const uint32_t *s = samples.data();
  const uint32_t flip = type == 0 ? 0u : ~0u;
  int64_t count = 0;
  for (int64_t i = first; i < last; ++i)
    count += ((~(s[i] ^ flip) & (s[i + 1] ^ flip)) >> channel) & 1u;
  return count;
}

void ComputeEdgeCounts(TVELK &r) {
  ComputeEdgeCounts(r, r.Lib.GetEdgeCount ? r.Lib.GetEdgeCount() : 0);
}

void ComputeEdgeCounts(TVELK &r, int64_t hardwareCount) {
  if (!r.EdgeCounter) {
    r.EdgesBeforeTrigger = r.EdgesAfterTrigger = 0;
    return;
  }
  const int64_t trigger = r.TriggerAt;
  const int ch = r.EdgeCounterCh;
  const int type = r.EdgeCountType;
  r.EdgesBeforeTrigger =
      ClampToInt32(CountEdges(r, trigger, trigger + 3, ch, type) + hardwareCount);
  r.EdgesAfterTrigger =
      ClampToInt32(CountEdges(r, trigger, static_cast<int64_t>(r.BuffLength) - 1, ch, type));
}

double LogicSampleRate(const TVELK &r) {
  if (!r.Lib.GetClockItems || r.SamplingRate < 0 || r.SamplingRate >= 0x200) return 0;
  return r.Lib.GetClockItems(0x200 + r.SamplingRate);
}

QString LogicDistanceText(const TVELK &r, int64_t pos1, int64_t pos2, char mode,
                          const QLocale &locale) {
  const int64_t a = std::min(pos1, pos2), b = std::max(pos1, pos2);
  const int64_t n = b - a;
  if ((mode == 't' || mode == 'f') && !HasTimeBase(r)) mode = 's';
  const double rate = LogicSampleRate(r);
  switch (mode) {
  case 't':
    return FormatTime(n / rate, locale);
  case 'f':
    return n == 0 ? QStringLiteral("Inf Hz") : FormatFrequency(rate / n, locale);
  case 's':
    return QString::number(n);
  case 'e':
    return QString::number(CountEdges(r, a, b, r.EdgeCounterCh, r.EdgeCountType));
  default:
    return {};
  }
}

QString LogicCursorText(const TVELK &r, int64_t pos, char mode, const QLocale &locale) {
  if (mode == 't' && HasTimeBase(r))
    return FormatTime(
        static_cast<double>(pos - static_cast<int64_t>(r.TriggerAt)) / LogicSampleRate(r), locale);
  return mode == 's' || mode == 't' ? QString::number(pos) : QString();
}

QString BufferSizeText(const TVELK &r, char mode, const QLocale &locale) {
  if (mode == 't' && HasTimeBase(r)) return FormatTime(r.BuffLength / LogicSampleRate(r), locale);
  return mode == 's' || mode == 't' ? QString::number(r.BuffLength) : QString();
}

QString PrePostText(const TVELK &r, char mode) {
  if (r.ClockSource == 2) return QString::number(r.StopPosition);
  if (mode == '%') {
    if (r.BuffLength == 0) return QStringLiteral("0%");
    const double percent = static_cast<double>(r.TriggerAt) / r.BuffLength * 100;
    const double f = std::floor(percent);
    return QStringLiteral("%1%").arg(percent - f < 0.5 ? f : std::ceil(percent), 0, 'f', 0);
  }
  return QString::number(r.TriggerAt);
}

QString EdgeFieldHint(const TVELK &r) {
  if (r.EdgeCounter)
    return QStringLiteral("Edge counter (asynchrous)\n  Type: %1\n  Channel: %2")
        .arg(QLatin1String(EdgeTypeName(r.EdgeCountType)))
        .arg(r.EdgeCounterCh + 1);
  if (r.EdgeSkip != 0) return QStringLiteral("Edges skipped before trigger");
  return {};
}

QString LogicDistanceHint(const TVELK &r, char cursor1, char cursor2, char mode) {
  const QLatin1Char a(cursor1), b(cursor2);
  switch (mode) {
  case 't':
    return QStringLiteral("Time distance (%1%2)").arg(a).arg(b);
  case 'f':
    return QStringLiteral("Frequency (%1%2)").arg(a).arg(b);
  case 's':
    return QStringLiteral("Distance in samples (%1%2)").arg(a).arg(b);
  case 'e':
    return QStringLiteral("Edges counted (synchrously) between cursors (%1%2)\n  Type: %3\n  "
                          "Channel: %4")
        .arg(a)
        .arg(b)
        .arg(QLatin1String(EdgeTypeName(r.EdgeCountType)))
        .arg(r.EdgeCounterCh + 1);
  default:
    return {};
  }
}
