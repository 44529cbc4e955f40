#include "app/LocalizedText.h"

#include <memory>
#include <mutex>

#include "platform/Files.h"
#include "platform/Utf.h"

namespace tq {
namespace {

constexpr size_t kLanguageCount = sizeof kLanguageNames / sizeof *kLanguageNames;
constexpr size_t kSectionCount = sizeof kTextSectionNames / sizeof *kTextSectionNames;

// Written once at start-up, read afterwards; the lock keeps a late SetLanguageFile (tests)
// from racing a look-up.
std::mutex& LanguageMutex() {
  static std::mutex m;
  return m;
}
std::shared_ptr<const LanguageFile>& ProgramLanguageLocked() {
  static std::shared_ptr<const LanguageFile> file = std::make_shared<LanguageFile>();
  return file;
}

std::string ExpandLineBreaks(std::string_view value) {
  std::string out;
  out.reserve(value.size());
  for (size_t i = 0; i < value.size(); ++i) {
    if (value[i] == '\\' && i + 1 < value.size() && value[i + 1] == 'n') {
      out += '\n';
      ++i;
    } else {
      out += value[i];
    }
  }
  return out;
}

}  // namespace

int LanguageIndex(std::string_view name) {
  for (size_t i = 0; i < kLanguageCount; ++i) {
    if (name == kLanguageNames[i]) return int(i);
  }
  return -1;
}

std::string LanguageFilePath(const std::string& programFolder, std::string_view language) {
  return JoinPath(JoinPath(programFolder, "lng"), std::string(language) + ".dat");
}

LanguageFile::LanguageFile(const std::string& path) : text_(ProfileFile(path).Load()) {}

bool LanguageFile::Has(int section, std::string_view key) const {
  if (section < 0 || size_t(section) >= kSectionCount) return false;
  return text_.Find(kTextSectionNames[section], key).has_value();
}

std::string LanguageFile::Text(int section, std::string_view key) const {
  std::optional<std::string> value;
  if (section >= 0 && size_t(section) < kSectionCount) value = text_.Find(kTextSectionNames[section], key);
  std::string_view raw = value ? std::string_view(*value) : key;
  return std::string(Utf8Prefix(ExpandLineBreaks(Utf8Prefix(raw, kMaxTextChars * 2)), kMaxTextChars));
}

void SetLanguageFile(const std::string& path) {
  auto file = std::make_shared<const LanguageFile>(path);
  std::lock_guard<std::mutex> lock(LanguageMutex());
  ProgramLanguageLocked() = std::move(file);
}

std::string LocalizedText(int section, std::string_view key) {
  std::shared_ptr<const LanguageFile> file;
  {
    std::lock_guard<std::mutex> lock(LanguageMutex());
    file = ProgramLanguageLocked();
  }
  return file->Text(section, key);
}

}  // namespace tq
