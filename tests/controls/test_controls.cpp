// The owner-drawn controls: 3-D colours, what the mouse, keys and focus do to a
// button, the label's hover events and embossed text, the panel's open side and
// the tab strip's hit test.
#include "bitmapbutton.h"
#include "helpers.h"
#include "labelex.h"
#include "panelex.h"
#include "tabcontrolex.h"

#include <QPainter>
#include <QSignalSpy>
#include <QTest>

#include <gtest/gtest.h>

TEST(Shading, LightAndDarkColoursOfTheBase) {
  struct Case {
    uint32_t base, light, dark;
  } cases[] = {
      {0x00C8D0D4, 0x00FFFFFF, 0x00858A8D}, // each channel capped at 255
      {0x00808080, 0x00C0C0C0, 0x00555555}, {0x00302010, 0x00483018, 0x0020150A},
      {0x00000000, 0x00000000, 0x00000000}, {0x00FFFFFF, 0x00FFFFFF, 0x00AAAAAA},
  };
  for (const Case &c : cases) {
    EXPECT_EQ(Light3D(c.base), c.light) << std::hex << c.base;
    EXPECT_EQ(Dark3D(c.base), c.dark) << std::hex << c.base;
  }
}

class ButtonTest : public ::testing::Test {
protected:
  void SetUp() override {
    button.SetShape(TBitmapButton::bsRect);
    button.SetBackColor(0x0000FF);
    button.SetButtonColor(0x808080);
    button.SetBorderColor(0x000000);
    button.SetBorderOver(0xFF0000);
  }
  TBitmapButton button;
  QSignalSpy clicks{&button, &TBitmapButton::clicked};
  QSignalSpy downs{&button, &TBitmapButton::mouseDown};
  QSignalSpy ups{&button, &TBitmapButton::mouseUp};
};

TEST_F(ButtonTest, DefaultsOfANewButton) {
  TBitmapButton b;
  EXPECT_EQ(b.size(), QSize(75, 25));
  EXPECT_EQ(b.ButtonColor(), 13160660u);
  EXPECT_TRUE(b.isEnabled());
  EXPECT_FALSE(b.IsPressed());
}

TEST_F(ButtonTest, EdgeIsLightAboveAndDarkBelowAndSwapsWhilePressed) {
  QImage up = Paint(button);
  EXPECT_EQ(PixelBGR(up, 37, 1), Light3D(0x808080));
  EXPECT_EQ(PixelBGR(up, 1, 12), Light3D(0x808080));
  EXPECT_EQ(PixelBGR(up, 37, 23), Dark3D(0x808080));
  EXPECT_EQ(PixelBGR(up, 73, 12), Dark3D(0x808080));
  EXPECT_EQ(PixelBGR(up, 37, 0), 0x000000u) << "outline in BorderColor";
  EXPECT_EQ(PixelBGR(up, 10, 8), 0x808080u) << "face in ButtonColor";

  QTest::mousePress(&button, Qt::LeftButton, {}, {10, 10});
  QImage down = Paint(button);
  EXPECT_EQ(PixelBGR(down, 37, 1), Dark3D(0x808080));
  EXPECT_EQ(PixelBGR(down, 37, 23), Light3D(0x808080));

  button.SetFlat(true);
  QImage flat = Paint(button);
  EXPECT_EQ(PixelBGR(flat, 37, 1), 0x808080u);
  EXPECT_EQ(PixelBGR(flat, 37, 23), 0x808080u);
}

TEST_F(ButtonTest, RoundedCornersShowTheBackColour) {
  button.SetShape(TBitmapButton::bsRounded);
  QImage img = Paint(button);
  EXPECT_EQ(PixelBGR(img, 0, 0), 0x0000FFu);
  EXPECT_EQ(PixelBGR(img, 74, 24), 0x0000FFu);
  EXPECT_EQ(PixelBGR(img, 37, 0), 0x000000u);
}

