// The window frame: caption and window title, the drag strip without the button
// corner, dragging, the active caption colour and where restored windows go.
#include "bitmapbutton.h"
#include "helpers.h"
#include "panelex.h"
#include "windowframe.h"

#include <QSignalSpy>
#include <QTest>

#include <gtest/gtest.h>

TEST(Frame, CaptionIsTheWindowTitle) {
  TFrameWindow w;
  w.SetCaption(QStringLiteral("Analog (Dorian) - DEMO"));
  EXPECT_EQ(w.windowTitle(), QStringLiteral("Analog (Dorian) - DEMO"));
  EXPECT_TRUE(w.windowFlags() & Qt::FramelessWindowHint);
}

TEST(Frame, DragAreaIsTheTopStripWithoutTheButtonCorner) {
  TFrameDialog d;
  d.resize(200, 100);
  struct Case {
    int corner;
    QPoint pos;
    bool drags;
  } cases[] = {
      {20, {5, 5}, true},    {20, {179, 5}, true},  {20, {180, 5}, false},  {20, {199, 0}, false},
      {20, {5, 19}, true},   {20, {5, 20}, false},  {20, {100, 60}, false}, {30, {169, 5}, true},
      {30, {170, 5}, false}, {50, {150, 5}, false}, {50, {149, 5}, true},
  };
  for (const Case &c : cases) {
    d.Frame()->SetButtonCorner(c.corner);
    EXPECT_EQ(d.Frame()->InDragArea(c.pos), c.drags)
        << "corner " << c.corner << " at " << c.pos.x() << "," << c.pos.y();
  }
  EXPECT_EQ(TFrameDialog().Frame()->ButtonCorner(), 20) << "a dialog's close button corner";
}

TEST(Frame, DraggingTheStripMovesTheWindow) {
  TFrameDialog d;
  d.setGeometry(100, 100, 200, 100);
  d.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&d));
  const QPoint start = d.pos();
  SendMouse(d, QEvent::MouseButtonPress, {50, 8}, Qt::LeftButton, Qt::LeftButton);
  SendMouse(d, QEvent::MouseMove, {80, 28}, Qt::NoButton, Qt::LeftButton);
  SendMouse(d, QEvent::MouseButtonRelease, {80, 28}, Qt::LeftButton, Qt::NoButton);
  EXPECT_EQ(d.pos(), start + QPoint(30, 20));

  // Below the strip nothing moves.
  SendMouse(d, QEvent::MouseButtonPress, {50, 60}, Qt::LeftButton, Qt::LeftButton);
  SendMouse(d, QEvent::MouseMove, {90, 90}, Qt::NoButton, Qt::LeftButton);
  SendMouse(d, QEvent::MouseButtonRelease, {90, 90}, Qt::LeftButton, Qt::NoButton);
  EXPECT_EQ(d.pos(), start + QPoint(30, 20));

  // The input box drags by its panel too.
  d.Frame()->SetDragAnywhere(true);
  QWidget *panel = d.Content();
  SendMouse(*panel, QEvent::MouseButtonPress, {50, 40}, Qt::LeftButton, Qt::LeftButton);
  SendMouse(*panel, QEvent::MouseMove, {40, 45}, Qt::NoButton, Qt::LeftButton);
  SendMouse(*panel, QEvent::MouseButtonRelease, {40, 45}, Qt::LeftButton, Qt::NoButton);
  EXPECT_EQ(d.pos(), start + QPoint(20, 25));
}

TEST(Frame, CaptionIsYellowOnlyWhileActive) {
  TFrameWindow a, b;
  a.SetCaption(QStringLiteral("WWWWWW"));
  a.setGeometry(0, 0, 300, 120);
  b.setGeometry(400, 0, 100, 100);
  a.show();
  b.show();
  a.activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(&a));
  QImage active = Paint(a).copy(0, 0, 200, 20);
  EXPECT_GT(CountPixels(active, kCaptionActive), 5);
  b.activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(&b));
  QImage inactive = Paint(a).copy(0, 0, 200, 20);
  EXPECT_EQ(CountPixels(inactive, kCaptionActive), 0);
  EXPECT_GT(CountPixels(inactive, kCaptionInactive), 5);
}

TEST(Frame, DialogBodyAndContentPanel) {
  TFrameDialog d;
  d.resize(120, 80);
  d.Content();
  QImage img = Paint(d);
  EXPECT_EQ(PixelBGR(img, 60, 10), kWindowColor);
  EXPECT_EQ(PixelBGR(img, 60, 18), kFrameLight);
  EXPECT_EQ(PixelBGR(img, 60, 40), kPanelColor);
  EXPECT_EQ(PixelBGR(img, 60, 77), kFrameDark);
}

TEST(Frame, CloseButtonClosesAndEscapeCancels) {
  TFrameDialog d;
  d.resize(120, 80);
  d.show();
  d.activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(&d));
  QSignalSpy clicked(d.Frame()->CloseButton(), &TBitmapButton::clicked);
  QTest::mouseClick(d.Frame()->CloseButton(), Qt::LeftButton, {}, {5, 5});
  EXPECT_EQ(clicked.count(), 1) << d.Frame()->CloseButton()->isEnabled()
                                << d.Frame()->CloseButton()->isVisible()
                                << d.Frame()->CloseButton()->geometry().x();
  EXPECT_FALSE(d.isVisible());
  EXPECT_EQ(d.result(), QDialog::Rejected);
  d.show();
  QTest::keyClick(&d, Qt::Key_Escape);
  EXPECT_FALSE(d.isVisible());
  d.show();
  QTest::keyClick(&d, Qt::Key_Return);
  EXPECT_EQ(d.result(), QDialog::Accepted);
}

TEST(Frame, RestoredPositionsAreClampedToTheScreens) {
  const QList<QRect> screens = {{0, 0, 1920, 1080}, {1920, 0, 1280, 1024}};
  struct Case {
    QRect saved, expected;
  } cases[] = {
      {{100, 100, 800, 600}, {100, 100, 800, 600}},    // on the first screen
      {{2000, 50, 800, 600}, {2000, 50, 800, 600}},    // on the second
      {{5000, 3000, 800, 600}, {1120, 480, 800, 600}}, // on a screen that is gone
      {{3000, 100, 400, 300}, {2800, 100, 400, 300}},  // half off the right edge
      {{100, -30, 400, 300}, {100, 0, 400, 300}},      // title strip above the top
      {{-100, -50, 2500, 1200}, {0, 0, 1920, 1080}},   // larger than the screen
      {{-900, 200, 1000, 300}, {0, 200, 1000, 300}},   // mostly left of everything
  };
  for (const Case &c : cases)
    EXPECT_EQ(ClampToScreens(c.saved, screens), c.expected)
        << c.saved.x() << "," << c.saved.y() << " " << c.saved.width() << "x" << c.saved.height();
  EXPECT_EQ(ClampToScreens(QRect(10, 10, 50, 50), {}), QRect(10, 10, 50, 50));
}
