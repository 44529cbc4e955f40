#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "app/AppSettings.h"
#include "app/AppVersion.h"
#include "app/CardFixtures.h"
#include "app/LocalizedText.h"
#include "app/TraceLog.h"
#include "platform/Files.h"

namespace {

namespace fs = std::filesystem;
using tqtest::ReadBytes;
using tqtest::TempDir;
using tqtest::WriteBytes;

TEST(AppVersion, first_and_third_numbers_make_the_version_string) {
  struct Case {
    const char* fileVersion;
    const char* expected;
  } cases[] = {
      {"1.0.2.0", "1.02"}, {"2.3.15.0", "2.15"}, {"1.9.100.4", "1.100"}, {"1.0.2", "1.00"},
      {"", "1.00"},        {"a.b.c.d", "1.00"},  {"0.0.0.0", "0.00"},
  };
  for (const auto& c : cases) EXPECT_EQ(tq::VersionStringFromFileVersion(c.fileVersion), c.expected) << c.fileVersion;
  EXPECT_EQ(tq::ProgramVersionString(), "1.02");  // the build is 1.0.2.0
}

TEST(AppVersion, ui_scale_doubles_from_1440_pixels) {
  EXPECT_EQ(tq::UiScaleForScreenHeight(1439), 1);
  EXPECT_EQ(tq::UiScaleForScreenHeight(1440), 2);
  EXPECT_EQ(tq::UiScaleForScreenHeight(2160), 2);
  EXPECT_EQ(tq::UiScaleForScreenHeight(0), 1);
}

// A user home with documents and videos folders, a program folder with the language
// files, and a set of drives.
class Startup : public testing::Test {
 protected:
  void SetUp() override {
    fs::create_directories(dir_ / "home/Documents");
    fs::create_directories(dir_ / "home/Videos");
    fs::create_directories(dir_ / "prog/lng");
    WriteBytes(dir_ / "prog/lng/japan.dat", "[lable]\nsetup=\xE8\xA8\xAD\xE5\xAE\x9A\n");
    WriteBytes(dir_ / "prog/lng/english.dat", "[lable]\nsetup=Settings\n");
    env_.folders = {dir_ / "home/Documents", dir_ / "home/Videos", dir_ / "home/Pictures"};
    env_.programFolder = dir_ / "prog";
    env_.screenHeight = 1080;
    env_.versionString = "1.02";
  }
  void TearDown() override { tq::SetTraceFile(""); }

  std::string SetupIni() const { return dir_ / "home/Documents/TQ-MB20/setup.ini"; }
  void Resolve(const std::vector<tq::DriveInfo>& drives) {
    provider_ = std::make_unique<tq::FixedDriveProvider>(drives);
    env_.drives = provider_.get();
    tq::ResolveStartup(env_, &state_);
  }
  static tq::DriveInfo Drive(const std::string& root) { return {root, tq::LastPathComponent(root), 0, "", ""}; }

