#include "analogdata.h"

#include <QFontMetrics>
#include <QImage>
#include <QMouseEvent>
#include <QPaintDevice>
#include <QPainter>
#include <QPolygon>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <limits>

namespace {

QColor Bgr(uint32_t c) {
  return QColor(c & 0xFF, (c >> 8) & 0xFF, (c >> 16) & 0xFF);
}

// Pixel coordinates stay within a range the raster engine handles; a level far
// off the plot still draws as a line leaving it.
int Px(double v) {
  constexpr int64_t kLimit = 1 << 22;
  return static_cast<int>(std::clamp<int64_t>(RoundHalfUp(v), -kLimit, kLimit));
}

QPen MakePen(const QColor &color, int width, bool dotted = false) {
  QPen pen(color);
  pen.setWidth(width);
  if (dotted) {
    pen.setStyle(Qt::DotLine);
    pen.setCapStyle(Qt::FlatCap);
  }
  return pen;
}

// Appends a point unless it repeats the last one: the raster engine treats the
// end of a zero-length segment as drawn and would drop that pixel.
void Append(QPolygon &points, int x, int y) {
  if (points.isEmpty() || points.last() != QPoint(x, y)) points.append(QPoint(x, y));
}

// RoundHalfUp(left + k x step) for the column of a sample in point mode; the
// values stay within the plot's width, so the general guards are not needed on
// this path, which runs once per sample.
inline int Column(int left, uint32_t k, double step) {
  const double t = left + k * step;
  const double f = t >= 0 ? static_cast<double>(static_cast<int>(t)) : std::floor(t);
  return static_cast<int>(t - f < 0.5 ? f : f + 1);
}

// Folds the polyline through samples 0 .. n - 1 (sample k in column
// RoundHalfUp(left + k x step), level value(k)) into the first, lowest, highest
// and last point of each column. With a solid pen the pixels are those of the
// full polyline: within a column the segments cover exactly the run from the
// lowest to the highest point, whatever order they come in, and the joins to the
// neighbouring columns start at the first point and end at the last. Any
// monotonic mapping of levels to pixel rows draws the same.
template <class TValue>
void FoldColumns(int left, uint32_t n, double step, TValue value, std::vector<TFoldedPoint> &out) {
  out.clear();
  uint32_t k = 0;
  while (k < n) {
    const int x = Column(left, k, step);
    uint32_t end = k + 1;
    if (step < 1) {
      // The first sample of the next column, from the boundary x + 0.5 and then
      // checked with the rounding itself.
      const double guess = std::ceil((x + 0.5 - left) / step);
      end = static_cast<uint32_t>(std::clamp<double>(guess, k + 1, n));
      while (end > k + 1 && Column(left, end - 1, step) > x)
        --end;
      while (end < n && Column(left, end, step) == x)
        ++end;
    }
    const double first = value(k);
    out.push_back({x, first});
    if (end - k > 1) {
      double lo = first, hi = first;
      for (uint32_t i = k + 1; i < end; ++i) {
        const double v = value(i);
        lo = std::min(lo, v);
        hi = std::max(hi, v);
      }
      out.push_back({x, lo});
      out.push_back({x, hi});
      out.push_back({x, value(end - 1)});
    }
    k = end;
  }
}

// The folded points as pixels, level v drawn at row y(v).
template <class TRow> QPolygon ToPolygon(const std::vector<TFoldedPoint> &points, TRow y) {
  QPolygon line;
  line.reserve(static_cast<qsizetype>(points.size()));
  for (const TFoldedPoint &pt : points)
    Append(line, pt.x, y(pt.v));
  return line;
}

void DrawPolyline(QPainter &p, const QPolygon &points) {
  if (points.size() == 1)
    p.drawPoint(points[0]);
  else if (points.size() > 1)
    p.drawPolyline(points);
}

int16_t Truncate16(float v) {
  if (v >= 32767.0f) return 32767;
  if (v <= -32768.0f) return -32768;
  return static_cast<int16_t>(static_cast<int>(v)); // toward zero
}

// Lowest and highest of data[from, to); NaN samples are passed over. Four lanes
// keep the comparisons independent.
void MinMax(const float *data, int64_t from, int64_t to, float &lo, float &hi) {
  float l[4] = {lo, lo, lo, lo}, h[4] = {hi, hi, hi, hi};
  int64_t i = from;
  for (; i + 4 <= to; i += 4)
    for (int k = 0; k < 4; ++k) {
      const float v = data[i + k];
      l[k] = v < l[k] ? v : l[k];
      h[k] = v > h[k] ? v : h[k];
    }
  for (; i < to; ++i) {
    const float v = data[i];
    l[0] = v < l[0] ? v : l[0];
    h[0] = v > h[0] ? v : h[0];
  }
  lo = std::min({l[0], l[1], l[2], l[3]});
  hi = std::max({h[0], h[1], h[2], h[3]});
}

} // namespace

