#include "pictures.h"

#include "colors.h"

#include <QPainter>
#include <QPainterPath>

#include <cmath>

namespace {

QPixmap Blank(int w, int h) {
  QPixmap p(w, h);
  p.fill(Qt::transparent);
  return p;
}

QPixmap Disc(int size, QColor fill, const QString &mark) {
  QPixmap pix = Blank(size, size);
  QPainter p(&pix);
  p.setRenderHint(QPainter::Antialiasing);
  QRadialGradient g(size * 0.35, size * 0.3, size * 0.8);
  g.setColorAt(0, fill.lighter(150));
  g.setColorAt(1, fill);
  p.setBrush(g);
  p.setPen(QPen(fill.darker(160), 1.5));
  p.drawEllipse(QRectF(1, 1, size - 2, size - 2));
  QFont f(QStringLiteral("DejaVu Sans"));
  f.setBold(true);
  f.setPixelSize(size * 6 / 10);
  p.setFont(f);
  p.setPen(Qt::white);
  p.drawText(QRect(0, 0, size, size), Qt::AlignCenter, mark);
  return pix;
}

} // namespace

QPixmap GlyphPicture(TGlyph glyph, int size, uint32_t bgr) {
  QPixmap pix = Blank(size, size);
  QPainter p(&pix);
  p.setRenderHint(QPainter::Antialiasing);
  p.setPen(QPen(FromBGR(bgr), 1.6, Qt::SolidLine, Qt::SquareCap));
  const qreal a = size * 0.25, b = size * 0.75;
  switch (glyph) {
  case TGlyph::Close:
    p.drawLine(QPointF(a, a), QPointF(b, b));
    p.drawLine(QPointF(a, b), QPointF(b, a));
    break;
  case TGlyph::Minimize:
    p.drawLine(QPointF(a, b), QPointF(b, b));
    break;
  case TGlyph::Maximize:
    p.drawRect(QRectF(a, a, b - a, b - a));
    break;
  case TGlyph::Restore:
    p.drawRect(QRectF(a, a + 2, b - a - 2, b - a - 2));
    p.drawLine(QPointF(a + 2, a), QPointF(b, a));
    p.drawLine(QPointF(b, a), QPointF(b, b - 2));
    break;
  }
  return pix;
}

QPixmap ErrorPicture(int size) {
  return Disc(size, QColor(200, 30, 30), QStringLiteral("\u00D7"));
}
QPixmap ConfirmPicture(int size) {
  return Disc(size, QColor(30, 90, 190), QStringLiteral("?"));
}
QPixmap InfoPicture(int size) {
  return Disc(size, QColor(30, 120, 200), QStringLiteral("i"));
}

QPixmap VelkPicture(int width, int height) {
  QPixmap pix = Blank(width, height);
  QPainter p(&pix);
  p.setRenderHint(QPainter::Antialiasing);
  // The instrument: a rounded case with a dark screen and a grid.
  const QRectF body(1, 1, width - 2, height - 2);
  QLinearGradient bodyGrad(body.topLeft(), body.bottomLeft());
  bodyGrad.setColorAt(0, FromBGR(0x6E9A70));
  bodyGrad.setColorAt(1, FromBGR(kWindowColor));
  p.setPen(QPen(FromBGR(kFrameDark), 1.5));
  p.setBrush(bodyGrad);
  p.drawRoundedRect(body, 8, 8);
  const qreal m = height * 0.1;
  const QRectF screen(m, m, width - 2 * m, height * 0.62);
  p.setPen(QPen(FromBGR(kFrameLight), 1));
  p.setBrush(QColor(12, 24, 16));
  p.drawRoundedRect(screen, 4, 4);
  p.setPen(QPen(QColor(50, 80, 60), 1, Qt::DotLine));
  for (int i = 1; i < 10; ++i) {
    const qreal x = screen.left() + screen.width() * i / 10;
    p.drawLine(QPointF(x, screen.top() + 2), QPointF(x, screen.bottom() - 2));
  }
  for (int i = 1; i < 6; ++i) {
    const qreal y = screen.top() + screen.height() * i / 6;
    p.drawLine(QPointF(screen.left() + 2, y), QPointF(screen.right() - 2, y));
  }
  // A sine and a square, in the default colours of channels A and B.
  QPainterPath sine, square;
  const int n = 200;
  const qreal mid = screen.center().y(), amp = screen.height() * 0.3;
  for (int i = 0; i <= n; ++i) {
    const qreal x = screen.left() + 4 + (screen.width() - 8) * i / n;
    const qreal y = mid - amp * std::sin(i * 2 * M_PI * 2.5 / n);
    if (i == 0)
      sine.moveTo(x, y);
    else
      sine.lineTo(x, y);
    const bool high = (i * 4 / n) % 2 == 0;
    const qreal ys = mid + (high ? -amp * 0.6 : amp * 0.6) + amp * 0.25;
    if (i == 0)
      square.moveTo(x, ys);
    else {
      if (square.currentPosition().y() != ys) square.lineTo(x, square.currentPosition().y());
      square.lineTo(x, ys);
    }
  }
  p.setBrush(Qt::NoBrush);
  p.setPen(QPen(QColor(255, 230, 0), 2));
  p.drawPath(sine);
  p.setPen(QPen(QColor(0, 220, 255), 1.5));
  p.drawPath(square);
  // The name below the screen.
  QFont f(QStringLiteral("DejaVu Sans"));
  f.setBold(true);
  f.setPixelSize(std::max(10, static_cast<int>(height * 0.2)));
  p.setFont(f);
  p.setPen(FromBGR(kCaptionActive));
  p.drawText(QRectF(0, screen.bottom(), width, height - screen.bottom() - 1), Qt::AlignCenter,
             QStringLiteral("VELK"));
  return pix;
}
