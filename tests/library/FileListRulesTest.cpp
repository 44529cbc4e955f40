#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "library/CFileList.h"
#include "library/FileListRules.h"

namespace tq {
namespace {

// The listed rows of a catalog built from `names` (MP4 unless they end in ".avi"), in
// catalog order, as the panel lists them with every filter on.
struct Rows {
  explicit Rows(const std::vector<std::string>& names, const FilterSwitches& filters = {}) {
    for (const std::string& n : names) {
      bool avi = n.size() > 4 && n.substr(n.size() - 4) == ".avi";
      catalog.Add(avi ? n.substr(0, n.size() - 4) : n, avi ? kKindAvi : kKindMp4);
    }
    for (CatalogEntry& e : catalog.Entries())
      if (PassesFilter(e, filters)) {
        entries.push_back(&e);
        texts.push_back(RowDisplayName(e));
        names_.push_back(e.name);
      }
  }
  int RowOf(const std::string& name) const {
    for (size_t i = 0; i < entries.size(); ++i)
      if (entries[i]->name == name) return int(i);
    return -1;
  }
  CFileList catalog;
  std::vector<const CatalogEntry*> entries;
  std::vector<std::string> texts;
  std::vector<std::string> names_;
};

std::vector<std::string> Listed(const std::vector<std::string>& names, const FilterSwitches& f) {
  return Rows(names, f).names_;
}

const std::vector<std::string> kMixedCard = {
    "20240105_134501_NF", "20240105_134501_NR", "20240105_134501_NL", "20240105_134601_PF",
    "20240105_134601_TR", "20240105_134601_PLS", "20240105_134701_EF",  "20240105_134701_IR",
    "20240105_134801_M",  "20240106_090000_NF",
};

struct FilterRow {
  const char* what;
  FilterSwitches filters;
  std::vector<std::string> listed;  // catalog order
};

FilterSwitches With(void (*change)(FilterSwitches&)) {
  FilterSwitches f;
  change(f);
  return f;
}

TEST(FileListFilter, each_switch_hides_exactly_its_rows) {
  const FilterRow rows[] = {
      {"all on", {}, {"20240106_090000_NF", "20240105_134801_M", "20240105_134701_EF", "20240105_134701_IR",
                      "20240105_134601_PF", "20240105_134601_TR", "20240105_134601_PLS", "20240105_134501_NF",
                      "20240105_134501_NR", "20240105_134501_NL"}},
      // Rear off hides R (also "PRS"-like names) but never the third camera L.
      {"rear off", With([](FilterSwitches& f) { f.rear = false; }),
       {"20240106_090000_NF", "20240105_134801_M", "20240105_134701_EF", "20240105_134601_PF",
        "20240105_134601_PLS", "20240105_134501_NF", "20240105_134501_NL"}},
      // A name without a camera letter counts as front.
      {"front off", With([](FilterSwitches& f) { f.front = false; }),
       {"20240105_134701_IR", "20240105_134601_TR", "20240105_134601_PLS", "20240105_134501_NR",
        "20240105_134501_NL"}},
      // Parking off hides P and T of every camera, L included.
      {"parking off", With([](FilterSwitches& f) { f.parking = false; }),
       {"20240106_090000_NF", "20240105_134801_M", "20240105_134701_EF", "20240105_134701_IR",
        "20240105_134501_NF", "20240105_134501_NR", "20240105_134501_NL"}},
      {"event off hides E and I", With([](FilterSwitches& f) { f.event = false; }),
       {"20240106_090000_NF", "20240105_134801_M", "20240105_134601_PF", "20240105_134601_TR",
        "20240105_134601_PLS", "20240105_134501_NF", "20240105_134501_NR", "20240105_134501_NL"}},
      {"normal off", With([](FilterSwitches& f) { f.normal = false; }),
       {"20240105_134801_M", "20240105_134701_EF", "20240105_134701_IR", "20240105_134601_PF",
        "20240105_134601_TR", "20240105_134601_PLS"}},
      {"manual off", With([](FilterSwitches& f) { f.manual = false; }),
       {"20240106_090000_NF", "20240105_134701_EF", "20240105_134701_IR", "20240105_134601_PF",
        "20240105_134601_TR", "20240105_134601_PLS", "20240105_134501_NF", "20240105_134501_NR",
        "20240105_134501_NL"}},
      {"day filter", With([](FilterSwitches& f) { f.day = 20240106; }), {"20240106_090000_NF"}},
      {"day without recordings", With([](FilterSwitches& f) { f.day = 20240107; }), {}},
      {"everything off", With([](FilterSwitches& f) { f = {false, false, false, false, false, false, 0}; }), {}},
  };
  for (const FilterRow& row : rows) EXPECT_EQ(Listed(kMixedCard, row.filters), row.listed) << row.what;
}

TEST(FileListFilter, avi_rows_follow_the_same_switches) {
  // Rear AVI: "R" three places from the end; parking: last letter "P".
  std::vector<std::string> names = {"nor_00000120261205_103000_1F_N.avi", "nor_00000120261205_103100_1R_N.avi",
                                    "nor_00000120261205_103200_1F_P.avi"};
  FilterSwitches noRear;
  noRear.rear = false;
  EXPECT_EQ(Listed(names, noRear),
            (std::vector<std::string>{"nor_00000120261205_103200_1F_P", "nor_00000120261205_103000_1F_N"}));
  FilterSwitches noParking;
  noParking.parking = false;
  EXPECT_EQ(Listed(names, noParking),
            (std::vector<std::string>{"nor_00000120261205_103100_1R_N", "nor_00000120261205_103000_1F_N"}));
}

struct AviNameRow {
  const char* base;
  const char* shown;
};

TEST(FileListNames, avi_rows_show_date_time_class_and_camera) {
  const AviNameRow rows[] = {
      {"nor_00000120261205_103000_1F_N", "20261205_103000_NF"},
      {"nor_00000120261205_103000_1R_N", "20261205_103000_NR"},
      {"nor_00000120261205_103000_1F_E", "20261205_103000_EF"},
      {"nor_00000120261205_103000_1F_P", "20261205_103000_PF"},
      // Event class from the prefix, but parked: "I" instead of "E".
      {"evt_00000120261205_103000_1F_P", "20261205_103000_IF"},
      {"mot_00000120261205_103000_1R_N", "20261205_103000_ER"},
      // No camera letter three places from the end: none shown.
      {"nor_00000120261205_103000_1X_N", "20261205_103000_N"},
      // Shorter than the shown field: what there is, never past the end.
      {"nor_00000120261205_1030", "20261205_1030N"},
  };
  for (const AviNameRow& row : rows) {
    CFileList list;
    ASSERT_TRUE(list.Add(row.base, kKindAvi)) << row.base;
    EXPECT_EQ(RowDisplayName(list.Entries().front()), row.shown) << row.base;
  }
  CFileList mp4;
  ASSERT_TRUE(mp4.Add("20240105_134501_NF", kKindMp4));
  EXPECT_EQ(RowDisplayName(mp4.Entries().front()), "20240105_134501_NF");
}

struct LetterRow {
  const char* base;
  uint8_t kind;
  char playing;
};

TEST(FileListNames, playing_camera_letter_is_F_R_or_N) {
  const LetterRow rows[] = {
      {"20240105_134501_NF", kKindMp4, 'F'}, {"20240105_134501_NR", kKindMp4, 'R'},
      {"20240105_134501_PRS", kKindMp4, 'R'}, {"20240105_134501_NFS", kKindMp4, 'F'},
      {"20240105_134501_NL", kKindMp4, 'N'},  {"20240105_134501_M", kKindMp4, 'N'},
      {"nor_00000120261205_103000_1F_N", kKindAvi, 'N'},
  };
  for (const LetterRow& row : rows) {
    CFileList list;
    ASSERT_TRUE(list.Add(row.base, row.kind));
    EXPECT_EQ(PlayingCameraLetter(list.Entries().front()), row.playing) << row.base;
  }
}

struct PairRow {
  const char* what;
  std::vector<std::string> card;
  const char* played;
  int videoPip;
  bool paired;
};

TEST(FileListPair, pair_bit_only_with_the_preference_and_a_partner_row) {
  const PairRow rows[] = {
      {"front with rear below", {"20240105_134501_NF", "20240105_134501_NR"}, "20240105_134501_NF", 1, true},
      {"preference off", {"20240105_134501_NF", "20240105_134501_NR"}, "20240105_134501_NF", 0, false},
      {"rear with front above", {"20240105_134501_NF", "20240105_134501_NR"}, "20240105_134501_NR", 1, true},
      {"front alone", {"20240105_134501_NF", "20240105_134401_NR"}, "20240105_134501_NF", 1, false},
      {"rear alone", {"20240105_134601_NF", "20240105_134501_NR"}, "20240105_134501_NR", 1, false},
      {"S names pair at the letter before S", {"20240105_134501_NFS", "20240105_134501_NRS"},
       "20240105_134501_NFS", 1, true},
      {"other class at the same moment", {"20240105_134501_NF", "20240105_134501_ER"}, "20240105_134501_NF", 1,
       false},
      {"no camera letter", {"20240105_134501_M"}, "20240105_134501_M", 1, false},
      {"third camera", {"20240105_134501_NL"}, "20240105_134501_NL", 1, false},
      {"AVI with both cameras", {"nor1_0000120261205_103000_1F_N.avi"}, "nor1_0000120261205_103000_1F_N", 1, true},
      {"AVI with one camera", {"nor_00000120261205_103000_1F_N.avi"}, "nor_00000120261205_103000_1F_N", 1, false},
      {"AVI, preference off", {"nor1_0000120261205_103000_1F_N.avi"}, "nor1_0000120261205_103000_1F_N", 0, false},
  };
  for (const PairRow& row : rows) {
    Rows r(row.card);
    int at = r.RowOf(row.played);
    ASSERT_GE(at, 0) << row.what;
    EXPECT_EQ(IsPairRequest(r.entries, at, row.videoPip), row.paired) << row.what;
  }
  Rows r({"20240105_134501_NF"});
  EXPECT_FALSE(IsPairRequest(r.entries, -1, 1));
  EXPECT_FALSE(IsPairRequest(r.entries, 1, 1));
}

struct NextRow {
  const char* what;
  const char* current;
  char letter;
  const char* next;  // nullptr: nothing follows
};

TEST(FileListPlayNext, next_newer_recording_of_the_same_camera) {
  // Newest first: 090200 F/R, 090100 R only, 090000 F/R, 085900 M.
  Rows r({"20240105_090200_NF", "20240105_090200_NR", "20240105_090100_NR", "20240105_090000_NF",
          "20240105_090000_NR", "20240105_085900_M"});
  const NextRow rows[] = {
      {"front skips the rear rows between", "20240105_090000_NF", 'F', "20240105_090200_NF"},
      {"rear takes the nearest rear above", "20240105_090000_NR", 'R', "20240105_090100_NR"},
      {"rear from a lone rear", "20240105_090100_NR", 'R', "20240105_090200_NR"},
      {"N takes the row above whatever it is", "20240105_085900_M", 'N', "20240105_090000_NR"},
      {"the newest front has nothing after it", "20240105_090200_NF", 'F', nullptr},
      {"the top row has nothing above", "20240105_090200_NF", 'N', nullptr},
      {"no camera search above the top", "20240105_090200_NR", 'R', nullptr},
  };
  for (const NextRow& row : rows) {
    int current = r.RowOf(row.current);
    ASSERT_GE(current, 0);
    int next = NextRowToPlay(r.texts, current, row.letter);
    EXPECT_EQ(next, row.next ? r.RowOf(row.next) : -1) << row.what;
  }
  EXPECT_EQ(NextRowToPlay(r.texts, -1, 'F'), -1);
  EXPECT_EQ(NextRowToPlay(r.texts, int(r.texts.size()), 'N'), -1);
}

struct AtTimeRow {
  const char* what;
  int32_t date;
  int32_t time;
  int firstRow;
  const char* row;  // nullptr: nothing starts
  int32_t wanted;
};

TEST(FileListPlayAtTime, covering_recording_gap_and_rear_to_front) {
  // 60 s recordings, newest first; durations as probed from the files.
  Rows r({"20240106_000030_NF", "20240106_000030_NR", "20240105_235930_NF", "20240105_235930_NR",
          "20240105_120000_NF", "20240105_120000_NR", "20240105_110000_NR", "20240105_100000_EF"});
  std::map<std::string, int32_t> seconds = {{"20240105_235930_NF", 90}, {"20240105_235930_NR", 90}};
  int probes = 0;
  auto duration = [&](const CatalogEntry& e) {
    ++probes;
    auto it = seconds.find(e.name);
    return it == seconds.end() ? 60 : it->second;
  };
  const AtTimeRow rows[] = {
      {"inside a recording: its front row at the moment", 20240105, 120030, 0, "20240105_120000_NF", 120030},
      {"its last second still covers", 20240105, 120100, 0, "20240105_120000_NF", 120100},
      {"a gap starts the first recording after it, rear gives way to front", 20240105, 115000, 0,
       "20240105_120000_NF", 0},
      {"a gap after a lone rear starts that rear", 20240105, 103000, 0, "20240105_110000_NR", 0},
      {"the exact start is not before: that recording from its start", 20240105, 120000, 0, "20240105_120000_NF",
       0},
      {"across midnight: the day before, time plus 240000", 20240106, 20, 0, "20240105_235930_NF", 240020},
      {"before every recording: the oldest", 20240105, 90000, 0, "20240105_100000_EF", 0},
      {"after the newest, which covers nothing: taken as the top row", 20240106, 120000, 0, "20240106_000030_NF",
       120000},
      {"starting the search below the top applies the covering test", 20240105, 130000, 2, "20240105_235930_NF",
       0},
  };
  for (const AtTimeRow& row : rows) {
    AtTimeChoice c = FindRowAtTime(r.entries, row.date, row.time, row.firstRow, duration);
    EXPECT_EQ(c.row, row.row ? r.RowOf(row.row) : -1) << row.what;
    EXPECT_EQ(c.wanted, row.wanted) << row.what;
  }
  // The day before ends before the moment and is the top row searched: nothing after it.
  Rows old({"20240105_100000_NF"});
  AtTimeChoice none = FindRowAtTime(old.entries, 20240106, 120000, 0, duration);
  EXPECT_EQ(none.row, -1);
  // Empty list.
  EXPECT_EQ(FindRowAtTime({}, 20240105, 120000, 0, duration).row, -1);
  EXPECT_GT(probes, 0);
}

struct MarksRow {
  RowMarks before;
  int deleted;
  RowMarks after;
};

TEST(FileListDelete, marks_follow_the_deleted_row) {
  const MarksRow rows[] = {
      {{3, 5}, 3, {-1, 4}}, {{3, 5}, 5, {3, -1}}, {{3, 5}, 4, {3, 4}},
      {{3, 5}, 0, {2, 4}},  {{3, 5}, 6, {3, 5}},  {{-1, -1}, 0, {-1, -1}},
  };
  for (const MarksRow& row : rows) {
    RowMarks m = row.before;
    AdjustMarksForDeletedRow(&m, row.deleted);
    EXPECT_EQ(m.current, row.after.current) << row.deleted;
    EXPECT_EQ(m.clicked, row.after.clicked) << row.deleted;
  }
}

TEST(FileListDelete, playing_row_and_its_partner_touch_the_player) {
  struct Row {
    int row, current;
    char letter;
    bool touches;
  } rows[] = {
      {4, 4, 'F', true},  {5, 4, 'F', true},  {3, 4, 'F', false}, {3, 4, 'R', true}, {5, 4, 'R', false},
      {5, 4, 'N', false}, {3, 4, 'N', false}, {0, -1, 'F', false}, {0, -1, 'R', false},
  };
  for (const Row& r : rows) EXPECT_EQ(TouchesPlaying(r.row, r.current, r.letter), r.touches) << r.row << r.letter;
}

TEST(FileListDelete, plan_lists_names_in_catalog_order_and_closes_first) {
  const std::vector<std::string> names = {"A", "NF", "NR", "B", "C"};
  // NF playing (row 1), NF and NR ticked (given in click order), C ticked.
  DeletePlan plan = PlanDelete({2, 4, 1}, names, {1, 3}, 'F');
  EXPECT_EQ(plan.rowsBottomUp, (std::vector<int>{4, 2, 1}));
  EXPECT_EQ(plan.names, (std::vector<std::string>{"NF", "NR", "C"}));
  EXPECT_TRUE(plan.closePlayer);
  EXPECT_EQ(plan.marks.current, -1);
  EXPECT_EQ(plan.marks.clicked, 1);  // B moved up two rows

  // Only the partner of the playing front is ticked: still closes.
  EXPECT_TRUE(PlanDelete({2}, names, {1, -1}, 'F').closePlayer);
  // Rows elsewhere: the player plays on, its row moves up.
  DeletePlan away = PlanDelete({0, 4}, names, {2, -1}, 'R');
  EXPECT_FALSE(away.closePlayer);
  EXPECT_EQ(away.marks.current, 1);
  // Rows outside the list and doubles are ignored.
  DeletePlan odd = PlanDelete({7, -1, 3, 3}, names, {}, 'N');
  EXPECT_EQ(odd.names, std::vector<std::string>{"B"});
  EXPECT_EQ(odd.rowsBottomUp, std::vector<int>{3});
}

TEST(FileListProgress, percent_is_floored_and_bounded) {
  struct Row {
    int done, count, percent;
  } rows[] = {{0, 3, 0}, {1, 3, 33}, {2, 3, 66}, {3, 3, 100}, {1, 7, 14}, {4, 3, 100}, {-1, 3, 0}, {0, 0, 0},
              {1, 1, 100}, {2147483647, 2147483647, 100}};
  for (const Row& r : rows) EXPECT_EQ(ProgressPercent(r.done, r.count), r.percent) << r.done << "/" << r.count;
}

}  // namespace
}  // namespace tq
