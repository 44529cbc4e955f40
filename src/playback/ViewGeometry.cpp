#include "playback/ViewGeometry.h"

#include <algorithm>
#include <cmath>

namespace tq {
namespace {

int Even(int v) { return v & ~1; }

void MakeEven(ZoomRect& r) {
  r.left = Even(r.left);
  r.top = Even(r.top);
  r.right = Even(r.right);
  r.bottom = Even(r.bottom);
}

void Move(ZoomRect& r, int dx, int dy) {
  r.left += dx;
  r.right += dx;
  r.top += dy;
  r.bottom += dy;
}

// Shifts the rectangle back inside the picture without changing its size.
void KeepInside(ZoomRect& r, int width, int height) {
  if (r.left < 0) Move(r, -r.left, 0);
  if (r.top < 0) Move(r, 0, -r.top);
  if (r.right > width) Move(r, width - r.right, 0);
  if (r.bottom > height) Move(r, 0, height - r.bottom);
}

// Mouse-dependent offset: how far from the window centre, in zoom steps.
void MouseOffset(const ZoomState& z, int mx, int my, double halfW, double halfH, int* dx, int* dy) {
  *dx = halfW > 0 ? int((mx - halfW) / halfW * z.stepX) : 0;
  *dy = halfH > 0 ? int((my - halfH) / halfH * z.stepY) : 0;
}

}  // namespace

void ResetZoom(ZoomState& z, int width, int height) {
  z.level = 0;
  z.width = width;
  z.height = height;
  z.stepX = width / kZoomSteps;
  z.stepY = height / kZoomSteps;
  z.rect = ZoomRect{0, 0, width, height};
  z.dragging = false;
}

bool ZoomIn(ZoomState& z, int mx, int my, double halfW, double halfH) {
  if (z.level >= kMaxZoomLevel) return false;
  ++z.level;
  z.rect.left += z.stepX;
  z.rect.top += z.stepY;
  z.rect.right -= z.stepX;
  z.rect.bottom -= z.stepY;
  int dx, dy;
  MouseOffset(z, mx, my, halfW, halfH, &dx, &dy);
  Move(z.rect, dx, dy);
  MakeEven(z.rect);
  return true;
}

bool ZoomOut(ZoomState& z, int mx, int my, double halfW, double halfH) {
  if (z.level <= 0) return false;
  --z.level;
  if (z.level == 0) {
    z.rect = ZoomRect{0, 0, z.width, z.height};
    return true;
  }
  z.rect.left -= z.stepX;
  z.rect.top -= z.stepY;
  z.rect.right += z.stepX;
  z.rect.bottom += z.stepY;
  int dx, dy;
  MouseOffset(z, mx, my, halfW, halfH, &dx, &dy);
  Move(z.rect, -dx, -dy);
  KeepInside(z.rect, z.width, z.height);
  MakeEven(z.rect);
  return true;
}

bool PanTo(ZoomState& z, int mx, int my) {
  if (!z.dragging || z.level == 0) return false;
  const int distance = int(std::hypot(double(mx - z.lastX), double(my - z.lastY)));
  if (distance <= kPanThreshold) return false;
  int dx = z.lastX - mx;
  int dy = z.lastY - my;
  dx = std::clamp(dx, -z.rect.left, z.width - z.rect.right);
  dy = std::clamp(dy, -z.rect.top, z.height - z.rect.bottom);
  Move(z.rect, dx, dy);
  MakeEven(z.rect);
  z.lastX = mx;
  z.lastY = my;
  return true;
}

void ResizeZoom(ZoomState& z, int width, int height) {
  const int oldW = z.width, oldH = z.height, level = z.level;
  const ZoomRect old = z.rect;
  ResetZoom(z, width, height);
  if (level == 0 || oldW <= 0 || oldH <= 0) return;
  z.level = level;
  z.rect.left = int(int64_t(old.left) * width / oldW);
  z.rect.top = int(int64_t(old.top) * height / oldH);
  z.rect.right = z.rect.left + width - 2 * z.stepX * level;
  z.rect.bottom = z.rect.top + height - 2 * z.stepY * level;
  MakeEven(z.rect);
}

WindowRect PlacePip(const WindowRect& front, int position) {
  const int w = front.width / 3, h = front.height / 3;
  const int right = front.x + front.width - w, bottom = front.y + front.height - h;
  switch (position) {
    case kPipTopLeft: return {front.x, front.y, w, h};
    case kPipTopRight: return {right, front.y, w, h};
    case kPipBottomRight: return {right, bottom, w, h};
    case kPipBottomLeft: return {front.x, bottom, w, h};
    default: return {};
  }
}

}  // namespace tq
