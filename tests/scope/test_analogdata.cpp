// The analog display control painted into images: pixels are checked where the
// control puts things.
//
// Geometry of the fixture: rulers 25 | 201 | 25 pixels wide, plot 200 pixels high
// over a 20-pixel time ruler, so mid = 100; RangeY 189 gives one pixel per code
// (220 x 0.95 - 20 = 189), and 201 visible samples one pixel per sample.
#include "analogdata.h"

#include <QCoreApplication>
#include <QFontMetrics>
#include <QImage>
#include <QMouseEvent>
#include <QPainter>

#include <gtest/gtest.h>

#include <cstdlib>
#include <vector>

namespace {

constexpr int W = 251, H = 220, RL = 25, RR = 25, RH = 20;
constexpr int Left = RL, Right = W - RR, Bottom = H - RH; // plot, right/bottom exclusive
constexpr uint32_t kSentinel = 0x00123456;                // no colour of the fixture
constexpr uint32_t kBack = 0xFFFFFF, kGrid = 0xC0C0C0, kText = 0x202020;
constexpr uint32_t kRulerBack = 0xF3F3F3, kRulerText = 0x606060;
constexpr uint32_t kRulerBackA = 0xE1FFFF, kRulerBackB = 0xE1FFFE;
constexpr uint32_t kColorA = 0x0000C0, kColorB = 0xC00000, kColorM = 0x008000;
constexpr uint32_t kCurX = 0x0000FF, kCurY = 0x800000, kCurZ = 0x00FF00, kCurT = 0xFF00FF;

QRgb ToRgb(uint32_t bgr) {
  return qRgb(bgr & 0xFF, (bgr >> 8) & 0xFF, (bgr >> 16) & 0xFF);
}

class AnalogData : public testing::Test {
protected:
  void SetUp() override {
    d.resize(W, H);
    d.RulerHeight = RH;
    d.RulerWidthL = RL;
    d.RulerWidthR = RR;
    d.BackColor = kBack;
    d.GridColor = kGrid;
    d.TextColor = kText;
    d.RulerBackColor = kRulerBack;
    d.RulerTextColor = d.RulerTextAColor = d.RulerTextBColor = kRulerText;
    d.RulerBackAColor = kRulerBackA;
    d.RulerBackBColor = kRulerBackB;
    d.ColorA = kColorA;
    d.ColorB = kColorB;
    d.ColorM = kColorM;
    d.CursorXColor = kCurX;
    d.CursorYColor = kCurY;
    d.CursorZColor = kCurZ;
    d.CursorTColor = kCurT;
    d.ShowGrid = false;
    d.HalfRange = 128;
    d.HalfScaleA = d.HalfScaleB = 5000;
    d.GridDiv = 5;
    d.RangeY = 189;
    d.SampleRate = 0;
    SetSamples(201, 0.0f);
  }

  // Both channels hold `count` samples of one value; all of them visible.
  void SetSamples(uint32_t count, float value) {
    a.assign(count, value);
    b.assign(count, value);
    d.LendSamples(a.data(), b.data());
    d.SampleCount = d.VisibleSamples = count;
    d.FirstSample = 0;
  }

  QImage Paint(bool *painted = nullptr) {
    QImage image(W, H, QImage::Format_RGB32);
    image.fill(ToRgb(kSentinel));
    QPainter p(&image);
    const bool drew = d.Render(p, image.rect(), dmScreen);
    p.end();
    if (painted) *painted = drew;
    Save(image);
    return image;
  }

  // VELK_TEST_IMAGES=FOLDER keeps the pictures for a look.
  static void Save(const QImage &image) {
    if (const char *dir = std::getenv("VELK_TEST_IMAGES"))
      image.save(QString::fromLocal8Bit(dir) + "/" +
                 testing::UnitTest::GetInstance()->current_test_info()->name() + ".png");
  }

