#include "playback/gui/ViewSurface.h"

#include <QPainter>
#include <QThread>
#include <QWindow>
#include <algorithm>
#include <cstdlib>

#include "playback/CDrawDisp.h"
#include "playback/gui/GlCanvas.h"

namespace tq {
namespace {
// Stretching by more than this many pixels uses smooth filtering (a nearly 1:1 picture
// stays sharp).
constexpr int kSmoothAbovePixels = 9;
// How often a covered surface that owes a picture looks whether it shows again.
constexpr int kCoverPollMs = 100;
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
  coverPoll_.setInterval(kCoverPollMs);
  connect(&coverPoll_, &QTimer::timeout, this, &ViewSurface::RefreshShown);
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
        // Every present looks again whether the surface is covered: a playing view
        // follows a sibling moving over it within a picture.
        RefreshShown();
        if (shownSize().isEmpty()) return;
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

bool ViewSurface::ShowsNothing() const {
  if (!isVisible() || width() <= 0 || height() <= 0) return true;
  const QWidget* top = window();
  if (top->isMinimized()) return true;
  if (const QWindow* handle = top->windowHandle(); handle && !handle->isExposed()) return true;
  // The canvas covers this widget while it shows: its own region is the one that counts.
  const GlCanvas* gl = gl_.load();
  const QWidget* painted = gl && gl->isVisible() ? static_cast<const QWidget*>(gl) : this;
  return painted->visibleRegion().isEmpty();
}

void ViewSurface::RefreshShown() {
  const bool nothing = ShowsNothing();
  const qreal ratio = devicePixelRatioF();
  const uint64_t w = nothing ? 0 : uint64_t(std::max(0, int(width() * ratio + 0.5)));
  const uint64_t h = nothing ? 0 : uint64_t(std::max(0, int(height() * ratio + 0.5)));
  const uint64_t before = shownSize_.exchange(w << 32 | h);
  if (nothing) {
    if (isVisible() && owed_.load()) {
      if (!coverPoll_.isActive()) coverPoll_.start();
    } else {
      coverPoll_.stop();
    }
    return;
  }
  coverPoll_.stop();
  if (before != 0) return;
  // Showing again: the window may hold an old frame (an OpenGL canvas keeps its last
  // one), and a picture skipped meanwhile is converted now. Queued, so that whoever
  // showed or uncovered the surface finishes first and nothing here runs under its locks.
  if (GlCanvas* gl = gl_.load(); gl && mode_.load() == Mode::Accelerated) gl->update();
  else update();
  if (!owed_.load()) return;
  QMetaObject::invokeMethod(
      this,
      [this] {
        if (owed_.load() && !shownSize().isEmpty() && onCatchUp_) onCatchUp_();
      },
      Qt::QueuedConnection);
}

void ViewSurface::LendImage(DirectTarget* target) {
  *target = DirectTarget{};
  // A paused view's steps and redraws run on the GUI thread: they look at the coverage
  // now rather than at what the last present saw.
  if (QThread::currentThread() == thread()) RefreshShown();
  const QSize shown = shownSize();
  slot_.mutex.lock();  // released by ReturnImage; the painter waits at most one conversion
  if (shown.isEmpty()) {
    owed_.store(true);  // hidden or covered: nothing to convert
    return;
  }
  // The image is reused while the window keeps its size: no allocation per picture.
  if (slot_.image.size() != shown || slot_.image.format() != QImage::Format_RGB32)
    slot_.image = QImage(shown, QImage::Format_RGB32);
  if (slot_.image.isNull()) return;
  target->data = slot_.image.bits();
  target->linesize = int(slot_.image.bytesPerLine());
  target->width = shown.width();
  target->height = shown.height();
}

void ViewSurface::ReturnImage(int flags, const ZoomRect* zoom, bool converted, bool turnInPlace) {
  slot_.SetViewLocked(flags, zoom);
  if (converted) {
    const bool mirror = flags & kMirrorLeftRight, flip = flags & kFlipUpDown;
    if (turnInPlace && (mirror || flip)) slot_.image.mirror(mirror, flip);
    slot_.appliedFlags = turnInPlace ? flags & (kMirrorLeftRight | kFlipUpDown) : 0;
    slot_.PublishedLocked(kDrawRgb32, slot_.image.width(), slot_.image.height(), true);
    owed_.store(false);
  }
  slot_.mutex.unlock();
}

void ViewSurface::resizeEvent(QResizeEvent* event) {
  if (GlCanvas* gl = gl_.load()) gl->setGeometry(rect());
  RefreshShown();
  QWidget::resizeEvent(event);
}

void ViewSurface::showEvent(QShowEvent* event) {
  QWidget::showEvent(event);
  RefreshShown();
}

void ViewSurface::hideEvent(QHideEvent* event) {
  shownSize_.store(0);
  coverPoll_.stop();
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
