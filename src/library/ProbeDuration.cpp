// The catalog's own small header probe: enough of an MP4's box tree or an AVI's main
// header to tell a recording's length without indexing it.
#include <algorithm>
#include <cstdint>
#include <limits>

#include "container/MediaFile.h"
#include "library/CFileList.h"

namespace tq {
namespace {

constexpr int kMaxTopLevelBoxes = 4;        // moov must be among the first four boxes
constexpr int32_t kLongestRecording = 185;  // seconds; longer headers are not trusted
constexpr uint32_t kBoxHeaderBytes = 8;
constexpr uint32_t kFullBoxHeaderBytes = 4;  // version (1 byte) and flags (3 bytes)
// mvhd bodies after version and flags, up to and including the duration field.
constexpr uint32_t kMvhdV0Bytes = 4 + 4 + 4 + 4;  // creation, modification, timescale, duration
constexpr uint32_t kMvhdV1Bytes = 8 + 8 + 4 + 8;
constexpr uint32_t kAviMainHeaderBytes = 48;
constexpr int64_t kMicrosecondsPerSecond = 1000000;

int32_t DurationFromMvhd(int32_t timescale, int32_t duration) {
  if (timescale < 1 || duration < 1) return 0;
  if (duration < timescale) return 1;
  int32_t seconds = duration / timescale;
  return seconds > kLongestRecording ? 0 : seconds;
}

// Reads the mvhd that must open the moov box at `moovAt` (moov spans `moovSize` bytes).
// Every read stays inside the moov box, the mvhd box and the file.
int32_t ProbeMvhd(MediaFile& file, uint64_t moovAt, uint64_t moovSize, uint64_t fileLength) {
  uint64_t limit = std::min(moovAt + moovSize, fileLength);
  uint64_t mvhdAt = moovAt + kBoxHeaderBytes;
  uint8_t head[kBoxHeaderBytes + kFullBoxHeaderBytes];
  if (mvhdAt + sizeof head > limit || !file.Seek(mvhdAt) || !file.Read(head, sizeof head)) return 0;
  if (GetU32(head + 4) != FourCC("mvhd")) return 0;
  uint8_t version = head[kBoxHeaderBytes];
  uint32_t body = version == 1 ? kMvhdV1Bytes : kMvhdV0Bytes;
  uint64_t mvhdSize = GetU32(head);
  uint64_t needed = sizeof head + body;
  if (mvhdSize < needed || mvhdAt + needed > limit) return 0;
  uint8_t fields[kMvhdV1Bytes];
  if (!file.Read(fields, body)) return 0;
  if (version == 1) {
    // Two 64-bit times, the timescale, then a 64-bit duration of which the low half counts.
    return DurationFromMvhd(int32_t(GetU32(fields + 16)), int32_t(GetU32(fields + 24)));
  }
  return DurationFromMvhd(int32_t(GetU32(fields + 8)), int32_t(GetU32(fields + 12)));
}

int32_t ProbeMp4(MediaFile& file) {
  uint64_t length = file.Length();
  uint64_t at = 0;
  for (int i = 0; i < kMaxTopLevelBoxes; ++i) {
    uint8_t head[kBoxHeaderBytes];
    if (at + kBoxHeaderBytes > length || !file.Seek(at) || !file.Read(head, sizeof head)) return 0;
    uint32_t size = GetU32(head);
    // A size of 0 (to the end of the file) or 1 (64-bit size follows) has no next box here;
    // any size below the header would not advance.
    if (size < kBoxHeaderBytes) return 0;
    if (GetU32(head + 4) == FourCC("moov")) return ProbeMvhd(file, at, size, length);
    at += size;
  }
  return 0;
}

int32_t ProbeAvi(MediaFile& file) {
  // "RIFF" size "AVI " "LIST" size "hdrl" "avih" size, then the main header.
  uint8_t head[32 + kAviMainHeaderBytes];
  if (file.Length() < sizeof head || !file.Read(head, sizeof head)) return 0;
  if (GetU32(head) != FourCC("RIFF") || GetU32(head + 8) != FourCC("AVI ") ||
      GetU32(head + 12) != FourCC("LIST") || GetU32(head + 20) != FourCC("hdrl") ||
      GetU32(head + 24) != FourCC("avih"))
    return 0;
  const uint8_t* avih = head + 32;
  auto le32 = [](const uint8_t* p) {
    return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
  };
  if (le32(head + 28) < kAviMainHeaderBytes) return 0;
  int64_t microsPerFrame = le32(avih);
  int64_t totalFrames = le32(avih + 16);
  if (microsPerFrame < 1) return 0;
  int64_t framesPerSecond = kMicrosecondsPerSecond / microsPerFrame;
  if (framesPerSecond < 1) return 0;  // slower than one frame a second: not a recording
  int64_t seconds = totalFrames / framesPerSecond;
  constexpr int64_t kMax = std::numeric_limits<int32_t>::max();
  return int32_t(std::min(seconds, kMax));
}

}  // namespace

int32_t CFileList::ProbeDuration(const std::string& path, uint8_t kind) {
  auto file = MediaFile::Open(path, "rb");
  if (!file) return 0;
  return kind == kKindAvi ? ProbeAvi(*file) : ProbeMp4(*file);
}

}  // namespace tq
