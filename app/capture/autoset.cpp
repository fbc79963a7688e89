#include "autoset.h"

#include "acquire.h"
#include "format.h"
#include "measure.h"

#include <algorithm>
#include <cmath>

double TAutoSetThread::Divider(int32_t probe) const {
  return probe >= 0 && probe < 3 && R.Probes[probe].Divider > 0 ? R.Probes[probe].Divider : 1.0;
}

void TAutoSetThread::Progress() {
  auto perDivision = [this](int32_t gain, int32_t probe) {
    return FormatVoltage(R, -1, R.Lib.GetGainItems(0x200 + gain) * Divider(probe) * 0.2);
  };
  QString text = QStringLiteral("Autoset in progress... ") +
                 FormatFrequency(R.Lib.GetClockItems(0x200 + fS.SamplingRate)) +
                 QStringLiteral(", ") + perDivision(fS.GainChA, fS.ProbeChA);
  if (R.HasChannelB) text += QStringLiteral(", ") + perDivision(fS.GainChB, fS.ProbeChB);
  Say(text);
}

void TAutoSetThread::Measure() {
  ApplyCaptureConfig(R, fS);
  R.Lib.StartCapture();
  // The trigger is forced, so a measurement never waits for the signal; a stop
  // request also ends a capture that an instrument never completes.
  auto waitFor = [this](uint8_t bit) {
    while (!(R.Lib.ReadStatus() & bit) && !fStop) {
      char text[103] = {};
      if (R.Lib.GetLastError(text) != 0) {
        // An instrument that went away answers 0 for ever: end as if stopped.
        fLost = QString::fromLatin1(text);
        fStop = true;
      }
      QThread::yieldCurrentThread();
    }
  };
  waitFor(0x80);
  R.Lib.ForceTrigger();
  waitFor(0x01);
  R.Lib.StopCapture();
  ReadAnalogData(R, fS, R.CaptureA, R.CaptureB);
  const double rate = R.Lib.GetClockItems(0x200 + fS.SamplingRate);
  bool overA = false, overB = false;
  ComputeChannelStats(R.CaptureA, fS.BuffLength, fHalfRange, rate, Divider(fS.ProbeChA), fStatsA,
                      overA);
  fStatsB = {};
  if (!R.CaptureB.empty())
    ComputeChannelStats(R.CaptureB, fS.BuffLength, fHalfRange, rate, Divider(fS.ProbeChB), fStatsB,
                        overB);
  OnUi([&] {
    R.StatsA = fStatsA;
    R.StatsB = fStatsB;
    R.OverrangeA = overA;
    R.OverrangeB = overB;
    fObserver.StatsChanged();
  });
}

int32_t TAutoSetThread::ChooseGain(double minimum, double maximum, int32_t gain,
                                   int channel) const {
  // The statistics carry the probe divider; the gains are the instrument's own
  // ranges, so the divider comes off before comparing.
  double divider = Divider(channel == 0 ? fS.ProbeChA : fS.ProbeChB);
  double peak = std::max(std::fabs(minimum), std::fabs(maximum)) / divider;
  double needed = peak * R.Lib.GetGainItems(0x200 + gain) / fHalfRange;
  int32_t g = fGains - 1;
  while (g > 0 && R.Lib.GetGainItems(0x200 + g) <= needed)
    --g;
  return std::max(g, 0);
}

void TAutoSetThread::Publish(bool withLevel) {
  OnUi([&] {
    std::lock_guard<std::mutex> lock(R.ConfigMutex);
    R.GainChA = fS.GainChA;
    R.GainChB = fS.GainChB;
    R.SamplingRate = fS.SamplingRate;
    if (withLevel) {
      R.TriggerDomain = 0;
      R.AnalogThreshold = fS.AnalogThreshold;
    }
  });
}

void TAutoSetThread::run() {
  fSucceeded = false;
  fHalfRange = R.Lib.GetConfigItems(0x200);
  fGains = R.Lib.GetGainItems(0x100);
  fClocks = R.Lib.GetClockItems(0x100);
  if (!R.HardwarePresent || fHalfRange <= 0 || fGains <= 0 || fClocks <= 0) {
    End(nullptr, R.AutosetRunning);
    return;
  }
  fS = TakeCaptureSettings(R);
  const uint32_t buffLength = fS.BuffLength, triggerAt = fS.TriggerAt;

  // Short captures on the widest ranges: the record's own settings stay as
  // they are until autoset has found better ones.
  fS.BuffLength = fS.BuffLength >= 8192 ? 8192 : 256;
  fS.TriggerAt = fS.BuffLength / 2;
  fS.TriggerDomain = 0;
  fS.CaptureDelay = 0;
  fS.GainChA = fS.GainChB = 0;
  fS.SamplingRate = R.Lib.GetConfigItems(0x401);
  Say(QStringLiteral("Autoset in progress..."));

  double minA = fHalfRange, maxA = -fHalfRange, minB = fHalfRange, maxB = -fHalfRange;
  for (int sweep = 0; sweep < 2; ++sweep) {
    for (int k = 1; k < 6 && !fStop; ++k) {
      int32_t clock = R.Lib.GetConfigItems(0x400 + k);
      if (clock == 0) break;
      fS.SamplingRate = clock;
      Progress();
      Measure();
      minA = std::min(minA, fStatsA.Min);
      maxA = std::max(maxA, fStatsA.Max);
      minB = std::min(minB, fStatsB.Min);
      maxB = std::max(maxB, fStatsB.Max);
    }
    fS.GainChA = ChooseGain(minA, maxA, fS.GainChA, 0);
    if (R.HasChannelB) fS.GainChB = ChooseGain(minB, maxB, fS.GainChB, 1);
  }

  fS.BuffLength = buffLength;
  fS.TriggerAt = triggerAt;
  fS.SamplingRate = R.Lib.GetConfigItems(0x400);
  while (!fStop) {
    Progress();
    Measure();
    double freq = fS.TriggerSource == 1 ? fStatsB.Freq : fStatsA.Freq;
    if (freq != 0) break;
    if (++fS.SamplingRate >= fClocks) {
      // Nothing was written into the record: the old settings stand.
      End("Autoset error.", R.AutosetRunning);
      return;
    }
  }
  if (fStop) {
    // What was found so far stays.
    Publish(false);
    End(fLost.isEmpty() ? QStringLiteral("Autoset not complete.") : fLost, R.AutosetRunning);
    return;
  }
  double lo = fS.TriggerSource == 1 ? minB : minA, hi = fS.TriggerSource == 1 ? maxB : maxA;
  double divider = Divider(fS.TriggerSource == 1 ? fS.ProbeChB : fS.ProbeChA);
  double level = (std::fabs(hi - lo) * 0.5 + lo) / divider;
  fS.AnalogThreshold = static_cast<int32_t>(std::floor(level + 0.5));
  Publish(true);
  fSucceeded = true;
  End(nullptr, R.AutosetRunning);
}
