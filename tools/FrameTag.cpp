#include "FrameTag.h"

namespace tq {
namespace {

constexpr uint8_t kBlack = 16;
constexpr uint8_t kWhite = 235;
constexpr uint8_t kQuiet = 128;  // grey border that keeps the cells apart from the scene
// A decoded cell must be clearly one or the other; anything between is unreadable.
constexpr int kBlackBelow = 90;
constexpr int kWhiteAbove = 165;
constexpr int kBorderCells = 1;

int Check(int camera, int frame) {
  int n0 = frame >> 12 & 15, n1 = frame >> 8 & 15, n2 = frame >> 4 & 15, n3 = frame & 15;
  // Odd weights: any single flipped bit changes the sum by an odd multiple of a power of
  // two below 16, which never vanishes modulo 16.
  return (n0 * 1 + n1 * 3 + n2 * 5 + n3 * 7 + camera * 9 + 11) & 15;
}

// Cell values, most significant bit first, as 0/1.
void Bits(int camera, int frame, int out[kFrameTagCells]) {
  int i = 0;
  out[i++] = 1;
  out[i++] = 0;
  for (int b = 1; b >= 0; --b) out[i++] = camera >> b & 1;
  for (int b = 15; b >= 0; --b) out[i++] = frame >> b & 1;
  int check = Check(camera, frame);
  for (int b = 3; b >= 0; --b) out[i++] = check >> b & 1;
}

}  // namespace

int FrameTagCellSize(int width) {
  int cell = width / 40 / 8 * 8;
  if (cell < 8) cell = 8;
  if (cell > 32) cell = 32;
  return cell;
}

int FrameTagWidth(int width) { return (kFrameTagCells + 2 * kBorderCells) * FrameTagCellSize(width); }
int FrameTagHeight(int width) { return (1 + 2 * kBorderCells) * FrameTagCellSize(width); }

bool FrameTagFits(int width, int height) {
  return width > 0 && height > 0 && FrameTagWidth(width) <= width &&
         FrameTagHeight(width) <= height;
}

bool DrawFrameTag(uint8_t* y, int stride, int width, int height, int camera, int frame) {
  if (!y || !FrameTagFits(width, height) || stride < width) return false;
  if (camera < 0 || camera > kFrameTagMaxCamera || frame < 0 || frame > kFrameTagMaxFrame)
    return false;
  const int cell = FrameTagCellSize(width);
  for (int row = 0; row < FrameTagHeight(width); ++row)
    for (int x = 0; x < FrameTagWidth(width); ++x) y[row * stride + x] = kQuiet;
  int bits[kFrameTagCells];
  Bits(camera, frame, bits);
  for (int i = 0; i < kFrameTagCells; ++i) {
    const uint8_t v = bits[i] ? kWhite : kBlack;
    const int x0 = (kBorderCells + i) * cell, y0 = kBorderCells * cell;
    for (int row = y0; row < y0 + cell; ++row)
      for (int x = x0; x < x0 + cell; ++x) y[row * stride + x] = v;
  }
  return true;
}

FrameTagValue ReadFrameTag(const uint8_t* y, int stride, int width, int height) {
  FrameTagValue none;
  if (!y || !FrameTagFits(width, height) || stride < width) return none;
  const int cell = FrameTagCellSize(width);
  const int inset = cell / 4;  // the cell's middle: edges blur under compression
  int bits[kFrameTagCells];
  for (int i = 0; i < kFrameTagCells; ++i) {
    const int x0 = (kBorderCells + i) * cell + inset, y0 = kBorderCells * cell + inset;
    const int span = cell - 2 * inset;
    long sum = 0;
    for (int row = y0; row < y0 + span; ++row)
      for (int x = x0; x < x0 + span; ++x) sum += y[row * stride + x];
    const long mean = sum / (span * span);
    if (mean < kBlackBelow) bits[i] = 0;
    else if (mean > kWhiteAbove) bits[i] = 1;
    else return none;
  }
  if (bits[0] != 1 || bits[1] != 0) return none;
  int camera = bits[2] << 1 | bits[3];
  int frame = 0;
  for (int i = 4; i < 20; ++i) frame = frame << 1 | bits[i];
  int check = 0;
  for (int i = 20; i < 24; ++i) check = check << 1 | bits[i];
  if (check != Check(camera, frame)) return none;
  return {camera, frame};
}

}  // namespace tq
