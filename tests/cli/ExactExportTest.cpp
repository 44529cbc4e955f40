// tqmb20 export --exact: the clip of 00:10 to 00:20 (and a start between two key frames)
// judged by ffprobe and by the frame tags of the decoded pictures, its sound, its start
// time, and its telemetry read back with tqmb20 gps / gsensor.
#include <gtest/gtest.h>

#include <cstdlib>
#include <sstream>
#include <string>
#include <vector>

#include "container/Mp4Export.h"
#include "support/FrameTags.h"
#include "support/TestSupport.h"

namespace {

using tq::test::Fixture;
using tq::test::Quote;
using tq::test::TempDir;

constexpr int kFps = 30;
constexpr double kAacFrameSec = 1024.0 / 48000;

// The rows of a CSV print after its header, split at commas.
std::vector<std::vector<std::string>> CsvRows(const std::string& text) {
  std::vector<std::vector<std::string>> rows;
  std::istringstream in(text);
  std::string line;
  std::getline(in, line);  // header
  while (std::getline(in, line)) {
    std::vector<std::string> cells;
    std::istringstream cellIn(line);
    std::string cell;
    while (std::getline(cellIn, cell, ',')) cells.push_back(cell);
    if (!cells.empty()) rows.push_back(cells);
  }
  return rows;
}

double Probe(const std::string& path, const std::string& entries) {
  const auto r = tq::test::RunCommand("ffprobe -v error " + entries +
                                      " -of default=noprint_wrappers=1:nokey=1 " + Quote(path));
  return r.output.empty() ? -1 : std::atof(r.output.c_str());
}

struct ClipCase {
  const char* source;
  int fromSec, toSec;
  const char* clipName;  // the name the dialog proposes: the clip's start of day
};

class ExactExport : public testing::TestWithParam<ClipCase> {};

TEST_P(ExactExport, clip_shows_every_picture_from_the_requested_second) {
  const ClipCase c = GetParam();
  TempDir dir;
  const std::string out = dir.file(std::string(c.clipName) + ".mp4");
  const auto r = tq::test::RunTqmb20("export " + Quote(Fixture(c.source)) + " --from " + std::to_string(c.fromSec) +
                                         " --to " + std::to_string(c.toSec) + " --exact -o " + Quote(out),
                                     dir.file("err"));
  ASSERT_EQ(r.exitCode, 0) << r.errorOutput;
  ASSERT_TRUE(tq::test::Ffprobe(out).output.empty()) << tq::test::Ffprobe(out).output;

  // Pictures: the first shown is the one at fromSec exactly, then every one up to the last
  // of the toSec-th second, none twice and none missing.
  std::vector<tq::test::DecodedTag> tags;
  std::string error;
  ASSERT_TRUE(tq::test::DecodeFrameTags(out, &tags, &error)) << error;
  ASSERT_FALSE(tags.empty());
  EXPECT_EQ(tags.front().frame, c.fromSec * kFps);
  EXPECT_EQ(tags.back().frame, (c.toSec + 1) * kFps - 1);
  for (size_t i = 1; i < tags.size(); ++i) ASSERT_EQ(tags[i].frame, tags[i - 1].frame + 1) << i;
  // ffmpeg's own decode agrees on the count.
  const auto md5 = tq::test::FrameMd5(out, "-map 0:v");
  EXPECT_EQ(tq::test::FrameMd5Column(md5.output).size(), tags.size());

  // Sound is there and starts with the pictures (within one AAC frame).
  const double videoStart = Probe(out, "-select_streams v:0 -show_entries stream=start_time");
  const double soundStart = Probe(out, "-select_streams a:0 -show_entries stream=start_time");
  ASSERT_GE(soundStart, 0) << "no sound track";
  EXPECT_NEAR(videoStart, 0.0, 0.001);
  EXPECT_NEAR(soundStart, videoStart, kAacFrameSec);

  // The clip's creation time is the recording's start plus From.
  const auto created = tq::test::RunCommand("ffprobe -v error -show_entries format_tags=creation_time "
                                            "-of default=noprint_wrappers=1:nokey=1 " + Quote(out));
  const std::string name = c.clipName;
  const std::string expected = name.substr(0, 4) + "-" + name.substr(4, 2) + "-" + name.substr(6, 2) + "T" +
                               name.substr(9, 2) + ":" + name.substr(11, 2) + ":" + name.substr(13, 2);
  EXPECT_EQ(created.output.substr(0, expected.size()), expected);

  // G-sensor records of the range, their times counted from the clip's start.
  const auto source = CsvRows(tq::test::RunTqmb20("gsensor " + Quote(Fixture(c.source)), dir.file("e1")).output);
  const auto clip = tq::test::RunTqmb20("gsensor " + Quote(out), dir.file("e2"));
  ASSERT_EQ(clip.exitCode, 0) << clip.errorOutput;
  const auto rows = CsvRows(clip.output);
  size_t inRange = 0;
  for (const auto& s : source) {
    const long t = std::atol(s[0].c_str());
    if (t >= c.fromSec * 1000L && t <= c.toSec * 1000L + 999) ++inRange;
  }
  ASSERT_FALSE(rows.empty());
  EXPECT_EQ(rows.size(), inRange);
  EXPECT_LT(std::atol(rows.front()[0].c_str()), 1000);
  EXPECT_LE(std::atol(rows.back()[0].c_str()), (c.toSec - c.fromSec) * 1000L + 999);

  // GPS samples of the range: the first falls in the clip's first second of the day.
  const auto gps = tq::test::RunTqmb20("gps " + Quote(out), dir.file("e3"));
  ASSERT_EQ(gps.exitCode, 0) << gps.errorOutput;
  const auto fixes = CsvRows(gps.output);
  ASSERT_FALSE(fixes.empty());
  const long startOfDay = (std::atol(name.substr(9, 2).c_str()) * 3600 + std::atol(name.substr(11, 2).c_str()) * 60 +
                           std::atol(name.substr(13, 2).c_str())) * 100;
  const long first = std::atol(fixes.front()[0].c_str()) - startOfDay;
  EXPECT_GE(first, 0);
  EXPECT_LT(first, 100);
  EXPECT_LE(std::atol(fixes.back()[0].c_str()) - startOfDay, (c.toSec - c.fromSec + 1) * 100L);
}

INSTANTIATE_TEST_SUITE_P(
    KeyFrames, ExactExport,
    testing::Values(ClipCase{"20261205_104000_NF.mp4", 10, 20, "20261205_104010_NF"},   // key frame each second
                    ClipCase{"20261205_104100_NF.mp4", 10, 20, "20261205_104110_NF"},   // each ten seconds
                    ClipCase{"20261205_104100_NF.mp4", 15, 20, "20261205_104115_NF"}),  // between two
    [](const testing::TestParamInfo<ClipCase>& i) {
      return std::string(i.param.source).substr(9, 6) + "_from" + std::to_string(i.param.fromSec);
    });

TEST(ExactExportOptions, without_exact_the_clip_starts_on_the_next_key_frame) {
  TempDir dir;
  const std::string out = dir.file("next_key.mp4");
  const auto r = tq::test::RunTqmb20("export " + Quote(Fixture("20261205_104100_NF.mp4")) + " --from 15 --to 22 -o " + Quote(out),
                                     dir.file("err"));
  ASSERT_EQ(r.exitCode, 0) << r.errorOutput;
  std::vector<tq::test::DecodedTag> tags;
  std::string error;
  ASSERT_TRUE(tq::test::DecodeFrameTags(out, &tags, &error)) << error;
  ASSERT_FALSE(tags.empty());
  EXPECT_EQ(tags.front().frame, 20 * kFps);
  const auto avi = tq::test::RunTqmb20("export " + Quote(Fixture("avi_front.avi")) + " --from 0 --to 2 --exact -o " +
                                           Quote(dir.file("x.avi")),
                                       dir.file("err2"));
  EXPECT_EQ(avi.exitCode, 2);
}

TEST(ExactExportOptions, a_cancel_halfway_leaves_no_file) {
  TempDir dir;
  const std::string out = dir.file("cancelled.mp4");
  uint32_t lastDone = 0;
  const tq::ExportOutcome o = tq::ExportRecording(
      Fixture("20261205_104000_NF.mp4"), out, 5, 20, true,
      [&](uint32_t done, uint32_t total) {
        lastDone = done;
        return done * 2 < total;  // the user cancels at 50 %
      },
      false, true);
  EXPECT_EQ(o.status, tq::ExportStatus::Failed);
  EXPECT_GE(lastDone, 7000u);
  EXPECT_LT(lastDone, 8000u);
  EXPECT_TRUE(std::filesystem::is_empty(dir.path())) << "a partial file was left";
}

}  // namespace
