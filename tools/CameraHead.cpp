#include "CameraHead.h"

#include "BoxBytes.h"
#include "Telemetry.h"

namespace tq {
namespace {

constexpr uint32_t kBoxHeader = 8;

BOXREF Ref(const BoxBytes& b, size_t at) {
  const auto& v = b.bytes();
  const uint32_t size = uint32_t(v[at]) << 24 | uint32_t(v[at + 1]) << 16 |
                        uint32_t(v[at + 2]) << 8 | v[at + 3];
  return {size, uint32_t(at) + kBoxHeader};
}

const char* VideoFourCC(uint32_t codec) {
  switch (codec) {
    case kCodecAvc1: return "avc1";
    case kCodecHvc1: return "hvc1";
    case kCodecMp4v: return "mp4v";
    case kCodecS263: return "s263";
    default: return "\0\0\0\0";
  }
}

const char* SoundFourCC(uint32_t codec) {
  switch (codec) {
    case kCodecMp4a: return "mp4a";
    case kCodecMp3: return ".mp3";
    default: return "\0\0\0\0";
  }
}

void ConfigStrings(BoxBytes& b, const std::vector<ConfigParam>& config) {
  b.U16(uint16_t(config.size()));
  for (const ConfigParam& c : config) {
    b.U16(uint16_t(c.length));
    b.Bytes(c.szConfigStr);
  }
}

ConfigParam Param(const std::vector<uint8_t>& bytes) {
  ConfigParam c;
  c.szConfigStr = bytes;
  c.length = int32_t(bytes.size());
  return c;
}

}  // namespace

PTVIBOX MakeVideoDescription(uint32_t codec, int width, int height,
                             const std::vector<std::vector<uint8_t>>& parameterSets) {
  PTVIBOX vi;
  vi.streamNumber = kVideoStreamNumber;
  vi.codec = codec;
  vi.width = uint16_t(width);
  vi.height = uint16_t(height);
  for (const auto& ps : parameterSets) vi.config.push_back(Param(ps));
  vi.nConfigNum = uint32_t(vi.config.size());
  return vi;
}

PTSOBOX MakeSoundDescription(int channels, int bitsPerSample, int sampleRate,
                             const std::vector<uint8_t>& audioSpecificConfig) {
  PTSOBOX so;
  so.streamNumber = kSoundStreamNumber;
  so.codec = kCodecMp4a;
  so.channelCount = uint16_t(channels);
  so.bitsPerSample = uint16_t(bitsPerSample);
  so.sampleRate = uint32_t(sampleRate);
  so.config.push_back(Param(audioSpecificConfig));
  so.nConfigNum = 1;
  return so;
}

CameraHead BuildCameraHead(const CameraHeadSpec& spec) {
  CameraHead head;
  BoxBytes b;
  size_t at = b.Begin("ftyp");
  b.Type("mp42");
  b.U32(1);
  b.Type("mp42");
  b.Type("mp42");
  b.End(at);

  const size_t freeAt = b.Begin("free");
  at = b.Begin("cprt");
  b.U8(' ');  // the camera puts a blank before the notice
  b.Text(spec.notice, true);
  b.End(at);

  at = b.Begin("sttm");
  b.U64(spec.startTimeMs);
  b.End(at);

  at = b.Begin("ptnm");
  b.U8(spec.gps2Layout ? kPtnmKindGps2 : kPtnmKindCamera);
  b.U8(0);
  b.U16(0);
  b.Text(spec.model, true);
  b.End(at);

  const size_t ptrhAt = b.Begin("ptrh");
  const size_t ptviAt = b.Begin("ptvi");
  b.U16(spec.video.streamNumber);
  b.Type(VideoFourCC(spec.video.codec));
  b.U16(spec.video.width);
  b.U16(spec.video.height);
  ConfigStrings(b, spec.video.config);
  b.End(ptviAt);
  size_t ptsoAt = 0;
  if (spec.sound) {
    ptsoAt = b.Begin("ptso");
    b.U16(spec.audio.streamNumber);
    b.Type(SoundFourCC(spec.audio.codec));
    b.U16(spec.audio.channelCount);
    b.U16(spec.audio.bitsPerSample);
    b.U32(spec.audio.sampleRate);
    ConfigStrings(b, spec.audio.config);
    b.End(ptsoAt);
  }
  b.End(ptrhAt);

  if (spec.embedTelemetry) {
    size_t gpsAt;
    if (spec.gps2Layout) {
      gpsAt = b.Begin("gps2");
      b.Bytes(spec.gps2);
    } else {
      gpsAt = b.Begin("gps ");
      b.Text(spec.gpsText, true);
    }
    b.End(gpsAt);
    head.gps = Ref(b, gpsAt);
    const size_t sensorAt = b.Begin("3gf ");
    b.Bytes(spec.sensor);
    for (uint32_t i = 0; i < kGSensorEndMarkerSize; ++i) b.U8(0xFF);  // the block's end
    b.End(sensorAt);
    head.sensor = Ref(b, sensorAt);
  }
  if (!spec.thumb.empty()) {
    at = b.Begin("thum");
    b.U32(uint32_t(spec.thumb.size()));
    b.Bytes(spec.thumb);
    b.End(at);
  }
  b.End(freeAt);

  head.free = Ref(b, freeAt);
  head.ptrh = Ref(b, ptrhAt);
  head.ptvi = Ref(b, ptviAt);
  if (spec.sound) head.ptso = Ref(b, ptsoAt);
  head.bytes = b.bytes();
  return head;
}

}  // namespace tq
