#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "platform/Files.h"
#include "platform/ProfileFile.h"
#include "platform/TempDir.h"
#include "platform/Utf.h"

namespace {

using tq::ProfileFile;
using tqtest::ReadBytes;
using tqtest::TempDir;
using tqtest::WriteBytes;

std::string Utf16(const std::string& utf8) { return "\xFF\xFE" + tq::Utf8ToUtf16Le(utf8); }

struct ReadCase {
  const char* name;
  std::string file;
  const char* section;
  const char* key;
  const char* expected;  // nullptr: the default comes back
};

TEST(ProfileFile, reads_match_names_without_case_and_trim_values) {
  const std::string camera =
      "; written by the camera\r\n[firmware]\r\nversion = 1.005 \r\n  Model\t=\tXTQ-MB20A\r\n"
      "language= English\r\n[local]\r\noption=\r\nregion = 3\r\n";
  const std::vector<ReadCase> cases = {
      {"crlf", camera, "firmware", "version", "1.005"},
      {"key case and tabs", camera, "FIRMWARE", "model", "XTQ-MB20A"},
      {"leading blank value", camera, "Firmware", "LANGUAGE", "English"},
      {"empty value is not missing", camera, "local", "option", ""},
      {"key of another section", camera, "local", "version", nullptr},
      {"missing section", camera, "config", "version", nullptr},
      {"comment is not a key", "[s]\n;k=1\n", "s", ";k", nullptr},
      {"lf only", "[s]\nk=v\n", "s", "k", "v"},
      {"no final line end", "[s]\nk=last", "s", "k", "last"},
      {"utf8 bom", "\xEF\xBB\xBF[s]\r\nk=\xE6\x97\xA5\xE6\x9C\xAC\r\n", "s", "k", "\xE6\x97\xA5\xE6\x9C\xAC"},
      {"utf16 bom", Utf16("[lable]\r\nsetup=\xEC\x84\xA4\xEC\xA0\x95\r\n"), "LABLE", "setup", "\xEC\x84\xA4\xEC\xA0\x95"},
      {"first of two sections wins", "[s]\nk=1\n[S]\nk=2\n", "s", "k", "1"},
      {"first of two keys wins", "[s]\nk=1\nK=2\n", "s", "k", "1"},
      {"quotes are dropped", "[s]\nk=\" a b \"\n", "s", "k", " a b "},
      {"unmatched quote stays", "[s]\nk=\"abc\n", "s", "k", "\"abc"},
      {"blanks inside brackets", "[ s ]\nk=1\n", "s", "k", "1"},
      {"key before any section", "k=1\n[s]\n", "s", "k", nullptr},
      {"line without equals", "[s]\nk\n", "s", "k", nullptr},
      {"value with equals", "[s]\nk=a=b\n", "s", "k", "a=b"},
      {"empty file", "", "s", "k", nullptr},
  };
  TempDir dir;
  for (const auto& c : cases) {
    std::string path = dir / "f.ini";
    WriteBytes(path, c.file);
    std::string got = ProfileFile(path).GetString(c.section, c.key, "<def>");
    EXPECT_EQ(got, c.expected ? c.expected : "<def>") << c.name;
  }
}

TEST(ProfileFile, max_chars_cuts_whole_characters) {
  TempDir dir;
  std::string path = dir / "f.ini";
  // "日本語" is three characters of three bytes each.
  WriteBytes(path, "[s]\nv=1.005.77\nj=\xE6\x97\xA5\xE6\x9C\xAC\xE8\xAA\x9E\n");
  ProfileFile f(path);
  EXPECT_EQ(f.GetString("s", "v", "", 6), "1.005.");
  EXPECT_EQ(f.GetString("s", "v", "", 0), "");
  EXPECT_EQ(f.GetString("s", "v", "", 8), "1.005.77");
  EXPECT_EQ(f.GetString("s", "v", "", 100), "1.005.77");
  EXPECT_EQ(f.GetString("s", "j", "", 2), "\xE6\x97\xA5\xE6\x9C\xAC");
  EXPECT_EQ(f.GetString("s", "missing", "default", 3), "def");
}

TEST(ProfileFile, missing_file_reads_default_and_int_rules_hold) {
  TempDir dir;
  ProfileFile missing(dir / "none.ini");
  EXPECT_EQ(missing.GetString("setup", "filepath", "x"), "x");
  EXPECT_EQ(missing.GetInt("setup", "video_pip", 1), 1);

  std::string path = dir / "n.ini";
  WriteBytes(path, "[s]\na=12\nb=-7x\nc=abc\nd=\ne= 99999999999\n");
  ProfileFile f(path);
  EXPECT_EQ(f.GetInt("s", "a", 5), 12);
  EXPECT_EQ(f.GetInt("s", "b", 5), -7);
  EXPECT_EQ(f.GetInt("s", "c", 5), 0);
  EXPECT_EQ(f.GetInt("s", "d", 5), 0);
  EXPECT_EQ(f.GetInt("s", "e", 5), 2147483647);
  EXPECT_EQ(f.GetInt("s", "z", 5), 5);
}

struct WriteCase {
  const char* name;
  std::string before;
  const char* section;
  const char* key;
  const char* value;
  std::string after;
};

TEST(ProfileFile, write_changes_only_the_one_value) {
  const std::vector<WriteCase> cases = {
      {"in place crlf",
       "; keep me\r\n[firmware]\r\nversion = 1.005 \r\nlanguage = English\r\n\r\n[local]\r\nregion=0\r\n",
       "FIRMWARE", "Language", " Japan",
       "; keep me\r\n[firmware]\r\nversion = 1.005 \r\nlanguage =  Japan\r\n\r\n[local]\r\nregion=0\r\n"},
      {"in place lf, unknown keys kept", "[Tab1]\nX=1\nTimeZone\t=\t9\t\nY=2\n", "tab1", "timezone", "-5",
       "[Tab1]\nX=1\nTimeZone\t=\t-5\t\nY=2\n"},
      {"empty value filled", "[s]\nk=\r\n", "s", "k", "v", "[s]\nk=v\r\n"},
      {"value emptied", "[s]\nk = v ;x\n", "s", "k", "", "[s]\nk = \n"},
      {"missing key at end of section before blank line",
       "[a]\r\nx=1\r\n\r\n[b]\r\ny=2\r\n", "a", "new", "3",
       "[a]\r\nx=1\r\nnew=3\r\n\r\n[b]\r\ny=2\r\n"},
      {"missing key in last section without line end", "[a]\nx=1", "a", "k", "v", "[a]\nx=1\nk=v\n"},
      {"missing key in empty section", "[a]\n[b]\n", "a", "k", "v", "[a]\nk=v\n[b]\n"},
      {"missing section appended", "[a]\r\nx=1\r\n", "setup", "filepath", "/m/v",
       "[a]\r\nx=1\r\n[setup]\r\nfilepath=/m/v\r\n"},
      {"missing section after text without line end", "[a]\nx=1", "b", "k", "v", "[a]\nx=1\n[b]\nk=v\n"},
      {"empty file", "", "setup", "video_pip", "0", "[setup]\r\nvideo_pip=0\r\n"},
      {"bom kept", "\xEF\xBB\xBF[s]\nk=1\n", "s", "k", "2", "\xEF\xBB\xBF[s]\nk=2\n"},
      {"utf16 kept", Utf16("[s]\r\nk=1\r\n; \xE6\x97\xA5\r\n"), "s", "k", "\xED\x95\x9C",
       Utf16("[s]\r\nk=\xED\x95\x9C\r\n; \xE6\x97\xA5\r\n")},
      {"quoted value replaced whole", "[s]\nk=\"old\"\n", "s", "k", "new", "[s]\nk=new\n"},
  };
  TempDir dir;
  for (const auto& c : cases) {
    std::string path = dir / "w.ini";
    WriteBytes(path, c.before);
    ASSERT_TRUE(ProfileFile(path).WriteString(c.section, c.key, c.value)) << c.name;
    EXPECT_EQ(ReadBytes(path), c.after) << c.name;
    std::string value = c.value;
    while (!value.empty() && value.front() == ' ') value.erase(0, 1);  // read back trimmed
    EXPECT_EQ(ProfileFile(path).GetString(c.section, c.key, "<def>"), value) << c.name;
  }
}

TEST(ProfileFile, write_refuses_what_would_break_the_file) {
  TempDir dir;
  std::string path = dir / "w.ini";
  const std::string before = "[s]\nk=1\n";
  WriteBytes(path, before);
  ProfileFile f(path);
  EXPECT_FALSE(f.WriteString("s", "k", "a\nb"));
  EXPECT_FALSE(f.WriteString("s", "k", "a\rb"));
  EXPECT_FALSE(f.WriteString("s", "a=b", "1"));
  EXPECT_FALSE(f.WriteString("s", "", "1"));
  EXPECT_FALSE(f.WriteString("s", "[x", "1"));
  EXPECT_FALSE(f.WriteString("s]", "k", "1"));
  EXPECT_EQ(ReadBytes(path), before);

  // A UTF-16 file with a lone surrogate reads, but is never rewritten with the damage.
  std::string broken = "\xFF\xFE" + tq::Utf8ToUtf16Le("[s]\r\nk=1\r\nx=") + std::string("\x00\xD8\r\x00\n\x00", 6);
  WriteBytes(path, broken);
  EXPECT_EQ(f.GetString("s", "k", ""), "1");
  EXPECT_FALSE(f.WriteString("s", "k", "2"));
  EXPECT_EQ(ReadBytes(path), broken);
}

TEST(ProfileFile, write_creates_a_missing_file_but_not_its_folder) {
  TempDir dir;
  ProfileFile fresh(dir / "setup.ini");
  ASSERT_TRUE(fresh.WriteString("setup", "exportpath", "/home/u/Out"));
  EXPECT_EQ(ReadBytes(fresh.path()), "[setup]\r\nexportpath=/home/u/Out\r\n");

  ProfileFile noFolder(dir / "missing/setup.ini");
  EXPECT_FALSE(noFolder.WriteString("setup", "k", "v"));
  EXPECT_FALSE(tq::FileExists(noFolder.path()));

  // A "folder" that is a file cannot hold a settings file, even for root.
  WriteBytes(dir / "plain", "x");
  EXPECT_FALSE(ProfileFile(dir / "plain/setup.ini").WriteString("setup", "k", "v"));
  EXPECT_EQ(ReadBytes(dir / "plain"), "x");
  // A folder where the file should be is not replaced either.
  ASSERT_EQ(::mkdir((dir / "isdir.ini").c_str(), 0755), 0);
  EXPECT_FALSE(ProfileFile(dir / "isdir.ini").WriteString("s", "k", "v"));
  EXPECT_TRUE(tq::IsDirectory(dir / "isdir.ini"));
}

TEST(ProfileFile, unwritable_file_fails_cleanly_and_keeps_its_bytes) {
  if (::geteuid() == 0) GTEST_SKIP() << "root ignores file permissions";
  TempDir dir;
  std::string path = dir / "ro.ini";
  WriteBytes(path, "[s]\nk=1\n");
  ASSERT_EQ(::chmod(path.c_str(), 0444), 0);
  EXPECT_FALSE(ProfileFile(path).WriteString("s", "k", "2"));
  EXPECT_EQ(ReadBytes(path), "[s]\nk=1\n");

  std::string roDir = dir / "rodir";
  ASSERT_EQ(::mkdir(roDir.c_str(), 0555), 0);
  EXPECT_FALSE(ProfileFile(roDir + "/new.ini").WriteString("s", "k", "1"));
}

TEST(ProfileFile, write_in_a_read_only_folder_rewrites_a_writable_file_in_place) {
  if (::geteuid() == 0) GTEST_SKIP() << "root ignores folder permissions";
  TempDir dir;
  std::string folder = dir / "card";
  ASSERT_EQ(::mkdir(folder.c_str(), 0755), 0);
  std::string path = folder + "/version.bin";
  WriteBytes(path, "[firmware]\r\nlanguage = English\r\n");
  ASSERT_EQ(::chmod(folder.c_str(), 0555), 0);
  EXPECT_TRUE(ProfileFile(path).WriteString("firmware", "language", " Japan"));
  EXPECT_EQ(ReadBytes(path), "[firmware]\r\nlanguage =  Japan\r\n");
  ::chmod(folder.c_str(), 0755);
}

TEST(Utf, utf16_round_trip_and_prefix_boundaries) {
  const std::string text = "a\xC3\xA9\xE6\x97\xA5\xF0\x9F\x98\x80z";  // a é 日 😀 z
  bool ok = false;
  std::string units = tq::Utf8ToUtf16Le(text, &ok);
  EXPECT_TRUE(ok);
  EXPECT_EQ(units.size(), 2u * 6);  // the emoji takes a surrogate pair
  EXPECT_EQ(tq::Utf16LeToUtf8(units, &ok), text);
  EXPECT_TRUE(ok);
  tq::Utf16LeToUtf8(units + "x", &ok);
  EXPECT_FALSE(ok);
  tq::Utf8ToUtf16Le("\xC3", &ok);
  EXPECT_FALSE(ok);

  EXPECT_EQ(tq::Utf8Prefix(text, 3), "a\xC3\xA9\xE6\x97\xA5");
  EXPECT_EQ(tq::Utf8PrefixBytes(text, 5), "a\xC3\xA9");      // 日 would need bytes 4..6
  EXPECT_EQ(tq::Utf8PrefixBytes(text, 6), "a\xC3\xA9\xE6\x97\xA5");
  EXPECT_EQ(tq::Utf8PrefixBytes(text, 9), "a\xC3\xA9\xE6\x97\xA5");
  EXPECT_EQ(tq::Utf8PrefixBytes("\xFF\xFE", 1), "\xFF");     // invalid bytes count one each

  EXPECT_EQ(tq::Utf8DropCutTail("ab\xE6\x97"), "ab");
  EXPECT_EQ(tq::Utf8DropCutTail("ab\xE6"), "ab");
  EXPECT_EQ(tq::Utf8DropCutTail("ab\xE6\x97\xA5"), "ab\xE6\x97\xA5");
  EXPECT_EQ(tq::Utf8DropCutTail("ab\xF0\x9F\x98"), "ab");
  EXPECT_EQ(tq::Utf8DropCutTail("ab\xC3\xA9"), "ab\xC3\xA9");
  EXPECT_EQ(tq::Utf8DropCutTail("\x80\x80\x80\x80"), "\x80\x80\x80\x80");  // stray bytes stay
  EXPECT_EQ(tq::Utf8DropCutTail(""), "");
}

}  // namespace

