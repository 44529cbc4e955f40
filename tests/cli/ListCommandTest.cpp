#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "../library/CatalogFixtures.h"
#include "support/TestSupport.h"

namespace tq {
namespace {

using namespace testfiles;

struct RunResult {
  int exitCode = -1;
  std::string out;
  std::string err;
};

std::string Quote(const std::string& s) { return "'" + s + "'"; }

RunResult RunTool(const std::string& args, const TempFolder& scratch) {
  test::ToolResult t = test::RunTqmb20(args, scratch / "stderr.txt");
  return RunResult{t.exitCode, t.output, t.errorOutput};
}

class ListCommand : public ::testing::Test {
 protected:
  void SetUp() override {
    card_ = std::make_unique<TempFolder>();
    card_->Touch("20240105_134501_NR.mp4", Mp4WithSeconds(60));
    card_->Touch("20240105_134501_NF.MP4", Mp4WithSeconds(184));
    card_->Touch("20240105_134501_N.gps", "gps");
    card_->Touch("20240105_140000_NL.mp4", "");
    card_->Touch("20240105_000000_NF.mp4", Mp4WithSeconds(60));
    card_->Touch("evt_00000120240104_101010_1R_N.avi", AviHeader(40000, 250));
    scratch_ = std::make_unique<TempFolder>();
  }
  std::unique_ptr<TempFolder> card_, scratch_;
};

TEST_F(ListCommand, json_lists_the_catalog_in_order_with_probed_durations) {
  RunResult r = RunTool("list " + Quote(card_->path()) + " --json", *scratch_);
  EXPECT_EQ(r.exitCode, 0) << r.err;
  EXPECT_EQ(r.out,
            "[{\"name\":\"20240105_140000_NL\",\"kind\":\"mp4\",\"type_code\":51,\"class\":0,\"camera\":12,"
            "\"date\":20240105,\"time\":140000,\"duration\":0,\"minutes\":1},"
            "{\"name\":\"20240105_134501_NF\",\"kind\":\"mp4\",\"type_code\":0,\"class\":0,\"camera\":0,"
            "\"date\":20240105,\"time\":134501,\"duration\":184,\"minutes\":4},"
            "{\"name\":\"20240105_134501_NR\",\"kind\":\"mp4\",\"type_code\":4,\"class\":0,\"camera\":1,"
            "\"date\":20240105,\"time\":134501,\"duration\":60,\"minutes\":1},"
            "{\"name\":\"evt_00000120240104_101010_1R_N\",\"kind\":\"avi\",\"type_code\":5,\"class\":1,"
            "\"camera\":1,\"date\":20240104,\"time\":101010,\"duration\":10,\"minutes\":1}]\n");
}

TEST_F(ListCommand, text_prints_one_line_per_recording_in_catalog_order) {
  RunResult r = RunTool("list " + Quote(card_->path()), *scratch_);
  EXPECT_EQ(r.exitCode, 0) << r.err;
  std::vector<std::string> lines;
  size_t start = 0;
  for (size_t nl; (nl = r.out.find('\n', start)) != std::string::npos; start = nl + 1)
    lines.push_back(r.out.substr(start, nl - start));
  ASSERT_EQ(lines.size(), 4u) << r.out;
  EXPECT_EQ(lines[1].rfind("20240105_134501_NF.MP4", 0), 0u) << lines[1];
  EXPECT_NE(lines[1].find("184 s"), std::string::npos) << lines[1];
  EXPECT_NE(lines[2].find("rear"), std::string::npos) << lines[2];
  EXPECT_NE(lines[3].find("event"), std::string::npos) << lines[3];
}

TEST_F(ListCommand, empty_folder_gives_an_empty_array) {
  TempFolder empty;
  RunResult r = RunTool("list --json " + Quote(empty.path()), *scratch_);
  EXPECT_EQ(r.exitCode, 0);
  EXPECT_EQ(r.out, "[]\n");
}

TEST_F(ListCommand, bad_folder_and_usage_errors) {
  const std::string missing = card_->path() + "/no such folder";
  const std::string file = *card_ / "20240105_134501_NR.mp4";
  const struct { std::string args; int code; std::string errHas; } rows[] = {
      {"list " + Quote(missing), 1, "no such folder: " + missing},
      {"list " + Quote(file) + " --json", 1, "not a folder: " + file},
      {"list", 2, "usage"},
      {"list " + Quote(card_->path()) + " --bogus", 2, "--bogus"},
      {"list " + Quote(card_->path()) + " " + Quote(card_->path()), 2, "one folder"},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.args);
    RunResult r = RunTool(row.args, *scratch_);
    EXPECT_EQ(r.exitCode, row.code);
    EXPECT_TRUE(r.out.empty()) << r.out;
    EXPECT_NE(r.err.find(row.errHas), std::string::npos) << r.err;
    EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1) << r.err;
  }
}

}  // namespace
}  // namespace tq
