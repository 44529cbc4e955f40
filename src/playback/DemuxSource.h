// Play mode 2: an MP4 the frame-record reader cannot index is read through the FFmpeg
// demuxer; every packet of the chosen streams is copied into the stream scratch file
// ("playfile.dat"), which the view then reads by offset like a camera recording.
#pragma once

#include <cstdint>
#include <mutex>

#include "playback/FrameSource.h"

struct AVFormatContext;

namespace tq {

class DemuxSource final : public FrameSource {
 public:
  // scratch/scratchMutex: the view's scratch file and file mutex (play_thread reads it).
  DemuxSource(AVFormatContext* input, int videoStream, int audioStream, MediaFile* scratch,
              std::mutex* scratchMutex);
  SourceRead Next(FrameRecord* out) override;

 private:
  uint32_t ToMs(int stream, int64_t timestamp);

  AVFormatContext* input_;
  int videoStream_;
  int audioStream_;
  MediaFile* scratch_;
  std::mutex* scratchMutex_;
  uint64_t written_ = 0;       // bytes appended to the scratch file
  int64_t base_[2] = {0, 0};   // first time stamp of the video / audio stream
  bool haveBase_[2] = {false, false};
};

}  // namespace tq
