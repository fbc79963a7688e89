// Small helpers of the widget tests: colours of painted pixels and synthetic events.
#pragma once

#include "colors.h"

#include <QApplication>
#include <QEnterEvent>
#include <QImage>
#include <QMouseEvent>
#include <QWidget>

#include <ostream>

inline QImage Paint(QWidget &w) {
  return w.grab().toImage();
}

inline uint32_t PixelBGR(const QImage &img, int x, int y) {
  return ToBGR(img.pixelColor(x, y));
}

inline int CountPixels(const QImage &img, uint32_t bgr) {
  int n = 0;
  for (int y = 0; y < img.height(); ++y)
    for (int x = 0; x < img.width(); ++x)
      if (PixelBGR(img, x, y) == bgr) ++n;
  return n;
}

inline void SendEnter(QWidget &w) {
  QEnterEvent e(QPointF(2, 2), w.mapToGlobal(QPointF(2, 2)), w.mapToGlobal(QPointF(2, 2)));
  QApplication::sendEvent(&w, &e);
}

inline void SendLeave(QWidget &w) {
  QEvent e(QEvent::Leave);
  QApplication::sendEvent(&w, &e);
}

// A mouse event with the button state a real drag has (QTest's moves carry none).
inline void SendMouse(QWidget &w, QEvent::Type type, QPoint pos, Qt::MouseButton button,
                      Qt::MouseButtons buttons) {
  QMouseEvent e(type, QPointF(pos), w.mapToGlobal(QPointF(pos)), button, buttons, Qt::NoModifier);
  QApplication::sendEvent(&w, &e);
}

// Texts in gtest messages.
inline std::ostream &operator<<(std::ostream &os, const QString &s) {
  return os << s.toStdString();
}
inline void PrintTo(const QString &s, std::ostream *os) {
  *os << '"' << s.toStdString() << '"';
}
