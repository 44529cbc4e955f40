// The main view's layout values and the panel rectangles they give.
#pragma once

#include <QRect>

namespace tq {

inline constexpr int kMainBorder = 6;
inline constexpr int kMinFrameWidth = 960;   // x s
inline constexpr int kMinFrameHeight = 686;  // x s
inline constexpr int kToolbarHeight = 35;    // x s
inline constexpr int kGpsHeight = 75;        // x s
inline constexpr int kSplitter = 6;

struct LayoutValues {
  int scale = 1;
  int border = kMainBorder;
  int titleHeight = 0;
  int contentTop = 0;
  int timelineHeight = 0;
  int leftWidth = 0;
  int leftSplit = 0;
};
LayoutValues InitialLayoutValues(int scale);

struct MainRects {
  QRect title, toolbar, fileList, gps, splitBar, map, splitter, player, timeline;
};
// Lays out a W x H client area; clamps the left width and split in `values` first.
MainRects LayoutMain(int width, int height, LayoutValues* values);

}  // namespace tq