namespace {

// Where no temporary file can be made beside the file (here its name is taken by a
// folder, which even root cannot open for writing), the file is rewritten in place.
TEST(ProfileFile, write_falls_back_to_rewriting_in_place) {
  TempDir dir;
  std::string path = dir / "version.bin";
  WriteBytes(path, "[firmware]\r\nlanguage = English\r\n");
  ASSERT_EQ(::mkdir((path + ".tqnew").c_str(), 0755), 0);
  EXPECT_TRUE(ProfileFile(path).WriteString("firmware", "language", " Japan"));
  EXPECT_EQ(ReadBytes(path), "[firmware]\r\nlanguage =  Japan\r\n");
  EXPECT_TRUE(tq::IsDirectory(path + ".tqnew"));
}

// A settings file that is a link stays a link; the file it points at is changed.
TEST(ProfileFile, write_through_a_link_keeps_the_link) {
  TempDir dir;
  std::string target = dir / "real.ini";
  WriteBytes(target, "[s]\nk=1\n");
  ASSERT_EQ(::symlink(target.c_str(), (dir / "link.ini").c_str()), 0);
  ASSERT_TRUE(ProfileFile(dir / "link.ini").WriteString("s", "k", "2"));
  struct stat st;
  ASSERT_EQ(::lstat((dir / "link.ini").c_str(), &st), 0);
  EXPECT_TRUE(S_ISLNK(st.st_mode));
  EXPECT_EQ(ReadBytes(target), "[s]\nk=2\n");
}

// The replacement keeps the file's permission bits.
TEST(ProfileFile, write_keeps_the_permission_bits) {
  TempDir dir;
  std::string path = dir / "setup.ini";
  WriteBytes(path, "[setup]\n");
  ASSERT_EQ(::chmod(path.c_str(), 0640), 0);
  ASSERT_TRUE(ProfileFile(path).WriteString("setup", "k", "v"));
  struct stat st;
  ASSERT_EQ(::stat(path.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0640u);
  EXPECT_FALSE(tq::FileExists(path + ".tqnew"));
}

}  // namespace
