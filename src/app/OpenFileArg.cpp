#include "app/OpenFileArg.h"

#include <filesystem>
#include <system_error>

#include "library/RecordingName.h"

namespace tq {
namespace {

constexpr size_t kExtensionChars = 4;  // ".mp4", ".avi"

bool EndsWithNoCase(const std::string& name, const char* dotExt) {
  const std::string ext(dotExt);
  if (name.size() < ext.size()) return false;
  for (size_t i = 0; i < ext.size(); ++i) {
    char c = name[name.size() - ext.size() + i];
    if (c >= 'A' && c <= 'Z') c = char(c - 'A' + 'a');
    if (c != ext[i]) return false;
  }
  return true;
}

}  // namespace

OpenFileRequest DecideOpenFile(const std::string& path, const std::string& workingFolder) {
  OpenFileRequest r;
  if (path.empty()) {
    r.error = "no file named";
    return r;
  }
  std::filesystem::path p(path);
  if (p.is_relative() && !workingFolder.empty()) p = std::filesystem::path(workingFolder) / p;
  p = p.lexically_normal();
  r.path = p.string();
  std::error_code ec;
  if (!std::filesystem::is_regular_file(p, ec)) {
    r.error = "no such recording file";
    return r;
  }
  const std::string name = p.filename().string();
  if (EndsWithNoCase(name, ".mp4")) {
    r.kind = kKindMp4;
  } else if (EndsWithNoCase(name, ".avi")) {
    r.kind = kKindAvi;
  } else {
    r.error = "not an MP4 or AVI recording";
    return r;
  }
  r.base = name.substr(0, name.size() - kExtensionChars);
  r.folder = p.parent_path().string();
  ParsedName parsed;
  r.recording = !r.base.empty() && ParseRecordingName(r.base, r.kind, &parsed);
  r.ok = true;
  return r;
}

}  // namespace tq
