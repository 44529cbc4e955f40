// tqmb20 info and repair on hand-built camera files: what --json reports, that info and
// --dry-run never write, and the exit codes.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdio>
#include <string>

#include "container/Mp4ReadBoxes.h"
#include "support/TestSupport.h"

namespace tq::readtest {
namespace {

struct ToolRun {
  int exitCode = -1;
  std::string out, err;
};

ToolRun Tool(const std::string& args, const TempDir& dir) {
  test::ToolResult t = test::RunTqmb20(args, dir.File("stderr.txt"));
  return ToolRun{t.exitCode, t.output, t.errorOutput};
}

bool Has(const std::string& s, const std::string& part) { return s.find(part) != std::string::npos; }

TEST(Mp4Commands, info_reports_the_description_and_never_writes) {
  TempDir dir;
  CameraSpec spec;
  spec.frames = Interleaved(4, true);
  std::string path = dir.File("unfinished.mp4");
  Bytes original = BuildCameraFile(spec);
  WriteFile(path, original);

  ToolRun r = Tool("info --json '" + path + "'", dir);
  EXPECT_EQ(r.exitCode, 0) << r.err;
  EXPECT_EQ(ReadFile(path), original);
  EXPECT_TRUE(Has(r.out, "\"kind\":\"mp4\"")) << r.out;
  EXPECT_TRUE(Has(r.out, "\"playable\":false"));
  EXPECT_TRUE(Has(r.out, "\"sets\":1"));
  EXPECT_TRUE(Has(r.out, "\"start_time_ms\":1700000000000"));
  EXPECT_TRUE(Has(r.out, "\"model\":\"TQ-MB20\""));
  EXPECT_TRUE(Has(r.out, "\"notice\":\" Test notice\""));
  EXPECT_TRUE(Has(r.out, "\"gps2_layout\":false"));
  EXPECT_TRUE(Has(r.out, "\"gps_bytes\":-1"));
  EXPECT_TRUE(Has(r.out, "\"video\":{\"codec\":\"avc1\",\"width\":1920,\"height\":1080,"
                         "\"config_strings\":[\"6742801eda\",\"68ce3c80\"]}"));
  EXPECT_TRUE(Has(r.out, "\"sound\":{\"codec\":\"mp4a\",\"channels\":1,\"bits\":16,\"rate\":48000"));
  EXPECT_TRUE(Has(r.out, "\"tracks\":[]"));

  // After a repair the tracks are listed.
  ToolRun rep = Tool("repair --json '" + path + "'", dir);
  EXPECT_EQ(rep.exitCode, 0) << rep.err;
  ToolRun after = Tool("info --json '" + path + "'", dir);
  EXPECT_TRUE(Has(after.out, "\"playable\":true"));
  EXPECT_TRUE(Has(after.out, "{\"id\":1,\"handler\":\"vide\",\"format\":\"avc1\",\"width\":1920,"
                             "\"height\":1080,\"samples\":4,\"sync_samples\":1,\"timescale\":1000,"))
      << after.out;
  EXPECT_TRUE(Has(after.out, "\"handler\":\"soun\",\"format\":\"mp4a\""));
}

TEST(Mp4Commands, repair_results_dry_run_and_exit_codes) {
  TempDir dir;
  CameraSpec good;
  good.frames = Interleaved(5, true);
  CameraSpec amr = good;
  amr.soundCodec = "samr";
  std::string goodPath = dir.File("good.mp4"), amrPath = dir.File("amr.mp4");
  Bytes goodBytes = BuildCameraFile(good), amrBytes = BuildCameraFile(amr);
  WriteFile(goodPath, goodBytes);
  WriteFile(amrPath, amrBytes);

  ToolRun dry = Tool("repair --dry-run --json '" + goodPath + "'", dir);
  EXPECT_EQ(dry.exitCode, 0);
  EXPECT_TRUE(Has(dry.out, "\"result\":\"repaired\"")) << dry.out;
  EXPECT_TRUE(Has(dry.out, "\"dry_run\":true"));
  EXPECT_TRUE(Has(dry.out, "\"video_samples\":5"));
  EXPECT_EQ(ReadFile(goodPath), goodBytes);

  // One failing file makes the exit code 1; the others are still repaired.
  ToolRun both = Tool("repair --json '" + amrPath + "' '" + goodPath + "'", dir);
  EXPECT_EQ(both.exitCode, 1);
  EXPECT_TRUE(Has(both.out, "\"result\":\"failed\",\"reason\":\"index unusable; sound codec"))
      << both.out;
  EXPECT_TRUE(Has(both.out, "\"result\":\"repaired\""));
  EXPECT_EQ(ReadFile(amrPath), amrBytes);
  EXPECT_NE(ReadFile(goodPath), goodBytes);

  ToolRun again = Tool("repair '" + goodPath + "'", dir);
  EXPECT_EQ(again.exitCode, 0);
  EXPECT_TRUE(Has(again.out, ": ok: index usable")) << again.out;

  ToolRun missing = Tool("repair '" + dir.File("none.mp4") + "'", dir);
  EXPECT_EQ(missing.exitCode, 1);
  EXPECT_TRUE(Has(missing.err, "none.mp4: no such file")) << missing.err;
  EXPECT_EQ(Tool("repair", dir).exitCode, 2);
  EXPECT_EQ(Tool("info --bogus x", dir).exitCode, 2);
  EXPECT_EQ(Tool("info '" + dir.File("none.mp4") + "'", dir).exitCode, 1);
}

}  // namespace
}  // namespace tq::readtest
