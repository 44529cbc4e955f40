// Decodes the video of a file with libavformat/libavcodec and reads the frame tag of
// every picture, in decode output order: which camera and frame each picture shows.
#pragma once

#include <string>
#include <vector>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
}

#include "FrameTag.h"

namespace tq::test {

struct DecodedTag {
  int camera = -1;
  int frame = -1;  // -1 when the picture's tag could not be read
  bool key = false;
};

inline bool DecodeFrameTags(const std::string& path, std::vector<DecodedTag>* out,
                            std::string* error) {
  out->clear();
  AVFormatContext* fmt = nullptr;
  if (avformat_open_input(&fmt, path.c_str(), nullptr, nullptr) < 0) {
    *error = path + ": cannot open";
    return false;
  }
  struct Closer {
    AVFormatContext** f;
    AVCodecContext* c = nullptr;
    AVPacket* p = nullptr;
    AVFrame* fr = nullptr;
    ~Closer() {
      av_frame_free(&fr);
      av_packet_free(&p);
      avcodec_free_context(&c);
      avformat_close_input(f);
    }
  } closer{&fmt};
  if (avformat_find_stream_info(fmt, nullptr) < 0) {
    *error = path + ": no stream info";
    return false;
  }
  const int stream = av_find_best_stream(fmt, AVMEDIA_TYPE_VIDEO, -1, -1, nullptr, 0);
  if (stream < 0) {
    *error = path + ": no video stream";
    return false;
  }
  const AVCodecParameters* par = fmt->streams[stream]->codecpar;
  const AVCodec* codec = avcodec_find_decoder(par->codec_id);
  closer.c = avcodec_alloc_context3(codec);
  closer.p = av_packet_alloc();
  closer.fr = av_frame_alloc();
  if (!codec || !closer.c || !closer.p || !closer.fr ||
      avcodec_parameters_to_context(closer.c, par) < 0 || avcodec_open2(closer.c, codec, nullptr) < 0) {
    *error = path + ": cannot open the decoder";
    return false;
  }
  auto receive = [&]() {
    while (avcodec_receive_frame(closer.c, closer.fr) == 0) {
      const FrameTagValue v = ReadFrameTag(closer.fr->data[0], closer.fr->linesize[0],
                                           closer.fr->width, closer.fr->height);
      out->push_back({v.camera, v.frame, closer.fr->key_frame != 0});
      av_frame_unref(closer.fr);
    }
  };
  while (av_read_frame(fmt, closer.p) >= 0) {
    if (closer.p->stream_index == stream && avcodec_send_packet(closer.c, closer.p) < 0) {
      av_packet_unref(closer.p);
      *error = path + ": decoding failed";
      return false;
    }
    av_packet_unref(closer.p);
    receive();
  }
  avcodec_send_packet(closer.c, nullptr);
  receive();
  return true;
}

}  // namespace tq::test
