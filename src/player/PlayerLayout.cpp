#include "player/PlayerLayout.h"

#include <algorithm>

#include "player/SeekBarModel.h"

namespace tq {

Box VideoArea(int clientW, int clientH, int scale) {
  return {1, 1, std::max(0, clientW - 2), std::max(0, clientH - (kControlRowHeight * scale + kControlRowSlack))};
}

Box VideoBox(int clientW, int clientH, int scale, bool fill) {
  Box area = VideoArea(clientW, clientH, scale);
  if (fill) return area;
  int w = area.w;
  int h = int(area.w * kWideHeightPerWidth);
  if (h > area.h) {
    h = area.h;
    w = int(area.h * kWideWidthPerHeight);
  }
  return {area.x + (area.w - w) / 2, area.y + (area.h - h) / 2, w, h};
}

ControlRow LayoutControlRow(int clientW, int clientH, int s) {
  ControlRow row;
  const int top = clientH - kControlRowBottom - kControlRowHeight * s;
  const int side = kButtonSide * s;
  const int leftGaps[] = {13, 10, 10, 15, 10, 10};
  int x = 0;
  for (int i = kRowPlay; i <= kRowPrint; ++i) {
    x += leftGaps[i];
    row.at[size_t(i)] = {x, top, side, side};
    x += side;
  }
  row.channelLabel = {x + 4, top, kChannelLabelWidth * s, kControlRowHeight * s};
  x += kChannelLabelWidth * s + 5;
  row.at[kRowPip] = {x, top, side, side};
  x += side + 10;
  row.at[kRowSwap] = {x, top, side, side};

  constexpr int kGap = 10;
  int right = clientW - kGap;
  for (int i : {kRowFull, kRowStretch, kRowMirror, kRowFlip}) {
    right -= side;
    row.at[size_t(i)] = {right, top, side, side};
    right -= kGap;
  }
  right -= kSpeedButtonWidth * s;
  row.at[kRowSpeed] = {right, top, kSpeedButtonWidth * s, side};
  right -= kGap + kSeekBarTotalWidth * s;
  const int barHeight = kSeekBarStripHeight * s;
  row.at[kRowTimeBar] = {right, top + (side - barHeight) / 2, kSeekBarTotalWidth * s, barHeight};
  return row;
}

Box LoadingBox(int clientW, int clientH, int scale) {
  const int side = kLoadingSide * scale;
  return {(clientW - side) / 2, (clientH - side) / 2, side, side};
}

Box CornerToggleBox(int clientW, int scale) {
  const int w = kCornerToggleWidth * scale;
  return {clientW - kCornerToggleInset - w, kCornerToggleInset, w, kCornerToggleHeight * scale};
}

Box LogoBox(int clientW, int clientH, int scale) {
  const int w = kLogoWidth * scale, h = kLogoHeight * scale;
  return {(clientW - w) / 2, (clientH - h) / 2, w, h};
}

}  // namespace tq
