// The windowed front end's TUserInterface: the splash window's lines, the
// selection dialog and the message boxes of the dialogs in this folder.
#pragma once

#include "ui.h"

class QWidget;
class TfrmSplash;
class TfrmSelectDevice;

class TGuiUserInterface : public TUserInterface {
public:
  // Both may be null (no splash; a selection dialog made on demand).
  TGuiUserInterface(TfrmSplash *splash, TfrmSelectDevice *select, QWidget *parent = nullptr);

  void ShowMessage(const QString &text, const QString &caption, TMessageIcon icon) override;
  bool AskOkCancel(const QString &text, const QString &caption, TMessageIcon icon) override;
  void SplashLine(int line) override;
  void SplashResult(int line, const QString &text) override;
  int SelectDevice(const QString &label1, const QString &label2, const QStringList &items) override;

  // The message-box kind for an icon: errors 0, warnings 1 (with their own caption), else 2.
  static int KindOf(TMessageIcon icon);

private:
  TfrmSplash *fSplash;
  TfrmSelectDevice *fSelect;
  QWidget *fParent;
};
