// TTabControlEx: a flat tab strip. It only draws tabs and reports the chosen one;
// the window shows the page that belongs to it.
#pragma once

#include <QFont>
#include <QStringList>
#include <QWidget>

#include <cstdint>

class TTabControlEx : public QWidget {
  Q_OBJECT
public:
  static constexpr int kMaxLaidOut = 10;

  explicit TTabControlEx(QWidget *parent = nullptr);

  // Font of the active tab; FontU of the others.
  void SetFont(const QFont &f);
  void SetFontU(const QFont &f);
  // "-" entries are separators: a gap that cannot be chosen.
  void SetTabs(const QStringList &tabs);
  QStringList Tabs() const { return fTabs; }
  void SetTab(int index, const QString &text);
  void SetTabColor(uint32_t bgr);
  void SetTabColorU(uint32_t bgr);
  void SetBorderColor(uint32_t bgr);
  void SetTextColor(uint32_t bgr);
  void SetActive(int index);
  int Active() const { return fActive; }
  void SetPadding(int pixels);

  // Left edge and width of tab i as laid out by the last paint (-1 and 0 before).
  int TabLeft(int i) const { return i >= 0 && i < kMaxLaidOut ? fLeft[i] : -1; }
  int TabWidth(int i) const { return i >= 0 && i < kMaxLaidOut ? fWidth[i] : 0; }
  // The tab at a point of the strip, or -1 (separators and the bottom 4 pixels).
  int TabAt(QPoint pos) const;

  QSize sizeHint() const override { return {200, 22}; }

signals:
  void changed(int index);

protected:
  void paintEvent(QPaintEvent *) override;
  void mousePressEvent(QMouseEvent *e) override;

private:
  void Layout();

  QFont fFontU;
  QStringList fTabs;
  uint32_t fTabColor = 12632256;
  uint32_t fTabColorU = 8421504;
  uint32_t fBorderColor = 0;
  uint32_t fTextColor = 0;
  int fActive = 0;
  int fPadding = 10;
  int fLeft[kMaxLaidOut];
  int fWidth[kMaxLaidOut];
};
