#include "telemetry/gui/CVelCalendar.h"

#include <QDate>
#include <QMouseEvent>
#include <QPainter>
#include <algorithm>

#include "app/gui/GuiMessages.h"
#include "controls/GuiSkin.h"
#include "playback/PlayMessages.h"
#include "telemetry/TimeLine.h"

namespace tq {
namespace {

const QColor kBack{250, 250, 250};
const QColor kText{5, 5, 5};
const QColor kSunday{250, 5, 5};
const QColor kNoRecording{188, 188, 188};
const QColor kMarkedText{250, 250, 250};
const QColor kSelectedMarker{237, 101, 34};
const QColor kHoverMarker{57, 182, 196};
const QColor kButtonFace{180, 180, 182};
const QColor kButtonHover{132, 43, 55};

QRect ToRect(const CalendarCell& c) { return QRect(c.x, c.y, c.width, c.height); }

}  // namespace

CVelCalendar::CVelCalendar(QObject* owner, QWidget* parent) : QWidget(parent), owner_(owner), scale_(GuiScale()) {
  setAttribute(Qt::WA_OpaquePaintEvent);
  setObjectName("CVelCalendar");
  setMouseTracking(true);
  SetDates({});
}

void CVelCalendar::ShowDate(int32_t date) {
  year_ = date / 10000;
  month_ = date / 100 % 100;
  hoverDay_ = 0;
  update();
}

void CVelCalendar::SetDates(const std::vector<int32_t>& dates) {
  dates_ = DistinctDays(dates);
  selected_ = 0;
  lastClicked_ = 0;
  if (dates_.empty()) {
    const QDate today = QDate::currentDate();
    focus_ = 0;
    ShowDate(today.year() * 10000 + today.month() * 100 + today.day());
    return;
  }
  focus_ = dates_.back();
  ShowDate(focus_);
}

void CVelCalendar::SelectDate(int32_t date) {
  if (date == focus_ || !IsCalendarMoment(date, 0)) return;
  focus_ = date;
  ShowDate(date);
}

void CVelCalendar::KeepSelected(int32_t date) {
  selected_ = lastClicked_ = date;
  update();
}

void CVelCalendar::ShowMonth(int delta) {
  int m = year_ * 12 + (month_ - 1) + delta;
  year_ = m / 12;
  month_ = m % 12 + 1;
  hoverDay_ = 0;
  update();
}

bool CVelCalendar::IsRecordingDay(int day) const {
  return day > 0 && std::binary_search(dates_.begin(), dates_.end(), DateOf(day));
}

QPoint CVelCalendar::DayCentre(int day) const { return ToRect(CalendarCellOf(year_, month_, day, scale_)).center(); }
QPoint CVelCalendar::ButtonCentre(int which) const { return ToRect(CalendarButtonRect(which, scale_)).center(); }

void CVelCalendar::paintEvent(QPaintEvent*) {
  const int s = scale_;
  QPainter p(this);
  p.fillRect(rect(), kBack);
  p.setRenderHint(QPainter::Antialiasing);
  // Month buttons: a triangle pointing the way the month turns.
  for (int which = 0; which < 2; ++which) {
    const QRect r = ToRect(CalendarButtonRect(which, s));
    p.setPen(Qt::NoPen);
    p.setBrush(which == hoverButton_ ? kButtonHover : kButtonFace);
    p.drawRoundedRect(r.adjusted(2, 2, -2, -2), 3, 3);
    p.setBrush(kMarkedText);
    const QPoint c = r.center();
    const int d = 4 * s;
    if (which == 0) p.drawPolygon(QPolygon({QPoint(c.x() - d, c.y()), QPoint(c.x() + d / 2, c.y() - d), QPoint(c.x() + d / 2, c.y() + d)}));
    else p.drawPolygon(QPolygon({QPoint(c.x() + d, c.y()), QPoint(c.x() - d / 2, c.y() - d), QPoint(c.x() - d / 2, c.y() + d)}));
  }
  QFont font = GuiFont(UiFontKind::Normal);
  font.setPixelSize(11 * s);
  p.setFont(font);
  p.setPen(kText);
  p.drawText(QRect(26 * s, 3, (kCalendarWidth - 52) * s, 16 * s), Qt::AlignCenter,
             QString::asprintf("%04d.%02d", year_, month_));
  static const char* kWeekdays[] = {"S", "M", "T", "W", "T", "F", "S"};
  for (int i = 0; i < 7; ++i) {
    p.setPen(i == 0 ? kSunday : kText);
    p.drawText(QRect(i * 23 * s, 19 * s + 6, 23 * s, 19 * s), Qt::AlignCenter, kWeekdays[i]);
  }
  const int days = DaysInMonth(year_, month_);
  for (int day = 1; day <= days; ++day) {
    const QRect cell = ToRect(CalendarCellOf(year_, month_, day, s));
    const bool selected = selected_ != 0 && DateOf(day) == selected_;
    const bool hovered = day == hoverDay_;
    const bool recorded = IsRecordingDay(day);
    if (selected || hovered) {
      p.setPen(Qt::NoPen);
      p.setBrush(selected ? kSelectedMarker : kHoverMarker);
      const int d = std::min(cell.width(), cell.height()) - 2 * s;
      p.drawEllipse(QRect(cell.center().x() - d / 2, cell.center().y() - d / 2, d, d));
      p.setPen(kMarkedText);
    } else {
      p.setPen(recorded ? kText : kNoRecording);
      if (DateOf(day) == focus_ && recorded) {
        // The playing day: a ring, so it shows without being the filter.
        p.setBrush(Qt::NoBrush);
        const int d = std::min(cell.width(), cell.height()) - 2 * s;
        p.drawEllipse(QRect(cell.center().x() - d / 2, cell.center().y() - d / 2, d, d));
      }
    }
    p.drawText(cell, Qt::AlignCenter, QString::number(day));
  }
}

void CVelCalendar::mousePressEvent(QMouseEvent* event) {
  if (event->button() != Qt::LeftButton) return;
  const QPoint pos = event->position().toPoint();
  const int button = CalendarButtonAt(pos.x(), pos.y(), scale_);
  if (button >= 0) {
    ShowMonth(button == 0 ? -1 : +1);
    return;
  }
  const int day = CalendarDayAt(year_, month_, pos.x(), pos.y(), scale_);
  if (!IsRecordingDay(day)) return;  // only days with recordings answer
  const int32_t date = DateOf(day);
  selected_ = selected_ == date ? 0 : date;
  lastClicked_ = date;
  update();
  PostMsg(owner_, int(kMsgSeekRequest), 0, selected_ != 0 ? 1 : 0);
}

void CVelCalendar::mouseMoveEvent(QMouseEvent* event) {
  const QPoint pos = event->position().toPoint();
  const int button = CalendarButtonAt(pos.x(), pos.y(), scale_);
  const int day = button >= 0 ? 0 : CalendarDayAt(year_, month_, pos.x(), pos.y(), scale_);
  const int hover = IsRecordingDay(day) ? day : 0;
  if (hover == hoverDay_ && button == hoverButton_) return;
  hoverDay_ = hover;
  hoverButton_ = button;
  update();
}

void CVelCalendar::leaveEvent(QEvent*) {
  hoverDay_ = 0;
  hoverButton_ = -1;
  update();
}

}  // namespace tq
