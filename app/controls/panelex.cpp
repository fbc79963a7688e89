#include "panelex.h"

#include "colors.h"

#include <QMetaMethod>
#include <QMouseEvent>
#include <QPainter>

TPanelEx::TPanelEx(QWidget *parent) : QWidget(parent) {
  // Children that take their parent's colour (buttons, labels) find the face here.
  QPalette pal = palette();
  pal.setColor(QPalette::Window, FromBGR(fFaceColor));
  setPalette(pal);
}

void TPanelEx::SetFaceColor(uint32_t bgr) {
  fFaceColor = bgr;
  QPalette pal = palette();
  pal.setColor(QPalette::Window, FromBGR(bgr));
  setPalette(pal);
  update();
}
void TPanelEx::SetHeaderColor(uint32_t bgr) {
  fHeaderColor = bgr;
  update();
}
void TPanelEx::SetBorderStyle(TBorderStyle style) {
  fBorderStyle = style;
  update();
}
void TPanelEx::SetBorderColor(uint32_t bgr) {
  fBorderColor = bgr;
  update();
}
void TPanelEx::SetBorderOpen(TBorderOpen side) {
  fBorderOpen = side;
  update();
}
void TPanelEx::SetBorderless(bool on) {
  fBorderless = on;
  update();
}
void TPanelEx::SetBevel(bool on, uint32_t light, uint32_t dark) {
  fBevel = on;
  fBevelLight = light;
  fBevelDark = dark;
  update();
}
void TPanelEx::SetHeaderHeight(int pixels) {
  fHeaderHeight = pixels;
  update();
}
void TPanelEx::SetCaptionTop(int pixels) {
  fCaptionTop = pixels;
  update();
}
void TPanelEx::SetCaptionPadding(int pixels) {
  fCaptionPadding = pixels;
  update();
}
void TPanelEx::SetCaption(const QString &caption) {
  fCaption = caption;
  update();
}
void TPanelEx::SetTextColor(uint32_t bgr) {
  fTextColor = bgr;
  update();
}

void TPanelEx::paintEvent(QPaintEvent *) {
  QPainter p(this);
  const int w = width(), h = height();
  p.fillRect(rect(), FromBGR(fFaceColor));
  if (fHeaderHeight > 0) p.fillRect(0, 0, w, fHeaderHeight, FromBGR(fHeaderColor));
  if (!fCaption.isEmpty()) {
    p.setPen(FromBGR(fTextColor));
    p.setFont(font());
    const int lineH =
        fHeaderHeight > 0 ? fHeaderHeight - fCaptionTop : QFontMetrics(font()).height();
    p.drawText(QRect(fCaptionPadding, fCaptionTop, w - 2 * fCaptionPadding, lineH),
               Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine, fCaption);
  }

  if (fBorderless) return;
  if (fBevel) {
    p.setPen(FromBGR(fBevelLight));
    p.drawLine(0, 0, w - 1, 0);
    p.drawLine(0, 0, 0, h - 1);
    p.setPen(FromBGR(fBevelDark));
    p.drawLine(0, h - 1, w - 1, h - 1);
    p.drawLine(w - 1, 0, w - 1, h - 1);
    return;
  }

  // The open side is pushed out of the panel, so its line (and, when rounded, its
  // corners) fall outside and the border runs straight into the neighbour.
  const int r = fBorderStyle == pbsRounded ? 4 : 0;
  const int out = r + 2;
  QRect frame(0, 0, w - 1, h - 1);
  switch (fBorderOpen) {
  case boLeft:
    frame.setLeft(-out);
    break;
  case boTop:
    frame.setTop(-out);
    break;
  case boRight:
    frame.setRight(w - 1 + out);
    break;
  case boBottom:
    frame.setBottom(h - 1 + out);
    break;
  case boNone:
    break;
  }
  p.setPen(FromBGR(fBorderColor));
  p.setBrush(Qt::NoBrush);
  if (r)
    p.drawRoundedRect(frame, r, r);
  else
    p.drawRect(frame);
}

void TPanelEx::mouseReleaseEvent(QMouseEvent *e) {
  if (e->button() == Qt::LeftButton && isEnabled() && rect().contains(e->position().toPoint()))
    emit clicked();
  else
    QWidget::mouseReleaseEvent(e);
}

// Only a clickable PanelEx (one whose clicked() is connected) keeps the press; others
// let it through to the window, which drags by it.
void TPanelEx::mousePressEvent(QMouseEvent *e) {
  if (isSignalConnected(QMetaMethod::fromSignal(&TPanelEx::clicked)))
    e->accept();
  else
    e->ignore();
}
