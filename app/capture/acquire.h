// Passing the capture configuration to the library and fetching the samples,
// from an instrument or generated in simulated mode.
#pragma once

#include "record.h"

// Sends the configuration of the record with the capture-parameter functions
// and VELK_CPSet. The caller checks the library's last error.
void ApplyCaptureConfig(TVELK &r);
// The analog samples (instrument or simulated), then the hand-over to the
// spectrum worker unless it is busy.
void ReadAnalogData(TVELK &r);
// The logic samples into the buffer in view (instrument or simulated).
void ReadDigitalData(TVELK &r);
