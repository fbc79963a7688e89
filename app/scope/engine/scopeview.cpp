#include "scopeview.h"

#include <algorithm>
#include <cmath>

int64_t RoundHalfUp(double x) {
  if (std::isnan(x)) return 0;
  constexpr double kLimit = 4611686018427387904.0; // 2^62
  x = std::clamp(x, -kLimit, kLimit);
  const double f = std::floor(x);
  return static_cast<int64_t>(x - f < 0.5 ? f : std::ceil(x));
}

void TScopeView::SetRecord(int64_t buffLength, int64_t halfRange) {
  // Bounds far beyond any instrument's memory and converter, so that no product
  // below can overflow.
  buffLength = std::clamp<int64_t>(buffLength, 0, int64_t{1} << 40);
  if (buffLength != Length) Count = 0;
  Length = buffLength;
  Half = std::clamp<int64_t>(halfRange, 1, int64_t{1} << 31);
  Clamp();
}

void TScopeView::Init() {
  Current = {0, Length, 0, 2 * Half};
  Clamp();
}

void TScopeView::Save() {
  if (Count == kHistorySize) {
    std::move(History.begin() + 1, History.end(), History.begin());
    --Count;
  }
  History[Count++] = Current;
}

void TScopeView::Clamp() {
  TViewWindow &v = Current;
  const int64_t minVisible = std::min<int64_t>(2, Length);
  v.VisibleSamples = std::clamp(v.VisibleSamples, minVisible, Length);
  v.FirstSample = std::clamp<int64_t>(v.FirstSample, 0, Length - v.VisibleSamples);
  v.RangeY = std::clamp<int64_t>(v.RangeY, std::max<int64_t>(Half / 4, 1), 4 * Half);
  v.OffsetY = std::clamp<int64_t>(v.OffsetY, -2 * Half, 2 * Half);
}

void TScopeView::ZoomInX() {
  Save();
  const int64_t h = Current.VisibleSamples / 2;
  if (h >= kMinZoomSamples) {
    Current.FirstSample += Current.VisibleSamples / 4;
    Current.VisibleSamples = h;
  } else {
    Current.VisibleSamples = kMinZoomSamples;
  }
  Clamp();
}

void TScopeView::ZoomOutX() {
  Save();
  Current.FirstSample = std::max<int64_t>(Current.FirstSample - Current.VisibleSamples / 2, 0);
  Current.VisibleSamples *= 2;
  if (Current.VisibleSamples >= Length) {
    Current.FirstSample = 0;
    Current.VisibleSamples = Length;
  }
  Clamp(); // moves a window that passes the end back to end at the last sample
}

void TScopeView::ZoomInY() {
  Save();
  Current.RangeY = std::max(Current.RangeY / 2, Half / 4);
  Clamp();
}

void TScopeView::ZoomOutY() {
  Save();
  Current.RangeY = std::min(Current.RangeY * 2, 4 * Half);
  Clamp();
}

void TScopeView::ZoomXY(int64_t cursorX, int64_t cursorY) {
  if (cursorX == cursorY) return;
  cursorX = std::clamp<int64_t>(cursorX, 0, Length);
  cursorY = std::clamp<int64_t>(cursorY, 0, Length);
  Save();
  Current.FirstSample = std::min(cursorX, cursorY);
  Current.VisibleSamples = std::min(
      std::max(cursorX > cursorY ? cursorX - cursorY : cursorY - cursorX, kMinZoomSamples), Length);
  Clamp();
}

void TScopeView::ZoomAll() {
  Save();
  Current = {0, Length, 0, 2 * Half};
  Clamp();
}

void TScopeView::Zoom11(int64_t displayWidth) {
  displayWidth = std::clamp<int64_t>(displayWidth, 0, Length + 1);
  Save();
  Current.VisibleSamples = Length < displayWidth ? Length - 1 : displayWidth;
  Current.RangeY = 2 * Half;
  Clamp();
}

bool TScopeView::ZoomPrevious() {
  if (Count == 0) return false;
  Current = History[--Count];
  Clamp();
  return true;
}

void TScopeView::ScrollX(int64_t firstSample) {
  Current.FirstSample = std::clamp<int64_t>(firstSample, 0, Length);
  Clamp();
}

void TScopeView::ScrollY(int64_t offsetY) {
  Current.OffsetY = std::clamp<int64_t>(offsetY, -2 * Half, 2 * Half);
  Clamp();
}

void TScopeView::JumpTo(int64_t position) {
  position = std::clamp<int64_t>(position, 0, Length);
  Current.FirstSample = position - RoundHalfUp(Current.VisibleSamples / 2.0);
  Clamp();
}
