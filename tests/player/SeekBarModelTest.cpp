// The seek bar's arithmetic: time texts at the 64 s boundary, the indexed limit, the end
// position, drags that run past the indexed part or off the bar, and the idle state.
#include <gtest/gtest.h>

#include "player/SeekBarModel.h"

namespace tq {
namespace {

SeekBarModel Loaded(int durationSec, int minutes, int indexedMs, int scale = 1) {
  SeekBarModel bar;
  bar.scale = scale;
  SeekBarSetup(bar, durationSec, minutes);
  SeekBarIndexedTo(bar, indexedMs);
  bar.enabled = true;
  return bar;
}

struct TextCase {
  int64_t positionMs;
  int duration;
  const char* want;
};

TEST(SeekBarText, short_and_long_formats_switch_at_64_seconds) {
  const TextCase cases[] = {
      {12000, 45, "12 / 45"},          {12999, 45, "12 / 45"},  // whole seconds, not rounded
      {0, 63, "0 / 63"},               {63000, 63, "63 / 63"},
      {0, 64, "0:00 / 1:04"},          {65000, 180, "1:05 / 3:00"},
      {59999, 180, "0:59 / 3:00"},     {600000, 601, "10:00 / 10:01"},
      {-5, 45, "0 / 45"},
  };
  for (const TextCase& c : cases) EXPECT_EQ(SeekBarText(c.positionMs, c.duration), c.want) << c.positionMs;
}

TEST(SeekBarScale, ms_per_pixel_spans_the_whole_minutes) {
  EXPECT_EQ(SeekBarMsPerPixel(1, 3), 1200);
  EXPECT_EQ(SeekBarMsPerPixel(2, 3), 600);
  EXPECT_EQ(SeekBarMsPerPixel(1, 1), 400);
  EXPECT_EQ(SeekBarMsPerPixel(1, 0), 400);  // an entry without minutes still gets a scale
  // 150 pixels cover exactly the minutes at either scale.
  EXPECT_EQ(SeekBarMsPerPixel(1, 3) * kSeekBarWidth * 1, 180000);
  EXPECT_EQ(SeekBarMsPerPixel(2, 3) * kSeekBarWidth * 2, 180000);
}

TEST(SeekBarPosition, held_to_the_indexed_part_and_minus_one_is_the_end) {
  struct Case {
    int64_t indexedMs, positionMs;
    int wantPlayed;
    const char* wantText;
  } cases[] = {
      {180000, 65000, 54, "1:05 / 3:00"},  // 65000 / 1200
      {60000, 65000, 50, "1:00 / 3:00"},   // beyond the indexed 50 pixels: held there
      {0, 65000, 0, "0:00 / 3:00"},
      {0, -1, 150, "3:00 / 3:00"},         // the end is not held to the index
  };
  for (const Case& c : cases) {
    SeekBarModel bar = Loaded(180, 3, int(c.indexedMs));
    SeekBarChange ch = SeekBarSetPosition(bar, c.positionMs, false);
    EXPECT_TRUE(ch.applied);
    EXPECT_EQ(bar.played, c.wantPlayed) << c.positionMs;
    EXPECT_EQ(ch.newPlayed, c.wantPlayed);
    EXPECT_EQ(bar.text, c.wantText);
  }
}

TEST(SeekBarPosition, ignored_without_duration_and_while_dragging_unless_forced) {
  SeekBarModel idle;
  EXPECT_FALSE(SeekBarSetPosition(idle, 1000, true).applied);
  EXPECT_EQ(idle.text, "00 / 00");

  SeekBarModel bar = Loaded(45, 1, 45000);
  ASSERT_TRUE(SeekBarPress(bar, 10, 18, 5));
  EXPECT_FALSE(SeekBarSetPosition(bar, 30000, false).applied);  // the engine's report
  EXPECT_EQ(bar.played, 10);
  EXPECT_TRUE(SeekBarSetPosition(bar, 30000, true).applied);
  EXPECT_EQ(bar.played, 75);
}

TEST(SeekBarIndex, extent_changes_reported_once) {
  SeekBarModel bar = Loaded(180, 3, 0);
  int old = -1;
  EXPECT_TRUE(SeekBarIndexedTo(bar, 12000, &old));
  EXPECT_EQ(old, 0);
  EXPECT_EQ(bar.indexed, 10);
  EXPECT_FALSE(SeekBarIndexedTo(bar, 12500, &old));  // same pixel
  SeekBarModel idle;
  EXPECT_FALSE(SeekBarIndexedTo(idle, 12000));
  EXPECT_EQ(idle.indexed, 0);
}

TEST(SeekBarDrag, stops_at_the_indexed_extent_and_seeks_there) {
  SeekBarModel bar = Loaded(45, 1, 20000);  // 50 pixels indexed at 400 ms per pixel
  ASSERT_TRUE(SeekBarPress(bar, 20, 18, 9));
  SeekBarMove(bar, 140);
  EXPECT_EQ(bar.played, 50);
  int64_t target = -1;
  ASSERT_TRUE(SeekBarRelease(bar, &target));
  EXPECT_EQ(target, 20000);
  EXPECT_FALSE(bar.dragging);
  EXPECT_FALSE(SeekBarRelease(bar, &target));  // no second seek without a drag
}

TEST(SeekBarDrag, left_of_the_bar_is_its_start_not_the_end) {
  SeekBarModel bar = Loaded(45, 1, 45000);
  ASSERT_TRUE(SeekBarPress(bar, 30, 18, 9));
  SeekBarMove(bar, -40);
  EXPECT_EQ(bar.played, 0);
  EXPECT_EQ(bar.text, "0 / 45");
}

TEST(SeekBarDrag, presses_on_the_text_outside_or_before_start_are_ignored) {
  struct Case {
    bool enabled;
    int x, y;
  } cases[] = {
      {true, 150, 9},   // first pixel of the text
      {true, 200, 9},
      {true, -1, 9},
      {true, 20, 18},   // below the bar
      {false, 20, 9},   // before playback started
  };
  for (const Case& c : cases) {
    SeekBarModel bar = Loaded(45, 1, 45000);
    bar.enabled = c.enabled;
    EXPECT_FALSE(SeekBarPress(bar, c.x, 18, c.y)) << c.x;
    EXPECT_FALSE(bar.dragging);
    EXPECT_EQ(bar.played, 0);
  }
  SeekBarModel bar = Loaded(45, 1, 45000);
  EXPECT_TRUE(SeekBarPress(bar, 149, 18, 0));  // last pixel of the bar
}

TEST(SeekBarReset, back_to_idle_text_and_disabled) {
  SeekBarModel bar = Loaded(180, 3, 180000);
  SeekBarSetPosition(bar, 65000, false);
  SeekBarReset(bar);
  EXPECT_EQ(bar.text, "00 / 00");
  EXPECT_EQ(bar.durationSec, 0);
  EXPECT_EQ(bar.played, 0);
  EXPECT_EQ(bar.indexed, 0);
  EXPECT_FALSE(bar.enabled);
  EXPECT_FALSE(SeekBarSetPosition(bar, 1000, false).applied);
}

}  // namespace
}  // namespace tq
