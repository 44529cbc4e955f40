// Pictures for the on-screen renderer tests: a tagged I420 picture with a red patch, its
// BGRA conversion, and the way back from a grabbed window to picture coordinates.
#pragma once

#include <QImage>
#include <QRect>
#include <cstdint>
#include <vector>

extern "C" {
#include <libavutil/imgutils.h>
#include <libswscale/swscale.h>
}

#include "FrameTag.h"
#include "playback/CDraw.h"
#include "playback/gui/GlCanvas.h"
#include "playback/gui/ViewSurface.h"

namespace tq::test {

// 640x360 grey picture; the frame tag sits at (kTagX, kTagY), drawn for a width of
// (width - kTagX); a red patch covers [400,560) x [224,316).
struct TaggedPicture {
  static constexpr int kWidth = 640, kHeight = 360;
  static constexpr int kTagX = 64, kTagY = 36;
  static constexpr int kRedX = 480, kRedY = 270;  // a point inside the red patch
  static constexpr int kGreyX = 160, kGreyY = 300;  // a point of plain grey
  int frame = 0;
  std::vector<uint8_t> y, u, v;
  std::vector<uint8_t> bgra;

  explicit TaggedPicture(int frameNumber) : frame(frameNumber) {
    const int cw = kWidth / 2, ch = kHeight / 2;
    y.assign(size_t(kWidth) * kHeight, 128);
    u.assign(size_t(cw) * ch, 128);
    v.assign(size_t(cw) * ch, 128);
    // BT.601 limited-range red.
    for (int row = 224; row < 316; ++row)
      for (int x = 400; x < 560; ++x) y[size_t(row) * kWidth + x] = 82;
    for (int row = 112; row < 158; ++row)
      for (int x = 200; x < 280; ++x) {
        u[size_t(row) * cw + x] = 90;
        v[size_t(row) * cw + x] = 240;
      }
    DrawFrameTag(y.data() + kTagY * kWidth + kTagX, kWidth, kWidth - kTagX, kHeight - kTagY, 0, frame);
    bgra.resize(size_t(kWidth) * kHeight * 4);
    SwsContext* sws = sws_getContext(kWidth, kHeight, AV_PIX_FMT_YUV420P, kWidth, kHeight,
                                     AV_PIX_FMT_BGRA, SWS_BICUBIC, nullptr, nullptr, nullptr);
    const uint8_t* in[3] = {y.data(), u.data(), v.data()};
    const int inLines[3] = {kWidth, cw, cw};
    uint8_t* out[1] = {bgra.data()};
    const int outLines[1] = {kWidth * 4};
    if (sws) sws_scale(sws, in, inLines, 0, kHeight, out, outLines);
    sws_freeContext(sws);
  }

  DrawPicture Planar() const {
    DrawPicture p;
    p.data[0] = y.data();
    p.data[1] = u.data();
    p.data[2] = v.data();
    p.linesize[0] = kWidth;
    p.linesize[1] = p.linesize[2] = kWidth / 2;
    p.width = kWidth;
    p.height = kHeight;
    p.format = kDrawI420;
    return p;
  }
  DrawPicture Packed() const {
    DrawPicture p;
    p.data[0] = bgra.data();
    p.linesize[0] = kWidth * 4;
    p.width = kWidth;
    p.height = kHeight;
    p.format = kDrawRgb32;
    return p;
  }
};

// What the window shows: the OpenGL canvas's frame buffer, or the raster paint.
inline QImage Shot(ViewSurface* s) {
  GlCanvas* gl = s->glCanvas();
  const QImage shot = gl && s->mode() == ViewSurface::Mode::Accelerated ? gl->grabFramebuffer() : s->grab().toImage();
  return shot.convertToFormat(QImage::Format_RGB32);
}

inline int Luma(QRgb c) { return (77 * qRed(c) + 150 * qGreen(c) + 29 * qBlue(c)) >> 8; }

// Where picture point (x, y) lands in a window shot showing `source` of the picture
// stretched over the whole shot, flipped and mirrored by `flags` after the zoom.
inline QPoint ShotPoint(const QImage& shot, const QRect& source, int flags, int x, int y) {
  int gx = int((x - source.left() + 0.5) * shot.width() / source.width());
  int gy = int((y - source.top() + 0.5) * shot.height() / source.height());
  if (flags & kMirrorLeftRight) gx = shot.width() - 1 - gx;
  if (flags & kFlipUpDown) gy = shot.height() - 1 - gy;
  return {gx, gy};
}

// The shot's luma mapped back to a width x height picture (grey outside `source`).
inline std::vector<uint8_t> BackToPicture(const QImage& shot, int width, int height,
                                          const QRect& source, int flags) {
  std::vector<uint8_t> luma(size_t(width) * height, 128);
  for (int y = source.top(); y <= source.bottom(); ++y)
    for (int x = source.left(); x <= source.right(); ++x) {
      const QPoint g = ShotPoint(shot, source, flags, x, y);
      if (shot.rect().contains(g)) luma[size_t(y) * width + x] = uint8_t(Luma(shot.pixel(g)));
    }
  return luma;
}

// The tag read where the picture put it, after undoing the window's transform.
inline FrameTagValue ShownTag(const QImage& shot, const QRect& source, int flags) {
  using P = TaggedPicture;
  const std::vector<uint8_t> luma = BackToPicture(shot, P::kWidth, P::kHeight, source, flags);
  return ReadFrameTag(luma.data() + P::kTagY * P::kWidth + P::kTagX, P::kWidth,
                      P::kWidth - P::kTagX, P::kHeight - P::kTagY);
}

}  // namespace tq::test
