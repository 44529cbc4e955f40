// Small real media for the writer tests: H.264 frames from libx264 as length-prefixed
// NAL units with their parameter sets, and raw AAC frames, encoded through libavcodec.
#pragma once

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavutil/log.h>
#include <libavutil/opt.h>
}

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace tq::testmedia {

struct EncodedVideo {
  std::vector<uint8_t> sps, pps;                 // without start codes
  std::vector<std::vector<uint8_t>> frames;      // 4-byte length-prefixed NAL units
  std::vector<bool> key;
  int width = 0, height = 0;
};

struct EncodedSound {
  std::vector<std::vector<uint8_t>> frames;      // raw AAC access units
  int sampleRate = 0, channels = 0, frameSamples = 0;
};

struct CodecCtxDeleter {
  void operator()(AVCodecContext* c) const { avcodec_free_context(&c); }
};
struct FrameDeleter {
  void operator()(AVFrame* f) const { av_frame_free(&f); }
};
struct PacketDeleter {
  void operator()(AVPacket* p) const { av_packet_free(&p); }
};

// Splits Annex-B bytes into NAL units (start codes removed).
inline std::vector<std::vector<uint8_t>> SplitAnnexB(const uint8_t* p, size_t n) {
  std::vector<std::vector<uint8_t>> units;
  size_t i = 0, start = SIZE_MAX;
  while (i + 3 <= n) {
    bool sc3 = p[i] == 0 && p[i + 1] == 0 && p[i + 2] == 1;
    if (sc3) {
      if (start != SIZE_MAX) {
        size_t end = i;
        while (end > start && p[end - 1] == 0) --end;  // a 4-byte start code's leading zero
        units.emplace_back(p + start, p + end);
      }
      i += 3;
      start = i;
    } else {
      ++i;
    }
  }
  if (start != SIZE_MAX && start < n) units.emplace_back(p + start, p + n);
  return units;
}

inline void Drain(AVCodecContext* c, AVPacket* pkt, std::vector<std::vector<uint8_t>>* out,
                  std::vector<bool>* key) {
  while (avcodec_receive_packet(c, pkt) == 0) {
    out->emplace_back(pkt->data, pkt->data + pkt->size);
    if (key) key->push_back(pkt->flags & AV_PKT_FLAG_KEY);
    av_packet_unref(pkt);
  }
}

// Encodes `count` frames of a moving gradient; key frame every `gop` frames, no B-frames.
inline bool EncodeH264(int width, int height, int count, int gop, EncodedVideo* out,
                       int shade = 0) {
  const AVCodec* codec = avcodec_find_encoder_by_name("libx264");
  if (!codec) return false;
  std::unique_ptr<AVCodecContext, CodecCtxDeleter> c(avcodec_alloc_context3(codec));
  c->width = width;
  c->height = height;
  c->pix_fmt = AV_PIX_FMT_YUV420P;
  c->time_base = {1, 30};
  c->framerate = {30, 1};
  c->gop_size = gop;
  c->max_b_frames = 0;
  c->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
  av_opt_set(c->priv_data, "preset", "ultrafast", 0);
  av_opt_set(c->priv_data, "x264-params", "scenecut=0:repeat-headers=0", 0);
  if (avcodec_open2(c.get(), codec, nullptr) < 0) return false;
  for (auto& u : SplitAnnexB(c->extradata, size_t(c->extradata_size))) {
    if (u.empty()) continue;
    if ((u[0] & 0x1F) == 7) out->sps = u;
    if ((u[0] & 0x1F) == 8) out->pps = u;
  }
  std::unique_ptr<AVFrame, FrameDeleter> frame(av_frame_alloc());
  frame->format = c->pix_fmt;
  frame->width = width;
  frame->height = height;
  if (av_frame_get_buffer(frame.get(), 0) < 0) return false;
  std::unique_ptr<AVPacket, PacketDeleter> pkt(av_packet_alloc());
  std::vector<std::vector<uint8_t>> annexB;
  for (int i = 0; i < count; ++i) {
    if (av_frame_make_writable(frame.get()) < 0) return false;
    for (int y = 0; y < height; ++y)
      for (int x = 0; x < width; ++x)
        frame->data[0][y * frame->linesize[0] + x] = uint8_t(x * 3 + y + i * 7 + shade);
    for (int p = 1; p < 3; ++p)
      for (int y = 0; y < height / 2; ++y)
        for (int x = 0; x < width / 2; ++x)
          frame->data[p][y * frame->linesize[p] + x] = uint8_t(128 + p * 20 + i);
    frame->pts = i;
    if (avcodec_send_frame(c.get(), frame.get()) < 0) return false;
    Drain(c.get(), pkt.get(), &annexB, &out->key);
  }
  if (avcodec_send_frame(c.get(), nullptr) < 0) return false;
  Drain(c.get(), pkt.get(), &annexB, &out->key);
  for (auto& au : annexB) {
    std::vector<uint8_t> sample;
    for (auto& u : SplitAnnexB(au.data(), au.size())) {
      uint8_t type = u.empty() ? 0 : u[0] & 0x1F;
      if (type == 7 || type == 8 || type == 9) continue;  // parameter sets live in avcC
      uint8_t len[4];
      len[0] = uint8_t(u.size() >> 24); len[1] = uint8_t(u.size() >> 16);
      len[2] = uint8_t(u.size() >> 8); len[3] = uint8_t(u.size());
      sample.insert(sample.end(), len, len + 4);
      sample.insert(sample.end(), u.begin(), u.end());
    }
    out->frames.push_back(std::move(sample));
  }
  out->width = width;
  out->height = height;
  return !out->sps.empty() && !out->pps.empty() && int(out->frames.size()) == count;
}

// Encodes `count` AAC-LC frames of a tone.
inline bool EncodeAac(int sampleRate, int channels, int count, EncodedSound* out) {
  const AVCodec* codec = avcodec_find_encoder(AV_CODEC_ID_AAC);
  if (!codec) return false;
  std::unique_ptr<AVCodecContext, CodecCtxDeleter> c(avcodec_alloc_context3(codec));
  c->sample_rate = sampleRate;
  c->sample_fmt = AV_SAMPLE_FMT_FLTP;
  av_channel_layout_default(&c->ch_layout, channels);
  c->bit_rate = 64000;
  c->time_base = {1, sampleRate};
  if (avcodec_open2(c.get(), codec, nullptr) < 0) return false;
  std::unique_ptr<AVFrame, FrameDeleter> frame(av_frame_alloc());
  frame->format = c->sample_fmt;
  frame->nb_samples = c->frame_size;
  frame->sample_rate = sampleRate;
  if (av_channel_layout_copy(&frame->ch_layout, &c->ch_layout) < 0) return false;
  if (av_frame_get_buffer(frame.get(), 0) < 0) return false;
  std::unique_ptr<AVPacket, PacketDeleter> pkt(av_packet_alloc());
  for (int i = 0; i < count; ++i) {
    if (av_frame_make_writable(frame.get()) < 0) return false;
    for (int ch = 0; ch < channels; ++ch) {
      auto* s = reinterpret_cast<float*>(frame->data[ch]);
      for (int k = 0; k < c->frame_size; ++k)
        s[k] = 0.2f * float(((i * c->frame_size + k) / 50) % 2 ? 1 : -1);
    }
    frame->pts = int64_t(i) * c->frame_size;
    if (avcodec_send_frame(c.get(), frame.get()) < 0) return false;
    Drain(c.get(), pkt.get(), &out->frames, nullptr);
  }
  if (avcodec_send_frame(c.get(), nullptr) < 0) return false;
  Drain(c.get(), pkt.get(), &out->frames, nullptr);
  out->sampleRate = sampleRate;
  out->channels = channels;
  out->frameSamples = c->frame_size;
  return !out->frames.empty();
}

// Runs a shell command; returns its exit status and fills *output with stdout+stderr
// as chosen by the command line itself.
inline int RunCommand(const std::string& command, std::string* output) {
  output->clear();
  FILE* p = popen(command.c_str(), "r");
  if (!p) return -1;
  char buf[4096];
  size_t n;
  while ((n = fread(buf, 1, sizeof buf, p)) > 0) output->append(buf, n);
  int status = pclose(p);
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

}  // namespace tq::testmedia
