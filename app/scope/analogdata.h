// TAnalogData, the oscilloscope picture: traces of channels A and B, their
// reference traces, the math trace, grid, trigger and cursor marks, the time ruler
// along the bottom and one voltage ruler on each side.
//
// The control owns no data. Its window lends it the sample buffers and copies
// scales, positions, colours and cursors into the public fields before a repaint;
// everything is read at paint time. Vertical quantities are converter codes.
//
// One drawing path serves the screen, a test's QImage and a printer page:
// Render(painter, area, mode). On screen the picture is drawn into an off-screen
// image and copied to the widget in one step.
//
// Envelope mode keeps the per-column minimum and maximum of each trace between
// paints, and the math trace its points folded per column, so a repaint on a
// mouse move does not scan the record again. The cache
// follows the buffer pointers, the sample window and the plot width by itself;
// new samples are announced: TakeCapture lends the buffers with LendSamples
// (captures swap buffers, so a pointer seen before may hold new samples), and
// whoever writes into a buffer already lent (a saved reference, a loaded file)
// calls DataChanged().
#pragma once

#include "scopeview.h" // RoundHalfUp

#include <QRect>
#include <QWidget>

#include <cstdint>
#include <functional>
#include <vector>

class QPainter;
class QPaintDevice;

// A point of a polyline folded per pixel column: column and level in codes.
struct TFoldedPoint {
  int x;
  double v;
};

enum TDrawMode : uint8_t { dmScreen = 0, dmPrinter = 1 };
enum TSide : uint8_t { sideLeft = 0, sideRight = 1 };

// A rectangle in the drawing steps' own convention: right and bottom are the
// first column and row outside it.
struct TPlotRect {
  int left = 0, top = 0, right = 0, bottom = 0;
  int Width() const { return right - left; }
  int Height() const { return bottom - top; }
  double Mid() const { return top + (bottom - top) * 0.5; }
  QRect ToQRect() const { return QRect(left, top, right - left, bottom - top); }
};

// Label step of a voltage ruler: the labels are i x Step, Unit "mV" or "V",
// Multiplier "x1", "x10", "x100" ...
struct TVoltageScale {
  int Step = 0;
  const char *Unit = "mV";
  char Multiplier[12] = "x1";
};
TVoltageScale VoltageRulerScale(int32_t halfScaleMilliVolts, int32_t gridDiv);

// Time step of the grid and the time ruler over an area w pixels wide at
// pixelsPerSecond: a line every StepPixels pixels from the trigger, line k
// labelled k x LabelFactor in Unit. Valid is false when no step exists (no time
// base, or an area without width).
struct TTimeStep {
  bool Valid = false;
  double StepPixels = 0;
  double LabelFactor = 1;
  const char *Unit = "s";
};
TTimeStep TimeStep(double pixelsPerSecond, double width, bool forGrid);
// "%1.0f%s", "%1.1f%s" or "%1.2f%s" by the label factor.
QString TimeLabel(double value, double labelFactor, const char *unit);

class TAnalogData : public QWidget {
public:
  explicit TAnalogData(QWidget *parent = nullptr);

  // Published properties: colours are 0x00BBGGRR.
  uint32_t BackColor = 0, GridColor = 0, TextColor = 0;
  uint32_t RulerBackColor = 0, RulerTextColor = 0;
  uint32_t RulerBackAColor = 0, RulerTextAColor = 0;
  uint32_t RulerBackBColor = 0, RulerTextBColor = 0;
  uint32_t ColorA = 0, ColorB = 0, ColorRA = 0, ColorRB = 0, ColorM = 0;
  uint32_t CursorXColor = 0, CursorYColor = 0, CursorZColor = 0, CursorTColor = 0;
  bool CursorXEn = false, CursorYEn = false, CursorZEn = false, CursorTEn = false;
  bool ShowGrid = true;
  bool ShowAddText = false;
  bool DrawCross = false;
  int RulerHeight = 12;
  int RulerWidthL = 12, RulerWidthR = 12;

  // Events. OnMouseDown gets plot-relative x; OnRulerClick always gets 0, 0.
  using TMouseEvent = std::function<void(Qt::MouseButtons, Qt::KeyboardModifiers, int x, int y)>;
  TMouseEvent OnMouseDown, OnMouseUp, OnMouseMove, OnRulerClick;

  // Public fields, filled by the window before a repaint.
  bool PaintLocked = false;
  bool ChannelAOnTop = true;
  bool DataValidA = true, DataValidB = true;
  const float *DataA = nullptr, *DataB = nullptr;
  const float *RefDataA = nullptr, *RefDataB = nullptr;
  bool InvertA = false, InvertB = false;
  uint32_t SampleCount = 5;
  double SampleRate = 10.0;
  uint32_t FirstSample = 0;
  uint32_t VisibleSamples = 5;
  int32_t OffsetY = 0;
  int32_t RangeY = 1;
  int32_t PositionA = 0, PositionB = 0;
  double PixelsPerSample = 0;
  double PixelsPerCode = 0;
  bool ShowA = true, ShowB = true;
  bool ShowRefA = false, ShowRefB = false;
  uint8_t MathMode = 0; // 0 off, 1 A+B, 2 A-B, 3 B-A
  int32_t HalfRange = 5;
  int32_t HalfScaleA = 5, HalfScaleB = 5;
  int32_t GridDiv = 5;
  int32_t TriggerLevel = 0;
  uint8_t TriggerChannel = 0; // 0 A, 1 B, 2 external
  uint32_t CursorXPos = 0, CursorYPos = 0, CursorZPos = 0;
  int32_t CursorXLevel = 0, CursorYLevel = 0, CursorZLevel = 0;
  uint32_t TriggerPos = 0;
  const char *MeasText1 = nullptr, *MeasText2 = nullptr;
  char MeasType1 = 0, MeasType2 = 0;
  char MeasChannel1 = 0, MeasChannel2 = 0;
  bool MouseInside = false;
  int MouseX = 0, MouseY = 0;
  int PrinterDpiX = 0, PrinterDpiY = 0;
  double PrintScaleX = 1.0, PrintScaleY = 1.0;

