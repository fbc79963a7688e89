// The oscilloscope's window onto a capture: the first sample shown, the number
// of samples across the plot, the vertical range (codes over 95 % of the plot
// height) and the vertical offset, with the zoom history.
//
// All arithmetic is signed 64-bit, and every operation ends in one clamp, so no
// command can leave the window past the record, make it longer than the record
// or wrap a value: 0 <= FirstSample, FirstSample + VisibleSamples <= BuffLength,
// VisibleSamples >= min(2, BuffLength), RangeY within [HalfRange / 4, 4 x HalfRange]
// (at least 1) and OffsetY within +-2 x HalfRange.
#pragma once

#include <array>
#include <cstdint>

// RoundHalfUp(x): floor(x) when x - floor(x) < 0.5, else ceil(x); NaN gives 0,
// values beyond +-2^62 are held there.
int64_t RoundHalfUp(double x);

struct TViewWindow {
  int64_t FirstSample = 0;
  int64_t VisibleSamples = 0;
  int64_t OffsetY = 0;
  int64_t RangeY = 0;
  bool operator==(const TViewWindow &) const = default;
};

class TScopeView {
public:
  static constexpr int kHistorySize = 10;
  static constexpr int64_t kMinZoomSamples = 50;

  // The capture's length and the converter's half range. A different length
  // clears the zoom history; the window is clamped into the new record.
  void SetRecord(int64_t buffLength, int64_t halfRange);
  // The whole capture, no offset, a range of two half ranges (window creation,
  // file load).
  void Init();

  // Zoom commands: each saves the current view first (except a zoom X-Y that
  // does nothing).
  void ZoomInX();
  void ZoomOutX();
  void ZoomInY();
  void ZoomOutY();
  // The samples between two cursor positions; nothing when they are equal.
  void ZoomXY(int64_t cursorX, int64_t cursorY);
  void ZoomAll();
  // One sample per pixel of a plot displayWidth pixels wide.
  void Zoom11(int64_t displayWidth);
  // Restores the last saved view; false when the history is empty.
  bool ZoomPrevious();

  // Scrolling and jumps do not enter the history.
  void ScrollX(int64_t firstSample);
  void ScrollY(int64_t offsetY);
  // Centres the window on a sample position.
  void JumpTo(int64_t position);

  const TViewWindow &View() const { return Current; }
  int64_t FirstSample() const { return Current.FirstSample; }
  int64_t VisibleSamples() const { return Current.VisibleSamples; }
  int64_t OffsetY() const { return Current.OffsetY; }
  int64_t RangeY() const { return Current.RangeY; }
  int64_t BuffLength() const { return Length; }
  int64_t HalfRange() const { return Half; }
  int HistoryCount() const { return Count; }
  bool CanZoomPrevious() const { return Count > 0; }

private:
  void Save();
  void Clamp();

  TViewWindow Current;
  int64_t Length = 0;
  int64_t Half = 1;
  std::array<TViewWindow, kHistorySize> History{};
  int Count = 0;
};
