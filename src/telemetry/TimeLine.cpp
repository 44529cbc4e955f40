#include "telemetry/TimeLine.h"

#include <algorithm>
#include <chrono>
#include <cstdlib>

namespace tq {
namespace {

constexpr int kMinutesPerDay = 24 * 60;

int MinuteOfDay(int hhmm) { return hhmm / 100 * 60 + hhmm % 100; }

// Minutes since 1970 of a day and hhmm, in the camera's clock.
int64_t AbsoluteMinute(int32_t date, int hhmm) { return CivilSeconds(date, hhmm * 100) / 60; }

}  // namespace

int AddMinutesHhmm(int hhmm, int minutes) {
  int m = (MinuteOfDay(hhmm) + minutes) % kMinutesPerDay;
  if (m < 0) m += kMinutesPerDay;
  return m / 60 * 100 + m % 60;
}

RecordingMinutes RecordingMinutesOf(int32_t date, int32_t hhmmss, int32_t durationSeconds) {
  RecordingMinutes r;
  r.date = date;
  r.duration = std::max(durationSeconds, 0);
  r.second = hhmmss % 100;
  r.startHhmm = hhmmss / 100;
  r.endHhmm = AddMinutesHhmm(r.startHhmm, (r.duration + r.second) / 60);
  if (r.second == 0) {
    r.firstWhole = r.startHhmm;
    r.offsetToFirst = 0;
  } else if (r.duration + r.second > 59) {
    r.firstWhole = AddMinutesHhmm(r.startHhmm, 1);
    r.offsetToFirst = 60 - r.second;
  }
  return r;
}

std::optional<int32_t> SeekSecondsFor(const RecordingMinutes& r, int32_t targetDate, int targetHhmm) {
  if (r.firstWhole < 0 || !IsCalendarMoment(r.date, r.startHhmm * 100) ||
      !IsCalendarMoment(targetDate, targetHhmm * 100))
    return std::nullopt;
  const int64_t start = AbsoluteMinute(r.date, r.startHhmm);
  const int64_t first = start + (r.second == 0 ? 0 : 1);
  const int64_t end = start + (r.duration + r.second) / 60;
  const int64_t target = AbsoluteMinute(targetDate, targetHhmm);
  if (target < first || target > end) return std::nullopt;
  return int32_t(r.offsetToFirst + (target - first) * 60);
}

int FirstMarkedMinute(const HourRecord& hour) {
  for (int m = 0; m < kMinutesPerHour; ++m)
    if (hour.minutes[size_t(m)] != 0) return m;
  return 0;
}

TimeLineGeometry TimeLineGeometryFor(int width) {
  TimeLineGeometry g;
  g.minuteWidth = width > 120 ? width / 60 : 2;
  g.drawWidth = std::max(width, 120);
  g.hourWidth = g.drawWidth / 24;
  return g;
}

TimeLineColumn TimeLineColumnFor(int panelWidth, int s) {
  TimeLineColumn c;
  int t = panelWidth - 193 * s - 28;
  if (t > 120) t = (t / 60) / 2 * 120;
  c.width = std::max(t, 0);
  c.x = panelWidth - c.width - 12;
  return c;
}

int TimeLineRowAt(int y, int s) {
  for (int r = 0; r < 3; ++r)
    if (y >= TimeLineRowTop(r, s) && y < TimeLineRowTop(r, s) + TimeLineRowHeight(s)) return r;
  return -1;
}

bool IsLeapYear(int year) { return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0; }

int DaysInMonth(int year, int month) {
  static constexpr int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  if (month < 1 || month > 12) return 0;
  return month == 2 && IsLeapYear(year) ? 29 : kDays[month - 1];
}

int WeekdayOf(int year, int month, int day) {
  using namespace std::chrono;
  const sys_days d{year_month_day{std::chrono::year{year}, std::chrono::month{unsigned(month)},
                                  std::chrono::day{unsigned(day)}}};
  return int(weekday{d}.c_encoding());
}

CalendarCell CalendarCellOf(int year, int month, int day, int s) {
  const int index = WeekdayOf(year, month, 1) + day - 1;
  CalendarCell c;
  c.width = 23 * s;
  c.height = 19 * s;
  c.x = index % 7 * c.width;
  c.y = 38 * s + 6 + index / 7 * c.height;
  return c;
}

int CalendarDayAt(int year, int month, int x, int y, int s) {
  const int top = 38 * s + 6;
  if (x < 0 || y < top || x >= 7 * 23 * s || month < 1 || month > 12) return 0;
  const int index = (y - top) / (19 * s) * 7 + x / (23 * s);
  const int day = index - WeekdayOf(year, month, 1) + 1;
  return day >= 1 && day <= DaysInMonth(year, month) ? day : 0;
}

CalendarCell CalendarButtonRect(int which, int s) {
  CalendarCell c;
  c.width = 23 * s;
  c.height = 19 * s;
  c.y = 3;
  c.x = which == 0 ? 3 : kCalendarWidth * s - 3 - c.width;
  return c;
}

int CalendarButtonAt(int x, int y, int s) {
  for (int which = 0; which < 2; ++which) {
    const CalendarCell c = CalendarButtonRect(which, s);
    if (x >= c.x && x < c.x + c.width && y >= c.y && y < c.y + c.height) return which;
  }
  return -1;
}

std::vector<int32_t> DistinctDays(std::vector<int32_t> days) {
  days.erase(std::remove_if(days.begin(), days.end(), [](int32_t d) { return !IsCalendarMoment(d, 0); }),
             days.end());
  std::sort(days.begin(), days.end());
  days.erase(std::unique(days.begin(), days.end()), days.end());
  return days;
}

std::vector<GSensorEvent> FindGSensorEvents(const GSensorGraph& graph, int threshold) {
  std::vector<GSensorEvent> events;
  for (int slot = 0; slot < graph.slotCount(); ++slot) {
    GSensorEvent e;
    bool over = false;
    for (int a = 0; a < 3; ++a) {
      e.peak[a] = graph.deviation(a, slot);
      over = over || std::abs(int(e.peak[a])) > threshold;
    }
    if (!over) continue;
    e.slot = slot;
    e.startSeconds = int32_t(graph.secondsPerSlot()) * slot;
    events.push_back(e);
  }
  return events;
}

int32_t PreviousDate(int32_t date) {
  if (!IsCalendarMoment(date, 0)) return 0;
  const int64_t days = CivilSeconds(date, 0) / 86400 - 1;
  using namespace std::chrono;
  const year_month_day d{sys_days{std::chrono::days{days}}};
  return int32_t(int(d.year()) * 10000 + int(unsigned(d.month())) * 100 + int(unsigned(d.day())));
}

// ---- TimeLineModel --------------------------------------------------------------------

const HourRecord* TimeLineModel::SelectedHour() const {
  if (!index_ || hour_ < 0 || hour_ >= kHoursPerDay) return nullptr;
  return index_->FindHour(shownDate_, hour_);
}

int TimeLineModel::HourLevel(int hour) const {
  const HourRecord* h = index_ && hour >= 0 && hour < kHoursPerDay ? index_->FindHour(shownDate_, hour) : nullptr;
  return h ? h->level : 0;
}

int TimeLineModel::MinuteLevel(int minute) const {
  const HourRecord* h = SelectedHour();
  return h && minute >= 0 && minute < kMinutesPerHour ? h->minutes[size_t(minute)] : 0;
}

void TimeLineModel::Fill(int hour) {
  if (fill_ && hour >= 0 && hour < kHoursPerDay && HourLevel(hour) != 0) fill_(shownDate_, hour);
}

void TimeLineModel::SetDay(bool reset) {
  const DayRecord* head = index_ && !index_->Days().empty() ? &index_->Days().front() : nullptr;
  shownDate_ = head ? head->date : 0;
  clicked_ = false;
  if (!reset) return;
  hour_ = minute_ = slot_ = posHour_ = posMinute_ = -1;
  crossesMidnight_ = false;
  slotCount_ = 0;
  start_ = 0;
  class_ = 0;
  if (!head) return;
  for (int h = 0; h < kHoursPerDay; ++h)
    if (head->hours[size_t(h)]) {
      hour_ = h;
      Fill(h);
      break;
    }
}

void TimeLineModel::SetRecording(int32_t date, int hour, int minute, int32_t startSeconds, int32_t duration,
                                 int secondsPerSlot, int recordingClass, bool crossesMidnight) {
  shownDate_ = date;
  hour_ = posHour_ = hour;
  minute_ = posMinute_ = minute;
  start_ = startSeconds;
  secondsPerSlot_ = std::max(secondsPerSlot, 1);
  crossesMidnight_ = crossesMidnight;
  slotCount_ = std::min(std::max(duration, 0) / secondsPerSlot_, GSensorGraph::kMaxSlots);
  slot_ = -1;
  class_ = recordingClass;
  clicked_ = false;
  Fill(hour);
}

void TimeLineModel::ClearRecording() {
  slot_ = posHour_ = posMinute_ = -1;
  slotCount_ = 0;
  class_ = 0;
  crossesMidnight_ = false;
  clicked_ = false;
}

TimeLineModel::PosChange TimeLineModel::SetPos(int32_t seconds) {
  PosChange change;
  const int slot = seconds / secondsPerSlot_;
  if (seconds < 0 || slot == slot_ || slot >= slotCount_) {
    change.clickCleared = clicked_ && clickedRow_ != 2;
    if (change.clickCleared) clicked_ = false;
    return change;
  }
  change.slotMoved = true;
  slot_ = slot;
  if (clicked_ && (clickedRow_ != 2 || clickedCell_ == slot)) {
    clicked_ = false;
    change.clickCleared = true;
  }
  const int32_t t = start_ + seconds;
  const int hour = t / 3600 % 24;
  const int minute = t % 3600 / 60;
  const bool moved = hour != posHour_ || minute != posMinute_;
  // The day follows the playing time over midnight, whatever hour the keys selected.
  if (crossesMidnight_ && hour != posHour_ && (hour == 0 || posHour_ == 0)) {
    const int32_t day = hour == 0 ? NextDate(shownDate_) : PreviousDate(shownDate_);
    if (day != 0) {
      shownDate_ = day;
      change.newDay = day;
    }
  }
  posHour_ = hour;
  posMinute_ = minute;
  // A selection made with the keys stays until the playing minute moves on.
  if (!moved) return change;
  if (hour != hour_ || change.newDay != 0) {
    hour_ = hour;
    minute_ = minute;
    Fill(hour);
    change.hourChanged = true;
  } else if (minute != minute_) {
    minute_ = minute;
    change.minuteChanged = true;
  }
  return change;
}

std::optional<TimeLineModel::Request> TimeLineModel::Click(int x, int y, int s, bool busy) {
  if (busy || clicked_ || !index_ || !ShownDay() || x < 0) return std::nullopt;
  const int row = TimeLineRowAt(y, s);
  int cell = -1;
  int32_t value = 0;
  if (row == 0) {
    cell = x / std::max(geometry_.hourWidth, 1);
    if (cell >= kHoursPerDay || HourLevel(cell) == 0) return std::nullopt;
    value = cell;
  } else if (row == 1) {
    cell = x / std::max(geometry_.minuteWidth, 1);
    if (cell >= kMinutesPerHour || MinuteLevel(cell) == 0) return std::nullopt;
    value = cell;
  } else if (row == 2) {
    cell = x / std::max(geometry_.minuteWidth, 1);
    if (cell >= slotCount_) return std::nullopt;
    value = cell * secondsPerSlot_;
  } else {
    return std::nullopt;
  }
  clicked_ = true;
  clickedRow_ = row;
  clickedCell_ = cell;
  return Request{row + 1, value};
}

bool TimeLineModel::MoveMinute(int delta) {
  if (hour_ < 0 || HourLevel(hour_) == 0) return false;
  Fill(hour_);
  // The next minute with a recording in that direction, within the selected hour.
  for (int m = (minute_ < 0 ? (delta > 0 ? -1 : kMinutesPerHour) : minute_) + delta; m >= 0 && m < kMinutesPerHour;
       m += delta)
    if (MinuteLevel(m) != 0) {
      minute_ = m;
      return true;
    }
  return false;
}

bool TimeLineModel::MoveHour(int delta) {
  for (int h = (hour_ < 0 ? (delta > 0 ? -1 : kHoursPerDay) : hour_) + delta; h >= 0 && h < kHoursPerDay; h += delta)
    if (HourLevel(h) != 0) {
      hour_ = h;
      Fill(h);
      const HourRecord* record = SelectedHour();
      minute_ = record ? FirstMarkedMinute(*record) : 0;
      return true;
    }
  return false;
}

}  // namespace tq
