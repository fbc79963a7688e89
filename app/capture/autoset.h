// Autoset: gains, clock and trigger level chosen by a series of short
// captures with forced triggers, on its own thread. It works on its own copy
// of the settings and writes what it found into the record on the front end's
// thread, so the windows never see a setting change under them.
#pragma once

#include "acquire.h"
#include "observer.h"
#include "record.h"
#include "workers.h"

#include <atomic>

class TAutoSetThread : public TWorker {
public:
  using TWorker::TWorker;
  // Asks the worker to stop after its current capture.
  void RequestStop() override { fStop = true; }
  // True when autoset found a clock and set everything: the caller then starts
  // one single capture as the capture button would.
  bool Succeeded() const { return fSucceeded; }

protected:
  void run() override;

private:
  void Progress();
  void Measure();
  int32_t ChooseGain(double minimum, double maximum, int32_t gain, int channel) const;
  double Divider(int32_t probe) const;
  // Writes the settings found into the record (on the front end's thread).
  void Publish(bool withLevel);

  std::atomic<bool> fStop{false};
  std::atomic<bool> fSucceeded{false};
  // The library's text when the instrument stopped answering during a measurement.
  QString fLost;
  int32_t fHalfRange = 0, fGains = 0, fClocks = 0;
  // The settings autoset works with, and the statistics of its last measurement.
  TCaptureSettings fS;
  TVELK::TStats fStatsA, fStatsB;
};
