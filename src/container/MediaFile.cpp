#include "container/MediaFile.h"

#include <cerrno>
#include <fcntl.h>
#include <stdio_ext.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

namespace tq {
namespace {
thread_local int64_t g_writeBudget = -1;  // bytes left before an injected failure
}

void MediaFile::InjectWriteFailureAfter(int64_t bytes) { g_writeBudget = bytes; }

std::unique_ptr<MediaFile> MediaFile::Open(const std::string& path, const char* mode,
                                           OpenError* error) {
  OpenError dummy;
  OpenError& err = error ? *error : dummy;
  err = OpenError::None;
  struct stat st {};
  bool creating = mode[0] == 'w';
  if (!creating) {
    if (::stat(path.c_str(), &st) != 0) {
      err = errno == ENOENT ? OpenError::NotFound : OpenError::Unreadable;
      return nullptr;
    }
    if (!S_ISREG(st.st_mode)) { err = OpenError::Unreadable; return nullptr; }
    if (uint64_t(st.st_size) >= kMaxMediaFileSize) { err = OpenError::TooLarge; return nullptr; }
  }
  std::FILE* f = std::fopen(path.c_str(), mode);
  if (!f) {
    err = errno == ENOENT ? OpenError::NotFound : OpenError::Unreadable;
    return nullptr;
  }
  return std::unique_ptr<MediaFile>(new MediaFile(f, path));
}

std::unique_ptr<MediaFile> MediaFile::OpenInMemory(const std::string& name) {
  const int fd = ::memfd_create(name.c_str(), MFD_CLOEXEC);
  if (fd < 0) return nullptr;
  std::FILE* f = ::fdopen(fd, "wb+");
  if (!f) {
    ::close(fd);
    return nullptr;
  }
  return std::unique_ptr<MediaFile>(new MediaFile(f, name));
}

void MediaFile::SkipAccessTimes() {
  const int fd = ::fileno(file_);
  const int flags = ::fcntl(fd, F_GETFL);
  if (flags >= 0) ::fcntl(fd, F_SETFL, flags | O_NOATIME);  // EPERM for a non-owner: kept as is
}

MediaFile::~MediaFile() { std::fclose(file_); }

bool MediaFile::Read(void* buffer, size_t bytes) {
  return bytes == 0 || std::fread(buffer, 1, bytes, file_) == bytes;
}

bool MediaFile::ReadAt(uint64_t offset, void* buffer, size_t bytes) {
  if (offset > kMaxMediaFileSize || bytes > kMaxMediaFileSize - offset) return false;
  // Pending buffered writes must reach the descriptor before it is read directly.
  if (::__fpending(file_) > 0 && std::fflush(file_) != 0) return false;
  auto* out = static_cast<uint8_t*>(buffer);
  while (bytes > 0) {
    ssize_t n = ::pread(::fileno(file_), out, bytes, off_t(offset));
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    out += n;
    offset += uint64_t(n);
    bytes -= size_t(n);
  }
  return true;
}

bool MediaFile::Write(const void* buffer, size_t bytes) {
  if (g_writeBudget >= 0) {
    if (int64_t(bytes) > g_writeBudget) {
      std::fwrite(buffer, 1, size_t(g_writeBudget), file_);
      g_writeBudget = 0;
      std::fflush(file_);
      return false;
    }
    g_writeBudget -= int64_t(bytes);
  }
  return bytes == 0 || std::fwrite(buffer, 1, bytes, file_) == bytes;
}

bool MediaFile::Seek(uint64_t offset) {
  if (offset > kMaxMediaFileSize) return false;
  return ::fseeko(file_, off_t(offset), SEEK_SET) == 0;
}

uint64_t MediaFile::Tell() {
  off_t p = ::ftello(file_);
  return p < 0 ? 0 : uint64_t(p);
}

uint64_t MediaFile::Length() {
  std::fflush(file_);
  struct stat st {};
  if (::fstat(::fileno(file_), &st) != 0) return 0;
  return uint64_t(st.st_size);
}

bool MediaFile::Flush() { return std::fflush(file_) == 0; }

bool MediaFile::Sync() { return std::fflush(file_) == 0 && ::fdatasync(::fileno(file_)) == 0; }

bool MediaFile::ReadU8(uint8_t* v) { return Read(v, 1); }
bool MediaFile::ReadU16(uint16_t* v) {
  uint8_t b[2];
  if (!Read(b, 2)) return false;
  *v = GetU16(b);
  return true;
}
bool MediaFile::ReadU32(uint32_t* v) {
  uint8_t b[4];
  if (!Read(b, 4)) return false;
  *v = GetU32(b);
  return true;
}
bool MediaFile::ReadU64(uint64_t* v) {
  uint8_t b[8];
  if (!Read(b, 8)) return false;
  *v = GetU64(b);
  return true;
}

std::string FourCCText(uint32_t code) {
  std::string s(4, '?');
  for (int i = 0; i < 4; ++i) {
    char c = char(code >> (24 - 8 * i));
    if (c >= 0x20 && c < 0x7F) s[size_t(i)] = c;
  }
  return s;
}

}  // namespace tq