QFont TAnalogData::RulerFont(TDrawMode mode, int printerDpiY, bool bold) {
  QFont f(mode == dmPrinter ? QStringLiteral("Arial") : QStringLiteral("DejaVu Sans"));
  f.setStyleHint(QFont::SansSerif);
  f.setPixelSize(mode == dmPrinter ? std::max(1, 11 * printerDpiY / 144) : 9);
  f.setBold(bold);
  return f;
}

namespace {

// Letter strokes of the markers: polylines of (dx, dy) pairs, -128 ends a stroke.
struct TStroke {
  int n;
  int pts[12];
};
struct TLetter {
  char letter;
  int count;
  TStroke strokes[2];
};
// Below a time-ruler marker, from (x, top).
const TLetter kTimeLetters[] = {
    {'Z', 1, {{4, {-2, 5, 2, 5, -2, 9, 3, 9}}}},
    {'Y', 1, {{5, {-2, 5, 0, 7, 2, 5, 0, 7, 0, 10}}}},
    {'X', 2, {{2, {-2, 5, 3, 10}}, {2, {2, 5, -3, 10}}}},
};
// Beside a voltage-ruler marker, from (u0, level y).
const TLetter kLevelLetters[] = {
    {'T', 2, {{2, {0, -3, 5, -3}}, {2, {2, -3, 2, 4}}}},
    {'Z', 1, {{6, {0, -3, 4, -3, 4, -2, 0, 2, 0, 3, 5, 3}}}},
    {'Y', 2, {{5, {0, -3, 0, -2, 2, 0, 4, -2, 4, -4}}, {2, {2, 0, 2, 4}}}},
    {'X', 2, {{4, {0, -3, 0, -2, 4, 2, 4, 4}}, {4, {4, -3, 4, -2, 0, 2, 0, 4}}}},
};

void DrawLetter(QPainter &p, const TLetter *table, size_t size, char letter, int x0, int y0,
                double sx, double sy) {
  for (size_t i = 0; i < size; ++i) {
    if (table[i].letter != letter) continue;
    for (int s = 0; s < table[i].count; ++s) {
      const TStroke &st = table[i].strokes[s];
      QPolygon poly;
      for (int k = 0; k < st.n; ++k)
        poly.append(QPoint(x0 + static_cast<int>(st.pts[2 * k] * sx),
                           y0 + static_cast<int>(st.pts[2 * k + 1] * sy)));
      p.drawPolyline(poly);
    }
  }
}

const char *MeasName(char type) {
  switch (type) {
  case 'A':
    return "  AVG ";
  case 'F':
    return " Freq ";
  case 'K':
    return " Pk-Pk";
  case 'P':
    return "Period";
  case 'R':
    return "  RMS ";
  default:
    return nullptr;
  }
}

const char *MeasChannelText(char channel) {
  switch (channel) {
  case 'A':
    return " Ch: A";
  case 'B':
    return " Ch: B";
  default:
    return nullptr;
  }
}

} // namespace

TVoltageScale VoltageRulerScale(int32_t halfScaleMilliVolts, int32_t gridDiv) {
  TVoltageScale v;
  int64_t s = gridDiv > 0 ? halfScaleMilliVolts / gridDiv : 0;
  if (s > 999) {
    s /= 1000;
    v.Unit = "V";
  }
  size_t len = 2;
  while (s > 9 && len + 1 < sizeof v.Multiplier) {
    s /= 10;
    v.Multiplier[len++] = '0';
    v.Multiplier[len] = 0;
  }
  v.Step = static_cast<int>(s);
  return v;
}

TTimeStep TimeStep(double P, double w, bool forGrid) {
  static const char *const kUnits[] = {"ks", "s", "ms", "us", "ns", "ps"};
  TTimeStep r;
  if (!(P > 0) || !std::isfinite(P) || !(w > 0)) return r;
  int unit = 1;
  double M = 1, g = P;
  while ((forGrid ? g > 1000 : g >= 1000) && unit < 5) {
    M *= 1000;
    g = P / M;
    ++unit;
  }
  double n = w / g;
  if (n > 20) {
    M *= 0.001;
    g = P / M;
    n = w / g;
    --unit;
  }
  double t = 1;
  int d = 0;
  for (int guard = 0; n < 5 && guard < 400; ++guard) {
    if (w / (P / (2 * M)) >= 5) {
      M *= 2;
      t *= 0.5;
    } else if (w / (P / (5 * M)) >= 5) {
      M *= 5;
      t *= 0.2;
    } else {
      M *= 10;
      if (++d == 2) {
        t *= 100;
        unit = std::min(unit + 1, 5);
      } else {
        t *= 0.1;
      }
    }
    g = P / M;
    n = w / g;
  }
  if (!(g > 0) || !std::isfinite(g)) return r;
  r.Valid = true;
  r.StepPixels = g;
  r.LabelFactor = t;
  r.Unit = kUnits[std::clamp(unit, 0, 5)];
  return r;
}

