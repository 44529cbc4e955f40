#include "playback/gui/CGlDraw.h"

#include <QCoreApplication>
#include <QOffscreenSurface>
#include <QOpenGLContext>
#include <QOpenGLFunctions>
#include <QOpenGLShaderProgram>
#include <QThread>
#include <cstring>
#include <mutex>

#include "playback/gui/GlCanvas.h"
#include "playback/gui/ViewSurface.h"

namespace tq {
namespace {
constexpr int kBgraBytes = 4;

// Mesa's software rasterisers: every pixel the "GPU" touches is processor time.
bool IsSoftwareRenderer(const char* renderer) {
  return renderer && (std::strstr(renderer, "llvmpipe") || std::strstr(renderer, "softpipe") ||
                      std::strstr(renderer, "swrast"));
}
}  // namespace

std::atomic<int> CGlDraw::upload_{int(CGlDraw::Upload::Auto)};
std::atomic<bool> CGlDraw::software_{false};

CGlDraw::Upload CGlDraw::ChosenUpload() {
  const auto chosen = Upload(upload_.load());
  if (chosen != Upload::Auto) return chosen;
  return software_.load() ? Upload::ShownSize : Upload::Planes;
}

bool CGlDraw::ProbeContext() {
  // Contexts and offscreen surfaces are made on the GUI thread only.
  if (!QCoreApplication::instance() || QThread::currentThread() != QCoreApplication::instance()->thread())
    return false;
  QOpenGLContext context;
  if (!context.create()) return false;
  QOffscreenSurface offscreen;
  offscreen.setFormat(context.format());
  offscreen.create();
  if (!offscreen.isValid() || !context.makeCurrent(&offscreen)) return false;
  bool ok = false;
  {
    software_.store(IsSoftwareRenderer(
        reinterpret_cast<const char*>(context.functions()->glGetString(GL_RENDERER))));
    QOpenGLShaderProgram yuv, bgra;
    ok = BuildYuvProgram(yuv) && BuildBgraProgram(bgra);
  }
  context.doneCurrent();
  return ok;
}

int CGlDraw::Init(DrawWindow window, int width, int height) {
  auto* s = static_cast<ViewSurface*>(window);
  if (!s || !s->glCanvas() || s->glCanvas()->failed()) return kDrawFailed;
  window_ = window;
  shownSize_ = ChosenUpload() == Upload::ShownSize;
  s->Bind(ViewSurface::Mode::Accelerated);
  return SetSourceSize(width, height);
}

int CGlDraw::SetSourceSize(int width, int height) {
  if (width <= 0 || height <= 0) return kDrawFailed;
  sourceWidth_ = width;
  sourceHeight_ = height;
  return shownSize_ ? kDrawRgb32 : kDrawI420;
}

bool CGlDraw::CanvasFailed() const {
  return !surface() || !surface()->glCanvas() || surface()->glCanvas()->failed();
}

// Slot mutex held.
bool CGlDraw::DrawPlanesLocked(const DrawPicture& picture) {
  PictureSlot& s = surface()->slot();
  if (!TakesPlanarYuv(picture.format) || picture.width <= 0 || picture.height <= 0) return false;
  const int w = picture.width, h = picture.height, cw = (w + 1) / 2, ch = (h + 1) / 2;
  s.planes.resize(size_t(w) * h + 2 * size_t(cw) * ch);
  uint8_t* out = s.planes.data();
  // I420 takes U then V; YV12 hands V first.
  const int order[3] = {0, picture.format == kDrawYv12 ? 2 : 1, picture.format == kDrawYv12 ? 1 : 2};
  for (int i = 0; i < 3; ++i) {
    const int pw = i ? cw : w, ph = i ? ch : h;
    const uint8_t* in = picture.data[order[i]];
    const int stride = picture.linesize[order[i]];
    if (!in || stride < pw) return false;
    for (int row = 0; row < ph; ++row, out += pw) std::memcpy(out, in + size_t(row) * stride, size_t(pw));
  }
  s.PublishedLocked(kDrawI420, w, h);
  return true;
}

// Slot mutex held. A BGRA picture at its own size: the canvas applies zoom and flags.
bool CGlDraw::DrawPackedLocked(const DrawPicture& picture) {
  PictureSlot& s = surface()->slot();
  const int w = picture.width, h = picture.height;
  if (picture.format != kDrawRgb32 || w <= 0 || h <= 0 || !picture.data[0] ||
      picture.linesize[0] < w * kBgraBytes)
    return false;
  if (s.image.width() != w || s.image.height() != h || s.image.format() != QImage::Format_RGB32)
    s.image = QImage(w, h, QImage::Format_RGB32);
  if (s.image.isNull()) return false;
  for (int row = 0; row < h; ++row)
    std::memcpy(s.image.scanLine(row), picture.data[0] + size_t(row) * picture.linesize[0], size_t(w) * kBgraBytes);
  s.PublishedLocked(kDrawRgb32, w, h);
  return true;
}

bool CGlDraw::Draw(const DrawPicture* picture, int flags, bool present) {
  if (CanvasFailed()) return false;
  PictureSlot& s = surface()->slot();
  {
    std::lock_guard<std::mutex> lock(s.mutex);
    s.SetViewLocked(flags, zoom_);
    if (picture && !(shownSize_ ? DrawPackedLocked(*picture) : DrawPlanesLocked(*picture))) return false;
  }
  if (present) surface()->RequestPaint();
  return true;
}

bool CGlDraw::BeginDirect(int, int, DirectTarget* target) {
  *target = DirectTarget{};
  if (!shownSize_ || CanvasFailed()) return false;
  surface()->LendImage(target);
  direct_ = true;
  return true;
}

bool CGlDraw::EndDirect(int flags, bool present, bool converted) {
  if (!direct_ || !surface()) return false;
  // The flags stay texture coordinates: nothing is turned on the processor.
  surface()->ReturnImage(flags, zoom_, converted, false);
  direct_ = false;
  if (present) surface()->RequestPaint();
  return true;
}

bool CGlDraw::Clear() {
  if (CanvasFailed()) return false;
  surface()->ShowBlack();
  return true;
}

bool CGlDraw::Present() {
  if (CanvasFailed()) return false;
  surface()->RequestPaint();
  return true;
}

}  // namespace tq
