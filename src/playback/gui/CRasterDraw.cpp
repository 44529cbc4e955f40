#include "playback/gui/CRasterDraw.h"

#include <cstring>
#include <mutex>

#include "playback/gui/ViewSurface.h"

namespace tq {
namespace {
constexpr int kBgraBytes = 4;
}  // namespace

int CRasterDraw::Init(DrawWindow window, int width, int height) {
  auto* s = static_cast<ViewSurface*>(window);
  if (!s) return kDrawFailed;
  window_ = window;
  s->Bind(ViewSurface::Mode::Raster);
  return SetSourceSize(width, height);
}

int CRasterDraw::SetSourceSize(int width, int height) {
  if (width <= 0 || height <= 0) return kDrawFailed;
  sourceWidth_ = width;
  sourceHeight_ = height;
  return kDrawRgb32;
}

bool CRasterDraw::Draw(const DrawPicture* picture, int flags, bool present) {
  if (!surface()) return false;
  PictureSlot& s = surface()->slot();
  {
    std::lock_guard<std::mutex> lock(s.mutex);
    s.SetViewLocked(flags, zoom_);
    if (picture) {
      const int w = picture->width, h = picture->height;
      if (picture->format != kDrawRgb32 || w <= 0 || h <= 0 || !picture->data[0] ||
          picture->linesize[0] < w * kBgraBytes)
        return false;
      // The painter only reads the image while holding the slot mutex, so the kept
      // buffer is reused in place.
      if (s.image.width() != w || s.image.height() != h) s.image = QImage(w, h, QImage::Format_RGB32);
      if (s.image.isNull()) return false;
      for (int row = 0; row < h; ++row)
        std::memcpy(s.image.scanLine(row), picture->data[0] + size_t(row) * picture->linesize[0],
                    size_t(w) * kBgraBytes);
      s.PublishedLocked(kDrawRgb32, w, h);
    }
  }
  if (present) surface()->RequestPaint();
  return true;
}

bool CRasterDraw::BeginDirect(int, int, DirectTarget* target) {
  *target = DirectTarget{};
  if (!surface()) return false;
  surface()->LendImage(target);
  direct_ = true;
  return true;
}

bool CRasterDraw::EndDirect(int flags, bool present, bool converted) {
  if (!direct_ || !surface()) return false;
  // Turned in place: the painter then copies the picture without a transform.
  surface()->ReturnImage(flags, zoom_, converted, true);
  direct_ = false;
  if (present) surface()->RequestPaint();
  return true;
}

bool CRasterDraw::Clear() {
  if (!surface()) return false;
  surface()->ShowBlack();
  return true;
}

bool CRasterDraw::Present() {
  if (!surface()) return false;
  surface()->RequestPaint();
  return true;
}

}  // namespace tq
