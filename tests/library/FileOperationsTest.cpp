#include <gtest/gtest.h>

#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include "CatalogFixtures.h"
#include "app/TraceLog.h"
#include "library/CFileList.h"

namespace tq {
namespace {

using namespace testfiles;

const std::string kF = "20240105_134501_NF";
const std::string kR = "20240105_134501_NR";
const std::string kStem = "20240105_134501_N";

struct RecordingProgress : DeleteProgress {
  void Deleted(const std::string& base, bool allFilesRemoved) override {
    names.push_back(base);
    complete.push_back(allFilesRemoved);
  }
  std::vector<std::string> names;
  std::vector<bool> complete;
};

// A front/rear pair with thumbnails and the shared companions, extensions spelled
// in lower or upper case as a FAT card may present them.
void MakePair(const TempFolder& dir, bool upper) {
  auto ext = [upper](std::string e) {
    if (upper)
      for (char& c : e) c = char(std::toupper(static_cast<unsigned char>(c)));
    return e;
  };
  dir.Touch(kF + ext(".mp4"), "front video");
  dir.Touch(kR + ext(".mp4"), "rear video");
  dir.Touch(kF + ext(".thm"), "front thumb");
  dir.Touch(kR + ext(".thm"), "rear thumb");
  dir.Touch(kStem + ext(".gps"), "gps");
  dir.Touch(kStem + ext(".3gf"), "3gf");
}

std::vector<std::string> FolderContents(const std::string& folder) {
  std::vector<std::string> names;
  for (const auto& e : std::filesystem::directory_iterator(folder))
    names.push_back(e.path().filename().string());
  std::sort(names.begin(), names.end());
  return names;
}

class DeleteCase : public ::testing::TestWithParam<bool> {};

TEST_P(DeleteCase, shared_companions_stay_while_the_partner_exists) {
  const bool upper = GetParam();
  TempFolder dir;
  MakePair(dir, upper);
  dir.Touch("unrelated.txt");
  CFileList list;
  ASSERT_EQ(list.Scan(dir.path()).count, 2);

  RecordingProgress progress;
  DeleteResult first = list.DeleteRecordings({kF}, &progress, nullptr);
  EXPECT_EQ(first.remaining, 1);
  EXPECT_FALSE(first.clearCalendar);
  EXPECT_EQ(progress.names, std::vector<std::string>{kF});
  EXPECT_EQ(progress.complete, std::vector<bool>{true});
  const char* e = upper ? ".MP4" : ".mp4";
  std::vector<std::string> left = {kStem + (upper ? ".3GF" : ".3gf"), kStem + (upper ? ".GPS" : ".gps"),
                                   kR + e, kR + (upper ? ".THM" : ".thm"), "unrelated.txt"};
  std::sort(left.begin(), left.end());
  EXPECT_EQ(FolderContents(dir.path()), left);

  DeleteResult second = list.DeleteRecordings({kR}, &progress, nullptr);
  EXPECT_EQ(second.remaining, 0);
  EXPECT_TRUE(second.clearCalendar);
  EXPECT_EQ(FolderContents(dir.path()), std::vector<std::string>{"unrelated.txt"});
  EXPECT_EQ(list.Count(), 0);
}

INSTANTIATE_TEST_SUITE_P(LowerAndUpperExtensions, DeleteCase, ::testing::Bool());

TEST(DeleteRecordings, deleting_both_of_a_pair_in_one_call_removes_everything) {
  TempFolder dir;
  MakePair(dir, false);
  CFileList list;
  list.Scan(dir.path());
  RecordingProgress progress;
  list.DeleteRecordings({kF, kR}, &progress, nullptr);
  EXPECT_EQ(progress.names, (std::vector<std::string>{kF, kR}));
  EXPECT_TRUE(FolderContents(dir.path()).empty());
}

TEST(DeleteRecordings, names_without_front_or_rear_letter_use_their_full_name) {
  TempFolder dir;
  MakePair(dir, false);
  const std::string s = "20240105_134501_NFS", m = "20240105_120000_M", avi = "nor_00000120240105_110000_1R_N";
  for (const std::string& b : {s, m})
    for (const char* ext : {".mp4", ".thm", ".gps", ".3gf"}) dir.Touch(b + ext);
  dir.Touch(avi + ".avi");
  dir.Touch(avi + ".gps");  // AVI recordings have no companions: this one is not theirs
  CFileList list;
  ASSERT_EQ(list.Scan(dir.path()).count, 5);
  list.DeleteRecordings({s, m, avi}, nullptr, nullptr);
  std::vector<std::string> left = {kStem + ".3gf", kStem + ".gps", kF + ".mp4", kF + ".thm",
                                   kR + ".mp4", kR + ".thm", avi + ".gps"};
  std::sort(left.begin(), left.end());
  EXPECT_EQ(FolderContents(dir.path()), left);
}

TEST(DeleteRecordings, passed_entries_are_reindexed_through_the_filter) {
  TempFolder dir;
  const std::vector<std::string> names = {"20240106_090000_NF", "20240106_090000_NR", "20240105_100000_EF",
                                          "20240105_100000_ER", "20240105_080000_NF"};
  for (const auto& n : names) dir.Touch(n + ".mp4");
  CFileList list;
  list.Scan(dir.path());
  auto frontOnly = [](const CatalogEntry& e) { return EntryCamera(e.typeCode) == 0; };
  DeleteResult r = list.DeleteRecordings({names[1], names[2]}, nullptr, frontOnly);
  EXPECT_EQ(r.remaining, 3);
  std::vector<std::string> rows;
  for (const CatalogEntry* e : list.Index().Rows()) rows.push_back(e->name);
  EXPECT_EQ(rows, (std::vector<std::string>{names[0], names[4]}));
  ASSERT_NE(list.Index().FindHour(20240105, 8), nullptr);
  EXPECT_EQ(list.Index().FindHour(20240105, 8)->firstRow, 1);
  EXPECT_EQ(list.Index().FindHour(20240105, 10), nullptr) << "the rear event row is filtered out";
}

TEST(DeleteRecordings, a_name_not_met_on_the_walk_is_skipped_and_traced) {
  TempFolder dir;
  const std::string a = "20240106_090000_NF", c = "20240105_080000_NF";
  dir.Touch(a + ".mp4");
  dir.Touch(c + ".mp4");
  std::string trace = dir / "trace.txt";
  SetTraceFile(trace);
  CFileList list;
  list.Scan(dir.path());
  RecordingProgress progress;
  // Out of catalog order: the walk has passed `a` when it looks for it.
  DeleteResult r = list.DeleteRecordings({c, "20240101_000001_XF", a}, &progress, nullptr);
  SetTraceFile("");
  EXPECT_EQ(progress.names, std::vector<std::string>{c});
  EXPECT_EQ(r.remaining, 1);
  EXPECT_TRUE(dir.Has(a + ".mp4"));
  EXPECT_FALSE(dir.Has(c + ".mp4"));
  std::string log = ReadFile(trace);
  EXPECT_NE(log.find("not in the catalog 20240101_000001_XF"), std::string::npos) << log;
  EXPECT_NE(log.find("not in the catalog " + a), std::string::npos) << log;
}

TEST(CopyRecording, copies_companions_first_and_skips_missing_ones) {
  TempFolder src;
  MakePair(src, false);
  std::filesystem::remove(src / (kR + ".thm"));
  TempFolder dst;
  std::filesystem::create_directories(dst / "out");
  const std::string out = dst / "out";
  CFileList list;
  list.Scan(src.path());

  std::vector<std::string> copied;
  ASSERT_TRUE(list.CopyRecording(kF, out, kKindMp4, &copied));
  EXPECT_EQ(copied, (std::vector<std::string>{kStem + ".3gf", kStem + ".gps", kF + ".thm", kF + ".mp4"}));
  copied.clear();
  ASSERT_TRUE(list.CopyRecording(kR, out, kKindMp4, &copied));
  EXPECT_EQ(copied, (std::vector<std::string>{kStem + ".3gf", kStem + ".gps", kR + ".mp4"}));
  for (const std::string& n : FolderContents(src.path()))
    EXPECT_EQ(ReadFile(out + "/" + n), ReadFile(src / n)) << n;
  EXPECT_EQ(FolderContents(out).size(), FolderContents(src.path()).size());
}

TEST(CopyRecording, keeps_the_card_spelling_and_overwrites_the_target) {
  TempFolder src;
  MakePair(src, true);
  const std::string avi = "nor_00000120240105_110000_1R_N";
  src.Touch(avi + ".AVI", "avi bytes");
  TempFolder dst;
  dst.Touch(kF + ".MP4", "an older, longer copy of the front video");
  CFileList list;
  list.Scan(src.path());
  std::vector<std::string> copied;
  ASSERT_TRUE(list.CopyRecording(kF, dst.path(), kKindMp4, &copied));
  EXPECT_EQ(copied, (std::vector<std::string>{kStem + ".3GF", kStem + ".GPS", kF + ".THM", kF + ".MP4"}));
  EXPECT_EQ(ReadFile(dst / (kF + ".MP4")), "front video");
  copied.clear();
  ASSERT_TRUE(list.CopyRecording(avi, dst.path(), kKindAvi, &copied));
  EXPECT_EQ(copied, std::vector<std::string>{avi + ".AVI"});
}

TEST(CopyRecording, large_file_is_copied_byte_for_byte) {
  TempFolder src, dst;
  std::string big(2 * 1024 * 1024 + 12345, '\0');
  std::mt19937 rng(3);
  for (char& c : big) c = char(rng());
  src.Touch(kF + ".mp4", big);
  CFileList list;
  list.Scan(src.path());
  ASSERT_TRUE(list.CopyRecording(kF, dst.path(), kKindMp4));
  EXPECT_EQ(ReadFile(dst / (kF + ".mp4")), big);
}

TEST(CopyRecording, failed_copy_is_traced_and_leaves_no_partial_file) {
  TempFolder src, dst;
  MakePair(src, false);
  // The target name is taken by a folder: the finished copy cannot be renamed into place.
  std::filesystem::create_directory(dst / (kF + ".mp4"));
  std::string trace = src / "trace.txt";
  SetTraceFile(trace);
  CFileList list;
  list.Scan(src.path());
  std::vector<std::string> copied;
  EXPECT_FALSE(list.CopyRecording(kF, dst.path(), kKindMp4, &copied));
  EXPECT_FALSE(list.CopyRecording(kR, dst / "missing", kKindMp4));
  SetTraceFile("");
  // The other files of the recording are still copied.
  EXPECT_EQ(copied, (std::vector<std::string>{kStem + ".3gf", kStem + ".gps", kF + ".thm"}));
  EXPECT_TRUE(std::filesystem::is_directory(dst / (kF + ".mp4")));
  for (const std::string& n : FolderContents(dst.path()))
    EXPECT_EQ(n.find(".tqpart"), std::string::npos) << n;
  EXPECT_FALSE(std::filesystem::exists(dst / "missing"));
  std::string log = ReadFile(trace);
  EXPECT_NE(log.find("[CFileList::CopyRecording("), std::string::npos) << log;
  EXPECT_NE(log.find("copy failed, " + dst / (kF + ".mp4") + " not written"), std::string::npos) << log;
}

}  // namespace
}  // namespace tq
