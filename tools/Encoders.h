// libavcodec encoders for the generated recordings: H.264 (libx264) or H.265 (libx265)
// video turned into the camera's sample form, and AAC (FFmpeg's native encoder) sound.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

struct AVCodecContext;
struct AVFrame;
struct AVPacket;

namespace tq {

struct EncodedSample {
  std::vector<uint8_t> data;  // video: NAL units, each behind a 4-byte big-endian length
  bool key = false;
  uint32_t timeMs = 0;        // from the start of the recording
};

struct VideoSettings {
  int width = 1920;
  int height = 1080;
  int fps = 30;
  int gop = 30;            // frames from one key frame to the next
  bool hevc = false;
  int bitrateKbps = 0;     // 0: constant quality
};

struct CodecContextDeleter { void operator()(AVCodecContext* c) const; };
struct FrameDeleter { void operator()(AVFrame* f) const; };
struct PacketDeleter { void operator()(AVPacket* p) const; };
using CodecContextPtr = std::unique_ptr<AVCodecContext, CodecContextDeleter>;
using FramePtr = std::unique_ptr<AVFrame, FrameDeleter>;
using PacketPtr = std::unique_ptr<AVPacket, PacketDeleter>;

// Splits Annex-B data (start-code separated) into NAL units, start codes removed.
std::vector<std::vector<uint8_t>> SplitAnnexB(const uint8_t* data, size_t size);

class VideoEncoder {
 public:
  static std::unique_ptr<VideoEncoder> Open(const VideoSettings& settings, std::string* error);

  // Encodes one picture (its pts is its frame number) or, with null, drains the encoder.
  // Finished samples are appended in decode order.
  bool Encode(AVFrame* picture, std::vector<EncodedSample>* out, std::string* error);

  // The parameter sets in the order the camera stores them: SPS, PPS (H.264) or VPS, SPS,
  // PPS (H.265); raw NAL units without length or start code.
  const std::vector<std::vector<uint8_t>>& parameterSets() const { return parameterSets_; }

  // A writable picture of the encoder's size and format.
  FramePtr NewPicture(std::string* error) const;

 private:
  VideoEncoder(CodecContextPtr ctx, const VideoSettings& s) : ctx_(std::move(ctx)), settings_(s) {}
  bool Drain(std::vector<EncodedSample>* out, std::string* error);
  CodecContextPtr ctx_;
  PacketPtr packet_;
  VideoSettings settings_;
  std::vector<std::vector<uint8_t>> parameterSets_;
};

struct SoundTrack {
  std::vector<EncodedSample> samples;  // raw AAC access units
  std::vector<uint8_t> audioSpecificConfig;
  int sampleRate = 48000;
  int channels = 1;
  int bitsPerSample = 16;
};

// Encodes `durationMs` of a test sound as AAC: a low hum with a short beep every second,
// or, with toneHz above 0, one steady sine of that frequency (a tone tests can find).
bool EncodeSound(int sampleRate, uint32_t durationMs, uint32_t seed, SoundTrack* track,
                 std::string* error, int toneHz = 0);

// A JPEG of one picture (YUV 4:2:0), as the camera's ".thm" thumbnail holds it.
bool EncodeJpeg(const AVFrame* picture, std::vector<uint8_t>* jpeg, std::string* error);

std::string AvErrorText(int code);

}  // namespace tq
