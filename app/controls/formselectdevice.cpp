#include "formselectdevice.h"

#include "bitmapbutton.h"
#include "colors.h"
#include "dialoghooks.h"
#include "labelex.h"
#include "panelex.h"

#include <QComboBox>

TfrmSelectDevice::TfrmSelectDevice(QWidget *parent) : TFrameDialog(parent) {
  SetCaption(QStringLiteral("Select"));
  resize(280, 150);
  TPanelEx *panel = Content();
  lLabel1 = new TLabelEx(panel);
  lLabel1->setGeometry(12, 8, 250, 18);
  lLabel2 = new TLabelEx(panel);
  lLabel2->setGeometry(12, 26, 250, 18);
  QFont bold = lLabel1->font();
  bold.setBold(true);
  lLabel1->setFont(bold);
  cbSelect = new QComboBox(panel);
  cbSelect->setGeometry(12, 50, 252, 24);
  QPalette pal = cbSelect->palette();
  pal.setColor(QPalette::Base, FromBGR(kFieldColor));
  pal.setColor(QPalette::Button, FromBGR(kFieldColor));
  cbSelect->setPalette(pal);
  bOK = new TBitmapButton(QStringLiteral("OK"), panel);
  bOK->move(58, 90);
  bCancel = new TBitmapButton(QStringLiteral("Cancel"), panel);
  bCancel->move(143, 90);
  for (TBitmapButton *b : {bOK, bCancel}) {
    b->SetBorderColor(kFrameDark);
    b->SetBorderOver(0xFFFFFF);
  }
  connect(bOK, &TBitmapButton::clicked, this, &TfrmSelectDevice::accept);
  connect(bCancel, &TBitmapButton::clicked, this, &TfrmSelectDevice::reject);
}

void TfrmSelectDevice::Prepare(const QString &label1, const QString &label2,
                               const QStringList &items) {
  lLabel1->SetCaption(label1);
  lLabel2->SetCaption(label2);
  cbSelect->clear();
  cbSelect->addItems(items);
  cbSelect->setCurrentIndex(items.isEmpty() ? -1 : 0);
  SelectedIndex = -1;
  cbSelect->setFocus();
}

int TfrmSelectDevice::Execute(const QString &label1, const QString &label2,
                              const QStringList &items) {
  Prepare(label1, label2, items);
  ExecDialog(*this);
  return SelectedIndex;
}

void TfrmSelectDevice::accept() {
  SelectedIndex = cbSelect->currentIndex();
  TFrameDialog::accept();
}

void TfrmSelectDevice::reject() {
  SelectedIndex = -1;
  TFrameDialog::reject();
}
