#include "telemetry/gui/CVelTimeLine.h"

#include <QKeyEvent>
#include <QPainter>
#include <algorithm>

#include "app/gui/GuiMessages.h"
#include "app/gui/PlayRequests.h"
#include "controls/GuiSkin.h"
#include "playback/PlayMessages.h"

namespace tq {
namespace {

const QColor kLevelColour[5] = {QColor(242, 242, 242), QColor(57, 182, 196), QColor(123, 180, 66),
                                QColor(73, 72, 72), QColor(243, 125, 32)};
const QColor kEmpty{242, 242, 242};
const QColor kBand{180, 180, 182};
const QColor kText{5, 5, 5};
const QColor kCurrentFrame{52, 50, 50};
const QColor kClickedFrame{237, 101, 34};
const QColor kTick{15, 15, 15};

QColor LevelColour(int level) { return level >= 1 && level <= 4 ? kLevelColour[level] : kEmpty; }

}  // namespace

CVelTimeLine::CVelTimeLine(QObject* owner, QWidget* parent) : QWidget(parent), owner_(owner), scale_(GuiScale()) {
  setAttribute(Qt::WA_OpaquePaintEvent);
  setObjectName("CVelTimeLine");
  setFocusPolicy(Qt::StrongFocus);
  model_.SetWidth(width());
  Render();
}

void CVelTimeLine::SetIndex(const RecordingIndex* index, TimeLineModel::FillMinutesFn fill) {
  std::lock_guard<std::mutex> lock(lock_);
  model_.SetIndex(index, std::move(fill));
}

void CVelTimeLine::SetDay(bool reset) {
  {
    std::lock_guard<std::mutex> lock(lock_);
    model_.SetDay(reset);
  }
  Render();
  update();
}

void CVelTimeLine::SetRecording(int32_t date, int hour, int minute, int32_t startSeconds, int32_t duration,
                                int secondsPerSlot, int recordingClass, bool crossesMidnight) {
  {
    std::lock_guard<std::mutex> lock(lock_);
    model_.SetRecording(date, hour, minute, startSeconds, duration, secondsPerSlot, recordingClass, crossesMidnight);
  }
  Render();
  update();
}

void CVelTimeLine::SetPos(int32_t seconds) {
  const int oldSlot = model_.currentSlot(), oldMinute = model_.selectedMinute();
  TimeLineModel::PosChange change;
  {
    std::lock_guard<std::mutex> lock(lock_);
    change = model_.SetPos(seconds);
  }
  if (change.newDay != 0) PostMsg(owner_, int(kMsgSeekRequest), -1, change.newDay);
  if (change.hourChanged) {
    Render();
    update();
    return;
  }
  if (change.clickCleared) update();
  if (change.slotMoved) {
    const QRect a = CellRect(2, std::max(oldSlot, 0)), b = CellRect(2, model_.currentSlot());
    update(a.united(b));
  }
  if (change.minuteChanged) update(CellRect(1, std::max(oldMinute, 0)).united(CellRect(1, model_.selectedMinute())));
}

void CVelTimeLine::ClearClick() {
  model_.ClearClick();
  update();
}

void CVelTimeLine::ClearRecording() {
  {
    std::lock_guard<std::mutex> lock(lock_);
    model_.ClearRecording();
  }
  Render();
  update();
}

QRect CVelTimeLine::CellRect(int row, int cell) const {
  const TimeLineGeometry& g = model_.Geometry();
  const int w = row == 0 ? g.hourWidth : g.minuteWidth;
  return QRect(cell * w, TimeLineRowTop(row, scale_), w, TimeLineRowHeight(scale_));
}

QPoint CVelTimeLine::CellCentre(int row, int cell) const { return CellRect(row, cell).center(); }

void CVelTimeLine::Render() {
  const int s = scale_;
  const TimeLineGeometry& g = model_.Geometry();
  picture_ = QImage(g.drawWidth, std::max(height(), 86 * s), QImage::Format_RGB32);
  picture_.fill(kBand);
  QPainter p(&picture_);
  QFont font = GuiFont(UiFontKind::Normal);
  font.setPixelSize(9 * s);
  p.setFont(font);
  const int rowH = TimeLineRowHeight(s);
  auto label = [&](int x, int bottom, const QString& text) {
    p.setPen(kText);
    p.drawText(QRect(x + 2, bottom - 12 * s, 40 * s, 11 * s), Qt::AlignLeft | Qt::AlignBottom, text);
  };
  // Hour ruler and row.
  p.setPen(kTick);
  const int hourTop = TimeLineRowTop(0, s);
  for (int h = 0; h <= kHoursPerDay; ++h) {
    const int x = std::min(h * g.hourWidth, g.drawWidth - 1);
    p.setPen(kTick);
    p.drawLine(x, hourTop - 4 * s, x, hourTop - 1);
    if (h < kHoursPerDay) label(x, hourTop - 1, QString::number(h));
  }
  for (int h = 0; h < kHoursPerDay; ++h)
    p.fillRect(QRect(h * g.hourWidth, hourTop, g.hourWidth, rowH), LevelColour(model_.HourLevel(h)));
  // Minute ruler and row.
  const int minuteTop = TimeLineRowTop(1, s);
  for (int m = 0; m <= kMinutesPerHour; ++m) {
    const int x = std::min(m * g.minuteWidth, g.drawWidth - 1);
    const bool longTick = m % 10 == 0;
    p.setPen(kTick);
    p.drawLine(x, minuteTop - (longTick ? 5 : 2) * s, x, minuteTop - 1);
    if (longTick && m < kMinutesPerHour) label(x, minuteTop - 1, QString::number(m));
  }
  for (int m = 0; m < kMinutesPerHour; ++m)
    p.fillRect(QRect(m * g.minuteWidth, minuteTop, g.minuteWidth, rowH), LevelColour(model_.MinuteLevel(m)));
  // Slot row: six time labels every tenth slot, then the recording's bar.
  const int slotTop = TimeLineRowTop(2, s);
  if (model_.slotCount() > 0) {
    for (int i = 0; i < 6; ++i) {
      const int32_t t = model_.startSeconds() + model_.secondsPerSlot() * 10 * i;
      const int x = i * 10 * g.minuteWidth;
      p.setPen(kTick);
      p.drawLine(x, slotTop - 5 * s, x, slotTop - 1);
      label(x, slotTop - 1, QString::asprintf("%02d:%02d", t % 3600 / 60, t % 60));
    }
  }
  p.fillRect(QRect(0, slotTop, g.drawWidth, rowH), kEmpty);
  p.fillRect(QRect(0, slotTop, model_.slotCount() * g.minuteWidth, rowH), LevelColour(model_.recordingClass() + 1));
}

void CVelTimeLine::paintEvent(QPaintEvent*) {
  QPainter p(this);
  p.drawImage(0, 0, picture_);
  if (width() > picture_.width()) p.fillRect(picture_.width(), 0, width() - picture_.width(), height(), kBand);
  if (picture_.height() < height()) p.fillRect(0, picture_.height(), width(), height() - picture_.height(), kBand);
  auto frame = [&](const QRect& r, const QColor& colour) {
    p.setPen(colour);
    p.setBrush(Qt::NoBrush);
    p.drawRect(r.adjusted(0, 0, -1, -1));
    p.drawRect(r.adjusted(1, 1, -2, -2));
  };
  if (model_.selectedHour() >= 0) frame(CellRect(0, model_.selectedHour()), kCurrentFrame);
  if (model_.selectedMinute() >= 0) frame(CellRect(1, model_.selectedMinute()), kCurrentFrame);
  if (model_.currentSlot() >= 0) frame(CellRect(2, model_.currentSlot()), kCurrentFrame);
  if (model_.clicked()) frame(CellRect(model_.clickedRow(), model_.clickedCell()), kClickedFrame);
  if (hasFocus()) {
    p.setPen(QPen(kClickedFrame, 1, Qt::DotLine));
    p.drawRect(rect().adjusted(0, 0, -1, -1));
  }
}

void CVelTimeLine::resizeEvent(QResizeEvent*) {
  {
    std::lock_guard<std::mutex> lock(lock_);
    model_.SetWidth(width());
  }
  Render();
  update();
}

void CVelTimeLine::Post(int wParam, int32_t lParam) {
  SharedPlayRequests().navigationBusy = true;
  PostMsg(owner_, int(kMsgSeekRequest), wParam, lParam);
}

void CVelTimeLine::mousePressEvent(QMouseEvent* event) {
  if (event->button() != Qt::LeftButton) return QWidget::mousePressEvent(event);
  setFocus(Qt::MouseFocusReason);
  const auto request = model_.Click(int(event->position().x()), int(event->position().y()), scale_,
                                    SharedPlayRequests().navigationBusy);
  if (!request) return;
  update(CellRect(model_.clickedRow(), model_.clickedCell()));
  Post(request->wParam, request->lParam);
}

void CVelTimeLine::keyPressEvent(QKeyEvent* event) {
  bool moved = false;
  switch (event->key()) {
    case Qt::Key_Left: moved = model_.MoveMinute(-1); break;
    case Qt::Key_Right: moved = model_.MoveMinute(+1); break;
    case Qt::Key_Up: moved = model_.MoveHour(-1); break;
    case Qt::Key_Down: moved = model_.MoveHour(+1); break;
    case Qt::Key_Return:
    case Qt::Key_Enter:
      // The selected minute, as a click on it would ask.
      if (!SharedPlayRequests().navigationBusy && !model_.clicked() && model_.selectedHour() >= 0 &&
          model_.MinuteLevel(model_.selectedMinute()) != 0)
        Post(2, model_.selectedMinute());
      return;
    default: return QWidget::keyPressEvent(event);
  }
  if (moved) {
    Render();
    update();
  }
}

void CVelTimeLine::focusInEvent(QFocusEvent*) { update(); }
void CVelTimeLine::focusOutEvent(QFocusEvent*) { update(); }

}  // namespace tq
