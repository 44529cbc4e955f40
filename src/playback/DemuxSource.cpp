#include "playback/DemuxSource.h"

extern "C" {
#include <libavformat/avformat.h>
}

#include "app/TraceLog.h"
#include "container/MediaFile.h"
#include "playback/FfmpegPtr.h"

namespace tq {

DemuxSource::DemuxSource(AVFormatContext* input, int videoStream, int audioStream,
                         MediaFile* scratch, std::mutex* scratchMutex)
    : input_(input), videoStream_(videoStream), audioStream_(audioStream), scratch_(scratch),
      scratchMutex_(scratchMutex) {}

uint32_t DemuxSource::ToMs(int stream, int64_t timestamp) {
  const int slot = stream == videoStream_ ? 0 : 1;
  if (timestamp == AV_NOPTS_VALUE) timestamp = haveBase_[slot] ? base_[slot] : 0;
  if (!haveBase_[slot]) {
    haveBase_[slot] = true;
    base_[slot] = timestamp;
  }
  // Entries count from the stream's first packet, in milliseconds whatever the time base.
  const int64_t ms = av_rescale_q(timestamp - base_[slot], input_->streams[stream]->time_base,
                                  AVRational{1, 1000});
  return ms < 0 ? 0 : uint32_t(ms);
}

SourceRead DemuxSource::Next(FrameRecord* out) {
  PacketPtr packet(av_packet_alloc());
  if (!packet) return SourceRead::kError;
  for (;;) {
    const int rc = av_read_frame(input_, packet.get());
    if (rc < 0) {
      if (rc == AVERROR_EOF) return SourceRead::kEnd;
      if (input_->pb && input_->pb->error) {
        TraceLog("CDispWnd::AvReadFrame", __LINE__, "av_read_frame failed %s\n", input_->url);
        return SourceRead::kError;
      }
      // Anything else (a damaged packet at the tail, an aborted read) ends the data.
      return SourceRead::kEnd;
    }
    const int stream = packet->stream_index;
    if (stream != videoStream_ && stream != audioStream_) {
      av_packet_unref(packet.get());
      continue;
    }
    if (packet->size <= 0) {
      av_packet_unref(packet.get());
      continue;
    }
    if (written_ + uint64_t(packet->size) > kMaxMediaFileSize) {
      TraceLog("CDispWnd::AvReadFrame", __LINE__, "stream scratch file full %s\n", input_->url);
      return SourceRead::kEnd;
    }
    {
      std::lock_guard<std::mutex> lock(*scratchMutex_);
      if (!scratch_->Seek(written_) || !scratch_->Write(packet->data, size_t(packet->size))) {
        TraceLog("CDispWnd::AvReadFrame", __LINE__, "stream scratch write failed %s\n",
                 scratch_->path().c_str());
        return SourceRead::kError;
      }
      // Readers of the same FILE need the bytes flushed before they seek to them.
      scratch_->Flush();
    }
    out->kind = stream == videoStream_ ? FrameRecord::kVideo : FrameRecord::kAudio;
    out->key = (packet->flags & AV_PKT_FLAG_KEY) != 0;
    // Decode order drives the pacing, so the decode time stamp is the entry's time.
    out->timeMs = ToMs(stream, packet->dts != AV_NOPTS_VALUE ? packet->dts : packet->pts);
    out->offset = uint32_t(written_);
    out->size = uint32_t(packet->size);
    written_ += uint64_t(packet->size);
    return SourceRead::kRecord;
  }
}

}  // namespace tq
