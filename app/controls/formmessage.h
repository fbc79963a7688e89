// TfrmMessage: the message box of the windows. Kinds 0 and 1 are errors, 3 asks
// for confirmation (OK and Cancel), any other kind informs.
#pragma once

#include "windowframe.h"

class QLabel;
class TBitmapButton;
class TLabelEx;

class TfrmMessage : public TFrameDialog {
  Q_OBJECT
public:
  explicit TfrmMessage(QWidget *parent = nullptr);

  // Shows the box modally; 0 for OK, 1 for Cancel (Esc, the close button).
  int Execute(int kind, const QString &text, const QString &caption = {});
  // Sets the box up without showing it (Execute does this first).
  void Prepare(int kind, const QString &text, const QString &caption = {});
  // 0 OK, 1 Cancel, as left by the last close.
  int Answer() const { return result() == QDialog::Accepted ? 0 : 1; }

  QLabel *imgError, *imgConfirm, *imgInfo;
  TLabelEx *stMessage;
  TBitmapButton *bOK, *bCancel;

  void done(int r) override;
};
