// TPanelEx: a panel with an optional caption header, a sharp or rounded border
// that may leave one side open (panels that continue into a neighbour), or a
// one-pixel 3-D frame (the panel that carries a dialog's contents).
#pragma once

#include <QWidget>

#include <cstdint>

class TPanelEx : public QWidget {
  Q_OBJECT
public:
  enum TBorderStyle { pbsSharp, pbsRounded };
  enum TBorderOpen { boNone, boLeft, boTop, boRight, boBottom };

  explicit TPanelEx(QWidget *parent = nullptr);

  void SetFaceColor(uint32_t bgr);
  uint32_t FaceColor() const { return fFaceColor; }
  void SetHeaderColor(uint32_t bgr);
  void SetBorderStyle(TBorderStyle style);
  void SetBorderColor(uint32_t bgr);
  void SetBorderOpen(TBorderOpen side);
  TBorderOpen BorderOpen() const { return fBorderOpen; }
  // No border at all (the face fills the whole panel).
  void SetBorderless(bool on);
  // A one-pixel 3-D frame (light top and left, dark bottom and right) instead of the border.
  void SetBevel(bool on, uint32_t light = 0xE1FFFF, uint32_t dark = 0x416969);
  void SetHeaderHeight(int pixels);
  void SetCaptionTop(int pixels);
  void SetCaptionPadding(int pixels);
  void SetCaption(const QString &caption);
  QString Caption() const { return fCaption; }
  void SetTextColor(uint32_t bgr);

signals:
  void clicked();

protected:
  void paintEvent(QPaintEvent *) override;
  void mousePressEvent(QMouseEvent *e) override;
  void mouseReleaseEvent(QMouseEvent *e) override;

private:
  uint32_t fFaceColor = 13160660;
  uint32_t fHeaderColor = 13160660;
  TBorderStyle fBorderStyle = pbsSharp;
  uint32_t fBorderColor = 0x000000;
  TBorderOpen fBorderOpen = boNone;
  bool fBorderless = false;
  bool fBevel = false;
  uint32_t fBevelLight = 0xE1FFFF, fBevelDark = 0x416969;
  int fHeaderHeight = 0;
  int fCaptionTop = 1;
  int fCaptionPadding = 2;
  QString fCaption;
  uint32_t fTextColor = 0x000000;
};
