// The export pipeline on real H.264/AAC recordings laid out as the camera does: the cut
// starts at the first key frame at or after the start and ends with the last frame of the
// end second (checked by decoding), the byte copy, sound off, two movie sets, the gps2
// layout, bad ranges, corrupt tables, injected write failures and cancellation.
#include <gtest/gtest.h>

#include <cstring>
#include <sstream>

#include "Mp4ExportTestSource.h"
#include "container/Mp4Export.h"
#include "container/Mp4Reader.h"
#include "support/TestSupport.h"

namespace tq {
namespace {

using testutil::Bytes;
using testutil::BoxSize;
using testutil::Child;
using testutil::kNoBox;
using testutil::ReadAll;
using testutil::TempDir;
using testutil::Top;

constexpr int kFrames = 300;  // 10 s at 30 fps
constexpr int kGop = 30;      // a key frame every second
constexpr int kLengthSec = 9; // the movie lasts until the last time stamp, 9.98 s

struct Fixture {
  testmedia::EncodedVideo video, video2;
  testmedia::EncodedSound sound;
  std::vector<std::string> md5, md52;  // decoded pictures of each frame, in order
};

std::vector<std::string> Md5Column(const std::string& framemd5) { return test::FrameMd5Column(framemd5); }

std::string Shell(const std::string& command) {
  std::string out;
  testmedia::RunCommand(command, &out);
  return out;
}

// Video pictures as framemd5 lines; any sound track is decoded too, and a complaint
// about either shows up as an extra line.
std::vector<std::string> DecodeMd5(const std::string& path) {
  return Md5Column(Shell("ffmpeg -v error -i " + path +
                       " -map 0:v -fps_mode passthrough -f framemd5 - -map 0:a? -f null "
                       "/dev/null 2>&1"));
}

std::vector<std::string> ReferenceMd5(const testmedia::EncodedVideo& v, const TempDir& dir,
                                      const std::string& name) {
  Bytes annexB;
  const uint8_t sc[] = {0, 0, 0, 1};
  for (const auto* ps : {&v.sps, &v.pps}) {
    annexB.insert(annexB.end(), sc, sc + 4);
    annexB.insert(annexB.end(), ps->begin(), ps->end());
  }
  for (const auto& frame : v.frames) {
    for (size_t at = 0; at + 4 <= frame.size();) {
      uint32_t len = GetU32(&frame[at]);
      annexB.insert(annexB.end(), sc, sc + 4);
      annexB.insert(annexB.end(), frame.begin() + long(at + 4),
                    frame.begin() + long(at + 4 + len));
      at += 4 + len;
    }
  }
  testutil::WriteAll(dir.File(name), annexB);
  return DecodeMd5(dir.File(name));
}

// Encoded once for the whole program.
const Fixture& Media() {
  static Fixture f = [] {
    av_log_set_level(AV_LOG_ERROR);
    Fixture r;
    EXPECT_TRUE(testmedia::EncodeH264(160, 96, kFrames, kGop, &r.video));
    EXPECT_TRUE(testmedia::EncodeH264(160, 96, kFrames, kGop, &r.video2, 90));
    EXPECT_TRUE(testmedia::EncodeAac(48000, 1, 455, &r.sound));
    TempDir dir;
    r.md5 = ReferenceMd5(r.video, dir, "a.h264");
    r.md52 = ReferenceMd5(r.video2, dir, "b.h264");
    return r;
  }();
  return f;
}

// Time the sample tables give frame k: its own stamp (each stts entry is the duration
// of its samples, the spacing to the next one).
uint64_t IndexedTime(int k) { return testsource::FrameTimeMs(size_t(k)); }

// First and last frame an export of [from, to] must hold.
std::pair<int, int> ExpectedFrames(int from, int to) {
  int first = -1, lastKey = 0;
  for (int k = 0; k < kFrames; k += kGop) {
    lastKey = k;
    if (first < 0 && IndexedTime(k) >= uint64_t(from) * 1000) first = k;
  }
  if (first < 0) first = lastKey;
  int last = first;
  for (int k = first; k < kFrames; ++k)
    if (IndexedTime(k) <= uint64_t(to) * 1000 + 999) last = k;
  return {first, last};
}

// The codecs of the streams, one a line; any complaint of ffprobe shows up among them.
std::string StreamCodecs(const std::string& path) {
  return Shell("ffprobe -v error -show_entries stream=codec_name -of csv=p=0 " + path + " 2>&1");
}

class Mp4Export : public ::testing::Test {
 protected:
  void SetUp() override {
    const Fixture& m = Media();
    source_ = dir_.File("20240102_030405_F.mp4");
    ASSERT_TRUE(testsource::MakeRecording(source_, m.video, m.sound, {}));
  }
  // Only the named files are left in the folder: no temporary output survives.
  void ExpectOnlyFiles(std::initializer_list<std::string> names) {
    std::vector<std::string> found;
    for (auto& e : std::filesystem::directory_iterator(dir_.path()))
      found.push_back(e.path().filename().string());
    std::sort(found.begin(), found.end());
    std::vector<std::string> expect(names);
    std::sort(expect.begin(), expect.end());
    EXPECT_EQ(found, expect);
  }
  TempDir dir_;
  std::string source_;
};

struct RangeCase {
  int from, to;
  bool sound;
};

TEST_F(Mp4Export, cut_starts_at_a_key_frame_and_ends_in_the_end_second) {
  const Fixture& m = Media();
  const RangeCase cases[] = {
      {1, 3, true}, {0, 4, true}, {8, 9, true}, {5, 6, false}, {3, 9, true},
  };
  for (const RangeCase& c : cases) {
    if (c.to <= c.from) continue;
    SCOPED_TRACE(std::to_string(c.from) + "-" + std::to_string(c.to) + (c.sound ? "" : " mute"));
    std::string out = dir_.File("out.mp4");
    // Each range replaces the previous one's file, as a user agreeing to overwrite does.
    ExportOutcome o = ExportRecording(source_, out, c.from, c.to, c.sound, {}, true);
    ASSERT_EQ(o.status, ExportStatus::Ok) << o.message;
    EXPECT_FALSE(o.copied);
    EXPECT_EQ(o.lengthSec, kLengthSec);
    EXPECT_EQ(StreamCodecs(out), c.sound ? "h264\naac\n" : "h264\n");
    auto [first, last] = ExpectedFrames(c.from, c.to);
    EXPECT_EQ(DecodeMd5(out), std::vector<std::string>(m.md5.begin() + first,
                                                       m.md5.begin() + last + 1));
    Bytes b = ReadAll(out);
    size_t freeBox = Top(b, "free");
    EXPECT_EQ(GetU64(&b[Child(b, freeBox, "sttm") + 8]),
              testsource::SourceOptions{}.startTime + IndexedTime(first));
    size_t ptrh = Child(b, freeBox, "ptrh");
    EXPECT_EQ(Child(b, ptrh, "ptso") != kNoBox, c.sound);
  }
  ExpectOnlyFiles({"20240102_030405_F.mp4", "out.mp4"});
}


TEST_F(Mp4Export, whole_recording_with_sound_is_a_byte_copy) {
  std::string out = dir_.File("copy.mp4");
  ExportOutcome o = ExportRecording(source_, out, 0, kLengthSec, true);
  ASSERT_EQ(o.status, ExportStatus::Ok) << o.message;
  EXPECT_TRUE(o.copied);
  EXPECT_EQ(ReadAll(out), ReadAll(source_));
  // Without sound the whole recording is rebuilt: every frame, no sound track.
  ExportOutcome mute = ExportRecording(source_, out, 0, kLengthSec, false, {}, true);
  ASSERT_EQ(mute.status, ExportStatus::Ok) << mute.message;
  EXPECT_FALSE(mute.copied);
  EXPECT_EQ(StreamCodecs(out), "h264\n");
  EXPECT_EQ(DecodeMd5(out), Media().md5);
  ExpectOnlyFiles({"20240102_030405_F.mp4", "copy.mp4"});
}

TEST_F(Mp4Export, bad_ranges_and_sources_are_refused_without_output) {
  struct Case {
    const char* name;
    std::string source;
    int from, to;
    ExportStatus status;
  };
  const Case cases[] = {
      {"to beyond the length", source_, 0, kLengthSec + 1, ExportStatus::InvalidRange},
      {"empty range", source_, 3, 3, ExportStatus::InvalidRange},
      {"reversed range", source_, 5, 2, ExportStatus::InvalidRange},
      {"negative start", source_, -1, 3, ExportStatus::InvalidRange},
      {"missing source", dir_.File("none.mp4"), 0, 3, ExportStatus::InvalidSource},
      {"not an MP4", dir_.File("text.mp4"), 0, 3, ExportStatus::InvalidSource},
  };
  testutil::WriteAll(dir_.File("text.mp4"), Bytes(4000, 'x'));
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ExportOutcome o = ExportRecording(c.source, dir_.File("out.mp4"), c.from, c.to, true);
    EXPECT_EQ(o.status, c.status);
    EXPECT_FALSE(o.message.empty());
  }
  ExpectOnlyFiles({"20240102_030405_F.mp4", "text.mp4"});
}

TEST(Mp4ExportLength, length_in_whole_seconds_and_the_186_second_limit) {
  struct Case {
    uint64_t duration;
    uint32_t timescale;
    int seconds;
  };
  const Case cases[] = {
      {0, 1000, 0},       {999, 1000, 1},      {1000, 1000, 1},    {9990, 1000, 9},
      {185999, 1000, 185}, {186000, 1000, 0},  {186000 * 90, 90000, 0},
      {50, 0, 50},        {200, 0, 0},         {1, 90000, 1},
  };
  for (const Case& c : cases) {
    MVHDBOX mvhd;
    mvhd.duration = c.duration;
    mvhd.timescale = c.timescale;
    EXPECT_EQ(RecordingLengthSec(mvhd), c.seconds) << c.duration << "/" << c.timescale;
  }
}

TEST_F(Mp4Export, write_failure_leaves_no_file_behind) {
  for (int64_t budget : {0, 23, 24, 200, 5000, 60000}) {
    SCOPED_TRACE(budget);
    MediaFile::InjectWriteFailureAfter(budget);
    ExportOutcome o = ExportRecording(source_, dir_.File("out.mp4"), 1, 4, true);
    MediaFile::InjectWriteFailureAfter(-1);
    EXPECT_EQ(o.status, ExportStatus::Failed);
    EXPECT_NE(o.message.find("failed"), std::string::npos) << o.message;
    ExpectOnlyFiles({"20240102_030405_F.mp4"});
  }
}

TEST_F(Mp4Export, output_over_the_source_is_refused) {
  const Bytes before = ReadAll(source_);
  ExportOutcome o = ExportRecording(source_, source_, 1, 3, true);
  EXPECT_EQ(o.status, ExportStatus::InvalidOutput);
  EXPECT_EQ(ReadAll(source_), before);
  ExpectOnlyFiles({"20240102_030405_F.mp4"});
}

// Rewrites entry `index` of a table of the video track in the source.
void PatchVideoTable(const std::string& path, const char (&table)[5], size_t head, size_t index,
                     uint32_t value) {
  Bytes b = ReadAll(path);
  size_t box = Child(b, testutil::Stbl(b, 0), table);
  ASSERT_NE(box, kNoBox);
  PutU32(&b[box + head + 4 * index], value);
  testutil::WriteAll(path, b);
}

// Validation finds these tables disagreeing with the file; the recording still has its
// frame records, so the range is cut from the index a repair would write, worked out in
// memory, and the source stays as it was.
TEST_F(Mp4Export, corrupt_sample_tables_are_cut_from_the_frame_records) {
  struct Case {
    const char* name;
    const char* table;
    size_t head, index;
    uint32_t value;
  };
  const Case cases[] = {
      {"huge sample size", "stsz", 20, 70, 0x7FFFFFF0u},
      {"sample past the end", "stsz", 20, 70, 0x00FFFFFFu},
      {"offset past the end", "stco", 16, 70, 0xFFFFFF00u},
      {"key frame past the samples", "stss", 16, 1, 999999},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const Fixture& m = Media();
    ASSERT_TRUE(testsource::MakeRecording(source_, m.video, m.sound, {}));
    char table[5];
    std::memcpy(table, c.table, 5);
    PatchVideoTable(source_, reinterpret_cast<const char(&)[5]>(table), c.head, c.index, c.value);
    const Bytes damaged = ReadAll(source_);
    const std::string out = dir_.File("out.mp4");
    ExportOutcome o = ExportRecording(source_, out, 1, 4, false, {}, true);
    ASSERT_EQ(o.status, ExportStatus::Ok) << o.message;
    EXPECT_EQ(StreamCodecs(out), "h264\n");
    EXPECT_EQ(test::Ffprobe(out).output, "");
    EXPECT_EQ(ReadAll(source_), damaged);
  }
}

TEST_F(Mp4Export, two_movie_sets_give_two_consecutive_sets) {
  const Fixture& m = Media();
  std::string second = dir_.File("second.part.mp4");
  ASSERT_TRUE(testsource::MakeRecording(second, m.video2, m.sound, {}));
  Bytes both = ReadAll(source_);
  const Bytes b2 = ReadAll(second);
  const uint32_t secondStart = uint32_t(both.size());
  both.insert(both.end(), b2.begin(), b2.end());
  testutil::WriteAll(source_, both);
  std::filesystem::remove(second);

  std::string out = dir_.File("out.mp4");
  ExportOutcome o = ExportRecording(source_, out, 2, 4, true);
  ASSERT_EQ(o.status, ExportStatus::Ok) << o.message;
  Bytes b = ReadAll(out);
  size_t ftyp2 = Top(b, "ftyp", 1);
  ASSERT_NE(ftyp2, kNoBox);
  EXPECT_NE(Top(b, "moov", 1), kNoBox);
  EXPECT_GT(secondStart, 0u);
  // Each set stands alone: its offsets count from its own ftyp.
  testutil::WriteAll(dir_.File("set1.mp4"), Bytes(b.begin(), b.begin() + long(ftyp2)));
  testutil::WriteAll(dir_.File("set2.mp4"), Bytes(b.begin() + long(ftyp2), b.end()));
  auto [first, last] = ExpectedFrames(2, 4);
  for (int set = 0; set < 2; ++set) {
    SCOPED_TRACE(set);
    std::string path = dir_.File(set ? "set2.mp4" : "set1.mp4");
    const auto& md5 = set ? m.md52 : m.md5;
    EXPECT_EQ(StreamCodecs(path), "h264\naac\n");
    EXPECT_EQ(DecodeMd5(path),
              std::vector<std::string>(md5.begin() + first, md5.begin() + last + 1));
  }
}

TEST_F(Mp4Export, gps2_layout_is_exported_without_frame_records) {
  const Fixture& m = Media();
  testsource::SourceOptions opt;
  opt.gps2 = true;
  ASSERT_TRUE(testsource::MakeRecording(source_, m.video, m.sound, opt));
  std::string out = dir_.File("out.mp4");
  ExportOutcome o = ExportRecording(source_, out, 1, 3, true);
  ASSERT_EQ(o.status, ExportStatus::Ok) << o.message;
  EXPECT_EQ(StreamCodecs(out), "h264\naac\n");
  auto [first, last] = ExpectedFrames(1, 3);
  EXPECT_EQ(DecodeMd5(out), std::vector<std::string>(m.md5.begin() + first,
                                                     m.md5.begin() + last + 1));
  Bytes b = ReadAll(out);
  size_t freeBox = Top(b, "free");
  EXPECT_EQ(Child(b, freeBox, "ptrh"), kNoBox);
  EXPECT_EQ(b[Child(b, freeBox, "ptnm") + 8], 4);
  size_t mdatPayload = freeBox + BoxSize(b, freeBox) + 8;
  EXPECT_EQ(testutil::TableValues(b, Child(b, testutil::Stbl(b, 0), "stco"))[0], mdatPayload);
}

TEST_F(Mp4Export, progress_reaches_the_end_and_a_refusal_cancels) {
  std::vector<uint32_t> done;
  uint32_t total = 0;
  ExportOutcome o = ExportRecording(source_, dir_.File("out.mp4"), 2, 5, true,
                                    [&](uint32_t d, uint32_t t) {
                                      done.push_back(d);
                                      total = t;
                                      return true;
                                    });
  ASSERT_EQ(o.status, ExportStatus::Ok) << o.message;
  ASSERT_FALSE(done.empty());
  EXPECT_TRUE(std::is_sorted(done.begin(), done.end()));
  EXPECT_EQ(total, 3000u);
  EXPECT_EQ(done.back(), total);

  int calls = 0;
  o = ExportRecording(source_, dir_.File("cancel.mp4"), 2, 5, true,
                      [&](uint32_t, uint32_t) { return ++calls < 5; });
  EXPECT_EQ(o.status, ExportStatus::Failed);
  EXPECT_EQ(calls, 5);
  ExpectOnlyFiles({"20240102_030405_F.mp4", "out.mp4"});
}

struct CliCase {
  const char* name;
  std::string args;
  int exitCode;
  const char* stderrHas;
};

TEST_F(Mp4Export, command_line_exit_codes_and_one_line_errors) {
  const std::string tool = std::string(TQ_BUILD_DIR) + "/tqmb20 export ";
  const std::string out = dir_.File("cli.mp4");
  const CliCase cases[] = {
      {"ok", source_ + " --from 1 --to 3 -o " + out, 0, ""},
      {"missing -o", source_ + " --from 1 --to 3", 2, "-o is required"},
      {"fractional seconds", source_ + " --from 1.5 --to 3 -o " + out, 2, "whole seconds"},
      {"unknown option", source_ + " --fast --from 1 --to 3 -o " + out, 2, "unknown option"},
      {"bad camera", source_ + " --from 1 --to 3 --camera side -o " + out, 2, "front or rear"},
      {"camera on MP4", source_ + " --from 1 --to 3 --camera rear -o " + out, 2, "AVI"},
      {"beyond the length", source_ + " --from 1 --to 30 -o " + out, 1, "invalid range"},
      {"missing file", dir_.File("nope.mp4") + " --from 1 --to 3 -o " + out, 1, "no such file"},
      {"existing output", source_ + " --from 1 --to 3 -o " + out, 1, "already exists"},
      {"no sound", source_ + " --from 1 --to 3 --no-sound --force -o " + out, 0, ""},
  };
  for (const CliCase& c : cases) {
    SCOPED_TRACE(c.name);
    std::string err;
    int code = testmedia::RunCommand(tool + c.args + " 2>&1 >/dev/null", &err);
    EXPECT_EQ(code, c.exitCode) << err;
    if (c.exitCode == 1) {
      EXPECT_EQ(std::count(err.begin(), err.end(), '\n'), 1) << err;
      EXPECT_EQ(err.rfind("tqmb20 export: ", 0), 0u) << err;
    }
    EXPECT_NE(err.find(c.stderrHas), std::string::npos) << err;
  }
  EXPECT_EQ(StreamCodecs(out), "h264\n");  // the last row is without sound
}

}  // namespace
}  // namespace tq