QString TimeLabel(double value, double labelFactor, const char *unit) {
  char text[64];
  const char *format = labelFactor >= 1 ? "%1.0f%s" : labelFactor >= 0.1 ? "%1.1f%s" : "%1.2f%s";
  std::snprintf(text, sizeof text, format, value, unit);
  return QString::fromLatin1(text);
}

TAnalogData::TAnalogData(QWidget *parent) : QWidget(parent) {
  resize(220, 100);
  setMouseTracking(true);
  // Not an opaque widget: when there is nothing to draw (no window of samples, no
  // range) the control paints nothing and its parent's background shows.
}

int TAnalogData::LevelY(const TPlotRect &r, double value) const {
  return Px(r.Mid() - (OffsetY + value) * PixelsPerCode);
}

int TAnalogData::SampleX(const TPlotRect &r, double sample) const {
  return r.left + Px((sample - FirstSample) * PixelsPerSample);
}

bool TAnalogData::Render(QPainter &p, const QRect &area, TDrawMode mode, unsigned channels) {
  if (mode == dmPrinter) {
    Print(p, area, channels);
    return true;
  }
  if (!CanPaint()) return false;
  const int W = area.width(), H = area.height();
  const int RL = RulerWidthL, RR = RulerWidthR, RH = RulerHeight;
  // Two samples at least span the plot; a single one would divide by zero.
  PixelsPerSample =
      (W - RL - RR - 1) / static_cast<double>(std::max<uint32_t>(VisibleSamples, 2) - 1);
  PixelsPerCode = (H * 0.95 - RH) / RangeY;
  PrintScaleX = PrintScaleY = 1.0;

  p.save();
  p.translate(area.topLeft());
  p.setBackgroundMode(Qt::TransparentMode);
  DrawAnalog(p, {RL, 0, W - RR, H - RH}, channels, dmScreen);
  if (RH > 0) DrawRulerT(p, {RL, H - RH, W - RR, H}, dmScreen);
  if (RL > 0) DrawRulerV(p, {0, 0, RL, H - RH}, dmScreen, sideLeft);
  if (RR > 0) DrawRulerV(p, {W - RR, 0, W, H - RH}, dmScreen, sideRight);
  if (RH > 0 && RL > 0) DrawChSwitch(p, {0, H - RH, RL, H}, sideLeft);
  if (RH > 0 && RR > 0) DrawChSwitch(p, {W - RR, H - RH, W, H}, sideRight);
  p.restore();
  return true;
}

void TAnalogData::paintEvent(QPaintEvent *) {
  if (!CanPaint()) return;
  const qreal ratio = devicePixelRatioF();
  QImage image(size() * ratio, QImage::Format_RGB32);
  image.setDevicePixelRatio(ratio);
  {
    QPainter ip(&image);
    Render(ip, rect(), dmScreen);
  }
  QPainter wp(this);
  wp.drawImage(0, 0, image);
}

void TAnalogData::Print(QPainter &p, const QRect &area, unsigned channels,
                        const QPaintDevice *reference) {
  if (VisibleSamples == 0 || RangeY == 0) return;
  QPaintDevice *device = p.device();
  PrinterDpiX = device ? device->logicalDpiX() : 300;
  PrinterDpiY = device ? device->logicalDpiY() : 300;
  const QPaintDevice *screen = reference ? reference : this;
  // Printer pixels per screen pixel, an integer; a printer coarser than the
  // screen still draws its marks at screen size.
  PrintScaleX = std::max(1, PrinterDpiX / std::max(1, screen->logicalDpiX()));
  PrintScaleY = std::max(1, PrinterDpiY / std::max(1, screen->logicalDpiY()));

  const int mx = PrinterDpiX / 5, my = PrinterDpiY / 5;
  const TPlotRect a{area.left(), area.top(), area.left() + area.width(),
                    area.top() + area.height()};
  TPlotRect plot = a;
  plot.left += mx;
  plot.bottom -= my;
  if (HalfScaleA != HalfScaleB) plot.right -= mx;
  PixelsPerSample = static_cast<double>(plot.Width()) / VisibleSamples;
  PixelsPerCode = static_cast<double>(plot.Height()) / RangeY;

  p.save();
  p.setBackgroundMode(Qt::TransparentMode);
  DrawAnalog(p, plot, channels, dmPrinter);
  DrawRulerT(p, {a.left + mx, plot.bottom, a.right - mx, a.bottom}, dmPrinter);
  DrawRulerV(p, {a.left, a.top, a.left + mx, a.bottom - my}, dmPrinter, sideLeft);
  if (HalfScaleA != HalfScaleB)
    DrawRulerV(p, {a.right - mx, a.top, a.right, a.bottom - my}, dmPrinter, sideRight);
  p.setPen(MakePen(Qt::black, 1));
  p.setBrush(Qt::NoBrush);
  p.drawRect(plot.left, plot.top, plot.Width() - 1, plot.Height() - 1);
  p.restore();
}

