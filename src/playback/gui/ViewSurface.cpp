#include "playback/gui/ViewSurface.h"

#include <QPainter>
#include <algorithm>
#include <cstdlib>

#include "playback/CDrawDisp.h"
#include "playback/gui/GlCanvas.h"

namespace tq {
namespace {
// Stretching by more than this many pixels uses smooth filtering (a nearly 1:1 picture
// stays sharp).
constexpr int kSmoothAbovePixels = 9;
}  // namespace

QRect SourceRectLocked(const PictureSlot& slot) {
  const QRect whole(0, 0, slot.width, slot.height);
  if (!slot.zoomed) return whole;
  const QRect zoom(QPoint(slot.zoom.left, slot.zoom.top), QPoint(slot.zoom.right - 1, slot.zoom.bottom - 1));
  const QRect inside = zoom.intersected(whole);
  return inside.isEmpty() ? whole : inside;
}

ViewSurface::ViewSurface(QWidget* parent) : QWidget(parent) {
  setAttribute(Qt::WA_TransparentForMouseEvents);
  setAttribute(Qt::WA_OpaquePaintEvent);
  setFocusPolicy(Qt::NoFocus);
}

ViewSurface::~ViewSurface() = default;

void ViewSurface::EnableAccelerated() {
  if (gl_.load() || !ProcessDrawCaps().acceleratedUsable.load()) return;
  auto* canvas = new GlCanvas(this);  // a child: the widget tree owns it
  canvas->setGeometry(rect());
  canvas->setVisible(mode_.load() == Mode::Accelerated);
  gl_.store(canvas);
}

void ViewSurface::AcceleratedFailed() {
  QMetaObject::invokeMethod(
      this,
      [this] {
        if (onFailure_) onFailure_();
      },
      Qt::QueuedConnection);
}

void ViewSurface::Bind(Mode mode) {
  mode_.store(mode);
  RequestPaint();
}

void ViewSurface::ShowBlack() {
  {
    std::lock_guard<std::mutex> lock(slot_.mutex);
    slot_.black = true;
  }
  RequestPaint();
}

void ViewSurface::RequestPaint() {
  if (paintPending_.exchange(true)) return;
  // Queued to the GUI thread; dropped by Qt if the surface is gone by then.
  QMetaObject::invokeMethod(
      this,
      [this] {
        paintPending_.store(false);
        ApplyMode();
        if (GlCanvas* gl = gl_.load(); gl && mode_.load() == Mode::Accelerated) gl->update();
        else update();
      },
      Qt::QueuedConnection);
}

void ViewSurface::ApplyMode() {
  GlCanvas* gl = gl_.load();
  if (!gl) return;
  const bool show = mode_.load() == Mode::Accelerated;
  if (gl->isVisible() != show) gl->setVisible(show);
}

void ViewSurface::UpdateShownSize(bool shown) {
  const qreal ratio = devicePixelRatioF();
  const uint64_t w = shown ? uint64_t(std::max(0, int(width() * ratio + 0.5))) : 0;
  const uint64_t h = shown ? uint64_t(std::max(0, int(height() * ratio + 0.5))) : 0;
  shownSize_.store(w << 32 | h);
}

void ViewSurface::resizeEvent(QResizeEvent* event) {
  if (GlCanvas* gl = gl_.load()) gl->setGeometry(rect());
  UpdateShownSize(isVisible());
  QWidget::resizeEvent(event);
}

void ViewSurface::showEvent(QShowEvent* event) {
  UpdateShownSize(true);
  QWidget::showEvent(event);
}

void ViewSurface::hideEvent(QHideEvent* event) {
  UpdateShownSize(false);
  QWidget::hideEvent(event);
}

// Raster presentation: the kept picture over the whole window. A picture prepared at the
// window's size is drawn 1:1; any other (or one from before a resize) is stretched, so a
// resize shows the last picture at the new size until the next one arrives.
void ViewSurface::paintEvent(QPaintEvent*) {
  QPainter p(this);
  p.fillRect(rect(), Qt::black);
  if (mode_.load() != Mode::Raster) return;
  std::lock_guard<std::mutex> lock(slot_.mutex);
  ++presents_;
  if (slot_.black || slot_.format != kDrawRgb32 || slot_.image.isNull()) return;
  const QRect source = slot_.prepared ? slot_.image.rect() : SourceRectLocked(slot_);
  const QRectF target(0, 0, width(), height());
  const QSizeF device = target.size() * devicePixelRatioF();
  p.setRenderHint(QPainter::SmoothPixmapTransform,
                  std::abs(source.width() - device.width()) > kSmoothAbovePixels);
  const int flags = slot_.flags ^ slot_.appliedFlags;  // what the picture does not have yet
  const bool flip = flags & kFlipUpDown, mirror = flags & kMirrorLeftRight;
  if (!flip && !mirror && source.size() == device.toSize()) {
    p.drawImage(target, slot_.image);  // the single-pass picture: a plain copy
    return;
  }
  p.translate(mirror ? width() : 0, flip ? height() : 0);
  p.scale(mirror ? -1 : 1, flip ? -1 : 1);
  p.drawImage(target, slot_.image, QRectF(source));
}

}  // namespace tq
