// Records of an AVI recording (RIFF form "AVI "): the main header, the stream headers and
// formats of its hdrl list, where its movi list lies, and its idx1 index. All fields are
// little-endian in the file; the structs mirror the file layout byte for byte.
#pragma once

#include <bit>
#include <cstdint>
#include <string>
#include <vector>

namespace tq {

static_assert(std::endian::native == std::endian::little,
              "AVI records are copied from the file as they lie");

// A RIFF four-character code as it reads from a little-endian 32-bit field.
constexpr uint32_t RiffCode(const char (&s)[5]) {
  return uint32_t(uint8_t(s[0])) | uint32_t(uint8_t(s[1])) << 8 |
         uint32_t(uint8_t(s[2])) << 16 | uint32_t(uint8_t(s[3])) << 24;
}
std::string RiffCodeText(uint32_t code);  // printable form, '?' for unprintable bytes

inline uint32_t GetLE32(const uint8_t* p) {
  return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}
inline void PutLE32(uint8_t* p, uint32_t v) {
  p[0] = uint8_t(v); p[1] = uint8_t(v >> 8); p[2] = uint8_t(v >> 16); p[3] = uint8_t(v >> 24);
}

constexpr uint32_t kAviStreamSlots = 5;
constexpr uint32_t kAviVideoFormats = 2;
constexpr uint32_t kAviMainHeaderSize = 48;
constexpr uint32_t kAviStreamHeaderSize = 56;
constexpr uint32_t kAviBitmapInfoSize = 40;
constexpr uint32_t kAviWaveFormatSize = 18;
constexpr uint32_t kAviIndexEntrySize = 16;
constexpr uint32_t kAviMaxIndexEntries = 0xFFFF;  // the entry count is kept in 16 bits
constexpr uint32_t kAviKeyFrame = 0x10;           // idx1 flag AVIIF_KEYFRAME

struct AviMainHeader {
  uint32_t dwMicroSecPerFrame, dwMaxBytesPerSec, dwPaddingGranularity, dwFlags;
  uint32_t dwTotalFrames, dwInitialFrames, dwStreams, dwSuggestedBufferSize;
  uint32_t dwWidth, dwHeight, dwReserved[2];
};
static_assert(sizeof(AviMainHeader) == kAviMainHeaderSize);

struct AviRect {
  int16_t left, top, right, bottom;
};

struct AviStreamHeader {
  uint32_t fccType, fccHandler, dwFlags;
  uint16_t wPriority, wLanguage;
  uint32_t dwInitialFrames, dwScale, dwRate, dwStart, dwLength, dwSuggestedBufferSize;
  uint32_t dwQuality, dwSampleSize;
  AviRect rcFrame;
};
static_assert(sizeof(AviStreamHeader) == kAviStreamHeaderSize);

struct AviBitmapInfo {
  uint32_t biSize;
  int32_t biWidth, biHeight;
  uint16_t biPlanes, biBitCount;
  uint32_t biCompression, biSizeImage;
  int32_t biXPelsPerMeter, biYPelsPerMeter;
  uint32_t biClrUsed, biClrImportant;
};
static_assert(sizeof(AviBitmapInfo) == kAviBitmapInfoSize);

#pragma pack(push, 2)
struct AviWaveFormat {
  uint16_t wFormatTag, nChannels;
  uint32_t nSamplesPerSec, nAvgBytesPerSec;
  uint16_t nBlockAlign, wBitsPerSample, cbSize;
};
#pragma pack(pop)
static_assert(sizeof(AviWaveFormat) == kAviWaveFormatSize);

struct AviIndexEntry {
  uint32_t ckid, dwFlags;
  uint32_t dwChunkOffset;  // from the "movi" list type field
  uint32_t dwChunkLength;
};
static_assert(sizeof(AviIndexEntry) == kAviIndexEntrySize);

// What validation reads from a recording. Value-initialise before ValidAVI.
struct AVIINFO {
  AviMainHeader mainHeader{};
  AviStreamHeader streams[kAviStreamSlots]{};
  AviBitmapInfo videoFormats[kAviVideoFormats]{};
  AviWaveFormat soundFormat{};
  uint32_t moviOffset = 0;  // first byte after the "movi" list type
  uint32_t moviSize = 0;    // list size minus the list type
  uint8_t streamCount = 0;  // strl lists kept (at most kAviStreamSlots)
  uint8_t videoStreamCount = 0;
  uint16_t indexCount = 0;
  std::vector<AviIndexEntry> index;  // empty when the entries could not be kept
  // Why a stored idx1 was set aside as no index (garbage ids, chunks outside movi); the
  // recording is then treated as one without an index.
  std::string indexProblem;
};

// The stream a movi chunk id belongs to: its second decimal digit, as the camera numbers
// streams 0 to 9; -1 when that character is no digit.
inline int AviChunkStream(uint32_t ckid) {
  const int digit = int((ckid >> 8) & 0xFF) - '0';
  return digit >= 0 && digit <= 9 ? digit : -1;
}
// "00dc", "01wb", ...: stream number (0 to 99) and two-letter type.
uint32_t AviChunkId(int stream, const char* type);
inline bool IsAviVideoChunk(uint32_t ckid) {
  return ((ckid >> 16) & 0xFF) == 'd' && (ckid >> 24) == 'c';
}

}  // namespace tq
