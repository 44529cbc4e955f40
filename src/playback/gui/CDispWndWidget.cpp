#include "playback/gui/CDispWndWidget.h"

#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QPixmap>
#include <QWheelEvent>

#include "app/gui/GuiMessages.h"
#include "playback/gui/CDispSubDlg.h"
#include "playback/gui/ScreenDraw.h"
#include "playback/gui/ViewSurface.h"
#include "playback/gui/ViewWaitMsg.h"

namespace tq {
namespace {

constexpr int kCursorSide = 32;

// The hand shown while dragging a zoomed picture: an open palm, white with a black edge.
QCursor HandCursor() {
  QPixmap pixmap(kCursorSide, kCursorSide);
  pixmap.fill(Qt::transparent);
  QPainter p(&pixmap);
  p.setRenderHint(QPainter::Antialiasing);
  p.setPen(QPen(Qt::black, 1.5));
  p.setBrush(Qt::white);
  QPainterPath hand;
  hand.addRoundedRect(QRectF(8, 14, 16, 14), 5, 5);  // palm
  const double fingers[4][2] = {{8.5, 6}, {12.5, 3}, {16.5, 3}, {20.5, 6}};
  for (const auto& f : fingers) hand.addRoundedRect(QRectF(f[0], f[1], 3.5, 14), 1.75, 1.75);
  hand.addRoundedRect(QRectF(3, 15, 9, 3.5), 1.75, 1.75);  // thumb
  p.drawPath(hand.simplified());
  p.end();
  return QCursor(pixmap, kCursorSide / 2, kCursorSide / 2);
}

}  // namespace

// Turns the engine's posts into queued events for the owner; called on any thread. The
// posts that change whether a rear picture plays also queue a re-check of the sub-view.
class CDispWndWidget::Sink final : public MessageSink {
 public:
  Sink(QObject* owner, CDispWndWidget* view) : owner_(owner), view_(view) {}
  void post(uint32_t msg, int64_t wParam, int64_t lParam) override {
    if (owner_) PostMsg(owner_, int(msg), wParam, lParam);
    const bool rearChange = msg == kMsgControlNotify ||
                            (msg == kMsgPlay && (wParam == kPlaySourceError ||
                                                 (wParam == kPlayEndOrRear && lParam == kRearUnplayable)));
    if (rearChange)
      QMetaObject::invokeMethod(view_, [v = view_] { v->RefreshSubView(); }, Qt::QueuedConnection);
  }

 private:
  QObject* owner_;         // outlives the session (it owns this widget)
  CDispWndWidget* view_;   // outlives the session (it owns it)
};

// The wait indicator follows the engine's waits; called on run_thread and play_thread.
class CDispWndWidget::Observer final : public PlaybackObserver {
 public:
  explicit Observer(CDispWndWidget* view) : view_(view) {}
  void ShowWait(bool show) override {
    QMetaObject::invokeMethod(view_, [v = view_, show] { v->ShowWait(show); }, Qt::QueuedConnection);
  }
  void Presented(int view, uint32_t timeMs, uint64_t) override {
    if (view == 0 && view_->owner_ && view_->pictureReports_.load())
      PostMsg(view_->owner_, kMsgPlay, kPlayPosition, timeMs);
  }

