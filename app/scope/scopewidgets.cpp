#include "scopewidgets.h"

#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>

#include <algorithm>
#include <cmath>

uint32_t ContrastColor(uint32_t bgr) {
  const uint32_t sum = (bgr & 0xFF) + ((bgr >> 8) & 0xFF) + ((bgr >> 16) & 0xFF);
  return sum / 3 >= 128 ? 0x000000 : 0xFFFFFF;
}

// --- TFieldText ---

TFieldText::TFieldText(const QString &caption, QWidget *parent)
    : QWidget(parent), fCaption(caption) {
  setCursor(Qt::PointingHandCursor);
}

void TFieldText::SetCaption(const QString &caption) {
  if (caption == fCaption) return;
  fCaption = caption;
  update();
}

void TFieldText::SetColor(uint32_t bgr) {
  fColor = bgr;
  fTransparent = false;
  update();
}

void TFieldText::SetTextColor(uint32_t bgr) {
  fTextColor = bgr;
  update();
}

void TFieldText::SetTransparent(bool on) {
  fTransparent = on;
  update();
}

void TFieldText::SetBold(bool on) {
  fBold = on;
  update();
}

void TFieldText::SetAlignment(Qt::Alignment a) {
  fAlignment = a;
  update();
}

void TFieldText::SetBevel(bool on) {
  fBevel = on;
  update();
}

void TFieldText::paintEvent(QPaintEvent *) {
  QPainter p(this);
  const QRect r = rect();
  if (!fTransparent) p.fillRect(r, FromBGR(fColor));
  if (fBevel || fPressed) {
    // Raised: light top-left, dark bottom-right; pressed: the reverse.
    const QColor light = FromBGR(kFrameLight), dark = FromBGR(kFrameDark);
    p.setPen(fPressed ? dark : light);
    p.drawLine(r.topLeft(), r.topRight());
    p.drawLine(r.topLeft(), r.bottomLeft());
    p.setPen(fPressed ? light : dark);
    p.drawLine(r.bottomLeft(), r.bottomRight());
    p.drawLine(r.topRight(), r.bottomRight());
  }
  QFont f = font();
  f.setBold(fBold);
  f.setPixelSize(11);
  p.setFont(f);
  p.setPen(isEnabled() ? FromBGR(fTextColor) : QColor(0x80, 0x80, 0x80));
  const QRect text = r.adjusted(2, 0, -2, 0).translated(fPressed ? 1 : 0, fPressed ? 1 : 0);
  p.drawText(text, static_cast<int>(fAlignment) | Qt::TextSingleLine, fCaption);
}

void TFieldText::mousePressEvent(QMouseEvent *e) {
  if (e->button() == Qt::LeftButton) {
    fPressed = true;
    update();
  } else if (e->button() == Qt::RightButton && OnRightClick) {
    OnRightClick();
  }
}

void TFieldText::mouseReleaseEvent(QMouseEvent *e) {
  if (e->button() != Qt::LeftButton || !fPressed) return;
  fPressed = false;
  update();
  if (rect().contains(e->position().toPoint()) && OnClick) OnClick();
}

void TFieldText::mouseDoubleClickEvent(QMouseEvent *e) {
  if (e->button() == Qt::LeftButton && OnDoubleClick) OnDoubleClick();
}

void TFieldText::changeEvent(QEvent *e) {
  if (e->type() == QEvent::EnabledChange) {
    fPressed = false;
    update();
  }
  QWidget::changeEvent(e);
}

// --- Pictures ---

