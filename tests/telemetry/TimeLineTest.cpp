#include <gtest/gtest.h>

#include "TelemetryTestUtil.h"
#include "library/CFileList.h"
#include "telemetry/TimeLine.h"

namespace {

using namespace tq::test;
using tq::RecordingMinutesOf;

TEST(RecordingMinutes, first_whole_minute_end_and_minute_clicks) {
  struct Row {
    int32_t time, duration;
    int firstWhole, offset, end;
    int clickHhmm;
    int32_t seekTo;  // -1: the file list is asked
  } rows[] = {
      {101500, 60, 1015, 0, 1016, 1016, 60},
      {101500, 60, 1015, 0, 1016, 1017, -1},
      {101430, 45, 1015, 30, 1015, 1015, 30},
      {101430, 20, -1, 0, 1014, 1014, -1},
      {101430, 20, -1, 0, 1014, 1015, -1},
      {105830, 150, 1059, 30, 1101, 1100, 90},
      {105830, 150, 1059, 30, 1101, 1058, -1},
      {235900, 90, 2359, 0, 0, 2359, 0},
  };
  for (const Row& r : rows) {
    const auto m = RecordingMinutesOf(20261205, r.time, r.duration);
    EXPECT_EQ(m.firstWhole, r.firstWhole) << r.time << "/" << r.duration;
    EXPECT_EQ(m.offsetToFirst, r.offset) << r.time << "/" << r.duration;
    EXPECT_EQ(m.endHhmm, r.end) << r.time << "/" << r.duration;
    const auto seek = tq::SeekSecondsFor(m, 20261205, r.clickHhmm);
    EXPECT_EQ(seek.value_or(-1), r.seekTo) << r.time << "/" << r.duration << " click " << r.clickHhmm;
  }
  // Across midnight the minutes of the next day belong to the recording too.
  const auto night = RecordingMinutesOf(20261205, 235930, 120);
  EXPECT_EQ(night.endHhmm, 1);
  EXPECT_EQ(tq::SeekSecondsFor(night, 20261206, 0).value_or(-1), 30);
  EXPECT_EQ(tq::SeekSecondsFor(night, 20261206, 1).value_or(-1), 90);
  EXPECT_FALSE(tq::SeekSecondsFor(night, 20261205, 0));  // same hhmm, the day before
  EXPECT_EQ(tq::AddMinutesHhmm(2359, 2), 1);
  EXPECT_EQ(tq::AddMinutesHhmm(1059, 1), 1100);
}

TEST(TimeLineGeometry, columns_and_cells) {
  struct Row {
    int width, minute, draw, hour;
  } rows[] = {{600, 10, 600, 25}, {120, 2, 120, 5}, {60, 2, 120, 5}, {1200, 20, 1200, 50}};
  for (const Row& r : rows) {
    const auto g = tq::TimeLineGeometryFor(r.width);
    EXPECT_EQ(g.minuteWidth, r.minute) << r.width;
    EXPECT_EQ(g.drawWidth, r.draw) << r.width;
    EXPECT_EQ(g.hourWidth, r.hour) << r.width;
  }
  // The panel cuts the column to a multiple of 120 and keeps 12 px on the right.
  const auto c = tq::TimeLineColumnFor(850, 1);
  EXPECT_EQ(c.width, 600);  // 850 - 193 - 28 = 629 -> 600
  EXPECT_EQ(c.x, 238);
  EXPECT_EQ(tq::TimeLineColumnFor(1700, 2).width, 1200);
  // Rows: [16, 26), [46, 56), [76, 86) at scale 1.
  EXPECT_EQ(tq::TimeLineRowAt(15, 1), -1);
  EXPECT_EQ(tq::TimeLineRowAt(16, 1), 0);
  EXPECT_EQ(tq::TimeLineRowAt(26, 1), -1);
  EXPECT_EQ(tq::TimeLineRowAt(55, 1), 1);
  EXPECT_EQ(tq::TimeLineRowAt(152, 2), 2);
}

TEST(Calendar, month_grid_in_leap_and_common_years) {
  struct Row {
    int year, month, days, firstWeekday;
  } rows[] = {{2024, 2, 29, 4}, {2026, 2, 28, 0}, {2000, 2, 29, 2}, {1900, 2, 28, 4}, {2026, 12, 31, 2}};
  for (const Row& r : rows) {
    EXPECT_EQ(tq::DaysInMonth(r.year, r.month), r.days) << r.year;
    EXPECT_EQ(tq::WeekdayOf(r.year, r.month, 1), r.firstWeekday) << r.year;
    // The last day's cell answers with its day, the cell after it with none.
    const auto last = tq::CalendarCellOf(r.year, r.month, r.days, 1);
    EXPECT_EQ(tq::CalendarDayAt(r.year, r.month, last.x + 5, last.y + 5, 1), r.days) << r.year;
    const int after = (r.firstWeekday + r.days) % 7;
    if (after != 0) {
      EXPECT_EQ(tq::CalendarDayAt(r.year, r.month, last.x + 23 + 5, last.y + 5, 1), 0) << r.year;
    }
  }
  // February 2026 starts on a Sunday: four full weeks, 28 at the bottom right.
  const auto feb28 = tq::CalendarCellOf(2026, 2, 28, 1);
  EXPECT_EQ(feb28.x, 6 * 23);
  EXPECT_EQ(feb28.y, 44 + 3 * 19);
  EXPECT_EQ(tq::CalendarDayAt(2024, 2, 4 * 23 + 1, 44 + 1, 1), 1);  // Thursday 1 Feb 2024
  EXPECT_EQ(tq::CalendarDayAt(2024, 2, 3 * 23 + 1, 44 + 1, 1), 0);
  EXPECT_EQ(tq::CalendarButtonAt(5, 5, 1), 0);
  EXPECT_EQ(tq::CalendarButtonAt(150, 5, 1), 1);
  EXPECT_EQ(tq::DistinctDays({20261206, 20261205, 20261205, 20261299, 20261206}),
            (std::vector<int32_t>{20261205, 20261206}));
}

TEST(GSensorEvents, slots_over_the_threshold) {
  // 10 s, 1 s per slot; quiet at 0, one jolt in second 6 (X +100) and a milder one in 8 (Z -61).
  std::vector<G3> records;
  for (uint32_t ms = 0; ms < 10000; ms += 100) records.push_back({ms, 0, 0, 0});
  records[61].x = 100;
  records[82].z = -61;
  records[45].y = 60;  // exactly the threshold: not an event
  const auto block = Block3gf(records);
  tq::GSensorGraph g;
  g.Set3GF(block.data(), int64_t(block.size()), 10, 1);
  struct Row {
    int threshold;
    std::vector<int> slots;
  } rows[] = {{60, {6, 8}}, {99, {6}}, {100, {}}, {61, {6}}, {0, {4, 5, 6, 7, 8, 9}}};  // 0: the echoes too
  for (const Row& r : rows) {
    std::vector<int> slots;
    for (const auto& e : tq::FindGSensorEvents(g, r.threshold)) slots.push_back(e.slot);
    EXPECT_EQ(slots, r.slots) << r.threshold;
  }
  const auto events = tq::FindGSensorEvents(g, 60);
  ASSERT_EQ(events.size(), 2u);
  EXPECT_EQ(events[0].peak[0], 100);
  EXPECT_EQ(events[1].peak[2], -61);
  EXPECT_EQ(events[1].startSeconds, 8);
  EXPECT_EQ(tq::EventSeekSeconds(events[0]), 3);
  EXPECT_EQ(tq::EventSeekSeconds(tq::GSensorEvent{1, 2, {}}), 0);
}

// A catalog of a few recordings, indexed as the file list fills it.
class TimeLineModelTest : public ::testing::Test {
 protected:
  void SetUp() override {
    for (const char* name : {"20261206_001000_NF", "20261205_235900_NF", "20261205_103700_EF",
                             "20261205_103900_NF", "20261205_090000_NF"})
      ASSERT_TRUE(catalog.Add(name, tq::kKindMp4));
    int row = 0;
    for (tq::CatalogEntry& e : catalog.Entries()) {
      e.duration = 90;
      catalog.MarkHour(&e, row++);
    }
    model.SetIndex(&catalog.Index(), [this](int32_t date, int hour) { catalog.FillMinutes(date, hour); });
    model.SetWidth(600);
  }
  tq::CFileList catalog;
  tq::TimeLineModel model;
};

TEST_F(TimeLineModelTest, hour_click_targets_the_first_marked_minute) {
  catalog.ClearIndex();
  int row = 0;
  for (tq::CatalogEntry& e : catalog.Entries())
    if (e.date == 20261205) catalog.MarkHour(&e, row++);
  model.SetDay(true);
  EXPECT_EQ(model.ShownDate(), 20261205);
  EXPECT_EQ(model.selectedHour(), 9);  // the day's first hour with a record
  const auto click = model.Click(10 * 25 + 3, 20, 1, false);
  ASSERT_TRUE(click);
  EXPECT_EQ(click->wParam, 1);
  EXPECT_EQ(click->lParam, 10);
  catalog.FillMinutes(20261205, 10);
  const tq::HourRecord* hour = catalog.Index().FindHour(20261205, 10);
  ASSERT_NE(hour, nullptr);
  EXPECT_EQ(tq::FirstMarkedMinute(*hour), 37);
  // A pending click blocks the next one; the busy flag too.
  EXPECT_FALSE(model.Click(9 * 25 + 3, 20, 1, false));
  model.ClearClick();
  EXPECT_FALSE(model.Click(9 * 25 + 3, 20, 1, true));
  EXPECT_FALSE(model.Click(11 * 25 + 3, 20, 1, false));  // hour 11 has no recording
}

TEST_F(TimeLineModelTest, minute_and_slot_rows_and_keys) {
  model.SetDay(true);
  model.SetRecording(20261205, 10, 37, (10 * 60 + 37) * 60, 90, 2, 1, false);
  EXPECT_EQ(model.slotCount(), 45);
  EXPECT_EQ(model.MinuteLevel(37), 2);  // event
  EXPECT_EQ(model.MinuteLevel(38), 2);
  EXPECT_EQ(model.MinuteLevel(39), 1);
  EXPECT_EQ(model.MinuteLevel(36), 0);
  EXPECT_FALSE(model.Click(36 * 10 + 1, 50, 1, false));
  auto minute = model.Click(39 * 10 + 1, 50, 1, false);
  ASSERT_TRUE(minute);
  EXPECT_EQ(minute->wParam, 2);
  EXPECT_EQ(minute->lParam, 39);
  model.ClearClick();
  EXPECT_FALSE(model.Click(45 * 10 + 1, 80, 1, false));
  auto slot = model.Click(5 * 10 + 1, 80, 1, false);
  ASSERT_TRUE(slot);
  EXPECT_EQ(slot->wParam, 3);
  EXPECT_EQ(slot->lParam, 10);
  // The pending slot click lasts until playback reaches it.
  EXPECT_TRUE(model.SetPos(2).slotMoved);
  EXPECT_TRUE(model.clicked());
  EXPECT_TRUE(model.SetPos(11).clickCleared);
  EXPECT_FALSE(model.clicked());
  // Keys walk the marked minutes and hours.
  EXPECT_TRUE(model.MoveMinute(+1));
  EXPECT_EQ(model.selectedMinute(), 38);
  EXPECT_TRUE(model.MoveMinute(-1));
  EXPECT_FALSE(model.MoveMinute(-1));  // nothing earlier in hour 10
  EXPECT_EQ(model.selectedMinute(), 37);
  EXPECT_TRUE(model.MoveHour(+1));
  EXPECT_EQ(model.selectedHour(), 23);
  EXPECT_EQ(model.selectedMinute(), 59);
  EXPECT_FALSE(model.MoveHour(+1));
}

TEST_F(TimeLineModelTest, playback_over_midnight_moves_to_the_next_day) {
  model.SetDay(true);
  // 23:59:00 for 90 s, 1 s per slot (60 slots at most).
  model.SetRecording(20261205, 23, 59, 23 * 3600 + 59 * 60, 90, 2, 0, true);
  auto before = model.SetPos(58);
  EXPECT_TRUE(before.slotMoved);
  EXPECT_EQ(before.newDay, 0);
  EXPECT_EQ(model.selectedHour(), 23);
  auto after = model.SetPos(60);
  EXPECT_EQ(after.newDay, 20261206);
  EXPECT_TRUE(after.hourChanged);
  EXPECT_EQ(model.ShownDate(), 20261206);
  EXPECT_EQ(model.selectedHour(), 0);
  EXPECT_EQ(model.selectedMinute(), 0);
  EXPECT_EQ(model.HourLevel(0), 1);  // the next day's own recording at 00:10
  // Seeking back crosses again, to the day before.
  auto back = model.SetPos(10);
  EXPECT_EQ(back.newDay, 20261205);
  EXPECT_EQ(model.selectedHour(), 23);
  // Keys that select another hour do not move the day: only the playing time does. The
  // selection stays while the playing minute does, then follows it again.
  ASSERT_TRUE(model.MoveHour(-1));
  EXPECT_EQ(model.selectedHour(), 10);
  EXPECT_EQ(model.SetPos(12).newDay, 0);
  EXPECT_EQ(model.ShownDate(), 20261205);
  EXPECT_EQ(model.selectedHour(), 10);
  const auto next = model.SetPos(62);
  EXPECT_EQ(next.newDay, 20261206);
  EXPECT_EQ(model.selectedHour(), 0);
  // A recording that does not start in hour 23 never changes the day.
  model.SetRecording(20261205, 10, 37, (10 * 60 + 37) * 60, 90, 2, 1, false);
  EXPECT_EQ(model.SetPos(70).newDay, 0);
  EXPECT_EQ(model.ShownDate(), 20261205);
}

}  // namespace
