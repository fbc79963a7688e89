// The program's shared capture handlers and the workers' way to the windows.
//
// TShell owns the capture control. The main windows call its handlers (the
// capture, stop, force-trigger and autoset buttons, the quit question) through
// TCaptureCommands, and it reaches them through TMainView. As the workers'
// observer it runs every notification on the user-interface thread with a
// blocking queued call, so the worker waits until the windows have taken it.
#pragma once

#include "frontend.h"
#include "observer.h"
#include "record.h"
#include "uicall.h"

#include <QObject>

#include <functional>
#include <memory>
#include <vector>

class TShell : public QObject, public TCaptureObserver, public TCaptureCommands {
public:
  explicit TShell(TVELK &r);
  // Stops and joins what still runs.
  ~TShell() override;

  void AddView(TMainView *view) { fViews.push_back(view); }
  // Before the windows are destroyed.
  void ClearViews() { fViews.clear(); }
  // The quit question (a yes/no dialog) and what quitting does once every
  // worker has ended (writing the settings and leaving the event loop).
  std::function<bool()> QuitQuestion;
  std::function<void()> OnQuit;
  // The trigger notification; the default is the application's beep.
  std::function<void(bool defaultBeep)> Sound;

  // TCaptureCommands
  void CaptureClick(TCaptureControl::TSender sender) override;
  void StopClick() override;
  void TriggerClick() override;
  void AutosetClick() override;
  bool Busy() const override;
  bool AskQuit() override;
  void Quit() override;

  // Asks every worker (capture, autoset) to stop and waits for them, serving
  // their calls meanwhile; afterwards nothing uses the record's buffers.
  void StopAndJoin();
  TCaptureControl &Control() { return *fControl; }

  // TCaptureObserver
  void OnUiThread(const std::function<void()> &fn) override;
  void ShowStatus() override;
  void PreTriggerFilled() override;
  void TriggerSeen() override;
  void PresentCapture() override;
  void CaptureFinished() override;
  void TriggerSound(bool defaultBeep) override;
  void DelayCountdown(int seconds) override;
  void ControlsLocked(bool locked) override;
  void StatsChanged() override;
  void AutosetSucceeded() override;

private:
  template <typename F> void ForViews(F f) {
    for (TMainView *v : fViews)
      f(*v);
  }

  TVELK &R;
  TUiCaller fCaller;
  std::unique_ptr<TCaptureControl> fControl;
  std::vector<TMainView *> fViews;
  bool fQuitting = false;
};
