// NextSample over hand-built sample tables: time-to-sample runs, chunk runs of stsc,
// constant and listed sizes, edit lists, exhaustion and tables cut short.
#include <memory>

#include "container/Mp4Reader.h"
#include "container/Mp4ReadBoxes.h"

namespace tq::readtest {
namespace {

struct Expect {
  uint64_t timeMs;
  uint32_t offset;
  uint32_t size;
};

struct CursorCase {
  const char* name;
  uint32_t mediaScale = 90000;
  uint32_t movieScale = 600;
  std::vector<std::vector<uint32_t>> elst;  // {duration, mediaTime}
  uint32_t stszConstant = 0;
  std::vector<Expect> expected;
};

// Five samples: chunks 1-2 hold two samples each, chunk 3 one; deltas 3000, 3000, then
// 6000 at 90 kHz.
TrackTables FiveSamples(uint32_t constant) {
  TrackTables t;
  t.stts = {{2, 3000}, {3, 6000}};
  t.stsc = {{1, 2, 1}, {3, 1, 1}};
  t.stco = {{1000}, {2000}, {3000}};
  t.stszConstant = constant;
  t.sizes = {10, 20, 30, 40, 50};
  return t;
}

std::vector<Expect> WalkTrack(const CursorCase& c, const Bytes& file, TempDir& dir, int* pendingSeen) {
  std::string path = dir.File(std::string(c.name) + ".mp4");
  WriteFile(path, file);
  auto info = std::make_unique<MP4INFO>();
  EXPECT_EQ(ScanMP4(path, info.get(), 0, nullptr), 1);
  auto f = MediaFile::Open(path, "rb");
  std::vector<Expect> got;
  if (!f || !info->moov.trak[0]) return got;
  SampleCursor cursor;
  cursor.trak = info->moov.trak[0].get();
  SampleInfo s;
  while (got.size() < 20 && NextSample(cursor, *f, info->moov, &s)) {
    got.push_back({s.timeMs, s.fileOffset, s.size});
    if (got.size() == 2 && pendingSeen) {
      cursor.pending = true;  // hands the same sample out once more
      SampleInfo again;
      EXPECT_EQ(NextSample(cursor, *f, info->moov, &again), 1);
      *pendingSeen = again.sampleNumber == s.sampleNumber && again.fileOffset == s.fileOffset;
    }
  }
  FreeMP4INFO(*info);
  return got;
}

TEST(SampleCursor, tables_edit_lists_and_sizes) {
  CursorCase cases[] = {
      {"listed sizes", 90000, 600, {}, 0,
       {{0, 1000, 10}, {33, 1010, 20}, {66, 2000, 30}, {133, 2030, 40}, {200, 3000, 50}}},
      {"constant size", 90000, 600, {}, 25,
       {{0, 1000, 25}, {33, 1025, 25}, {66, 2000, 25}, {133, 2025, 25}, {200, 3000, 25}}},
      // 1 s empty edit, then the whole media: every time moves by 1000 ms.
      {"empty edit delays", 90000, 600, {{600, uint32_t(-1)}, {6000, 0}}, 0,
       {{1000, 1000, 10}, {1033, 1010, 20}, {1066, 2000, 30}, {1133, 2030, 40}, {1200, 3000, 50}}},
      // The edit's media time 60 is in movie units (100 ms), not media units.
      {"edit media time in movie timescale", 90000, 600, {{300, uint32_t(-1)}, {600, 60}}, 0,
       {{0, 1000, 10}, {33, 1010, 20}, {66, 2000, 30}, {633, 2030, 40}, {700, 3000, 50}}},
      // Without an empty edit nothing moves.
      {"plain edit", 90000, 600, {{6000, 0}}, 0,
       {{0, 1000, 10}, {33, 1010, 20}, {66, 2000, 30}, {133, 2030, 40}, {200, 3000, 50}}},
  };
  TempDir dir;
  for (const CursorCase& c : cases) {
    SCOPED_TRACE(c.name);
    Box trak = Trak(1, "vide", Stbl(Avc1(8, 8, {1, 2, 3, 4, 0xff}), FiveSamples(c.stszConstant)),
                    c.mediaScale);
    if (!c.elst.empty()) {
      Box elst("elst");
      elst.Full().U32(uint32_t(c.elst.size()));
      for (const auto& e : c.elst) elst.U32(e[0]).U32(e[1]).U32(0x00010000);
      trak.children.insert(trak.children.begin() + 1, Box("edts").Add(elst));
    }
    Box moov("moov");
    moov.Add(Mvhd(c.movieScale, 1)).Add(trak);
    Bytes file;
    Append(file, Ftyp());
    Append(file, moov);
    int pendingSeen = 0;
    std::vector<Expect> got = WalkTrack(c, file, dir, &pendingSeen);
    EXPECT_EQ(pendingSeen, 1);
    ASSERT_EQ(got.size(), c.expected.size());
    for (size_t i = 0; i < got.size(); ++i) {
      EXPECT_EQ(got[i].timeMs, c.expected[i].timeMs) << i;
      EXPECT_EQ(got[i].offset, c.expected[i].offset) << i;
      EXPECT_EQ(got[i].size, c.expected[i].size) << i;
    }
  }
}

TEST(SampleCursor, exhausted_stts_keeps_the_last_time_and_tables_cut_short_end_it) {
  TempDir dir;
  // stts covers two samples of four: the rest keep the last time, edited only once.
  TrackTables t;
  t.stts = {{2, 500}};
  t.stsc = {{1, 1, 1}};
  t.stco = {{100}, {200}, {300}, {400}};
  t.sizes = {1, 2, 3, 4};
  Box trak = Trak(1, "vide", Stbl(Avc1(8, 8, {1, 2, 3, 4, 0xff}), t), 1000);
  Box elst("elst");
  elst.Full().U32(2).U32(100).U32(uint32_t(-1)).U32(0x00010000).U32(100000).U32(0).U32(0x00010000);
  trak.children.insert(trak.children.begin() + 1, Box("edts").Add(elst));
  Box moov("moov");
  moov.Add(Mvhd(1000, 1)).Add(trak);
  Bytes file;
  Append(file, Ftyp());
  Append(file, moov);
  CursorCase c{"stts short", 1000, 1000, {}, 0, {}};
  std::vector<Expect> got = WalkTrack(c, file, dir, nullptr);
  ASSERT_EQ(got.size(), 4u);
  EXPECT_EQ(got[0].timeMs, 100u);
  EXPECT_EQ(got[1].timeMs, 600u);
  EXPECT_EQ(got[2].timeMs, 600u);
  EXPECT_EQ(got[3].timeMs, 600u);
  EXPECT_EQ(got[3].offset, 400u);

  // An stsz whose count claims more entries than the box holds stops at the box.
  Box stsz("stsz");
  stsz.Full().U32(0).U32(1000).U32(7).U32(8);
  Box stbl("stbl");
  stbl.Add(Box("stsd").Full().U32(1).Add(Avc1(8, 8, {1, 2, 3, 4, 0xff})))
      .Add(Table("stts", {{1000, 1}})).Add(stsz).Add(Table("stsc", {{1, 1000, 1}}))
      .Add(Table("stco", {{64}}));
  Box moov2("moov");
  moov2.Add(Mvhd(1000, 1)).Add(Trak(1, "vide", stbl));
  Bytes file2;
  Append(file2, Ftyp());
  Append(file2, moov2);
  CursorCase c2{"stsz short", 1000, 1000, {}, 0, {}};
  std::vector<Expect> got2 = WalkTrack(c2, file2, dir, nullptr);
  ASSERT_EQ(got2.size(), 2u);
  EXPECT_EQ(got2[1].offset, 71u);
  EXPECT_EQ(got2[1].size, 8u);
}

}  // namespace
}  // namespace tq::readtest
