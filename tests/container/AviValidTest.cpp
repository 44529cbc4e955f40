// Validation and in-place index repair of AVI recordings: what is read from the headers,
// which chunks become key frames, where the rebuilt index goes, and that bad, cut or
// refused files are never written.
#include <gtest/gtest.h>

#include <cstring>
#include <random>

#include "AviRecording.h"
#include "AviTestUtil.h"
#include "container/AviValid.h"

namespace tq {
namespace {

using test::CopyFile;
using test::Fixture;
using test::ReadAll;
using test::TempDir;
using test::WriteAll;

uint32_t Le32(const std::vector<uint8_t>& b, size_t at) { return GetLE32(b.data() + at); }

struct HeaderRow {
  const char* name;
  int streams, videos;
  uint32_t firstHandler;
  int width2;  // width of the second video format, 0 when none
};

TEST(AviValid, reads_headers_formats_and_index_of_fixtures) {
  const HeaderRow rows[] = {
      {"avi_front.avi", 4, 1, RiffCode("H264"), 0},
      {"avi_pair.avi", 5, 2, RiffCode("H264"), 256},
      {"avi_small.avi", 2, 1, RiffCode("H264"), 0},
  };
  for (const HeaderRow& row : rows) {
    SCOPED_TRACE(row.name);
    TempDir dir;
    const std::string path = dir.file(row.name);
    ASSERT_TRUE(CopyFile(Fixture(row.name), path));
    const std::vector<uint8_t> before = ReadAll(path);
    AVIINFO info{};
    ASSERT_EQ(ValidAVI(path, &info), 1);
    EXPECT_EQ(ReadAll(path), before) << "a valid file must not be written";
    EXPECT_EQ(info.streamCount, row.streams);
    EXPECT_EQ(info.videoStreamCount, row.videos);
    EXPECT_EQ(info.streams[0].fccType, RiffCode("vids"));
    EXPECT_EQ(info.streams[0].fccHandler, row.firstHandler);
    EXPECT_EQ(info.mainHeader.dwMicroSecPerFrame, 33333u);
    EXPECT_EQ(info.videoFormats[0].biWidth, 320);
    EXPECT_EQ(info.videoFormats[1].biWidth, row.width2);
    EXPECT_EQ(info.soundFormat.wFormatTag, 1);
    EXPECT_EQ(info.soundFormat.wBitsPerSample, 16);
    EXPECT_EQ(info.indexCount, info.index.size());
    ASSERT_GT(info.indexCount, 0);
    // The movi list type sits 4 bytes before moviOffset; every entry points at its chunk.
    ASSERT_EQ(Le32(before, info.moviOffset - 4), RiffCode("movi"));
    for (const AviIndexEntry& e : info.index) {
      const size_t at = info.moviOffset - 4 + e.dwChunkOffset;
      ASSERT_LE(at + 8 + e.dwChunkLength, before.size());
      ASSERT_EQ(Le32(before, at), e.ckid);
      ASSERT_EQ(Le32(before, at + 4), e.dwChunkLength);
    }
  }
}

TEST(AviValid, gps_and_sensor_streams_are_text_streams_with_their_handlers) {
  AVIINFO info{};
  ASSERT_TRUE(ReadAVI(Fixture("avi_pair.avi"), &info));
  ASSERT_EQ(info.streamCount, 5);
  EXPECT_EQ(info.streams[2].fccType, RiffCode("auds"));
  EXPECT_EQ(info.streams[3].fccType, RiffCode("txts"));
  EXPECT_EQ(info.streams[3].fccHandler, RiffCode("GPSR"));
  EXPECT_EQ(info.streams[4].fccHandler, RiffCode("SENS"));
  const std::vector<uint8_t> bytes = ReadAll(Fixture("avi_pair.avi"));
  int gps = 0, sensor = 0;
  for (const AviIndexEntry& e : info.index) {
    const size_t data = info.moviOffset + e.dwChunkOffset + 4;
    if (AviChunkStream(e.ckid) == 3) {
      ++gps;
      const uint32_t length = Le32(bytes, data + 4);
      ASSERT_LE(8 + length, e.dwChunkLength);
      const std::string text(reinterpret_cast<const char*>(bytes.data() + data + 8), length);
      EXPECT_EQ(text.rfind("$GPRMC,", 0), 0u) << text;
    } else if (AviChunkStream(e.ckid) == 4) {
      ++sensor;
      ASSERT_EQ(e.dwChunkLength, 12u);
      float z;
      std::memcpy(&z, bytes.data() + data + 8, sizeof z);
      EXPECT_GT(z, 0.5f);  // gravity, about 1 g
      EXPECT_LT(z, 2.5f);  // the jolt adds up to 0.6 g
    }
  }
  EXPECT_EQ(gps, 3);
  EXPECT_EQ(sensor, 3 * 60);
}

// The rebuilt index equals the one the file would have had: same chunks, same offsets,
// and key frames exactly where a chunk starts with a sequence parameter set.
TEST(AviRepair, rebuilt_index_marks_sps_led_chunks_as_key_frames) {
  for (const char* name : {"avi_noindex.avi", "avi_pair_noindex.avi"}) {
    SCOPED_TRACE(name);
    TempDir dir;
    const std::string path = dir.file("r.avi");
    ASSERT_TRUE(CopyFile(Fixture(name), path));
    const size_t oldSize = ReadAll(path).size();
    AVIINFO info{};
    ASSERT_EQ(ValidAVI(path, &info), 1);
    const std::vector<uint8_t> bytes = ReadAll(path);
    ASSERT_EQ(info.moviOffset + info.moviSize, oldSize) << "movi runs to the end of the file";
    EXPECT_EQ(bytes.size(), oldSize + 8 + info.indexCount * 16u);
    EXPECT_EQ(Le32(bytes, oldSize), RiffCode("idx1"));
    int keys = 0, frames = 0;
    for (const AviIndexEntry& e : info.index) {
      if (!IsAviVideoChunk(e.ckid)) {
        EXPECT_EQ(e.dwFlags, 0u);
        continue;
      }
      const uint8_t* d = bytes.data() + info.moviOffset + e.dwChunkOffset + 4;
      const bool sps = d[0] == 0 && d[1] == 0 && d[2] == 0 && d[3] == 1 && d[4] == 0x67;
      EXPECT_EQ(e.dwFlags, sps ? kAviKeyFrame : 0u);
      keys += sps;
      ++frames;
    }
    const bool pair = std::strstr(name, "pair") != nullptr;
    EXPECT_EQ(frames, pair ? 180 : 90);
    EXPECT_EQ(keys, pair ? 6 : 3);

    // Same as the index the writer made for the same recording.
    AVIINFO original{};
    ASSERT_TRUE(ReadAVI(Fixture(pair ? "avi_pair.avi" : "avi_front.avi"), &original));
    ASSERT_EQ(original.indexCount, info.indexCount);
    EXPECT_EQ(std::memcmp(original.index.data(), info.index.data(), info.index.size() * 16), 0);

    // Others read it: ffprobe without complaint, every picture decodes.
    EXPECT_EQ(test::Ffprobe(path).output, "");
    std::vector<test::DecodedTag> tags;
    std::string error;
    ASSERT_TRUE(test::DecodeFrameTags(path, &tags, &error)) << error;
    ASSERT_EQ(tags.size(), 90u);
    for (size_t i = 0; i < tags.size(); ++i) EXPECT_EQ(tags[i].frame, int(i));

    // A second validation finds the index and writes nothing.
    AVIINFO again{};
    EXPECT_EQ(ValidAVI(path, &again), 1);
    EXPECT_EQ(ReadAll(path), bytes);
  }
}

TEST(AviRepair, refused_files_are_left_byte_identical) {
  for (const char* name : {"avi_nostartcode.avi", "avi_cut.avi"}) {
    SCOPED_TRACE(name);
    TempDir dir;
    const std::string path = dir.file("r.avi");
    ASSERT_TRUE(CopyFile(Fixture(name), path));
    const std::vector<uint8_t> before = ReadAll(path);
    AVIINFO info{};
    EXPECT_EQ(ValidAVI(path, &info), 0);
    EXPECT_EQ(info.indexCount, 0);
    EXPECT_EQ(ReadAll(path), before);
  }
}

// A cut recording made in the test: small enough to validate at every length.
std::vector<uint8_t> TinyRecording(const TempDir& dir, bool index, size_t* moviEnd) {
  AviRecordingSpec s;
  s.width = 128;
  s.height = 72;
  s.durationMs = 134;  // four pictures
  s.sound = false;
  s.gps = false;
  s.index = index;
  const std::string path = dir.file(index ? "tiny.avi" : "tiny_noindex.avi");
  std::string error;
  if (!WriteAviRecording(s, path, nullptr, &error)) return {};
  AVIINFO info{};
  if (!ReadAVI(path, &info)) return {};
  *moviEnd = info.moviOffset + info.moviSize;
  return ReadAll(path);
}

TEST(AviRepair, truncated_at_every_byte_is_refused_without_writing) {
  TempDir dir;
  size_t moviEnd = 0;
  const std::vector<uint8_t> whole = TinyRecording(dir, true, &moviEnd);
  ASSERT_FALSE(whole.empty());
  ASSERT_LT(whole.size(), 40000u) << "keep this file small: it is validated at every length";
  const std::string path = dir.file("cut.avi");
  int repaired = 0;
  for (size_t cut = 0; cut < whole.size(); ++cut) {
    const std::vector<uint8_t> prefix(whole.begin(), whole.begin() + long(cut));
    ASSERT_TRUE(WriteAll(path, prefix));
    AVIINFO info{};
    const int rc = ValidAVI(path, &info);
    if (rc == 0) {
      ASSERT_EQ(ReadAll(path), prefix) << "written although refused, cut at " << cut;
      continue;
    }
    // Only a cut that keeps the whole movi list (losing the index) may be repaired.
    ASSERT_GE(cut, moviEnd) << cut;
    ASSERT_LT(cut, moviEnd + 8) << cut;
    ++repaired;
  }
  EXPECT_EQ(repaired, 8);
}

TEST(AviRepair, interrupted_index_append_is_repaired_the_same_way_next_time) {
  TempDir dir;
  const std::string clean = dir.file("clean.avi"), path = dir.file("r.avi");
  ASSERT_TRUE(CopyFile(Fixture("avi_noindex.avi"), clean));
  AVIINFO cleanInfo{};
  ASSERT_EQ(ValidAVI(clean, &cleanInfo), 1);
  const std::vector<uint8_t> expected = ReadAll(clean);
  const int64_t total = 8 + int64_t(cleanInfo.indexCount) * 16;  // every byte RecoverAVI writes
  std::vector<int64_t> budgets;
  for (int64_t b = 0; b <= 40; ++b) budgets.push_back(b);
  for (int64_t b = 41; b < total - 16; b += 509) budgets.push_back(b);
  for (int64_t b = total - 16; b < total; ++b) budgets.push_back(b);
  for (int64_t budget : budgets) {
    SCOPED_TRACE(budget);
    ASSERT_TRUE(CopyFile(Fixture("avi_noindex.avi"), path));
    MediaFile::InjectWriteFailureAfter(budget);
    AVIINFO failed{};
    const int rc = ValidAVI(path, &failed);
    MediaFile::InjectWriteFailureAfter(-1);
    EXPECT_EQ(rc, 0);
    AVIINFO info{};
    ASSERT_EQ(ValidAVI(path, &info), 1);
    ASSERT_EQ(ReadAll(path), expected);
  }
}

struct TailRow {
  const char* what;
  std::vector<uint8_t> tail;  // appended after the complete movi list
  bool repaired;
};

// What may follow a movi list that has no index: the repair writes there only when no
// chunk of its own lives there, and what it writes validates the same way afterwards.
TEST(AviRepair, data_after_movi_is_not_overwritten) {
  const std::vector<uint8_t> noindex = ReadAll(Fixture("avi_noindex.avi"));
  std::vector<uint8_t> junk = {'J', 'U', 'N', 'K', 4, 0, 0, 0, 1, 2, 3, 4};
  std::vector<uint8_t> emptyIdx = {'i', 'd', 'x', '1', 0, 0, 0, 0};
  // Zeros and then another header list, as a file pieced together from two recordings.
  std::vector<uint8_t> zerosThenHeaders(64, 0);
  zerosThenHeaders.insert(zerosThenHeaders.end(), noindex.begin() + 8, noindex.begin() + 400);
  const TailRow rows[] = {
      {"a JUNK chunk", junk, false},
      {"an empty index", emptyIdx, true},
      {"zeros, then a stray header list", zerosThenHeaders, true},
      {"three stray bytes", {1, 2, 3}, true},
  };
  for (const TailRow& row : rows) {
    SCOPED_TRACE(row.what);
    std::vector<uint8_t> b = noindex;
    b.insert(b.end(), row.tail.begin(), row.tail.end());
    TempDir dir;
    const std::string path = dir.file("t.avi");
    ASSERT_TRUE(WriteAll(path, b));
    AVIINFO info{};
    EXPECT_EQ(ValidAVI(path, &info), row.repaired ? 1 : 0);
    const std::vector<uint8_t> after = ReadAll(path);
    if (!row.repaired) {
      EXPECT_EQ(after, b);
      continue;
    }
    EXPECT_EQ(info.indexCount, 303);
    EXPECT_EQ(std::memcmp(after.data(), noindex.data(), noindex.size()), 0) << "movi changed";
    AVIINFO again{};
    EXPECT_EQ(ValidAVI(path, &again), 1);
    EXPECT_EQ(ReadAll(path), after);
    EXPECT_EQ(again.indexCount, info.indexCount);
  }
}

// Edits of a valid file: a JUNK chunk in hdrl before the stream lists, an index too large
// for its 16-bit count, sizes that run past the file.
std::vector<uint8_t> WithJunkInHdrl(std::vector<uint8_t> b) {
  // RIFF(12) LIST hdrl(12) avih(8+56): insert right after avih.
  const size_t at = 12 + 12 + 8 + 56;
  std::vector<uint8_t> junk(8 + 20, 0xEE);
  PutLE32(junk.data(), RiffCode("JUNK"));
  PutLE32(junk.data() + 4, 20);
  b.insert(b.begin() + long(at), junk.begin(), junk.end());
  PutLE32(b.data() + 4, Le32(b, 4) + 28);
  PutLE32(b.data() + 16, Le32(b, 16) + 28);
  return b;
}

TEST(AviValid, hdrl_chunks_before_stream_lists_are_skipped) {
  TempDir dir;
  const std::string path = dir.file("junk.avi");
  ASSERT_TRUE(WriteAll(path, WithJunkInHdrl(ReadAll(Fixture("avi_pair.avi")))));
  AVIINFO info{}, plain{};
  ASSERT_EQ(ValidAVI(path, &info), 1);
  ASSERT_TRUE(ReadAVI(Fixture("avi_pair.avi"), &plain));
  EXPECT_EQ(info.streamCount, 5);
  EXPECT_EQ(info.videoStreamCount, 2);
  EXPECT_EQ(std::memcmp(info.streams, plain.streams, sizeof info.streams), 0);
  EXPECT_EQ(info.moviOffset, plain.moviOffset + 28);
  EXPECT_EQ(test::Ffprobe(path).output, "");
}

struct BadRow {
  const char* what;
  std::vector<uint8_t> (*edit)(std::vector<uint8_t>);
};

size_t Idx1At(const std::vector<uint8_t>& b) {
  AVIINFO info{};
  size_t at = 12;
  while (at + 8 <= b.size() && Le32(b, at) != RiffCode("idx1")) at += 8 + Le32(b, at + 4);
  return at;
}

const BadRow kBadRows[] = {
    {"no RIFF", [](std::vector<uint8_t> b) { b[0] = 'X'; return b; }},
    {"no AVI form", [](std::vector<uint8_t> b) { b[8] = 'W'; return b; }},
    {"hdrl longer than the file",
     [](std::vector<uint8_t> b) { PutLE32(b.data() + 16, 0xFFFFFFF0u); return b; }},
    {"avih first child missing",
     [](std::vector<uint8_t> b) { PutLE32(b.data() + 24, RiffCode("avix")); return b; }},
    {"avih shorter than its header",
     [](std::vector<uint8_t> b) { PutLE32(b.data() + 28, 40); return b; }},
    {"strl child running out of hdrl",
     [](std::vector<uint8_t> b) { PutLE32(b.data() + 12 + 12 + 64 + 12 + 4, 0x7FFFFFFF); return b; }},
    {"index count above 16 bits",
     [](std::vector<uint8_t> b) {
       const size_t at = Idx1At(b);
       const uint32_t size = 65536u * 16;
       const size_t have = b.size() - at - 8;
       PutLE32(b.data() + at + 4, size);
       b.resize(b.size() + (size - have), 0);
       return b;
     }},
    {"index longer than the file",
     [](std::vector<uint8_t> b) { PutLE32(b.data() + Idx1At(b) + 4, 0x00FFFFF0u); return b; }},
    {"no movi list",
     [](std::vector<uint8_t> b) {
       AVIINFO info{};
       (void)info;
       for (size_t at = 12; at + 12 <= b.size(); at += 8 + Le32(b, at + 4))
         if (Le32(b, at + 8) == RiffCode("movi")) PutLE32(b.data() + at + 8, RiffCode("xxxx"));
       return b;
     }},
};

TEST(AviValid, damaged_headers_are_refused_without_writing) {
  const std::vector<uint8_t> good = ReadAll(Fixture("avi_front.avi"));
  ASSERT_FALSE(good.empty());
  for (const BadRow& row : kBadRows) {
    SCOPED_TRACE(row.what);
    TempDir dir;
    const std::string path = dir.file("bad.avi");
    const std::vector<uint8_t> bad = row.edit(good);
    ASSERT_TRUE(WriteAll(path, bad));
    AVIINFO info{};
    EXPECT_EQ(ValidAVI(path, &info), 0);
    EXPECT_EQ(ReadAll(path), bad);
  }
}

TEST(AviValid, index_of_exactly_65535_entries_is_kept) {
  std::vector<uint8_t> b = ReadAll(Fixture("avi_front.avi"));
  const size_t at = Idx1At(b);
  ASSERT_LT(at, b.size());
  const uint32_t size = 65535u * 16;
  const size_t have = b.size() - at - 8;
  PutLE32(b.data() + at + 4, size);
  // The added entries repeat the first one: an index of garbage would be set aside.
  const std::vector<uint8_t> first(b.begin() + long(at + 8), b.begin() + long(at + 24));
  for (size_t added = 0; added < (size - have) / 16; ++added) b.insert(b.end(), first.begin(), first.end());
  TempDir dir;
  const std::string path = dir.file("big.avi");
  ASSERT_TRUE(WriteAll(path, b));
  AVIINFO info{};
  EXPECT_EQ(ValidAVI(path, &info), 1);
  EXPECT_EQ(info.indexCount, 65535);
  EXPECT_EQ(info.index.size(), 65535u);
}

TEST(AviValid, garbage_files_are_refused_without_writing) {
  std::mt19937 rng(7);
  TempDir dir;
  const std::string path = dir.file("g.avi");
  for (int round = 0; round < 300; ++round) {
    std::vector<uint8_t> b(size_t(rng() % 4096));
    for (uint8_t& v : b) v = uint8_t(rng());
    if (round % 2 && b.size() >= 12) {
      std::memcpy(b.data(), "RIFF", 4);
      std::memcpy(b.data() + 8, "AVI ", 4);
    }
    ASSERT_TRUE(WriteAll(path, b));
    AVIINFO info{};
    EXPECT_EQ(ValidAVI(path, &info), 0);
    ASSERT_EQ(ReadAll(path), b);
  }
  AVIINFO info{};
  EXPECT_EQ(ValidAVI(dir.file("missing.avi"), &info), 0);
}

}  // namespace
}  // namespace tq
