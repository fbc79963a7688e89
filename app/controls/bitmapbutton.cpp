#include "bitmapbutton.h"

#include "colors.h"

#include <QBitmap>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>

TBitmapButton::TBitmapButton(QWidget *parent) : QWidget(parent) {
  setFocusPolicy(Qt::StrongFocus);
  setAttribute(Qt::WA_Hover, false);
  resize(75, 25);
}

TBitmapButton::TBitmapButton(const QString &caption, QWidget *parent) : TBitmapButton(parent) {
  fCaption = caption;
}

void TBitmapButton::SetShape(TShape shape) {
  fShape = shape;
  update();
}
void TBitmapButton::SetBitmap(const QPixmap &picture) {
  fBitmap = picture;
  update();
}
void TBitmapButton::SetDisBitmap(const QPixmap &picture) {
  fDisBitmap = picture;
  update();
}
void TBitmapButton::SetTransparent(bool on) {
  fTransparent = on;
  update();
}
void TBitmapButton::SetCaption(const QString &caption) {
  fCaption = caption;
  update();
}
void TBitmapButton::SetFlat(bool on) {
  fFlat = on;
  update();
}
void TBitmapButton::SetTextPaddingTop(int pixels) {
  fTextPaddingTop = pixels;
  update();
}
void TBitmapButton::SetGap(int pixels) {
  fGap = pixels;
  update();
}
void TBitmapButton::SetBackColor(uint32_t bgr) {
  fBackColor = bgr;
  fParentColor = false;
  update();
}
void TBitmapButton::SetButtonColor(uint32_t bgr) {
  fButtonColor = bgr;
  update();
}
void TBitmapButton::SetBorderColor(uint32_t bgr) {
  fBorderColor = bgr;
  update();
}
void TBitmapButton::SetBorderOver(uint32_t bgr) {
  fBorderOver = bgr;
  update();
}
void TBitmapButton::SetTextColor(uint32_t bgr) {
  fTextColor = bgr;
  update();
}
void TBitmapButton::SetParentColor(bool on) {
  fParentColor = on;
  update();
}
void TBitmapButton::SetTabStop(bool on) {
  fTabStop = on;
  // Not in the tab chain, but a click still takes the focus.
  setFocusPolicy(on ? Qt::StrongFocus : Qt::ClickFocus);
  update();
}

void TBitmapButton::Click() {
  if (isEnabled()) emit clicked();
}

QPixmap TBitmapButton::Picture() const {
  QPixmap p = !isEnabled() && !fDisBitmap.isNull() ? fDisBitmap : fBitmap;
  if (p.isNull() || !fTransparent) return p;
  QImage img = p.toImage();
  QColor key = img.pixelColor(0, img.height() - 1);
  p.setMask(p.createMaskFromColor(key, Qt::MaskInColor));
  return p;
}

void TBitmapButton::paintEvent(QPaintEvent *) {
  QPainter p(this);
  const int w = width(), h = height();
  QColor back = fParentColor && parentWidget() ? parentWidget()->palette().color(QPalette::Window)
                                               : FromBGR(fBackColor);
  p.fillRect(rect(), back);

  // Outline and face.
  p.setPen(FromBGR(fHovered ? fBorderOver : fBorderColor));
  p.setBrush(FromBGR(fButtonColor));
  const QRect frame(0, 0, w - 1, h - 1);
  const int r = fShape == bsRounded ? 4 : 0;
  if (r)
    p.drawRoundedRect(frame, r, r);
  else
    p.drawRect(frame);

  // 3-D edge inside the outline; light and dark swap while pressed.
  const QColor light = FromBGR(Light3D(fButtonColor)), dark = FromBGR(Dark3D(fButtonColor));
  if (!fFlat && w > 4 && h > 4) {
    const int c = r ? 2 : 0; // keep clear of the rounded corners
    p.setPen(fPressed ? dark : light);
    p.drawLine(1 + c, 1, w - 3 - c, 1);
    p.drawLine(1, 1 + c, 1, h - 3 - c);
    p.setPen(fPressed ? light : dark);
    p.drawLine(1 + c, h - 2, w - 2 - c, h - 2);
    p.drawLine(w - 2, 1 + c, w - 2, h - 2 - c);
  }

  // Picture and caption, centred as one row with the gap between them.
  const QPixmap pic = Picture();
  const QFontMetrics fm(font());
  const int textW = fCaption.isEmpty() ? 0 : fm.horizontalAdvance(fCaption);
  const int picW = pic.isNull() ? 0 : qRound(pic.width() / pic.devicePixelRatio());
  const int picH = pic.isNull() ? 0 : qRound(pic.height() / pic.devicePixelRatio());
  const int gap = picW && textW ? fGap : 0;
  int x = (w - (picW + gap + textW)) / 2;
  if (picW) {
    p.drawPixmap(x, (h - picH) / 2, pic);
    x += picW + gap;
  }
  if (textW) {
    const QRect textRect(x, fTextPaddingTop, textW, h);
    const int flags = Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine;
    p.setFont(font());
    if (!isEnabled()) {
      p.setPen(light);
      p.drawText(textRect.translated(1, 1), flags, fCaption);
    }
    p.setPen(FromBGR(fTextColor));
    p.drawText(textRect, flags, fCaption);
  }

  if (fFocused && fTabStop && w > 8 && h > 8) {
    QPen pen(FromBGR(fBorderColor));
    pen.setStyle(Qt::DotLine);
    p.setPen(pen);
    p.setBrush(Qt::NoBrush);
    p.drawRect(3, 3, w - 7, h - 7);
  }
}

void TBitmapButton::mousePressEvent(QMouseEvent *e) {
  if (!isEnabled()) return;
  if (e->button() == Qt::LeftButton) {
    setFocus(Qt::MouseFocusReason);
    fPressed = true;
    update();
  }
  emit mouseDown(e->button(), e->position().toPoint());
}

void TBitmapButton::mouseReleaseEvent(QMouseEvent *e) {
  const bool wasPressed = fPressed;
  fPressed = false;
  fHovered = false;
  update();
  if (!wasPressed) return;
  emit mouseUp(e->button(), e->position().toPoint());
  if (e->button() == Qt::LeftButton && rect().contains(e->position().toPoint()) && isEnabled())
    emit clicked();
}

void TBitmapButton::enterEvent(QEnterEvent *) {
  if (!isEnabled()) return;
  fHovered = true;
  update();
  emit mouseEntered();
}

void TBitmapButton::leaveEvent(QEvent *) {
  fPressed = false;
  fHovered = false;
  update();
  emit mouseLeft();
}

void TBitmapButton::focusInEvent(QFocusEvent *e) {
  fFocused = true;
  update();
  QWidget::focusInEvent(e);
}

void TBitmapButton::focusOutEvent(QFocusEvent *e) {
  fFocused = false;
  fHovered = false;
  update();
  QWidget::focusOutEvent(e);
}

void TBitmapButton::keyPressEvent(QKeyEvent *e) {
  if (e->key() == Qt::Key_Return || e->key() == Qt::Key_Enter) {
    Click();
    return;
  }
  QWidget::keyPressEvent(e);
}

void TBitmapButton::changeEvent(QEvent *e) {
  if (e->type() == QEvent::EnabledChange) {
    if (!isEnabled()) fPressed = fHovered = false;
    update();
  }
  QWidget::changeEvent(e);
}
