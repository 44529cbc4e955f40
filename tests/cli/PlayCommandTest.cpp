// tqmb20 play: messages and timing report of a headless run, text and JSON, and the
// usage and input errors.
#include <gtest/gtest.h>

#include <string>

#include "support/TestSupport.h"

namespace {

using tq::test::Fixture;
using tq::test::Quote;
using tq::test::RunCommand;

tq::test::CommandResult Play(const std::string& args) {
  return RunCommand(Quote(TQ_BUILD_DIR "/tqmb20") + " play " + args);
}

TEST(PlayCommand, json_reports_every_picture_and_the_end_message) {
  const auto r = Play(Quote(Fixture("20261205_102000_NF.mp4")) + " --rear " +
                      Quote(Fixture("20261205_102000_NR.mp4")) + " --speed 4 --json");
  ASSERT_EQ(r.exitCode, 0) << r.output;
  EXPECT_NE(r.output.find("[1,0]"), std::string::npos) << r.output;
  EXPECT_NE(r.output.find("[0,0]"), std::string::npos);
  EXPECT_EQ(r.output.find("[1,1]"), std::string::npos);
  // 3 s at 30 fps on both cameras, all decoded at 4X since the rates are equal.
  EXPECT_NE(r.output.find("\"front\":{\"first_picture_ms\":"), std::string::npos);
  EXPECT_EQ(r.output.find("\"rear\":null"), std::string::npos);
  const size_t front = r.output.find("\"frames_presented\":90");
  ASSERT_NE(front, std::string::npos) << r.output;
  EXPECT_NE(r.output.find("\"frames_presented\":90", front + 1), std::string::npos) << r.output;
  EXPECT_NE(r.output.find("\"ended\":true"), std::string::npos);
}

TEST(PlayCommand, avi_pair_plays_both_cameras_from_one_file_at_4x) {
  const auto r = Play(Quote(Fixture("avi_pair.avi")) + " --speed 4 --json");
  ASSERT_EQ(r.exitCode, 0) << r.output;
  EXPECT_NE(r.output.find("[1,0]"), std::string::npos) << r.output;
  EXPECT_EQ(r.output.find("\"rear\":null"), std::string::npos) << r.output;
  const size_t front = r.output.find("\"frames_presented\":90");
  ASSERT_NE(front, std::string::npos) << r.output;
  EXPECT_NE(r.output.find("\"frames_presented\":90", front + 1), std::string::npos) << r.output;
}

TEST(PlayCommand, avi_errors_change_nothing) {
  // Without an index the file plays from the index a rebuild would append, kept in
  // memory: the file is not rewritten. One whose index cannot be rebuilt is refused.
  const auto before = tq::test::ReadAll(Fixture("avi_noindex.avi"));
  const auto noIndex = Play(Quote(Fixture("avi_noindex.avi")) + " --speed 4");
  EXPECT_EQ(noIndex.exitCode, 0) << noIndex.output;
  EXPECT_NE(noIndex.output.find("90 presented"), std::string::npos) << noIndex.output;
  EXPECT_EQ(tq::test::ReadAll(Fixture("avi_noindex.avi")), before);
  const auto cut = Play(Quote(Fixture("avi_nostartcode.avi")));
  EXPECT_EQ(cut.exitCode, 1) << cut.output;
  EXPECT_NE(cut.output.find("none can be rebuilt"), std::string::npos) << cut.output;
  const auto rear = Play(Quote(Fixture("avi_pair.avi")) + " --rear " + Quote(Fixture("avi_front.avi")));
  EXPECT_EQ(rear.exitCode, 2) << rear.output;
}

TEST(PlayCommand, seconds_limit_stops_before_the_end_and_text_lists_messages) {
  const auto r = Play(Quote(Fixture("h264_sound.mp4")) + " --seconds 0.5");
  ASSERT_EQ(r.exitCode, 0) << r.output;
  EXPECT_NE(r.output.find("message 3 0"), std::string::npos) << r.output;
  EXPECT_EQ(r.output.find("message 1 0"), std::string::npos) << r.output;
  EXPECT_NE(r.output.find("front: first picture"), std::string::npos);
  EXPECT_EQ(r.output.find("rear:"), std::string::npos);
}

// The number after "key": in the JSON report.
long long JsonNumber(const std::string& json, const std::string& key) {
  const size_t at = json.find("\"" + key + "\":");
  if (at == std::string::npos) return -1;
  return std::stoll(json.substr(at + key.size() + 3));
}

TEST(PlayCommand, sound_is_written_at_1x_only_and_heard_with_the_picture) {
  const struct {
    const char* file;
    const char* speed;
    long long minBuffers;  // 0: no sound at this speed
    long long maxLeadMs;   // 8 buffers ahead plus a frame interval and one buffer
  } cases[] = {
      // 3 s of 48 kHz AAC: 141 frames of 1024 samples, all written by the end; 8 frames
      // are 171 ms.
      {"h264_sound.mp4", "1", 130, 171 + 34 + 21},
      {"h264_sound.mp4", "2", 0, 0},
      {"h264_sound.mp4", "4", 0, 0},
      // Sound that starts 250 ms after the first picture waits for its time.
      {"sound_late.mp4", "1", 80, 171 + 34 + 21},
      // AVI sound is PCM in 100 ms chunks, timed by the bytes before them.
      {"avi_small.avi", "1", 10, 800 + 34 + 100},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.file) + " at " + c.speed);
    const auto r = Play(Quote(Fixture(c.file)) + " --speed " + c.speed + " --json");
    ASSERT_EQ(r.exitCode, 0) << r.output;
    const long long buffers = JsonNumber(r.output, "audio_buffers_written");
    const long long skew = JsonNumber(r.output, "audio_max_skew_ms");
    const long long lead = JsonNumber(r.output, "audio_lead_ms");
    if (c.minBuffers > 0) {
      EXPECT_GE(buffers, c.minBuffers) << r.output;
      // What is heard stays within one sound frame (21 ms) of the picture shown, give or
      // take how late (or up to 3 ms early) a busy machine presented a picture...
      EXPECT_GE(skew, 0) << r.output;
      EXPECT_LE(skew, 21 + 3 + JsonNumber(r.output, "max_late_ms")) << r.output;
      // ...while the device is written well ahead of it.
      EXPECT_GT(lead, skew) << r.output;
      EXPECT_LE(lead, c.maxLeadMs) << r.output;
    } else {
      EXPECT_EQ(buffers, 0) << r.output;
      EXPECT_EQ(skew, 0) << r.output;
      EXPECT_EQ(lead, 0) << r.output;
    }
  }
  const auto text = Play(Quote(Fixture("h264_sound.mp4")) + " --seconds 0.5");
  EXPECT_NE(text.output.find("audio: "), std::string::npos) << text.output;
  EXPECT_NE(text.output.find(" buffers written, max skew "), std::string::npos) << text.output;
  EXPECT_NE(text.output.find(" ms, max lead "), std::string::npos) << text.output;
}

TEST(PlayCommand, bad_input_and_usage_errors) {
  const struct {
    std::string args;
    int exitCode;
    const char* text;
  } cases[] = {
      {"/nonexistent/a.mp4", 1, "/nonexistent/a.mp4"},
      {Quote(Fixture("h264_sound.mp4")) + " --rear /nonexistent/r.mp4", 1, "/nonexistent/r.mp4"},
      {Quote(Fixture("h264_sound.mp4")) + " --speed 3", 2, "--speed"},
      {Quote(Fixture("h264_sound.mp4")) + " --seconds -1", 2, "--seconds"},
      {Quote(Fixture("h264_sound.mp4")) + " --bogus", 2, "--bogus"},
      {"", 2, "usage"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.args);
    const auto r = Play(c.args);
    EXPECT_EQ(r.exitCode, c.exitCode) << r.output;
    EXPECT_NE(r.output.find(c.text), std::string::npos) << r.output;
  }
}

}  // namespace
