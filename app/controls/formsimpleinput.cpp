#include "formsimpleinput.h"

#include "bitmapbutton.h"
#include "colors.h"
#include "dialoghooks.h"
#include "labelex.h"
#include "panelex.h"

#include <QLineEdit>

TDigitsValidator::TDigitsValidator(int radix, int maxDigits, int64_t maxValue, QObject *parent)
    : QValidator(parent), fRadix(radix), fMaxDigits(maxDigits), fMaxValue(maxValue) {}

QValidator::State TDigitsValidator::validate(QString &input, int &) const {
  if (fRadix == 16) input = input.toUpper();
  if (input.isEmpty()) return Intermediate;
  if (input.size() > fMaxDigits) return Invalid;
  for (QChar c : input) {
    const bool digit = c >= '0' && c <= '9';
    const bool hex = fRadix == 16 && c >= 'A' && c <= 'F';
    if (!digit && !hex) return Invalid;
  }
  bool ok = false;
  const qlonglong v = input.toLongLong(&ok, fRadix);
  return ok && v <= fMaxValue ? Acceptable : Invalid;
}

QValidator::State TNameValidator::validate(QString &input, int &) const {
  if (input.size() > 15) return Invalid;
  for (QChar c : input)
    if (c.unicode() < 0x20 || (c.unicode() >= 0x7F && c.unicode() < 0xA0) || c.unicode() > 0xFF)
      return Invalid;
  return Acceptable;
}

namespace {
constexpr int kW = 207, kH = 29;

TPanelEx *FieldPanel(QWidget *parent) {
  auto *p = new TPanelEx(parent);
  p->SetFaceColor(kPanelColor);
  p->SetBorderless(true);
  p->setGeometry(2, 2, 124, 25);
  p->hide();
  return p;
}

QLineEdit *Field(QWidget *parent, int width) {
  auto *e = new QLineEdit(parent);
  e->setGeometry(2, 2, width, 21);
  QPalette pal = e->palette();
  pal.setColor(QPalette::Base, FromBGR(kFieldColor));
  e->setPalette(pal);
  return e;
}
} // namespace

TfrmSimpleInput::TfrmSimpleInput(QWidget *parent) : TFrameDialog(parent) {
  Frame()->SetCaptionButtons(TWindowFrame::cbNone);
  Frame()->SetDragAnywhere(true);
  Frame()->SetContentMargins({0, 0, 0, 0});
  setFixedSize(kW, kH);
  TPanelEx *panel = Content();

  pName = FieldPanel(panel);
  eName = Field(pName, 98);
  eName->setMaxLength(15);
  eName->setValidator(new TNameValidator(eName));
  pColor = new TPanelEx(pName);
  pColor->setGeometry(103, 2, 19, 21);
  pColor->setCursor(Qt::PointingHandCursor);
  pColor->setToolTip(QStringLiteral("Click to change the colour"));
  connect(pColor, &TPanelEx::clicked, this, [this] {
    uint32_t c = fColor;
    if (ColorDlg(this, c)) {
      fColor = c;
      pColor->SetFaceColor(c);
    }
  });

  pEdgeSkipCount = FieldPanel(panel);
  eEdgeSkipCount = Field(pEdgeSkipCount, 120);
  eEdgeSkipCount->setMaxLength(4);
  eEdgeSkipCount->setValidator(new TDigitsValidator(10, 4, kMaxEdgeSkip, eEdgeSkipCount));

  pPattern = FieldPanel(panel);
  ePattern = Field(pPattern, 104);
  stPatternValType = new TLabelEx(pPattern);
  stPatternValType->setGeometry(108, 2, 14, 21);
  stPatternValType->SetAlignment(Qt::AlignCenter);
  QFont bold = stPatternValType->font();
  bold.setBold(true);
  stPatternValType->setFont(bold);

  bAccept = new TBitmapButton(QStringLiteral("OK"), panel);
  bAccept->setGeometry(129, 4, 36, 21);
  bCancel = new TBitmapButton(QStringLiteral("Esc"), panel);
  bCancel->setGeometry(167, 4, 36, 21);
  for (TBitmapButton *b : {bAccept, bCancel}) {
    b->SetBorderColor(kFrameDark);
    b->SetBorderOver(0xFFFFFF);
    b->SetTabStop(false);
  }
  connect(bAccept, &TBitmapButton::clicked, this, &TfrmSimpleInput::accept);
  connect(bCancel, &TBitmapButton::clicked, this, &TfrmSimpleInput::reject);
}

void TfrmSimpleInput::Show(TPanelEx *panel, QLineEdit *edit) {
  for (TPanelEx *p : {pName, pEdgeSkipCount, pPattern})
    p->setVisible(p == panel);
  edit->selectAll();
  edit->setFocus();
}

void TfrmSimpleInput::PrepareName(const QString &name, uint32_t color) {
  fMode = imName;
  fColor = color;
  pColor->SetFaceColor(color);
  // A stored name longer than the field holds is cut, never refused.
  eName->setText(name.left(15));
  Show(pName, eName);
}

void TfrmSimpleInput::PrepareEdgeSkipCount(int count) {
  fMode = imEdgeSkipCount;
  eEdgeSkipCount->setText(QString::number(std::clamp(count, 0, kMaxEdgeSkip)));
  Show(pEdgeSkipCount, eEdgeSkipCount);
}

void TfrmSimpleInput::PreparePattern(int value, int format, int maxValue) {
  fMode = imPattern;
  maxValue = std::clamp(maxValue, 0, 0xFFFF);
  fPatternRadix = format == 1 ? 10 : 16;
  delete ePattern->validator();
  ePattern->setValidator(
      new TDigitsValidator(fPatternRadix, fPatternRadix == 16 ? 4 : 5, maxValue, ePattern));
  ePattern->setMaxLength(fPatternRadix == 16 ? 4 : 5);
  stPatternValType->SetCaption(fPatternRadix == 16 ? QStringLiteral("h") : QStringLiteral("d"));
  if (value < 0 || value > maxValue)
    ePattern->clear();
  else if (fPatternRadix == 16)
    ePattern->setText(QStringLiteral("%1").arg(value, 4, 16, QLatin1Char('0')).toUpper());
  else
    ePattern->setText(QString::number(value));
  Show(pPattern, ePattern);
}

bool TfrmSimpleInput::Execute(QPoint at) {
  move(ClampToScreens(QRect(at, size())).topLeft());
  return ExecDialog(*this) == QDialog::Accepted;
}

void TfrmSimpleInput::accept() {
  switch (fMode) {
  case imName:
    fName = eName->text();
    break;
  case imEdgeSkipCount:
    // Nothing to store from an empty field: the box is cancelled.
    if (eEdgeSkipCount->text().isEmpty()) {
      reject();
      return;
    }
    fValue = eEdgeSkipCount->text().toInt();
    break;
  case imPattern:
    fValue = ePattern->text().isEmpty() ? -1 : ePattern->text().toInt(nullptr, fPatternRadix);
    break;
  }
  TFrameDialog::accept();
}
