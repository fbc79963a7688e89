#include "labelex.h"

#include "colors.h"

#include <QMetaMethod>
#include <QMouseEvent>
#include <QPainter>

TLabelEx::TLabelEx(QWidget *parent) : QWidget(parent) {}

TLabelEx::TLabelEx(const QString &caption, QWidget *parent) : QWidget(parent), fCaption(caption) {}

void TLabelEx::SetCaption(const QString &caption) {
  fCaption = caption;
  updateGeometry();
  update();
}
void TLabelEx::SetWideCaption(const QString &caption) {
  fWideCaption = caption;
  updateGeometry();
  update();
}
void TLabelEx::SetAlignment(Qt::Alignment alignment) {
  fAlignment = alignment;
  update();
}
void TLabelEx::SetWordWrap(bool on) {
  fWordWrap = on;
  update();
}
void TLabelEx::SetTextColor(uint32_t bgr) {
  fTextColor = bgr;
  update();
}
void TLabelEx::SetColor(uint32_t bgr) {
  fColor = bgr;
  fTransparent = false;
  update();
}
void TLabelEx::SetTransparent(bool on) {
  fTransparent = on;
  update();
}
void TLabelEx::SetUnderline(bool on) {
  QFont f = font();
  f.setUnderline(on);
  setFont(f);
}

int TLabelEx::Flags() const {
  return static_cast<int>(fAlignment) | (fWordWrap ? Qt::TextWordWrap : Qt::TextSingleLine);
}

QSize TLabelEx::sizeHint() const {
  QFontMetrics fm(font());
  if (fWordWrap && width() > 0)
    return fm.boundingRect(QRect(0, 0, width(), 10000), Flags(), Text()).size();
  return {fm.horizontalAdvance(Text()) + 2, fm.height()};
}

void TLabelEx::paintEvent(QPaintEvent *) {
  QPainter p(this);
  if (!fTransparent) p.fillRect(rect(), FromBGR(fColor));
  p.setFont(font());
  const QString text = Text();
  if (isEnabled()) {
    p.setPen(FromBGR(fTextColor));
    p.drawText(rect(), Flags(), text);
  } else {
    // Embossed: white one pixel down and right, then grey.
    p.setPen(Qt::white);
    p.drawText(rect().translated(1, 1), Flags(), text);
    p.setPen(FromBGR(8421504));
    p.drawText(rect(), Flags(), text);
  }
}

void TLabelEx::enterEvent(QEnterEvent *) {
  emit mouseOver();
}

void TLabelEx::leaveEvent(QEvent *) {
  emit mouseOut();
}

void TLabelEx::mouseReleaseEvent(QMouseEvent *e) {
  if (e->button() == Qt::LeftButton && isEnabled() && rect().contains(e->position().toPoint()))
    emit clicked();
}

void TLabelEx::changeEvent(QEvent *e) {
  if (e->type() == QEvent::EnabledChange || e->type() == QEvent::FontChange) update();
  QWidget::changeEvent(e);
}

// Only a clickable LabelEx (one whose clicked() is connected) keeps the press; others
// let it through to the window, which drags by it.
void TLabelEx::mousePressEvent(QMouseEvent *e) {
  if (isSignalConnected(QMetaMethod::fromSignal(&TLabelEx::clicked)))
    e->accept();
  else
    e->ignore();
}