void TAnalogData::DrawAnalog(QPainter &p, const TPlotRect &r, unsigned channels, TDrawMode mode) {
  const bool printer = mode == dmPrinter;
  p.save();
  p.setClipRect(r.ToQRect());
  p.fillRect(r.ToQRect(), printer ? QColor(Qt::white) : Bgr(BackColor));
  if (DrawCross && MouseInside) {
    p.setPen(MakePen(printer ? QColor(Qt::black) : Bgr(GridColor), 1));
    p.drawLine(r.left, MouseY, r.right - 1, MouseY);
    p.drawLine(MouseX, r.top, MouseX, r.bottom - 1);
  }
  if (ShowGrid) DrawGrid(p, r, mode);

  if (SampleCount > 0 && (DataA || DataB) && channels != 0) {
    // Trigger marks
    const int width = printer ? 3 : 1;
    p.setPen(MakePen(Bgr(CursorTColor), width));
    const bool external = TriggerChannel >= 2;
    int ty = Px(r.Mid());
    if (!external) {
      const bool inv = TriggerChannel == 0 ? InvertA : InvertB;
      const int32_t pos = TriggerChannel == 0 ? PositionA : PositionB;
      ty = LevelY(r, pos + (inv ? -static_cast<double>(TriggerLevel) : TriggerLevel));
    }
    if (CursorTEn && !external) p.drawLine(r.left, ty, r.right - 1, ty);
    if (CursorTEn) {
      const int tx = SampleX(r, TriggerPos);
      p.drawLine(tx, r.top, tx, r.bottom - 1);
    }

    DrawMath(p, r, mode);
    if (ChannelAOnTop) {
      if (channels & 2) DrawChB(p, r, mode);
      if (channels & 1) DrawChA(p, r, mode);
    } else {
      if (channels & 1) DrawChA(p, r, mode);
      if (channels & 2) DrawChB(p, r, mode);
    }
    DrawCursorLines(p, r, mode);
    if (ShowAddText && !printer) DrawOverlay(p, r);
  }
  p.restore();
}

void TAnalogData::DrawCursorLines(QPainter &p, const TPlotRect &r, TDrawMode mode) {
  const int width = mode == dmPrinter ? 3 : 1;
  const int tick = static_cast<int>(5 * PrintScaleX);
  struct {
    bool en;
    uint32_t pos;
    int32_t level;
    uint32_t color;
  } const cursors[] = {{CursorZEn, CursorZPos, CursorZLevel, CursorZColor},
                       {CursorYEn, CursorYPos, CursorYLevel, CursorYColor},
                       {CursorXEn, CursorXPos, CursorXLevel, CursorXColor}};
  for (const auto &c : cursors) {
    if (!c.en) continue;
    p.setPen(MakePen(Bgr(c.color), width));
    const int x = SampleX(r, c.pos);
    const int y = LevelY(r, c.level);
    p.drawLine(x, r.top, x, r.bottom - 1);
    p.drawLine(x - tick, y, x + tick, y);
  }
}

void TAnalogData::DrawChA(QPainter &p, const TPlotRect &r, TDrawMode mode) {
  if (ShowRefA && RefDataA)
    DrawTrace(p, r, mode, 2, RefDataA, ColorRA, DataValidA, InvertA, PositionA);
  if (ShowA && DataA) DrawTrace(p, r, mode, 0, DataA, ColorA, DataValidA, InvertA, PositionA);
}

void TAnalogData::DrawChB(QPainter &p, const TPlotRect &r, TDrawMode mode) {
  if (ShowRefB && RefDataB)
    DrawTrace(p, r, mode, 3, RefDataB, ColorRB, DataValidB, InvertB, PositionB);
  if (ShowB && DataB) DrawTrace(p, r, mode, 1, DataB, ColorB, DataValidB, InvertB, PositionB);
}

