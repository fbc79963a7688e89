// The oscilloscope display's repaint: two channels of 524288 samples into a
// 1600 x 600 image, laid out as in the oscilloscope window (grid, rulers, trigger
// and two cursors). The control repaints on every mouse move, so one repaint must
// stay well inside a frame.
//
//   whole record, mouse move:  envelope mode, the column extremes already known
//   whole record, new capture: envelope mode after DataChanged() (one pass over the record)
//   whole record with math:    the same with the A - B trace (mouse move, then new capture)
//   point mode, 0.2 px/sample: the most samples point mode draws (5 per pixel)
//   point mode, 1:1:           one sample per pixel
//   widget repaint:            the paint event (off-screen image, copy) of the whole record
//
// VELK_BENCH_IMAGE=FILE.png saves the whole-record picture for a look.
#include "analogdata.h"

#include <QApplication>
#include <QImage>
#include <QPainter>

#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdlib>
#include <vector>

namespace {

constexpr uint32_t kSamples = 524288;
constexpr int kWidth = 1600, kHeight = 600;

struct TScene {
  std::vector<float> a, b;
  TAnalogData d;
  QImage image{kWidth, kHeight, QImage::Format_RGB32};

  TScene() : a(kSamples), b(kSamples) {
    // A sine of 100 codes and a square of 60 codes with a little noise, 8-bit scale.
    uint32_t seed = 1;
    for (uint32_t i = 0; i < kSamples; ++i) {
      seed = seed * 1103515245u + 12345u;
      const float noise = static_cast<float>((seed >> 16) % 5) - 2.0f;
      a[i] = std::round(100.0f * std::sin(i * 2.0f * 3.14159265f / 4096.0f)) + noise;
      b[i] = ((i / 3000) % 2 ? 60.0f : -60.0f) + noise;
    }
    d.resize(kWidth, kHeight);
    d.RulerHeight = 20;
    d.RulerWidthL = d.RulerWidthR = 25;
    d.BackColor = 0xFFFFFF;
    d.GridColor = 0xC0C0C0;
    d.RulerBackColor = 0xF3F3F3;
    d.RulerTextColor = d.RulerTextAColor = d.RulerTextBColor = 0x606060;
    d.RulerBackAColor = d.RulerBackBColor = 0xE1FFFF;
    d.ColorA = 0x0000C0;
    d.ColorB = 0xC00000;
    d.CursorXColor = 0x0000FF;
    d.CursorYColor = 0x800000;
    d.CursorTColor = 0xFF00FF;
    d.CursorTEn = d.CursorXEn = d.CursorYEn = true;
    d.CursorXPos = 100000;
    d.CursorYPos = 300000;
    d.CursorXLevel = 40;
    d.CursorYLevel = -40;
    d.DataA = a.data();
    d.DataB = b.data();
    d.SampleCount = kSamples;
    d.SampleRate = 100e6;
    d.TriggerPos = kSamples / 2;
    d.TriggerLevel = 20;
    d.HalfRange = 128;
    d.HalfScaleA = 5000;
    d.HalfScaleB = 250;
    d.RangeY = 256;
    d.MouseInside = true;
    d.DrawCross = true;
  }

  void Window(uint32_t first, uint32_t visible) {
    d.FirstSample = first;
    d.VisibleSamples = visible;
  }

  void Paint() {
    QPainter p(&image);
    d.Render(p, image.rect(), dmScreen);
  }
};

TScene &Scene() {
  static TScene *scene = new TScene;
  return *scene;
}

void BM_WholeRecordMouseMove(benchmark::State &state) {
  TScene &s = Scene();
  s.Window(0, kSamples);
  s.Paint(); // the column extremes of this window
  int x = 0;
  for (auto _ : state) {
    s.d.MouseX = 30 + (x++ % 1500);
    s.Paint();
    benchmark::DoNotOptimize(s.image.constBits());
  }
  if (const char *file = std::getenv("VELK_BENCH_IMAGE")) s.image.save(file);
}
BENCHMARK(BM_WholeRecordMouseMove)->Unit(benchmark::kMillisecond);

void BM_WholeRecordNewCapture(benchmark::State &state) {
  TScene &s = Scene();
  s.Window(0, kSamples);
  for (auto _ : state) {
    s.d.DataChanged();
    s.Paint();
    benchmark::DoNotOptimize(s.image.constBits());
  }
}
BENCHMARK(BM_WholeRecordNewCapture)->Unit(benchmark::kMillisecond);

void BM_WholeRecordMath(benchmark::State &state) {
  TScene &s = Scene();
  s.Window(0, kSamples);
  s.d.MathMode = 2;
  s.d.ColorM = 0x008000;
  const bool newCapture = state.range(0) != 0;
  s.Paint();
  for (auto _ : state) {
    if (newCapture) s.d.DataChanged();
    s.Paint();
    benchmark::DoNotOptimize(s.image.constBits());
  }
  s.d.MathMode = 0;
  state.SetLabel(newCapture ? "new capture" : "mouse move");
}
BENCHMARK(BM_WholeRecordMath)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

void BM_PointMode(benchmark::State &state) {
  TScene &s = Scene();
  const uint32_t columns = kWidth - 50 - 1;
  // 0.2 pixels per sample: (columns / 0.2) + 1 samples; 1:1: columns + 1.
  const uint32_t visible = state.range(0) == 5 ? columns * 5 + 1 : columns + 1;
  s.Window(kSamples / 2 - visible / 2, visible);
  for (auto _ : state) {
    s.Paint();
    benchmark::DoNotOptimize(s.image.constBits());
  }
  state.SetLabel(state.range(0) == 5 ? "0.2 px/sample" : "1 px/sample");
}
BENCHMARK(BM_PointMode)->Arg(5)->Arg(1)->Unit(benchmark::kMillisecond);

void BM_WidgetRepaint(benchmark::State &state) {
  TScene &s = Scene();
  s.Window(0, kSamples);
  QImage target(kWidth, kHeight, QImage::Format_RGB32);
  for (auto _ : state) {
    s.d.render(&target);
    benchmark::DoNotOptimize(target.constBits());
  }
}
BENCHMARK(BM_WidgetRepaint)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char **argv) {
  setenv("QT_QPA_PLATFORM", "offscreen", 0);
  QApplication app(argc, argv);
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
