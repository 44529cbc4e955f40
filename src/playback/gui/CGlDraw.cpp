#include "playback/gui/CGlDraw.h"

#include <QCoreApplication>
#include <QOffscreenSurface>
#include <QOpenGLContext>
#include <QOpenGLShaderProgram>
#include <QThread>
#include <cstring>
#include <mutex>

#include "playback/gui/GlCanvas.h"
#include "playback/gui/ViewSurface.h"

namespace tq {

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
    QOpenGLShaderProgram program;
    ok = BuildYuvProgram(program);
  }
  context.doneCurrent();
  return ok;
}

int CGlDraw::Init(DrawWindow window, int width, int height) {
  auto* s = static_cast<ViewSurface*>(window);
  if (!s || !s->glCanvas() || s->glCanvas()->failed()) return kDrawFailed;
  window_ = window;
  s->Bind(ViewSurface::Mode::Accelerated);
  return SetSourceSize(width, height);
}

int CGlDraw::SetSourceSize(int width, int height) {
  if (width <= 0 || height <= 0) return kDrawFailed;
  sourceWidth_ = width;
  sourceHeight_ = height;
  return kDrawI420;
}

bool CGlDraw::CanvasFailed() const {
  return !surface() || !surface()->glCanvas() || surface()->glCanvas()->failed();
}

bool CGlDraw::Draw(const DrawPicture* picture, int flags, bool present) {
  if (CanvasFailed()) return false;
  PictureSlot& s = surface()->slot();
  {
    std::lock_guard<std::mutex> lock(s.mutex);
    s.SetViewLocked(flags, zoom_);
    if (picture) {
      if (!TakesPlanarYuv(picture->format) || picture->width <= 0 || picture->height <= 0) return false;
      const int w = picture->width, h = picture->height, cw = (w + 1) / 2, ch = (h + 1) / 2;
      s.planes.resize(size_t(w) * h + 2 * size_t(cw) * ch);
      uint8_t* out = s.planes.data();
      // I420 takes U then V; YV12 hands V first.
      const int order[3] = {0, picture->format == kDrawYv12 ? 2 : 1, picture->format == kDrawYv12 ? 1 : 2};
      for (int i = 0; i < 3; ++i) {
        const int pw = i ? cw : w, ph = i ? ch : h;
        const uint8_t* in = picture->data[order[i]];
        const int stride = picture->linesize[order[i]];
        if (!in || stride < pw) return false;
        for (int row = 0; row < ph; ++row, out += pw) std::memcpy(out, in + size_t(row) * stride, size_t(pw));
      }
      s.PublishedLocked(kDrawI420, w, h);
    }
  }
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
