// Helpers of the writer and export tests: temp folders, whole-file reads and a box finder
// over written bytes.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "container/MediaFile.h"

namespace tq::testutil {

using Bytes = std::vector<uint8_t>;
constexpr size_t kNoBox = SIZE_MAX;

class TempDir {
 public:
  TempDir() {
    std::random_device rd;
    path_ = std::filesystem::temp_directory_path() /
            ("tq_mp4w_" + std::to_string(rd()) + std::to_string(rd()));
    std::filesystem::create_directories(path_);
  }
  ~TempDir() {
    std::error_code ec;
    std::filesystem::remove_all(path_, ec);
  }
  std::string File(const std::string& name) const { return (path_ / name).string(); }
  const std::filesystem::path& path() const { return path_; }

 private:
  std::filesystem::path path_;
};

inline Bytes ReadAll(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return Bytes(std::istreambuf_iterator<char>(in), {});
}

inline void WriteAll(const std::string& path, const Bytes& b) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(b.data()), std::streamsize(b.size()));
}

inline uint32_t BoxSize(const Bytes& b, size_t at) { return GetU32(&b[at]); }
inline uint32_t BoxType(const Bytes& b, size_t at) { return GetU32(&b[at + 4]); }

// Header offset of the nth child of `type` among the boxes in [from, to), or kNoBox.
inline size_t FindIn(const Bytes& b, size_t from, size_t to, uint32_t type, int nth = 0) {
  size_t at = from;
  while (at + 8 <= to && at + 8 <= b.size()) {
    uint32_t size = BoxSize(b, at);
    if (size < 8 || at + size > to) return kNoBox;
    if (BoxType(b, at) == type && nth-- == 0) return at;
    at += size;
  }
  return kNoBox;
}

// Child of the box at `parent`, whose children start `skip` bytes after its header.
inline size_t Child(const Bytes& b, size_t parent, const char (&type)[5], int nth = 0,
                    size_t skip = 0) {
  if (parent == kNoBox) return kNoBox;
  return FindIn(b, parent + 8 + skip, parent + BoxSize(b, parent), FourCC(type), nth);
}

inline size_t Top(const Bytes& b, const char (&type)[5], int nth = 0) {
  return FindIn(b, 0, b.size(), FourCC(type), nth);
}

// stbl of the nth trak of the (first) moov.
inline size_t Stbl(const Bytes& b, int trak) {
  size_t t = Child(b, Top(b, "moov"), "trak", trak);
  return Child(b, Child(b, Child(b, t, "mdia"), "minf"), "stbl");
}

// Entries of a table box (stts, stsc, ...) as u32 values after version/flags and count.
inline std::vector<uint32_t> TableValues(const Bytes& b, size_t box, size_t head = 16) {
  std::vector<uint32_t> v;
  if (box == kNoBox) return v;
  for (size_t at = box + head; at + 4 <= box + BoxSize(b, box); at += 4) v.push_back(GetU32(&b[at]));
  return v;
}

}  // namespace tq::testutil
