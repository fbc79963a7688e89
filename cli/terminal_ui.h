// The front end of velkcli: messages go to standard error, the selection is
// decided by the command line.
#pragma once

#include "ui.h"

class TTerminalUi : public TUserInterface {
public:
  // The item the selection dialogs choose (the command line's --device or --demo).
  int Choice = 0;
  // Simulated mode only when asked for (--demo); otherwise no instrument is an error.
  bool AllowDemo = false;
  bool NoInstrument = false;
  // The last message shown, for the exit status text.
  QString LastMessage;

  void ShowMessage(const QString &text, const QString &caption, TMessageIcon icon) override;
  bool AskOkCancel(const QString &text, const QString &caption, TMessageIcon icon) override;
  int SelectDevice(const QString &label1, const QString &label2, const QStringList &items) override;
};