const TAnalogData::TEnvelope &TAnalogData::Envelope(int slot, const float *data, int columns) {
  TEnvelope &e = Envelopes[slot];
  if (e.Data == data && e.Generation == DataGeneration && e.SampleCount == SampleCount &&
      e.FirstSample == FirstSample && e.VisibleSamples == VisibleSamples && e.Columns == columns)
    return e;
  e.Data = data;
  e.Generation = DataGeneration;
  e.SampleCount = SampleCount;
  e.FirstSample = FirstSample;
  e.VisibleSamples = VisibleSamples;
  e.Columns = columns;
  e.Min.assign(columns, 32767);
  e.Max.assign(columns, -32768);
  // Each column folds n samples from the accumulated offset on; consecutive
  // indexes from one rounded start are the rounded indexes of the column.
  const double per = static_cast<double>(VisibleSamples) / columns;
  const int64_t n = RoundHalfUp(per);
  double s = 0;
  for (int c = 0; c < columns; ++c, s += per) {
    const int64_t start = RoundHalfUp(FirstSample + s);
    const int64_t end = std::min<int64_t>(start + n, SampleCount);
    if (start >= end || start < 0) continue;
    float lo = std::numeric_limits<float>::infinity(), hi = -lo;
    MinMax(data, start, end, lo, hi);
    if (lo > hi) continue; // only NaN samples
    e.Min[c] = Truncate16(lo);
    e.Max[c] = Truncate16(hi);
  }
  return e;
}

void TAnalogData::DrawTrace(QPainter &p, const TPlotRect &r, TDrawMode mode, int slot,
                            const float *data, uint32_t color, bool valid, bool invert,
                            int32_t position) {
  if (FirstSample >= SampleCount) return;
  const bool printer = mode == dmPrinter;
  p.setPen(MakePen(Bgr(color), printer ? 5 : 1, !valid));
  const double sign = invert ? -1.0 : 1.0;
  const double mid = r.Mid();
  const double base = OffsetY + position;
  auto y = [&](double v) { return Px(mid - (base + sign * v) * PixelsPerCode); };

  if (printer || PixelsPerSample >= 0.2) {
    const uint32_t n = std::min(VisibleSamples, SampleCount - FirstSample);
    std::vector<TFoldedPoint> points;
    const float *d = data + FirstSample;
    FoldColumns(
        r.left, n, PixelsPerSample, [d](uint32_t k) { return double(d[k]); }, points);
    DrawPolyline(p, ToPolygon(points, y));
    return;
  }

  // Envelope: more than five samples per pixel column.
  const int columns = r.Width();
  if (columns <= 0) return;
  const TEnvelope &e = Envelope(slot, data, columns);
  QPolygon line;
  line.reserve(2 * columns + 1);
  Append(line, r.left, y(data[FirstSample]));
  for (int c = 0; c < columns; ++c) {
    const int x = r.left + c;
    if (e.Min[c] < e.Max[c]) {
      Append(line, x, y(e.Min[c]));
      Append(line, x, y(e.Max[c]));
    } else if (e.Min[c] == e.Max[c]) {
      Append(line, x, y(e.Min[c]));
    }
  }
  DrawPolyline(p, line);
}

void TAnalogData::DrawMath(QPainter &p, const TPlotRect &r, TDrawMode mode) {
  if (MathMode < 1 || MathMode > 3 || !DataA || !DataB || FirstSample >= SampleCount) return;
  p.setPen(MakePen(Bgr(ColorM), mode == dmPrinter ? 5 : 1, !(DataValidA && DataValidB)));
  // a = +-A[i] + PositionA, b = +-B[i] + PositionB; A+B: a + b, A-B: a - b, B-A: b - a.
  // The sample-dependent part ca x A[i] + cb x B[i] is folded per column and kept
  // between paints; positions and the offset are added when drawing.
  const int sa = InvertA ? -1 : 1, sb = InvertB ? -1 : 1;
  const int ca = MathMode == 3 ? -sa : sa, cb = MathMode == 2 ? -sb : sb;
  const double constant = MathMode == 1   ? PositionA + PositionB
                          : MathMode == 2 ? PositionA - PositionB
                                          : PositionB - PositionA;
  TMathCache &m = MathCache;
  if (!(m.A == DataA && m.B == DataB && m.Generation == DataGeneration &&
        m.SampleCount == SampleCount && m.FirstSample == FirstSample &&
        m.VisibleSamples == VisibleSamples && m.PixelsPerSample == PixelsPerSample &&
        m.Left == r.left && m.Width == r.Width() && m.Ca == ca && m.Cb == cb)) {
    m = {DataA,           DataB,  DataGeneration, SampleCount, FirstSample, VisibleSamples,
         PixelsPerSample, r.left, r.Width(),      ca,          cb,          std::move(m.Points)};
    const uint32_t n = std::min(VisibleSamples, SampleCount - FirstSample);
    const float *a = DataA + FirstSample, *b = DataB + FirstSample;
    FoldColumns(
        r.left, n, PixelsPerSample,
        [a, b, ca, cb](uint32_t k) { return ca * double(a[k]) + cb * double(b[k]); }, m.Points);
  }
  const double mid = r.Mid();
  const double base = constant + OffsetY;
  DrawPolyline(p,
               ToPolygon(m.Points, [&](double v) { return Px(mid - (v + base) * PixelsPerCode); }));
}

