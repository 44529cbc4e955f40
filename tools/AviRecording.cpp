#include "AviRecording.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <vector>

extern "C" {
#include <libavutil/frame.h>
}

#include "Encoders.h"
#include "Picture.h"
#include "Telemetry.h"
#include "container/AviWriter.h"

namespace tq {
namespace {

constexpr int kUtcOffsetMinutes = 540;
constexpr uint32_t kSoundChunkMs = 100;
constexpr double kSoundHumHz = 220, kSoundBeepHz = 1000;
constexpr uint32_t kSoundBeepMs = 80;
constexpr double kGSensorUnit = 128;  // G-sensor records count 1/128 g
constexpr uint8_t kStartCode[4] = {0, 0, 0, 1};
constexpr uint32_t kQualityDefault = 0xFFFFFFFF;

bool Fail(std::string* error, const std::string& text) {
  if (error) *error = text;
  return false;
}

// A chunk waiting for its place in the movi list: chunks are ordered by time, and at
// equal times by `order` (sound, GPS, sensor, front picture, rear picture).
struct PendingChunk {
  uint64_t timeUs = 0;
  int order = 0;
  int stream = 0;
  uint32_t flags = 0;
  std::vector<uint8_t> data;
};

void AppendNal(std::vector<uint8_t>& out, const std::vector<uint8_t>& nal, bool annexB) {
  if (annexB) {
    out.insert(out.end(), kStartCode, kStartCode + 4);
  } else {
    for (int i = 3; i >= 0; --i) out.push_back(uint8_t(nal.size() >> (8 * i)));
  }
  out.insert(out.end(), nal.begin(), nal.end());
}

// Samples hold NAL units behind 4-byte lengths; the camera's AVI chunks are Annex-B, and
// its key frames repeat the parameter sets in front of the picture.
std::vector<uint8_t> CameraChunk(const EncodedSample& sample,
                                 const std::vector<std::vector<uint8_t>>& parameterSets,
                                 bool annexB) {
  std::vector<uint8_t> out;
  if (sample.key)
    for (const auto& ps : parameterSets) AppendNal(out, ps, annexB);
  const std::vector<uint8_t>& d = sample.data;
  for (size_t at = 0; at + 4 <= d.size();) {
    const size_t n = size_t(d[at]) << 24 | size_t(d[at + 1]) << 16 | size_t(d[at + 2]) << 8 | d[at + 3];
    if (at + 4 + n > d.size()) break;
    AppendNal(out, std::vector<uint8_t>(d.begin() + long(at + 4), d.begin() + long(at + 4 + n)), annexB);
    at += 4 + n;
  }
  // Even chunk sizes: the camera pads nothing, so every chunk keeps the next one aligned.
  if (out.size() & 1) out.push_back(0);  // a trailing zero byte is allowed after a NAL unit
  return out;
}

bool EncodeCamera(const AviRecordingSpec& spec, int camera, int width, int height,
                  std::vector<EncodedSample>* samples,
                  std::vector<std::vector<uint8_t>>* parameterSets, std::string* error) {
  VideoSettings vs{width, height, spec.fps, spec.gop, false, 0};
  std::unique_ptr<VideoEncoder> encoder = VideoEncoder::Open(vs, error);
  if (!encoder) return false;
  FramePtr picture = encoder->NewPicture(error);
  if (!picture) return false;
  const uint32_t frames = uint32_t(uint64_t(spec.durationMs) * spec.fps / 1000);
  PictureSpec ps{width, height, spec.fps, camera, spec.seed + uint32_t(camera), spec.startSeconds};
  for (uint32_t i = 0; i < frames; ++i) {
    if (av_frame_make_writable(picture.get()) < 0) return Fail(error, "picture not writable");
    RenderPicture(ps, int(i), picture.get());
    picture->pts = i;
    if (!encoder->Encode(picture.get(), samples, error)) return false;
  }
  if (!encoder->Encode(nullptr, samples, error)) return false;
  *parameterSets = encoder->parameterSets();
  return true;
}

std::vector<uint8_t> PcmChunk(const AviRecordingSpec& spec, uint64_t first, uint32_t count) {
  std::vector<uint8_t> out;
  const double phase = double(spec.seed % 628) / 100.0;
  for (uint64_t n = first; n < first + count; ++n) {
    const double t = double(n) / spec.audioRate;
    const bool beep = n * 1000 / uint64_t(spec.audioRate) % 1000 < kSoundBeepMs;
    const double v = 0.05 * std::sin(2 * M_PI * kSoundHumHz * t + phase) +
                     (beep ? 0.3 * std::sin(2 * M_PI * kSoundBeepHz * t) : 0.0);
    const int16_t s = int16_t(std::lround(v * 32767));
    out.push_back(uint8_t(uint16_t(s)));
    out.push_back(uint8_t(uint16_t(s) >> 8));
  }
  return out;
}

void PutWord(std::vector<uint8_t>& out, uint32_t v) {
  for (int i = 0; i < 4; ++i) out.push_back(uint8_t(v >> (8 * i)));
}

// The RMC sentences of the drive's NMEA log, without the bracketed stamps.
std::vector<std::string> RmcSentences(const std::string& log) {
  std::vector<std::string> out;
  size_t at = 0;
  while (at < log.size()) {
    size_t end = log.find("\r\n", at);
    if (end == std::string::npos) end = log.size();
    const std::string line = log.substr(at, end - at);
    const size_t rmc = line.find("$GPRMC");
    if (rmc != std::string::npos) out.push_back(line.substr(rmc));
    at = end + 2;
  }
  return out;
}

AviStreamHeader VideoHeader(const AviRecordingSpec& spec, int width, int height) {
  AviStreamHeader h{};
  h.fccType = RiffCode("vids");
  h.fccHandler = RiffCode("H264");
  h.dwScale = 1;
  h.dwRate = uint32_t(spec.fps);
  h.dwQuality = kQualityDefault;
  h.rcFrame.right = int16_t(width);
  h.rcFrame.bottom = int16_t(height);
  return h;
}

AviBitmapInfo VideoFormat(int width, int height) {
  AviBitmapInfo b{};
  b.biSize = kAviBitmapInfoSize;
  b.biWidth = width;
  b.biHeight = height;
  b.biPlanes = 1;
  b.biBitCount = 24;
  b.biCompression = RiffCode("H264");
  b.biSizeImage = uint32_t(width * height * 3);
  return b;
}

struct Layout {
  std::vector<PendingChunk> chunks;
  int front = -1, rear = -1, sound = -1, gps = -1, sensor = -1;
};

bool AddStreams(const AviRecordingSpec& spec, AviWriter& out, Layout* l, std::string* error) {
  AviBitmapInfo fmt = VideoFormat(spec.width, spec.height);
  l->front = out.AddStream(VideoHeader(spec, spec.width, spec.height), &fmt, sizeof fmt, error);
  if (spec.rear) {
    fmt = VideoFormat(spec.rearWidth, spec.rearHeight);
    l->rear = out.AddStream(VideoHeader(spec, spec.rearWidth, spec.rearHeight), &fmt, sizeof fmt, error);
  }
  if (spec.sound) {
    AviWaveFormat w{};
    w.wFormatTag = 1;  // PCM
    w.nChannels = 1;
    w.nSamplesPerSec = uint32_t(spec.audioRate);
    w.nBlockAlign = 2;
    w.wBitsPerSample = 16;
    w.nAvgBytesPerSec = uint32_t(spec.audioRate) * w.nBlockAlign;
    AviStreamHeader h{};
    h.fccType = RiffCode("auds");
    h.dwScale = w.nBlockAlign;
    h.dwRate = w.nAvgBytesPerSec;
    h.dwQuality = kQualityDefault;
    h.dwSampleSize = w.nBlockAlign;
    l->sound = out.AddStream(h, &w, sizeof w, error);
  }
  AviStreamHeader text{};
  text.fccType = RiffCode("txts");
  text.dwScale = 1;
  if (spec.gps) {
    text.fccHandler = RiffCode("GPSR");
    text.dwRate = 1;
    l->gps = out.AddStream(text, nullptr, 0, error);
  }
  if (spec.sensor) {
    text.fccHandler = RiffCode("SENS");
    text.dwRate = uint32_t(spec.fps * 2);
    l->sensor = out.AddStream(text, nullptr, 0, error);
  }
  return l->front >= 0 && (!spec.rear || l->rear >= 0) && (!spec.sound || l->sound >= 0) &&
         (!spec.gps || l->gps >= 0) && (!spec.sensor || l->sensor >= 0);
}

bool AddVideo(const AviRecordingSpec& spec, int camera, int stream, Layout* l,
              AviRecordingResult* r, std::string* error) {
  std::vector<EncodedSample> samples;
  std::vector<std::vector<uint8_t>> ps;
  const int w = camera ? spec.rearWidth : spec.width, h = camera ? spec.rearHeight : spec.height;
  if (!EncodeCamera(spec, camera, w, h, &samples, &ps, error)) return false;
  for (size_t i = 0; i < samples.size(); ++i) {
    const bool annexB = !(camera == 0 && i == 0 && spec.firstChunkWithoutStartCode);
    PendingChunk c;
    c.timeUs = uint64_t(i) * 1000000 / uint64_t(spec.fps);
    c.order = 3 + camera;
    c.stream = stream;
    c.flags = samples[i].key ? kAviKeyFrame : 0;
    c.data = CameraChunk(samples[i], ps, annexB);
    l->chunks.push_back(std::move(c));
    if (camera == 0) {
      ++r->frames;
      r->keyFrames += samples[i].key ? 1 : 0;
    }
  }
  return true;
}

void AddSound(const AviRecordingSpec& spec, Layout* l, AviRecordingResult* r) {
  const uint64_t total = uint64_t(spec.durationMs) * uint64_t(spec.audioRate) / 1000;
  const uint32_t per = uint32_t(spec.audioRate) * kSoundChunkMs / 1000;
  for (uint64_t first = 0; first < total; first += per) {
    PendingChunk c;
    c.timeUs = first * 1000000 / uint64_t(spec.audioRate);
    c.order = 0;
    c.stream = l->sound;
    c.data = PcmChunk(spec, first, uint32_t(std::min<uint64_t>(per, total - first)));
    l->chunks.push_back(std::move(c));
    ++r->soundChunks;
  }
}

void AddTelemetry(const AviRecordingSpec& spec, Layout* l, AviRecordingResult* r) {
  GpsRoute route(spec.telemetrySeed, spec.parked);
  const TelemetrySpan span{spec.startSeconds * 1000, spec.routeSecond, spec.durationMs,
                           kUtcOffsetMinutes};
  if (spec.gps) {
    const std::vector<std::string> rmc = RmcSentences(MakeNmeaLog(route, span));
    for (size_t s = 0; s < rmc.size(); ++s) {
      PendingChunk c;
      c.timeUs = uint64_t(s) * 1000000;
      c.order = 1;
      c.stream = l->gps;
      PutWord(c.data, 0);  // a word the reader skips
      PutWord(c.data, uint32_t(rmc[s].size()));
      c.data.insert(c.data.end(), rmc[s].begin(), rmc[s].end());
      if (c.data.size() & 1) c.data.push_back(0);
      l->chunks.push_back(std::move(c));
      ++r->gpsChunks;
    }
  }
  if (spec.sensor) {
    const std::vector<uint8_t> g = MakeGSensorRecords(route, span, spec.telemetrySeed,
                                                      spec.durationMs / 2, 90);
    const uint32_t records = uint32_t(uint64_t(spec.durationMs) * spec.fps * 2 / 1000);
    for (uint32_t j = 0; j < records && !g.empty(); ++j) {
      const uint64_t tUs = uint64_t(j) * 1000000 / uint64_t(spec.fps * 2);
      const size_t rec = std::min<size_t>(tUs / 1000 / kGSensorPeriodMs, g.size() / kGSensorRecordSize - 1);
      const uint8_t* p = g.data() + rec * kGSensorRecordSize + 4;
      PendingChunk c;
      c.timeUs = tUs;
      c.order = 2;
      c.stream = l->sensor;
      for (int axis = 0; axis < 3; ++axis) {
        const int16_t v = int16_t(uint16_t(p[2 * axis] << 8 | p[2 * axis + 1]));
        const float gValue = float(v / kGSensorUnit);
        uint32_t bits;
        std::memcpy(&bits, &gValue, sizeof bits);
        PutWord(c.data, bits);
      }
      l->chunks.push_back(std::move(c));
      ++r->sensorChunks;
    }
  }
}

}  // namespace

std::string AviRecordingBaseName(const AviRecordingSpec& spec) {
  const std::time_t t = std::time_t(spec.startSeconds);
  std::tm tm{};
  gmtime_r(&t, &tm);
  char name[64];
  std::snprintf(name, sizeof name, "%.3s_%06d%04d%02d%02d_%02d%02d%02d_1F_%c",
                spec.recordClass.c_str(), spec.sequence % 1000000, tm.tm_year + 1900,
                tm.tm_mon + 1, tm.tm_mday, tm.tm_hour, tm.tm_min, tm.tm_sec, spec.type);
  return name;
}

bool WriteAviRecording(const AviRecordingSpec& spec, const std::string& path,
                       AviRecordingResult* result, std::string* error) {
  AviRecordingResult local;
  AviRecordingResult& r = result ? *result : local;
  r = AviRecordingResult{};
  r.path = path;
  if (spec.fps <= 0 || spec.audioRate < 10 || spec.durationMs < 1000 / uint32_t(std::max(spec.fps, 1)))
    return Fail(error, "the recording needs a frame rate, a sound rate and at least one frame");
  AviWriter::Options options;
  options.index = spec.index;
  std::unique_ptr<AviWriter> out =
      AviWriter::Create(path, uint32_t(1000000 / spec.fps), options, error);
  if (!out) return false;
  Layout l;
  if (!AddStreams(spec, *out, &l, error)) return false;
  if (!AddVideo(spec, 0, l.front, &l, &r, error)) return false;
  if (spec.rear && !AddVideo(spec, 1, l.rear, &l, &r, error)) return false;
  if (spec.sound) AddSound(spec, &l, &r);
  AddTelemetry(spec, &l, &r);
  std::stable_sort(l.chunks.begin(), l.chunks.end(), [](const PendingChunk& a, const PendingChunk& b) {
    return a.timeUs != b.timeUs ? a.timeUs < b.timeUs : a.order < b.order;
  });
  for (const PendingChunk& c : l.chunks)
    if (!out->Write(c.stream, c.data.data(), uint32_t(c.data.size()), c.flags, error)) return false;
  r.chunks = uint32_t(l.chunks.size());
  if (!out->Finish(error)) return false;
  std::error_code ec;
  if (spec.cutAtByte >= 0) {
    std::filesystem::resize_file(path, uint64_t(spec.cutAtByte), ec);
    if (ec) return Fail(error, path + ": cannot cut: " + ec.message());
  }
  r.bytes = std::filesystem::file_size(path, ec);
  return true;
}

std::string SetupCfgBytes(const std::string& model, int major, int minor, int patch, int language) {
  std::string b(64, '\0');
  std::memcpy(b.data(), model.data(), std::min<size_t>(model.size(), 31));
  const int32_t fields[4] = {major, minor, patch, language};
  for (int i = 0; i < 4; ++i)
    for (int k = 0; k < 4; ++k) b[size_t(32 + 4 * i + k)] = char(uint32_t(fields[i]) >> (8 * k));
  return b;
}

}  // namespace tq
