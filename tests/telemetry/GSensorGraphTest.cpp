#include <gtest/gtest.h>

#include "TelemetryTestUtil.h"
#include "telemetry/GSensorGraph.h"

namespace {

using namespace tq::test;
using tq::GSensorGraph;

TEST(SlotLayout, seconds_per_slot_and_slot_count_from_the_duration) {
  struct Row {
    int32_t duration;
    int perSlot, slots;
  } rows[] = {
      {30, 1, 30}, {60, 1, 60}, {62, 1, 60}, {63, 1, 60}, {64, 2, 32},
      {120, 2, 60}, {123, 2, 60}, {124, 3, 41}, {185, 4, 46}, {0, 1, 0},
  };
  for (const auto& r : rows) {
    uint8_t perSlot = tq::SecondsPerSlot(r.duration);
    EXPECT_EQ(perSlot, r.perSlot) << r.duration;
    GSensorGraph g;
    g.Set3GF(nullptr, 0, r.duration, perSlot);
    EXPECT_EQ(g.slotCount(), r.slots) << r.duration;
  }
}

TEST(Parse3GF, big_endian_records_and_only_whole_ones) {
  auto block = Block3gf({{70000, -300, 128, 32767}, {1, 0, -1, -32768}});
  auto records = tq::Parse3GF(block.data(), int64_t(block.size()) - 1);
  ASSERT_EQ(records.size(), 1u);
  EXPECT_EQ(records[0].timeMs, 70000u);
  EXPECT_EQ(records[0].axis[0], -300);
  EXPECT_EQ(records[0].axis[1], 128);
  EXPECT_EQ(records[0].axis[2], 32767);
  EXPECT_EQ(tq::Parse3GF(block.data(), int64_t(block.size())).size(), 2u);
  EXPECT_EQ(tq::Parse3GF(block.data(), 9).size(), 0u);
}

// Worked by hand: 4 s, 1 s per slot. Each row lists the mean over the earlier samples.
TEST(Set3GF, slot_values_are_the_largest_deviation_from_the_running_mean) {
  auto block = Block3gf({
      {0, 10, 0, 128},       // first record: slot 0 holds 0
      {500, 30, -20, 128},   // means 10, 0, 128 -> 20, -20, 0
      {1000, 0, 0, 100},     // means 20, -10, 128 -> -20, 10, -28 (slot 1)
      {1500, 300, -300, 128},  // clamped 250, -250; means 13, -6, 118 -> 237, -244, 10
      {2000, 20, 0, 128},    // means 72, -67, 121 -> -52, 67, 7 (slot 2)
      {5000, 99, 99, 99},    // slot 5 is beyond the 4 slots: feeding stops here
      {3000, 99, 99, 99},    // never fed
  });
  GSensorGraph g;
  g.Set3GF(block.data(), int64_t(block.size()), 4, 1);
  ASSERT_EQ(g.slotCount(), 4);
  const int16_t expect[4][3] = {{20, -20, 0}, {237, -244, -28}, {-52, 67, 7}, {0, 0, 0}};
  for (int slot = 0; slot < 4; ++slot)
    for (int axis = 0; axis < 3; ++axis)
      EXPECT_EQ(g.deviation(axis, slot), expect[slot][axis]) << slot << "/" << axis;
}

TEST(Set3GF, first_record_slot_is_zero_and_equal_magnitudes_keep_the_earlier) {
  auto single = Block3gf({{3000, 250, -250, 100}});
  GSensorGraph g;
  g.Set3GF(single.data(), int64_t(single.size()), 10, 1);
  for (int axis = 0; axis < 3; ++axis) EXPECT_EQ(g.deviation(axis, 3), 0) << axis;

  // Means 100 then 95: deviations -10 / +10 first, then +10 / -10 of equal magnitude,
  // which keep the earlier values.
  auto block = Block3gf({{2000, 100, -100, 77}, {2100, 90, -90, 77}, {2200, 105, -105, 77}});
  g.Set3GF(block.data(), int64_t(block.size()), 10, 1);
  EXPECT_EQ(g.deviation(0, 2), -10);
  EXPECT_EQ(g.deviation(1, 2), 10);
  EXPECT_EQ(g.deviation(2, 2), 0);
}

TEST(Set3GF, the_mean_covers_the_last_twenty_samples) {
  // 200 first, then `zeros` records of 0 in slot 0, then x = 10 in slot 1: with 19
  // zeros the 200 is still among the last twenty (mean 10), with 20 it has been dropped.
  for (auto [zeros, expect] : {std::pair{19, 0}, std::pair{20, 10}, std::pair{21, 10}}) {
    std::vector<G3> records = {{0, 200, 0, 0}};
    for (int i = 0; i < zeros; ++i) records.push_back({uint32_t(10 + i), 0, 0, 0});
    records.push_back({1000, 10, 0, 0});
    auto block = Block3gf(records);
    GSensorGraph g;
    g.Set3GF(block.data(), int64_t(block.size()), 2, 1);
    EXPECT_EQ(g.deviation(0, 0), -200) << zeros;
    EXPECT_EQ(g.deviation(0, 1), expect) << zeros;
  }
}

TEST(Set3GF, partial_records_are_not_fed_and_minus_one_keeps_the_layout) {
  auto block = Block3gf({{0, 0, 0, 0}, {1000, 100, 0, 0}});
  GSensorGraph g;
  g.Set3GF(block.data(), int64_t(block.size()) - 1, 64, 2);
  EXPECT_EQ(g.slotCount(), 32);
  EXPECT_EQ(g.deviation(0, 0), 0);  // the second record was cut: not fed
  g.Set3GF(block.data(), int64_t(block.size()), -1, 0);
  EXPECT_EQ(g.slotCount(), 32);
  EXPECT_EQ(g.secondsPerSlot(), 2);
  EXPECT_EQ(g.deviation(0, 0), 100);  // 1000 ms at 2 s per slot is slot 0
  g.Clear();
  EXPECT_EQ(g.slotCount(), 0);
  EXPECT_EQ(g.secondsPerSlot(), 0);
  g.Set3GF(block.data(), int64_t(block.size()), -1, 0);  // no layout: nothing fed
  EXPECT_EQ(g.deviation(0, 0), 0);
}

TEST(GraphRows, scaling_at_the_height_limits) {
  struct Row {
    int16_t value;
    int height;
    int16_t row;
  } rows[] = {
      {150, 101, 0},   {200, 101, 0},   {-150, 101, 100}, {-200, 101, 100}, {0, 101, 50},
      {-28, 101, 59},  {1, 101, 49},    {-1, 101, 50},    {0, 1, 0},        {-150, 1, 0},
      {-150, 2, 1},    {-149, 2, 0},    {150, 2, 0},      {-150, 301, 300}, {37, 301, 113},
      {0, 0, 0},
  };
  for (const auto& r : rows)
    EXPECT_EQ(GSensorGraph::RowFor(r.value, r.height), r.row) << r.value << " @" << r.height;

  // Set3GF scales with the window height; a deviation of 200 is drawn at the top.
  GSensorGraph g;
  g.Create();
  g.Resize(600, 101);
  auto block = Block3gf({{0, 0, 0, 0}, {100, 200, -200, 0}});
  g.Set3GF(block.data(), int64_t(block.size()), 30, 1);
  EXPECT_EQ(g.row(0, 0), 0);
  EXPECT_EQ(g.row(1, 0), 100);
  EXPECT_EQ(g.row(2, 0), 50);
  EXPECT_EQ(g.row(0, 1), 50);
}

TEST(GraphClick, click_maps_x_to_a_slot_start_in_seconds) {
  GSensorGraph g;
  g.Set3GF(nullptr, 0, 64, 2);  // 32 slots of 2 s
  EXPECT_FALSE(g.Click(55, false));  // no window yet
  g.Create();
  EXPECT_FALSE(g.Click(55, false));  // created but never sized (width 1)
  ASSERT_TRUE(g.Resize(600, 101));
  EXPECT_EQ(g.step(), 10);
  struct Row {
    int x;
    bool busy;
    int seconds;  // -1 ignored
  } rows[] = {{55, false, 10}, {50, false, 10}, {49, false, 8}, {0, false, 0},   {319, false, 62},
              {320, false, -1}, {599, false, -1}, {55, true, -1}, {-1, false, -1}};
  for (const auto& r : rows) {
    auto s = g.Click(r.x, r.busy);
    EXPECT_EQ(s ? *s : -1, r.seconds) << r.x;
  }
  EXPECT_TRUE(g.highlighted());
  EXPECT_EQ(g.highlightSlot(), 31);
}

TEST(GraphResize, step_and_drawing_width) {
  struct Row {
    int width, step, drawWidth;
    bool rerender;
  } rows[] = {{100, 2, 120, false}, {120, 2, 120, false}, {121, 2, 121, true},
              {180, 3, 180, true},  {179, 2, 179, true},  {179, 2, 179, false}};
  GSensorGraph g;
  EXPECT_FALSE(g.Resize(300, 50));  // before the window exists
  g.Create();
  for (const auto& r : rows) {
    EXPECT_EQ(g.Resize(r.width, 80), r.rerender) << r.width;
    EXPECT_EQ(g.step(), r.step) << r.width;
    EXPECT_EQ(g.drawWidth(), r.drawWidth) << r.width;
  }
}

TEST(GraphSetPos, current_slot_moves_within_the_slot_count) {
  GSensorGraph g;
  g.Set3GF(nullptr, 0, 64, 2);
  g.Create();
  g.Resize(600, 101);
  struct Step {
    int64_t ms;
    bool repaint;
    int first, last, current;
  } steps[] = {
      {10000, true, 5, 5, 5},  {11999, false, 0, 0, 5}, {12000, true, 5, 6, 6},
      {3000, true, 1, 6, 1},   {63999, true, 1, 31, 31}, {64000, false, 0, 0, 31},
  };
  for (const auto& s : steps) {
    auto span = g.SetPos(s.ms);
    ASSERT_EQ(bool(span), s.repaint) << s.ms;
    if (span) {
      EXPECT_EQ(span->first, s.first) << s.ms;
      EXPECT_EQ(span->last, s.last) << s.ms;
    }
    EXPECT_EQ(g.currentSlot(), s.current) << s.ms;
  }
  // The highlight lasts until playback reaches the clicked slot.
  ASSERT_TRUE(g.Click(35, false));  // slot 3
  g.SetPos(4000);  // slot 2
  EXPECT_TRUE(g.highlighted());
  g.SetPos(6000);  // slot 3
  EXPECT_FALSE(g.highlighted());

  GSensorGraph empty;
  EXPECT_FALSE(empty.SetPos(1000));  // no layout: no slot
}

}  // namespace
