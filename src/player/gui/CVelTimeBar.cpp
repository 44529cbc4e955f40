#include "player/gui/CVelTimeBar.h"

#include <QMouseEvent>
#include <QPainter>
#include <algorithm>

#include "app/gui/GuiMessages.h"
#include "controls/GuiSkin.h"
#include "playback/PlayMessages.h"

namespace tq {
namespace {

const QColor kIndexedColour{0x3C, 0x3F, 0x40};  // COLORREF 0x403F3C
const QColor kRestColour{0x80, 0x85, 0x89};     // COLORREF 0x898580
const QColor kTextBack{0x05, 0x0A, 0x10};       // COLORREF 0x100A05
constexpr int kRestMargin = 60;                 // x scale: the rest ends this far before the right edge

}  // namespace

CVelTimeBar::CVelTimeBar(QObject* owner, QWidget* parent) : QWidget(parent), owner_(owner) {
  model_.scale = GuiScale();
  setAttribute(Qt::WA_OpaquePaintEvent);
}

QSize CVelTimeBar::sizeHint() const {
  return QSize(kSeekBarTotalWidth, kSeekBarStripHeight) * model_.scale;
}

QRect CVelTimeBar::TextRect() const {
  const int left = kSeekBarWidth * model_.scale;
  return QRect(left, 0, std::max(0, std::min(width(), kSeekBarTotalWidth * model_.scale) - left), height());
}

void CVelTimeBar::Setup(int durationSec, int minutes) {
  model_.scale = GuiScale();
  SeekBarSetup(model_, durationSec, minutes);
  update();
}

void CVelTimeBar::Reset() {
  SeekBarReset(model_);
  update();
}

void CVelTimeBar::RepaintStrip(int from, int to) {
  if (from > to) std::swap(from, to);
  update(QRect(from, 0, to - from + 1, kSeekBarStripHeight * model_.scale));
}

void CVelTimeBar::SetPosition(int64_t ms, bool forced) {
  const SeekBarChange change = SeekBarSetPosition(model_, ms, forced);
  if (!change.applied) return;
  update(TextRect());
  if (change.newPlayed != change.oldPlayed) RepaintStrip(change.oldPlayed, change.newPlayed);
}

void CVelTimeBar::SetIndexedTo(int64_t ms) {
  int old = 0;
  if (SeekBarIndexedTo(model_, ms, &old)) RepaintStrip(old, model_.indexed);
}

void CVelTimeBar::paintEvent(QPaintEvent*) {
  QPainter p(this);
  const int s = model_.scale;
  const int barRight = kSeekBarWidth * s;
  const int played = std::clamp(model_.played, 0, barRight);
  const int indexed = std::clamp(model_.indexed, played, barRight);
  const int restEnd = std::max(indexed, width() - kRestMargin * s);
  p.fillRect(rect(), kTextBack);
  p.fillRect(QRect(0, 0, played, height()), kThemeTitle);
  p.fillRect(QRect(played, 0, indexed - played, height()), kIndexedColour);
  p.fillRect(QRect(indexed, 0, std::max(0, std::min(restEnd, barRight) - indexed), height()), kRestColour);
  const QRect text = TextRect();
  p.fillRect(text, kTextBack);
  p.setFont(GuiFont(UiFontKind::Normal));
  p.setPen(kLightText);
  p.drawText(text, Qt::AlignCenter | Qt::TextSingleLine, Text());
}

void CVelTimeBar::mousePressEvent(QMouseEvent* event) {
  if (event->button() != Qt::LeftButton) return;
  const QPoint at = event->position().toPoint();
  if (SeekBarPress(model_, at.x(), height(), at.y())) {
    grabMouse();
    update();
  }
}

void CVelTimeBar::mouseMoveEvent(QMouseEvent* event) {
  if (!model_.dragging) return;
  const int old = model_.played;
  SeekBarMove(model_, event->position().toPoint().x());
  update(TextRect());
  if (model_.played != old) RepaintStrip(old, model_.played);
}

void CVelTimeBar::mouseReleaseEvent(QMouseEvent* event) {
  if (event->button() != Qt::LeftButton) return;
  int64_t target = 0;
  if (!SeekBarRelease(model_, &target)) return;
  releaseMouse();
  if (owner_) PostMsg(owner_, int(kMsgSeekRequest), 0, target);
}

}  // namespace tq
