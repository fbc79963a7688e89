// The frame of every window and dialog: no system title bar, a painted caption in
// a 20-pixel title strip (yellow while the window is active), caption buttons at
// the right of the strip and dragging by the rest of the strip. The window title
// the window manager shows (task bars, window lists) is the caption text.
#pragma once

#include <QDialog>
#include <QList>
#include <QMargins>
#include <QObject>
#include <QPoint>
#include <QRect>
#include <QWidget>

class TBitmapButton;
class TPanelEx;

class TWindowFrame : public QObject {
  Q_OBJECT
public:
  enum TKind { fkMain, fkSecondary, fkDialog };
  enum TCaptionButton { cbNone = 0, cbClose = 1, cbMinimize = 2, cbMaximize = 4 };
  static constexpr int kStripHeight = 20;
  static constexpr int kContentTop = 18;

  // Makes the window frameless and paints/drags for it (an event filter on it).
  TWindowFrame(QWidget *window, TKind kind);

  void SetCaption(const QString &caption);
  QString Caption() const { return fCaption; }
  void SetCaptionButtons(int buttons);
  // Width of the strip's right end that does not drag (where the buttons sit).
  void SetButtonCorner(int pixels);
  int ButtonCorner() const { return fButtonCorner; }
  // The input box drags by any point that no control takes.
  void SetDragAnywhere(bool on);
  // Main and secondary windows can be resized by their 4-pixel edges.
  void SetResizable(bool on) { fResizable = on; }
  // The panel that carries the contents, 18 pixels from the top, framed in 3-D.
  TPanelEx *Content();
  // Where the content panel sits (default: 2 pixels in, below the title strip).
  void SetContentMargins(QMargins margins);
  TBitmapButton *CloseButton() const { return fClose; }

  bool InDragArea(QPoint pos) const;
  bool IsActiveLook() const;

protected:
  bool eventFilter(QObject *watched, QEvent *event) override;

private:
  void PlaceChildren();
  void Paint();
  bool MousePress(QWidget *source, QMouseEvent *e);
  Qt::Edges EdgesAt(QPoint pos) const;

  QWidget *fWindow;
  TKind fKind;
  QString fCaption;
  int fButtonCorner = 20;
  bool fDragAnywhere = false;
  bool fResizable = false;
  TPanelEx *fContent = nullptr;
  QMargins fContentMargins{2, kContentTop, 2, 2};
  TBitmapButton *fClose = nullptr, *fMinimize = nullptr, *fMaximize = nullptr;
  // Dragging by hand where the platform cannot move windows itself (offscreen).
  bool fDragging = false;
  QPoint fDragStart, fWindowStart;
};

// A main or secondary window with the frame.
class TFrameWindow : public QWidget {
  Q_OBJECT
public:
  explicit TFrameWindow(TWindowFrame::TKind kind = TWindowFrame::fkMain, QWidget *parent = nullptr);
  TWindowFrame *Frame() const { return fFrame; }
  void SetCaption(const QString &caption) { fFrame->SetCaption(caption); }
  QString Caption() const { return fFrame->Caption(); }

private:
  TWindowFrame *fFrame;
};

// A dialog with the frame: Esc cancels, Enter calls EnterPressed (OK by default).
class TFrameDialog : public QDialog {
  Q_OBJECT
public:
  explicit TFrameDialog(QWidget *parent = nullptr);
  TWindowFrame *Frame() const { return fFrame; }
  void SetCaption(const QString &caption) { fFrame->SetCaption(caption); }
  QString Caption() const { return fFrame->Caption(); }
  TPanelEx *Content() const { return fFrame->Content(); }

protected:
  virtual void EnterPressed() { accept(); }
  void keyPressEvent(QKeyEvent *e) override;

private:
  TWindowFrame *fFrame;
};

// Where a window restored from the settings may go: moved (and, when larger,
// shrunk) onto the screen it overlaps most, or onto the first screen when it
// overlaps none, so a window saved on a screen that is gone comes back in view.
QRect ClampToScreens(const QRect &window, const QList<QRect> &screens);
// The same against the available areas of the screens that exist now.
QRect ClampToScreens(const QRect &window);
