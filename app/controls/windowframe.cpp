#include "windowframe.h"

#include "bitmapbutton.h"
#include "colors.h"
#include "panelex.h"
#include "pictures.h"

#include <QGuiApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QScreen>
#include <QWindow>

namespace {
constexpr int kButtonW = 16, kButtonH = 14, kButtonGap = 2, kEdge = 4;

TBitmapButton *MakeCaptionButton(QWidget *window, TGlyph glyph) {
  auto *b = new TBitmapButton(window);
  b->resize(kButtonW, kButtonH);
  b->SetShape(TBitmapButton::bsRect);
  b->SetBitmap(GlyphPicture(glyph, 12, 0x000000));
  b->SetTabStop(false);
  b->setFocusPolicy(Qt::NoFocus);
  b->SetBorderColor(kFrameDark);
  b->SetBorderOver(kFrameLight);
  b->SetBackColor(kWindowColor);
  b->hide();
  return b;
}
} // namespace

TWindowFrame::TWindowFrame(QWidget *window, TKind kind)
    : QObject(window), fWindow(window), fKind(kind) {
  window->setWindowFlag(Qt::FramelessWindowHint, true);
  QPalette pal = window->palette();
  pal.setColor(QPalette::Window, FromBGR(kWindowColor));
  window->setPalette(pal);
  window->setAutoFillBackground(true);
  window->installEventFilter(this);

  fClose = MakeCaptionButton(window, TGlyph::Close);
  fMinimize = MakeCaptionButton(window, TGlyph::Minimize);
  fMaximize = MakeCaptionButton(window, TGlyph::Maximize);
  connect(fClose, &TBitmapButton::clicked, window, &QWidget::close);
  connect(fMinimize, &TBitmapButton::clicked, window, &QWidget::showMinimized);
  connect(fMaximize, &TBitmapButton::clicked, this, [this] {
    if (fWindow->isMaximized())
      fWindow->showNormal();
    else
      fWindow->showMaximized();
  });
  if (kind == fkDialog) {
    SetCaptionButtons(cbClose);
  } else {
    SetCaptionButtons(cbClose | cbMinimize | (kind == fkMain ? cbMaximize : 0));
    fResizable = true;
    window->setMouseTracking(true);
  }
}

void TWindowFrame::SetCaption(const QString &caption) {
  fCaption = caption;
  fWindow->setWindowTitle(caption);
  fWindow->update(0, 0, fWindow->width(), kStripHeight);
}

void TWindowFrame::SetCaptionButtons(int buttons) {
  fClose->setVisible(buttons & cbClose);
  fMinimize->setVisible(buttons & cbMinimize);
  fMaximize->setVisible(buttons & cbMaximize);
  int n = 0;
  for (int b : {cbClose, cbMinimize, cbMaximize})
    if (buttons & b) ++n;
  fButtonCorner = n ? n * (kButtonW + kButtonGap) + 2 : 0;
  PlaceChildren();
}

void TWindowFrame::SetButtonCorner(int pixels) {
  fButtonCorner = pixels;
}

void TWindowFrame::SetDragAnywhere(bool on) {
  fDragAnywhere = on;
  if (fContent) fContent->installEventFilter(this);
}

TPanelEx *TWindowFrame::Content() {
  if (!fContent) {
    fContent = new TPanelEx(fWindow);
    fContent->SetFaceColor(kPanelColor);
    fContent->SetBevel(true, kFrameLight, kFrameDark);
    fContent->lower();
    if (fDragAnywhere) fContent->installEventFilter(this);
    PlaceChildren();
  }
  return fContent;
}

void TWindowFrame::SetContentMargins(QMargins margins) {
  fContentMargins = margins;
  PlaceChildren();
}

void TWindowFrame::PlaceChildren() {
  const int w = fWindow->width();
  int x = w - 2 - kButtonW;
  for (TBitmapButton *b : {fClose, fMaximize, fMinimize}) {
    if (b->isHidden()) continue;
    b->move(x, 3);
    b->raise();
    x -= kButtonW + kButtonGap;
  }
  if (fContent) fContent->setGeometry(fWindow->rect().marginsRemoved(fContentMargins));
}

bool TWindowFrame::IsActiveLook() const {
  return fWindow->isActiveWindow();
}

bool TWindowFrame::InDragArea(QPoint pos) const {
  if (fDragAnywhere) return fWindow->rect().contains(pos);
  return pos.y() >= 0 && pos.y() < kStripHeight && pos.x() >= 0 &&
         pos.x() < fWindow->width() - fButtonCorner;
}

void TWindowFrame::Paint() {
  QPainter p(fWindow);
  QFont f = fWindow->font();
  f.setBold(true);
  p.setFont(f);
  p.setPen(FromBGR(IsActiveLook() ? kCaptionActive : kCaptionInactive));
  p.drawText(QRect(4, 2, fWindow->width() - 8 - fButtonCorner, kStripHeight - 4),
             Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine, fCaption);
}

Qt::Edges TWindowFrame::EdgesAt(QPoint pos) const {
  Qt::Edges edges;
  if (!fResizable || fWindow->isMaximized()) return edges;
  if (pos.x() < kEdge) edges |= Qt::LeftEdge;
  if (pos.x() >= fWindow->width() - kEdge) edges |= Qt::RightEdge;
  if (pos.y() < kEdge) edges |= Qt::TopEdge;
  if (pos.y() >= fWindow->height() - kEdge) edges |= Qt::BottomEdge;
  return edges;
}

