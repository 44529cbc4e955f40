#include "platform/Folders.h"

#include <pwd.h>
#include <unistd.h>

#include <cstdlib>
#include <vector>

#include "platform/Files.h"

namespace tq {
namespace {

constexpr size_t kMaxUserDirsBytes = 64 * 1024;

std::string StripTrailingSlashes(std::string path) {
  while (path.size() > 1 && path.back() == '/') path.pop_back();
  return path;
}

std::string Env(const char* name) {
  const char* v = std::getenv(name);
  return v ? v : "";
}

// Value of XDG_<name>_DIR in a user-dirs.dirs text: "$HOME/..." or an absolute path in
// double quotes; "" when the line is missing or malformed.
std::string UserDir(std::string_view text, std::string_view name, const std::string& home) {
  std::string wanted = "XDG_" + std::string(name) + "_DIR=";
  size_t pos = 0;
  while (pos < text.size()) {
    size_t nl = text.find('\n', pos);
    std::string_view line = text.substr(pos, nl == std::string_view::npos ? std::string_view::npos : nl - pos);
    pos = nl == std::string_view::npos ? text.size() : nl + 1;
    while (!line.empty() && (line.front() == ' ' || line.front() == '\t')) line.remove_prefix(1);
    if (line.substr(0, wanted.size()) != wanted) continue;
    line.remove_prefix(wanted.size());
    while (!line.empty() && (line.back() == '\r' || line.back() == ' ' || line.back() == '\t')) line.remove_suffix(1);
    if (line.size() < 2 || line.front() != '"' || line.back() != '"') return "";
    line = line.substr(1, line.size() - 2);
    if (line.substr(0, 5) == "$HOME") {
      if (home.empty()) return "";
      return StripTrailingSlashes(home + std::string(line.substr(5)));
    }
    if (line.empty() || line.front() != '/') return "";
    return StripTrailingSlashes(std::string(line));
  }
  return "";
}

}  // namespace

std::string HomeFolder() {
  std::string home = Env("HOME");
  if (!home.empty()) return StripTrailingSlashes(home);
  long size = ::sysconf(_SC_GETPW_R_SIZE_MAX);
  std::vector<char> buf(size > 0 ? size_t(size) : 16384);
  struct passwd pw;
  struct passwd* found = nullptr;
  if (::getpwuid_r(::getuid(), &pw, buf.data(), buf.size(), &found) == 0 && found && found->pw_dir) {
    return StripTrailingSlashes(found->pw_dir);
  }
  return "";
}

std::string UserCacheFolder() {
  const std::string xdg = Env("XDG_CACHE_HOME");
  if (!xdg.empty() && xdg.front() == '/') return StripTrailingSlashes(xdg);
  const std::string home = HomeFolder();
  return home.empty() ? std::string() : JoinPath(home, ".cache");
}

UserFolders UserFoldersFrom(std::string_view userDirsText, const std::string& home) {
  auto pick = [&](std::string_view xdgName, const char* fallback) {
    std::string dir = UserDir(userDirsText, xdgName, home);
    if (dir.empty() && !home.empty()) dir = JoinPath(home, fallback);
    return dir;
  };
  UserFolders f;
  f.documents = pick("DOCUMENTS", "Documents");
  f.videos = pick("VIDEOS", "Videos");
  f.pictures = pick("PICTURES", "Pictures");
  return f;
}

UserFolders SystemUserFolders() {
  std::string home = HomeFolder();
  std::string config = Env("XDG_CONFIG_HOME");
  if (config.empty() && !home.empty()) config = JoinPath(home, ".config");
  std::string text;
  if (!config.empty()) ReadWholeFile(JoinPath(config, "user-dirs.dirs"), kMaxUserDirsBytes, &text);
  return UserFoldersFrom(text, home);
}

std::string ProgramFolder() {
  std::vector<char> buf(4096);
  ssize_t n = ::readlink("/proc/self/exe", buf.data(), buf.size() - 1);
  if (n <= 0) return "";
  std::string exe(buf.data(), size_t(n));
  size_t slash = exe.find_last_of('/');
  if (slash == std::string::npos) return "";
  return slash == 0 ? "/" : exe.substr(0, slash);
}

}  // namespace tq
