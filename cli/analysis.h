// velkcli's capture and analysis commands: a capture by the workers of the
// application, and the results the windows would show, as text.
#pragma once

#include "record.h"

#include <QString>

struct TAnalysisOptions {
  QString Capture; // "", "single", "repeat", "auto"
  int Count = 1;   // captures for repeat and auto
  bool Autoset = false;
  bool Digital = false; // the digital trigger on the combined model
  bool Measure = false, Decode = false, Edges = false;
  QString Search;   // one of 0, 1, X per channel, channel 1 first
  QString Spectrum; // CSV file
  bool Dft = false;
  uint32_t DftFrom = 0, DftTo = 0;
};

// Runs what the options ask for; samples: the record holds a loaded project's
// samples. 0, or the exit status of a failure (its text already on standard
// error). *goodCaptureKept: captures failed part-way, and the record holds the
// last good one.
int RunAnalysis(TVELK &r, const TAnalysisOptions &o, bool samples, bool *goodCaptureKept = nullptr);
