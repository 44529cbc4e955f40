#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdio>
#include <string>

#include "app/CardFixtures.h"
#include "platform/TempDir.h"
#include "support/TestSupport.h"

namespace {

using tqtest::TempDir;

struct Result {
  int code = -1;
  std::string out;
};

// Runs the built tqmb20 with the arguments (quoted for the shell); standard error is
// kept apart from the output.
Result RunTool(const std::string& args, const std::string& errFile) {
  tq::test::ToolResult t = tq::test::RunTqmb20(args, errFile);
  return Result{t.exitCode, t.output};
}

std::string Quote(const std::string& s) { return "'" + s + "'"; }

TEST(CardCommand, json_identity_of_both_families) {
  TempDir dir;
  std::string first = tqtest::MakeFolderCard(dir / "first", tqtest::VersionBin("XTQ-MB20A", "1.005", "Japan"));
  std::string second = tqtest::MakeSetupCfgCard(dir / "second", tqtest::SetupCfg("TQ4400K-1", 3, 1, 4, 2));
  std::string bare = tqtest::MakeFolderCard(dir / "bare", nullptr);
  struct Case {
    std::string root;
    std::string json;
  } cases[] = {
      {first, R"({"family":0,"firmware":"1.005","model":"TQ-MB20","language":"Japan","option":"K1","identified":true})"},
      {second + "/", R"({"family":1,"firmware":"3.1.4","model":"TQ4400K-1","language":"Russian","option":"","identified":true})"},
      {bare, R"({"family":0,"firmware":"","model":"","language":"","option":"","identified":false})"},
  };
  for (const auto& c : cases) {
    Result r = RunTool("card " + Quote(c.root) + " --json", dir / "err");
    EXPECT_EQ(r.code, 0) << c.root;
    EXPECT_EQ(r.out, c.json + "\n");
  }
  Result text = RunTool("card " + Quote(first), dir / "err");
  EXPECT_EQ(text.code, 0);
  EXPECT_NE(text.out.find("model:    TQ-MB20\n"), std::string::npos) << text.out;
}

TEST(CardCommand, non_cards_fail_and_usage_errors_exit_2) {
  TempDir dir;
  std::string notCard = tqtest::MakeSetupCfgCard(dir / "usb", tqtest::SetupCfg("TQ44", 1, 0, 0, 0));
  struct Case {
    std::string args;
    int code;
    const char* errorNames;  // expected in the one error line
  } cases[] = {
      {"card " + Quote(notCard), 1, "not a camera card"},
      {"card " + Quote(dir / "missing") + " --json", 1, "no such folder"},
      {"card", 2, "usage"},
      {"card a b", 2, "only one"},
      {"card " + Quote(notCard) + " --yaml", 2, "--yaml"},
  };
  for (const auto& c : cases) {
    Result r = RunTool(c.args, dir / "err");
    EXPECT_EQ(r.code, c.code) << c.args;
    EXPECT_TRUE(r.out.empty()) << c.args << ": " << r.out;
    std::string err = tqtest::ReadBytes(dir / "err");
    EXPECT_NE(err.find(c.errorNames), std::string::npos) << c.args << ": " << err;
    EXPECT_EQ(err.find('\n'), err.size() - 1) << "one line: " << err;
  }
}

}  // namespace
