#include "labelex.h"

#include "colors.h"

#include <QMetaMethod>
#include <QMouseEvent>
#include <QPainter>
#include <QTextLayout>

#include <cmath>

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

namespace {
// Wrapped text breaks between words, and inside a word longer than a line (a path).
QTextOption WrapOption(Qt::Alignment alignment) {
  QTextOption o(alignment);
  o.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
  return o;
}
} // namespace

int WrappedHeight(const QFont &font, int width, const QString &text) {
  // A layout takes only the line separator as a forced break; the text's own
  // line ends are drawn as breaks, so they are measured as such.
  QString lines = text;
  lines.replace(QLatin1Char('\n'), QChar::LineSeparator);
  QTextLayout layout(lines, font);
  layout.setTextOption(WrapOption(Qt::AlignLeft));
  layout.beginLayout();
  qreal height = 0;
  for (QTextLine line = layout.createLine(); line.isValid(); line = layout.createLine()) {
    line.setLineWidth(width);
    height += line.height();
  }
  layout.endLayout();
  return static_cast<int>(std::ceil(height));
}

QSize TLabelEx::sizeHint() const {
  QFontMetrics fm(font());
  if (fWordWrap && width() > 0) return {width(), WrappedHeight(font(), width(), Text())};
  return {fm.horizontalAdvance(Text()) + 2, fm.height()};
}

void TLabelEx::DrawText(QPainter &p, const QRect &r, const QString &text) const {
  if (fWordWrap) {
    // Vertical centring by hand: a QTextOption aligns horizontally only.
    const int h = WrappedHeight(font(), r.width(), text);
    QRect box = r;
    if (fAlignment & Qt::AlignVCenter)
      box.setTop(r.top() + (r.height() - h) / 2);
    else if (fAlignment & Qt::AlignBottom)
      box.setTop(r.bottom() + 1 - h);
    p.drawText(QRectF(box), text, WrapOption(fAlignment & Qt::AlignHorizontal_Mask));
  } else {
    p.drawText(r, Flags(), text);
  }
}

void TLabelEx::paintEvent(QPaintEvent *) {
  QPainter p(this);
  if (!fTransparent) p.fillRect(rect(), FromBGR(fColor));
  p.setFont(font());
  const QString text = Text();
  if (isEnabled()) {
    p.setPen(FromBGR(fTextColor));
    DrawText(p, rect(), text);
  } else {
    // Embossed: white one pixel down and right, then grey.
    p.setPen(Qt::white);
    DrawText(p, rect().translated(1, 1), text);
    p.setPen(FromBGR(8421504));
    DrawText(p, rect(), text);
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
