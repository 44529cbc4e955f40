#include "library/FolderNames.h"

#include <filesystem>
#include <system_error>

#include "platform/FolderList.h"

namespace tq {
namespace {

char Lower(char c) { return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c; }
char Upper(char c) { return c >= 'a' && c <= 'z' ? char(c - 'a' + 'A') : c; }

std::string LowerText(std::string_view s) {
  std::string out(s);
  for (char& c : out) c = Lower(c);
  return out;
}

bool IsFile(const std::string& path) {
  std::error_code ec;
  return std::filesystem::is_regular_file(path, ec);
}

}  // namespace

std::string FolderNames::Find(const std::string& name) {
  std::string path = JoinPath(folder_, name);
  if (IsFile(path)) return path;
  size_t dot = name.rfind('.');
  if (dot != std::string::npos) {
    std::string upperExt = name;
    for (size_t i = dot; i < upperExt.size(); ++i) upperExt[i] = Upper(upperExt[i]);
    if (upperExt != name) {
      path = JoinPath(folder_, upperExt);
      if (IsFile(path)) return path;
    }
  }
  if (!listed_) {
    listed_ = true;
    ListFolder(folder_, [this](std::string_view n, bool isFolder) {
      if (!isFolder) byLowerName_.emplace(LowerText(n), std::string(n));
    });
  }
  auto it = byLowerName_.find(LowerText(name));
  if (it == byLowerName_.end()) return {};
  path = JoinPath(folder_, it->second);
  return IsFile(path) ? path : std::string();  // the listing may be older than a delete
}

}  // namespace tq