void TAnalogData::DrawGrid(QPainter &p, const TPlotRect &r, TDrawMode mode) {
  const QColor color = mode == dmPrinter ? QColor(Qt::black) : Bgr(GridColor);
  const double mid = r.Mid();
  p.setPen(MakePen(color, 1));
  const int y0 = Px(mid - OffsetY * PixelsPerCode);
  p.drawLine(r.left, y0, r.right - 1, y0);

  p.setPen(MakePen(color, 1, true));
  if (GridDiv > 0) {
    for (int i = 1; i <= 19; ++i) {
      const double d = i * static_cast<double>(HalfRange) / GridDiv;
      const int above = Px(mid - (d + OffsetY) * PixelsPerCode);
      if (above >= r.top) p.drawLine(r.left, above, r.right - 1, above);
      const int below = Px(mid - (OffsetY - d) * PixelsPerCode);
      if (below < r.bottom) p.drawLine(r.left, below, r.right - 1, below);
    }
  }

  if (SampleRate == 0) return;
  const TTimeStep step = TimeStep(PixelsPerSample * SampleRate, r.Width(), true);
  if (!step.Valid) return;
  const double x0 = r.left + (static_cast<double>(TriggerPos) - FirstSample) * PixelsPerSample;
  const double steps = std::ceil(SampleCount * PixelsPerSample / step.StepPixels);
  const double kFrom = std::max(std::ceil((r.left - x0) / step.StepPixels), -steps);
  const double kTo = std::min(std::ceil((r.right - x0) / step.StepPixels) - 1, steps);
  for (double k = kFrom; k <= kTo && k - kFrom < 10000; ++k) {
    const int x = Px(x0 + k * step.StepPixels);
    if (x >= r.left && x < r.right) p.drawLine(x, r.top, x, r.bottom - 1);
  }
}

void TAnalogData::DrawTimeMarker(QPainter &p, const TPlotRect &r, int x, uint32_t color,
                                 char letter) {
  const QColor c = Bgr(color);
  const int dx = static_cast<int>(3 * PrintScaleX), dy = static_cast<int>(3 * PrintScaleY);
  p.setPen(MakePen(c, 1));
  p.setBrush(c);
  const QPoint tri[3] = {{x, r.top}, {x - dx, r.top + dy}, {x + dx, r.top + dy}};
  p.drawPolygon(tri, 3);
  p.setBrush(Qt::NoBrush);
  if (letter)
    DrawLetter(p, kTimeLetters, std::size(kTimeLetters), letter, x, r.top, PrintScaleX,
               PrintScaleY);
}

void TAnalogData::DrawRulerT(QPainter &p, const TPlotRect &r, TDrawMode mode) {
  const bool printer = mode == dmPrinter;
  p.fillRect(r.ToQRect(), printer ? QColor(Qt::white) : Bgr(RulerBackColor));
  if (SampleRate == 0) return;
  p.save();
  p.setClipRect(r.ToQRect());
  const TTimeStep step = TimeStep(PixelsPerSample * SampleRate, r.Width(), false);
  if (step.Valid) {
    p.setFont(RulerFont(mode, PrinterDpiY));
    p.setPen(printer ? QColor(Qt::black) : Bgr(RulerTextColor));
    const double x0 = r.left + (static_cast<double>(TriggerPos) - FirstSample) * PixelsPerSample;
    const double steps = std::ceil(SampleCount * PixelsPerSample / step.StepPixels);
    const double kFrom = std::max(std::ceil((r.left - x0) / step.StepPixels), -steps);
    const double kTo = std::min(std::ceil((r.right - x0) / step.StepPixels) - 1, steps);
    const int half = r.Height() * 4;
    for (double k = kFrom; k <= kTo && k - kFrom < 10000; ++k) {
      const int x = Px(x0 + k * step.StepPixels);
      if (x < r.left || x >= r.right) continue;
      p.drawText(QRect(x - half, r.top, 2 * half, r.Height()), Qt::AlignHCenter | Qt::AlignBottom,
                 TimeLabel(k * step.LabelFactor, step.LabelFactor, step.Unit));
    }
  }
  DrawTimeMarker(p, r, SampleX(r, TriggerPos), CursorTColor, 0);
  if (CursorZEn) DrawTimeMarker(p, r, SampleX(r, CursorZPos), CursorZColor, 'Z');
  if (CursorYEn) DrawTimeMarker(p, r, SampleX(r, CursorYPos), CursorYColor, 'Y');
  if (CursorXEn) DrawTimeMarker(p, r, SampleX(r, CursorXPos), CursorXColor, 'X');
  p.restore();
}

