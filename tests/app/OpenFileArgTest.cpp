#include <gtest/gtest.h>

#include <string>

#include "app/OpenFileArg.h"
#include "library/RecordingName.h"
#include "platform/TempDir.h"

namespace {

using tqtest::TempDir;
using tqtest::WriteBytes;

struct OpenRow {
  const char* what;
  const char* given;     // relative to the temp folder unless it starts with '/'
  const char* made;      // file created before the call, "" for none
  bool ok;
  const char* folder;    // relative to the temp folder
  const char* base;
  uint8_t kind;
  bool recording;
};

TEST(OpenFileArg, folder_row_and_kind_of_the_named_file) {
  const OpenRow rows[] = {
      {"absolute front recording", "@/card/Record/20261205_081500_NF.mp4", "card/Record/20261205_081500_NF.mp4",
       true, "card/Record", "20261205_081500_NF", tq::kKindMp4, true},
      {"relative path, upper-case extension", "card/20261205_081500_NR.MP4", "card/20261205_081500_NR.MP4", true,
       "card", "20261205_081500_NR", tq::kKindMp4, true},
      {"dot segments are folded", "card/x/../20261205_081500_EF.mp4", "card/20261205_081500_EF.mp4", true, "card",
       "20261205_081500_EF", tq::kKindMp4, true},
      {"AVI of the second family", "nor_00000120261205_103000_1F_N.avi", "nor_00000120261205_103000_1F_N.avi", true,
       "", "nor_00000120261205_103000_1F_N", tq::kKindAvi, true},
      {"a video not named by the camera is browsed but not a row", "holiday.mp4", "holiday.mp4", true, "",
       "holiday", tq::kKindMp4, false},
      {"missing file", "card/20261205_081500_NF.mp4", "", false, "", "", 0, false},
      {"a folder is no recording", "card", "card/20261205_081500_NF.mp4", false, "", "", 0, false},
      {"other extension", "20261205_081500_N.gps", "20261205_081500_N.gps", false, "", "", 0, false},
      {"extension only", ".mp4", ".mp4", true, "", "", tq::kKindMp4, false},
      {"empty path", "", "", false, "", "", 0, false},
  };
  for (const OpenRow& row : rows) {
    TempDir dir;
    if (*row.made) WriteBytes(dir / row.made, "x");
    std::string given = row.given;
    if (given.starts_with("@")) given = dir.path() + given.substr(1);
    tq::OpenFileRequest r = tq::DecideOpenFile(given, dir.path());
    EXPECT_EQ(r.ok, row.ok) << row.what << ": " << r.error;
    if (!row.ok) {
      EXPECT_FALSE(r.error.empty()) << row.what;
      continue;
    }
    std::string folder = *row.folder ? dir / row.folder : dir.path();
    EXPECT_EQ(r.folder, folder) << row.what;
    EXPECT_EQ(r.base, row.base) << row.what;
    EXPECT_EQ(r.kind, row.kind) << row.what;
    EXPECT_EQ(r.recording, row.recording) << row.what;
  }
}

}  // namespace
