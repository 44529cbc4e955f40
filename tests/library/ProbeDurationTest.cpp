#include <gtest/gtest.h>

#include "CatalogFixtures.h"
#include "library/CFileList.h"

namespace tq {
namespace {

using namespace testfiles;

struct ProbeRow {
  const char* what;
  std::string bytes;
  int32_t seconds;
};

std::vector<ProbeRow> Mp4Rows() {
  const std::string ftyp = Box("ftyp", "isom" + U32(0));
  const std::string freeBox = Box("free", std::string(8, 'f'));
  const std::string moov60 = Box("moov", Mvhd(0, 1000, 60000));
  const std::string moov60v1 = Box("moov", Mvhd(1, 90000, 60ull * 90000));
  std::vector<ProbeRow> rows = {
      {"moov first", moov60, 60},
      {"moov fourth box", ftyp + freeBox + freeBox + moov60, 60},
      {"moov fifth box", ftyp + freeBox + freeBox + freeBox + moov60, 0},
      {"mvhd version 1", ftyp + moov60v1, 60},
      // Only the low 32 bits of a version-1 duration are used.
      {"v1 duration high bits ignored", Box("moov", Mvhd(1, 1000, (1ull << 32) + 30000)), 30},
      {"183 s", Mp4WithSeconds(183), 183},
      {"184 s", Mp4WithSeconds(184), 184},
      {"185 s", Mp4WithSeconds(185), 185},
      {"186 s is not trusted", Mp4WithSeconds(186), 0},
      {"186 s v1", Mp4WithSeconds(186, 1), 0},
      {"shorter than the timescale", Box("moov", Mvhd(0, 1000, 400)), 1},
      {"timescale 0", Box("moov", Mvhd(0, 0, 400)), 0},
      {"duration 0", Box("moov", Mvhd(0, 1000, 0)), 0},
      {"negative timescale", Box("moov", Mvhd(0, 0x80000000u, 0x90000000u)), 0},
      {"moov without mvhd first", Box("moov", Box("trak", "") + Mvhd(0, 1000, 60000)), 0},
      {"size 0 box before moov", U32(0) + "free" + moov60, 0},
      {"size 1 (64-bit) box before moov", U32(1) + "free" + U64(16) + moov60, 0},
      {"size 4 box before moov", U32(4) + "free" + moov60, 0},
      {"box size past the end", U32(0x7FFFFFF0u) + "mdat" + moov60, 0},
      {"box ends inside the next", U32(12) + "ftyp" + moov60, 0},
      {"empty file", "", 0},
      {"truncated top header", std::string("\0\0\0", 3), 0},
      {"truncated mvhd header", Box("moov", Mvhd(0, 1000, 60000)).substr(0, 14), 0},
      {"truncated mvhd fields", Box("moov", Mvhd(0, 1000, 60000)).substr(0, 30), 0},
      {"truncated v1 fields", Box("moov", Mvhd(1, 1000, 60000)).substr(0, 40), 0},
      {"mvhd size below its fields", U32(24) + "moov" + U32(16) + "mvhd" + std::string(4, '\0') +
                                         U32(0) + U32(0) + U32(1000) + U32(60000), 0},
      {"mvhd past the moov box", U32(16) + "moov" + Mvhd(0, 1000, 60000), 0},
  };
  // Exactly the bytes the probe needs: the duration field ends the file.
  std::string exact = Box("moov", Mvhd(0, 1000, 60000));
  rows.push_back({"mvhd fields end at the file end", exact.substr(0, 8 + 8 + 4 + 16), 60});
  return rows;
}

TEST(ProbeDuration, mp4_header_table) {
  TempFolder dir;
  for (const ProbeRow& row : Mp4Rows()) {
    SCOPED_TRACE(row.what);
    dir.Touch("probe.mp4", row.bytes);
    EXPECT_EQ(CFileList::ProbeDuration(dir / "probe.mp4", kKindMp4), row.seconds);
  }
}

TEST(ProbeDuration, avi_main_header_table) {
  std::string good = AviHeader(33333, 1800);  // 30 frames a second
  std::vector<ProbeRow> rows = {
      {"30 fps, 1800 frames", good, 60},
      {"25 fps", AviHeader(40000, 250), 10},
      {"fps by integer division", AviHeader(33334, 300), 10},  // 1000000/33334 = 29
      {"microseconds 0", AviHeader(0, 1800), 0},
      {"below one frame a second", AviHeader(2000000, 1800), 0},
      {"no RIFF", "RIFX" + good.substr(4), 0},
      {"not AVI", good.substr(0, 8) + "WAVE" + good.substr(12), 0},
      {"no hdrl", good.substr(0, 20) + "hdrx" + good.substr(24), 0},
      {"no avih", good.substr(0, 24) + "strh" + good.substr(28), 0},
      {"avih too small", good.substr(0, 28) + Le32(40) + good.substr(32), 0},
      {"truncated main header", good.substr(0, 60), 0},
      {"empty", "", 0},
  };
  TempFolder dir;
  for (const ProbeRow& row : rows) {
    SCOPED_TRACE(row.what);
    dir.Touch("probe.avi", row.bytes);
    EXPECT_EQ(CFileList::ProbeDuration(dir / "probe.avi", kKindAvi), row.seconds);
  }
}

TEST(ProbeDuration, missing_file_and_folder_give_zero) {
  TempFolder dir;
  EXPECT_EQ(CFileList::ProbeDuration(dir / "absent.mp4", kKindMp4), 0);
  EXPECT_EQ(CFileList::ProbeDuration(dir.path(), kKindMp4), 0);
}

TEST(ProbeDuration, entry_length_follows_the_probe_and_zero_is_probed_again) {
  TempFolder dir;
  const struct { const char* base; uint32_t seconds; int32_t duration; int minutes; } rows[] = {
      {"20240105_100000_NF", 183, 183, 3},
      {"20240105_100500_NF", 184, 184, 4},
      {"20240105_101000_NF", 186, 0, 1},
      {"20240105_101500_NF", 62, 62, 1},
  };
  for (const auto& r : rows) dir.Touch(std::string(r.base) + ".mp4", Mp4WithSeconds(r.seconds));
  CFileList list;
  ASSERT_EQ(list.Scan(dir.path()).count, 4);
  for (const auto& r : rows) {
    SCOPED_TRACE(r.base);
    CatalogEntry* e = list.Find(r.base);
    ASSERT_NE(e, nullptr);
    EXPECT_EQ(list.EnsureDuration(*e), r.duration);
    EXPECT_EQ(e->minutes, r.minutes);
  }
  // A header that could not be read is read again once it is complete.
  dir.Touch("20240105_101000_NF.mp4", Mp4WithSeconds(120));
  EXPECT_EQ(list.EnsureDuration(*list.Find("20240105_101000_NF")), 120);
  // A known duration is not read again.
  dir.Touch("20240105_100000_NF.mp4", "");
  EXPECT_EQ(list.EnsureDuration(*list.Find("20240105_100000_NF")), 183);
}

}  // namespace
}  // namespace tq
