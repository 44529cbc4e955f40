// Arithmetic of the front view's digital zoom and pan and of the picture-in-picture
// placement. Pure functions over plain records: the window code feeds them mouse and
// window facts and hands the resulting rectangle to the renderer under the frame mutex.
#pragma once

#include "playback/CDraw.h"

namespace tq {

constexpr int kMaxZoomLevel = 9;
constexpr int kZoomSteps = 20;     // the zoom step is a twentieth of the picture
constexpr int kPanThreshold = 3;   // pixels of mouse travel before a drag moves the picture

struct ZoomState {
  int level = 0;                   // 0 = whole picture
  int stepX = 0, stepY = 0;        // picture pixels per level and side
  int width = 0, height = 0;       // current picture size
  ZoomRect rect;                   // source rectangle, even coordinates
  bool dragging = false;
  int lastX = 0, lastY = 0;        // last mouse point of a drag
};

// Whole picture, level 0, steps for this size.
void ResetZoom(ZoomState& z, int width, int height);
// One notch of the wheel at the mouse point; halfW/halfH are half the window's size.
// Returns false when the level did not change.
bool ZoomIn(ZoomState& z, int mouseX, int mouseY, double halfW, double halfH);
bool ZoomOut(ZoomState& z, int mouseX, int mouseY, double halfW, double halfH);
// Mouse move while dragging; returns false when the move was within the threshold.
bool PanTo(ZoomState& z, int mouseX, int mouseY);
// Front and rear exchanged: the picture size changes and a zoomed rectangle follows it.
void ResizeZoom(ZoomState& z, int width, int height);

struct WindowRect {
  int x = 0, y = 0, width = 0, height = 0;
};

enum PipPosition { kPipHidden = 0, kPipTopLeft = 1, kPipTopRight = 2, kPipBottomRight = 3, kPipBottomLeft = 4 };

// The picture-in-picture window over the front view: a third of its width and height at
// the chosen corner. Hidden (or an unknown position) gives an empty rectangle.
WindowRect PlacePip(const WindowRect& front, int position);

}  // namespace tq
