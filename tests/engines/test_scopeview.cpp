// The oscilloscope's view window: zoom, scroll and jump commands as a table of
// starting views and the views they must leave.
#include "scopeview.h"

#include <gtest/gtest.h>

#include <functional>

namespace {

struct Case {
  const char *name;
  int64_t length, halfRange;
  TViewWindow before;
  std::function<void(TScopeView &)> command;
  TViewWindow after;
};

// A view set up as `before` by commands the view model itself offers.
TScopeView Start(int64_t length, int64_t halfRange, const TViewWindow &v) {
  TScopeView view;
  view.SetRecord(length, halfRange);
  view.Init();
  // Reach the requested window through zoom X-Y, scrolling and vertical zooms.
  if (v.VisibleSamples != length) view.ZoomXY(v.FirstSample, v.FirstSample + v.VisibleSamples);
  view.ScrollX(v.FirstSample);
  view.ScrollY(v.OffsetY);
  while (view.RangeY() > v.RangeY)
    view.ZoomInY();
  while (view.RangeY() < v.RangeY)
    view.ZoomOutY();
  return view;
}

TEST(ScopeView, CommandsKeepTheWindowInsideTheRecord) {
  // {FirstSample, VisibleSamples, OffsetY, RangeY}; 8-bit converter: half range 128.
  const Case cases[] = {
      {"zoom in X, 60 samples",
       10000,
       128,
       {100, 60, 0, 256},
       &TScopeView::ZoomInX,
       {100, 50, 0, 256}},
      {"zoom in X, 120 samples",
       10000,
       128,
       {100, 120, 0, 256},
       &TScopeView::ZoomInX,
       {130, 60, 0, 256}},
      {"zoom in X, 50 samples at the end",
       10000,
       128,
       {9950, 50, 0, 256},
       &TScopeView::ZoomInX,
       {9950, 50, 0, 256}},
      {"zoom in X, record of 30", 30, 128, {0, 30, 0, 256}, &TScopeView::ZoomInX, {0, 30, 0, 256}},
      {"zoom out X at the start",
       10000,
       128,
       {100, 1000, 0, 256},
       &TScopeView::ZoomOutX,
       {0, 2000, 0, 256}},
      {"zoom out X at the end",
       10000,
       128,
       {9000, 1000, 0, 256},
       &TScopeView::ZoomOutX,
       {8000, 2000, 0, 256}},
      {"zoom out X past the length",
       10000,
       128,
       {2000, 6000, 0, 256},
       &TScopeView::ZoomOutX,
       {0, 10000, 0, 256}},
      {"zoom in Y", 10000, 128, {0, 10000, 0, 64}, &TScopeView::ZoomInY, {0, 10000, 0, 32}},
      {"zoom in Y stops at a quarter",
       10000,
       128,
       {0, 10000, 0, 32},
       &TScopeView::ZoomInY,
       {0, 10000, 0, 32}},
      {"zoom out Y stops at four",
       10000,
       128,
       {0, 10000, 0, 512},
       &TScopeView::ZoomOutY,
       {0, 10000, 0, 512}},
      {"zoom out Y, 12-bit",
       10000,
       2048,
       {0, 10000, 0, 4096},
       &TScopeView::ZoomOutY,
       {0, 10000, 0, 8192}},
      {"zoom all", 10000, 128, {500, 100, 40, 64}, &TScopeView::ZoomAll, {0, 10000, 0, 256}},
      {"zoom X-Y",
       10000,
       128,
       {0, 10000, 0, 256},
       [](TScopeView &v) { v.ZoomXY(700, 300); },
       {300, 400, 0, 256}},
      {"zoom X-Y, close cursors",
       10000,
       128,
       {0, 10000, 0, 256},
       [](TScopeView &v) { v.ZoomXY(9990, 9980); },
       {9950, 50, 0, 256}},
      {"zoom X-Y, same sample",
       10000,
       128,
       {0, 10000, 0, 256},
       [](TScopeView &v) { v.ZoomXY(5, 5); },
       {0, 10000, 0, 256}},
      {"zoom X-Y, cursor past the record",
       1000,
       128,
       {0, 1000, 0, 256},
       [](TScopeView &v) { v.ZoomXY(900, 4000000000); },
       {900, 100, 0, 256}},
      {"zoom 1:1",
       10000,
       128,
       {9900, 100, 0, 64},
       [](TScopeView &v) { v.Zoom11(700); },
       {9300, 700, 0, 256}},
      {"zoom 1:1, short record",
       500,
       128,
       {10, 100, 0, 256},
       [](TScopeView &v) { v.Zoom11(700); },
       {1, 499, 0, 256}},
      {"zoom 1:1, record of 1",
       1,
       128,
       {0, 1, 0, 256},
       [](TScopeView &v) { v.Zoom11(700); },
       {0, 1, 0, 256}},
      {"scroll past the end",
       10000,
       128,
       {0, 1000, 0, 256},
       [](TScopeView &v) { v.ScrollX(9500); },
       {9000, 1000, 0, 256}},
      {"scroll before the start",
       10000,
       128,
       {500, 1000, 0, 256},
       [](TScopeView &v) { v.ScrollX(-5); },
       {0, 1000, 0, 256}},
      {"scroll Y beyond the bar",
       10000,
       128,
       {0, 10000, 0, 256},
       [](TScopeView &v) { v.ScrollY(-100000); },
       {0, 10000, -256, 256}},
      {"jump to the trigger",
       10000,
       128,
       {0, 1000, 0, 256},
       [](TScopeView &v) { v.JumpTo(5000); },
       {4500, 1000, 0, 256}},
      {"jump near the end",
       10000,
       128,
       {0, 1001, 0, 256},
       [](TScopeView &v) { v.JumpTo(9999); },
       {8999, 1001, 0, 256}},
      {"jump to a huge position",
       10000,
       128,
       {0, 1000, 0, 256},
       [](TScopeView &v) { v.JumpTo(INT64_MAX); },
       {9000, 1000, 0, 256}},
      {"jump before the start",
       10000,
       128,
       {3000, 1000, 0, 256},
       [](TScopeView &v) { v.JumpTo(INT64_MIN); },
       {0, 1000, 0, 256}},
      {"shorter record",
       10000,
       128,
       {8000, 1000, 0, 256},
       [](TScopeView &v) { v.SetRecord(4096, 128); },
       {3096, 1000, 0, 256}},
      {"record shorter than the window",
       10000,
       128,
       {0, 10000, 0, 256},
       [](TScopeView &v) { v.SetRecord(1024, 128); },
       {0, 1024, 0, 256}},
      {"no record",
       10000,
       128,
       {500, 1000, 20, 256},
       [](TScopeView &v) { v.SetRecord(0, 128); },
       {0, 0, 20, 256}},
      {"file load",
       10000,
       128,
       {500, 1000, 20, 64},
       [](TScopeView &v) {
         v.SetRecord(2048, 2048);
         v.Init();
       },
       {0, 2048, 0, 4096}},
  };
  for (const Case &c : cases) {
    TScopeView view = Start(c.length, c.halfRange, c.before);
    ASSERT_EQ(view.View(), c.before) << c.name << ": fixture";
    c.command(view);
    const TViewWindow &v = view.View();
    EXPECT_EQ(v, c.after) << c.name << ": got {" << v.FirstSample << ", " << v.VisibleSamples
                          << ", " << v.OffsetY << ", " << v.RangeY << "}";
    EXPECT_GE(v.FirstSample, 0) << c.name;
    EXPECT_LE(v.FirstSample + v.VisibleSamples, view.BuffLength()) << c.name;
  }
}

TEST(ScopeView, HistoryKeepsTheLastTenViewsAndClearsWithTheLength) {
  TScopeView view;
  view.SetRecord(1 << 20, 128);
  view.Init();
  EXPECT_FALSE(view.ZoomPrevious()) << "empty history does nothing";
  std::vector<TViewWindow> seen;
  for (int i = 0; i < 11; ++i) {
    seen.push_back(view.View());
    view.ZoomInX();
  }
  EXPECT_EQ(view.HistoryCount(), 10);
  for (int i = 10; i >= 1; --i) {
    ASSERT_TRUE(view.ZoomPrevious());
    EXPECT_EQ(view.View(), seen[i]) << i;
  }
  EXPECT_FALSE(view.CanZoomPrevious()) << "the first view was dropped";

  view.ZoomInX();
  view.SetRecord(1 << 20, 128);
  EXPECT_EQ(view.HistoryCount(), 1) << "same length keeps the history";
  view.SetRecord(1 << 19, 128);
  EXPECT_EQ(view.HistoryCount(), 0);
}

TEST(ScopeView, RepeatedZoomsNeverLeaveTheRecord) {
  // Every command on every record length, many times over: the invariants hold.
  for (int64_t length : {0, 1, 2, 49, 50, 51, 1000, 524288}) {
    TScopeView view;
    view.SetRecord(length, 128);
    view.Init();
    const std::function<void(TScopeView &)> commands[] = {
        &TScopeView::ZoomInX,
        &TScopeView::ZoomOutX,
        &TScopeView::ZoomInY,
        &TScopeView::ZoomOutY,
        [](TScopeView &v) { v.ZoomXY(3, 70000); },
        [](TScopeView &v) { v.Zoom11(1553); },
        [](TScopeView &v) { v.JumpTo(v.BuffLength()); },
        [](TScopeView &v) { v.ScrollX(-1); },
        [](TScopeView &v) { v.ZoomPrevious(); }};
    for (int round = 0; round < 30; ++round)
      for (const auto &command : commands) {
        command(view);
        const TViewWindow &v = view.View();
        ASSERT_GE(v.FirstSample, 0) << length;
        ASSERT_GE(v.VisibleSamples, std::min<int64_t>(length, 1)) << length;
        ASSERT_LE(v.FirstSample + v.VisibleSamples, length) << length;
        ASSERT_GE(v.RangeY, 32) << length;
        ASSERT_LE(v.RangeY, 512) << length;
      }
  }
}

} // namespace
