// What the acquisition core asks of a front end: message boxes and the start-up
// dialogs. The windows implement it with Qt widgets, velkcli on the terminal,
// the tests with a recorder.
#pragma once

#include <QString>
#include <QStringList>

enum class TMessageIcon { None, Error, Warning, Information };

class TUserInterface {
public:
  virtual ~TUserInterface() = default;

  // A message box with one OK button.
  virtual void ShowMessage(const QString &text, const QString &caption, TMessageIcon icon) = 0;
  // A message box with OK and Cancel; true for OK.
  virtual bool AskOkCancel(const QString &text, const QString &caption, TMessageIcon icon) = 0;

  // Start-up: splash lines 1..5 are enabled as each stage begins and receive a
  // result text; the selection dialog returns the chosen item or -1 (cancelled).
  virtual void SplashLine(int /*line*/) {}
  virtual void SplashResult(int /*line*/, const QString & /*text*/) {}
  virtual int SelectDevice(const QString &label1, const QString &label2,
                           const QStringList &items) = 0;
};
