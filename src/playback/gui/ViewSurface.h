// The on-screen window of one camera view: a widget made on the GUI thread that the
// OpenGL and raster renderers bind to (it is their DrawWindow). A renderer's Draw copies
// the picture into the surface's slot and asks the GUI thread to present; painting
// happens only on the GUI thread, from the slot.
//
// The surface takes no mouse input: the view widget that holds it gets every click.
#pragma once

#include <QImage>
#include <QPointer>
#include <QTimer>
#include <QWidget>
#include <atomic>
#include <cstdint>
#include <functional>
#include <mutex>
#include <vector>

#include "playback/CDraw.h"

namespace tq {

class GlCanvas;

// The picture handed from a renderer to the GUI thread. Written under `mutex` by a
// renderer (play_thread or UI thread, which also hold the view's frame mutex); read under
// `mutex` by the paint code on the GUI thread, which takes no other lock while holding it.
struct PictureSlot {
  std::mutex mutex;
  int format = kDrawFailed;    // kDrawI420: `planes`; kDrawRgb32: `image`
  int width = 0;
  int height = 0;
  std::vector<uint8_t> planes;  // I420 rows packed: Y (w x h), U and V ((w+1)/2 x (h+1)/2)
  QImage image;                 // BGRA picture (raster, and OpenGL at the shown size)
  int flags = 0;                // kFlipUpDown | kMirrorLeftRight
  // `image` was made at the window's size from the zoom rectangle, with these flags
  // already applied: painted 1:1, the zoom not applied again.
  bool prepared = false;
  int appliedFlags = 0;
  bool zoomed = false;
  ZoomRect zoom;                // source rectangle while zoomed
  bool black = true;            // cleared: the window shows black
  uint64_t serial = 0;          // bumped with every new picture

  // What every draw records: the flags and the view's zoom rectangle (null: all).
  void SetViewLocked(int newFlags, const ZoomRect* newZoom) {
    flags = newFlags;
    zoomed = newZoom != nullptr;
    if (newZoom) zoom = *newZoom;
  }
  // A new picture of this layout and size is in the slot.
  void PublishedLocked(int newFormat, int newWidth, int newHeight, bool isPrepared = false) {
    prepared = isPrepared;
    if (!isPrepared) appliedFlags = 0;
    format = newFormat;
    width = newWidth;
    height = newHeight;
    black = false;
    ++serial;
  }
};

// The part of the picture to show: the zoom rectangle clamped to the picture, or all of
// it. Slot mutex held.
QRect SourceRectLocked(const PictureSlot& slot);

class ViewSurface : public QWidget {
  Q_OBJECT
 public:
  enum class Mode { None, Accelerated, Raster };

  explicit ViewSurface(QWidget* parent = nullptr);
  ~ViewSurface() override;

  // GUI thread, before a session uses this surface: makes the OpenGL canvas when the
  // process-wide probe found OpenGL usable. Without it the OpenGL renderer cannot bind.
  void EnableAccelerated();
  GlCanvas* glCanvas() const { return gl_.load(); }

  // Any thread. Bind: the renderer of this kind now owns the slot (the canvas that shows
  // it is switched on the GUI thread). RequestPaint: queue one present; requests made
  // before the GUI thread got to it are merged.
  void Bind(Mode mode);
  Mode mode() const { return mode_.load(); }
  void RequestPaint();
  // Marks the slot black and queues a present (a renderer's Clear).
  void ShowBlack();
  PictureSlot& slot() { return slot_; }
  // Any thread: the size in device pixels the surface shows pictures at; 0 x 0 while it
  // is hidden, covered by other widgets or in a minimised window (nothing needs
  // converting for it then).
  QSize shownSize() const {
    const uint64_t v = shownSize_.load();
    return QSize(int(v >> 32), int(v & 0xFFFFFFFFu));
  }

  // Single-pass drawing for a back end (see CDraw::BeginDirect). LendImage takes the slot
  // mutex and points `target` at the BGRA image at the shown size (an empty target when
  // the surface shows nothing: the picture is then owed). ReturnImage publishes what was
  // converted, with the flags turned in place when `turnInPlace` (otherwise the painter
  // applies them), and releases the mutex.
  void LendImage(DirectTarget* target);
  void ReturnImage(int flags, const ZoomRect* zoom, bool converted, bool turnInPlace);

  // GUI thread. Called when the surface shows again after a picture was owed to it (the
  // view's owner redraws a paused picture; a playing one converts its next picture).
  void SetCatchUpHandler(std::function<void()> handler) { onCatchUp_ = std::move(handler); }

  // GUI thread. The OpenGL canvas could not start after its renderer bound: `handler`
  // (set by the view's owner) picks another renderer for this window, queued.
  void SetAcceleratedFailureHandler(std::function<void()> handler) { onFailure_ = std::move(handler); }
  void AcceleratedFailed();

  // GUI thread: how many times the slot was presented (tests wait on it).
  uint64_t presents() const { return presents_; }
  void CountPresent() { ++presents_; }

 protected:
  void paintEvent(QPaintEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void showEvent(QShowEvent* event) override;
  void hideEvent(QHideEvent* event) override;

 private:
  void ApplyMode();
  // Recomputes the shown size (visibility, coverage, the window's state); on the way back
  // from showing nothing, repaints and catches up an owed picture.
  void RefreshShown();
  bool ShowsNothing() const;

  PictureSlot slot_;
  std::atomic<GlCanvas*> gl_{nullptr};  // child widget, written once on the GUI thread
  std::atomic<Mode> mode_{Mode::None};
  std::atomic<bool> paintPending_{false};
  std::atomic<uint64_t> shownSize_{0};  // width << 32 | height, written on the GUI thread
  // A picture was not converted because the surface showed nothing: caught up with one
  // redraw when it shows again. Set and cleared under the slot mutex, read anywhere.
  std::atomic<bool> owed_{false};
  uint64_t presents_ = 0;  // GUI thread
  std::function<void()> onFailure_;  // GUI thread
  std::function<void()> onCatchUp_;  // GUI thread
  // Polls the coverage while a picture is owed to a shown but covered surface: Qt tells a
  // widget nothing when a sibling stops covering it.
  QTimer coverPoll_;
};

}  // namespace tq
