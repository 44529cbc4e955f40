#include "platform/Files.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>

namespace tq {
namespace {

struct FileCloser {
  void operator()(std::FILE* f) const { std::fclose(f); }
};
using FilePtr = std::unique_ptr<std::FILE, FileCloser>;

bool WriteAllTo(int fd, const std::string& bytes) {
  size_t done = 0;
  while (done < bytes.size()) {
    ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    done += size_t(n);
  }
  return true;
}

}  // namespace

bool FileExists(const std::string& path) {
  struct stat st;
  return !path.empty() && ::stat(path.c_str(), &st) == 0;
}

bool IsDirectory(const std::string& path) {
  struct stat st;
  return !path.empty() && ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool IsReadWritable(const std::string& path) {
  return !path.empty() && ::access(path.c_str(), R_OK | W_OK) == 0;
}

bool MakeFolder(const std::string& path) {
  if (path.empty()) return false;
  if (::mkdir(path.c_str(), 0777) == 0) return true;
  return errno == EEXIST && IsDirectory(path);
}

bool RemoveFile(const std::string& path) {
  return ::unlink(path.c_str()) == 0 || errno == ENOENT;
}

bool ReadWholeFile(const std::string& path, size_t maxBytes, std::string* out) {
  FilePtr f(std::fopen(path.c_str(), "rb"));
  if (!f) return false;
  struct stat st;
  if (::fstat(::fileno(f.get()), &st) != 0 || !S_ISREG(st.st_mode)) return false;
  if (uint64_t(st.st_size) > maxBytes) return false;
  std::string data;
  char buf[16384];
  size_t n;
  while ((n = std::fread(buf, 1, sizeof buf, f.get())) > 0) {
    data.append(buf, n);
    if (data.size() > maxBytes) return false;
  }
  if (std::ferror(f.get())) return false;
  *out = std::move(data);
  return true;
}

bool ReplaceFileContents(const std::string& path, const std::string& bytes) {
  struct stat old;
  bool existed = ::stat(path.c_str(), &old) == 0;
  if (existed && !S_ISREG(old.st_mode)) return false;
  // A file we may not write is not replaced by a rename either.
  if (existed && ::access(path.c_str(), W_OK) != 0) return false;

  // A link is rewritten through, in place: renaming over it would replace the link.
  struct stat link;
  bool isLink = ::lstat(path.c_str(), &link) == 0 && S_ISLNK(link.st_mode);

  std::string temp = path + ".tqnew";
  int fd = isLink ? -1 : ::open(temp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
  if (fd >= 0) {
    bool ok = WriteAllTo(fd, bytes);
    if (ok && existed) ::fchmod(fd, old.st_mode & 07777);  // best effort (FAT has no modes)
    ok = ::fsync(fd) == 0 && ok;
    ok = ::close(fd) == 0 && ok;
    if (ok && ::rename(temp.c_str(), path.c_str()) == 0) return true;
    ::unlink(temp.c_str());
    if (!ok) return false;
  }
  // No room for a second file beside it (read-only folder): rewrite in place.
  fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
  if (fd < 0) return false;
  bool ok = WriteAllTo(fd, bytes);
  return ::close(fd) == 0 && ok;
}

bool SyncFileToMedium(const std::string& path, std::string* why) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0 || ::fdatasync(fd) != 0) {
    if (why) *why = std::strerror(errno);
    if (fd >= 0) ::close(fd);
    return false;
  }
  ::close(fd);
  return true;
}

void SyncFolderOf(const std::string& path) {
  const size_t slash = path.find_last_of('/');
  const std::string folder = slash == std::string::npos ? "." : slash == 0 ? "/" : path.substr(0, slash);
  const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return;
  ::fsync(fd);
  ::close(fd);
}

std::string LastPathComponent(const std::string& path) {
  size_t end = path.find_last_not_of('/');
  if (end == std::string::npos) return path.empty() ? "" : "/";
  size_t start = path.find_last_of('/', end);
  start = start == std::string::npos ? 0 : start + 1;
  return path.substr(start, end + 1 - start);
}

std::string JoinPath(const std::string& folder, const std::string& name) {
  if (folder.empty()) return name;
  std::string out = folder;
  while (out.size() > 1 && out.back() == '/') out.pop_back();
  size_t skip = 0;
  while (skip < name.size() && name[skip] == '/') ++skip;
  if (out.back() != '/') out += '/';
  out.append(name, skip);
  return out;
}

}  // namespace tq
