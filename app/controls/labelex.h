// TLabelEx: a label that reports the mouse entering and leaving it (the windows'
// clickable texts and link labels use that), painted with its own colours.
#pragma once

#include <QWidget>

#include <cstdint>

class QPainter;

// Height of a text wrapped to a width the way a word-wrapped TLabelEx wraps it.
int WrappedHeight(const QFont &font, int width, const QString &text);

class TLabelEx : public QWidget {
  Q_OBJECT
public:
  explicit TLabelEx(QWidget *parent = nullptr);
  TLabelEx(const QString &caption, QWidget *parent = nullptr);

  void SetCaption(const QString &caption);
  QString Caption() const { return fCaption; }
  // A wide-character caption painted instead of the ordinary one when not empty.
  void SetWideCaption(const QString &caption);
  QString WideCaption() const { return fWideCaption; }
  // The text that is painted.
  QString Text() const { return fWideCaption.isEmpty() ? fCaption : fWideCaption; }
  void SetAlignment(Qt::Alignment alignment);
  void SetWordWrap(bool on);
  void SetTextColor(uint32_t bgr);
  uint32_t TextColor() const { return fTextColor; }
  // Background colour; a transparent label leaves its parent's background.
  void SetColor(uint32_t bgr);
  void SetTransparent(bool on);
  void SetUnderline(bool on);

  QSize sizeHint() const override;

signals:
  void mouseOver();
  void mouseOut();
  void clicked();

protected:
  void paintEvent(QPaintEvent *) override;
  void enterEvent(QEnterEvent *e) override;
  void leaveEvent(QEvent *e) override;
  void mousePressEvent(QMouseEvent *e) override;
  void mouseReleaseEvent(QMouseEvent *e) override;
  void changeEvent(QEvent *e) override;

private:
  int Flags() const;
  void DrawText(QPainter &p, const QRect &r, const QString &text) const;

  QString fCaption, fWideCaption;
  Qt::Alignment fAlignment = Qt::AlignLeft | Qt::AlignVCenter;
  bool fWordWrap = false;
  uint32_t fTextColor = 0x000000;
  uint32_t fColor = 0xFFFFFF;
  bool fTransparent = true;
};
