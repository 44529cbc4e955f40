// Files written by the writer from real encoded H.264 and AAC frames, judged by ffprobe
// and decoded by ffmpeg to the same pictures as the elementary stream they came from.
#include <gtest/gtest.h>

#include <cstring>
#include <sstream>

#include "Mp4WriterTestMedia.h"
#include "Mp4WriterTestUtil.h"
#include "container/Mp4Writer.h"
#include "support/TestSupport.h"

namespace tq {
namespace {

using testutil::Bytes;
using testutil::TempDir;

constexpr int kFrames = 30;
constexpr int kGop = 10;
constexpr uint32_t kFrameMs = 33;

struct Media {
  testmedia::EncodedVideo video;
  testmedia::EncodedSound sound;
};

// Encoded once for the whole program.
const Media& SharedMedia() {
  static Media m = [] {
    av_log_set_level(AV_LOG_ERROR);
    Media r;
    EXPECT_TRUE(testmedia::EncodeH264(160, 96, kFrames, kGop, &r.video));
    EXPECT_TRUE(testmedia::EncodeAac(48000, 1, 47, &r.sound));
    return r;
  }();
  return m;
}

ConfigParam Param(const std::vector<uint8_t>& bytes) {
  ConfigParam p;
  p.length = int32_t(bytes.size());
  p.szConfigStr = bytes;
  return p;
}

// Writes head, interleaved samples and moov as an export does.
bool WriteMovie(const std::string& path, const Media& m, bool withSound, bool frameRecords) {
  MP4INFO info;
  info.ptrh.ptvi = {1, 1};
  info.ptrh.vi.codec = kCodecAvc1;
  info.ptrh.vi.width = uint16_t(m.video.width);
  info.ptrh.vi.height = uint16_t(m.video.height);
  info.ptrh.vi.config = {Param(m.video.sps), Param(m.video.pps)};
  info.ptrh.vi.nConfigNum = 2;
  info.ptrh.ptso = {1, 1};
  info.ptrh.so.codec = kCodecMp4a;
  info.ptrh.so.channelCount = uint16_t(m.sound.channels);
  info.ptrh.so.bitsPerSample = 16;
  info.ptrh.so.sampleRate = uint32_t(m.sound.sampleRate);
  info.gps2Layout = frameRecords ? 0 : 1;

  MP4MBOX_NODE video, sound;
  if (!CreateFixedSizeTrak(video, kVideoSampleCapacity, true)) return false;
  if (!CreateFixedSizeTrak(sound, kSoundSampleCapacity, false)) return false;
  auto f = MediaFile::Open(path, "wb");
  uint32_t position = 0;
  bool ok = WriteMovieHead(*f, &position, 1000, info, withSound) == 1;
  info.mdat = {0, position};
  size_t s = 0;
  for (size_t v = 0; ok && v < m.video.frames.size(); ++v) {
    const auto& frame = m.video.frames[v];
    uint32_t t = uint32_t(v) * kFrameMs;
    ok = WriteSample(*f, &position, video, frame.data(), uint32_t(frame.size()), 4, t,
                     !frameRecords, kCodecAvc1) == 1;
    while (ok && withSound && s < m.sound.frames.size()) {
      uint32_t ts = uint32_t(uint64_t(s) * uint64_t(m.sound.frameSamples) * 1000 /
                             uint64_t(m.sound.sampleRate));
      if (ts > t) break;
      const auto& a = m.sound.frames[s++];
      ok = WriteSample(*f, &position, sound, a.data(), uint32_t(a.size()), 0, ts, !frameRecords,
                       kCodecNone) == 1;
    }
  }
  ok = ok && WriteMoov(*f, &position, info, &video, withSound ? &sound : nullptr, nullptr,
                       position) == 1;
  EXPECT_EQ(video.stssCount, uint32_t((kFrames + kGop - 1) / kGop));
  ReleaseMP4MBOX_NODE(video);
  ReleaseMP4MBOX_NODE(sound);
  return ok;
}

std::vector<std::string> Md5Column(const std::string& framemd5) { return test::FrameMd5Column(framemd5); }

TEST(Mp4WriterFfprobe, written_movies_read_without_complaint_and_decode_to_the_source) {
  const Media& m = SharedMedia();
  ASSERT_EQ(int(m.video.frames.size()), kFrames);
  TempDir dir;
  // Reference pictures: the same frames as an Annex-B elementary stream.
  Bytes annexB;
  const uint8_t startCode[] = {0, 0, 0, 1};
  for (const auto* ps : {&m.video.sps, &m.video.pps}) {
    annexB.insert(annexB.end(), startCode, startCode + 4);
    annexB.insert(annexB.end(), ps->begin(), ps->end());
  }
  for (const auto& frame : m.video.frames) {
    for (size_t at = 0; at + 4 <= frame.size();) {
      uint32_t len = GetU32(&frame[at]);
      annexB.insert(annexB.end(), startCode, startCode + 4);
      annexB.insert(annexB.end(), frame.begin() + long(at + 4), frame.begin() + long(at + 4 + len));
      at += 4 + len;
    }
  }
  testutil::WriteAll(dir.File("ref.h264"), annexB);
  std::string ref;
  ASSERT_EQ(testmedia::RunCommand("ffmpeg -v error -i " + dir.File("ref.h264") +
                                      " -fps_mode passthrough -f framemd5 - 2>&1", &ref), 0);
  const auto refMd5 = Md5Column(ref);
  ASSERT_EQ(refMd5.size(), size_t(kFrames));

  struct Case {
    const char* name;
    bool sound, frameRecords;
    const char* streams;
  };
  const Case cases[] = {
      {"video and sound", true, true, "h264,30\naac,"},
      {"video only", false, true, "h264,30\n"},
      {"no frame records", true, false, "h264,30\naac,"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::string path = dir.File(std::string("w") + (c.sound ? "s" : "") +
                                (c.frameRecords ? "r" : "") + ".mp4");
    ASSERT_TRUE(WriteMovie(path, m, c.sound, c.frameRecords));
    std::string errors;
    EXPECT_EQ(testmedia::RunCommand("ffprobe -v error " + path + " 2>&1 >/dev/null", &errors), 0);
    EXPECT_EQ(errors, "");
    std::string streams;
    ASSERT_EQ(testmedia::RunCommand("ffprobe -v error -show_entries stream=codec_name,nb_frames "
                                    "-of csv=p=0 " + path + " 2>&1", &streams), 0);
    EXPECT_EQ(streams.substr(0, std::strlen(c.streams)), c.streams);
    std::string decoded;
    ASSERT_EQ(testmedia::RunCommand("ffmpeg -v error -i " + path +
                                        " -map 0:v -fps_mode passthrough -f framemd5 - 2>&1",
                                    &decoded), 0);
    EXPECT_EQ(Md5Column(decoded), refMd5);
    if (c.sound) {
      std::string audio;
      ASSERT_EQ(testmedia::RunCommand("ffmpeg -v error -i " + path +
                                          " -map 0:a -f null - 2>&1", &audio), 0);
      EXPECT_EQ(audio, "");
    }
  }
}

}  // namespace
}  // namespace tq
