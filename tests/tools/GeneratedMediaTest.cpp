// The generated recordings must be real media: the reference tools read them without a
// word, every frame decodes, and every decoded picture carries the right frame tag.
#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "support/FrameTags.h"
#include "support/TestSupport.h"

namespace tq {
namespace {

using test::Fixture;

const char* const kComplete[] = {
    "h264_sound.mp4", "h264_rear.mp4",     "h265_sound.mp4",    "h264_nosound.mp4",
    "gps2.mp4",       "20261205_101500_NF.mp4", "reserved_room.mp4", "gop60.mp4",
    "extra_bytes.mp4", "20261205_102000_NF.mp4", "20261205_102000_NR.mp4",
};

TEST(GeneratedMedia, ffprobe_reads_every_complete_file_silently) {
  for (const char* file : kComplete) {
    const auto r = test::Ffprobe(Fixture(file));
    EXPECT_EQ(r.exitCode, 0) << file;
    EXPECT_EQ(r.output, "") << file;
  }
}

TEST(GeneratedMedia, ffprobe_rejects_files_without_index) {
  for (const char* file : {"unfinished_frames.mp4", "unfinished_byte.mp4"}) {
    const auto r = test::Ffprobe(Fixture(file));
    EXPECT_NE(r.exitCode, 0) << file;
    EXPECT_NE(r.output.find("moov atom not found"), std::string::npos) << file << ": " << r.output;
  }
}

TEST(GeneratedMedia, framemd5_has_every_frame) {
  struct Row { const char* file; int frames; bool sound; };
  const Row rows[] = {
      {"h264_sound.mp4", 90, true}, {"h265_sound.mp4", 60, true}, {"h264_nosound.mp4", 90, false},
      {"gps2.mp4", 60, true},       {"gop60.mp4", 150, true},     {"reserved_room.mp4", 90, true},
  };
  for (const Row& r : rows) {
    const auto out = test::FrameMd5(Fixture(r.file));
    ASSERT_EQ(out.exitCode, 0) << r.file << ": " << out.output;
    int video = 0, sound = 0;
    std::istringstream lines(out.output);
    for (std::string line; std::getline(lines, line);) {
      if (line.rfind("0,", 0) == 0) ++video;
      if (line.rfind("1,", 0) == 0) ++sound;
    }
    EXPECT_EQ(video, r.frames) << r.file;
    EXPECT_EQ(sound > r.frames, r.sound) << r.file << ": " << sound << " sound frames";
  }
}

TEST(GeneratedMedia, frame_tags_read_back_every_frame) {
  struct Row { const char* file; int camera, frames, gop; };
  const Row rows[] = {
      {"h264_sound.mp4", 0, 90, 30}, {"h264_rear.mp4", 1, 90, 30}, {"h265_sound.mp4", 0, 60, 30},
      {"gop60.mp4", 0, 150, 60},     {"gps2.mp4", 0, 60, 30},      {"extra_bytes.mp4", 0, 90, 30},
      {"reserved_room.mp4", 0, 90, 30}, {"20261205_102000_NR.mp4", 1, 90, 30},
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(r.file);
    std::vector<test::DecodedTag> tags;
    std::string error;
    ASSERT_TRUE(test::DecodeFrameTags(Fixture(r.file), &tags, &error)) << error;
    ASSERT_EQ(int(tags.size()), r.frames);
    for (int i = 0; i < r.frames; ++i) {
      EXPECT_EQ(tags[size_t(i)].camera, r.camera) << "picture " << i;
      EXPECT_EQ(tags[size_t(i)].frame, i) << "picture " << i;
      EXPECT_EQ(tags[size_t(i)].key, i % r.gop == 0) << "picture " << i;
    }
  }
}

TEST(GeneratedMedia, thumbnail_is_a_jpeg_of_the_first_picture) {
  const std::string thm = Fixture("20261205_101500_NF.thm");
  const auto probe = test::Ffprobe(thm, "-show_entries stream=codec_name,width,height -of csv=p=0");
  EXPECT_EQ(probe.output, "mjpeg,320,180\n");
  std::vector<test::DecodedTag> tags;
  std::string error;
  ASSERT_TRUE(test::DecodeFrameTags(thm, &tags, &error)) << error;
  ASSERT_EQ(tags.size(), 1u);
  EXPECT_EQ(tags[0].camera, 0);
  EXPECT_EQ(tags[0].frame, 0);
}

}  // namespace
}  // namespace tq