namespace {

void Magnifier(QPainter &p, double s, const QString &sign) {
  const double r = s * 0.3;
  const QPointF c(s * 0.4, s * 0.4);
  p.drawEllipse(c, r, r);
  p.drawLine(QPointF(c.x() + r * 0.7, c.y() + r * 0.7), QPointF(s * 0.92, s * 0.92));
  QFont f;
  f.setPixelSize(static_cast<int>(s * 0.36));
  f.setBold(true);
  p.setFont(f);
  p.drawText(QRectF(c.x() - r, c.y() - r, 2 * r, 2 * r), Qt::AlignCenter, sign);
}

void Arrows(QPainter &p, double s, bool horizontal, bool inward) {
  // A double arrow along the bottom (time) or the right edge (Y).
  const double a = s * 0.12;
  if (horizontal) {
    const double y = s * 0.9;
    p.drawLine(QPointF(s * 0.1, y), QPointF(s * 0.6, y));
    const double l = inward ? s * 0.3 : s * 0.1, rr = inward ? s * 0.4 : s * 0.6;
    const double d = inward ? -a : a;
    p.drawLine(QPointF(l, y), QPointF(l + d, y - a));
    p.drawLine(QPointF(l, y), QPointF(l + d, y + a));
    p.drawLine(QPointF(rr, y), QPointF(rr - d, y - a));
    p.drawLine(QPointF(rr, y), QPointF(rr - d, y + a));
  } else {
    const double x = s * 0.9;
    p.drawLine(QPointF(x, s * 0.1), QPointF(x, s * 0.6));
    const double t = inward ? s * 0.3 : s * 0.1, b = inward ? s * 0.4 : s * 0.6;
    const double d = inward ? -a : a;
    p.drawLine(QPointF(x, t), QPointF(x - a, t + d));
    p.drawLine(QPointF(x, t), QPointF(x + a, t + d));
    p.drawLine(QPointF(x, b), QPointF(x - a, b - d));
    p.drawLine(QPointF(x, b), QPointF(x + a, b - d));
  }
}

void Text(QPainter &p, double s, const QString &text, double size = 0.5) {
  QFont f;
  f.setPixelSize(std::max(6, static_cast<int>(s * size)));
  f.setBold(true);
  p.setFont(f);
  p.drawText(QRectF(0, 0, s, s), Qt::AlignCenter, text);
}

} // namespace

