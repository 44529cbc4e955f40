// Localized text: every text the interface shows is looked up by section and key in the
// language file "<program folder>/lng/<language>.dat".
#pragma once

#include <string>
#include <string_view>

#include "app/TextKeys.h"
#include "platform/ProfileFile.h"

namespace tq {

// Interface language names, in the order the language pages index them.
inline constexpr const char* kLanguageNames[] = {
    "korea", "english", "russian", "japan", "china", "german", "french", "thai",
    "indonesian", "vietnamese", "spain", "italian", "dutch", "polish", "norwegian", "finnish",
};
inline constexpr char kStartLanguage[] = "japan";

// Index of a name in kLanguageNames, -1 when it is not one.
int LanguageIndex(std::string_view name);

// "<programFolder>/lng/<language>.dat".
std::string LanguageFilePath(const std::string& programFolder, std::string_view language);

// One language file, loaded once (the language does not change while the program runs).
class LanguageFile {
 public:
  static constexpr size_t kMaxTextChars = 1023;

  LanguageFile() = default;
  explicit LanguageFile(const std::string& path);

  // The value of the key in that section with every backslash-n made a line break; the
  // key itself when the file, the section or the key is missing. At most 1023 characters.
  std::string Text(int section, std::string_view key) const;
  // Whether the file holds the key (empty values count).
  bool Has(int section, std::string_view key) const;

 private:
  ProfileText text_;
};

// The program's language file, set once at start-up on the user-interface thread.
void SetLanguageFile(const std::string& path);
// The text of a key from the program's language file (see LanguageFile::Text).
std::string LocalizedText(int section, std::string_view key);

}  // namespace tq
