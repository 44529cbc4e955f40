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
  const QSize shown = surface()->shownSize();
  PictureSlot& s = surface()->slot();
  s.mutex.lock();  // released by EndDirect; the painter waits at most one conversion
  direct_ = true;
  if (shown.isEmpty()) return true;  // hidden: nothing to convert
  // The image is reused while the window keeps its size: no allocation per picture.
  if (s.image.size() != shown || s.image.format() != QImage::Format_RGB32)
    s.image = QImage(shown, QImage::Format_RGB32);
  if (s.image.isNull()) return true;
  target->data = s.image.bits();
  target->linesize = int(s.image.bytesPerLine());
  target->width = shown.width();
  target->height = shown.height();
  return true;
}

bool CRasterDraw::EndDirect(int flags, bool present, bool converted) {
  if (!direct_ || !surface()) return false;
  PictureSlot& s = surface()->slot();
  s.SetViewLocked(flags, zoom_);
  if (converted) {
    // Turned in place: the painter then copies the picture without a transform.
    const bool mirror = flags & kMirrorLeftRight, flip = flags & kFlipUpDown;
    if (mirror || flip) s.image.mirror(mirror, flip);
    s.appliedFlags = flags & (kMirrorLeftRight | kFlipUpDown);
    s.PublishedLocked(kDrawRgb32, s.image.width(), s.image.height(), true);
  }
  direct_ = false;
  s.mutex.unlock();
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
