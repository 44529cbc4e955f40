// The user's standard folders and the program's own folder.
#pragma once

#include <string>
#include <string_view>

namespace tq {

// Absolute paths without a trailing '/'; empty when unknown.
struct UserFolders {
  std::string documents;
  std::string videos;
  std::string pictures;
};

// The folders of this user: the XDG user directories ($XDG_CONFIG_HOME/user-dirs.dirs,
// else ~/.config/user-dirs.dirs) where they are set, else ~/Documents, ~/Videos and
// ~/Pictures.
UserFolders SystemUserFolders();

// The folders as a user-dirs.dirs text and a home folder give them (with the fallbacks).
UserFolders UserFoldersFrom(std::string_view userDirsText, const std::string& home);

// The folder the running program was started from (no trailing '/'), or "" when the
// system does not say.
std::string ProgramFolder();

// The user's home folder ($HOME, else the password database).
std::string HomeFolder();

// The user's cache folder: $XDG_CACHE_HOME when it is an absolute path, else ~/.cache.
std::string UserCacheFolder();

}  // namespace tq
