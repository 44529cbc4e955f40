// The generator itself: the same seed gives the same bytes, names follow the camera's
// rule, and what it cannot make is refused with a clear message and no file.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

extern "C" {
#include <libavutil/log.h>
}

#include "CameraRecording.h"
#include "SampleSets.h"
#include "support/TestSupport.h"

namespace tq {
namespace {

// The encoders' progress chatter would bury the test output.
const int kQuietEncoders = (av_log_set_level(AV_LOG_ERROR), 0);

RecordingSpec Small() {
  RecordingSpec s;
  s.width = 256;
  s.height = 144;
  s.durationMs = 1000;
  s.startSeconds = ClockSeconds(2026, 12, 5, 23, 59, 30);
  s.joltMs = 500;
  return s;
}

TEST(Generator, same_seed_same_bytes_other_seed_other_bytes) {
  test::TempDir dir;
  struct Row { const char* name; bool hevc; bool reserved; };
  for (const Row& r : {Row{"h264", false, false}, Row{"h265", true, false}, Row{"room", false, true}}) {
    RecordingSpec s = Small();
    s.hevc = r.hevc;
    s.reservedRoom = r.reserved;
    std::string error;
    ASSERT_TRUE(WriteRecording(s, dir.file(std::string(r.name) + "1.mp4"), nullptr, &error)) << error;
    ASSERT_TRUE(WriteRecording(s, dir.file(std::string(r.name) + "2.mp4"), nullptr, &error)) << error;
    s.seed = 2;
    ASSERT_TRUE(WriteRecording(s, dir.file(std::string(r.name) + "3.mp4"), nullptr, &error)) << error;
    const auto a = test::ReadAll(dir.file(std::string(r.name) + "1.mp4"));
    EXPECT_FALSE(a.empty());
    EXPECT_EQ(a, test::ReadAll(dir.file(std::string(r.name) + "2.mp4"))) << r.name;
    EXPECT_NE(a, test::ReadAll(dir.file(std::string(r.name) + "3.mp4"))) << r.name;
  }
}

TEST(Generator, names_follow_the_camera_rule) {
  struct Row { int camera; char type; int64_t start; const char* base; const char* stem; };
  const Row rows[] = {
      {0, 'N', ClockSeconds(2024, 1, 5, 13, 45, 1), "20240105_134501_NF", "20240105_134501_N"},
      {1, 'N', ClockSeconds(2024, 1, 5, 13, 45, 1), "20240105_134501_NR", "20240105_134501_N"},
      {0, 'E', ClockSeconds(2026, 12, 31, 23, 59, 59), "20261231_235959_EF", "20261231_235959_E"},
      {1, 'P', ClockSeconds(1971, 1, 1, 0, 0, 1), "19710101_000001_PR", "19710101_000001_P"},
  };
  for (const Row& r : rows) {
    RecordingSpec s;
    s.camera = r.camera;
    s.type = r.type;
    s.startSeconds = r.start;
    EXPECT_EQ(RecordingBaseName(s), r.base);
    EXPECT_EQ(CompanionStem(r.base), r.stem);
  }
  EXPECT_EQ(CompanionStem("20240105_134501_M"), "20240105_134501_M") << "no camera letter";
}

TEST(Generator, refuses_what_it_cannot_make_without_a_file) {
  test::TempDir dir;
  struct Row { const char* what; void (*adjust)(RecordingSpec&); const char* message; };
  const Row rows[] = {
      {"odd size", [](RecordingSpec& s) { s.width = 255; }, "even"},
      {"too small for the tag", [](RecordingSpec& s) { s.width = 200; s.height = 120; }, "frame tag"},
      {"no whole frame", [](RecordingSpec& s) { s.durationMs = 20; }, "duration"},
      {"no camera 2", [](RecordingSpec& s) { s.camera = 2; }, "camera"},
      {"room below two box headers", [](RecordingSpec& s) { s.reservedRoom = true; s.roomBytes = 15; }, "reserved room"},
      {"room smaller than the index", [](RecordingSpec& s) { s.reservedRoom = true; s.roomBytes = 1000; }, "cannot hold the index"},
  };
  for (const Row& r : rows) {
    RecordingSpec s = Small();
    r.adjust(s);
    std::string error;
    const std::string path = dir.file("x.mp4");
    EXPECT_FALSE(WriteRecording(s, path, nullptr, &error)) << r.what;
    EXPECT_NE(error.find(r.message), std::string::npos) << r.what << ": " << error;
    EXPECT_FALSE(std::filesystem::exists(path)) << r.what;
  }
}

TEST(Generator, writes_more_samples_than_the_repair_index_holds) {
  // 63 s of 48 kHz sound is 2954 AAC frames, beyond the repair's 2912: the camera's own
  // index still lists every one of them.
  RecordingSpec s = Small();
  s.durationMs = 63000;
  s.fps = 1;
  test::TempDir dir;
  std::string error;
  RecordingResult r;
  ASSERT_TRUE(WriteRecording(s, dir.file("long.mp4"), &r, &error)) << error;
  EXPECT_EQ(r.soundSamples, 2954u);
  EXPECT_EQ(r.videoSamples, 63u);
  const auto probe = test::Ffprobe(dir.file("long.mp4"), "-show_entries stream=nb_frames -of csv=p=0");
  EXPECT_EQ(probe.output, "63\n2954\n");
}

TEST(Generator, cut_at_byte_gives_that_length) {
  test::TempDir dir;
  for (int64_t cut : {0, 7, 8, 1000, 20001}) {
    RecordingSpec s = Small();
    s.cutAtByte = cut;
    std::string error;
    RecordingResult r;
    ASSERT_TRUE(WriteRecording(s, dir.file("cut.mp4"), &r, &error)) << error;
    EXPECT_EQ(std::filesystem::file_size(dir.file("cut.mp4")), uint64_t(cut));
    EXPECT_EQ(r.bytes, uint64_t(cut));
    EXPECT_EQ(r.moovOffset, 0u);
  }
}

TEST(Generator, command_line_errors_exit_2_failures_exit_1) {
  const std::string gen = test::Quote(std::string(TQ_BUILD_DIR) + "/tqmb20-gen");
  test::TempDir dir;
  struct Row { std::string args; int exitCode; const char* message; };
  const Row rows[] = {
      {"", 2, "give one of"},
      {"--size 320 -o x.mp4", 2, "--size"},
      {"--camera side -o x.mp4", 2, "--camera"},
      {"--bogus -o x.mp4", 2, "unknown option"},
      {"--start 20261305_000000 -o x.mp4", 2, "--start"},
      {"-o a.mp4 --demo-card d", 2, "give one of"},
      {"--size 100x100 -o " + dir.file("x.mp4"), 1, "frame tag"},
      {"--size 256x144 --duration 1 -o " + dir.file("missing/x.mp4"), 1, "cannot create"},
  };
  for (const Row& r : rows) {
    const auto out = test::RunCommand(gen + " " + r.args);
    EXPECT_EQ(out.exitCode, r.exitCode) << r.args << ": " << out.output;
    EXPECT_NE(out.output.find(r.message), std::string::npos) << r.args << ": " << out.output;
  }
}

TEST(Generator, card_identity_reads_as_the_supported_model) {
  // The identity read takes the seven characters that start eight before the end of the
  // model value; the settings dialog wants the value to start with "ZU TQ-MB20".
  const std::string text = VersionBinText();
  const size_t at = text.find("model = ");
  ASSERT_NE(at, std::string::npos);
  const std::string value = text.substr(at + 8, text.find('\r', at) - at - 8);
  ASSERT_GE(value.size(), 8u);
  EXPECT_EQ(value.substr(value.size() - 8, 7), "TQ-MB20");
  EXPECT_EQ(value.rfind("ZU TQ-MB20", 0), 0u);
  for (const char* section : {"[Tab1]", "[Tab2]", "[Tab3]", "[Wifi]"})
    EXPECT_NE(ConfigIniText().find(section), std::string::npos) << section;
}

}  // namespace
}  // namespace tq