void TAnalogData::DrawLevelMarker(QPainter &p, const TPlotRect &r, TSide side, int y,
                                  uint32_t color, char letter) {
  const QColor c = letter ? Bgr(color) : p.pen().color();
  const int dx = static_cast<int>(3 * PrintScaleX), dy = static_cast<int>(3 * PrintScaleY);
  p.setPen(MakePen(c, 1));
  p.setBrush(c);
  // A triangle pointing at the plot.
  const int tip = side == sideLeft ? r.right - 1 : r.left;
  const int back = side == sideLeft ? tip - dx : tip + dx;
  const QPoint tri[3] = {{tip, y}, {back, y - dy}, {back, y + dy}};
  p.drawPolygon(tri, 3);
  p.setBrush(Qt::NoBrush);
  if (!letter) return;
  const int u0 = side == sideLeft ? r.right - static_cast<int>(10 * PrintScaleX)
                                  : r.left + static_cast<int>(5 * PrintScaleX);
  DrawLetter(p, kLevelLetters, std::size(kLevelLetters), letter, u0, y, PrintScaleX, PrintScaleY);
}

void TAnalogData::DrawRulerV(QPainter &p, const TPlotRect &r, TDrawMode mode, TSide side) {
  const bool printer = mode == dmPrinter;
  const bool left = side == sideLeft;
  const bool show = left ? ShowA : ShowB;
  const int32_t position = left ? PositionA : PositionB;
  const QColor back = printer ? QColor(Qt::white) : Bgr(left ? RulerBackAColor : RulerBackBColor);
  const QColor text = printer ? QColor(Qt::black) : Bgr(left ? RulerTextAColor : RulerTextBColor);
  const TVoltageScale scale = VoltageRulerScale(left ? HalfScaleA : HalfScaleB, GridDiv);
  const QFont bold = RulerFont(mode, PrinterDpiY);
  const QFont normal = RulerFont(mode, PrinterDpiY, false);
  const QFontMetrics fm(bold, p.device()), fmNormal(normal, p.device());
  const double mid = r.Mid();
  const int wide = r.Width() * 4; // label boxes centred on the ruler, wider than it

  p.fillRect(r.ToQRect(), back);
  p.save();
  p.setClipRect(r.ToQRect());
  p.setFont(bold);

  if (show) {
    const int y0 = Px(mid - (OffsetY + position) * PixelsPerCode);
    p.setPen(MakePen(text, 1));
    DrawLevelMarker(p, r, side, y0, 0, 0);
    p.setPen(text);
    const QString zero = QStringLiteral("0");
    p.drawText(r.left + (r.Width() - fm.horizontalAdvance(zero)) / 2, y0 + fm.ascent() / 2, zero);
  }

  const int tick = static_cast<int>(3 * PrintScaleX);
  for (int i = 1; i <= 19; ++i) {
    for (int sign : {1, -1}) {
      const double d = GridDiv > 0 ? sign * i * static_cast<double>(HalfRange) / GridDiv : 0;
      const int y = Px(mid - (d + OffsetY + position) * PixelsPerCode);
      p.setPen(MakePen(text, 1));
      if (left)
        p.drawLine(r.right - tick, y, r.right - 1, y);
      else
        p.drawLine(r.left, y, r.left + tick - 1, y);
      if (!show) continue;
      p.setPen(text);
      const QString label = QString::number(static_cast<int64_t>(sign) * i * scale.Step);
      const int h = fm.height();
      p.drawText(QRect(r.left - wide, sign > 0 ? y : y - h, r.Width() + 2 * wide, h),
                 Qt::AlignHCenter | (sign > 0 ? Qt::AlignTop : Qt::AlignBottom), label);
    }
  }

  if (TriggerChannel == side) {
    const bool inv = left ? InvertA : InvertB;
    DrawLevelMarker(
        p, r, side,
        Px(mid - (OffsetY + position + (inv ? -static_cast<double>(TriggerLevel) : TriggerLevel)) *
                     PixelsPerCode),
        CursorTColor, 'T');
  }
  if (CursorZEn) DrawLevelMarker(p, r, side, LevelY(r, CursorZLevel), CursorZColor, 'Z');
  if (CursorYEn) DrawLevelMarker(p, r, side, LevelY(r, CursorYLevel), CursorYColor, 'Y');
  if (CursorXEn) DrawLevelMarker(p, r, side, LevelY(r, CursorXLevel), CursorXColor, 'X');
  p.restore();

  // Header: unit, and the multiplier when it is more than "x1".
  p.save();
  const int band = fm.height();
  p.fillRect(QRect(r.left, r.top, r.Width(), band), back);
  if (show) {
    p.setFont(bold);
    p.setPen(text);
    p.drawText(QRect(r.left - wide, r.top, r.Width() + 2 * wide, band), Qt::AlignCenter,
               QString::fromLatin1(scale.Unit));
    if (std::strlen(scale.Multiplier) > 2) {
      const int band2 = fmNormal.height();
      p.fillRect(QRect(r.left, r.top + band, r.Width(), band2), back);
      p.setFont(normal);
      p.drawText(QRect(r.left - wide, r.top + band, r.Width() + 2 * wide, band2), Qt::AlignCenter,
                 QString::fromLatin1(scale.Multiplier));
    }
  }
  p.restore();
}

