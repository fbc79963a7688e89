#include "tabcontrolex.h"

#include "colors.h"

#include <QMouseEvent>
#include <QPainter>

namespace {
const QString kSeparator = QStringLiteral("-");
constexpr int kBottomStrip = 4;
} // namespace

TTabControlEx::TTabControlEx(QWidget *parent) : QWidget(parent), fFontU(font()) {
  resize(200, 22);
  for (int i = 0; i < kMaxLaidOut; ++i) {
    fLeft[i] = -1;
    fWidth[i] = 0;
  }
}

void TTabControlEx::SetFont(const QFont &f) {
  setFont(f);
  update();
}
void TTabControlEx::SetFontU(const QFont &f) {
  fFontU = f;
  update();
}
void TTabControlEx::SetTabs(const QStringList &tabs) {
  fTabs = tabs;
  Layout();
  update();
}
void TTabControlEx::SetTab(int index, const QString &text) {
  if (index < 0 || index >= fTabs.size()) return;
  fTabs[index] = text;
  Layout();
  update();
}
void TTabControlEx::SetTabColor(uint32_t bgr) {
  fTabColor = bgr;
  update();
}
void TTabControlEx::SetTabColorU(uint32_t bgr) {
  fTabColorU = bgr;
  update();
}
void TTabControlEx::SetBorderColor(uint32_t bgr) {
  fBorderColor = bgr;
  update();
}
void TTabControlEx::SetTextColor(uint32_t bgr) {
  fTextColor = bgr;
  update();
}
void TTabControlEx::SetActive(int index) {
  fActive = index;
  update();
}
void TTabControlEx::SetPadding(int pixels) {
  fPadding = pixels;
  Layout();
  update();
}

void TTabControlEx::Layout() {
  int x = 0;
  for (int i = 0; i < fTabs.size(); ++i) {
    const bool sep = fTabs[i] == kSeparator;
    const QFontMetrics fm(i == fActive ? font() : fFontU);
    const int w = sep ? fPadding : fm.horizontalAdvance(fTabs[i]) + 2 * fPadding;
    if (i < kMaxLaidOut) {
      fLeft[i] = x;
      fWidth[i] = w;
    }
    x += w;
  }
  for (int i = static_cast<int>(fTabs.size()); i < kMaxLaidOut; ++i) {
    fLeft[i] = -1;
    fWidth[i] = 0;
  }
}

int TTabControlEx::TabAt(QPoint pos) const {
  if (pos.y() < 0 || pos.y() >= height() - kBottomStrip) return -1;
  const int n = std::min<int>(static_cast<int>(fTabs.size()), kMaxLaidOut);
  for (int i = 0; i < n; ++i)
    if (fTabs[i] != kSeparator && pos.x() >= fLeft[i] && pos.x() < fLeft[i] + fWidth[i]) return i;
  return -1;
}

void TTabControlEx::paintEvent(QPaintEvent *) {
  Layout();
  QPainter p(this);
  const int h = height();
  p.fillRect(rect(), FromBGR(fTabColor));
  const int tabBottom = h - kBottomStrip;
  int x = 0;
  for (int i = 0; i < fTabs.size(); ++i) {
    const bool active = i == fActive;
    const int w = i < kMaxLaidOut ? fWidth[i] : 0;
    const int left = i < kMaxLaidOut ? fLeft[i] : x;
    x = left + w;
    if (fTabs[i] == kSeparator || w == 0) continue;
    const QRect tab(left, 1, w - 1, tabBottom - 1);
    if (!active) p.fillRect(tab.adjusted(1, 1, 0, 0), FromBGR(fTabColorU));
    p.setPen(FromBGR(fBorderColor));
    p.drawLine(tab.topLeft(), tab.topRight());
    p.drawLine(tab.topLeft(), QPoint(tab.left(), active ? h - 1 : tab.bottom()));
    p.drawLine(tab.topRight(), QPoint(tab.right(), active ? h - 1 : tab.bottom()));
    if (!active) p.drawLine(tab.bottomLeft(), tab.bottomRight());
    p.setFont(active ? font() : fFontU);
    p.setPen(FromBGR(fTextColor));
    p.drawText(tab.translated(0, active ? 0 : 1), Qt::AlignCenter | Qt::TextSingleLine, fTabs[i]);
  }
}

void TTabControlEx::mousePressEvent(QMouseEvent *e) {
  if (e->button() != Qt::LeftButton) return;
  const int i = TabAt(e->position().toPoint());
  if (i < 0) return;
  fActive = i;
  emit changed(i);
  update();
}
