#include "Encoders.h"

#include <cmath>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavutil/channel_layout.h>
#include <libavutil/error.h>
#include <libavutil/opt.h>
}

// libx265 keeps a few of its parameter strings and frame-filter buffers after
// x265_encoder_close; the leak checker of the sanitizer builds is told to look past them.
// (Any program that links the encoders gets this; without a sanitizer it is never called.)
extern "C" const char* __lsan_default_suppressions() { return "leak:libx265.so\n"; }

namespace tq {
namespace {

constexpr int kH264NalSps = 7, kH264NalPps = 8, kH264SliceFirst = 1, kH264SliceLast = 5;
constexpr int kHevcNalVps = 32, kHevcNalSps = 33, kHevcNalPps = 34, kHevcVclLast = 31;
constexpr int kHevcIdrWithRadl = 19, kHevcIdrNoLeading = 20;
constexpr size_t kAudioSpecificConfigSize = 2;  // AAC-LC, rate index, channels
constexpr int kSoundBitRate = 64000;
constexpr double kHumHz = 220.0, kBeepHz = 1000.0;
constexpr uint32_t kBeepMs = 100;
constexpr double kToneLevel = 0.5;  // of full scale

int NalType(const std::vector<uint8_t>& nal, bool hevc) {
  if (nal.empty()) return -1;
  return hevc ? (nal[0] >> 1) & 0x3F : nal[0] & 0x1F;
}

bool IsPictureNal(int type, bool hevc) {
  return hevc ? type >= 0 && type <= kHevcVclLast
              : type >= kH264SliceFirst && type <= kH264SliceLast;
}

void AppendLengthPrefixed(std::vector<uint8_t>& out, const std::vector<uint8_t>& nal) {
  const uint32_t n = uint32_t(nal.size());
  out.push_back(uint8_t(n >> 24));
  out.push_back(uint8_t(n >> 16));
  out.push_back(uint8_t(n >> 8));
  out.push_back(uint8_t(n));
  out.insert(out.end(), nal.begin(), nal.end());
}

bool Fail(std::string* error, const std::string& what, int code) {
  if (error) *error = what + ": " + AvErrorText(code);
  return false;
}

}  // namespace

void CodecContextDeleter::operator()(AVCodecContext* c) const { avcodec_free_context(&c); }
void FrameDeleter::operator()(AVFrame* f) const { av_frame_free(&f); }
void PacketDeleter::operator()(AVPacket* p) const { av_packet_free(&p); }

std::string AvErrorText(int code) {
  char text[AV_ERROR_MAX_STRING_SIZE] = {};
  av_strerror(code, text, sizeof text);
  return text;
}

std::vector<std::vector<uint8_t>> SplitAnnexB(const uint8_t* data, size_t size) {
  std::vector<std::vector<uint8_t>> nals;
  size_t i = 0, start = SIZE_MAX;
  while (i + 3 <= size) {
    if (data[i] == 0 && data[i + 1] == 0 && data[i + 2] == 1) {
      if (start != SIZE_MAX) {
        size_t end = i;
        while (end > start && data[end - 1] == 0) --end;  // zero byte of a 4-byte code
        nals.emplace_back(data + start, data + end);
      }
      i += 3;
      start = i;
    } else {
      ++i;
    }
  }
  if (start != SIZE_MAX && start < size) nals.emplace_back(data + start, data + size);
  return nals;
}

std::unique_ptr<VideoEncoder> VideoEncoder::Open(const VideoSettings& s, std::string* error) {
  const char* name = s.hevc ? "libx265" : "libx264";
  const AVCodec* codec = avcodec_find_encoder_by_name(name);
  if (!codec) {
    if (error) *error = std::string("encoder ") + name + " is not available";
    return nullptr;
  }
  CodecContextPtr ctx(avcodec_alloc_context3(codec));
  if (!ctx) {
    if (error) *error = "cannot allocate the video encoder";
    return nullptr;
  }
  ctx->width = s.width;
  ctx->height = s.height;
  ctx->pix_fmt = AV_PIX_FMT_YUV420P;
  ctx->time_base = AVRational{1, s.fps};
  ctx->framerate = AVRational{s.fps, 1};
  ctx->gop_size = s.gop;
  ctx->keyint_min = s.gop;
  ctx->max_b_frames = 0;  // frame records carry one time stamp: decode order is display order
  ctx->thread_count = 1;  // the same bytes on every machine for a given seed
  ctx->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
  if (s.bitrateKbps > 0) {
    ctx->bit_rate = int64_t(s.bitrateKbps) * 1000;
    ctx->rc_max_rate = ctx->bit_rate;
    ctx->rc_buffer_size = int(ctx->bit_rate);
  }
  int rc = 0;
  if (s.hevc) {
    const std::string params = "keyint=" + std::to_string(s.gop) + ":min-keyint=" +
                               std::to_string(s.gop) +
                               ":scenecut=0:open-gop=0:bframes=0:pools=1:frame-threads=1"
                               ":lookahead-slices=0:info=0:log-level=error";
    rc = av_opt_set(ctx->priv_data, "preset", "ultrafast", 0);
    if (rc >= 0) rc = av_opt_set(ctx->priv_data, "x265-params", params.c_str(), 0);
    if (rc >= 0 && s.bitrateKbps == 0) rc = av_opt_set(ctx->priv_data, "crf", "26", 0);
  } else {
    rc = av_opt_set(ctx->priv_data, "preset", "superfast", 0);
    if (rc >= 0) rc = av_opt_set(ctx->priv_data, "x264-params", "scenecut=0:open-gop=0", 0);
    if (rc >= 0 && s.bitrateKbps == 0) rc = av_opt_set(ctx->priv_data, "crf", "23", 0);
  }
  if (rc < 0) {
    Fail(error, std::string("cannot set the options of ") + name, rc);
    return nullptr;
  }
  rc = avcodec_open2(ctx.get(), codec, nullptr);
  if (rc < 0) {
    Fail(error, std::string("cannot open ") + name, rc);
    return nullptr;
  }
  std::unique_ptr<VideoEncoder> enc(new VideoEncoder(std::move(ctx), s));
  enc->packet_.reset(av_packet_alloc());
  if (!enc->packet_) {
    if (error) *error = "cannot allocate a packet";
    return nullptr;
  }
  const int wanted[3] = {s.hevc ? kHevcNalVps : kH264NalSps, s.hevc ? kHevcNalSps : kH264NalPps,
                         s.hevc ? kHevcNalPps : -1};
  const auto nals = SplitAnnexB(enc->ctx_->extradata, size_t(enc->ctx_->extradata_size));
  for (int type : wanted) {
    if (type < 0) continue;
    for (const auto& nal : nals)
      if (NalType(nal, s.hevc) == type) {
        enc->parameterSets_.push_back(nal);
        break;
      }
  }
  if (enc->parameterSets_.size() != (s.hevc ? 3u : 2u)) {
    if (error) *error = std::string(name) + " gave no complete set of parameter sets";
    return nullptr;
  }
  return enc;
}

FramePtr VideoEncoder::NewPicture(std::string* error) const {
  FramePtr f(av_frame_alloc());
  if (!f) {
    if (error) *error = "cannot allocate a picture";
    return nullptr;
  }
  f->format = AV_PIX_FMT_YUV420P;
  f->width = settings_.width;
  f->height = settings_.height;
  const int rc = av_frame_get_buffer(f.get(), 0);
  if (rc < 0) {
    Fail(error, "cannot allocate picture planes", rc);
    return nullptr;
  }
  return f;
}

bool VideoEncoder::Encode(AVFrame* picture, std::vector<EncodedSample>* out, std::string* error) {
  const int rc = avcodec_send_frame(ctx_.get(), picture);
  if (rc < 0) return Fail(error, "video encoding failed", rc);
  return Drain(out, error);
}

bool VideoEncoder::Drain(std::vector<EncodedSample>* out, std::string* error) {
  for (;;) {
    const int rc = avcodec_receive_packet(ctx_.get(), packet_.get());
    if (rc == AVERROR(EAGAIN) || rc == AVERROR_EOF) return true;
    if (rc < 0) return Fail(error, "video encoding failed", rc);
    EncodedSample sample;
    sample.key = (packet_->flags & AV_PKT_FLAG_KEY) != 0;
    sample.timeMs = uint32_t(packet_->pts * 1000 / settings_.fps);
    // The camera's samples hold picture data only: parameter sets live in the head and
    // the sample entry, and the encoder's SEI and delimiters are not part of its stream.
    for (auto& nal : SplitAnnexB(packet_->data, size_t(packet_->size))) {
      const int type = NalType(nal, settings_.hevc);
      if (!IsPictureNal(type, settings_.hevc)) continue;
      // The camera marks its key pictures IDR_W_RADL, and readers test for exactly that
      // type; libx265 writes IDR_N_LP. The two differ only in whether leading pictures
      // may follow (none do here), so the header type is rewritten.
      if (settings_.hevc && type == kHevcIdrNoLeading)
        nal[0] = uint8_t((nal[0] & 0x81) | kHevcIdrWithRadl << 1);
      AppendLengthPrefixed(sample.data, nal);
    }
    av_packet_unref(packet_.get());
    if (sample.data.empty()) {
      if (error) *error = "the video encoder produced a packet without picture data";
      return false;
    }
    out->push_back(std::move(sample));
  }
}

bool EncodeSound(int sampleRate, uint32_t durationMs, uint32_t seed, SoundTrack* track,
                 std::string* error, int toneHz) {
  const AVCodec* codec = avcodec_find_encoder_by_name("aac");
  if (!codec) {
    if (error) *error = "encoder aac is not available";
    return false;
  }
  CodecContextPtr ctx(avcodec_alloc_context3(codec));
  PacketPtr packet(av_packet_alloc());
  FramePtr frame(av_frame_alloc());
  if (!ctx || !packet || !frame) {
    if (error) *error = "cannot allocate the sound encoder";
    return false;
  }
  ctx->sample_fmt = AV_SAMPLE_FMT_FLTP;
  ctx->sample_rate = sampleRate;
  av_channel_layout_default(&ctx->ch_layout, 1);
  ctx->bit_rate = kSoundBitRate;
  ctx->time_base = AVRational{1, sampleRate};
  ctx->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
  int rc = avcodec_open2(ctx.get(), codec, nullptr);
  if (rc < 0) return Fail(error, "cannot open the aac encoder", rc);
  const int frameSize = ctx->frame_size;
  const int64_t totalSamples = int64_t(durationMs) * sampleRate / 1000;
  const int64_t frames = (totalSamples + frameSize - 1) / frameSize;
  track->samples.clear();
  track->sampleRate = sampleRate;
  track->channels = 1;
  track->bitsPerSample = 16;
  // The camera stores the plain two-byte configuration; FFmpeg appends an extension.
  if (ctx->extradata_size < int(kAudioSpecificConfigSize)) {
    if (error) *error = "the aac encoder gave no AudioSpecificConfig";
    return false;
  }
  track->audioSpecificConfig.assign(ctx->extradata, ctx->extradata + kAudioSpecificConfigSize);
  const double phase = double(seed % 628) / 100.0;
  auto receive = [&]() -> bool {
    for (;;) {
      rc = avcodec_receive_packet(ctx.get(), packet.get());
      if (rc == AVERROR(EAGAIN) || rc == AVERROR_EOF) return true;
      if (rc < 0) return Fail(error, "sound encoding failed", rc);
      if (int64_t(track->samples.size()) < frames) {
        EncodedSample s;
        s.data.assign(packet->data, packet->data + packet->size);
        s.timeMs = uint32_t(int64_t(track->samples.size()) * frameSize * 1000 / sampleRate);
        track->samples.push_back(std::move(s));
      }
      av_packet_unref(packet.get());
    }
  };
  for (int64_t k = 0; k < frames; ++k) {
    frame->format = AV_SAMPLE_FMT_FLTP;
    frame->nb_samples = frameSize;
    frame->sample_rate = sampleRate;
    rc = av_channel_layout_copy(&frame->ch_layout, &ctx->ch_layout);
    if (rc >= 0) rc = av_frame_get_buffer(frame.get(), 0);
    if (rc >= 0) rc = av_frame_make_writable(frame.get());
    if (rc < 0) return Fail(error, "cannot allocate sound frames", rc);
    float* pcm = reinterpret_cast<float*>(frame->data[0]);
    for (int i = 0; i < frameSize; ++i) {
      const int64_t n = k * frameSize + i;
      const double t = double(n) / sampleRate;
      const bool beep = uint32_t(n * 1000 / sampleRate % 1000) < kBeepMs;
      if (toneHz > 0)
        pcm[i] = float(kToneLevel * std::sin(2 * M_PI * toneHz * t));
      else
        pcm[i] = float(0.05 * std::sin(2 * M_PI * kHumHz * t + phase) +
                       (beep ? 0.3 * std::sin(2 * M_PI * kBeepHz * t) : 0.0));
    }
    frame->pts = k * frameSize;
    rc = avcodec_send_frame(ctx.get(), frame.get());
    av_frame_unref(frame.get());
    if (rc < 0) return Fail(error, "sound encoding failed", rc);
    if (!receive()) return false;
  }
  rc = avcodec_send_frame(ctx.get(), nullptr);
  if (rc < 0) return Fail(error, "sound encoding failed", rc);
  return receive();
}

bool EncodeJpeg(const AVFrame* picture, std::vector<uint8_t>* jpeg, std::string* error) {
  const AVCodec* codec = avcodec_find_encoder(AV_CODEC_ID_MJPEG);
  if (!codec) {
    if (error) *error = "encoder mjpeg is not available";
    return false;
  }
  CodecContextPtr ctx(avcodec_alloc_context3(codec));
  PacketPtr packet(av_packet_alloc());
  FramePtr frame(av_frame_alloc());
  if (!ctx || !packet || !frame) {
    if (error) *error = "cannot allocate the thumbnail encoder";
    return false;
  }
  ctx->width = picture->width;
  ctx->height = picture->height;
  ctx->pix_fmt = AV_PIX_FMT_YUVJ420P;
  ctx->time_base = AVRational{1, 1};
  ctx->thread_count = 1;
  int rc = avcodec_open2(ctx.get(), codec, nullptr);
  if (rc < 0) return Fail(error, "cannot open the mjpeg encoder", rc);
  rc = av_frame_ref(frame.get(), picture);
  if (rc < 0) return Fail(error, "cannot take the thumbnail picture", rc);
  frame->format = AV_PIX_FMT_YUVJ420P;  // same planes; JPEG reads them as full range
  frame->pts = 0;
  rc = avcodec_send_frame(ctx.get(), frame.get());
  if (rc >= 0) rc = avcodec_send_frame(ctx.get(), nullptr);
  if (rc >= 0) rc = avcodec_receive_packet(ctx.get(), packet.get());
  if (rc < 0) return Fail(error, "thumbnail encoding failed", rc);
  jpeg->assign(packet->data, packet->data + packet->size);
  return true;
}

}  // namespace tq
