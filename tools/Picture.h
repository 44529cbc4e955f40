// Synthetic camera pictures: a road scene that moves from frame to frame (so the encoder
// makes real predicted frames), the date and time burned in at the bottom like the
// camera's own overlay, and the frame tag in the top-left corner.
#pragma once

#include <cstdint>

struct AVFrame;

namespace tq {

struct PictureSpec {
  int width = 0;
  int height = 0;
  int fps = 30;
  int camera = 0;          // 0 front, 1 rear: the frame tag's camera and the scene's look
  uint32_t seed = 1;
  int64_t startSeconds = 0;  // local clock time of frame 0, seconds since 1970 (UTC rules)
};

// Fills a YUV 4:2:0 frame of the requested size with picture `index`. The frame's planes
// must be writable and at least width x height.
void RenderPicture(const PictureSpec& spec, int index, AVFrame* frame);

// Draws text of digits, '-', ':' and blanks with the overlay font: cells of `scale`
// pixels, luma only. Exposed for the clock and for tests of the overlay.
void DrawOverlayText(uint8_t* y, int stride, int width, int height, int x, int top, int scale,
                     const char* text);

}  // namespace tq
