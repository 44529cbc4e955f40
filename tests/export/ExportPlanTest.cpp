// The export dialog's arithmetic: lengths, proposed names, the range rule and the range a
// player export starts with.
#include <gtest/gtest.h>

#include "export/ExportPlan.h"

namespace tq {
namespace {

int64_t Start(int32_t date, int32_t time) {
  int64_t s = 0;
  EXPECT_TRUE(RecordingStartSeconds(date, time, &s));
  return s;
}

TEST(ExportPlan, length_follows_the_movie_header_rules) {
  struct Case {
    uint64_t duration;
    uint32_t timescale;
    int seconds;
  } cases[] = {
      {0, 1000, 0},          // no length: not exportable
      {500, 1000, 1},        // under a second counts as one
      {25999, 1000, 25},     // whole seconds
      {185999, 1000, 185},   // the longest exportable
      {186000, 1000, 0},     // 186 s and more are refused
      {42, 0, 42},           // no timescale: the duration is seconds
      {300, 0, 0},           // ... and still limited
  };
  for (const Case& c : cases)
    EXPECT_EQ(ExportLengthSec(c.duration, c.timescale), c.seconds) << c.duration << "/" << c.timescale;
  EXPECT_EQ(AviExportLengthSec(90, 33333), 3);
  EXPECT_EQ(AviExportLengthSec(90, 0), 0);
  EXPECT_EQ(AviExportLengthSec(90, 2000000), 0);  // a frame longer than a second
}

TEST(ExportPlan, proposed_names_carry_the_new_start) {
  const int64_t start = Start(20261205, 235955);
  struct Case {
    bool avi;
    std::string name;
    int fromSec;
    bool front;
    std::string proposed;
  } cases[] = {
      {false, "20261205_235955_NF", 0, true, "20261205_235955_NF"},
      {false, "20261205_235955_NF", 10, true, "20261206_000005_NF"},  // over midnight
      {false, "20261205_235955_ER", 3, true, "20261205_235958_ER"},
      // The pair digit after the camera's prefix becomes 0: an export holds one camera.
      {true, "nor100000120261205_235955_1F_N", 0, true, "nor000000120261205_235955_F_N"},
      {true, "nor100000120261205_235955_1F_N", 0, false, "nor000000120261205_235955_R_N"},
      {true, "nor100000120261205_235955_1F_E", 65, false, "nor000000120261206_000100_R_E"},
  };
  for (const Case& c : cases) {
    const std::string got = c.avi ? ProposedAviName(c.name, start, c.fromSec, c.front)
                                  : ProposedMp4Name(c.name, start, c.fromSec);
    EXPECT_EQ(got, c.proposed) << c.name << " from " << c.fromSec;
  }
  EXPECT_EQ(RearAviPath("/x/nor000000120261205_235955_F_N.avi"), "/x/nor000000120261205_235955_R_N.avi");
  EXPECT_EQ(FormatStartText(start), "2026-12-05 23:59:55");
  int64_t unused;
  EXPECT_FALSE(RecordingStartSeconds(20261305, 100000, &unused));
  EXPECT_FALSE(RecordingStartSeconds(20261205, 246000, &unused));
}

TEST(ExportPlan, range_refusals_and_the_player_range) {
  struct Case {
    int from, to, length;
    bool valid;
  } cases[] = {
      {0, 25, 25, true}, {10, 20, 25, true}, {0, 26, 25, false},  // To past the length
      {10, 10, 25, false}, {12, 10, 25, false},                  // To not after From
      {0, 1, 0, false},                                          // unknown length
  };
  for (const Case& c : cases)
    EXPECT_EQ(ExportRangeValid(c.from, c.to, c.length), c.valid) << c.from << "-" << c.to << "/" << c.length;

  struct Player {
    int64_t positionMs;
    int length, from, to;
  } players[] = {
      {10999, 60, 10, 40},  // rounded down, 30 s on
      {50200, 60, 50, 60},  // clipped to the length
      {60000, 60, 59, 60},  // at the very end: the last second
      {-5, 60, 0, 30},
      {1000, 0, 0, 0},      // nothing to export
  };
  for (const Player& p : players) {
    const ExportRange r = PlayerExportRange(p.positionMs, p.length);
    EXPECT_EQ(r.fromSec, p.from) << p.positionMs;
    EXPECT_EQ(r.toSec, p.to) << p.positionMs;
  }
  EXPECT_EQ(LengthText(125, "min", "sec"), "2 min 5 sec");
}

}  // namespace
}  // namespace tq
