#include "acquire.h"

#include "autoevent.h"
#include "spectrum.h"

#include <QDateTime>
#include <QThread>

#include <cmath>
#include <random>

namespace {

std::mt19937 SeededByTicks() {
  return std::mt19937(static_cast<uint32_t>(QDateTime::currentMSecsSinceEpoch()));
}

void HandOverToSpectrum(TVELK &r, uint32_t buffLength, const std::vector<float> &sa,
                        const std::vector<float> &sb) {
  // Each channel goes over only when both its samples and its spectrum copy exist.
  const float *a = !sa.empty() && !r.FFTInputA.empty() ? sa.data() : nullptr;
  const float *b = !sb.empty() && !r.FFTInputB.empty() ? sb.data() : nullptr;
  size_t n = buffLength;
  if (a) n = std::min(n, sa.size());
  if (b) n = std::min(n, sb.size());
  HandOverSpectrumInputs(r, a, b, n);
}

} // namespace

TCaptureSettings TakeCaptureSettings(TVELK &r) {
  std::lock_guard<std::mutex> lock(r.ConfigMutex);
  TCaptureSettings s;
  s.BuffLength = r.BuffLength;
  s.TriggerAt = r.TriggerAt;
  s.CaptureDelay = r.CaptureDelay;
  s.SamplingRate = r.SamplingRate;
  s.TriggerDomain = r.TriggerDomain;
  s.TriggerBeep = r.TriggerBeep;
  s.GainChA = r.GainChA;
  s.GainChB = r.GainChB;
  s.ProbeChA = r.ProbeChA;
  s.ProbeChB = r.ProbeChB;
  s.AnalogThreshold = r.AnalogThreshold;
  s.ThresholdMargin = r.ThresholdMargin;
  s.CouplingChA = r.CouplingChA;
  s.CouplingChB = r.CouplingChB;
  s.ExtTrigMode = r.ExtTrigMode;
  s.ProbeComp = r.ProbeComp.load();
  s.TriggerSource = r.TriggerSource;
  s.AnalogEdgeType = r.AnalogEdgeType;
  s.DigitalThreshold = r.DigitalThreshold;
  s.EdgeSkip = r.EdgeSkip;
  s.TriggerCond = r.TriggerCond;
  s.DigitalEdgeType = r.DigitalEdgeType;
  s.EdgeChannel = r.EdgeChannel;
  std::copy(std::begin(r.ChPattern), std::end(r.ChPattern), s.ChPattern);
  s.EdgeCounter = r.EdgeCounter;
  s.EdgeCountType = r.EdgeCountType;
  s.EdgeCounterCh = r.EdgeCounterCh;
  s.ClockSource = r.ClockSource;
  s.ExtStbType = r.ExtStbType;
  s.ExtClkEdge = r.ExtClkEdge;
  return s;
}

TCaptureSettings ApplyCaptureConfig(TVELK &r) {
  TCaptureSettings s = TakeCaptureSettings(r);
  ApplyCaptureConfig(r, s);
  return s;
}

void ApplyCaptureConfig(TVELK &r, const TCaptureSettings &s) {
  TVelkLib &l = r.Lib;
  l.CPBuffers(static_cast<int32_t>(s.BuffLength), static_cast<int32_t>(s.TriggerAt));
  l.CPCaptureDelay(static_cast<int32_t>(s.CaptureDelay));
  if (r.HasAnalog()) {
    // The library converts the trigger level with the stored gain of channel
    // A, so the gains go first: otherwise the first capture after a gain
    // change triggers at the level of the old gain.
    l.CPGain(s.GainChA, s.GainChB);
    l.CPThresholdA(s.AnalogThreshold, s.ThresholdMargin);
    l.CPCoupling(s.CouplingChA, s.CouplingChB);
    l.CPExtTrig(s.ExtTrigMode);
    l.CPProbeComp(s.ProbeComp);
    if (s.TriggerDomain == 0) {
      uint8_t source = s.TriggerSource, edge = s.AnalogEdgeType;
      l.CPTrigger(0, &source, &edge, nullptr, nullptr);
      l.CPSkip(0);
    }
  }
  if (r.HasDigital()) {
    l.CPThresholdD(s.DigitalThreshold);
    l.CPEdgeCounter(s.EdgeCounter ? 1 : 0, s.EdgeCountType, s.EdgeCounterCh);
    if (s.TriggerDomain == 1) {
      uint8_t cond = s.TriggerCond, edge = s.DigitalEdgeType, channel = s.EdgeChannel;
      uint8_t pattern[kMaxChannels];
      std::copy(std::begin(s.ChPattern), std::end(s.ChPattern), pattern);
      l.CPTrigger(1, &cond, &edge, &channel, pattern);
      l.CPSkip(s.EdgeSkip);
    }
  }
  if (s.ClockSource == 0)
    l.CPSampling(0, s.SamplingRate, 0);
  else
    l.CPSampling(s.ClockSource, static_cast<int8_t>(s.ExtStbType),
                 static_cast<uint8_t>(static_cast<int8_t>(s.ExtClkEdge)));
  l.CPSet();
}

