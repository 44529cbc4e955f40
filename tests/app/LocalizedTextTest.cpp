#include <gtest/gtest.h>

#include <string>

#include "app/LocalizedText.h"
#include "app/TextKeys.h"
#include "app/UiFonts.h"
#include "platform/TempDir.h"
#include "platform/Utf.h"

namespace {

using tqtest::TempDir;
using tqtest::WriteBytes;

std::string ShippedFile(const char* language) {
  return std::string(TQ_SOURCE_DIR) + "/resources/lng/" + language + ".dat";
}

// Every key the program asks for is in every shipped language file, in its section, with
// a non-empty value; line breaks are the only escapes, and the file is valid UTF-8.
TEST(LanguageFiles, every_key_the_program_asks_for_is_shipped) {
  for (const char* language : {"japan", "english", "korea"}) {
    std::string bytes = tqtest::ReadBytes(ShippedFile(language));
    ASSERT_FALSE(bytes.empty()) << language;
    bool valid = false;
    tq::Utf8ToUtf16Le(bytes, &valid);
    EXPECT_TRUE(valid) << language << ": not UTF-8";
    tq::LanguageFile file(ShippedFile(language));
    for (const tq::TextKeyList& list : tq::kAllTextKeys) {
      for (size_t i = 0; i < list.count; ++i) {
        const char* key = list.keys[i];
        EXPECT_TRUE(file.Has(list.section, key))
            << language << ": [" << tq::kTextSectionNames[list.section] << "] " << key << " missing";
        EXPECT_FALSE(file.Text(list.section, key).empty()) << language << ": " << key << " empty";
      }
    }
  }
}

// The translations differ from the English where they should: a file copied from another
// language would pass the key check above.
TEST(LanguageFiles, translations_are_in_their_language) {
  tq::LanguageFile en(ShippedFile("english")), ja(ShippedFile("japan")), ko(ShippedFile("korea"));
  EXPECT_EQ(en.Text(tq::kTextTooltip, "format_start"), "Format the selected card now?\nAll recordings on it will be lost.");
  auto hasRange = [](const std::string& s, char32_t lo, char32_t hi) {
    std::string units = tq::Utf8ToUtf16Le(s);
    for (size_t i = 0; i + 1 < units.size(); i += 2) {
      char32_t u = uint8_t(units[i]) | (uint8_t(units[i + 1]) << 8);
      if (u >= lo && u <= hi) return true;
    }
    return false;
  };
  for (const char* key : {"can_not_fileplay", "file_delete_message"}) {
    EXPECT_TRUE(hasRange(ja.Text(tq::kTextMessage, key), 0x3040, 0x30FF)) << key;  // kana
    EXPECT_TRUE(hasRange(ko.Text(tq::kTextMessage, key), 0xAC00, 0xD7A3)) << key;  // hangul
  }
}

TEST(LocalizedText, line_breaks_missing_keys_and_limits) {
  TempDir dir;
  std::string path = dir / "t.dat";
  std::string longValue(1500, 'x');
  WriteBytes(path, "[lable]\r\ntwo=first\\nsecond\r\nslash=a\\\\b\\t\r\nempty=\r\n[message]\r\nlong=" + longValue +
                       "\r\n[neoosd]\r\nmanual_rec_file_lock=locked\r\n");
  tq::LanguageFile file(path);
  EXPECT_EQ(file.Text(tq::kTextLable, "two"), "first\nsecond");
  EXPECT_EQ(file.Text(tq::kTextLable, "slash"), "a\\\\b\\t");  // only backslash-n is special
  EXPECT_EQ(file.Text(tq::kTextLable, "empty"), "");
  EXPECT_EQ(file.Text(tq::kTextTooltip, "format_start"), "format_start");
  EXPECT_EQ(file.Text(tq::kTextMessage, "two"), "two");  // another section's key
  EXPECT_EQ(file.Text(7, "two"), "two");
  EXPECT_EQ(file.Text(tq::kTextNeoOsd, "manual_rec_file_lock"), "locked");
  EXPECT_EQ(file.Text(tq::kTextMessage, "long").size(), 1023u);
  EXPECT_EQ(tq::LanguageFile(dir / "missing.dat").Text(tq::kTextTooltip, "format_start"), "format_start");

  tq::SetLanguageFile(path);
  EXPECT_EQ(tq::LocalizedText(tq::kTextLable, "two"), "first\nsecond");
  tq::SetLanguageFile(dir / "missing.dat");
  EXPECT_EQ(tq::LocalizedText(tq::kTextLable, "two"), "two");
}

TEST(LocalizedText, language_list_order_and_file_path) {
  EXPECT_EQ(tq::LanguageIndex("korea"), 0);
  EXPECT_EQ(tq::LanguageIndex("japan"), 3);
  EXPECT_EQ(tq::LanguageIndex("vietnamese"), 9);
  EXPECT_EQ(tq::LanguageIndex("finnish"), 15);
  EXPECT_EQ(tq::LanguageIndex("Japan"), -1);
  EXPECT_EQ(tq::LanguageFilePath("/opt/tq", "japan"), "/opt/tq/lng/japan.dat");
}

TEST(UiFonts, table_rows_by_language_and_scale) {
  struct Case {
    const char* language;
    int scale;
    const char* face;
    int height;
    int charset;
  } cases[] = {
      {"japan", 1, "Noto Sans CJK JP", -13, 0},  {"japan", 2, "Noto Sans CJK JP", -27, 0},
      {"english", 2, "Noto Sans CJK JP", -27, 0}, {"korea", 1, "Noto Sans CJK KR", -13, 129},
      {"korea", 2, "Noto Sans CJK KR", -23, 129},
  };
  for (const auto& c : cases) {
    tq::UiFontSet f = tq::UiFontsFor(c.language, c.scale);
    for (const tq::UiFont* font : {&f.bold, &f.normal, &f.normal2}) {
      EXPECT_EQ(font->face, c.face) << c.language;
      EXPECT_EQ(font->height, c.height) << c.language << c.scale;
      EXPECT_EQ(font->charset, c.charset) << c.language;
      EXPECT_EQ(font->draftQuality, c.charset == 129);
    }
    EXPECT_EQ(f.bold.weight, 700);
    EXPECT_EQ(f.normal.weight, 400);
    EXPECT_EQ(f.normal2.weight, 400);
  }

  // The Korean flag starts set: the first call always creates the fonts; later calls
  // re-create them only when the Korean state changes.
  bool korean = true;
  tq::UiFontSet fonts;
  EXPECT_TRUE(tq::UpdateUiFonts("japan", 1, &korean, &fonts));
  EXPECT_FALSE(korean);
  EXPECT_EQ(fonts.normal.face, "Noto Sans CJK JP");
  EXPECT_FALSE(tq::UpdateUiFonts("english", 1, &korean, &fonts));
  EXPECT_TRUE(tq::UpdateUiFonts("korea", 2, &korean, &fonts));
  EXPECT_EQ(fonts.bold.height, -23);
  EXPECT_TRUE(tq::UpdateUiFonts("korea", 2, &korean, &fonts));
  EXPECT_TRUE(tq::UpdateUiFonts("japan", 2, &korean, &fonts));
  EXPECT_EQ(fonts.bold.height, -27);
}

}  // namespace
