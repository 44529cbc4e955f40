#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <list>
#include <random>
#include <string>
#include <vector>

#include "CatalogFixtures.h"
#include "library/CFileList.h"
#include "platform/FolderList.h"

namespace tq {
namespace {

using testfiles::TempFolder;

std::vector<std::string> Names(const CFileList& list) {
  std::vector<std::string> names;
  for (const CatalogEntry& e : list.Entries()) names.push_back(e.name);
  return names;
}

std::vector<std::string> AddAll(const std::vector<std::string>& bases) {
  CFileList list;
  for (const std::string& b : bases) list.Add(b, kKindMp4);
  return Names(list);
}

TEST(CatalogOrder, ties_reorder_only_front_before_rear_and_short_before_long) {
  const struct {
    std::vector<std::string> added;
    std::vector<std::string> listed;
  } rows[] = {
      // Newest first across dates and times.
      {{"20240105_100000_NF", "20240106_090000_NF", "20240105_110000_NF"},
       {"20240106_090000_NF", "20240105_110000_NF", "20240105_100000_NF"}},
      // Front before rear whatever the order of adding.
      {{"20240105_134501_NR", "20240105_134501_NF"}, {"20240105_134501_NF", "20240105_134501_NR"}},
      {{"20240105_134501_NF", "20240105_134501_NR"}, {"20240105_134501_NF", "20240105_134501_NR"}},
      // Same time, same length, not F over R: arrival order stands.
      {{"20240105_134501_NF", "20240105_134501_EF"}, {"20240105_134501_NF", "20240105_134501_EF"}},
      {{"20240105_134501_EF", "20240105_134501_NF"}, {"20240105_134501_EF", "20240105_134501_NF"}},
      {{"20240105_134501_NR", "20240105_134501_ER"}, {"20240105_134501_NR", "20240105_134501_ER"}},
      // F goes before the first R it meets, even of another type letter.
      {{"20240105_134501_ER", "20240105_134501_NF"}, {"20240105_134501_NF", "20240105_134501_ER"}},
      // A shorter name goes before a longer one; a longer one walks on past shorter ones.
      {{"20240105_134501_NFS", "20240105_134501_NF"}, {"20240105_134501_NF", "20240105_134501_NFS"}},
      {{"20240105_134501_NF", "20240105_134501_NFS"}, {"20240105_134501_NF", "20240105_134501_NFS"}},
      {{"20240105_134501_NRS", "20240105_134501_NFS"}, {"20240105_134501_NFS", "20240105_134501_NRS"}},
      // A name without camera letter: F/R rule does not apply to it as the newcomer.
      {{"20240105_134501_NR", "20240105_134501_NN"}, {"20240105_134501_NR", "20240105_134501_NN"}},
      // Rejected names change nothing.
      {{"20240105_000000_NF", "20240105_134501_NF", "19700101_120000_NF"}, {"20240105_134501_NF"}},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.added.front());
    EXPECT_EQ(AddAll(row.added), row.listed);
  }
}

TEST(CatalogOrder, add_reports_acceptance_and_date) {
  CFileList list;
  int32_t date = -1;
  EXPECT_TRUE(list.Add("19710101_120000_NF", kKindMp4, &date));
  EXPECT_EQ(date, 19710101);
  date = -1;
  EXPECT_FALSE(list.Add("19700101_120000_NF", kKindMp4, &date));
  EXPECT_EQ(date, -1);
  EXPECT_EQ(list.Count(), 1);
  const CatalogEntry& e = list.Entries().front();
  EXPECT_EQ(e.minutes, 0) << "length stays 0 until probed";
  EXPECT_EQ(e.duration, 0);
}

// The rule as written: walk from the head, insert before the first entry that is older,
// or of the same moment and longer, or (front MP4 newcomer) the rear of the same length.
std::vector<std::string> ReferenceOrder(const std::vector<std::pair<std::string, uint8_t>>& scanned) {
  std::list<CatalogEntry> ref;
  for (const auto& [base, kind] : scanned) {
    ParsedName p;
    if (!ParseRecordingName(base, kind, &p)) continue;
    auto it = ref.begin();
    for (; it != ref.end(); ++it) {
      if (it->date < p.date || (it->date == p.date && it->time < p.time)) break;
      if (it->date == p.date && it->time == p.time) {
        if (it->name.size() > base.size()) break;
        size_t cp = CameraLetterPos(base);
        if (kind == kKindMp4 && it->name.size() == base.size() && base[cp] == 'F' && it->name[cp] == 'R')
          break;
      }
    }
    CatalogEntry e;
    e.name = base;
    e.date = p.date;
    e.time = p.time;
    ref.insert(it, e);
  }
  std::vector<std::string> out;
  for (const auto& e : ref) out.push_back(e.name);
  return out;
}

// The directory order the scan sees: MP4 names first, then AVI names.
std::vector<std::pair<std::string, uint8_t>> DirectoryOrder(const std::string& folder) {
  std::vector<std::pair<std::string, uint8_t>> mp4, avi;
  ListFolder(folder, [&](std::string_view n, bool isFolder) {
    if (isFolder || n.size() < 5) return;
    std::string ext(n.substr(n.size() - 4));
    for (char& c : ext) c = char(std::tolower(static_cast<unsigned char>(c)));
    std::string base(n.substr(0, n.size() - 4));
    if (ext == ".mp4") mp4.emplace_back(base, kKindMp4);
    if (ext == ".avi") avi.emplace_back(base, kKindAvi);
  });
  mp4.insert(mp4.end(), avi.begin(), avi.end());
  return mp4;
}

TEST(CatalogScan, order_matches_the_insertion_rule_for_many_mixed_names) {
  TempFolder dir;
  std::mt19937 rng(7);
  const char* types[] = {"N", "E", "P", "M", "I", "T"};
  const char* cams[] = {"F", "R", "FS", "RS", "L", ""};
  std::vector<std::string> files;
  for (int i = 0; i < 600; ++i) {
    // Few distinct moments, so ties are common.
    int day = 1 + int(rng() % 3), minute = int(rng() % 20);
    char base[64];
    std::snprintf(base, sizeof base, "202401%02d_10%02d00_%s%s", day, minute, types[rng() % 6],
                  cams[rng() % 6]);
    files.push_back(std::string(base) + (rng() % 4 == 0 ? ".MP4" : ".mp4"));
    if (i % 10 == 0) {
      std::snprintf(base, sizeof base, "%s_00000%d202401%02d_10%02d00_1%c_%c", rng() % 2 ? "evt" : "nor",
                    int(rng() % 9), day, minute, rng() % 2 ? 'R' : 'F', "NEP"[rng() % 3]);
      files.push_back(std::string(base) + ".avi");
    }
  }
  std::shuffle(files.begin(), files.end(), rng);
  for (const std::string& f : files) dir.Touch(f);

  CFileList list;
  ScanResult scan = list.Scan(dir.path());
  ASSERT_TRUE(scan.folderRead);
  std::vector<std::string> expected = ReferenceOrder(DirectoryOrder(dir.path()));
  EXPECT_EQ(scan.count, int(expected.size()));
  EXPECT_EQ(Names(list), expected);
  // Three days in shuffled runs, AVI names after MP4 ones: each day once for the calendar.
  EXPECT_EQ(scan.days, (std::vector<int32_t>{20240101, 20240102, 20240103}));
}

TEST(CatalogScan, front_listed_before_rear_whatever_the_creation_order) {
  for (bool rearFirst : {false, true}) {
    TempFolder dir;
    std::vector<std::string> order = {"20240105_134501_NF.mp4", "20240105_134501_NR.mp4"};
    if (rearFirst) std::swap(order[0], order[1]);
    for (const auto& f : order) dir.Touch(f);
    CFileList list;
    list.Scan(dir.path());
    EXPECT_EQ(Names(list), (std::vector<std::string>{"20240105_134501_NF", "20240105_134501_NR"}));
  }
}

TEST(CatalogScan, lists_uppercase_extensions_and_skips_folders_short_names_and_others) {
  TempFolder dir;
  dir.Touch("20240105_134501_NF.MP4");
  dir.Touch("20240105_134501_NR.Mp4");
  dir.Touch("20240105_134501_N.GPS");
  dir.Touch("20240105_134501_NF.THM");
  dir.Touch(".mp4");
  dir.Touch("a.mp4");
  dir.Touch("20240105_000000_NF.mp4");
  dir.Touch("20240105_120000_NFmp4");
  std::filesystem::create_directory(dir / "20240105_120000_EF.mp4");
  dir.Touch("nor_00000120240106_101010_1F_N.AVI");

  CFileList list;
  ScanResult scan = list.Scan(dir.path());
  EXPECT_EQ(scan.count, 3);
  EXPECT_EQ(Names(list), (std::vector<std::string>{"nor_00000120240106_101010_1F_N",
                                                   "20240105_134501_NF", "20240105_134501_NR"}));
  EXPECT_EQ(list.Entries().front().kind, kKindAvi);
  EXPECT_EQ(list.Entries().front().ext, "AVI");
  EXPECT_EQ(list.Entries().back().ext, "Mp4");
  EXPECT_EQ(scan.days, (std::vector<int32_t>{20240105, 20240106}));
}

TEST(CatalogScan, mp4_names_are_added_before_avi_names_of_the_same_moment) {
  // Same moment and the same length: no tie rule applies, so scan order decides.
  const std::string mp4 = "20240105_134501_N00000000F";
  const std::string avi = "nor_00000120240105_134501N";
  ASSERT_EQ(mp4.size(), avi.size());
  TempFolder dir;
  dir.Touch(avi + ".avi");
  dir.Touch(mp4 + ".mp4");
  CFileList list;
  list.Scan(dir.path());
  EXPECT_EQ(Names(list), (std::vector<std::string>{mp4, avi}));
}

TEST(CatalogScan, rescan_replaces_and_missing_folder_reports_unread) {
  TempFolder dir;
  dir.Touch("20240105_134501_NF.mp4");
  CFileList list;
  EXPECT_EQ(list.Scan(dir.path()).count, 1);
  ScanResult missing = list.Scan(dir / "absent");
  EXPECT_FALSE(missing.folderRead);
  EXPECT_EQ(missing.count, 0);
  EXPECT_EQ(list.Count(), 0);
  ScanResult empty = list.Scan("");
  EXPECT_EQ(empty.count, 0);
}

TEST(CatalogScan, days_are_ascending_and_scan_opens_no_file) {
  TempFolder dir;
  const std::string valid = testfiles::Mp4WithSeconds(60);
  for (const char* f : {"20240107_080000_NF.mp4", "20240105_080000_NF.mp4", "20240106_080000_NF.mp4",
                        "20240105_090000_NF.mp4"})
    dir.Touch(f, valid);
  CFileList list;
  ScanResult scan = list.Scan(dir.path());
  ASSERT_EQ(scan.count, 4);
  // Directory order may interleave the days: the calendar still gets each day once.
  EXPECT_EQ(scan.days, (std::vector<int32_t>{20240105, 20240106, 20240107}));
  // Durations are read on demand only.
  for (CatalogEntry& e : list.Entries()) {
    EXPECT_EQ(e.duration, 0);
    EXPECT_EQ(list.EnsureDuration(e), 60);
    EXPECT_EQ(e.minutes, 1);
  }
}

}  // namespace
}  // namespace tq