void ReadAnalogData(TVELK &r, const TCaptureSettings &s, std::vector<float> &sa,
                    std::vector<float> &sb) {
  if (r.HardwarePresent) {
    r.Lib.GetDataA(sa.empty() ? nullptr : sa.data(), sb.empty() ? nullptr : sb.data());
  } else {
    const double g = r.Lib.GetConfigItems(0x200);
    const double f = r.Lib.GetClockItems(0x200 + s.SamplingRate);
    const double ga = r.Lib.GetGainItems(0x200 + s.GainChA);
    const double gb = r.Lib.GetGainItems(0x200 + s.GainChB);
    const size_t n = std::min<size_t>(s.BuffLength, r.BufferCapacity);
    std::mt19937 random = SeededByTicks();
    std::uniform_int_distribution<int> noise(0, 100);
    const double twoPi = 2.0 * M_PI;
    // A 5000 mV sine with a 100 mV ripple and up to 100 mV of noise on A, a
    // 3300 mV sine on B, whatever the clock (periods scale with it).
    if (!sa.empty() && ga > 0 && f > 0)
      for (size_t i = 0; i < n && i < sa.size(); ++i)
        sa[i] = static_cast<float>(std::sin(i * twoPi / (f * 1e-5)) * (g * 5000 / ga) +
                                   std::sin(i * twoPi / (f * 2.5e-7) + M_PI) * (g * 100 / ga) +
                                   noise(random) * g / ga);
    if (r.HasChannelB && !sb.empty() && gb > 0 && f > 0)
      for (size_t i = 0; i < n && i < sb.size(); ++i)
        sb[i] = static_cast<float>(std::sin(i * twoPi / (f * 3.000030000300003e-5) + M_PI / 4) *
                                       (g * 3300 / gb) +
                                   noise(random) * g / gb);
    QThread::msleep(20);
  }
  HandOverToSpectrum(r, s.BuffLength, sa, sb);
}

void ReadDigitalData(TVELK &r, const TCaptureSettings &s, std::vector<uint32_t> &buffer) {
  if (buffer.empty()) return;
  if (r.HardwarePresent) {
    r.Lib.GetDataD(buffer.data());
    return;
  }
  std::mt19937 random = SeededByTicks();
  const uint32_t k = std::uniform_int_distribution<uint32_t>(0, 9)(random);
  std::uniform_int_distribution<uint32_t> bit(0, 1);
  const size_t n = std::min<size_t>(s.BuffLength, buffer.size());
  for (size_t i = 0; i < n; ++i) {
    // A binary counter that advances every 4 samples on the first 16 channels.
    uint32_t word = static_cast<uint32_t>(i >> 2) & 0xFFFF;
    if (r.DigitalChannelCount > 16) {
      if (((i / 2) % 5) * (k + 1) == 0) word |= 1u << 16;
      for (int c = 17; c < r.DigitalChannelCount && c < 32; ++c)
        word |= bit(random) << c;
    }
    buffer[i] = word;
  }
  QThread::msleep(20);
}
