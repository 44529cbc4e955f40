// RAII owners for the FFmpeg objects the playback engine holds.
#pragma once

#include <memory>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/buffer.h>
#include <libavutil/frame.h>
}

struct SwrContext;

namespace tq {

struct CodecContextFree {
  void operator()(AVCodecContext* c) const { avcodec_free_context(&c); }
};
struct FrameFree {
  void operator()(AVFrame* f) const { av_frame_free(&f); }
};
struct PacketFree {
  void operator()(AVPacket* p) const { av_packet_free(&p); }
};
struct BufferPoolClose {
  void operator()(AVBufferPool* p) const { av_buffer_pool_uninit(&p); }
};
struct FormatContextClose {
  void operator()(AVFormatContext* f) const { avformat_close_input(&f); }
};

struct SwrContextFree {
  void operator()(SwrContext* s) const;  // swr_free
};

using CodecContextPtr = std::unique_ptr<AVCodecContext, CodecContextFree>;
using FramePtr = std::unique_ptr<AVFrame, FrameFree>;
using PacketPtr = std::unique_ptr<AVPacket, PacketFree>;
using BufferPoolPtr = std::unique_ptr<AVBufferPool, BufferPoolClose>;
using FormatContextPtr = std::unique_ptr<AVFormatContext, FormatContextClose>;
using SwrContextPtr = std::unique_ptr<SwrContext, SwrContextFree>;

// Frames held back by an opened decoder before its first picture: one per extra frame
// thread, plus the pictures it keeps for reordering.
int DecoderDelay(const AVCodecContext* c);

}  // namespace tq
