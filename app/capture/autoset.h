// Autoset: gains, clock and trigger level chosen by a series of short
// captures with forced triggers, on its own thread.
#pragma once

#include "observer.h"
#include "record.h"

#include <QThread>

#include <atomic>

class TAutoSetThread : public QThread {
public:
  TAutoSetThread(TVELK &r, TCaptureObserver &observer) : R(r), fObserver(observer) {}
  // Asks the worker to stop after its current capture.
  void RequestStop() { fStop = true; }
  // True when autoset found a clock and set everything: the caller then starts
  // one single capture as the capture button would.
  bool Succeeded() const { return fSucceeded; }

protected:
  void run() override;

private:
  void Say(const QString &text);
  void Progress();
  void Measure();
  int32_t ChooseGain(double minimum, double maximum, int32_t gain, int channel) const;

  TVELK &R;
  TCaptureObserver &fObserver;
  std::atomic<bool> fStop{false};
  std::atomic<bool> fSucceeded{false};
  // The library's text when the instrument stopped answering during a measurement.
  QString fLost;
  int32_t fHalfRange = 0, fGains = 0, fClocks = 0;
};
