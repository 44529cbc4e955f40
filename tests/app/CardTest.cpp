#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <string>
#include <vector>

#include "app/CameraIdentity.h"
#include "app/CardEvents.h"
#include "app/CardFixtures.h"
#include "app/CardScan.h"

namespace {

namespace fs = std::filesystem;
using tqtest::MakeFolderCard;
using tqtest::MakeSetupCfgCard;
using tqtest::SetupCfg;
using tqtest::TempDir;
using tqtest::VersionBin;

// Scans through the TQ_MB20_DRIVES override, as the demo card and the command line do.
std::vector<tq::CardDrive> ScanRoots(const std::vector<std::string>& roots, int* family) {
  std::string list;
  for (const auto& r : roots) list += (list.empty() ? "" : ":") + r;
  setenv("TQ_MB20_DRIVES", list.c_str(), 1);
  std::vector<tq::CardDrive> cards;
  tq::ScanCards(tq::SystemDriveProvider(), &cards, family);
  unsetenv("TQ_MB20_DRIVES");
  return cards;
}

TEST(CardScan, families_and_non_cards) {
  TempDir dir;
  struct Case {
    const char* name;
    std::string root;
    int family;
  };
  const Case cases[] = {
      {"camera folder", MakeFolderCard(dir / "a", nullptr), tq::kFamilyFolder},
      {"TQ4400K-1", MakeSetupCfgCard(dir / "b", SetupCfg("TQ4400K-1", 1, 0, 0, 0)), tq::kFamilySetupCfg},
      {"TQ310", MakeSetupCfgCard(dir / "c", SetupCfg("TQ310", 1, 0, 0, 0)), tq::kFamilySetupCfg},
      {"TQ44 is not a card", MakeSetupCfgCard(dir / "d", SetupCfg("TQ44", 1, 0, 0, 0)), tq::kFamilyNone},
      {"model cut before its prefix ends", MakeSetupCfgCard(dir / "e", "TQ440"), tq::kFamilyNone},
      {"prefix alone is enough to scan", MakeSetupCfgCard(dir / "f", "TQ310"), tq::kFamilySetupCfg},
      {"lower case model", MakeSetupCfgCard(dir / "g", SetupCfg("tq4400k", 1, 0, 0, 0)), tq::kFamilyNone},
      {"empty drive", (fs::create_directories(dir / "h"), dir / "h"), tq::kFamilyNone},
  };
  for (const auto& c : cases) EXPECT_EQ(tq::CardFamilyOf(c.root), c.family) << c.name;

  // The scan keeps the drive order and takes the family from the first card.
  int family = tq::kFamilyNone;
  auto cards = ScanRoots({cases[7].root, cases[1].root, cases[3].root, cases[0].root}, &family);
  ASSERT_EQ(cards.size(), 2u);
  EXPECT_EQ(cards[0].root, cases[1].root);
  EXPECT_EQ(cards[0].label, "b");
  EXPECT_EQ(cards[1].root, cases[0].root);
  EXPECT_EQ(family, tq::kFamilySetupCfg);

  // A family already known is not replaced by a later scan.
  family = tq::kFamilyFolder;
  ScanRoots({cases[1].root}, &family);
  EXPECT_EQ(family, tq::kFamilyFolder);
  EXPECT_TRUE(ScanRoots({cases[3].root, dir / "missing"}, &family).empty());
}

TEST(CameraIdentity, version_bin_parts_and_model_cut) {
  TempDir dir;
  struct Case {
    const char* modelValue;
    const char* model;
  } cases[] = {
      {"XTQ-MB20A", "TQ-MB20"},
      {"ZU TQ-MB20A", "TQ-MB20"},
      {"ZU TQ-MB20 A", "Q-MB20 "},       // the rule counts from the end, blanks included
      {"TQ-MB20A", "TQ-MB20"},          // exactly eight characters
      {"Q-MB20A", ""},                  // shorter than eight: no model
      {"", ""},
      {"ABCDEFGHIJKLMNOPQRS", "GHIJKLM"},  // read cut to 14 characters first
  };
  int n = 0;
  for (const auto& c : cases) {
    std::string root = MakeFolderCard(dir / ("card" + std::to_string(n++)), VersionBin(c.modelValue, "1.005123", "Vietnam"));
    tq::CameraIdentity id;
    ASSERT_TRUE(tq::ReadIdentity(root, tq::kIdAll, &id)) << c.modelValue;
    EXPECT_EQ(id.model, c.model) << c.modelValue;
    EXPECT_EQ(id.firmware, "1.0051");  // at most six characters
    EXPECT_EQ(id.language, "Vietnam");
    EXPECT_EQ(id.option, "K1");
  }
  EXPECT_EQ(tq::ModelFromVersionValue("\xE2\x80\x94TQ-MB20A"), "TQ-MB20");  // a wide first character

  // Only the asked parts are filled; missing keys give empty texts.
  std::string sparse = MakeFolderCard(dir / "sparse", "[firmware]\nmodel=XTQ-MB21A\n");
  tq::CameraIdentity id;
  id.firmware = "untouched";
  ASSERT_TRUE(tq::ReadIdentity(sparse, tq::kIdModel | tq::kIdOption, &id));
  EXPECT_EQ(id.firmware, "untouched");
  EXPECT_EQ(id.model, "TQ-MB21");
  EXPECT_EQ(id.option, "");
}

TEST(CameraIdentity, setup_cfg_record_and_unsafe_model_text) {
  TempDir dir;
  tq::CameraIdentity id;
  std::string root = MakeSetupCfgCard(dir / "a", SetupCfg("TQ4400K-1", 2, 10, 7, 3));
  ASSERT_TRUE(tq::ReadIdentity(root, tq::kIdAll, &id));
  EXPECT_EQ(id.firmware, "2.10.7");
  EXPECT_EQ(id.model, "TQ4400K-1");
  EXPECT_EQ(id.language, "Japan");
  EXPECT_EQ(id.option, "");

  // 32 model bytes with no terminating zero: cut at 15 characters, nothing read beyond.
  std::string noZero = MakeSetupCfgCard(dir / "b", SetupCfg(std::string("TQ310") + std::string(27, 'Z'), -1, 0, 123456, 9));
  tq::CameraIdentity id2;
  ASSERT_TRUE(tq::ReadIdentity(noZero, tq::kIdAll, &id2));
  EXPECT_EQ(id2.model, "TQ310ZZZZZZZZZZ");
  EXPECT_EQ(id2.firmware, "-1.0.12");  // at most seven characters
  EXPECT_EQ(id2.language, "");         // index out of the table

  // Non-ASCII model bytes come out as valid UTF-8.
  std::string latin = MakeSetupCfgCard(dir / "c", SetupCfg("TQ310\xE9", 1, 0, 0, 0));
  tq::CameraIdentity id3;
  ASSERT_TRUE(tq::ReadIdentity(latin, tq::kIdModel, &id3));
  EXPECT_EQ(id3.model, "TQ310\xC3\xA9");

  // Records too short for the version and language, unknown models, no files: no identity.
  EXPECT_FALSE(tq::ReadIdentity(MakeSetupCfgCard(dir / "d", SetupCfg("TQ4400K", 1, 2, 3, 0, 40)), tq::kIdAll, &id));
  EXPECT_FALSE(tq::ReadIdentity(MakeSetupCfgCard(dir / "e", SetupCfg("TQ44", 1, 2, 3, 0)), tq::kIdAll, &id));
  fs::create_directories(dir / "f");
  EXPECT_FALSE(tq::ReadIdentity(dir / "f", tq::kIdAll, &id));
  // A first-family card without its Config folder has no identity, though it is a card.
  std::string noConfig = MakeFolderCard(dir / "g", nullptr);
  EXPECT_FALSE(tq::ReadIdentity(noConfig, tq::kIdAll, &id));
}

TEST(CameraIdentity, card_selector_text_and_setup_button) {
  TempDir dir;
  std::string supported = MakeFolderCard(dir / "CAM1", VersionBin("XTQ-MB20A"));
  std::string other = MakeFolderCard(dir / "CAM2", VersionBin("XTQ-MX20A"));
  std::string noConfig = MakeFolderCard(dir / "CAM3", nullptr);
  std::string second = MakeSetupCfgCard(dir / "CAM4", SetupCfg("TQ4400K-1", 1, 0, 0, 0));
  struct Case {
    tq::CardDrive card;
    const char* text;
    bool setup;
  } cases[] = {
      {{supported, "CAM1", 0}, "CAM1 TQ-MB20", true},
      {{other, "CAM2", 0}, "CAM2 NONE", false},
      {{noConfig, "CAM3", 0}, "CAM3 NONE", false},
      {{second, "CAM4", 1}, "CAM4 NONE", false},
  };
  for (const auto& c : cases) {
    tq::CardSelectorView v = tq::CardSelectorForCard(&c.card);
    EXPECT_EQ(v.text, c.text);
    EXPECT_EQ(v.setupEnabled, c.setup) << c.text;
    EXPECT_TRUE(v.selectorEnabled);
  }
  std::vector<tq::CardDrive> menuCards;
  for (const auto& c : cases) menuCards.push_back(c.card);
  EXPECT_EQ(tq::CardMenuTexts(menuCards),
            (std::vector<std::string>{"CAM1 TQ-MB20", "CAM2 NONE", "CAM3 NONE", "CAM4 NONE"}));
  tq::CardSelectorView none = tq::CardSelectorForCard(nullptr);
  EXPECT_EQ(none.text, "NO SDCard");
  EXPECT_FALSE(none.selectorEnabled);
  EXPECT_FALSE(none.setupEnabled);
}

TEST(CameraIdentity, settings_dialog_identity_conversions) {
  struct Version {
    const char* text;
    int number;
  } versions[] = {{"1.005", 1005}, {"2.1.3", 2001}, {"3", 3000}, {"", 0}, {"1.", 1000}, {" 1.02x", 1002}};
  for (const auto& v : versions) EXPECT_EQ(tq::VersionNumber(v.text), v.number) << v.text;

  struct Lang {
    const char* camera;
    const char* ui;
  } langs[] = {{"Idn", "indonesian"}, {"Vietnam", "vietnamese"}, {"English", "english"}, {"Japan", "japan"},
               {"China", "china"},    {"russian", "russian"},     {"", ""}};
  for (const auto& l : langs) EXPECT_EQ(tq::UiLanguageFromCamera(l.camera), l.ui) << l.camera;
  struct Back {
    const char* ui;
    const char* camera;
  } backs[] = {{"indonesian", "Idn"}, {"vietnamese", "Vietnam"}, {"english", "English"}, {"Korea", "Korea"},
               {"abcdefghijklmnop", "Abcdefghijklm"}};  // at most 13 bytes
  for (const auto& b : backs) EXPECT_EQ(tq::CameraLanguageFromUi(b.ui), b.camera) << b.ui;

  TempDir dir;
  std::string root = MakeFolderCard(dir / "c", VersionBin("ZU TQ-MB20 A", "1.005", "Idn"));
  tq::SettingsIdentity id;
  ASSERT_TRUE(tq::ReadSettingsIdentity(root, &id));
  EXPECT_EQ(id.firmwareNumber, 1005);
  EXPECT_EQ(id.configNumber, 1002);
  EXPECT_EQ(id.model, "ZU TQ-MB20 A");
  EXPECT_EQ(id.language, "indonesian");
  EXPECT_EQ(id.option, "sg");
  EXPECT_EQ(id.region, 2);
  EXPECT_FALSE(tq::ReadSettingsIdentity("", &id));
  EXPECT_FALSE(tq::ReadSettingsIdentity(MakeFolderCard(dir / "n", nullptr), &id));
}

TEST(CameraIdentity, camera_language_write_keeps_the_rest_of_version_bin) {
  TempDir dir;
  std::string before = VersionBin("XTQ-MB20A", "1.005", "English");
  std::string root = MakeFolderCard(dir / "c", before.c_str());
  ASSERT_TRUE(tq::WriteCameraLanguage(root, "vietnamese"));
  std::string after = tqtest::ReadBytes(root + "/TQ-MB20/Config/version.bin");
  std::string expected = before;
  expected.replace(expected.find("English"), 7, " Vietnam");
  EXPECT_EQ(after, expected);
  tq::CameraIdentity id;
  ASSERT_TRUE(tq::ReadIdentity(root, tq::kIdLanguage, &id));
  EXPECT_EQ(id.language, "Vietnam");
  EXPECT_FALSE(tq::WriteCameraLanguage("", "english"));
}

// Device-event decisions. Cards E and F (first family) and G (second family).
class CardEvents : public testing::Test {
 protected:
  tq::CardDrive E{"/media/E", "E", tq::kFamilyFolder};
  tq::CardDrive F{"/media/F", "F", tq::kFamilyFolder};
  tq::CardDrive G{"/media/G", "G", tq::kFamilySetupCfg};
  const std::string pcFolder = "/home/u/clips";
  const std::string filepath = "/home/u/Videos/Videos";
  std::string RecordOf(const tq::CardDrive& c) { return c.root + "/TQ-MB20/Record"; }
};

TEST_F(CardEvents, arrival_keeps_a_browsed_card_and_switches_from_a_pc_folder) {
  struct Case {
    const char* name;
    std::vector<tq::CardDrive> before, after;
    std::string current, browse;
    int kind;
    std::string newCurrent;
    int lParam;
  } cases[] = {
      {"card browsed: list grows, nothing else", {E}, {E, F}, E.root, RecordOf(E), 0, E.root, 0},
      {"pc folder browsed: new card becomes current", {}, {E}, "", pcFolder, 2, E.root, 0},
      {"pc folder, card inserted before the others", {F}, {E, F}, F.root, pcFolder, 2, E.root, 0},
      {"pc folder, second family card arrives", {E}, {E, G}, E.root, pcFolder, 2, G.root, 1},
      {"no card after the rescan", {}, {}, "", pcFolder, 0, "", 0},
      {"same cards as before", {E}, {E}, E.root, pcFolder, 0, E.root, 0},
      {"browse folder is a card root (second family)", {G}, {G, E}, G.root, G.root, 0, G.root, 0},
  };
  for (const auto& c : cases) {
    tq::CardEventResult r = tq::DecideCardArrival(c.before, c.after, c.current, c.browse);
    EXPECT_EQ(r.kind, c.kind) << c.name;
    EXPECT_EQ(r.currentCard, c.newCurrent) << c.name;
    if (c.kind) {
      EXPECT_EQ(r.lParam, c.lParam) << c.name;
    }
    EXPECT_EQ(r.browseFolder, c.browse) << c.name << ": the view changes the folder, not the event";
  }
}

TEST_F(CardEvents, removal_switches_to_the_first_remaining_card_or_back_to_filepath) {
  struct Case {
    const char* name;
    std::vector<tq::CardDrive> before, after;
    std::string current, browse;
    int kind;
    std::string newCurrent, newBrowse;
  } cases[] = {
      {"other card removed", {E, F}, {E}, E.root, RecordOf(E), 3, E.root, RecordOf(E)},
      {"browsed card removed, another remains", {E, F}, {F}, E.root, RecordOf(E), 2, F.root, RecordOf(E)},
      {"current card gone while a pc folder is browsed", {E, F}, {F}, E.root, pcFolder, 3, F.root, pcFolder},
      {"last card removed while browsed", {E}, {}, E.root, RecordOf(E), 2, "", filepath},
      {"last card removed while a pc folder is browsed", {E}, {}, E.root, pcFolder, 3, "", pcFolder},
      {"a folder beside the card root is not on the card", {E}, {}, E.root, "/media/Extra/x", 3, "", "/media/Extra/x"},
  };
  for (const auto& c : cases) {
    tq::CardEventResult r = tq::DecideCardRemoval(c.before, c.after, c.current, c.browse, filepath);
    EXPECT_EQ(r.kind, c.kind) << c.name;
    EXPECT_EQ(r.currentCard, c.newCurrent) << c.name;
    EXPECT_EQ(r.browseFolder, c.newBrowse) << c.name;
  }
}

TEST_F(CardEvents, picks_and_the_view_reload_rule) {
  std::vector<tq::CardDrive> cards = {E, F};
  // Start: E browsed. Pick F: kind 2, F current; the view reloads from F's Record folder.
  tq::CardEventResult pick = tq::DecideCardPick(cards, 1, E.root, RecordOf(E), true);
  EXPECT_EQ(pick.kind, tq::kCardBrowsedChanged);
  EXPECT_EQ(pick.currentCard, F.root);
  EXPECT_EQ(pick.lParam, 0);
  tq::CardChangedAction a = tq::DecideCardChanged(pick.kind, pick.lParam, pick.currentCard, RecordOf(E));
  EXPECT_TRUE(a.reload);
  EXPECT_EQ(a.browseFolder, RecordOf(F));
  EXPECT_TRUE(a.refreshSelector);
  EXPECT_TRUE(a.closeAbout);

  // Pick E while E is browsed: kind 1 and the view does nothing.
  pick = tq::DecideCardPick(cards, 0, E.root, RecordOf(E), true);
  EXPECT_EQ(pick.kind, tq::kCardPicked);
  a = tq::DecideCardChanged(pick.kind, pick.lParam, pick.currentCard, RecordOf(E));
  EXPECT_FALSE(a.reload);
  EXPECT_EQ(a.browseFolder, RecordOf(E));

  // Pick the current card while a PC folder is browsed: kind 1 reloads the card.
  a = tq::DecideCardChanged(tq::kCardPicked, 0, E.root, pcFolder);
  EXPECT_TRUE(a.reload);
  EXPECT_EQ(a.browseFolder, RecordOf(E));
  EXPECT_FALSE(a.refreshSelector);

  // A card without a Record folder is browsed at its root.
  pick = tq::DecideCardPick({E, G}, 1, E.root, RecordOf(E), false);
  EXPECT_EQ(pick.lParam, 1);
  EXPECT_EQ(tq::DecideCardChanged(pick.kind, pick.lParam, pick.currentCard, RecordOf(E)).browseFolder, G.root);

  // Out-of-range pick: nothing.
  EXPECT_EQ(tq::DecideCardPick(cards, 2, E.root, RecordOf(E), true).kind, tq::kCardNothing);

  // Kind 3 refreshes only; kind 0 does nothing; kind 2 without a card reloads the folder.
  a = tq::DecideCardChanged(tq::kCardSetChanged, 0, E.root, RecordOf(E));
  EXPECT_FALSE(a.reload);
  EXPECT_TRUE(a.refreshSelector);
  EXPECT_TRUE(a.closeAbout);
  a = tq::DecideCardChanged(tq::kCardNothing, 0, E.root, RecordOf(E));
  EXPECT_FALSE(a.reload || a.refreshSelector || a.closeAbout);
  a = tq::DecideCardChanged(tq::kCardBrowsedChanged, 0, "", filepath);
  EXPECT_TRUE(a.reload);
  EXPECT_EQ(a.browseFolder, filepath);
}

}  // namespace

