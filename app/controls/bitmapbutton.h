// TBitmapButton: an owner-drawn button with a picture and a caption, rounded or
// square, with a 3-D edge that flips while pressed and a border colour of its own
// while the mouse is over it.
#pragma once

#include <QPixmap>
#include <QWidget>

#include <cstdint>

class TBitmapButton : public QWidget {
  Q_OBJECT
public:
  enum TShape { bsRounded, bsRect };

  explicit TBitmapButton(QWidget *parent = nullptr);
  TBitmapButton(const QString &caption, QWidget *parent = nullptr);

  void SetShape(TShape shape);
  TShape Shape() const { return fShape; }
  void SetBitmap(const QPixmap &picture);
  void SetDisBitmap(const QPixmap &picture);
  // Pictures drawn with a transparent colour: the colour of their bottom-left pixel.
  void SetTransparent(bool on);
  void SetCaption(const QString &caption);
  QString Caption() const { return fCaption; }
  void SetFlat(bool on);
  void SetTextPaddingTop(int pixels);
  void SetGap(int pixels);
  void SetBackColor(uint32_t bgr);
  void SetButtonColor(uint32_t bgr);
  uint32_t ButtonColor() const { return fButtonColor; }
  void SetBorderColor(uint32_t bgr);
  void SetBorderOver(uint32_t bgr);
  void SetTextColor(uint32_t bgr);
  // The background is the parent's window colour instead of BackColor.
  void SetParentColor(bool on);
  // Whether the button takes part in keyboard focus (and shows its focus outline).
  void SetTabStop(bool on);
  bool TabStop() const { return fTabStop; }

  bool IsPressed() const { return fPressed; }
  bool IsHovered() const { return fHovered; }
  bool IsFocused() const { return fFocused; }

  // What a mouse click or the Enter key does.
  void Click();

  QSize sizeHint() const override { return {75, 25}; }

signals:
  void clicked();
  void mouseDown(Qt::MouseButton button, QPoint pos);
  void mouseUp(Qt::MouseButton button, QPoint pos);
  void mouseEntered();
  void mouseLeft();

protected:
  void paintEvent(QPaintEvent *) override;
  void mousePressEvent(QMouseEvent *e) override;
  void mouseReleaseEvent(QMouseEvent *e) override;
  void enterEvent(QEnterEvent *e) override;
  void leaveEvent(QEvent *e) override;
  void focusInEvent(QFocusEvent *e) override;
  void focusOutEvent(QFocusEvent *e) override;
  void keyPressEvent(QKeyEvent *e) override;
  void changeEvent(QEvent *e) override;

private:
  QPixmap Picture() const;

  TShape fShape = bsRounded;
  QPixmap fBitmap, fDisBitmap;
  bool fTransparent = false;
  QString fCaption;
  bool fFlat = false;
  int fTextPaddingTop = 0;
  int fGap = 0;
  uint32_t fBackColor = 0xFFFFFF;
  uint32_t fButtonColor = 13160660;
  uint32_t fBorderColor = 0x000000;
  uint32_t fBorderOver = 0x000000;
  uint32_t fTextColor = 0x000000;
  bool fParentColor = true;
  bool fTabStop = true;
  bool fPressed = false, fHovered = false, fFocused = false;
};
