// Where run_thread gets its records from. One implementation per way a recording is
// read: the camera's frame records inside an MP4 (play mode 1), packets of the FFmpeg
// demuxer copied into the stream scratch file (play mode 2), and the AVI index.
#pragma once

#include <cstdint>
#include <mutex>

namespace tq {

class MediaFile;

struct FrameRecord {
  enum Kind { kVideo, kAudio, kOther };
  Kind kind = kOther;
  bool key = false;
  uint32_t timeMs = 0;   // from the start of the recording
  uint32_t offset = 0;   // of the sample data in the file the view reads
  uint32_t size = 0;
  uint8_t view = 0;      // 0 front, 1 rear (one AVI file holds both cameras)
};

enum class SourceRead { kRecord, kEnd, kError };

class FrameSource {
 public:
  virtual ~FrameSource() = default;
  // Runs on run_thread. Never blocks for long: play mode 2 reads are aborted by the
  // session's interrupt callback.
  virtual SourceRead Next(FrameRecord* out) = 0;
};

// The frame records of a camera MP4's media data: 16-byte big-endian headers (stream,
// key flag, time, size, extra length), then the extra bytes and the sample.
class Mp4RecordSource final : public FrameSource {
 public:
  // dataStart/dataLength: the media data payload. fileMutex guards reads of `file`,
  // which play_thread shares.
  Mp4RecordSource(MediaFile* file, std::mutex* fileMutex, uint32_t dataStart,
                  uint32_t dataLength, uint16_t videoStream);
  SourceRead Next(FrameRecord* out) override;

 private:
  MediaFile* file_;
  std::mutex* fileMutex_;
  uint64_t dataStart_;
  uint64_t dataLength_;
  uint64_t position_ = 0;  // relative to dataStart_
  uint64_t fileLength_ = 0;  // read once: a camera recording does not grow while played
  uint16_t videoStream_;
  bool haveBase_ = false;
  uint32_t baseMs_ = 0;    // the camera clock of the first record
};

// True when the media data starts with a frame record of one of the given streams: only
// then can the session index the file by its records.
bool StartsWithFrameRecord(MediaFile& file, uint32_t dataStart, uint32_t dataLength,
                           uint16_t videoStream, uint16_t audioStream);

}  // namespace tq
