#include <gtest/gtest.h>

#include "library/RecordingName.h"

namespace tq {
namespace {

struct NameRow {
  const char* base;
  uint8_t kind;
  bool accepted;
  int typeCode;
  int cls;
  int camera;
  int32_t date;
  int32_t time;
};

// A lower-case letter is not a type or camera letter; "S" after the camera letter keeps it.
const NameRow kNames[] = {
    {"20240105_134501_NF", kKindMp4, true, 0, 0, 0, 20240105, 134501},
    {"20240105_134501_NR", kKindMp4, true, 4, 0, 1, 20240105, 134501},
    {"20240105_134501_EF", kKindMp4, true, 1, 1, 0, 20240105, 134501},
    {"20240105_134501_IR", kKindMp4, true, 5, 1, 1, 20240105, 134501},
    {"20240105_134501_PF", kKindMp4, true, 2, 2, 0, 20240105, 134501},
    {"20240105_134501_TR", kKindMp4, true, 6, 2, 1, 20240105, 134501},
    {"20240105_134501_PRS", kKindMp4, true, 6, 2, 1, 20240105, 134501},
    {"20240105_134501_MF", kKindMp4, true, 3, 3, 0, 20240105, 134501},
    {"20240105_134501_M", kKindMp4, true, 3, 3, 0, 20240105, 134501},
    {"20240105_134501_MS", kKindMp4, true, 3, 3, 0, 20240105, 134501},
    {"20240105_134501_NL", kKindMp4, true, 51, 0, 12, 20240105, 134501},
    {"20240105_134501_EL", kKindMp4, true, 52, 1, 13, 20240105, 134501},
    {"20240105_134501_PLS", kKindMp4, true, 53, 2, 13, 20240105, 134501},
    {"20240105_134501_ML", kKindMp4, true, 54, 3, 13, 20240105, 134501},
    {"20240105_134501_XF", kKindMp4, true, 0, 0, 0, 20240105, 134501},
    {"20240105_134501_E", kKindMp4, true, 1, 1, 0, 20240105, 134501},
    {"20240105_134501_Nf", kKindMp4, true, 0, 0, 0, 20240105, 134501},
    {"20240105_000001_NF", kKindMp4, true, 0, 0, 0, 20240105, 1},
    {"19710101_120000_NF", kKindMp4, true, 0, 0, 0, 19710101, 120000},
    {"19710000_120000_NF", kKindMp4, true, 0, 0, 0, 19710000, 120000},
    // Rejected: clock unset, time zero, a letter inside the date.
    {"20240105_000000_NF", kKindMp4, false, 0, 0, 0, 0, 0},
    {"19700101_120000_NF", kKindMp4, false, 0, 0, 0, 0, 0},
    {"19709999_120000_NF", kKindMp4, false, 0, 0, 0, 0, 0},
    {"2024a105_134501_NF", kKindMp4, false, 0, 0, 0, 0, 0},
    {"20240105_", kKindMp4, false, 0, 0, 0, 0, 0},
    {"thumbs", kKindMp4, false, 0, 0, 0, 0, 0},
    {"", kKindMp4, false, 0, 0, 0, 0, 0},
    // Only the leading digits of a field count.
    {"20240105_12x501_NF", kKindMp4, true, 0, 0, 0, 20240105, 12},
    // AVI: class from the prefix or the last character, rear from three places from the end.
    {"evt_00000120240106_101010_1F_N", kKindAvi, true, 1, 1, 0, 20240106, 101010},
    {"mot_00000120240106_101010_1R_N", kKindAvi, true, 5, 1, 1, 20240106, 101010},
    {"nor_00000120240106_101010_1F_E", kKindAvi, true, 1, 1, 0, 20240106, 101010},
    {"nor_00000120240106_101010_1R_P", kKindAvi, true, 6, 2, 1, 20240106, 101010},
    {"nor_00000120240106_101010_1R_N", kKindAvi, true, 4, 0, 1, 20240106, 101010},
    {"evt_00000120240106_101010_1R_P", kKindAvi, true, 5, 1, 1, 20240106, 101010},
    {"nor_00000119700106_101010_1R_N", kKindAvi, false, 0, 0, 0, 0, 0},
    {"nor_00000120240106_000000_1R_N", kKindAvi, false, 0, 0, 0, 0, 0},
    // An MP4-style name read as AVI has its fields elsewhere.
    {"20240105_134501_NF", kKindAvi, false, 0, 0, 0, 0, 0},
};

TEST(RecordingName, parse_and_classify_table) {
  for (const NameRow& row : kNames) {
    SCOPED_TRACE(row.base);
    ParsedName parsed;
    bool accepted = ParseRecordingName(row.base, row.kind, &parsed);
    ASSERT_EQ(accepted, row.accepted);
    if (!accepted) continue;
    EXPECT_EQ(parsed.typeCode, row.typeCode);
    EXPECT_EQ(EntryClass(parsed.typeCode), row.cls);
    EXPECT_EQ(EntryCamera(parsed.typeCode), row.camera);
    EXPECT_EQ(EntryLevel(parsed.typeCode), row.cls + 1);
    EXPECT_EQ(parsed.date, row.date);
    EXPECT_EQ(parsed.time, row.time);
  }
}

TEST(RecordingName, length_in_minutes_at_the_boundaries) {
  const struct { int32_t seconds; int minutes; } rows[] = {
      {0, 1}, {1, 1}, {62, 1}, {63, 1}, {64, 2}, {120, 2}, {123, 2}, {124, 3},
      {183, 3}, {184, 4}, {185, 4}, {600, 10}, {100000, 255},
  };
  for (const auto& r : rows) EXPECT_EQ(LengthInMinutes(r.seconds), r.minutes) << r.seconds;
}

TEST(RecordingName, companion_stem_and_partner_only_for_front_and_rear) {
  const struct { const char* base; const char* stem; const char* partner; char camera; } rows[] = {
      {"20240105_134501_NF", "20240105_134501_N", "20240105_134501_NR", 'F'},
      {"20240105_134501_NR", "20240105_134501_N", "20240105_134501_NF", 'R'},
      {"20240105_134501_NFS", "20240105_134501_NFS", "", 'F'},
      {"20240105_134501_M", "20240105_134501_M", "", 0},
      {"20240105_134501_NL", "20240105_134501_NL", "", 'L'},
  };
  for (const auto& r : rows) {
    SCOPED_TRACE(r.base);
    EXPECT_EQ(CompanionStem(r.base), r.stem);
    EXPECT_EQ(PartnerName(r.base), r.partner);
    EXPECT_EQ(CameraLetter(r.base), r.camera);
  }
}

}  // namespace
}  // namespace tq
