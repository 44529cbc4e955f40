// The frame tag: a row of large black and white cells in the top-left corner of every
// generated picture, telling which camera and which frame it is. Tests read it back from
// a decoded picture to know which frame a decode, seek, step or export produced.
//
// Cells, left to right: marker (white, black), camera (2 bits), frame number (16 bits),
// check (4 bits); most significant bit first. Cells are square, a multiple of 8 pixels
// and aligned to 8, so that block-based encoders keep them crisp.
#pragma once

#include <cstdint>

namespace tq {

struct FrameTagValue {
  int camera = -1;  // 0 front, 1 rear; -1 when no tag could be read
  int frame = -1;   // 0-based frame number
  bool valid() const { return camera >= 0 && frame >= 0; }
};

constexpr int kFrameTagCells = 24;
constexpr int kFrameTagMaxFrame = 0xFFFF;
constexpr int kFrameTagMaxCamera = 3;

// Cell edge in pixels for a picture of this width (8 to 32).
int FrameTagCellSize(int width);
// The tag's rectangle (the quiet border included); pictures narrower or lower than it
// cannot carry a tag.
int FrameTagWidth(int width);
int FrameTagHeight(int width);
bool FrameTagFits(int width, int height);

// Draws the tag into a luma plane. Returns false (nothing drawn) when it does not fit or
// the values are out of range.
bool DrawFrameTag(uint8_t* y, int stride, int width, int height, int camera, int frame);

// Reads the tag back from a decoded luma plane; an unreadable or inconsistent tag gives
// an invalid value, never a guess.
FrameTagValue ReadFrameTag(const uint8_t* y, int stride, int width, int height);

}  // namespace tq