QPixmap ScopePicture(TScopePicture picture, int size, uint32_t bgr) {
  QPixmap pm(size, size);
  pm.fill(Qt::transparent);
  QPainter p(&pm);
  p.setRenderHint(QPainter::Antialiasing);
  const QColor c = FromBGR(bgr);
  p.setPen(QPen(c, std::max(1.0, size / 14.0)));
  const double s = size;
  using P = TScopePicture;
  switch (picture) {
  case P::ZoomInX:
    Magnifier(p, s, "+");
    Arrows(p, s, true, false);
    break;
  case P::ZoomOutX:
    Magnifier(p, s, "-");
    Arrows(p, s, true, true);
    break;
  case P::ZoomInY:
    Magnifier(p, s, "+");
    Arrows(p, s, false, false);
    break;
  case P::ZoomOutY:
    Magnifier(p, s, "-");
    Arrows(p, s, false, true);
    break;
  case P::ZoomXY:
    Magnifier(p, s, "xy");
    break;
  case P::ZoomAll:
    Magnifier(p, s, "A");
    break;
  case P::ZoomPrev:
    Magnifier(p, s, "<");
    break;
  case P::Zoom11:
    Magnifier(p, s, "1");
    break;
  case P::Digital: {
    // A square wave.
    QPolygonF w;
    const double lo = s * 0.75, hi = s * 0.25;
    w << QPointF(s * 0.05, lo) << QPointF(s * 0.25, lo) << QPointF(s * 0.25, hi)
      << QPointF(s * 0.5, hi) << QPointF(s * 0.5, lo) << QPointF(s * 0.75, lo)
      << QPointF(s * 0.75, hi) << QPointF(s * 0.95, hi);
    p.drawPolyline(w);
    break;
  }
  case P::Config: {
    // A gear: a ring with teeth.
    const QPointF c0(s / 2, s / 2);
    for (int i = 0; i < 8; ++i) {
      const double a = i * 3.14159265 / 4;
      p.drawLine(QPointF(c0.x() + std::cos(a) * s * 0.25, c0.y() + std::sin(a) * s * 0.25),
                 QPointF(c0.x() + std::cos(a) * s * 0.42, c0.y() + std::sin(a) * s * 0.42));
    }
    p.drawEllipse(c0, s * 0.25, s * 0.25);
    p.drawEllipse(c0, s * 0.1, s * 0.1);
    break;
  }
  case P::File: {
    QPolygonF f;
    f << QPointF(s * 0.2, s * 0.1) << QPointF(s * 0.6, s * 0.1) << QPointF(s * 0.8, s * 0.3)
      << QPointF(s * 0.8, s * 0.9) << QPointF(s * 0.2, s * 0.9);
    p.drawPolygon(f);
    p.drawLine(QPointF(s * 0.6, s * 0.1), QPointF(s * 0.6, s * 0.3));
    p.drawLine(QPointF(s * 0.6, s * 0.3), QPointF(s * 0.8, s * 0.3));
    break;
  }
  case P::Print:
    p.drawRect(QRectF(s * 0.1, s * 0.4, s * 0.8, s * 0.35));
    p.drawRect(QRectF(s * 0.25, s * 0.1, s * 0.5, s * 0.3));
    p.drawRect(QRectF(s * 0.25, s * 0.65, s * 0.5, s * 0.25));
    break;
  case P::Help:
    Text(p, s, "?", 0.8);
    break;
  case P::XYPlot: {
    p.drawLine(QPointF(s * 0.1, s * 0.9), QPointF(s * 0.9, s * 0.9));
    p.drawLine(QPointF(s * 0.1, s * 0.9), QPointF(s * 0.1, s * 0.1));
    p.drawEllipse(QPointF(s * 0.55, s * 0.5), s * 0.3, s * 0.2);
    break;
  }
  case P::Multimeter:
    p.drawRoundedRect(QRectF(s * 0.15, s * 0.05, s * 0.7, s * 0.9), s * 0.1, s * 0.1);
    p.drawRect(QRectF(s * 0.25, s * 0.15, s * 0.5, s * 0.25));
    p.drawEllipse(QPointF(s * 0.5, s * 0.65), s * 0.15, s * 0.15);
    break;
  case P::MathOff:
    Text(p, s, "f", 0.7);
    break;
  case P::MathAPlusB:
    Text(p, s, "A+B", 0.38);
    break;
  case P::MathAMinusB:
    Text(p, s, "A-B", 0.38);
    break;
  case P::MathBMinusA:
    Text(p, s, "B-A", 0.38);
    break;
  case P::Setup: {
    for (int i = 0; i < 3; ++i) {
      const double y = s * (0.25 + 0.25 * i);
      p.drawLine(QPointF(s * 0.1, y), QPointF(s * 0.9, y));
      const double x = s * (0.3 + 0.2 * ((i * 2) % 3));
      p.drawRect(QRectF(x - s * 0.06, y - s * 0.08, s * 0.12, s * 0.16));
    }
    break;
  }
  case P::FFT: {
    for (int i = 0; i < 6; ++i) {
      const double h = s * (0.8 - 0.6 * std::abs(i - 2) / 3.0);
      p.drawLine(QPointF(s * (0.15 + 0.14 * i), s * 0.9), QPointF(s * (0.15 + 0.14 * i), s - h));
    }
    break;
  }
  case P::EdgeRising:
  case P::EdgeFalling: {
    const bool rising = picture == P::EdgeRising;
    const double lo = s * 0.8, hi = s * 0.2, a = s * 0.15;
    p.drawLine(QPointF(s * 0.1, rising ? lo : hi), QPointF(s * 0.5, rising ? lo : hi));
    p.drawLine(QPointF(s * 0.5, lo), QPointF(s * 0.5, hi));
    p.drawLine(QPointF(s * 0.5, rising ? hi : lo), QPointF(s * 0.9, rising ? hi : lo));
    const double tip = s * 0.5 + (rising ? -a : a) * 0.2;
    const double back = rising ? s * 0.5 + a : s * 0.5 - a;
    p.drawLine(QPointF(s * 0.5, tip), QPointF(s * 0.5 - a * 0.7, back));
    p.drawLine(QPointF(s * 0.5, tip), QPointF(s * 0.5 + a * 0.7, back));
    break;
  }
  }
  return pm;
}
