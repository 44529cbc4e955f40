// The recording-time index that the timeline and calendar draw: one day record per day
// of the listed recordings (newest first), 24 hour slots per day, 60 minute levels per
// hour. Levels are class + 1 (normal 1 .. manual 4); where recordings meet, the higher
// level wins. Built on the user-interface thread while the file list fills; minute levels
// are filled lazily per hour.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <list>
#include <memory>
#include <vector>

#include "library/CatalogEntry.h"

namespace tq {

constexpr int kHoursPerDay = 24;
constexpr int kMinutesPerHour = 60;

struct HourRecord {
  uint8_t level = 0;        // highest level of the recordings that start in this hour
  uint8_t minutesDone = 0;  // 1 once FillMinutes has run for this hour
  int firstRow = 0;         // list row of the first (newest) listed recording of the hour
  std::array<uint8_t, kMinutesPerHour> minutes{};  // 0 = no recording
};

struct DayRecord {
  int32_t date = 0;  // YYYYMMDD
  int firstRow = 0;  // list row of the first listed recording of the day
  std::array<std::unique_ptr<HourRecord>, kHoursPerDay> hours;  // empty slot: no recording
};

// Seconds of a civil date and time since 1970-01-01 00:00, in the camera's local time
// without any zone rules: the camera's clock knows no daylight saving.
int64_t CivilSeconds(int32_t date, int32_t time);
// The date one day after `date` (YYYYMMDD); 0 when `date` is not a calendar date.
int32_t NextDate(int32_t date);
// True when the date is a calendar date and the time a valid HHMMSS.
bool IsCalendarMoment(int32_t date, int32_t time);

class RecordingIndex {
 public:
  // Returns the entry's duration in seconds, probing it when it is not known yet.
  using DurationFn = std::function<int32_t(CatalogEntry&)>;

  void Clear();

  // Called for each listed recording in list order; `row` is its list row (0, 1, ...).
  // The index keeps the pointer: entries must outlive the index or the next Clear.
  // A recording whose name holds no calendar date and time is listed but not indexed.
  void MarkHour(CatalogEntry* entry, int row);

  // Fills the minute levels of one hour once (later calls return at once). Returns false
  // when the index has no record for that hour.
  bool FillMinutes(int32_t date, int hour, const DurationFn& duration);

  const std::list<DayRecord>& Days() const { return days_; }
  const DayRecord* FindDay(int32_t date) const;
  const HourRecord* FindHour(int32_t date, int hour) const;
  // The listed recordings, by row.
  const std::vector<CatalogEntry*>& Rows() const { return rows_; }

 private:
  std::list<DayRecord>::iterator FindDayIt(int32_t date);
  HourRecord& RaiseHour(DayRecord& day, int hour, uint8_t level, int row);
  void MarkSpillFromEarlier(size_t row, int32_t date, int hour, HourRecord& target,
                            const DurationFn& duration);

  // A list keeps the addresses of day records stable for the timeline that holds them.
  std::list<DayRecord> days_;
  DayRecord* current_ = nullptr;  // the day record MarkHour is filling
  std::vector<CatalogEntry*> rows_;
};

}  // namespace tq
