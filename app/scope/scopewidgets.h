// Small painted pieces of the oscilloscope window: the clickable setting and
// readout fields and the pictures of the button panel (drawn in code).
#pragma once

#include "colors.h"

#include <QPixmap>
#include <QWidget>

#include <cstdint>
#include <functional>

// Black when the mean of red, green and blue is at least 128, else white.
uint32_t ContrastColor(uint32_t bgr);

// A clickable text on its own colour: the window's setting fields (stGainA …) and
// the status readouts (pBufferSize …). It looks pressed (lowered bevel) while
// the mouse button is down on it.
class TFieldText : public QWidget {
public:
  explicit TFieldText(const QString &caption = {}, QWidget *parent = nullptr);

  void SetCaption(const QString &caption);
  QString Caption() const { return fCaption; }
  void SetColor(uint32_t bgr);
  uint32_t Color() const { return fColor; }
  void SetTextColor(uint32_t bgr);
  uint32_t TextColor() const { return fTextColor; }
  // No background: the parent's colour shows through.
  void SetTransparent(bool on);
  void SetBold(bool on);
  void SetAlignment(Qt::Alignment a);
  // A bevel around the field (readouts); fields of the setting panels have none.
  void SetBevel(bool on);

  std::function<void()> OnClick;       // left button released over the field
  std::function<void()> OnRightClick;  // right button pressed
  std::function<void()> OnDoubleClick; // left double click

  bool IsPressed() const { return fPressed; }

protected:
  void paintEvent(QPaintEvent *) override;
  void mousePressEvent(QMouseEvent *e) override;
  void mouseReleaseEvent(QMouseEvent *e) override;
  void mouseDoubleClickEvent(QMouseEvent *e) override;
  void changeEvent(QEvent *e) override;

private:
  QString fCaption;
  uint32_t fColor = 0xE1FFFF;
  uint32_t fTextColor = 0x000000;
  bool fTransparent = false;
  bool fBold = true;
  bool fBevel = false;
  bool fPressed = false;
  Qt::Alignment fAlignment = Qt::AlignCenter;
};

// The pictures of the button panel, size x size pixels, drawn in black on
// transparent (a disabled button greys them).
enum class TScopePicture {
  ZoomInX,
  ZoomOutX,
  ZoomInY,
  ZoomOutY,
  ZoomXY,
  ZoomAll,
  ZoomPrev,
  Zoom11,
  Digital,
  Config,
  File,
  Print,
  Help,
  XYPlot,
  Multimeter,
  MathOff,
  MathAPlusB,
  MathAMinusB,
  MathBMinusA,
  Setup,
  FFT,
  EdgeRising,
  EdgeFalling
};
QPixmap ScopePicture(TScopePicture picture, int size, uint32_t bgr = 0x000000);
