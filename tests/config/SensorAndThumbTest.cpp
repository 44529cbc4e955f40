#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "CameraRecording.h"
#include "SampleSets.h"
#include "device/MotionThumb.h"
#include "device/SensorFolderList.h"
#include "platform/TempDir.h"
#include "telemetry/SensorSamples.h"

namespace {

tq::RecordingSpec Small(bool thumBox) {
  tq::RecordingSpec s;
  s.width = 256;
  s.height = 144;
  s.durationMs = 1000;
  s.sound = false;
  s.thumBox = thumBox;
  s.startSeconds = tq::ClockSeconds(2026, 12, 5, 10, 15, 0);
  return s;
}

bool IsJpeg(const std::vector<uint8_t>& b) {
  return b.size() > 4 && b[0] == 0xFF && b[1] == 0xD8 && b[b.size() - 2] == 0xFF && b[b.size() - 1] == 0xD9;
}

TEST(MotionThumb, reads_the_thum_box_and_falls_back_to_the_second_newest) {
  tqtest::TempDir dir;
  std::string error;
  tq::RecordingResult r;
  ASSERT_TRUE(tq::WriteRecording(Small(true), dir / "20261205_101500_NF.mp4", &r, &error)) << error;
  ASSERT_TRUE(tq::WriteRecording(Small(false), dir / "20261205_102000_NF.mp4", &r, &error)) << error;
  tqtest::WriteBytes(dir / "20261205_090000_NF.mp4", "");
  tqtest::WriteBytes(dir / "20261205_103000_NR.mp4", "");  // another camera's suffix

  EXPECT_EQ(tq::NewestRecordings(dir.path(), "F"),
            (std::vector<std::string>{"20261205_102000_NF.mp4", "20261205_101500_NF.mp4"}));
  std::vector<uint8_t> jpeg;
  EXPECT_FALSE(tq::ReadThumbJpeg(dir / "20261205_102000_NF.mp4", &jpeg));
  ASSERT_TRUE(tq::NewestThumbJpeg(dir.path(), "F", &jpeg));
  EXPECT_TRUE(IsJpeg(jpeg));
  EXPECT_FALSE(tq::NewestThumbJpeg(dir.path(), "R", &jpeg));
}

TEST(MotionThumb, short_and_cut_files_give_no_picture) {
  tqtest::TempDir dir;
  std::string error;
  tq::RecordingResult r;
  const std::string path = dir / "with.mp4";
  ASSERT_TRUE(tq::WriteRecording(Small(true), path, &r, &error)) << error;
  std::vector<uint8_t> whole;
  ASSERT_TRUE(tq::ReadThumbJpeg(path, &whole));
  const std::string bytes = tqtest::ReadBytes(path);
  const size_t thum = bytes.find("thum");
  ASSERT_NE(thum, std::string::npos);
  // Cut inside the JPEG, right after the length, and below the 9-byte minimum.
  for (size_t cut : {thum + 8 + whole.size() / 2, thum + 8, size_t(8)}) {
    const std::string cutPath = dir / ("cut" + std::to_string(cut) + ".mp4");
    tqtest::WriteBytes(cutPath, bytes.substr(0, cut));
    std::vector<uint8_t> jpeg;
    EXPECT_FALSE(tq::ReadThumbJpeg(cutPath, &jpeg)) << cut;
  }
}

TEST(SensorFolderList, filters_by_type_letter_and_orders_like_the_catalog) {
  tqtest::TempDir dir;
  for (const char* name : {"20261205_101500_NF.mp4", "20261205_101500_NR.mp4", "20261205_102000_EF.mp4",
                           "20261205_102000_ER.mp4", "20261205_090000_PFS.mp4", "20261205_110000_MF.mp4",
                           "20261205_120000_IF.mp4", "abc.mp4", "20261205_130000_NF.MP4", "notes.txt"})
    tqtest::WriteBytes(dir / name, "");
  std::filesystem::create_directories(dir / "20261205_140000_NF.mp4");
  struct Case {
    const char* types;
    std::vector<std::string> names;
  } cases[] = {
      {"NEPM",
       {"20261205_130000_NF", "20261205_110000_MF", "20261205_102000_EF", "20261205_102000_ER", "20261205_101500_NF",
        "20261205_101500_NR", "20261205_090000_PFS"}},
      {"E", {"20261205_102000_EF", "20261205_102000_ER"}},
      {"P", {"20261205_090000_PFS"}},
      {"", {}},
  };
  for (const Case& c : cases) EXPECT_EQ(tq::SensorFolderNames(dir.path(), c.types), c.names) << c.types;
}

TEST(SensorSamples, cursor_hands_out_each_sample_once_between_seeks) {
  // Records at 0, 100, ..., 500 ms; the third one beyond the clamp.
  std::string block;
  for (int i = 0; i < 6; ++i) {
    const uint32_t t = uint32_t(i * 100);
    const int16_t x = int16_t(i == 2 ? 400 : i), y = int16_t(i == 2 ? -300 : -i), z = int16_t(7);
    const uint8_t rec[10] = {uint8_t(t >> 24), uint8_t(t >> 16), uint8_t(t >> 8), uint8_t(t),
                             uint8_t(uint16_t(x) >> 8), uint8_t(x), uint8_t(uint16_t(y) >> 8), uint8_t(y),
                             uint8_t(z >> 8), uint8_t(z)};
    block.append(reinterpret_cast<const char*>(rec), sizeof rec);
  }
  tq::SensorSamples s;
  s.SetBlock(reinterpret_cast<const uint8_t*>(block.data()), int64_t(block.size()) - 3);  // a cut record is dropped
  ASSERT_EQ(s.size(), 5u);
  auto taken = s.TakeUpTo(250);
  ASSERT_EQ(taken.size(), 3u);
  EXPECT_EQ(taken[2].axis[0], 250);
  EXPECT_EQ(taken[2].axis[1], -250);
  EXPECT_TRUE(s.TakeUpTo(250).empty());  // a paused picture shows again: nothing twice
  EXPECT_EQ(s.TakeUpTo(400).size(), 2u);
  s.SeekTo(150);  // backwards: the stream restarts at the first sample not before it
  taken = s.TakeUpTo(200);
  ASSERT_EQ(taken.size(), 1u);
  EXPECT_EQ(taken[0].timeMs, 200u);

  tqtest::TempDir dir;
  tqtest::WriteBytes(dir / "x.3gf", block);
  EXPECT_TRUE(s.Set3GF(dir / "x.3gf"));
  EXPECT_EQ(s.size(), 6u);
  EXPECT_FALSE(s.Set3GF(dir / "missing.3gf"));
  EXPECT_EQ(s.size(), 0u);
}

}  // namespace