void TAnalogData::DrawChSwitch(QPainter &p, const TPlotRect &r, TSide side) {
  const bool left = side == sideLeft;
  p.fillRect(r.ToQRect(), Bgr(left ? RulerBackAColor : RulerBackBColor));
  if (!left || !ShowA || !ShowB) return;
  const int q = r.Width() / 4;
  const QColor under = Bgr(ChannelAOnTop ? ColorB : ColorA);
  const QColor top = Bgr(ChannelAOnTop ? ColorA : ColorB);
  p.fillRect(QRect(QPoint(r.left + q, r.top + q), QPoint(r.right - q - 1, r.bottom - q - 1)),
             under);
  p.save();
  p.setPen(MakePen(top, 1));
  p.setBrush(top);
  const QPoint tri[3] = {
      {r.left + q, r.bottom - q - 1}, {r.left + q, r.top + q}, {r.right - q - 1, r.top + q}};
  p.drawPolygon(tri, 3);
  p.restore();
}

void TAnalogData::DrawOverlay(QPainter &p, const TPlotRect &r) {
  p.save();
  QFont small(QStringLiteral("DejaVu Sans"));
  small.setStyleHint(QFont::SansSerif);
  small.setBold(true);
  small.setPixelSize(12); // a 14-pixel cell
  QFont large = small;
  large.setPixelSize(27); // a 32-pixel cell
  p.setPen(Bgr(TextColor));
  auto text = [&](const QFont &f, int dx, int dy, const QString &s) {
    p.setFont(f);
    p.drawText(QRect(r.left + dx, r.top + dy, std::max(r.Width() - dx, 0), 64),
               Qt::AlignLeft | Qt::AlignTop, s);
  };
  if (const char *name = MeasName(MeasType1)) text(small, 10, 7, QString::fromLatin1(name));
  if (const char *name = MeasName(MeasType2)) text(small, 10, 37, QString::fromLatin1(name));
  if (const char *ch = MeasChannelText(MeasChannel1)) text(small, 10, 19, QString::fromLatin1(ch));
  if (const char *ch = MeasChannelText(MeasChannel2)) text(small, 10, 49, QString::fromLatin1(ch));
  if (MeasText1) text(large, 50, 5, QString::fromLatin1(MeasText1));
  if (MeasText2) text(large, 50, 35, QString::fromLatin1(MeasText2));
  p.restore();
}

void TAnalogData::mousePressEvent(QMouseEvent *e) {
  const int x = static_cast<int>(e->position().x()), y = static_cast<int>(e->position().y());
  const int W = width(), H = height();
  const bool inColumns = x > RulerWidthL && x < W - RulerWidthR;
  if (inColumns && y > H - RulerHeight) {
    if (OnRulerClick) OnRulerClick(e->button(), e->modifiers(), 0, 0);
    return;
  }
  if (x <= RulerWidthL && y >= H - RulerHeight) {
    ChannelAOnTop = !ChannelAOnTop;
    update();
    return;
  }
  if (inColumns) {
    const int64_t index = RoundHalfUp((x - RulerWidthL) / PixelsPerSample) + FirstSample;
    if (index < SampleCount && OnMouseDown)
      OnMouseDown(e->button(), e->modifiers(), x - RulerWidthL, y);
  }
}

void TAnalogData::mouseReleaseEvent(QMouseEvent *e) {
  if (OnMouseUp)
    OnMouseUp(e->button(), e->modifiers(), static_cast<int>(e->position().x()),
              static_cast<int>(e->position().y()));
}

void TAnalogData::mouseMoveEvent(QMouseEvent *e) {
  MouseInside = true;
  MouseX = static_cast<int>(e->position().x());
  MouseY = static_cast<int>(e->position().y());
  if (OnMouseMove) OnMouseMove(e->buttons(), e->modifiers(), MouseX, MouseY);
  update();
}

void TAnalogData::leaveEvent(QEvent *) {
  MouseInside = false;
  update();
}
