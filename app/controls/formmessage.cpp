#include "formmessage.h"

#include "bitmapbutton.h"
#include "colors.h"
#include "dialoghooks.h"
#include "labelex.h"
#include "panelex.h"
#include "pictures.h"

#include <QLabel>

namespace {
constexpr int kWidth = 340, kTextLeft = 60, kTextWidth = kWidth - kTextLeft - 16;

QLabel *Picture(QWidget *parent, const QPixmap &pixmap) {
  auto *l = new QLabel(parent);
  l->setPixmap(pixmap);
  l->setGeometry(14, 12, 36, 36);
  l->hide();
  return l;
}
} // namespace

TfrmMessage::TfrmMessage(QWidget *parent) : TFrameDialog(parent) {
  TPanelEx *panel = Content();
  imgError = Picture(panel, ErrorPicture(36));
  imgConfirm = Picture(panel, ConfirmPicture(36));
  imgInfo = Picture(panel, InfoPicture(36));
  stMessage = new TLabelEx(panel);
  stMessage->SetWordWrap(true);
  stMessage->SetAlignment(Qt::AlignCenter);
  bOK = new TBitmapButton(QStringLiteral("OK"), panel);
  bCancel = new TBitmapButton(QStringLiteral("Cancel"), panel);
  for (TBitmapButton *b : {bOK, bCancel}) {
    b->SetBorderColor(kFrameDark);
    b->SetBorderOver(0xFFFFFF);
    b->hide();
  }
  connect(bOK, &TBitmapButton::clicked, this, &QDialog::accept);
  connect(bCancel, &TBitmapButton::clicked, this, &QDialog::reject);
}

void TfrmMessage::Prepare(int kind, const QString &text, const QString &caption) {
  QLabel *picture = imgInfo;
  QString title = QStringLiteral("Information");
  if (kind == 0 || kind == 1) {
    picture = imgError;
    title = QStringLiteral("Error");
  } else if (kind == 3) {
    picture = imgConfirm;
    title = QStringLiteral("Confirmation");
  }
  SetCaption(caption.isEmpty() ? title : caption);
  picture->show();
  stMessage->SetCaption(text);

  // The label's own measure of its wrapped lines (it breaks as it paints), so
  // the box grows with the text instead of cutting its last lines.
  stMessage->resize(kTextWidth, stMessage->height());
  const int textH = stMessage->sizeHint().height();
  const int bodyH = std::max(40, textH + 8);
  stMessage->setGeometry(kTextLeft, 10, kTextWidth, bodyH);
  const int buttonsTop = 10 + bodyH + 10;
  const int panelW = kWidth - 4;
  if (kind == 3) {
    bOK->move(panelW / 2 - 80, buttonsTop);
    bCancel->move(panelW / 2 + 5, buttonsTop);
    bCancel->show();
  } else {
    bOK->move((panelW - 75) / 2, buttonsTop);
  }
  bOK->show();
  resize(kWidth, TWindowFrame::kContentTop + buttonsTop + 25 + 12 + 2);
  bOK->setFocus();
}

int TfrmMessage::Execute(int kind, const QString &text, const QString &caption) {
  Prepare(kind, text, caption);
  return ExecDialog(*this) == QDialog::Accepted ? 0 : 1;
}

void TfrmMessage::done(int r) {
  // The next show starts clean.
  for (QWidget *w : {static_cast<QWidget *>(imgError), static_cast<QWidget *>(imgConfirm),
                     static_cast<QWidget *>(imgInfo), static_cast<QWidget *>(bOK),
                     static_cast<QWidget *>(bCancel)})
    w->hide();
  TFrameDialog::done(r);
}
