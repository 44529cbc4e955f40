// Internals of the MP4 box reader shared by its source files: the bounded box window and
// the child walk, and the parsers below ParseMOOV / ParseMetaFree.
#pragma once

#include <algorithm>
#include <cstdint>

#include "container/MediaFile.h"
#include "container/Mp4Box.h"

namespace tq::mp4 {

constexpr uint32_t kBoxHeaderSize = 8;
constexpr uint32_t kFullBoxHeaderSize = 4;  // version + flags

// A read window over one box: [pos, end), where end is the box end already clamped to
// the parent's end and to the file length. No read passes `end`, whatever a size field
// claims. Reads are sequential through the file's stream position.
class BoxIn {
 public:
  BoxIn(MediaFile& f, uint64_t pos, uint64_t end) : f_(f), pos_(pos), end_(std::max(pos, end)) {}
  bool Start() { return f_.Seek(pos_); }  // positions the file at the window start
  bool Read(void* out, uint64_t bytes) {
    if (bytes > end_ - pos_ || !f_.Read(out, size_t(bytes))) return false;
    pos_ += bytes;
    return true;
  }
  bool Skip(uint64_t bytes) {
    if (bytes > end_ - pos_ || !f_.Seek(pos_ + bytes)) return false;
    pos_ += bytes;
    return true;
  }
  bool U8(uint8_t* v) { return Read(v, 1); }
  bool U16(uint16_t* v);
  bool U32(uint32_t* v);
  bool U64(uint64_t* v);
  bool FullBox(FullBoxHeader* h);  // version byte and the three flag bytes
  uint64_t left() const { return end_ - pos_; }
  uint64_t pos() const { return pos_; }
  uint64_t end() const { return end_; }
  MediaFile& file() { return f_; }

 private:
  MediaFile& f_;
  uint64_t pos_;
  uint64_t end_;
};

// What a child handler tells the walk.
enum class Step { Next, Stop, Fail };
// Why a walk ended.
enum class WalkEnd { End, SmallSize, HeaderFail, SeekFail, Stopped, Failed };

struct Child {
  uint32_t type = 0;
  BOXREF ref;        // size as stored, payload offset
  uint64_t end = 0;  // child end charged against the parent: min(start + size, parent end)
};

// Walks the child boxes of [first, end) where `first` is the absolute offset of the
// first child header. `handle(const Child&)` returns a Step. After every child the walk
// seeks to the child's start + its stored size, whatever the handler read. A parent
// with fewer than 8 bytes left ends the walk like its end.
template <class Handler>
WalkEnd WalkChildren(MediaFile& f, uint64_t first, uint64_t end, Handler&& handle) {
  uint64_t pos = first;
  while (pos < end) {
    if (end - pos < kBoxHeaderSize) return WalkEnd::End;
    if (!f.Seek(pos)) return WalkEnd::SeekFail;
    uint8_t h[kBoxHeaderSize];
    if (!f.Read(h, sizeof h)) return WalkEnd::HeaderFail;
    Child c;
    c.ref.size = GetU32(h);
    c.type = GetU32(h + 4);
    if (c.ref.size < kBoxHeaderSize) return WalkEnd::SmallSize;
    c.ref.offset = uint32_t(pos + kBoxHeaderSize);
    c.end = std::min<uint64_t>(pos + c.ref.size, end);
    Step s = handle(c);
    if (s == Step::Stop) return WalkEnd::Stopped;
    if (s == Step::Fail) return WalkEnd::Failed;
    pos += c.ref.size;
  }
  return WalkEnd::End;
}

// Parsers below the public entry points. Each takes the box window (positioned at the
// payload) and the record to fill; non-zero is success.
int ParseTRAK(MediaFile& f, const Child& box, TRAKBOX& trak);
int ParseMVHD(BoxIn& in, MVHDBOX& mvhd);
int ParseTKHD(BoxIn& in, TKHDBOX& tkhd);
int ParseELST(BoxIn& in, ELSTBOX& elst);
int ParseMDIA(MediaFile& f, const Child& box, MDIABOX& mdia);
int ParseMDHD(BoxIn& in, MDHDBOX& mdhd);
int ParseSTBL(MediaFile& f, const Child& box, STBLBOX& stbl);
int ParseSTSD(BoxIn& in, STSDBOX& stsd);
int ParserAVCConfigurationBox(MediaFile& f, uint64_t entryEnd, PSampleEntry& entry,
                              uint32_t format);
int ParseAudioSampleEntry(MediaFile& f, uint64_t entryEnd, PSampleEntry& entry,
                          uint32_t format);
int ParseESDS(BoxIn& in, ESDSREC& esds);
int ReadDescriptorLength(BoxIn& in, uint32_t* value, uint32_t* extraBytes);
int ParsePTVI(BoxIn& in, PTVIBOX& vi);
int ParsePTSO(BoxIn& in, PTSOBOX& so);

// Bytes a window of `left` bytes can hold of elements of `elementSize` bytes.
inline uint64_t Fits(uint64_t left, uint64_t elementSize) { return left / elementSize; }

}  // namespace tq::mp4