  // New samples were written into a buffer already lent (same pointer).
  void DataChanged() { ++DataGeneration; }
  // Lends the live or the reference buffers; always counts as new samples, so
  // buffers handed back and forth between captures are never taken for the
  // ones already drawn.
  void LendSamples(const float *a, const float *b) {
    DataA = a;
    DataB = b;
    DataChanged();
  }
  void LendReferences(const float *a, const float *b) {
    RefDataA = a;
    RefDataB = b;
    DataChanged();
  }

  int GetDisplayWidth() const { return width() - RulerWidthL - RulerWidthR; }
  int GetDisplayHeight() const { return height() - RulerHeight; }

  // Whether a screen paint draws anything: not locked, a window of samples and a
  // vertical range.
  bool CanPaint() const { return !PaintLocked && VisibleSamples != 0 && RangeY != 0; }

  // The shared drawing path. Screen: the whole control (plot, rulers, corners) as
  // if it were area.size() large, placed at area.topLeft(); returns false and
  // draws nothing when CanPaint() is false. Printer: the printout of Print.
  bool Render(QPainter &p, const QRect &area, TDrawMode mode, unsigned channels = 3);
  // Plot, rulers and a frame into area of a printer page (any QPainter); the
  // reference device gives the screen resolution (null: this control).
  void Print(QPainter &p, const QRect &area, unsigned channels,
             const QPaintDevice *reference = nullptr);

  // The drawing steps; channels is a bit set (1 = A, 2 = B).
  void DrawAnalog(QPainter &p, const TPlotRect &r, unsigned channels, TDrawMode mode);
  void DrawChA(QPainter &p, const TPlotRect &r, TDrawMode mode);
  void DrawChB(QPainter &p, const TPlotRect &r, TDrawMode mode);
  void DrawMath(QPainter &p, const TPlotRect &r, TDrawMode mode);
  void DrawGrid(QPainter &p, const TPlotRect &r, TDrawMode mode);
  void DrawRulerT(QPainter &p, const TPlotRect &r, TDrawMode mode);
  void DrawRulerV(QPainter &p, const TPlotRect &r, TDrawMode mode, TSide side);
  void DrawChSwitch(QPainter &p, const TPlotRect &r, TSide side);

  // The rulers' font: bold (or normal for the multiplier band), 9 pixels on
  // screen, 11/144 inch on a printer.
  static QFont RulerFont(TDrawMode mode, int printerDpiY, bool bold = true);

protected:
  void paintEvent(QPaintEvent *) override;
  void mousePressEvent(QMouseEvent *e) override;
  void mouseReleaseEvent(QMouseEvent *e) override;
  void mouseMoveEvent(QMouseEvent *e) override;
  void leaveEvent(QEvent *) override;

private:
  // One trace's per-column minimum and maximum (16-bit codes) in envelope mode.
  struct TEnvelope {
    const float *Data = nullptr;
    uint64_t Generation = ~0ull;
    uint32_t SampleCount = 0, FirstSample = 0, VisibleSamples = 0;
    int Columns = 0;
    std::vector<int16_t> Min, Max;
  };
  TEnvelope Envelopes[4]; // A, B, reference A, reference B
  // The math trace's sample-dependent part, folded per column.
  struct TMathCache {
    const float *A = nullptr, *B = nullptr;
    uint64_t Generation = ~0ull;
    uint32_t SampleCount = 0, FirstSample = 0, VisibleSamples = 0;
    double PixelsPerSample = 0;
    int Left = 0, Width = 0;
    int Ca = 0, Cb = 0;
    std::vector<TFoldedPoint> Points;
  } MathCache;
  uint64_t DataGeneration = 0;

  const TEnvelope &Envelope(int slot, const float *data, int columns);
  void DrawTrace(QPainter &p, const TPlotRect &r, TDrawMode mode, int slot, const float *data,
                 uint32_t color, bool valid, bool invert, int32_t position);
  void DrawCursorLines(QPainter &p, const TPlotRect &r, TDrawMode mode);
  void DrawOverlay(QPainter &p, const TPlotRect &r);
  void DrawTimeMarker(QPainter &p, const TPlotRect &r, int x, uint32_t color, char letter);
  void DrawLevelMarker(QPainter &p, const TPlotRect &r, TSide side, int y, uint32_t color,
                       char letter);
  int LevelY(const TPlotRect &r, double value) const;
  int SampleX(const TPlotRect &r, double sample) const;
};
