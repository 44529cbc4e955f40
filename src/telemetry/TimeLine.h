// The arithmetic behind the timeline panel: minutes of a recording as hhmm numbers, where a
// click on the hour or minute row lands in the playing recording, the geometry of the rows
// and of the panel's column, the month grid of the calendar, the G-sensor event slots, and
// the timeline's own state (selected hour and minute, current slot, pending click, the day
// it shows). No drawing here. User-interface thread only.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <vector>

#include "library/RecordingIndex.h"
#include "telemetry/GSensorGraph.h"

namespace tq {

// ---- Minutes of a recording ---------------------------------------------------------

// hhmm + minutes, a minute part of 60 or more carrying into the hour, past 2359 into 00mm.
int AddMinutesHhmm(int hhmm, int minutes);

struct RecordingMinutes {
  int32_t date = 0;       // YYYYMMDD of the start
  int startHhmm = 0;
  int endHhmm = 0;        // start + (duration + seconds) / 60
  int firstWhole = -1;    // hhmm of the first minute boundary inside, -1 for none
  int offsetToFirst = 0;  // seconds from the start to it
  int32_t duration = 0;   // seconds
  int second = 0;         // the start's seconds
};
RecordingMinutes RecordingMinutesOf(int32_t date, int32_t hhmmss, int32_t durationSeconds);

// Seconds into the recording where the minute (targetDate, targetHhmm) begins, when that
// minute lies between its first whole minute and its end; nullopt when another recording
// has to be asked for. Compared as moments, so a recording across midnight answers for the
// minutes of the next day too.
std::optional<int32_t> SeekSecondsFor(const RecordingMinutes& r, int32_t targetDate, int targetHhmm);

// The first minute of an hour whose level is set, 0 when none is.
int FirstMarkedMinute(const HourRecord& hour);

// ---- Geometry (pixels; s is the UI scale factor) -------------------------------------

struct TimeLineGeometry {
  int minuteWidth = 2;  // per minute and per slot
  int drawWidth = 120;  // width of the off-screen picture
  int hourWidth = 5;
};
TimeLineGeometry TimeLineGeometryFor(int width);

// The timeline column of a panel `panelWidth` wide: its width and left edge.
struct TimeLineColumn {
  int width = 0;
  int x = 0;
};
TimeLineColumn TimeLineColumnFor(int panelWidth, int s);

// Top of row r (0 hours, 1 minutes, 2 slots), its height, and the row a y falls in (-1).
inline int TimeLineRowTop(int row, int s) { return 16 * s + 30 * s * row; }
inline int TimeLineRowHeight(int s) { return 10 * s; }
int TimeLineRowAt(int y, int s);

// ---- Calendar -------------------------------------------------------------------------

bool IsLeapYear(int year);
int DaysInMonth(int year, int month);
int WeekdayOf(int year, int month, int day);  // 0 Sunday .. 6 Saturday

struct CalendarCell {
  int x = 0, y = 0, width = 0, height = 0;
};
inline constexpr int kCalendarWidth = 161;  // x s
// The cell of `day` in the grid of a month (the week starts on Sunday).
CalendarCell CalendarCellOf(int year, int month, int day, int s);
// The day whose cell holds (x, y), 0 for none.
int CalendarDayAt(int year, int month, int x, int y, int s);
// Month buttons: 0 previous, 1 next, -1 none.
int CalendarButtonAt(int x, int y, int s);
CalendarCell CalendarButtonRect(int which, int s);

// The recording days of a catalog scan as a set: ascending, each once, calendar dates only.
std::vector<int32_t> DistinctDays(std::vector<int32_t> days);

// ---- G-sensor events ------------------------------------------------------------------

inline constexpr int kDefaultEventThreshold = 60;  // deviation, 1/128 g
struct GSensorEvent {
  int slot = 0;
  int32_t startSeconds = 0;
  int16_t peak[3] = {0, 0, 0};  // the slot's deviations X, Y, Z
};
// Slots whose largest deviation on any axis exceeds `threshold` (magnitude).
std::vector<GSensorEvent> FindGSensorEvents(const GSensorGraph& graph, int threshold);
// Where a double click on an event marker seeks: 3 s before the event, not before 0.
inline int32_t EventSeekSeconds(const GSensorEvent& e) { return e.startSeconds > 3 ? e.startSeconds - 3 : 0; }

// ---- The timeline's state -------------------------------------------------------------

class TimeLineModel {
 public:
  // Fills the minute levels of one hour of the index (the catalog does it on demand).
  using FillMinutesFn = std::function<void(int32_t date, int hour)>;
  // What a click asks of the panel: row + 1 and the hour, the minute or the seconds.
  struct Request {
    int wParam = 0;
    int32_t lParam = 0;
  };
  struct PosChange {
    bool slotMoved = false;
    bool hourChanged = false;    // rows 1 and 2 must be drawn again
    bool minuteChanged = false;
    bool clickCleared = false;
    int32_t newDay = 0;          // the shown day moved over midnight (YYYYMMDD)
  };

