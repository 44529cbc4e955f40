#include "device/MotionThumb.h"

#include <algorithm>
#include <cstring>
#include <memory>

#include "container/MediaFile.h"
#include "platform/FolderList.h"
#include "platform/Files.h"

namespace tq {
namespace {

constexpr uint32_t kBoxHeader = 8;
constexpr uint64_t kMinFile = 9;
constexpr uint32_t kMaxThumbBytes = 4u << 20;  // a thumbnail, not a picture archive

bool EndsWithNoCase(const std::string& name, const std::string& tail) {
  if (name.size() < tail.size()) return false;
  for (size_t i = 0; i < tail.size(); ++i) {
    char a = name[name.size() - tail.size() + i], b = tail[i];
    if (a >= 'A' && a <= 'Z') a = char(a - 'A' + 'a');
    if (b >= 'A' && b <= 'Z') b = char(b - 'A' + 'a');
    if (a != b) return false;
  }
  return true;
}

uint32_t BigEndian32(const uint8_t* p) {
  return uint32_t(p[0]) << 24 | uint32_t(p[1]) << 16 | uint32_t(p[2]) << 8 | p[3];
}

// Walks the boxes in [begin, end); at "thum" reads the JPEG, at "free" (top level only)
// walks inside it. Every box is bounded by its parent.
bool FindThumb(MediaFile& f, uint64_t begin, uint64_t end, bool topLevel, std::vector<uint8_t>* jpeg) {
  uint64_t at = begin;
  while (at + kBoxHeader <= end) {
    uint8_t head[kBoxHeader];
    if (!f.ReadAt(at, head, sizeof head)) return false;
    const uint32_t size = BigEndian32(head);
    if (size < kBoxHeader || at + size > end) return false;
    if (std::memcmp(head + 4, "thum", 4) == 0) {
      uint8_t len[4];
      if (size < kBoxHeader + 4 || !f.ReadAt(at + kBoxHeader, len, sizeof len)) return false;
      const uint32_t n = BigEndian32(len);
      if (n == 0 || n > kMaxThumbBytes || uint64_t(n) > size - kBoxHeader - 4) return false;
      jpeg->resize(n);
      return f.ReadAt(at + kBoxHeader + 4, jpeg->data(), n);
    }
    if (topLevel && std::memcmp(head + 4, "free", 4) == 0 && FindThumb(f, at + kBoxHeader, at + size, false, jpeg))
      return true;
    at += size;
  }
  return false;
}

}  // namespace

std::vector<std::string> NewestRecordings(const std::string& folder, const std::string& suffix) {
  std::vector<std::string> names;
  const std::string tail = suffix + ".mp4";
  ListFolder(folder, [&](std::string_view name, bool isFolder) {
    if (!isFolder && EndsWithNoCase(std::string(name), tail)) names.emplace_back(name);
  });
  std::sort(names.begin(), names.end(), std::greater<>());
  if (names.size() > 2) names.resize(2);
  return names;
}

bool ReadThumbJpeg(const std::string& path, std::vector<uint8_t>* jpeg) {
  std::unique_ptr<MediaFile> f = MediaFile::Open(path, "rb");
  if (!f) return false;
  const uint64_t length = f->Length();
  if (length < kMinFile) return false;
  // The walk starts behind the first box (the camera's ftyp); read as boxes, the ftyp's
  // brands would end the walk before the free box.
  uint8_t head[kBoxHeader];
  if (!f->ReadAt(0, head, sizeof head)) return false;
  const uint32_t first = BigEndian32(head);
  const uint64_t start = first >= kBoxHeader && first <= length ? first : kBoxHeader;
  return FindThumb(*f, start, length, true, jpeg);
}

bool NewestThumbJpeg(const std::string& folder, const std::string& suffix, std::vector<uint8_t>* jpeg) {
  for (const std::string& name : NewestRecordings(folder, suffix))
    if (ReadThumbJpeg(JoinPath(folder, name), jpeg)) return true;
  return false;
}

}  // namespace tq
