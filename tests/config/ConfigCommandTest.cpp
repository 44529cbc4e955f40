#include <gtest/gtest.h>

#include <string>

#include "SampleSets.h"
#include "device/PasswordCipher.h"
#include "platform/TempDir.h"
#include "support/TestSupport.h"

namespace {

using tq::test::Quote;

std::string MakeCard(const tqtest::TempDir& dir, const std::string& versionBin) {
  const std::string root = dir / "card";
  tqtest::WriteBytes(root + "/TQ-MB20/Config/version.bin", versionBin);
  tqtest::WriteBytes(root + "/TQ-MB20/Config/config.ini", tq::ConfigIniText());
  return root;
}

std::string Section(const std::string& text, const std::string& name) {
  size_t at = text.find("[" + name + "]");
  if (at == std::string::npos) return {};
  size_t end = text.find("\r\n[", at);
  return text.substr(at, end == std::string::npos ? std::string::npos : end - at);
}

TEST(ConfigCommand, set_writes_only_the_changed_sections_and_reads_back) {
  tqtest::TempDir dir;
  const std::string root = MakeCard(dir, tq::VersionBinText());
  const std::string ini = root + "/TQ-MB20/Config/config.ini";
  const std::string before = tqtest::ReadBytes(ini);
  tq::test::ToolResult r = tq::test::RunTqmb20(
      "config " + Quote(root) + " --set Tab1.TimeZone=-3 --set wifi.AP_PW=abcd1234 --json", dir / "err");
  ASSERT_EQ(r.exitCode, 0) << r.errorOutput;
  EXPECT_NE(r.output.find(R"("Tab1":{"TimeZone":-3,)"), std::string::npos) << r.output;
  EXPECT_NE(r.output.find(R"("ap_pw":"abcd1234"})"), std::string::npos) << r.output;
  EXPECT_NE(r.output.find(R"("written":["Tab1","Wifi"])"), std::string::npos) << r.output;
  const std::string after = tqtest::ReadBytes(ini);
  for (const char* same : {"Tab2", "Tab3", "LCD", "Cloud"}) EXPECT_EQ(Section(after, same), Section(before, same)) << same;
  EXPECT_NE(after.find("TimeZone=-3\r\n"), std::string::npos);
  EXPECT_NE(after.find("ap_pw=" + tq::EncryptPassword("abcd1234") + "\r\n"), std::string::npos);

  tq::test::ToolResult get = tq::test::RunTqmb20("config " + Quote(root) + " --get Tab1.TimeZone", dir / "err");
  EXPECT_EQ(get.exitCode, 0);
  EXPECT_EQ(get.output, "-3\n");
  // The same values again change nothing and write nothing.
  tq::test::ToolResult again = tq::test::RunTqmb20("config " + Quote(root) + " --set Tab1.TimeZone=-3", dir / "err");
  EXPECT_EQ(again.exitCode, 0);
  EXPECT_EQ(again.output, "nothing changed\n");
  EXPECT_EQ(tqtest::ReadBytes(ini), after);
}

TEST(ConfigCommand, refusals_name_the_fault_and_write_nothing) {
  tqtest::TempDir dir;
  const std::string root = MakeCard(dir, tq::VersionBinText());
  const std::string ini = root + "/TQ-MB20/Config/config.ini";
  const std::string before = tqtest::ReadBytes(ini);
  tqtest::TempDir other;
  std::string unsupportedBin = tq::VersionBinText();
  unsupportedBin.replace(unsupportedBin.find("ZU TQ-MB20A"), 11, "ZU TQ-MB2");
  const std::string unsupported = MakeCard(other, unsupportedBin);
  struct Case {
    std::string args;
    int code;
    const char* error;
  } cases[] = {
      {"config " + Quote(root) + " --set Tab1.TimeZone=1 --set Tab1.NoSuchKey=1", 2, "unknown key 'Tab1.NoSuchKey'"},
      {"config " + Quote(root) + " --get Cloud.sta_pw", 2, "unknown key 'Cloud.sta_pw'"},
      {"config " + Quote(root) + " --set Tab1.TimeZone", 2, "SECTION.KEY=VALUE"},
      {"config " + Quote(root) + " --set Wifi.ap_pw=short", 1, "wifi_password_8_32_error"},
      {"config " + Quote(root) + " --set Wifi.ap_ssid=abc", 1, "cloud_ssid_is_wrong"},
      {"config " + Quote(root) + " --set Tab1.TimeZone=99", 1, "Tab1.TimeZone"},
      {"config " + Quote(unsupported), 1, "not supported"},
      {"config " + Quote(dir / "nowhere"), 1, "no such folder"},
      {"config", 2, "usage"},
  };
  for (const Case& c : cases) {
    tq::test::ToolResult r = tq::test::RunTqmb20(c.args, dir / "err");
    EXPECT_EQ(r.exitCode, c.code) << c.args;
    EXPECT_NE(r.errorOutput.find(c.error), std::string::npos) << c.args << ": " << r.errorOutput;
    EXPECT_EQ(tqtest::ReadBytes(ini), before) << c.args;
  }
}

}  // namespace
