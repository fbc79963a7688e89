// TfrmSelectDevice: the choice among several instruments, or of a model to
// simulate when none is attached. The caller reads SelectedIndex (-1: cancelled).
#pragma once

#include "windowframe.h"

class QComboBox;
class TBitmapButton;
class TLabelEx;

class TfrmSelectDevice : public TFrameDialog {
  Q_OBJECT
public:
  explicit TfrmSelectDevice(QWidget *parent = nullptr);

  // Fills the labels and the list (the first item selected) without showing.
  void Prepare(const QString &label1, const QString &label2, const QStringList &items);
  // Shows it modally; the chosen index or -1.
  int Execute(const QString &label1, const QString &label2, const QStringList &items);
  int SelectedIndex = -1;

  TLabelEx *lLabel1, *lLabel2;
  QComboBox *cbSelect;
  TBitmapButton *bOK, *bCancel;

  void accept() override;
  void reject() override;
};
