#include "controls/CWaitMsg.h"

#include <QMouseEvent>
#include <QPainter>

#include "controls/GuiSkin.h"

namespace tq {
namespace {
constexpr double kWaitOpacity = 160.0 / 255.0;
constexpr int kWaitSide = 100;  // x s
}  // namespace

CWaitMsg::CWaitMsg(QWidget* owner) : QDialog(owner, Qt::Dialog | Qt::FramelessWindowHint) {
  setAttribute(Qt::WA_TranslucentBackground);
  setWindowOpacity(kWaitOpacity);
  setModal(true);
  setFixedSize(QSize(kWaitSide, kWaitSide) * GuiScale());
}

void CWaitMsg::showEvent(QShowEvent* event) {
  if (QWidget* owner = parentWidget()) {
    QPoint centre = owner->mapToGlobal(owner->rect().center());
    move(centre - QPoint(width() / 2, height() / 2));
  }
  timer_.start(kFrameMs, this);
  QDialog::showEvent(event);
}

void CWaitMsg::hideEvent(QHideEvent* event) {
  timer_.stop();
  QDialog::hideEvent(event);
}

void CWaitMsg::timerEvent(QTimerEvent* event) {
  if (event->timerId() != timer_.timerId()) return QDialog::timerEvent(event);
  int count = WaitAnimationList().Count();
  frame_ = count > 0 ? (frame_ + 1) % count : 0;
  update();
}

void CWaitMsg::paintEvent(QPaintEvent*) {
  QPainter p(this);
  p.setCompositionMode(QPainter::CompositionMode_Source);
  p.fillRect(rect(), Qt::transparent);
  p.setCompositionMode(QPainter::CompositionMode_SourceOver);
  if (const QPixmap* image = WaitAnimationList().At(frame_)) p.drawPixmap(rect(), *image);
}

CDispBut::CDispBut(QWidget* parent) : QWidget(parent) {
  setAttribute(Qt::WA_TranslucentBackground);
  resize(sizeHint());
}

void CDispBut::SetState(bool on) {
  state_ = on;
  update();
}

QSize CDispBut::sizeHint() const { return DispButtonList().cell * GuiScale(); }

void CDispBut::paintEvent(QPaintEvent*) {
  QPainter p(this);
  p.setOpacity(kAlpha / 255.0);
  if (const QPixmap* image = DispButtonList().At(state_ ? 1 : 0)) p.drawPixmap(QRect(QPoint(0, 0), sizeHint()), *image);
}

void CDispBut::mouseReleaseEvent(QMouseEvent* event) {
  if (!rect().contains(event->position().toPoint())) return;
  state_ = !state_;
  update();
  emit toggled(-1, state_ ? 1 : 0);
}

}  // namespace tq
