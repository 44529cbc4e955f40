// Zoom, pan and picture-in-picture arithmetic at its boundaries.
#include <gtest/gtest.h>

#include "playback/ViewGeometry.h"

namespace tq {
namespace {

bool Even(const ZoomRect& r) { return !(r.left & 1) && !(r.top & 1) && !(r.right & 1) && !(r.bottom & 1); }

TEST(Zoom, level_stops_at_nine_and_the_rectangle_is_a_tenth_there) {
  ZoomState z;
  ResetZoom(z, 1920, 1080);
  for (int i = 0; i < 9; ++i) EXPECT_TRUE(ZoomIn(z, 960, 540, 960.0, 540.0));
  EXPECT_FALSE(ZoomIn(z, 960, 540, 960.0, 540.0));  // the tenth notch does nothing
  EXPECT_EQ(z.level, 9);
  EXPECT_EQ(z.rect.right - z.rect.left, 1920 / 10);
  EXPECT_EQ(z.rect.bottom - z.rect.top, 1080 / 10);
  EXPECT_TRUE(Even(z.rect));
  for (int i = 0; i < 9; ++i) EXPECT_TRUE(ZoomOut(z, 0, 0, 960.0, 540.0));
  EXPECT_FALSE(ZoomOut(z, 0, 0, 960.0, 540.0));
  EXPECT_EQ(z.rect.left, 0);
  EXPECT_EQ(z.rect.right, 1920);
  EXPECT_EQ(z.rect.bottom, 1080);
}

TEST(Zoom, the_mouse_point_pulls_the_rectangle_and_zoom_out_stays_inside) {
  ZoomState z;
  ResetZoom(z, 1280, 720);
  // Wheel at the top-left corner of the window: one step towards it.
  ZoomIn(z, 0, 0, 640.0, 360.0);
  EXPECT_EQ(z.rect.left, 0);
  EXPECT_EQ(z.rect.top, 0);
  ZoomIn(z, 0, 0, 640.0, 360.0);
  ZoomIn(z, 0, 0, 640.0, 360.0);
  // Zooming out at the opposite corner pushes it left/up; it is shifted back inside.
  ZoomOut(z, 1280, 720, 640.0, 360.0);
  EXPECT_GE(z.rect.left, 0);
  EXPECT_GE(z.rect.top, 0);
  EXPECT_LE(z.rect.right, 1280);
  EXPECT_LE(z.rect.bottom, 720);
  EXPECT_TRUE(Even(z.rect));
}

TEST(Zoom, pan_ignores_small_moves_and_stops_at_the_picture_edge) {
  ZoomState z;
  ResetZoom(z, 1280, 720);
  for (int i = 0; i < 5; ++i) ZoomIn(z, 640, 360, 640.0, 360.0);
  z.dragging = true;
  z.lastX = 100;
  z.lastY = 100;
  const ZoomRect before = z.rect;
  EXPECT_FALSE(PanTo(z, 102, 102));  // 2.8 pixels: within the threshold
  EXPECT_FALSE(PanTo(z, 103, 100));  // exactly 3: still nothing
  EXPECT_EQ(z.rect.left, before.left);
  EXPECT_TRUE(PanTo(z, 104, 100));   // 4 pixels: the picture follows the hand
  EXPECT_EQ(z.rect.left, before.left - 4);
  EXPECT_TRUE(PanTo(z, 5000, 5000));  // far beyond: clamped at the top-left edge
  EXPECT_EQ(z.rect.left, 0);
  EXPECT_EQ(z.rect.top, 0);
  EXPECT_EQ(z.rect.right - z.rect.left, before.right - before.left);
}

TEST(Zoom, exchange_rescales_a_zoomed_rectangle_to_the_other_picture) {
  ZoomState z;
  ResetZoom(z, 1920, 1080);
  ZoomIn(z, 960, 540, 960.0, 540.0);
  ZoomIn(z, 960, 540, 960.0, 540.0);
  ResizeZoom(z, 1280, 720);
  EXPECT_EQ(z.level, 2);
  EXPECT_EQ(z.stepX, 64);
  EXPECT_EQ(z.rect.left, 192 * 1280 / 1920);
  EXPECT_EQ(z.rect.right - z.rect.left, 1280 - 2 * 64 * 2);
  EXPECT_TRUE(Even(z.rect));
}

TEST(Pip, a_third_of_the_front_window_at_the_chosen_corner) {
  const WindowRect front{100, 50, 1280, 720};
  const struct {
    int position;
    WindowRect expect;
  } cases[] = {
      {kPipTopLeft, {100, 50, 426, 240}},
      {kPipTopRight, {100 + 854, 50, 426, 240}},
      {kPipBottomRight, {100 + 854, 50 + 480, 426, 240}},
      {kPipBottomLeft, {100, 50 + 480, 426, 240}},
      {kPipHidden, {0, 0, 0, 0}},
      {7, {0, 0, 0, 0}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.position);
    const WindowRect r = PlacePip(front, c.position);
    EXPECT_EQ(r.x, c.expect.x);
    EXPECT_EQ(r.y, c.expect.y);
    EXPECT_EQ(r.width, c.expect.width);
    EXPECT_EQ(r.height, c.expect.height);
  }
}

}  // namespace
}  // namespace tq