TEST_F(ButtonTest, ClickIsAPressAndAReleaseInside) {
  QTest::mousePress(&button, Qt::LeftButton, {}, {10, 10});
  EXPECT_TRUE(button.IsPressed());
  EXPECT_EQ(downs.count(), 1);
  EXPECT_EQ(clicks.count(), 0);
  QTest::mouseRelease(&button, Qt::LeftButton, {}, {12, 10});
  EXPECT_FALSE(button.IsPressed());
  EXPECT_FALSE(button.IsHovered());
  EXPECT_EQ(ups.count(), 1);
  EXPECT_EQ(clicks.count(), 1);

  // Released outside: the mouse-up event, but no click.
  QTest::mousePress(&button, Qt::LeftButton, {}, {10, 10});
  QTest::mouseRelease(&button, Qt::LeftButton, {}, {200, 10});
  EXPECT_EQ(ups.count(), 2);
  EXPECT_EQ(clicks.count(), 1);

  // A release without a press is no mouse-up event.
  QTest::mouseRelease(&button, Qt::LeftButton, {}, {10, 10});
  EXPECT_EQ(ups.count(), 2);
}

TEST_F(ButtonTest, PressingADisabledButtonDoesNothing) {
  button.setEnabled(false);
  QTest::mousePress(&button, Qt::LeftButton, {}, {10, 10});
  QTest::mouseRelease(&button, Qt::LeftButton, {}, {10, 10});
  QTest::keyClick(&button, Qt::Key_Return);
  SendEnter(button);
  EXPECT_FALSE(button.IsPressed());
  EXPECT_FALSE(button.IsHovered());
  EXPECT_EQ(downs.count(), 0);
  EXPECT_EQ(ups.count(), 0);
  EXPECT_EQ(clicks.count(), 0);
}

TEST_F(ButtonTest, HoverChangesTheOutlineAndLeavingReleases) {
  QSignalSpy enters(&button, &TBitmapButton::mouseEntered);
  QSignalSpy leaves(&button, &TBitmapButton::mouseLeft);
  SendEnter(button);
  EXPECT_TRUE(button.IsHovered());
  EXPECT_EQ(enters.count(), 1);
  EXPECT_EQ(PixelBGR(Paint(button), 37, 0), 0xFF0000u) << "BorderOver while hovered";

  QTest::mousePress(&button, Qt::LeftButton, {}, {10, 10});
  SendLeave(button);
  EXPECT_FALSE(button.IsPressed());
  EXPECT_FALSE(button.IsHovered());
  EXPECT_EQ(leaves.count(), 1);
  EXPECT_EQ(PixelBGR(Paint(button), 37, 0), 0x000000u);
}

TEST_F(ButtonTest, FocusAndTheEnterKey) {
  QWidget window;
  button.setParent(&window);
  window.show();
  window.activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(&window));

  QTest::mousePress(&button, Qt::LeftButton, {}, {10, 10});
  EXPECT_TRUE(button.hasFocus()) << "a click takes the focus";
  EXPECT_TRUE(button.IsFocused());
  QTest::mouseRelease(&button, Qt::LeftButton, {}, {10, 10});
  clicks.clear();

  QTest::keyClick(&button, Qt::Key_Return);
  QTest::keyClick(&button, Qt::Key_Enter);
  EXPECT_EQ(clicks.count(), 2);

  // The dotted focus outline in BorderColor sits inside the edge.
  QImage focused = Paint(button);
  EXPECT_GT(CountPixels(focused.copy(3, 3, 1, 19), 0x000000), 0);

  SendEnter(button);
  button.clearFocus();
  EXPECT_FALSE(button.IsFocused());
  EXPECT_FALSE(button.IsHovered()) << "losing the focus ends the hover";
  EXPECT_EQ(CountPixels(Paint(button).copy(3, 3, 1, 19), 0x000000), 0);
  button.setParent(nullptr);
}