  TempDir dir_;
  tq::StartupEnvironment env_;
  std::unique_ptr<tq::FixedDriveProvider> provider_;
  tq::AppState state_;
};

TEST_F(Startup, no_card_and_no_settings_lists_videos_inside_the_video_folder) {
  Resolve({});
  EXPECT_EQ(state_.settingsFolder, dir_ / "home/Documents/TQ-MB20/");
  EXPECT_TRUE(tq::IsDirectory(state_.settingsFolder));
  EXPECT_EQ(state_.browseFolder, dir_ / "home/Videos/Videos");
  EXPECT_EQ(state_.exportFolder, dir_ / "home/Videos/Videos");
  EXPECT_EQ(state_.videoPip, 1);
  EXPECT_EQ(state_.languageName, "japan");
  EXPECT_EQ(state_.languageFile, dir_ / "prog/lng/japan.dat");
  EXPECT_EQ(tq::LocalizedText(tq::kTextLable, "setup"), "\xE8\xA8\xAD\xE5\xAE\x9A");
  EXPECT_EQ(state_.cardFamily, tq::kFamilyNone);
  EXPECT_TRUE(state_.currentCard.empty());
  // Start-up reads settings; it writes none.
  EXPECT_FALSE(tq::FileExists(SetupIni()));
  EXPECT_EQ(ReadBytes(state_.traceFile), "Version : 1.02\n");
}

TEST_F(Startup, card_with_camera_folder_is_listed_at_its_record_folder_whatever_filepath_says) {
  fs::create_directories(dir_ / "home/Documents/TQ-MB20");
  WriteBytes(SetupIni(), "[setup]\r\nfilepath=/somewhere/else\r\n");
  std::string plain = dir_ / "usb";
  fs::create_directories(plain);
  std::string card = tqtest::MakeFolderCard(dir_ / "E", nullptr);
  Resolve({Drive(plain), Drive(card)});
  ASSERT_EQ(state_.cards.size(), 1u);
  EXPECT_EQ(state_.currentCard, card);
  EXPECT_EQ(state_.cardFamily, tq::kFamilyFolder);
  EXPECT_EQ(state_.browseFolder, card + "/TQ-MB20/Record");
}

TEST_F(Startup, second_family_card_is_listed_at_its_root_and_decides_the_family) {
  std::string second = tqtest::MakeSetupCfgCard(dir_ / "E", tqtest::SetupCfg("TQ4400K-1", 1, 2, 3, 0));
  std::string first = tqtest::MakeFolderCard(dir_ / "F", nullptr);
  Resolve({Drive(second), Drive(first)});
  ASSERT_EQ(state_.cards.size(), 2u);
  EXPECT_EQ(state_.cardFamily, tq::kFamilySetupCfg);
  EXPECT_EQ(state_.browseFolder, second);
}

TEST_F(Startup, settings_resolve_with_their_defaults) {
  struct Case {
    const char* name;
    const char* ini;
    std::string browse, exportFolder;
    int pip;
  };
  std::string videos = dir_ / "home/Videos/Videos";
  const Case cases[] = {
      {"exportpath empty, movepath set", "[setup]\nmovepath=/d/Out\nexportpath=\n", "/d/Out", "/d/Out", 1},
      {"both empty", "[setup]\nmovepath=\nexportpath=\n", videos, videos, 1},
      {"exportpath set", "[SETUP]\nExportPath = /e/Exp \nmovepath=/d/Out\n", "/d/Out", "/e/Exp", 1},
      {"filepath only", "[setup]\nfilepath=/f/List\nvideo_pip=0\n", "/f/List", videos, 0},
  };
  fs::create_directories(dir_ / "home/Documents/TQ-MB20");
  for (const auto& c : cases) {
    WriteBytes(SetupIni(), c.ini);
    tq::AppState s;
    env_.drives = nullptr;
    tq::ResolveStartup(env_, &s);
    // With no card the "filepath" folder is listed; "movepath" only fills the slot first.
    std::string expectedBrowse = std::string(c.ini).find("filepath") != std::string::npos ? c.browse : videos;
    EXPECT_EQ(s.browseFolder, expectedBrowse) << c.name;
    EXPECT_EQ(s.exportFolder, c.exportFolder) << c.name;
    EXPECT_EQ(s.videoPip, c.pip) << c.name;
    EXPECT_EQ(ReadBytes(SetupIni()), c.ini) << c.name << ": start-up must not write";
  }
}

TEST_F(Startup, scratch_files_are_deleted_and_trace_file_restarted) {
  std::string folder = dir_ / "home/Documents/TQ-MB20";
  fs::create_directories(folder);
  WriteBytes(folder + "/playfile.dat", "left over");
  WriteBytes(folder + "/stepfile.dat", "left over");
  WriteBytes(folder + "/trace_sd.txt", "old trace\n");
  WriteBytes(folder + "/other.dat", "keep");
  Resolve({});
  EXPECT_FALSE(tq::FileExists(folder + "/playfile.dat"));
  EXPECT_FALSE(tq::FileExists(folder + "/stepfile.dat"));
  EXPECT_EQ(ReadBytes(folder + "/other.dat"), "keep");
  EXPECT_EQ(ReadBytes(folder + "/trace_sd.txt"), "Version : 1.02\n");
}

TEST_F(Startup, a_missing_documents_folder_is_made_but_not_the_folders_above_it) {
  env_.folders.documents = dir_ / "home/Fresh";
  Resolve({});
  EXPECT_TRUE(tq::IsDirectory(state_.settingsFolder));
  EXPECT_TRUE(tq::FileExists(state_.traceFile));
}

TEST_F(Startup, settings_folder_is_created_one_level_only) {
  env_.folders.documents = dir_ / "home/NoSuch/Documents";
  Resolve({});
  EXPECT_FALSE(tq::IsDirectory(state_.settingsFolder));
  // The program runs on with defaults; writes fail without harm.
  EXPECT_EQ(state_.browseFolder, dir_ / "home/Videos/Videos");
  EXPECT_FALSE(tq::WriteFilePathSetting(&state_, "/x"));
}

TEST_F(Startup, writers_touch_only_their_key) {
  fs::create_directories(dir_ / "home/Documents/TQ-MB20");
  WriteBytes(SetupIni(), "; mine\r\n[setup]\r\nmovepath = /d/Out\r\nvideo_pip = 1\r\n");
  Resolve({});
  ASSERT_TRUE(tq::WriteExportPathSetting(&state_, "/e/New"));
  EXPECT_TRUE(tq::WriteVideoPipSetting(&state_, 1));  // unchanged: nothing written
  EXPECT_EQ(ReadBytes(SetupIni()), "; mine\r\n[setup]\r\nmovepath = /d/Out\r\nvideo_pip = 1\r\nexportpath=/e/New\r\n");
  ASSERT_TRUE(tq::WriteVideoPipSetting(&state_, 0));
  ASSERT_TRUE(tq::WriteFilePathSetting(&state_, "/f/Chosen"));
  EXPECT_EQ(ReadBytes(SetupIni()),
            "; mine\r\n[setup]\r\nmovepath = /d/Out\r\nvideo_pip = 0\r\nexportpath=/e/New\r\nfilepath=/f/Chosen\r\n");
  EXPECT_EQ(tq::ReadFilePathSetting(state_), "/f/Chosen");
  EXPECT_EQ(state_.exportFolder, "/e/New");
}

TEST_F(Startup, language_comes_from_the_command_line_or_setup_and_only_when_installed) {
  fs::create_directories(dir_ / "home/Documents/TQ-MB20");
  struct Case {
    const char* override;
    const char* ini;
    const char* expected;
  } cases[] = {
      {"english", "", "english"},
      {"", "[setup]\nlanguage=english\n", "english"},
      {"korea", "[setup]\nlanguage=english\n", "english"},   // no korea.dat in this program folder
      {"../../etc/passwd", "", "japan"},                     // not a language name
      {"", "[setup]\nlanguage=german\n", "japan"},
  };
  for (const auto& c : cases) {
    WriteBytes(SetupIni(), c.ini);
    env_.languageOverride = c.override;
    tq::AppState s;
    tq::ResolveStartup(env_, &s);
    EXPECT_EQ(s.languageName, c.expected) << c.override << " / " << c.ini;
  }
}

}  // namespace
