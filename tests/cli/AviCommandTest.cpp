// tqmb20 info / repair / export on AVI recordings: what they print, what they write and
// their exit codes.
#include <gtest/gtest.h>

#include <filesystem>

#include "support/FrameTags.h"
#include "support/TestSupport.h"

namespace {

using tq::test::Fixture;
using tq::test::Quote;
using tq::test::ReadAll;
using tq::test::RunCommand;
using tq::test::TempDir;

tq::test::CommandResult Tool(const std::string& args) {
  return RunCommand(Quote(std::string(TQ_BUILD_DIR) + "/tqmb20") + " " + args);
}

TEST(AviCommand, info_describes_streams_and_index_without_writing) {
  TempDir dir;
  const std::string path = dir.file("n.avi");
  ASSERT_TRUE(tq::test::CopyFile(Fixture("avi_noindex.avi"), path));
  const auto before = ReadAll(path);
  const auto r = Tool("info --json " + Quote(Fixture("avi_pair.avi")) + " " + Quote(path) + " 2>/dev/null");
  ASSERT_EQ(r.exitCode, 0) << r.output;
  EXPECT_NE(r.output.find("\"kind\":\"avi\",\"playable\":true"), std::string::npos) << r.output;
  EXPECT_NE(r.output.find("\"kind\":\"avi\",\"playable\":false"), std::string::npos) << r.output;
  EXPECT_NE(r.output.find("{\"fccType\":\"vids\",\"fccHandler\":\"H264\",\"rate\":30,\"scale\":1,"
                          "\"length\":90,\"width\":256,\"height\":144}"), std::string::npos);
  EXPECT_NE(r.output.find("\"fccHandler\":\"GPSR\""), std::string::npos);
  EXPECT_NE(r.output.find("\"video_streams\":2,\"index_count\":393"), std::string::npos) << r.output;
  EXPECT_NE(r.output.find("\"index_count\":0"), std::string::npos);
  EXPECT_EQ(ReadAll(path), before);
}

TEST(AviCommand, repair_rebuilds_a_missing_index_and_refuses_what_it_cannot) {
  TempDir dir;
  const std::string noindex = dir.file("n.avi"), cut = dir.file("c.avi");
  ASSERT_TRUE(tq::test::CopyFile(Fixture("avi_noindex.avi"), noindex));
  ASSERT_TRUE(tq::test::CopyFile(Fixture("avi_cut.avi"), cut));
  const auto cutBefore = ReadAll(cut);
  auto r = Tool("repair --dry-run --json " + Quote(noindex) + " 2>/dev/null");
  EXPECT_EQ(r.exitCode, 0);
  EXPECT_NE(r.output.find("\"result\":\"repaired\""), std::string::npos) << r.output;
  EXPECT_NE(r.output.find("\"dry_run\":true,\"index_count\":303"), std::string::npos) << r.output;
  EXPECT_EQ(ReadAll(noindex), ReadAll(Fixture("avi_noindex.avi"))) << "a dry run writes nothing";
  r = Tool("repair --json " + Quote(noindex) + " 2>/dev/null");
  EXPECT_EQ(r.exitCode, 0);
  EXPECT_NE(r.output.find("\"kind\":\"avi\",\"result\":\"repaired\""), std::string::npos) << r.output;
  EXPECT_NE(r.output.find("\"index_count\":303"), std::string::npos) << r.output;
  EXPECT_EQ(tq::test::Ffprobe(noindex).output, "");
  r = Tool("repair " + Quote(noindex) + " 2>/dev/null");
  EXPECT_EQ(r.exitCode, 0);
  EXPECT_NE(r.output.find(": ok: the index is present (303 index entries)"), std::string::npos) << r.output;
  r = Tool("repair --dry-run " + Quote(cut));
  EXPECT_EQ(r.exitCode, 1);
  r = Tool("repair " + Quote(cut));
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_NE(r.output.find("tqmb20 repair: " + cut + ": "), std::string::npos) << r.output;
  EXPECT_EQ(ReadAll(cut), cutBefore);
}

TEST(AviCommand, export_writes_the_chosen_camera) {
  TempDir dir;
  const std::string out = dir.file("rear.avi");
  auto r = Tool("export " + Quote(Fixture("avi_pair.avi")) + " --from 0 --to 1 --camera rear --no-sound -o " +
                Quote(out));
  ASSERT_EQ(r.exitCode, 0) << r.output;
  EXPECT_EQ(tq::test::Ffprobe(out).output, "");
  std::vector<tq::test::DecodedTag> tags;
  std::string error;
  ASSERT_TRUE(tq::test::DecodeFrameTags(out, &tags, &error)) << error;
  ASSERT_EQ(tags.size(), 59u);  // frames counted up to 1.999 s
  for (size_t i = 0; i < tags.size(); ++i) {
    EXPECT_EQ(tags[i].camera, 1);
    EXPECT_EQ(tags[i].frame, int(i));
  }
}

TEST(AviCommand, info_and_repair_take_mp4_and_avi_together) {
  const auto r = Tool("info --json " + Quote(Fixture("h264_sound.mp4")) + " " +
                      Quote(Fixture("avi_front.avi")) + " 2>/dev/null");
  ASSERT_EQ(r.exitCode, 0) << r.output;
  EXPECT_EQ(r.output.rfind("[{", 0), 0u) << r.output;
  EXPECT_NE(r.output.find("\"kind\":\"avi\""), std::string::npos) << r.output;
  EXPECT_NE(r.output.find("},{"), std::string::npos) << "one array of two objects: " << r.output;
}

TEST(AviCommand, bad_arguments_and_files) {
  TempDir dir;
  const std::string pair = Quote(Fixture("avi_pair.avi")), out = Quote(dir.file("o.avi"));
  struct Row { std::string args; int exitCode; const char* message; };
  const Row rows[] = {
      {"info", 2, "usage"},
      {"info --bogus " + pair, 2, "unknown option"},
      {"info " + Quote(dir.file("missing.avi")), 1, "missing.avi"},
      {"repair", 2, "usage"},
      {"export " + pair + " --from 0 -o " + out, 2, "usage"},
      {"export " + pair + " --from x --to 1 -o " + out, 2, "--from"},
      {"export " + pair + " --from 2 --to 1 -o " + out, 1, "invalid range"},
      {"export " + pair + " --from 0 --to 1 --camera side -o " + out, 2, "--camera"},
      {"export " + Quote(Fixture("avi_front.avi")) + " --from 0 --to 1 --camera rear -o " + out, 1,
       "no rear video"},
      {"export " + Quote(Fixture("avi_cut.avi")) + " --from 0 --to 1 -o " + out, 1, "not a usable"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.args);
    const auto r = Tool(row.args);
    EXPECT_EQ(r.exitCode, row.exitCode) << r.output;
    EXPECT_NE(r.output.find(row.message), std::string::npos) << r.output;
  }
  EXPECT_FALSE(std::filesystem::exists(dir.file("o.avi")));
}

}  // namespace
