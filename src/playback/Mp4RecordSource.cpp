#include "playback/FrameSource.h"

#include "app/TraceLog.h"
#include "container/MediaFile.h"

namespace tq {
namespace {

constexpr uint32_t kRecordHeaderBytes = 16;

struct RecordHeader {
  uint16_t stream = 0;
  uint16_t key = 0;
  uint32_t timeMs = 0;
  uint32_t size = 0;
  uint32_t extra = 0;
};

bool ReadHeader(MediaFile& f, uint64_t at, RecordHeader* h) {
  uint8_t b[kRecordHeaderBytes];
  if (!f.Seek(at) || !f.Read(b, sizeof b)) return false;
  h->stream = GetU16(b);
  h->key = GetU16(b + 2);
  h->timeMs = GetU32(b + 4);
  h->size = GetU32(b + 8);
  h->extra = GetU32(b + 12);
  return true;
}

}  // namespace

Mp4RecordSource::Mp4RecordSource(MediaFile* file, std::mutex* fileMutex, uint32_t dataStart,
                                 uint32_t dataLength, uint16_t videoStream)
    : file_(file), fileMutex_(fileMutex), dataStart_(dataStart), dataLength_(dataLength),
      videoStream_(videoStream) {}

SourceRead Mp4RecordSource::Next(FrameRecord* out) {
  if (position_ + kRecordHeaderBytes > dataLength_) return SourceRead::kEnd;
  RecordHeader h;
  {
    std::lock_guard<std::mutex> lock(*fileMutex_);
    if (fileLength_ == 0) fileLength_ = file_->Length();
    if (!ReadHeader(*file_, dataStart_ + position_, &h)) return SourceRead::kError;
  }
  const uint64_t payload = position_ + kRecordHeaderBytes + h.extra;
  const uint64_t end = payload + h.size;
  // A record that does not fit the media data or the file ends the data: the camera
  // stopped in the middle of it.
  if (h.size == 0 || h.key > 1 || end > dataLength_ || dataStart_ + end > fileLength_) {
    TraceLog("Mp4RecordSource::Next", __LINE__, "frame record at %llu ends the data\n",
             static_cast<unsigned long long>(dataStart_ + position_));
    return SourceRead::kEnd;
  }
  if (!haveBase_) {
    haveBase_ = true;
    baseMs_ = h.timeMs;
  }
  out->kind = h.stream == videoStream_ ? FrameRecord::kVideo : FrameRecord::kAudio;
  out->key = h.key == 1;
  out->timeMs = h.timeMs >= baseMs_ ? h.timeMs - baseMs_ : 0;
  out->offset = uint32_t(dataStart_ + payload);
  out->size = h.size;
  position_ = end;
  return SourceRead::kRecord;
}

bool StartsWithFrameRecord(MediaFile& file, uint32_t dataStart, uint32_t dataLength,
                           uint16_t videoStream, uint16_t audioStream) {
  if (dataStart == 0 || dataLength < kRecordHeaderBytes || videoStream == 0) return false;
  RecordHeader h;
  if (!ReadHeader(file, dataStart, &h)) return false;
  const bool known = h.stream == videoStream || (audioStream != 0 && h.stream == audioStream);
  const uint64_t end = uint64_t(kRecordHeaderBytes) + h.extra + h.size;
  return known && h.key <= 1 && h.size > 0 && end <= dataLength &&
         uint64_t(dataStart) + end <= file.Length();
}

}  // namespace tq
