#include <gtest/gtest.h>

#include <fstream>
#include <string>

#include "platform/TempDir.h"
#include "support/TestSupport.h"

namespace {

using tq::test::Quote;
using tq::test::RunTqmb20;
using tqtest::TempDir;

TEST(FormatImageCommand, creates_a_sparse_card_and_prints_its_layout) {
  TempDir dir;
  const std::string img = dir / "card.img";
  auto r = RunTqmb20("format-image " + Quote(img) + " --sectors 62521344 --json", dir / "err.txt");
  ASSERT_EQ(r.exitCode, 0) << r.errorOutput;
  for (const char* field : {"\"sectorSize\":512", "\"totalSectors\":62521344", "\"fatSectors\":3816",
                            "\"clusters\":488387", "\"freeClusters\":488386", "\"nextFree\":3",
                            "\"clusterBytes\":65536", "\"label\":\"TQ-MB20\""}) {
    EXPECT_NE(r.output.find(field), std::string::npos) << field << " in " << r.output;
  }
  EXPECT_EQ(std::filesystem::file_size(img), 62521344ull * 512);
  auto fsck = tq::test::RunCommand("fsck.fat -n " + Quote(img));
  EXPECT_EQ(fsck.exitCode, 0) << fsck.output;

}

TEST(FormatImageCommand, bad_input_gets_a_clear_error_and_changes_nothing) {
  TempDir dir;
  const std::string keep = dir / "keep.img";
  { std::ofstream(keep, std::ios::binary) << std::string(4096, 'k'); }
  struct Case {
    std::string args;
    int code;
    const char* message;
  } cases[] = {
      {"", 2, "usage"},
      {"--sector-size 1000 " + Quote(dir / "a.img"), 2, "512 or 4096"},
      {"--sectors lots " + Quote(dir / "a.img"), 2, "not a number"},
      {Quote(dir / "a.img") + " --sectors 7812500", 1, "too small"},
      {Quote(keep), 1, "too small"},  // 8 sectors
      {"/dev/null", 1, "not a regular file"},
      {Quote(dir / "missing.img"), 1, "No such file"},
      {Quote(dir / "a.img") + " --bogus", 2, "unknown option"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.args);
    auto r = RunTqmb20("format-image " + c.args, dir / "err.txt");
    EXPECT_EQ(r.exitCode, c.code);
    EXPECT_NE(r.errorOutput.find(c.message), std::string::npos) << r.errorOutput;
  }
  EXPECT_FALSE(std::filesystem::exists(dir / "a.img"));
  EXPECT_EQ(tq::test::ReadAll(keep), std::vector<uint8_t>(4096, 'k'));
}

}  // namespace
