#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "CatalogFixtures.h"
#include "library/CFileList.h"

namespace tq {
namespace {

using namespace testfiles;

// A folder of recordings (base name, seconds; 0 writes a header-less file), scanned and
// listed completely as the file list does.
class IndexFixture : public ::testing::Test {
 protected:
  void Build(const std::vector<std::pair<std::string, uint32_t>>& recordings) {
    for (const auto& [base, seconds] : recordings)
      dir_.Touch(base + ".mp4", seconds ? Mp4WithSeconds(seconds) : std::string());
    list_.Scan(dir_.path());
    int row = 0;
    for (CatalogEntry& e : list_.Entries()) list_.MarkHour(&e, row++);
  }
  // Minute levels of one hour as a 60-character string of digits.
  std::string Minutes(int32_t date, int hour) const {
    const HourRecord* h = list_.Index().FindHour(date, hour);
    if (!h) return "none";
    std::string s;
    for (uint8_t m : h->minutes) s += char('0' + m);
    return s;
  }
  static std::string Marked(std::vector<std::pair<int, int>> minuteLevels) {
    std::string s(60, '0');
    for (auto [minute, level] : minuteLevels) s[size_t(minute)] = char('0' + level);
    return s;
  }

  TempFolder dir_;
  CFileList list_;
};

TEST_F(IndexFixture, mark_hour_keeps_the_highest_level_and_the_first_row) {
  Build({{"20240106_080000_NF", 0}, {"20240105_103000_MF", 0}, {"20240105_101500_NF", 0},
         {"20240105_100000_ER", 0}, {"20240105_090000_PF", 0}});
  const auto& days = list_.Index().Days();
  ASSERT_EQ(days.size(), 2u);
  EXPECT_EQ(days.front().date, 20240106);
  EXPECT_EQ(days.back().date, 20240105);
  EXPECT_EQ(days.back().firstRow, 1);
  const HourRecord* h10 = list_.Index().FindHour(20240105, 10);
  ASSERT_NE(h10, nullptr);
  EXPECT_EQ(h10->level, 4);
  EXPECT_EQ(h10->firstRow, 1);
  EXPECT_EQ(h10->minutesDone, 0);
  EXPECT_EQ(list_.Index().FindHour(20240105, 9)->level, 3);
  EXPECT_EQ(list_.Index().FindHour(20240105, 11), nullptr);
}

TEST_F(IndexFixture, midnight_crossing_marks_hour_zero_of_a_new_next_day) {
  Build({{"20240105_235930_NF", 90}, {"20240104_120000_NF", 60}});
  ASSERT_TRUE(list_.FillMinutes(20240105, 23));
  EXPECT_EQ(Minutes(20240105, 23), Marked({{59, 1}}));
  EXPECT_EQ(Minutes(20240106, 0), Marked({{0, 1}, {1, 1}}));
  ASSERT_NE(list_.Index().FindDay(20240106), nullptr);
  EXPECT_EQ(list_.Index().Days().size(), 3u);
  // The newest day with recordings stays the first one the timeline shows.
  EXPECT_EQ(list_.Index().Days().front().date, 20240105);
}

TEST_F(IndexFixture, midnight_crossing_rolls_month_year_and_leap_day) {
  Build({{"20240228_235930_EF", 90}, {"20231231_235900_NF", 120}, {"20230228_235959_NF", 61}});
  ASSERT_TRUE(list_.FillMinutes(20240228, 23));
  ASSERT_TRUE(list_.FillMinutes(20231231, 23));
  ASSERT_TRUE(list_.FillMinutes(20230228, 23));
  EXPECT_EQ(Minutes(20240229, 0), Marked({{0, 2}, {1, 2}}));
  EXPECT_EQ(Minutes(20240101, 0), Marked({{0, 1}, {1, 1}}));
  EXPECT_EQ(Minutes(20230301, 0), Marked({{0, 1}, {1, 1}}));
}

TEST_F(IndexFixture, crossing_into_an_existing_next_day_reuses_its_record) {
  Build({{"20240106_003000_NF", 60}, {"20240105_235930_EF", 90}});
  ASSERT_TRUE(list_.FillMinutes(20240105, 23));
  EXPECT_EQ(list_.Index().Days().size(), 2u);
  const HourRecord* h0 = list_.Index().FindHour(20240106, 0);
  ASSERT_NE(h0, nullptr);
  EXPECT_EQ(h0->level, 2) << "the crossing raises the hour's level";
  ASSERT_TRUE(list_.FillMinutes(20240106, 0));
  EXPECT_EQ(Minutes(20240106, 0), Marked({{0, 2}, {1, 2}, {30, 1}, {31, 1}}));
}

TEST_F(IndexFixture, latest_recording_of_the_previous_hour_spills_into_the_hour) {
  Build({{"20240105_113000_NF", 60}, {"20240105_105830_EF", 150}, {"20240105_100000_NF", 60}});
  ASSERT_TRUE(list_.FillMinutes(20240105, 11));
  EXPECT_EQ(Minutes(20240105, 11), Marked({{0, 2}, {1, 2}, {30, 1}, {31, 1}}));
  // The previous hour itself: 58..59 and the crossing into hour 11 (already there).
  ASSERT_TRUE(list_.FillMinutes(20240105, 10));
  EXPECT_EQ(Minutes(20240105, 10), Marked({{0, 1}, {1, 1}, {58, 2}, {59, 2}}));
}

TEST_F(IndexFixture, previous_hour_recording_that_ends_earlier_marks_nothing) {
  Build({{"20240105_113000_NF", 60}, {"20240105_105000_EF", 60}});
  ASSERT_TRUE(list_.FillMinutes(20240105, 11));
  EXPECT_EQ(Minutes(20240105, 11), Marked({{30, 1}, {31, 1}}));
}

TEST_F(IndexFixture, previous_day_recording_spills_past_midnight) {
  Build({{"20240106_003000_NF", 60}, {"20240105_235900_MF", 150}});
  ASSERT_TRUE(list_.FillMinutes(20240106, 0));
  EXPECT_EQ(Minutes(20240106, 0), Marked({{0, 4}, {1, 4}, {30, 1}, {31, 1}}));
}

TEST_F(IndexFixture, crossing_within_a_day_creates_the_next_hour) {
  Build({{"20240105_105930_PF", 90}});
  ASSERT_EQ(list_.Index().FindHour(20240105, 11), nullptr);
  ASSERT_TRUE(list_.FillMinutes(20240105, 10));
  EXPECT_EQ(Minutes(20240105, 10), Marked({{59, 3}}));
  EXPECT_EQ(Minutes(20240105, 11), Marked({{0, 3}, {1, 3}}));
  // Filling the created hour later finds the same minutes through the spill rule.
  ASSERT_TRUE(list_.FillMinutes(20240105, 11));
  EXPECT_EQ(Minutes(20240105, 11), Marked({{0, 3}, {1, 3}}));
}

TEST_F(IndexFixture, unreadable_duration_marks_only_the_start_minute_and_fills_once) {
  Build({{"20240105_104510_EF", 0}, {"20240105_102000_NF", 185}});
  ASSERT_TRUE(list_.FillMinutes(20240105, 10));
  EXPECT_EQ(Minutes(20240105, 10),
            Marked({{20, 1}, {21, 1}, {22, 1}, {23, 1}, {45, 2}}));
  EXPECT_EQ(list_.Index().FindHour(20240105, 10)->minutesDone, 1);
  // A second call leaves the levels as they are even when the file has changed since.
  dir_.Touch("20240105_104510_EF.mp4", Mp4WithSeconds(120));
  ASSERT_TRUE(list_.FillMinutes(20240105, 10));
  EXPECT_EQ(Minutes(20240105, 10)[46], '0');
  EXPECT_FALSE(list_.FillMinutes(20240105, 11));
  EXPECT_FALSE(list_.FillMinutes(20240107, 10));
  EXPECT_FALSE(list_.FillMinutes(20240105, 24));
  EXPECT_FALSE(list_.FillMinutes(20240105, -1));
}

TEST_F(IndexFixture, names_without_a_calendar_time_are_listed_but_not_indexed) {
  Build({{"20240105_256000_NF", 60}, {"20240105_107500_EF", 60}, {"20240105_100000_NF", 60},
         {"20241399_100000_NF", 60}});
  EXPECT_EQ(list_.Count(), 4);
  EXPECT_EQ(list_.Index().Rows().size(), 4u);
  EXPECT_EQ(list_.Index().Days().size(), 1u);
  ASSERT_TRUE(list_.FillMinutes(20240105, 10));
  EXPECT_EQ(Minutes(20240105, 10), Marked({{0, 1}, {1, 1}}));
}

TEST(RecordingIndex, long_avi_header_marks_at_most_into_the_next_hour) {
  TempFolder dir;
  // One frame a second and 2^32 - 1 frames: the longest length a header can claim.
  dir.Touch("nor_00000120240105_103059_1F_N.avi", AviHeader(1000000, 0xFFFFFFFFu));
  dir.Touch("nor_00000120240105_120000_1F_N.avi", AviHeader(40000, 250));
  CFileList list;
  list.Scan(dir.path());
  int row = 0;
  for (CatalogEntry& e : list.Entries()) list.MarkHour(&e, row++);
  ASSERT_TRUE(list.FillMinutes(20240105, 10));
  EXPECT_EQ(list.Find("nor_00000120240105_103059_1F_N")->duration, 2147483647);
  EXPECT_EQ(list.Find("nor_00000120240105_103059_1F_N")->minutes, 255);
  const HourRecord* h10 = list.Index().FindHour(20240105, 10);
  const HourRecord* h11 = list.Index().FindHour(20240105, 11);
  ASSERT_TRUE(h10 && h11);
  EXPECT_EQ(h10->minutes[29], 0);
  EXPECT_EQ(h10->minutes[30], 1);
  EXPECT_EQ(h10->minutes[59], 1);
  EXPECT_EQ(h11->minutes[0], 1);
  EXPECT_EQ(h11->minutes[59], 1);
  // The next hour with a recording of its own gets the spill of the long one.
  ASSERT_TRUE(list.FillMinutes(20240105, 12));
  EXPECT_EQ(list.Index().FindHour(20240105, 12)->minutes[59], 1);
}

TEST(CivilTime, next_date_and_seconds) {
  EXPECT_EQ(NextDate(20240228), 20240229);
  EXPECT_EQ(NextDate(20230228), 20230301);
  EXPECT_EQ(NextDate(20231231), 20240101);
  EXPECT_EQ(NextDate(20241399), 0);
  EXPECT_EQ(CivilSeconds(19700101, 1), 1);
  EXPECT_EQ(CivilSeconds(20240106, 0) - CivilSeconds(20240105, 235930), 30);
  EXPECT_FALSE(IsCalendarMoment(20240105, 240000));
  EXPECT_FALSE(IsCalendarMoment(20240105, 106000));
  EXPECT_FALSE(IsCalendarMoment(20240105, 100060));
  EXPECT_TRUE(IsCalendarMoment(20240229, 235959));
  EXPECT_FALSE(IsCalendarMoment(20230229, 120000));
}

}  // namespace
}  // namespace tq