  void SetIndex(const RecordingIndex* index, FillMinutesFn fill) {
    index_ = index;
    fill_ = std::move(fill);
  }
  void SetWidth(int width) { geometry_ = TimeLineGeometryFor(width); }
  const TimeLineGeometry& Geometry() const { return geometry_; }

  // A new index (the list was filled): shows its first (newest) day; with reset, forgets
  // the recording and selects the day's first hour with a record.
  void SetDay(bool reset);
  void SetRecording(int32_t date, int hour, int minute, int32_t startSeconds, int32_t duration,
                    int secondsPerSlot, int recordingClass, bool crossesMidnight);
  PosChange SetPos(int32_t seconds);
  // A press at (x, y); nullopt when it hits nothing or must be ignored.
  std::optional<Request> Click(int x, int y, int s, bool busy);
  void ClearClick() { clicked_ = false; }
  // No recording plays any more: no slots, no current slot, no pending click.
  void ClearRecording();
  // Moves the selection by keys: minutes (Left/Right) and hours (Up/Down) of the shown day.
  // False when nothing moved.
  bool MoveMinute(int delta);
  bool MoveHour(int delta);

  int32_t ShownDate() const { return shownDate_; }
  const DayRecord* ShownDay() const { return index_ && shownDate_ ? index_->FindDay(shownDate_) : nullptr; }
  const HourRecord* SelectedHour() const;
  int HourLevel(int hour) const;
  int MinuteLevel(int minute) const;
  int selectedHour() const { return hour_; }
  int selectedMinute() const { return minute_; }
  int currentSlot() const { return slot_; }
  int slotCount() const { return slotCount_; }
  int secondsPerSlot() const { return secondsPerSlot_; }
  int32_t startSeconds() const { return start_; }
  int recordingClass() const { return class_; }
  bool clicked() const { return clicked_; }
  int clickedRow() const { return clickedRow_; }
  int clickedCell() const { return clickedCell_; }

 private:
  void Fill(int hour);

  const RecordingIndex* index_ = nullptr;
  FillMinutesFn fill_;
  TimeLineGeometry geometry_;
  int32_t shownDate_ = 0;
  int hour_ = -1, minute_ = -1, slot_ = -1;
  int posHour_ = -1, posMinute_ = -1;  // the playing time (the selection may differ)
  int32_t start_ = 0;
  int slotCount_ = 0;
  int class_ = 0;
  int secondsPerSlot_ = 1;
  bool crossesMidnight_ = false;
  bool clicked_ = false;
  int clickedRow_ = -1, clickedCell_ = -1;
};

// Date arithmetic for the midnight move: the day before (0 when not a date).
int32_t PreviousDate(int32_t date);

}  // namespace tq
