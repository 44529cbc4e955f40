#include "Picture.h"

#include <cstdio>
#include <ctime>

extern "C" {
#include <libavutil/frame.h>
}

#include "FrameTag.h"

namespace tq {
namespace {

constexpr uint8_t kTextLuma = 235;
constexpr uint8_t kBandLuma = 16;
constexpr uint8_t kNeutral = 128;
constexpr int kGlyphWidth = 3, kGlyphHeight = 5, kGlyphAdvance = 4;
constexpr int kCars = 3;

// 3x5 glyphs, one row per byte, bit 2 the left column.
struct Glyph {
  char c;
  uint8_t rows[kGlyphHeight];
};
constexpr Glyph kGlyphs[] = {
    {'0', {7, 5, 5, 5, 7}}, {'1', {2, 6, 2, 2, 7}}, {'2', {7, 1, 7, 4, 7}},
    {'3', {7, 1, 7, 1, 7}}, {'4', {5, 5, 7, 1, 1}}, {'5', {7, 4, 7, 1, 7}},
    {'6', {7, 4, 7, 5, 7}}, {'7', {7, 1, 1, 1, 1}}, {'8', {7, 5, 7, 5, 7}},
    {'9', {7, 5, 7, 1, 7}}, {'-', {0, 0, 7, 0, 0}}, {':', {0, 2, 0, 2, 0}},
};

const Glyph* FindGlyph(char c) {
  for (const Glyph& g : kGlyphs)
    if (g.c == c) return &g;
  return nullptr;
}

uint32_t Hash(uint32_t x) {
  x ^= x >> 16;
  x *= 0x7feb352dU;
  x ^= x >> 15;
  x *= 0x846ca68bU;
  x ^= x >> 16;
  return x;
}

struct Car {
  int y, h, w, speed, offset;
  uint8_t luma, u, v;
};

Car MakeCar(const PictureSpec& s, int i) {
  const uint32_t r = Hash(s.seed * 977 + uint32_t(s.camera) * 131 + uint32_t(i) * 7919);
  Car c;
  c.h = s.height / 10 + int(r % uint32_t(s.height / 12 + 1));
  c.w = c.h * 2;
  c.y = s.height / 2 + i * s.height / 8;
  c.speed = 1 + int(r >> 8 & 7) * s.width / 640 + s.width / 320;
  if (r >> 12 & 1) c.speed = -c.speed;
  c.offset = int(r >> 16) % s.width;
  c.luma = uint8_t(40 + (r >> 3) % 160);
  c.u = uint8_t(60 + (r >> 11) % 136);
  c.v = uint8_t(60 + (r >> 19) % 136);
  return c;
}

int CarX(const Car& c, int width, int index) {
  const int span = width + c.w;
  int x = (c.offset + c.speed * index) % span;
  if (x < 0) x += span;
  return x - c.w;
}

void FillScene(const PictureSpec& s, int index, AVFrame* f) {
  const int w = s.width, h = s.height, horizon = h * 45 / 100;
  const int scroll = index * (s.width / 160 + 2) * (s.camera == 0 ? 1 : -1);
  const int laneHalf = w / 100 + 1, dashPeriod = h / 4 + 1;
  for (int y = 0; y < h; ++y) {
    uint8_t* row = f->data[0] + y * f->linesize[0];
    if (y < horizon) {
      const uint8_t sky = uint8_t(150 + 50 * y / (horizon + 1));
      for (int x = 0; x < w; ++x) row[x] = sky;
      continue;
    }
    const int ty = y + scroll;
    const bool dash = ((ty % dashPeriod) + dashPeriod) % dashPeriod < dashPeriod / 2;
    for (int x = 0; x < w; ++x) {
      // Texture in 4x4 blocks: predictable under motion, not free to code.
      const uint32_t t = Hash(uint32_t(x >> 2) * 73856093U ^ uint32_t(ty >> 2) * 19349663U ^ s.seed);
      row[x] = uint8_t(84 + (t & 15));
    }
    if (dash)
      for (int x = w / 2 - laneHalf; x < w / 2 + laneHalf; ++x) row[x] = 220;
  }
  for (int y = 0; y < h / 2; ++y) {
    uint8_t* u = f->data[1] + y * f->linesize[1];
    uint8_t* v = f->data[2] + y * f->linesize[2];
    const bool sky = 2 * y < horizon;
    for (int x = 0; x < w / 2; ++x) {
      u[x] = sky ? 150 : kNeutral;
      v[x] = sky ? 112 : kNeutral;
    }
  }
  for (int i = 0; i < kCars; ++i) {
    const Car c = MakeCar(s, i);
    const int x0 = CarX(c, w, index);
    for (int y = c.y; y < c.y + c.h && y < h; ++y) {
      uint8_t* row = f->data[0] + y * f->linesize[0];
      for (int x = x0 < 0 ? 0 : x0; x < x0 + c.w && x < w; ++x) row[x] = c.luma;
    }
    for (int y = c.y / 2; y < (c.y + c.h) / 2 && y < h / 2; ++y) {
      uint8_t* u = f->data[1] + y * f->linesize[1];
      uint8_t* v = f->data[2] + y * f->linesize[2];
      for (int x = x0 < 0 ? 0 : x0 / 2; x < (x0 + c.w) / 2 && x < w / 2; ++x) {
        u[x] = c.u;
        v[x] = c.v;
      }
    }
  }
}

void NeutralChroma(AVFrame* f, int x0, int y0, int x1, int y1) {
  for (int y = y0 / 2; y < y1 / 2; ++y)
    for (int x = x0 / 2; x < x1 / 2; ++x) {
      f->data[1][y * f->linesize[1] + x] = kNeutral;
      f->data[2][y * f->linesize[2] + x] = kNeutral;
    }
}

void DrawClock(const PictureSpec& s, int index, AVFrame* f) {
  const int scale = FrameTagCellSize(s.width) / 4 < 2 ? 2 : FrameTagCellSize(s.width) / 4;
  const std::time_t t = std::time_t(s.startSeconds + int64_t(index) / s.fps);
  std::tm tm{};
  gmtime_r(&t, &tm);
  char text[64];
  std::snprintf(text, sizeof text, "%04d-%02d-%02d %02d:%02d:%02d", tm.tm_year + 1900,
                tm.tm_mon + 1, tm.tm_mday, tm.tm_hour, tm.tm_min, tm.tm_sec);
  const int bandHeight = (kGlyphHeight + 2) * scale;
  const int top = s.height - bandHeight - scale;
  const int right = scale * (2 + kGlyphAdvance * 19);
  for (int y = top; y < top + bandHeight; ++y)
    for (int x = 0; x < right && x < s.width; ++x) f->data[0][y * f->linesize[0] + x] = kBandLuma;
  NeutralChroma(f, 0, top, right < s.width ? right : s.width, top + bandHeight);
  DrawOverlayText(f->data[0], f->linesize[0], s.width, s.height, scale, top + scale, scale, text);
}

}  // namespace

void DrawOverlayText(uint8_t* y, int stride, int width, int height, int x, int top, int scale,
                     const char* text) {
  for (int i = 0; text[i]; ++i) {
    const Glyph* g = FindGlyph(text[i]);
    const int gx = x + i * kGlyphAdvance * scale;
    if (!g) continue;
    for (int r = 0; r < kGlyphHeight; ++r)
      for (int c = 0; c < kGlyphWidth; ++c) {
        if (!(g->rows[r] >> (kGlyphWidth - 1 - c) & 1)) continue;
        for (int py = top + r * scale; py < top + (r + 1) * scale && py < height; ++py)
          for (int px = gx + c * scale; px < gx + (c + 1) * scale && px < width; ++px)
            y[py * stride + px] = kTextLuma;
      }
  }
}

void RenderPicture(const PictureSpec& spec, int index, AVFrame* frame) {
  FillScene(spec, index, frame);
  DrawClock(spec, index, frame);
  NeutralChroma(frame, 0, 0, FrameTagWidth(spec.width), FrameTagHeight(spec.width));
  DrawFrameTag(frame->data[0], frame->linesize[0], spec.width, spec.height, spec.camera,
               index & kFrameTagMaxFrame);
}

}  // namespace tq
