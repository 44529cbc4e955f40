#include "platform/FolderList.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>

#include <memory>

namespace tq {
namespace {

struct DirCloser {
  void operator()(DIR* d) const { ::closedir(d); }
};

// Only consulted when the directory entry does not carry its type (some file systems)
// or names a link: stat() reads the inode, it does not open the file.
bool IsFolderByStat(DIR* dir, const char* name) {
  struct stat st {};
  if (::fstatat(::dirfd(dir), name, &st, 0) != 0) return false;
  return S_ISDIR(st.st_mode);
}

}  // namespace

bool ListFolder(const std::string& folder,
                const std::function<void(std::string_view name, bool isFolder)>& visit) {
  std::unique_ptr<DIR, DirCloser> dir(::opendir(folder.c_str()));
  if (!dir) return false;
  while (const dirent* e = ::readdir(dir.get())) {
    const char* name = e->d_name;
    if (name[0] == '.' && (name[1] == '\0' || (name[1] == '.' && name[2] == '\0'))) continue;
    bool isFolder = e->d_type == DT_DIR;
    if (e->d_type == DT_UNKNOWN || e->d_type == DT_LNK) isFolder = IsFolderByStat(dir.get(), name);
    visit(name, isFolder);
  }
  return true;
}

}  // namespace tq
