#include <gtest/gtest.h>

#include "telemetry/GpsTrack.h"

namespace {

using tq::GpsSample;
using tq::GpsTrack;
using tq::MapReport;

GpsTrack TrackAt(std::initializer_list<int32_t> times, int32_t startOfDay = 0) {
  GpsTrack t;
  t.startOfDay = startOfDay;
  double n = 0;
  for (int32_t time : times) {
    GpsSample s;
    s.time = time;
    s.latitude = ++n;  // the sample's index + 1 identifies it
    t.samples.push_back(s);
  }
  return t;
}

// Index of the sample found, -1 for none.
int Find(GpsTrack& t, int64_t ms) {
  const GpsSample* s = tq::FindSample(t, ms, nullptr);
  return s ? int(s - t.samples.data()) : -1;
}

TEST(FindSample, boundaries_and_a_cursor_moving_both_ways) {
  GpsTrack t = TrackAt({100, 200, 300});
  struct Step {
    int64_t ms;
    int found;
    int64_t cursor;
  } steps[] = {
      {999, -1, -1},   // before the first sample
      {1000, 0, 1},    // exactly at the first
      {1010, 0, 1},    // one hundredth later: still the first
      {1999, 0, 1},
      {2000, 1, 2},
      {3000, 2, 2},    // the last: the cursor stays on it
      {3010, -1, 2},   // after the last: nothing, cursor kept
      {1500, 0, 1},    // backwards: from the first sample again
      {2999, 1, 2},
      {0, -1, 2},
  };
  for (const auto& s : steps) {
    EXPECT_EQ(Find(t, s.ms), s.found) << s.ms;
    EXPECT_EQ(t.cursor, s.cursor) << s.ms;
  }
}

TEST(FindSample, key_is_position_plus_start_of_day_and_equal_times_take_the_last) {
  GpsTrack t = TrackAt({4950100, 4950100, 4950200}, 4950100);
  EXPECT_EQ(Find(t, 0), 1);
  EXPECT_EQ(Find(t, 9), 1);     // 9 ms is 0 hundredths
  EXPECT_EQ(Find(t, 1000), 2);
  GpsTrack empty;
  empty.startOfDay = 0;
  EXPECT_EQ(Find(empty, 0), -1);
}

TEST(FindSample, report_in_decimal_degrees_with_the_track_parked_flag) {
  GpsTrack t = TrackAt({0});
  t.samples[0].latitude = -3723.4567;
  t.samples[0].longitude = 12158.3416;
  t.samples[0].speed = 12.5;
  t.parked = 1;
  MapReport r;
  ASSERT_NE(tq::FindSample(t, 0, &r), nullptr);
  EXPECT_NEAR(r.latitude, -37.0 - 23.4567 / 60.0, 1e-12);  // -37.390945
  EXPECT_NEAR(r.latitude, -37.391, 1e-3);
  EXPECT_NEAR(r.longitude, 121.0 + 58.3416 / 60.0, 1e-12);
  EXPECT_EQ(r.speed, 12.5);
  EXPECT_EQ(r.hasPosition, 1);
  EXPECT_EQ(r.parked, 1);
  // Less than one degree south keeps its sign.
  EXPECT_NEAR(tq::NmeaToDegrees(-30.0), -0.5, 1e-12);
}

TEST(ClearTrack, forgets_samples_cursor_parked_and_start) {
  GpsTrack t = TrackAt({0, 100}, 5);
  t.parked = 1;
  t.pendingRmc[0] = 'x';
  Find(t, 0);
  tq::ClearTrack(t);
  EXPECT_TRUE(t.samples.empty());
  EXPECT_EQ(t.cursor, -1);
  EXPECT_EQ(t.parked, 0);
  EXPECT_EQ(t.startOfDay, -1);
  EXPECT_EQ(t.pendingRmc[0], 0);
}

}  // namespace
