// Passing the capture configuration to the library and fetching the samples,
// from an instrument or generated in simulated mode.
#pragma once

#include "record.h"

#include <vector>

// What a capture is made with: the settings the windows may change while a
// worker runs. A worker takes a copy under TVELK::ConfigMutex (the windows
// write under the same lock) and works on the copy alone.
struct TCaptureSettings {
  uint32_t BuffLength = 0, TriggerAt = 0, CaptureDelay = 0;
  int32_t SamplingRate = 0;
  uint8_t TriggerDomain = 0, TriggerBeep = 0;
  // Oscilloscope part
  int32_t GainChA = 0, GainChB = 0, ProbeChA = 0, ProbeChB = 0;
  int32_t AnalogThreshold = 0, ThresholdMargin = 0;
  uint8_t CouplingChA = 0, CouplingChB = 0, ExtTrigMode = 0, ProbeComp = 0;
  uint8_t TriggerSource = 0, AnalogEdgeType = 0;
  // Logic part
  int32_t DigitalThreshold = 0, EdgeSkip = 0;
  uint8_t TriggerCond = 0, DigitalEdgeType = 0, EdgeChannel = 0;
  uint8_t ChPattern[kMaxChannels] = {};
  bool EdgeCounter = false;
  uint8_t EdgeCountType = 0, EdgeCounterCh = 0;
  uint8_t ClockSource = 0, ExtStbType = 0, ExtClkEdge = 0;
};

// A copy of the record's capture settings, taken under ConfigMutex.
TCaptureSettings TakeCaptureSettings(TVELK &r);

// Sends the settings with the capture-parameter functions and VELK_CPSet. The
// caller checks the library's last error.
void ApplyCaptureConfig(TVELK &r, const TCaptureSettings &s);
// The same with a copy of the record's settings taken now; returns the copy.
TCaptureSettings ApplyCaptureConfig(TVELK &r);

// The analog samples (instrument or simulated) into a and b (either may be
// empty: not read), then the hand-over to the spectrum worker unless it is busy.
void ReadAnalogData(TVELK &r, const TCaptureSettings &s, std::vector<float> &a,
                    std::vector<float> &b);
// The logic samples (instrument or simulated) into d (empty: not read).
void ReadDigitalData(TVELK &r, const TCaptureSettings &s, std::vector<uint32_t> &d);
