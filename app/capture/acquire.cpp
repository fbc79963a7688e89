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

void HandOverToSpectrum(TVELK &r) {
  // Each channel goes over only when both its samples and its spectrum copy exist.
  const float *a = !r.SamplesA.empty() && !r.FFTInputA.empty() ? r.SamplesA.data() : nullptr;
  const float *b = !r.SamplesB.empty() && !r.FFTInputB.empty() ? r.SamplesB.data() : nullptr;
  size_t n = r.BuffLength;
  if (a) n = std::min(n, r.SamplesA.size());
  if (b) n = std::min(n, r.SamplesB.size());
  HandOverSpectrumInputs(r, a, b, n);
}

} // namespace

void ApplyCaptureConfig(TVELK &r) {
  std::lock_guard<std::mutex> lock(r.ConfigMutex);
  TVelkLib &l = r.Lib;
  l.CPBuffers(static_cast<int32_t>(r.BuffLength), static_cast<int32_t>(r.TriggerAt));
  l.CPCaptureDelay(static_cast<int32_t>(r.CaptureDelay));
  if (r.HasAnalog()) {
    // The library converts the trigger level with the stored gain of channel
    // A, so the gains go first: otherwise the first capture after a gain
    // change triggers at the level of the old gain.
    l.CPGain(r.GainChA, r.GainChB);
    l.CPThresholdA(r.AnalogThreshold, r.ThresholdMargin);
    l.CPCoupling(r.CouplingChA, r.CouplingChB);
    l.CPExtTrig(r.ExtTrigMode);
    l.CPProbeComp(r.ProbeComp.load());
    if (r.TriggerDomain == 0) {
      l.CPTrigger(0, &r.TriggerSource, &r.AnalogEdgeType, nullptr, nullptr);
      l.CPSkip(0);
    }
  }
  if (r.HasDigital()) {
    l.CPThresholdD(r.DigitalThreshold);
    l.CPEdgeCounter(r.EdgeCounter ? 1 : 0, r.EdgeCountType, r.EdgeCounterCh);
    if (r.TriggerDomain == 1) {
      l.CPTrigger(1, &r.TriggerCond, &r.DigitalEdgeType, &r.EdgeChannel, r.ChPattern);
      l.CPSkip(r.EdgeSkip);
    }
  }
  if (r.ClockSource == 0)
    l.CPSampling(0, r.SamplingRate, 0);
  else
    l.CPSampling(r.ClockSource, static_cast<int8_t>(r.ExtStbType),
                 static_cast<uint8_t>(static_cast<int8_t>(r.ExtClkEdge)));
  l.CPSet();
}

void ReadAnalogData(TVELK &r) {
  if (r.HardwarePresent) {
    r.Lib.GetDataA(r.SamplesA.empty() ? nullptr : r.SamplesA.data(),
                   r.SamplesB.empty() ? nullptr : r.SamplesB.data());
  } else {
    const double g = r.Lib.GetConfigItems(0x200);
    const double f = r.Lib.GetClockItems(0x200 + r.SamplingRate);
    const double ga = r.Lib.GetGainItems(0x200 + r.GainChA);
    const double gb = r.Lib.GetGainItems(0x200 + r.GainChB);
    const size_t n = std::min<size_t>(r.BuffLength, r.BufferCapacity);
    std::mt19937 random = SeededByTicks();
    std::uniform_int_distribution<int> noise(0, 100);
    const double twoPi = 2.0 * M_PI;
    // A 5000 mV sine with a 100 mV ripple and up to 100 mV of noise on A, a
    // 3300 mV sine on B, whatever the clock (periods scale with it).
    if (!r.SamplesA.empty() && ga > 0 && f > 0)
      for (size_t i = 0; i < n && i < r.SamplesA.size(); ++i)
        r.SamplesA[i] = static_cast<float>(
            std::sin(i * twoPi / (f * 1e-5)) * (g * 5000 / ga) +
            std::sin(i * twoPi / (f * 2.5e-7) + M_PI) * (g * 100 / ga) + noise(random) * g / ga);
    if (r.HasChannelB && !r.SamplesB.empty() && gb > 0 && f > 0)
      for (size_t i = 0; i < n && i < r.SamplesB.size(); ++i)
        r.SamplesB[i] = static_cast<float>(
            std::sin(i * twoPi / (f * 3.000030000300003e-5) + M_PI / 4) * (g * 3300 / gb) +
            noise(random) * g / gb);
    QThread::msleep(20);
  }
  HandOverToSpectrum(r);
}

void ReadDigitalData(TVELK &r) {
  int tab = r.ActiveDigitalTab >= 0 && r.ActiveDigitalTab < 3 ? r.ActiveDigitalTab : 0;
  std::vector<uint32_t> &buffer = r.DigitalSamples[tab];
  if (r.HardwarePresent) {
    if (!buffer.empty()) r.Lib.GetDataD(buffer.data());
    return;
  }
  if (buffer.empty()) return;
  std::mt19937 random = SeededByTicks();
  const uint32_t k = std::uniform_int_distribution<uint32_t>(0, 9)(random);
  std::uniform_int_distribution<uint32_t> bit(0, 1);
  const size_t n = std::min<size_t>(r.BuffLength, buffer.size());
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
