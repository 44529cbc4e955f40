// Geometry of the player panel: the video box (largest 16:9 box, or the whole area when
// stretching), the control row, the loading square and the corner toggle; plus the small
// cycles of the panel (picture-in-picture position, speed texts).
#pragma once

#include <array>
#include <string>

namespace tq {

struct Box {
  int x = 0, y = 0, w = 0, h = 0;
  bool operator==(const Box&) const = default;
};

inline constexpr int kControlRowHeight = 23;   // x scale
inline constexpr int kControlRowSlack = 7;     // pixels below and above the row
inline constexpr int kControlRowBottom = 3;    // the row ends this far above the bottom
inline constexpr int kButtonSide = 23;         // x scale
inline constexpr int kSpeedButtonWidth = 50;   // x scale (23 high)
inline constexpr int kLoadingSide = 100;       // x scale
inline constexpr int kCornerToggleWidth = 88;  // x scale
inline constexpr int kCornerToggleHeight = 30; // x scale
inline constexpr int kCornerToggleInset = 2;
inline constexpr int kLogoWidth = 434;         // x scale
inline constexpr int kLogoHeight = 234;        // x scale
inline constexpr int kChannelLabelWidth = 40;  // x scale: the "2CH" box
inline constexpr double kWideHeightPerWidth = 0.5625;
inline constexpr double kWideWidthPerHeight = 1.7777777777777777;

// The panel's video area: client less 2 in width and (23 x scale + 7) in height, at (1, 1).
Box VideoArea(int clientW, int clientH, int scale);
// The session window: the whole area when filling, else the largest 16:9 box in it,
// centred on the axis that has room left.
Box VideoBox(int clientW, int clientH, int scale, bool fill);

// Controls of the row, in layout order.
enum RowControl {
  kRowPlay, kRowStop, kRowPrev, kRowNext, kRowCapture, kRowPrint, kRowPip, kRowSwap,
  kRowFull, kRowStretch, kRowMirror, kRowFlip, kRowSpeed, kRowTimeBar, kRowControls
};
struct ControlRow {
  std::array<Box, kRowControls> at{};
  Box channelLabel;  // the "2CH" text box
};
// Left from the left edge: six buttons with gaps 13, 10, 10, 15, 10, 10, the "2CH" box,
// then after 40 x scale + 5 the picture-in-picture and swap buttons. From the right: full
// screen, stretch, mirror, flip, the speed button and the seek bar, 10 pixels apart.
ControlRow LayoutControlRow(int clientW, int clientH, int scale);

// The 100 x 100 (x scale) square at the panel's centre where the loading animation runs.
Box LoadingBox(int clientW, int clientH, int scale);
// The corner toggle, 2 pixels inside the top-right corner.
Box CornerToggleBox(int clientW, int scale);
// The logo, 434 x 234 (x scale), centred.
Box LogoBox(int clientW, int clientH, int scale);

// Picture-in-picture: 1, 2, 3, 4, then 0 (hidden), then 1 again.
inline int NextPipPosition(int position) { return position >= 4 || position < 0 ? 0 : position + 1; }

inline constexpr int kSpeedCount = 4;
inline constexpr std::array<const char*, kSpeedCount> kSpeedTexts = {"0.5X", " 1 X", " 2 X", " 4 X"};
inline constexpr int kSpeedMenuBase = 40001;  // menu command of speed index 0

}  // namespace tq
