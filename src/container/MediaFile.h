// A recording opened with the C stdio functions, with every offset checked against the
// 32-bit range the formats allow. Reads are exact: a short read is a failure.
#pragma once

#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>

namespace tq {

// Files at or beyond this size are refused: every size and offset of the formats is 32-bit.
constexpr uint64_t kMaxMediaFileSize = 0xFFFFFFFFull;

class MediaFile {
 public:
  enum class OpenError { None, NotFound, Unreadable, TooLarge };

  // mode is a stdio mode ("rb", "rb+", "wb"). On failure returns null and sets *error.
  static std::unique_ptr<MediaFile> Open(const std::string& path, const char* mode,
                                         OpenError* error = nullptr);
  // An anonymous read-write file in memory (named `name` for diagnostics only): scratch
  // space that never touches a file system and is gone when closed. Null on failure.
  static std::unique_ptr<MediaFile> OpenInMemory(const std::string& name);
  ~MediaFile();
  MediaFile(const MediaFile&) = delete;
  MediaFile& operator=(const MediaFile&) = delete;

  bool Read(void* buffer, size_t bytes);  // exactly `bytes` or failure
  // Exactly `bytes` at `offset` in one small system read, without stdio's block buffer and
  // without moving the stream position: for walking 16-byte frame records and reading
  // single sample-table entries, where a buffered read would fetch a whole block each time.
  bool ReadAt(uint64_t offset, void* buffer, size_t bytes);
  // Reads through this file stop updating its access time where the system allows it (the
  // owner of the file): a walk of thousands of small reads otherwise pays for the check
  // on each one. Nothing changes when it is not allowed.
  void SkipAccessTimes();
  bool Write(const void* buffer, size_t bytes);
  bool Seek(uint64_t offset);             // from the start of the file
  uint64_t Tell();
  uint64_t Length();                      // current length (after flushing writes)
  bool Flush();
  // Flushes, then waits until the file's data is on its medium: the barrier between the
  // steps of a repair, and its end (a card may be pulled as soon as we say it is done).
  bool Sync();
  bool ReadU8(uint8_t* v);
  bool ReadU16(uint16_t* v);              // big-endian
  bool ReadU32(uint32_t* v);
  bool ReadU64(uint64_t* v);
  const std::string& path() const { return path_; }

  // Test hook for crash-safety tests: writes through any MediaFile of this thread fail
  // once `bytes` more bytes have been written (the failing write stores the part that
  // fits, as a full disk or a pulled card would). Negative disables it.
  static void InjectWriteFailureAfter(int64_t bytes);

 private:
  MediaFile(std::FILE* f, std::string path) : file_(f), path_(std::move(path)) {}
  std::FILE* file_;
  std::string path_;
};

// Big-endian helpers for building and reading box bytes in memory.
inline void PutU16(uint8_t* p, uint16_t v) { p[0] = uint8_t(v >> 8); p[1] = uint8_t(v); }
inline void PutU32(uint8_t* p, uint32_t v) {
  p[0] = uint8_t(v >> 24); p[1] = uint8_t(v >> 16); p[2] = uint8_t(v >> 8); p[3] = uint8_t(v);
}
inline void PutU64(uint8_t* p, uint64_t v) { PutU32(p, uint32_t(v >> 32)); PutU32(p + 4, uint32_t(v)); }
inline uint16_t GetU16(const uint8_t* p) { return uint16_t(p[0] << 8 | p[1]); }
inline uint32_t GetU32(const uint8_t* p) {
  return uint32_t(p[0]) << 24 | uint32_t(p[1]) << 16 | uint32_t(p[2]) << 8 | p[3];
}
inline uint64_t GetU64(const uint8_t* p) { return uint64_t(GetU32(p)) << 32 | GetU32(p + 4); }

constexpr uint32_t FourCC(const char (&s)[5]) {
  return uint32_t(uint8_t(s[0])) << 24 | uint32_t(uint8_t(s[1])) << 16 |
         uint32_t(uint8_t(s[2])) << 8 | uint32_t(uint8_t(s[3]));
}
std::string FourCCText(uint32_t code);  // printable form, '?' for unprintable bytes

}  // namespace tq
