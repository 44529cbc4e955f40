// The reader and the repair on real encoded recordings from the sample generator: every
// record read back, two movie sets, and repaired files judged by ffprobe and by the
// decoded frames (framemd5 and the frame tags) against the complete recording.
#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <memory>
#include <sstream>

#include "container/Mp4Reader.h"
#include "container/Mp4Valid.h"
#include "support/FrameTags.h"
#include "support/TestSupport.h"

namespace tq {
namespace {

using test::Fixture;

struct Info {
  std::unique_ptr<MP4INFO[]> sets = std::make_unique<MP4INFO[]>(2);
  std::vector<uint8_t> telemetry = std::vector<uint8_t>(220 * 1024);
  Info() { sets[0].gpsBuffer = {telemetry.data(), uint32_t(telemetry.size())}; }
  ~Info() { FreeMP4INFO(sets[0]); FreeMP4INFO(sets[1]); }
  MP4INFO* operator->() { return &sets[0]; }
};

const TRAKBOX* TrackOf(const MP4INFO& info, const char (&handler)[5]) {
  for (const auto& t : info.moov.trak)
    if (t && t->mdia.hdlr.handlerType == FourCC(handler)) return t.get();
  return nullptr;
}

// The 1-based sample numbers of the sync-sample table.
std::vector<uint32_t> SyncSamples(MediaFile& f, const TRAKBOX& t) {
  std::vector<uint32_t> out;
  const TableBox& stss = t.mdia.minf.stbl.stss;
  for (uint32_t i = 0; i < stss.entryCount; ++i) {
    uint8_t b[4];
    if (!f.ReadAt(uint64_t(stss.offset) + 8 + 4 * i, b, 4)) break;
    out.push_back(GetU32(b));
  }
  return out;
}

struct RecordingCase {
  const char* file;
  uint32_t codec;
  uint16_t width, height;
  size_t parameterSets;
  uint32_t videoSamples, keys;
  bool sound;
  uint32_t extra;
};

TEST(RealRecording, every_record_reads_back) {
  const RecordingCase cases[] = {
      {"h264_sound.mp4", kCodecAvc1, 320, 180, 2, 90, 3, true, 0},
      {"h265_sound.mp4", kCodecHvc1, 320, 180, 3, 60, 2, true, 0},
      {"h264_nosound.mp4", kCodecAvc1, 320, 180, 2, 90, 3, false, 0},
      {"extra_bytes.mp4", kCodecAvc1, 320, 180, 2, 90, 3, true, 8},
  };
  for (const RecordingCase& c : cases) {
    SCOPED_TRACE(c.file);
    test::TempDir dir;
    const std::string path = dir.file(c.file);
    ASSERT_TRUE(test::CopyFile(Fixture(c.file), path));
    const std::vector<uint8_t> before = test::ReadAll(path);
    Info info;
    ASSERT_EQ(ValidMP4(path, info.sets.get(), 0), 1);
    EXPECT_EQ(test::ReadAll(path), before);  // a complete file is never written

    EXPECT_EQ(info->majorBrand, FourCC("mp42"));
    EXPECT_TRUE(info->sttm.found());
    EXPECT_GT(info->startTime, 0u);
    EXPECT_GT(std::string(info->ptnmName).size(), 0u);
    EXPECT_GT(std::string(info->cprtText).size(), 0u);
    EXPECT_GT(info->gpsLength, 0);
    EXPECT_GT(info->sensorEnd, 0);
    EXPECT_EQ(info->gps2Layout, 0u);
    EXPECT_EQ(info->ptrh.vi.codec, c.codec);
    EXPECT_EQ(info->ptrh.vi.width, c.width);
    EXPECT_EQ(info->ptrh.vi.height, c.height);
    EXPECT_EQ(info->ptrh.vi.config.size(), c.parameterSets);
    EXPECT_EQ(info->ptrh.ptso.found(), c.sound);
    if (c.sound) {
      EXPECT_EQ(info->ptrh.so.codec, uint32_t(kCodecMp4a));
      EXPECT_EQ(info->ptrh.so.sampleRate, 48000u);
      EXPECT_EQ(info->ptrh.so.channelCount, 1);
    }
    const TRAKBOX* video = TrackOf(*info.sets.get(), "vide");
    ASSERT_NE(video, nullptr);
    EXPECT_EQ(video->tkhd.width, c.width);
    EXPECT_EQ(video->mdia.minf.stbl.stsz.sampleCount, c.videoSamples);
    EXPECT_EQ(video->mdia.minf.stbl.stss.entryCount, c.keys);
    const PSampleEntry& entry = video->mdia.minf.stbl.stsd.entries.at(0);
    EXPECT_EQ(entry.visual.width, c.width);
    EXPECT_FALSE(entry.visual.pParameterSetNALUnit.empty());
    EXPECT_EQ(entry.visual.lengthSizeMinusOne, 3);
    EXPECT_EQ(TrackOf(*info.sets.get(), "soun") != nullptr, c.sound);

    // Every sample the tables name sits behind its own frame record.
    auto f = MediaFile::Open(path, "rb");
    ASSERT_TRUE(f);
    for (const auto& t : info->moov.trak) {
      if (!t) continue;
      const bool isVideo = t->mdia.hdlr.handlerType == FourCC("vide");
      std::vector<uint32_t> sync = SyncSamples(*f, *t);
      SampleCursor cursor;
      cursor.trak = t.get();
      SampleInfo s;
      uint32_t lastTime = 0, count = 0;
      while (NextSample(cursor, *f, info->moov, &s)) {
        uint8_t r[16];
        ASSERT_TRUE(f->ReadAt(s.fileOffset - 16 - c.extra, r, 16));
        EXPECT_EQ(GetU16(r), isVideo ? 1 : 2) << s.sampleNumber;
        bool key = std::find(sync.begin(), sync.end(), s.sampleNumber) != sync.end();
        EXPECT_EQ(GetU16(r + 2), isVideo && key ? 1 : 0) << s.sampleNumber;
        EXPECT_GE(GetU32(r + 4), lastTime);
        EXPECT_EQ(GetU32(r + 8), s.size);
        EXPECT_EQ(GetU32(r + 12), c.extra);
        lastTime = GetU32(r + 4);
        ++count;
      }
      EXPECT_EQ(count, t->mdia.minf.stbl.stsz.sampleCount);
    }
  }
}

TEST(RealRecording, two_movie_sets_are_read_when_asked) {
  test::TempDir dir;
  const std::string path = dir.file("pair.mp4");
  std::vector<uint8_t> both = test::ReadAll(Fixture("h264_sound.mp4"));
  const std::vector<uint8_t> rear = test::ReadAll(Fixture("h264_rear.mp4"));
  both.insert(both.end(), rear.begin(), rear.end());
  {
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(both.data()), std::streamsize(both.size()));
  }
  Info two;
  ScanMP4(path, two.sets.get(), 1, nullptr);
  EXPECT_EQ(two.sets[0].ptrh.vi.width, 320);
  EXPECT_EQ(two.sets[1].ptrh.vi.width, 256);
  EXPECT_TRUE(two.sets[1].ftyp.found());
  EXPECT_TRUE(two.sets[1].mdat.found());
  ASSERT_NE(TrackOf(two.sets[1], "vide"), nullptr);
  EXPECT_EQ(TrackOf(two.sets[1], "vide")->tkhd.width, 256);
  Info one;
  ScanMP4(path, one.sets.get(), 0, nullptr);
  EXPECT_EQ(one.sets[0].ptrh.vi.width, 320);
  EXPECT_FALSE(one.sets[1].moov.moov.found());
}

// framemd5 lines of one stream as "size hash", without time stamps.
std::vector<std::string> Frames(const std::string& path, int stream) {
  test::CommandResult r = test::FrameMd5(path);
  std::vector<std::string> out;
  std::istringstream in(r.output);
  std::string line;
  while (std::getline(in, line)) {
    if (line.empty() || line[0] == '#') continue;
    std::vector<std::string> f;
    std::istringstream cols(line);
    std::string col;
    while (std::getline(cols, col, ',')) f.push_back(col);
    if (f.size() == 6 && std::stoi(f[0]) == stream) out.push_back(f[4] + f[5]);
  }
  return out;
}

// The complete recordings' frames, decoded once per test program.
const std::vector<std::string>& CompleteFrames(const std::string& path) {
  static std::map<std::string, std::vector<std::string>> cache;
  auto it = cache.find(path);
  if (it == cache.end()) it = cache.emplace(path, Frames(path, 0)).first;
  return it->second;
}

void ExpectFramesPrefix(const std::string& repaired, const std::string& complete, size_t video) {
  std::vector<std::string> got = Frames(repaired, 0);
  const std::vector<std::string>& want = CompleteFrames(complete);
  ASSERT_EQ(got.size(), video);
  ASSERT_GE(want.size(), video);
  EXPECT_TRUE(std::equal(got.begin(), got.end(), want.begin()));
  std::vector<test::DecodedTag> tags;
  std::string error;
  ASSERT_TRUE(test::DecodeFrameTags(repaired, &tags, &error)) << error;
  ASSERT_EQ(tags.size(), video);
  for (size_t i = 0; i < tags.size(); ++i) EXPECT_EQ(tags[i].frame, int(i));
}

struct RepairCase {
  const char* file;
  const char* complete;
  uint32_t videoSamples;  // 0: not checked
  bool sameLength;
};

TEST(RealRecording, repaired_files_read_cleanly_with_the_original_frames) {
  const RepairCase cases[] = {
      {"unfinished_frames.mp4", "h264_sound.mp4", 45, false},
      {"unfinished_byte.mp4", "h264_sound.mp4", 0, false},
      {"reserved_unfinished.mp4", "reserved_room.mp4", 40, true},
  };
  for (const RepairCase& c : cases) {
    SCOPED_TRACE(c.file);
    test::TempDir dir;
    const std::string path = dir.file(c.file);
    ASSERT_TRUE(test::CopyFile(Fixture(c.file), path));
    const uint64_t before = std::filesystem::file_size(path);
    auto info = std::make_unique<MP4INFO>();
    ValidateReport r = ValidateMP4(path, info.get(), 0);
    FreeMP4INFO(*info);
    ASSERT_EQ(r.result, ValidateResult::Repaired) << r.reason;
    if (c.videoSamples) {
      EXPECT_EQ(r.videoSamples, c.videoSamples);
    }
    EXPECT_GT(r.audioSamples, 0u);
    if (c.sameLength) {
      EXPECT_EQ(std::filesystem::file_size(path), before);
    }
    test::CommandResult probe = test::Ffprobe(path);
    EXPECT_EQ(probe.exitCode, 0);
    EXPECT_EQ(probe.output, "");
    ExpectFramesPrefix(path, Fixture(c.complete), r.videoSamples);
  }
}

// The complete H.264 and H.265 recordings with their moov cut off, and cut inside the
// last quarter of the media data: the repair keeps exactly the frames before the cut.
TEST(RealRecording, moov_cut_off_or_media_cut_short_is_repaired) {
  enum Cut { kMoovOff, kLastQuarter, kLastBytes };
  const std::pair<const char*, Cut> rows[] = {
      {"h264_sound.mp4", kMoovOff}, {"h264_sound.mp4", kLastBytes},
      {"h265_sound.mp4", kLastQuarter}, {"sound_first.mp4", kLastQuarter}};
  for (const auto& [name, kind] : rows) {
    SCOPED_TRACE(name);
    Info complete;
    ScanMP4(Fixture(name), complete.sets.get(), 0, nullptr);
    const uint32_t mdatStart = complete->mdat.offset - 8;
    const uint32_t moovStart = complete->moov.moov.offset - 8;
    ASSERT_GT(moovStart, mdatStart);
    const uint32_t videoTotal = TrackOf(*complete.sets.get(), "vide")->mdia.minf.stbl.stsz.sampleCount;
    const uint32_t cut = kind == kMoovOff      ? moovStart
                         : kind == kLastBytes ? moovStart - 7
                                              : moovStart - (moovStart - mdatStart) / 4;
    {
      SCOPED_TRACE(cut);
      test::TempDir dir;
      const std::string path = dir.file("cut.mp4");
      std::vector<uint8_t> bytes = test::ReadAll(Fixture(name));
      bytes.resize(cut);
      PutU32(bytes.data() + mdatStart, 0);  // as the camera leaves it
      {
        std::ofstream out(path, std::ios::binary);
        out.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
      }
      auto info = std::make_unique<MP4INFO>();
      ValidateReport r = ValidateMP4(path, info.get(), 0);
      FreeMP4INFO(*info);
      ASSERT_EQ(r.result, ValidateResult::Repaired) << r.reason;
      if (cut == moovStart) {
        EXPECT_EQ(r.videoSamples, videoTotal);
      } else if (cut == moovStart - 7) {
        EXPECT_LE(r.videoSamples, videoTotal);
      } else {
        EXPECT_LT(r.videoSamples, videoTotal);
      }
      test::CommandResult probe = test::Ffprobe(path);
      EXPECT_EQ(probe.output, "");
      ExpectFramesPrefix(path, Fixture(name), r.videoSamples);
    }
  }
}

}  // namespace
}  // namespace tq
