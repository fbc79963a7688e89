#include "autoset.h"

#include "acquire.h"
#include "format.h"
#include "measure.h"

#include <algorithm>
#include <cmath>

namespace {

double Divider(const TVELK &r, int32_t probe) {
  return probe >= 0 && probe < 3 && r.Probes[probe].Divider > 0 ? r.Probes[probe].Divider : 1.0;
}

} // namespace

void TAutoSetThread::Say(const QString &text) {
  R.SetStatus(text);
  fObserver.ShowStatus();
}

void TAutoSetThread::Progress() {
  auto perDivision = [this](int32_t gain, int32_t probe) {
    return FormatVoltage(R, -1, R.Lib.GetGainItems(0x200 + gain) * Divider(R, probe) * 0.2);
  };
  QString text = QStringLiteral("Autoset in progress... ") +
                 FormatFrequency(R.Lib.GetClockItems(0x200 + R.SamplingRate)) +
                 QStringLiteral(", ") + perDivision(R.GainChA, R.ProbeChA);
  if (R.HasChannelB) text += QStringLiteral(", ") + perDivision(R.GainChB, R.ProbeChB);
  Say(text);
}

void TAutoSetThread::Measure() {
  ApplyCaptureConfig(R);
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
  ReadAnalogData(R);
  ComputeAnalogStats(R);
  fObserver.StatsChanged();
}

int32_t TAutoSetThread::ChooseGain(double minimum, double maximum, int32_t gain,
                                   int channel) const {
  // The statistics carry the probe divider; the gains are the instrument's own
  // ranges, so the divider comes off before comparing.
  double divider = Divider(R, channel == 0 ? R.ProbeChA : R.ProbeChB);
  double peak = std::max(std::fabs(minimum), std::fabs(maximum)) / divider;
  double needed = peak * R.Lib.GetGainItems(0x200 + gain) / fHalfRange;
  int32_t g = fGains - 1;
  while (g > 0 && R.Lib.GetGainItems(0x200 + g) <= needed)
    --g;
  return std::max(g, 0);
}

void TAutoSetThread::run() {
  fSucceeded = false;
  fHalfRange = R.Lib.GetConfigItems(0x200);
  fGains = R.Lib.GetGainItems(0x100);
  fClocks = R.Lib.GetClockItems(0x100);
  if (!R.HardwarePresent || fHalfRange <= 0 || fGains <= 0 || fClocks <= 0) return;
  fObserver.ControlsLocked(true);
  R.AutosetRunning = 1;
  fStop = false;
  const uint32_t buffLength = R.BuffLength, triggerAt = R.TriggerAt;
  const int32_t gainA = R.GainChA, gainB = R.GainChB, samplingRate = R.SamplingRate;

  R.BuffLength = R.BuffLength >= 8192 ? 8192 : 256;
  R.TriggerAt = R.BuffLength / 2;
  R.TriggerDomain = 0;
  R.GainChA = R.GainChB = 0;
  R.SamplingRate = R.Lib.GetConfigItems(0x401);
  Say(QStringLiteral("Autoset in progress..."));

  double minA = fHalfRange, maxA = -fHalfRange, minB = fHalfRange, maxB = -fHalfRange;
  for (int sweep = 0; sweep < 2; ++sweep) {
    for (int k = 1; k < 6 && !fStop; ++k) {
      int32_t clock = R.Lib.GetConfigItems(0x400 + k);
      if (clock == 0) break;
      R.SamplingRate = clock;
      Progress();
      Measure();
      minA = std::min(minA, R.StatsA.Min);
      maxA = std::max(maxA, R.StatsA.Max);
      minB = std::min(minB, R.StatsB.Min);
      maxB = std::max(maxB, R.StatsB.Max);
    }
    R.GainChA = ChooseGain(minA, maxA, R.GainChA, 0);
    if (R.HasChannelB) R.GainChB = ChooseGain(minB, maxB, R.GainChB, 1);
  }

  R.BuffLength = buffLength;
  R.TriggerAt = triggerAt;
  R.SamplingRate = R.Lib.GetConfigItems(0x400);
  while (!fStop) {
    Progress();
    Measure();
    double freq = R.TriggerSource == 1 ? R.StatsB.Freq : R.StatsA.Freq;
    if (freq != 0) break;
    if (++R.SamplingRate >= fClocks) {
      R.GainChA = gainA;
      R.GainChB = gainB;
      R.SamplingRate = samplingRate;
      R.BuffLength = buffLength;
      R.TriggerAt = triggerAt;
      fObserver.ControlsLocked(false);
      R.AutosetRunning = 0;
      Say(QStringLiteral("Autoset error."));
      return;
    }
  }
  R.AutosetRunning = 0;
  if (fStop) {
    Say(fLost.isEmpty() ? QStringLiteral("Autoset not complete.") : fLost);
    fObserver.ControlsLocked(false);
    return;
  }
  double lo = R.TriggerSource == 1 ? minB : minA, hi = R.TriggerSource == 1 ? maxB : maxA;
  double divider = Divider(R, R.TriggerSource == 1 ? R.ProbeChB : R.ProbeChA);
  double level = (std::fabs(hi - lo) * 0.5 + lo) / divider;
  R.AnalogThreshold = static_cast<int32_t>(std::floor(level + 0.5));
  fSucceeded = true;
}