TEST_F(ButtonTest, PictureDisabledPictureAndTransparentColour) {
  QPixmap red(8, 8), blue(8, 8);
  red.fill(Qt::red);
  blue.fill(Qt::blue);
  button.SetBitmap(red);
  button.SetDisBitmap(blue);
  EXPECT_EQ(PixelBGR(Paint(button), 37, 12), 0x0000FFu);
  button.setEnabled(false);
  EXPECT_EQ(PixelBGR(Paint(button), 37, 12), 0xFF0000u);
  button.setEnabled(true);

  // The bottom-left colour of the picture is see-through when Transparent.
  QImage framed(8, 8, QImage::Format_RGB32);
  framed.fill(Qt::magenta);
  QPainter(&framed).fillRect(2, 2, 4, 4, Qt::green);
  button.SetBitmap(QPixmap::fromImage(framed));
  EXPECT_EQ(PixelBGR(Paint(button), 34, 9), ToBGR(Qt::magenta));
  button.SetTransparent(true);
  QImage img = Paint(button);
  EXPECT_EQ(PixelBGR(img, 34, 9), 0x808080u);
  EXPECT_EQ(PixelBGR(img, 37, 12), ToBGR(Qt::green));
}

TEST_F(ButtonTest, DisabledCaptionIsEmbossedInTheLightColour) {
  button.SetCaption(QStringLiteral("MMMM"));
  button.SetTextColor(0x000000);
  // Inside the edge, only the light copy of the caption is lighter than the face.
  auto lighter = [&] {
    QImage img = Paint(button).copy(3, 3, 69, 19);
    int n = 0;
    for (int y = 0; y < img.height(); ++y)
      for (int x = 0; x < img.width(); ++x)
        n += img.pixelColor(x, y).red() > 0x80;
    return n;
  };
  EXPECT_EQ(lighter(), 0);
  button.setEnabled(false);
  EXPECT_GT(lighter(), 10) << "the caption's light copy one pixel down and right";
}

TEST(Label, HoverEventsAndWideCaption) {
  TLabelEx label(QStringLiteral("plain"));
  QSignalSpy over(&label, &TLabelEx::mouseOver);
  QSignalSpy out(&label, &TLabelEx::mouseOut);
  SendEnter(label);
  SendLeave(label);
  EXPECT_EQ(over.count(), 1);
  EXPECT_EQ(out.count(), 1);
  EXPECT_EQ(label.Text(), QStringLiteral("plain"));
  label.SetWideCaption(QStringLiteral("\u00B5s \u2126"));
  EXPECT_EQ(label.Text(), QStringLiteral("\u00B5s \u2126"));
}

TEST(Label, DisabledTextIsWhiteUnderGrey) {
  TLabelEx label(QStringLiteral("WWWW"));
  label.resize(60, 20);
  label.SetColor(0x0000FF);
  label.SetTextColor(0x000000);
  QImage enabled = Paint(label);
  EXPECT_GT(CountPixels(enabled, 0x000000), 0);
  EXPECT_EQ(CountPixels(enabled, 0x808080), 0);
  label.setEnabled(false);
  QImage disabled = Paint(label);
  EXPECT_EQ(CountPixels(disabled, 0x000000), 0);
  EXPECT_GT(CountPixels(disabled, 0x808080), 0);
  EXPECT_GT(CountPixels(disabled, 0xFFFFFF), 0);
}

TEST(Panel, TheOpenSideHasNoBorder) {
  struct Case {
    TPanelEx::TBorderOpen open;
    QPoint openMid;
  } cases[] = {{TPanelEx::boLeft, {0, 20}},
               {TPanelEx::boTop, {30, 0}},
               {TPanelEx::boRight, {59, 20}},
               {TPanelEx::boBottom, {30, 39}}};
  const QPoint mids[] = {{0, 20}, {30, 0}, {59, 20}, {30, 39}};
  for (TPanelEx::TBorderStyle style : {TPanelEx::pbsSharp, TPanelEx::pbsRounded}) {
    TPanelEx panel;
    panel.resize(60, 40);
    panel.SetFaceColor(0x00FF00);
    panel.SetBorderColor(0x0000FF);
    panel.SetBorderStyle(style);
    QImage closed = Paint(panel);
    for (QPoint m : mids)
      EXPECT_EQ(PixelBGR(closed, m.x(), m.y()), 0x0000FFu);
    for (const Case &c : cases) {
      panel.SetBorderOpen(c.open);
      QImage img = Paint(panel);
      for (QPoint m : mids)
        EXPECT_EQ(PixelBGR(img, m.x(), m.y()), m == c.openMid ? 0x00FF00u : 0x0000FFu)
            << "style " << style << " open " << c.open << " at " << m.x() << "," << m.y();
    }
  }
}