 private:
  CDispWndWidget* view_;
};

CDispWndWidget::CDispWndWidget(const std::string& settingsFolder, QObject* owner, QWidget* parent)
    : QWidget(parent),
      owner_(owner),
      front_(new ViewSurface(this)),
      sub_(new CDispSubDlg(this)),
      wait_(new ViewWaitMsg(this)),
      sink_(std::make_unique<Sink>(owner, this)),
      observer_(std::make_unique<Observer>(this)),
      hand_(HandCursor()) {
  setMouseTracking(true);
  setFocusPolicy(Qt::ClickFocus);
  setAttribute(Qt::WA_OpaquePaintEvent);
  EnsureScreenDraw();
  SessionOptions options;
  options.settingsFolder = settingsFolder;
  options.frontWindow = front_;
  options.rearWindow = sub_->surface();
  waveOut_ = std::make_unique<QtWaveOut>();
  options.waveOut = waveOut_.get();
  session_ = std::make_unique<CDispWnd>(sink_.get(), options, observer_.get());
  // The session's creation probed the renderers: canvases only where OpenGL works.
  front_->EnableAccelerated();
  sub_->surface()->EnableAccelerated();
  // A canvas that fails after its renderer bound: that window re-picks (raster).
  front_->SetAcceleratedFailureHandler([this] { Reselect(*session_); });
  sub_->surface()->SetAcceleratedFailureHandler([this] { Reselect(session_->rearView()); });
  // A window that was hidden or covered converted nothing: shown again while paused, it
  // converts the picture it owes (a playing one converts its next picture anyway).
  front_->SetCatchUpHandler([this] { CatchUp(*session_); });
  sub_->surface()->SetCatchUpHandler([this] { CatchUp(session_->rearView()); });
  ResetZoom();
}

// The session's threads post through sink_ and draw into the surfaces: stop them first.
CDispWndWidget::~CDispWndWidget() { session_.reset(); }

ViewSurface* CDispWndWidget::RearSurface() const { return sub_->surface(); }

PlaybackObserver* CDispWndWidget::WaitObserver() const { return observer_.get(); }

void CDispWndWidget::Reselect(CDrawWnd& window) {
  window.ReselectRenderer();
  if (session_->playMode() != kPlayNone && session_->paused()) window.RedrawWindow();
}

void CDispWndWidget::CatchUp(CDrawWnd& window) {
  if (session_->playMode() != kPlayNone && session_->paused()) window.RedrawWindow();
}

// A hidden window converts nothing: one shown while paused converts its picture now.
void CDispWndWidget::SetPip(int position) {
  sub_->Show(position);
  if (session_->playMode() != kPlayNone && session_->paused() && sub_->isVisible())
    session_->rearView().RedrawWindow();
}

int CDispWndWidget::Pip() const { return sub_->position(); }

void CDispWndWidget::RefreshSubView() {
  sub_->SetActive(session_->playMode() != kPlayNone && session_->rearPresent());
  if (session_->playMode() != kPlayNone && session_->paused() && sub_->isVisible())
    session_->rearView().RedrawWindow();
}

void CDispWndWidget::ShowWait(bool show) {
  wait_->setVisible(show);
  if (show) wait_->raise();
}

void CDispWndWidget::SetSwap(bool on) {
  session_->SetSwap(on);
  SyncZoomSize();
}

void CDispWndWidget::SetPictureFlags(int flags) {
  flags_ = flags & (kFlipUpDown | kMirrorLeftRight);
  session_->SetPictureFlags(flags_);
  if (session_->playMode() != kPlayNone && session_->paused()) session_->RedrawWindow();
}

QSize CDispWndWidget::MainPictureSize() {
  if (session_->playMode() == kPlayNone) return {};
  if (session_->swapped() && session_->rearPresent())
    return {session_->rearView().width, session_->rearView().height};
  return {session_->width, session_->height};
}

bool CDispWndWidget::SyncZoomSize() {
  const QSize size = MainPictureSize();
  if (size.isEmpty()) return false;
  if (zoom_.width != size.width() || zoom_.height != size.height()) {
    if (zoom_.level == 0) tq::ResetZoom(zoom_, size.width(), size.height());
    else ResizeZoom(zoom_, size.width(), size.height());
    ApplyZoom();
  }
  return true;
}

void CDispWndWidget::ApplyZoom() {
  session_->SetZoomRect(zoom_.level > 0 ? &zoom_.rect : nullptr);
  if (session_->playMode() != kPlayNone && session_->paused()) session_->RedrawWindow();
}

void CDispWndWidget::ResetZoom() {
  const QSize size = MainPictureSize();
  tq::ResetZoom(zoom_, size.width(), size.height());
  unsetCursor();
  ApplyZoom();
}

void CDispWndWidget::resizeEvent(QResizeEvent* event) {
  front_->setGeometry(rect());
  sub_->Place();
  wait_->Place();
  QWidget::resizeEvent(event);
}

void CDispWndWidget::wheelEvent(QWheelEvent* event) {
  event->accept();
  const int delta = event->angleDelta().y();
  if (delta == 0 || !SyncZoomSize()) return;
  const QPoint at = event->position().toPoint();
  const double halfW = width() / 2.0, halfH = height() / 2.0;
  const bool changed = delta > 0 ? ZoomIn(zoom_, at.x(), at.y(), halfW, halfH)
                                 : ZoomOut(zoom_, at.x(), at.y(), halfW, halfH);
  if (changed) ApplyZoom();
}

void CDispWndWidget::mousePressEvent(QMouseEvent* event) {
  event->accept();
  if (zoom_.level == 0) return;
  if (event->button() == Qt::LeftButton) {
    zoom_.dragging = true;
    zoom_.lastX = event->position().toPoint().x();
    zoom_.lastY = event->position().toPoint().y();
    setCursor(hand_);
  } else if (event->button() == Qt::RightButton) {
    ResetZoom();
  }
}

void CDispWndWidget::mouseReleaseEvent(QMouseEvent* event) {
  event->accept();
  if (event->button() != Qt::LeftButton || zoom_.level == 0) return;
  zoom_.dragging = false;
  unsetCursor();
}

void CDispWndWidget::mouseMoveEvent(QMouseEvent* event) {
  event->accept();
  setFocus(Qt::MouseFocusReason);
  if (!zoom_.dragging) return;
  const QPoint at = event->position().toPoint();
  if (PanTo(zoom_, at.x(), at.y())) ApplyZoom();
}

void CDispWndWidget::mouseDoubleClickEvent(QMouseEvent* event) {
  event->accept();
  if (owner_)
    PostMsg(owner_, kWmCommand, kDoubleClickCommand, static_cast<long long>(reinterpret_cast<intptr_t>(this)));
}

}  // namespace tq