  static bool Is(const QImage &image, int x, int y, uint32_t bgr) {
    return image.pixel(x, y) == ToRgb(bgr);
  }
  // Pixels of one colour inside a rectangle (right/bottom exclusive).
  static int Count(const QImage &image, int l, int t, int r, int b, uint32_t bgr) {
    int n = 0;
    for (int y = t; y < b; ++y)
      for (int x = l; x < r; ++x)
        n += Is(image, x, y, bgr);
    return n;
  }

  TAnalogData d;
  std::vector<float> a, b;
};

TEST_F(AnalogData, PaintsNothingWithoutAWindowOrARange) {
  struct Case {
    const char *name;
    uint32_t visible;
    int32_t range;
    bool locked;
  } const cases[] = {{"no visible samples", 0, 189, false},
                     {"no vertical range", 201, 0, false},
                     {"print job running", 201, 189, true}};
  for (const Case &c : cases) {
    d.VisibleSamples = c.visible;
    d.RangeY = c.range;
    d.PaintLocked = c.locked;
    bool painted = true;
    const QImage image = Paint(&painted);
    EXPECT_FALSE(painted) << c.name;
    EXPECT_EQ(Count(image, 0, 0, W, H, kSentinel), W * H) << c.name << ": not even the background";
  }
}

TEST_F(AnalogData, WidgetPaintsThePictureOfRender) {
  for (int i = 0; i < 201; ++i)
    a[i] = static_cast<float>(i % 40);
  d.ShowGrid = true;
  d.SampleRate = 1000.0;
  const QImage rendered = Paint();
  const QImage grabbed = d.grab().toImage().convertToFormat(QImage::Format_RGB32);
  ASSERT_EQ(grabbed.size(), rendered.size());
  EXPECT_TRUE(grabbed == rendered);
}

TEST_F(AnalogData, RegionsAndTraceLevels) {
  for (int i = 0; i < 201; ++i)
    a[i] = i < 100 ? 40.0f : -30.0f;
  d.ShowB = false;
  const QImage image = Paint();
  EXPECT_TRUE(Is(image, Left + 50, 20, kBack));
  EXPECT_TRUE(Is(image, Left + 50, Bottom + 2, kRulerBack));
  EXPECT_TRUE(Is(image, 2, 110, kRulerBackA));
  EXPECT_TRUE(Is(image, W - 2, 110, kRulerBackB));
  // One pixel per sample and per code: sample i at x = 25 + i, value v at y = 100 - v.
  EXPECT_TRUE(Is(image, Left + 10, 60, kColorA));
  EXPECT_TRUE(Is(image, Left + 150, 130, kColorA));
  EXPECT_EQ(Count(image, Left + 99, 100, Left + 101, 101, kColorA), 1) << "the step joins both";
  EXPECT_EQ(Count(image, Left, 0, Right, Bottom, kColorB), 0) << "channel B is off";
}

TEST_F(AnalogData, PointModeAtFiveSamplesPerPixelEnvelopeBelow) {
  // 200 pixel steps: 1001 visible samples are exactly 0.2 pixels per sample.
  // Point mode puts sample 3 at x = RoundHalfUp(0.6) = 1; envelope mode folds
  // samples 0-4 into column 0.
  for (uint32_t visible : {1001u, 1002u}) {
    SetSamples(visible, 0.0f);
    a[3] = 50.0f;
    d.ShowB = false;
    const QImage image = Paint();
    const bool point = visible == 1001;
    EXPECT_EQ(d.PixelsPerSample >= 0.2, point);
    EXPECT_EQ(Is(image, Left + 1, 50, kColorA), point) << visible;
    EXPECT_EQ(Is(image, Left, 50, kColorA), !point) << visible;
  }
}

TEST_F(AnalogData, FoldedPointModeDrawsThePixelsOfThePlainPolyline) {
  // Point mode with four samples per column: the control folds each column to its
  // first, lowest, highest and last point; the plain polyline through every sample
  // must give the same picture.
  SetSamples(801, 0.0f);
  uint32_t seed = 7;
  for (float &v : a) {
    seed = seed * 1103515245u + 12345u;
    v = static_cast<float>(static_cast<int>((seed >> 16) % 161) - 80);
  }
  d.ShowB = false;
  const QImage image = Paint();
  ASSERT_DOUBLE_EQ(d.PixelsPerSample, 0.25);

  QImage plain(W, H, QImage::Format_RGB32);
  plain.fill(ToRgb(kBack));
  QPainter p(&plain);
  p.setClipRect(Left, 0, Right - Left, Bottom);
  p.setPen(QColor(ToRgb(kColorA)));
  QPolygon line;
  for (int k = 0; k < 801; ++k) {
    const QPoint pt(static_cast<int>(RoundHalfUp(Left + k * 0.25)),
                    static_cast<int>(RoundHalfUp(100 - a[k])));
    if (line.isEmpty() || line.last() != pt) line.append(pt);
  }
  p.drawPolyline(line);
  p.end();
  for (int y = 0; y < Bottom; ++y)
    for (int x = Left; x < Right; ++x)
      ASSERT_EQ(image.pixel(x, y), plain.pixel(x, y)) << x << "," << y;
}

TEST_F(AnalogData, FlatSignalInEnvelopeModeIsOneRowOfPoints) {
  SetSamples(10000, 20.0f);
  const QImage image = Paint();
  ASSERT_LT(d.PixelsPerSample, 0.2);
  for (int x = Left; x < Right; ++x) {
    EXPECT_TRUE(Is(image, x, 80, kColorA)) << x;
    EXPECT_EQ(Count(image, x, 0, x + 1, Bottom, kColorA), 1) << x;
  }
}

TEST_F(AnalogData, EnvelopeShowsNarrowSpikesAndFollowsNewSamples) {
  SetSamples(100000, 0.0f);
  d.ShowB = false;
  a[50000] = 60.0f; // column 100 of 201
  QImage image = Paint();
  EXPECT_TRUE(Is(image, Left + 100, 40, kColorA));

  // A new capture into the same buffer: the cached columns must not survive.
  a[50000] = 0.0f;
  a[25000] = -60.0f;
  d.DataChanged();
  image = Paint();
  EXPECT_FALSE(Is(image, Left + 100, 40, kColorA));
  EXPECT_TRUE(Is(image, Left + 50, 160, kColorA));

  // Captures hand buffers back and forth: a buffer lent again holds new samples.
  std::vector<float> other(100000, 0.0f);
  d.LendSamples(other.data(), b.data());
  Paint();
  a.assign(100000, 0.0f);
  a[75000] = 60.0f; // column 150
  d.LendSamples(a.data(), b.data());
  image = Paint();
  EXPECT_FALSE(Is(image, Left + 50, 160, kColorA));
  EXPECT_TRUE(Is(image, Left + 150, 40, kColorA));
  a[25000] = -60.0f;
  d.DataChanged();

  // Another window onto the record.
  d.FirstSample = 25000;
  d.VisibleSamples = 50000;
  image = Paint();
  EXPECT_TRUE(Is(image, Left, 160, kColorA));
  EXPECT_FALSE(Is(image, Left + 50, 160, kColorA));
}

TEST_F(AnalogData, TriggerMarks) {
  d.SampleRate = 1000.0;
  d.TriggerPos = 100; // x = 125
  d.TriggerLevel = 30;
  d.CursorTEn = true;
  d.ShowA = d.ShowB = false;
  struct Case {
    uint8_t channel;
    bool line, leftMark, rightMark;
  } const cases[] = {{0, true, true, false}, {1, true, false, true}, {2, false, false, false}};
  for (const Case &c : cases) {
    d.TriggerChannel = c.channel;
    const QImage image = Paint();
    const int level = c.channel == 2 ? 100 : 70;
    EXPECT_TRUE(Is(image, Left + 100, 10, kCurT)) << "vertical line, channel " << int(c.channel);
    EXPECT_TRUE(Is(image, Left + 100, 190, kCurT));
    EXPECT_EQ(Is(image, Left + 20, level, kCurT), c.line) << "level line, " << int(c.channel);
    EXPECT_TRUE(Is(image, Left + 100, Bottom + 2, kCurT)) << "time-ruler triangle";
    EXPECT_EQ(Count(image, 0, 0, RL, Bottom, kCurT) > 0, c.leftMark) << int(c.channel);
    EXPECT_EQ(Count(image, Right, 0, W, Bottom, kCurT) > 0, c.rightMark) << int(c.channel);
  }
  // Without CursorTEn the lines go, the ruler marks stay.
  d.TriggerChannel = 0;
  d.CursorTEn = false;
  const QImage image = Paint();
  EXPECT_EQ(Count(image, Left, 0, Right, Bottom, kCurT), 0);
  EXPECT_GT(Count(image, 0, 0, RL, Bottom, kCurT), 0);
  EXPECT_TRUE(Is(image, Left + 100, Bottom + 2, kCurT));
}

TEST_F(AnalogData, NoTimeBaseLeavesTheTimeRulerBare) {
  d.ShowGrid = true;
  d.CursorTEn = true;
  d.CursorXEn = true;
  d.CursorXPos = 50;
  d.TriggerPos = 100;
  d.SampleRate = 0;
  QImage image = Paint();
  EXPECT_EQ(Count(image, Left, Bottom, Right, H, kRulerBack), (Right - Left) * RH);
  EXPECT_TRUE(Is(image, Left + 100, 10, kCurT)) << "the plot keeps its trigger line";
  EXPECT_TRUE(Is(image, Left + 50, 10, kCurX)) << "and its cursor lines";
  // Only the horizontal lines cross the column of the first time step.
  EXPECT_LT(Count(image, Left + 120, 0, Left + 121, Bottom, kGrid), 10);

  d.SampleRate = 1000.0; // 1000 pixels per second: a line every 20 ms
  image = Paint();
  EXPECT_LT(Count(image, Left, Bottom, Right, H, kRulerBack), (Right - Left) * RH);
  EXPECT_TRUE(Is(image, Left + 50, Bottom + 2, kCurX)) << "cursor marker on the ruler";
  EXPECT_GT(Count(image, Left + 120, 0, Left + 121, Bottom, kGrid), 40) << "grid line at +20 ms";
}

TEST_F(AnalogData, TimeSteps) {
  struct Case {
    double pixelsPerSecond, width;
    double step, factor;
    const char *unit;
  } const cases[] = {
      {1000.0, 200, 20, 0.02, "s"},  // 20 ms lines, labelled 0.02s, 0.04s ...
      {1.0e9, 1600, 200, 0.2, "us"}, // 200 ns lines, labelled 0.2us ...
      {50.0, 200, 25, 0.5, "s"},     // half seconds
      {1.0e6, 800, 100, 0.1, "ms"},  // 100 us, labelled 0.1ms ...
      {1.0e5, 1, 0.2, 2, "us"},      // two decades down: the unit moves on
  };
  for (const Case &c : cases) {
    const TTimeStep s = TimeStep(c.pixelsPerSecond, c.width, true);
    ASSERT_TRUE(s.Valid);
    EXPECT_DOUBLE_EQ(s.StepPixels, c.step) << c.pixelsPerSecond;
    EXPECT_NEAR(s.LabelFactor, c.factor, 1e-9) << c.pixelsPerSecond;
    EXPECT_STREQ(s.Unit, c.unit) << c.pixelsPerSecond;
    EXPECT_GE(c.width / s.StepPixels, 5);
    EXPECT_LE(c.width / s.StepPixels, 20);
  }
  EXPECT_FALSE(TimeStep(0, 200, true).Valid);
  EXPECT_FALSE(TimeStep(1000, 0, true).Valid);
  EXPECT_EQ(TimeLabel(-40, 20, "ms"), "-40ms");
  EXPECT_EQ(TimeLabel(0.5, 0.5, "s"), "0.5s");
  EXPECT_EQ(TimeLabel(0.05, 0.05, "us"), "0.05us");
}

TEST_F(AnalogData, VoltageRulerScales) {
  struct Case {
    int32_t halfScale;
    int step;
    const char *unit, *multiplier;
  } const cases[] = {
      {5000, 1, "V", "x1"},    // 1 V per division: 1, 2, 3 ...
      {250, 5, "mV", "x10"},   // 50 mV: 5, 10, 15 ... x10
      {1000, 2, "mV", "x100"}, // 200 mV
      {50, 1, "mV", "x10"},    // 10 mV
      {25, 5, "mV", "x1"},     // 5 mV
      {50000, 1, "V", "x10"},  // 10 V (1:10 probe)
  };
  for (const Case &c : cases) {
    const TVoltageScale s = VoltageRulerScale(c.halfScale, 5);
    EXPECT_EQ(s.Step, c.step) << c.halfScale;
    EXPECT_STREQ(s.Unit, c.unit) << c.halfScale;
    EXPECT_STREQ(s.Multiplier, c.multiplier) << c.halfScale;
  }
}

TEST_F(AnalogData, RulerLabelsOfOneVoltAndFiftyMillivolts) {
  // Labels as the ruler must show them, drawn by hand into a reference image.
  const QFont bold = TAnalogData::RulerFont(dmScreen, 0);
  const QFont normal = TAnalogData::RulerFont(dmScreen, 0, false);
  const QFontMetrics fm(bold), fmNormal(normal);
  auto reference = [&](const char *unit, const char *multiplier, const char *first) {
    QImage image(RL, Bottom, QImage::Format_RGB32);
    image.fill(ToRgb(kRulerBackA));
    QPainter p(&image);
    p.setPen(ToRgb(kRulerText));
    p.setFont(bold);
    p.drawText(QRect(-100, 0, RL + 200, fm.height()), Qt::AlignCenter, unit);
    // First division above zero: 128 / 5 codes = 25.6 pixels above mid.
    p.drawText(QRect(-100, 74, RL + 200, fm.height()), Qt::AlignHCenter | Qt::AlignTop, first);
    if (multiplier) {
      p.setFont(normal);
      p.drawText(QRect(-100, fm.height(), RL + 200, fmNormal.height()), Qt::AlignCenter,
                 multiplier);
    }
    return image;
  };
  struct Case {
    int32_t halfScale;
    const char *unit, *multiplier, *first;
  } const cases[] = {{5000, "V", nullptr, "1"}, {250, "mV", "x10", "5"}};
  for (const Case &c : cases) {
    d.HalfScaleA = c.halfScale;
    const QImage image = Paint();
    const QImage ref = reference(c.unit, c.multiplier, c.first);
    // Header bands, and the label hanging below the first tick (rows 74 to 84).
    const int header = fm.height() + fmNormal.height();
    for (int y = 0; y < header; ++y)
      for (int x = 0; x < RL; ++x)
        ASSERT_EQ(image.pixel(x, y), ref.pixel(x, y)) << c.unit << " header at " << x << "," << y;
    for (int y = 75; y < 74 + fm.height(); ++y)
      for (int x = 0; x < RL - 4; ++x)
        ASSERT_EQ(image.pixel(x, y), ref.pixel(x, y)) << c.unit << " label at " << x << "," << y;
  }
}

TEST_F(AnalogData, HiddenChannelKeepsTicksOnly) {
  d.ShowA = false;
  d.TriggerChannel = 2; // no trigger mark on the ruler
  const QImage image = Paint();
  // Ticks at the plot edge, 25.6 codes apart; nothing else but background.
  EXPECT_TRUE(Is(image, RL - 1, 74, kRulerText));
  EXPECT_TRUE(Is(image, RL - 3, 74, kRulerText));
  EXPECT_EQ(Count(image, 0, 0, RL - 3, Bottom, kRulerBackA), (RL - 3) * Bottom);
}

TEST_F(AnalogData, ChannelOrderCorner) {
  // Corner (0, 200)-(25, 220): q = 6, square (6, 206)-(18, 213).
  struct Case {
    bool aOnTop, showB;
    uint32_t upperLeft, lowerRight;
  } const cases[] = {{true, true, kColorA, kColorB},
                     {false, true, kColorB, kColorA},
                     {true, false, kRulerBackA, kRulerBackA}};
  for (const Case &c : cases) {
    d.ChannelAOnTop = c.aOnTop;
    d.ShowB = c.showB;
    const QImage image = Paint();
    EXPECT_TRUE(Is(image, 7, 207, c.upperLeft)) << c.aOnTop << c.showB;
    EXPECT_TRUE(Is(image, 17, 212, c.lowerRight)) << c.aOnTop << c.showB;
    EXPECT_TRUE(Is(image, 2, 202, kRulerBackA));
    EXPECT_EQ(Count(image, Right, Bottom, W, H, kRulerBackB), RR * RH) << "right corner is plain";
  }
}

TEST_F(AnalogData, MouseClicks) {
  Paint(); // scales: one pixel per sample
  int downs = 0, rulers = 0, downX = -1, rulerX = -1, rulerY = -1;
  d.OnMouseDown = [&](Qt::MouseButtons, Qt::KeyboardModifiers, int x, int) {
    ++downs;
    downX = x;
  };
  d.OnRulerClick = [&](Qt::MouseButtons, Qt::KeyboardModifiers, int x, int y) {
    ++rulers;
    rulerX = x;
    rulerY = y;
  };
  auto click = [&](int x, int y) {
    QMouseEvent e(QEvent::MouseButtonPress, QPointF(x, y), QPointF(x, y), Qt::LeftButton,
                  Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(&d, &e);
  };
  click(Left + 40, Bottom + 5);
  EXPECT_EQ(rulers, 1);
  EXPECT_EQ(rulerX, 0);
  EXPECT_EQ(rulerY, 0);
  click(Left + 40, 50);
  EXPECT_EQ(downs, 1);
  EXPECT_EQ(downX, 40) << "plot-relative x";
  click(5, Bottom + 5);
  EXPECT_FALSE(d.ChannelAOnTop) << "the corner swaps the order";
  // Only 150 samples captured: a click right of the last one fires nothing.
  d.SampleCount = 150;
  click(Left + 160, 50);
  EXPECT_EQ(downs, 1);
  click(Left + 149, 50);
  EXPECT_EQ(downs, 2);
}

TEST_F(AnalogData, MathAndOrderOfTraces) {
  for (int i = 0; i < 201; ++i) {
    a[i] = 30.0f;
    b[i] = 10.0f;
  }
  d.MathMode = 2; // A - B = 20
  d.InvertB = false;
  QImage image = Paint();
  EXPECT_TRUE(Is(image, Left + 50, 80, kColorM));
  d.MathMode = 3;  // B - A = 10 - 35
  d.PositionA = 5; // a = 35
  image = Paint();
  EXPECT_TRUE(Is(image, Left + 50, 125, kColorM));
  // Folded columns of a long record follow new samples and the offset.
  SetSamples(10000, 30.0f);
  b.assign(10000, 10.0f);
  d.MathMode = 2;
  d.PositionA = 0;
  d.ShowA = d.ShowB = false;
  EXPECT_TRUE(Is(Paint(), Left + 150, 80, kColorM));
  b[5000] = -40.0f; // a spike of A - B = 70 in column 100
  d.DataChanged();
  d.OffsetY = -10;
  image = Paint();
  EXPECT_TRUE(Is(image, Left + 150, 90, kColorM));
  EXPECT_TRUE(Is(image, Left + 100, 40, kColorM));
  d.ShowA = d.ShowB = true;
  d.OffsetY = 0;
  // Both traces on one row: the one on top wins.
  d.MathMode = 0;
  SetSamples(201, 30.0f);
  d.ChannelAOnTop = true;
  EXPECT_TRUE(Is(Paint(), Left + 50, 70, kColorA));
  d.ChannelAOnTop = false;
  EXPECT_TRUE(Is(Paint(), Left + 50, 70, kColorB));
}

TEST_F(AnalogData, CursorsAndOverlay) {
  d.CursorXEn = d.CursorYEn = true;
  d.CursorXPos = 40;
  d.CursorXLevel = 10;
  d.CursorYPos = 120;
  d.CursorYLevel = -20;
  d.ShowA = d.ShowB = false;
  d.SampleRate = 1000.0;
  QImage image = Paint();
  EXPECT_TRUE(Is(image, Left + 40, 5, kCurX));
  EXPECT_TRUE(Is(image, Left + 45, 90, kCurX)) << "level tick";
  EXPECT_TRUE(Is(image, Left + 120, 150, kCurY));
  EXPECT_TRUE(Is(image, Left + 115, 120, kCurY));
  EXPECT_GT(Count(image, 0, 0, RL, Bottom, kCurX), 0) << "level mark on the left ruler";
  EXPECT_GT(Count(image, Right, 0, W, Bottom, kCurY), 0) << "and on the right one";

  EXPECT_EQ(Count(image, Left, 0, Right, 60, kText), 0);
  static const char value[] = "1.00kHz";
  d.ShowAddText = true;
  d.MeasText1 = value;
  d.MeasType1 = 'F';
  d.MeasChannel1 = 'A';
  image = Paint();
  EXPECT_GT(Count(image, Left, 0, Right, 60, kText), 50) << "overlay text";
}

TEST_F(AnalogData, PrintsIntoAnyPainterAtItsResolution) {
  // A 300 dpi page against a 96 dpi screen: rulers of 300 / 5 = 60 pixels, marks x3,
  // white background, traces 5 pixels wide, a black frame around the plot.
  QImage page(1200, 800, QImage::Format_RGB32);
  page.setDotsPerMeterX(qRound(300 / 0.0254));
  page.setDotsPerMeterY(qRound(300 / 0.0254));
  page.fill(ToRgb(kSentinel));
  QImage screen(1, 1, QImage::Format_RGB32);
  screen.setDotsPerMeterX(qRound(96 / 0.0254));
  screen.setDotsPerMeterY(qRound(96 / 0.0254));
  d.BackColor = 0xF0F0F0;
  d.PaintLocked = true; // the window locks the screen while it prints
  a.assign(201, 50.0f);
  QPainter p(&page);
  d.Print(p, page.rect(), 3, &screen);
  p.end();
  Save(page);
  EXPECT_EQ(d.PrinterDpiX, 300);
  EXPECT_EQ(d.PrintScaleX, 3.0);
  EXPECT_DOUBLE_EQ(d.PixelsPerSample, 1140.0 / 201);
  EXPECT_DOUBLE_EQ(d.PixelsPerCode, 740.0 / 189);
  // Plot (60, 0)-(1200, 740): frame, background, the trace at 370 - 50 x 740 / 189.
  EXPECT_TRUE(Is(page, 60, 300, 0x000000));
  EXPECT_TRUE(Is(page, 1199, 300, 0x000000));
  EXPECT_TRUE(Is(page, 600, 739, 0x000000));
  EXPECT_TRUE(Is(page, 600, 100, 0xFFFFFF));
  const int y = 370 - qRound(50 * 740.0 / 189);
  for (int dy = -2; dy <= 2; ++dy)
    EXPECT_TRUE(Is(page, 600, y + dy, kColorA)) << dy;
  EXPECT_FALSE(Is(page, 600, y + 4, kColorA));
  EXPECT_TRUE(Is(page, 30, 790, kSentinel)) << "nothing in the corner below the left ruler";
  EXPECT_TRUE(Is(page, 100, 790, 0xFFFFFF)) << "time ruler";
  EXPECT_EQ(Count(page, 0, 0, 1200, 800, kSentinel), 60 * 60 * 2) << "both lower corners";
}

} // namespace