TEST(Panel, HeaderAndBevel) {
  TPanelEx panel;
  panel.resize(60, 40);
  panel.SetFaceColor(kPanelColor);
  panel.SetHeaderColor(0x0000FF);
  panel.SetHeaderHeight(12);
  QImage img = Paint(panel);
  EXPECT_EQ(PixelBGR(img, 30, 6), 0x0000FFu);
  EXPECT_EQ(PixelBGR(img, 30, 20), kPanelColor);

  panel.SetHeaderHeight(0);
  panel.SetBevel(true, kFrameLight, kFrameDark);
  img = Paint(panel);
  EXPECT_EQ(PixelBGR(img, 30, 0), kFrameLight);
  EXPECT_EQ(PixelBGR(img, 0, 20), kFrameLight);
  EXPECT_EQ(PixelBGR(img, 30, 39), kFrameDark);
  EXPECT_EQ(PixelBGR(img, 59, 20), kFrameDark);
}

class TabsTest : public ::testing::Test {
protected:
  void SetUp() override {
    tabs.SetTabs({QStringLiteral("General"), QStringLiteral("-"), QStringLiteral("Colors")});
    tabs.resize(200, 22);
    Paint(tabs);
  }
  TTabControlEx tabs;
  QSignalSpy changes{&tabs, &TTabControlEx::changed};
};

TEST_F(TabsTest, TabsArePaddedTextsSideBySide) {
  EXPECT_EQ(tabs.TabLeft(0), 0);
  EXPECT_EQ(tabs.TabWidth(0), QFontMetrics(tabs.font()).horizontalAdvance("General") + 20);
  EXPECT_EQ(tabs.TabLeft(1), tabs.TabWidth(0));
  EXPECT_EQ(tabs.TabLeft(2), tabs.TabLeft(1) + tabs.TabWidth(1));
  EXPECT_EQ(tabs.TabLeft(3), -1);
}

TEST_F(TabsTest, ClickingATabMakesItActive) {
  QTest::mouseClick(&tabs, Qt::LeftButton, {}, {tabs.TabLeft(2) + 3, 5});
  EXPECT_EQ(tabs.Active(), 2);
  ASSERT_EQ(changes.count(), 1);
  EXPECT_EQ(changes.at(0).at(0).toInt(), 2);
}

TEST_F(TabsTest, SeparatorsBottomStripAndEmptyRightChangeNothing) {
  const QPoint misses[] = {{tabs.TabLeft(1) + 2, 5},                     // the "-" entry
                           {tabs.TabLeft(2) + 3, 18},                    // the bottom 4 pixels
                           {tabs.TabLeft(2) + tabs.TabWidth(2) + 5, 5}}; // past the last tab
  for (QPoint p : misses) {
    QTest::mouseClick(&tabs, Qt::LeftButton, {}, p);
    EXPECT_EQ(tabs.Active(), 0) << p.x() << "," << p.y();
  }
  QTest::mouseClick(&tabs, Qt::RightButton, {}, {tabs.TabLeft(2) + 3, 5});
  EXPECT_EQ(tabs.Active(), 0) << "right button";
  EXPECT_EQ(changes.count(), 0);
}

TEST_F(TabsTest, ActiveTabIsOpenBelowAndOthersInTheirColour) {
  QImage img = Paint(tabs);
  const int x0 = tabs.TabLeft(0) + 3, x2 = tabs.TabLeft(2) + 3;
  EXPECT_EQ(PixelBGR(img, x0, 19), 12632256u) << "the active tab runs into the strip";
  EXPECT_EQ(PixelBGR(img, x2, 4), 8421504u) << "TabColorU";
  EXPECT_EQ(PixelBGR(img, x2, 1), 0u) << "outlined in BorderColor";
}
