#include "playback/gui/ViewWaitMsg.h"

#include <QPainter>
#include <QTimerEvent>

#include "controls/GuiSkin.h"

namespace tq {
namespace {
constexpr int kSide = 100;  // x interface scale
constexpr double kOpacity = 160.0 / 255.0;
}  // namespace

ViewWaitMsg::ViewWaitMsg(QWidget* view) : QWidget(view) {
  setAttribute(Qt::WA_TransparentForMouseEvents);
  setAttribute(Qt::WA_TranslucentBackground);
  setFocusPolicy(Qt::NoFocus);
  resize(QSize(kSide, kSide) * GuiScale());
  hide();
}

void ViewWaitMsg::Place() {
  if (const QWidget* view = parentWidget()) move(view->rect().center() - rect().center());
}

void ViewWaitMsg::showEvent(QShowEvent* event) {
  Place();
  raise();
  timer_.start(kFrameMs, this);
  QWidget::showEvent(event);
}

void ViewWaitMsg::hideEvent(QHideEvent* event) {
  timer_.stop();
  QWidget::hideEvent(event);
}

void ViewWaitMsg::timerEvent(QTimerEvent* event) {
  if (event->timerId() != timer_.timerId()) return QWidget::timerEvent(event);
  const int count = WaitAnimationList().Count();
  frame_ = count > 0 ? (frame_ + 1) % count : 0;
  update();
}

void ViewWaitMsg::paintEvent(QPaintEvent*) {
  QPainter p(this);
  p.setOpacity(kOpacity);
  if (const QPixmap* image = WaitAnimationList().At(frame_)) p.drawPixmap(rect(), *image);
  else p.fillRect(rect(), QColor(128, 128, 128));
}

}  // namespace tq
