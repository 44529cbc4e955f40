// Export of a time range of one camera of an AVI recording: which pictures arrive (frame
// tags and decoded md5 against the source), which streams the output holds, and that a
// refused or failed export leaves no file behind.
#include <gtest/gtest.h>

#include <filesystem>

#include "AviTestUtil.h"
#include "container/AviExport.h"
#include "container/AviValid.h"

namespace tq {
namespace {

using test::Fixture;
using test::TempDir;

constexpr double kMsPerFrame = 33.333;
constexpr int kFrames = 90, kGop = 30;

// The source frames (0-based) an export of [from, to] seconds holds: frame j is counted at
// (j + 1) frame times; the copy starts at the key frame at or before the first frame of
// the range and ends with the last frame counted before to + 999 ms.
std::pair<int, int> ExpectedFrames(int from, int to) {
  int first = 0;
  if (from > 0) {
    first = kFrames;
    for (int j = 0; j < kFrames; ++j)
      if ((j + 1) * kMsPerFrame >= from * 1000.0) {
        first = j;
        break;
      }
  }
  first -= first % kGop;
  int last = -1;
  for (int j = 0; j < kFrames; ++j)
    if ((j + 1) * kMsPerFrame <= to * 1000.0 + 999) last = j;
  return {first, last};
}

struct ExportRow {
  int from, to;
  bool rear, sound;
};

class AviExportRange : public ::testing::TestWithParam<ExportRow> {};

TEST_P(AviExportRange, copies_the_selected_cameras_frames_of_the_range) {
  const ExportRow row = GetParam();
  const std::string source = Fixture("avi_pair.avi");
  AVIINFO info{};
  ASSERT_EQ(ValidAVI(source, &info), 1);
  std::unique_ptr<MediaFile> f = MediaFile::Open(source, "rb");
  ASSERT_TRUE(f);
  TempDir dir;
  const std::string out = dir.file("out.avi");
  std::string error;
  ASSERT_EQ(ExportAVI(*f, out, info, row.from, row.to, row.sound, !row.rear, row.rear, &error), 1)
      << error;
  EXPECT_FALSE(std::filesystem::exists(out + ".part"));
  EXPECT_EQ(test::Ffprobe(out).output, "");
  const std::string size = row.rear ? "256,144" : "320,180";
  EXPECT_EQ(test::ProbeStreams(out), "video," + size + ";" + (row.sound ? "audio;" : ""));

  const auto [first, last] = ExpectedFrames(row.from, row.to);
  std::vector<test::DecodedTag> tags;
  ASSERT_TRUE(test::DecodeFrameTags(out, &tags, &error)) << error;
  ASSERT_EQ(int(tags.size()), last - first + 1);
  for (size_t i = 0; i < tags.size(); ++i) {
    EXPECT_EQ(tags[i].camera, row.rear ? 1 : 0);
    EXPECT_EQ(tags[i].frame, first + int(i));
  }
  // Decoded pictures are the source's own, bit for bit.
  const std::vector<std::string> got = test::FrameHashes(out, "0:v:0");
  static const std::vector<std::string> kSource[2] = {test::FrameHashes(source, "0:v:0"),
                                                      test::FrameHashes(source, "0:v:1")};
  const std::vector<std::string>& all = kSource[row.rear ? 1 : 0];
  ASSERT_EQ(int(all.size()), kFrames);
  ASSERT_EQ(got.size(), tags.size());
  for (size_t i = 0; i < got.size(); ++i) EXPECT_EQ(got[i], all[size_t(first) + i]) << i;

  // The export is itself a valid recording with its own index.
  AVIINFO back{};
  ASSERT_EQ(ValidAVI(out, &back), 1);
  EXPECT_EQ(back.streamCount, row.sound ? 2 : 1);
  EXPECT_EQ(back.mainHeader.dwTotalFrames, uint32_t(last - first + 1));
  for (const AviIndexEntry& e : back.index)
    if (IsAviVideoChunk(e.ckid)) {
      EXPECT_TRUE(e.dwFlags & kAviKeyFrame) << "the first picture must be a key frame";
      break;
    }
}

INSTANTIATE_TEST_SUITE_P(
    AviExport, AviExportRange,
    ::testing::Values(ExportRow{0, 2, false, true}, ExportRow{0, 2, true, true},
                      ExportRow{0, 2, true, false}, ExportRow{0, 0, false, false},
                      ExportRow{1, 1, true, true}, ExportRow{2, 9, false, true},
                      ExportRow{1, 2, false, false}));

TEST(AviExport, sound_of_the_range_is_copied_whole) {
  const std::string source = Fixture("avi_pair.avi");
  AVIINFO info{};
  ASSERT_EQ(ValidAVI(source, &info), 1);
  std::unique_ptr<MediaFile> f = MediaFile::Open(source, "rb");
  TempDir dir;
  const std::string out = dir.file("out.avi");
  ASSERT_EQ(ExportAVI(*f, out, info, 0, 2, true, false, true), 1);
  AVIINFO back{};
  ASSERT_EQ(ValidAVI(out, &back), 1);
  uint64_t srcBytes = 0, outBytes = 0;
  for (const AviIndexEntry& e : info.index)
    if (AviChunkStream(e.ckid) == 2) srcBytes += e.dwChunkLength;
  for (const AviIndexEntry& e : back.index)
    if (AviChunkStream(e.ckid) == 1) outBytes += e.dwChunkLength;
  EXPECT_EQ(outBytes, srcBytes);
  EXPECT_EQ(back.soundFormat.nSamplesPerSec, 16000u);
  EXPECT_EQ(back.streams[1].dwLength, uint32_t(srcBytes / 2));
}

struct RefusalRow {
  const char* what;
  const char* fixture;
  int from, to;
  bool sound, first, second;
};

TEST(AviExport, refused_exports_leave_no_file) {
  const RefusalRow rows[] = {
      {"no camera chosen", "avi_pair.avi", 0, 2, false, false, false},
      {"both cameras", "avi_pair.avi", 0, 2, false, true, true},
      {"rear of a front-only file", "avi_front.avi", 0, 2, false, false, true},
      {"range after the end", "avi_pair.avi", 5, 9, false, true, false},
      {"sound asked of a silent file", "avi_front.avi", 0, 2, true, true, false},
  };
  TempDir dir;
  for (const RefusalRow& row : rows) {
    SCOPED_TRACE(row.what);
    AVIINFO info{};
    ASSERT_TRUE(ReadAVI(Fixture(row.fixture), &info));
    if (std::string(row.what) == "sound asked of a silent file") info.streams[1].fccType = 0;
    std::unique_ptr<MediaFile> f = MediaFile::Open(Fixture(row.fixture), "rb");
    const std::string out = dir.file("out.avi");
    std::string error;
    EXPECT_EQ(ExportAVI(*f, out, info, row.from, row.to, row.sound, row.first, row.second, &error), 0);
    EXPECT_FALSE(error.empty());
    EXPECT_FALSE(std::filesystem::exists(out));
    EXPECT_FALSE(std::filesystem::exists(out + ".part"));
  }
}

TEST(AviExport, write_failure_leaves_no_file) {
  AVIINFO info{};
  ASSERT_EQ(ValidAVI(Fixture("avi_pair.avi"), &info), 1);
  std::unique_ptr<MediaFile> f = MediaFile::Open(Fixture("avi_pair.avi"), "rb");
  TempDir dir;
  const std::string out = dir.file("out.avi");
  for (int64_t budget : {0, 100, 5000, 60000}) {
    SCOPED_TRACE(budget);
    MediaFile::InjectWriteFailureAfter(budget);
    std::string error;
    const int rc = ExportAVI(*f, out, info, 0, 2, true, true, false, &error);
    MediaFile::InjectWriteFailureAfter(-1);
    EXPECT_EQ(rc, 0);
    EXPECT_FALSE(error.empty());
    EXPECT_FALSE(std::filesystem::exists(out));
    EXPECT_FALSE(std::filesystem::exists(out + ".part"));
  }
}

TEST(AviExport, chunk_beyond_the_file_fails_the_copy) {
  AVIINFO info{};
  ASSERT_EQ(ValidAVI(Fixture("avi_front.avi"), &info), 1);
  int videoSeen = 0;
  for (AviIndexEntry& e : info.index)
    if (IsAviVideoChunk(e.ckid) && ++videoSeen == 5)
      e.dwChunkLength = 0x7FFFFFF0;  // a damaged entry must not allocate or read 2 GiB
  std::unique_ptr<MediaFile> f = MediaFile::Open(Fixture("avi_front.avi"), "rb");
  TempDir dir;
  const std::string out = dir.file("out.avi");
  EXPECT_EQ(ExportAVI(*f, out, info, 0, 2, false, true, false), 0);
  EXPECT_FALSE(std::filesystem::exists(out));
}

}  // namespace
}  // namespace tq