TEST_F(CardEvents, rescan_after_a_format) {
  const std::string pcFolder = "/home/u/Videos";
  struct Case {
    const char* name;
    std::vector<tq::CardDrive> after;
    std::string formatted, current, browse;
    int kind;
    std::string newCurrent, newBrowse;
  } cases[] = {
      {"browsed card formatted, none left", {}, E.root, E.root, RecordOf(E), 1, "", ""},
      {"browsed card formatted, another left", {F}, E.root, E.root, RecordOf(E), 1, F.root, RecordOf(E)},
      {"other card formatted, the browsed one stays", {E}, F.root, E.root, RecordOf(E), 0, E.root, RecordOf(E)},
      {"other drive formatted, no card at all", {}, F.root, E.root, pcFolder, 1, "", ""},
  };
  for (const auto& c : cases) {
    tq::CardEventResult r =
        tq::DecideAfterFormat(c.after, c.after.empty() ? tq::kFamilyNone : tq::kFamilyFolder, c.formatted,
                              c.current, c.browse);
    EXPECT_EQ(r.kind, c.kind) << c.name;
    EXPECT_EQ(r.currentCard, c.newCurrent) << c.name;
    EXPECT_EQ(r.browseFolder, c.newBrowse) << c.name;
    if (r.kind == 0) continue;
    // The view then reloads: the first card left, or the empty folder (an empty list).
    tq::CardChangedAction a = tq::DecideCardChanged(r.kind, r.lParam, r.currentCard, r.browseFolder);
    EXPECT_TRUE(a.reload) << c.name;
    EXPECT_EQ(a.browseFolder, c.after.empty() ? "" : RecordOf(c.after.front())) << c.name;
  }
}