bool TWindowFrame::MousePress(QWidget *source, QMouseEvent *e) {
  if (e->button() != Qt::LeftButton) return false;
  const QPoint pos = source->mapTo(fWindow, e->position().toPoint());
  QWindow *handle = fWindow->windowHandle();
  if (source == fWindow) {
    if (Qt::Edges edges = EdgesAt(pos); edges && handle && handle->startSystemResize(edges))
      return true;
  }
  if (!InDragArea(pos)) return false;
  // Wayland allows no client-side moves; the compositor moves the window itself.
  if (handle && handle->startSystemMove()) return true;
  fDragging = true;
  fDragStart = e->globalPosition().toPoint();
  fWindowStart = fWindow->pos();
  return true;
}

bool TWindowFrame::eventFilter(QObject *watched, QEvent *event) {
  auto *source = qobject_cast<QWidget *>(watched);
  if (!source) return false;
  switch (event->type()) {
  case QEvent::Paint:
    if (source == fWindow) Paint();
    break;
  case QEvent::Resize:
    if (source == fWindow) PlaceChildren();
    break;
  case QEvent::ActivationChange:
  case QEvent::WindowTitleChange:
    if (source == fWindow) fWindow->update(0, 0, fWindow->width(), kStripHeight);
    break;
  case QEvent::WindowStateChange:
    if (source == fWindow)
      fMaximize->SetBitmap(
          GlyphPicture(fWindow->isMaximized() ? TGlyph::Restore : TGlyph::Maximize, 12, 0));
    break;
  case QEvent::MouseButtonPress:
    return MousePress(source, static_cast<QMouseEvent *>(event));
  case QEvent::MouseButtonDblClick:
    if (source == fWindow && fKind == fkMain && !fMaximize->isHidden() &&
        InDragArea(static_cast<QMouseEvent *>(event)->position().toPoint())) {
      fMaximize->Click();
      return true;
    }
    break;
  case QEvent::MouseMove: {
    auto *e = static_cast<QMouseEvent *>(event);
    if (fDragging && (e->buttons() & Qt::LeftButton)) {
      fWindow->move(fWindowStart + e->globalPosition().toPoint() - fDragStart);
      return true;
    }
    if (source == fWindow && fResizable && e->buttons() == Qt::NoButton) {
      const Qt::Edges edges = EdgesAt(e->position().toPoint());
      Qt::CursorShape shape = Qt::ArrowCursor;
      if (edges == (Qt::LeftEdge | Qt::TopEdge) || edges == (Qt::RightEdge | Qt::BottomEdge))
        shape = Qt::SizeFDiagCursor;
      else if (edges == (Qt::RightEdge | Qt::TopEdge) || edges == (Qt::LeftEdge | Qt::BottomEdge))
        shape = Qt::SizeBDiagCursor;
      else if (edges & (Qt::LeftEdge | Qt::RightEdge))
        shape = Qt::SizeHorCursor;
      else if (edges & (Qt::TopEdge | Qt::BottomEdge))
        shape = Qt::SizeVerCursor;
      if (shape == Qt::ArrowCursor)
        fWindow->unsetCursor();
      else
        fWindow->setCursor(shape);
    }
    break;
  }
  case QEvent::MouseButtonRelease:
    if (fDragging) {
      fDragging = false;
      return true;
    }
    break;
  default:
    break;
  }
  return false;
}

TFrameWindow::TFrameWindow(TWindowFrame::TKind kind, QWidget *parent)
    : QWidget(parent, Qt::Window), fFrame(new TWindowFrame(this, kind)) {}

TFrameDialog::TFrameDialog(QWidget *parent)
    : QDialog(parent), fFrame(new TWindowFrame(this, TWindowFrame::fkDialog)) {}

void TFrameDialog::keyPressEvent(QKeyEvent *e) {
  if ((e->key() == Qt::Key_Return || e->key() == Qt::Key_Enter) &&
      e->modifiers() == Qt::NoModifier) {
    EnterPressed();
    return;
  }
  QDialog::keyPressEvent(e); // Esc rejects
}

QRect ClampToScreens(const QRect &window, const QList<QRect> &screens) {
  if (screens.isEmpty()) return window;
  QRect best = screens.first();
  qint64 bestArea = 0;
  for (const QRect &s : screens) {
    const QRect i = s.intersected(window);
    const qint64 area = i.isEmpty() ? 0 : qint64(i.width()) * i.height();
    if (area > bestArea) {
      bestArea = area;
      best = s;
    }
  }
  QRect r(window.topLeft(), window.size().boundedTo(best.size()));
  if (r.right() > best.right()) r.moveRight(best.right());
  if (r.bottom() > best.bottom()) r.moveBottom(best.bottom());
  if (r.left() < best.left()) r.moveLeft(best.left());
  if (r.top() < best.top()) r.moveTop(best.top());
  return r;
}

QRect ClampToScreens(const QRect &window) {
  QList<QRect> areas;
  if (QScreen *primary = QGuiApplication::primaryScreen()) areas << primary->availableGeometry();
  for (QScreen *s : QGuiApplication::screens())
    if (s != QGuiApplication::primaryScreen()) areas << s->availableGeometry();
  return ClampToScreens(window, areas);
}
