#include "shell.h"

#include <QApplication>
#include <QMetaObject>
#include <QThread>

TShell::TShell(TVELK &r) : R(r), fControl(std::make_unique<TCaptureControl>(r, *this)) {
  Sound = [](bool) { QApplication::beep(); };
}

TShell::~TShell() {
  // The windows may be gone already: nothing reaches them from here on.
  fViews.clear();
  StopAndJoin();
}

void TShell::OnUiThread(const std::function<void()> &fn) {
  fCaller.Call(fn);
}

void TShell::CaptureClick(TCaptureControl::TSender sender) {
  if (fQuitting) return;
  // Capturing is set and the controls are locked before this returns, so no
  // event can reach a setting control in between.
  fControl->Capture(sender);
}

void TShell::StopClick() {
  fControl->Stop();
}

void TShell::TriggerClick() {
  fControl->ForceTrigger();
}

void TShell::AutosetClick() {
  if (fQuitting) return;
  fControl->Autoset();
}

bool TShell::Busy() const {
  return fControl->Busy();
}

bool TShell::AskQuit() {
  return !QuitQuestion || QuitQuestion();
}

void TShell::StopAndJoin() {
  if (!fControl || !fControl->Busy()) return;
  fControl->Stop();
  fControl.reset(); // the destructor stops and waits, serving the workers
  fControl = std::make_unique<TCaptureControl>(R, *this);
}

void TShell::Quit() {
  if (fQuitting) return;
  fQuitting = true;
  StopAndJoin();
  if (OnQuit) OnQuit();
}

void TShell::ShowStatus() {
  const QString text = R.Status();
  ForViews([&](TMainView &v) { v.ShowStatusText(text); });
}

void TShell::PreTriggerFilled() {
  ForViews([](TMainView &v) { v.EnableForceTrigger(true); });
}

void TShell::TriggerSeen() {
  ForViews([](TMainView &v) { v.EnableForceTrigger(false); });
}

void TShell::PresentCapture() {
  ++R.CaptureCount;
  ForViews([](TMainView &v) { v.PresentCapture(); });
}

void TShell::CaptureFinished() {
  ForViews([](TMainView &v) {
    v.EnableForceTrigger(false);
    v.LockControlsForCapture(false);
  });
}

void TShell::TriggerSound(bool defaultBeep) {
  if (Sound) Sound(defaultBeep);
}

void TShell::DelayCountdown(int seconds) {
  ForViews([&](TMainView &v) { v.DelayCountdown(seconds); });
}

void TShell::ControlsLocked(bool locked) {
  ForViews([&](TMainView &v) { v.LockControlsForCapture(locked); });
}

void TShell::StatsChanged() {
  ForViews([](TMainView &v) { v.StatsChanged(); });
}

void TShell::AutosetSucceeded() {
  ForViews([](TMainView &v) { v.AutosetSucceeded(); });
}
