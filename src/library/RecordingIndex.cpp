#include "library/RecordingIndex.h"

#include <algorithm>
#include <chrono>

namespace tq {
namespace {

constexpr int32_t kSecondsPerMinute = 60;
constexpr int64_t kSecondsPerDay = 86400;
constexpr int kLastMinute = kMinutesPerHour - 1;

std::chrono::year_month_day ToCivil(int32_t date) {
  return std::chrono::year_month_day{std::chrono::year{date / 10000},
                                     std::chrono::month{unsigned(date / 100 % 100)},
                                     std::chrono::day{unsigned(date % 100)}};
}

int StartHour(const CatalogEntry& e) { return e.time / 10000; }
int StartMinute(const CatalogEntry& e) { return e.time % 10000 / 100; }
int StartSecond(const CatalogEntry& e) { return e.time % 100; }

void MarkMinutes(HourRecord& hour, int from, int to, uint8_t level) {
  from = std::max(from, 0);
  to = std::min(to, kLastMinute);
  for (int m = from; m <= to; ++m) hour.minutes[size_t(m)] = std::max(hour.minutes[size_t(m)], level);
}

}  // namespace

bool IsCalendarMoment(int32_t date, int32_t time) {
  if (date <= 0 || !ToCivil(date).ok()) return false;
  return time >= 0 && time / 10000 < kHoursPerDay && time % 10000 / 100 < kMinutesPerHour &&
         time % 100 < kSecondsPerMinute;
}

int64_t CivilSeconds(int32_t date, int32_t time) {
  int64_t days = std::chrono::sys_days{ToCivil(date)}.time_since_epoch().count();
  return days * kSecondsPerDay + time / 10000 * 3600 + time % 10000 / 100 * 60 + time % 100;
}

int32_t NextDate(int32_t date) {
  auto civil = ToCivil(date);
  if (date <= 0 || !civil.ok()) return 0;
  std::chrono::year_month_day next{std::chrono::sys_days{civil} + std::chrono::days{1}};
  return int32_t(int(next.year()) * 10000 + int(unsigned(next.month())) * 100 +
                 int(unsigned(next.day())));
}

void RecordingIndex::Clear() {
  days_.clear();
  current_ = nullptr;
  rows_.clear();
}

void RecordingIndex::MarkHour(CatalogEntry* entry, int row) {
  if (row < 0) return;
  if (size_t(row) >= rows_.size()) rows_.resize(size_t(row) + 1, nullptr);
  rows_[size_t(row)] = entry;
  // A name with hour 25 or month 13 would address slots that do not exist.
  if (!IsCalendarMoment(entry->date, entry->time)) return;
  if (!current_ || current_->date != entry->date) {
    DayRecord& day = days_.emplace_back();
    day.date = entry->date;
    day.firstRow = row;
    current_ = &day;
  }
  RaiseHour(*current_, StartHour(*entry), EntryLevel(entry->typeCode), row);
}

HourRecord& RecordingIndex::RaiseHour(DayRecord& day, int hour, uint8_t level, int row) {
  auto& slot = day.hours[size_t(hour)];
  if (!slot) {
    slot = std::make_unique<HourRecord>();
    slot->level = level;
    slot->firstRow = row;
  } else if (slot->level < level) {
    slot->level = level;
  }
  return *slot;
}

std::list<DayRecord>::iterator RecordingIndex::FindDayIt(int32_t date) {
  return std::find_if(days_.begin(), days_.end(), [date](const DayRecord& d) { return d.date == date; });
}

const DayRecord* RecordingIndex::FindDay(int32_t date) const {
  for (const DayRecord& d : days_)
    if (d.date == date) return &d;
  return nullptr;
}

const HourRecord* RecordingIndex::FindHour(int32_t date, int hour) const {
  const DayRecord* day = FindDay(date);
  if (!day || hour < 0 || hour >= kHoursPerDay) return nullptr;
  return day->hours[size_t(hour)].get();
}

bool RecordingIndex::FillMinutes(int32_t date, int hour, const DurationFn& duration) {
  if (hour < 0 || hour >= kHoursPerDay) return false;
  auto dayIt = FindDayIt(date);
  if (dayIt == days_.end() || !dayIt->hours[size_t(hour)]) return false;
  HourRecord& record = *dayIt->hours[size_t(hour)];
  if (record.minutesDone) return true;
  record.minutesDone = 1;

  size_t row = size_t(std::max(record.firstRow, 0));
  for (; row < rows_.size(); ++row) {
    CatalogEntry* e = rows_[row];
    if (!e || e->date != date || StartHour(*e) != hour) break;
    if (!IsCalendarMoment(e->date, e->time)) continue;
    uint8_t level = EntryLevel(e->typeCode);
    int start = StartMinute(*e);
    // 64-bit: an AVI header may claim any length. Marks never go past the next hour.
    int64_t runMinutes = (int64_t(StartSecond(*e)) + std::max(duration(*e), 0)) / kSecondsPerMinute;
    int end = int(std::min<int64_t>(start + runMinutes, 2 * kMinutesPerHour - 1));
    if (end > kLastMinute) {
      // Runs into the next hour, at midnight into hour 0 of the next day. The day record
      // of a day without recordings of its own goes directly after this one.
      DayRecord* nextDay = &*dayIt;
      int nextHour = hour + 1;
      if (nextHour == kHoursPerDay) {
        int32_t nextDate = NextDate(date);
        auto it = FindDayIt(nextDate);
        if (it == days_.end()) {
          it = days_.emplace(std::next(dayIt));
          it->date = nextDate;
          it->firstRow = int(row);
        }
        nextDay = &*it;
        nextHour = 0;
      }
      HourRecord& next = RaiseHour(*nextDay, nextHour, level, int(row));
      MarkMinutes(next, 0, std::max(end - kMinutesPerHour, 0), level);
      end = kLastMinute;
    }
    MarkMinutes(record, start, end, level);
  }
  MarkSpillFromEarlier(row, date, hour, record, duration);
  return true;
}

// The listed recording just after the hour's own is the latest one of an earlier hour
// (or day); its end may reach into this hour.
void RecordingIndex::MarkSpillFromEarlier(size_t row, int32_t date, int hour, HourRecord& target,
                                          const DurationFn& duration) {
  if (row >= rows_.size() || !rows_[row]) return;
  CatalogEntry& e = *rows_[row];
  if (!IsCalendarMoment(e.date, e.time)) return;
  int64_t hourStart = CivilSeconds(date, hour * 10000);
  int64_t end = CivilSeconds(e.date, e.time) + std::max(duration(e), 0);
  if (end < hourStart) return;
  int64_t endMinute = (end - hourStart) / kSecondsPerMinute;
  MarkMinutes(target, 0, int(std::min<int64_t>(endMinute, kLastMinute)), EntryLevel(e.typeCode));
}

}  // namespace tq
