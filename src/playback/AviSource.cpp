#include "playback/AviSource.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "app/TraceLog.h"
#include "container/MediaFile.h"

namespace tq {
namespace {

constexpr int kMaxAviFps = 30;            // the step cache holds 30 pictures per view
constexpr uint32_t kChunkHeaderBytes = 8;  // id and size before the chunk data
constexpr uint32_t kGpsPrefixBytes = 8;    // a skipped word, then the text length
constexpr uint32_t kSensorValues = 3;
constexpr float kSensorUnit = 128.0f;      // records count 1/128 g
// The entry length byte (text length + 1) is read as a signed byte: a longer sentence
// would end the batch for every sentence after it. NMEA sentences are at most 82 bytes.
constexpr uint32_t kMaxSentence = 126;
constexpr uint8_t kBatchPresent = 1;

void PutBE32(uint8_t* p, uint32_t v) {
  p[0] = uint8_t(v >> 24); p[1] = uint8_t(v >> 16); p[2] = uint8_t(v >> 8); p[3] = uint8_t(v);
}
void PutBE16(uint8_t* p, uint16_t v) {
  p[0] = uint8_t(v >> 8); p[1] = uint8_t(v);
}

}  // namespace

AviStreams FindAviStreams(const AVIINFO& info) {
  AviStreams s;
  int videos = 0;
  const int count = std::min<int>(info.streamCount, int(kAviStreamSlots));
  for (int i = 0; i < count; ++i) {
    const AviStreamHeader& h = info.streams[i];
    if (h.fccType == RiffCode("vids")) {
      if (videos == 0) {
        s.front = i;
        s.frontFormat = 0;
      } else if (videos == 1) {
        s.rear = i;
        s.rearFormat = 1;
      }
      ++videos;
    } else if (h.fccType == RiffCode("auds") && s.audio < 0) {
      s.audio = i;
    } else if (h.fccType == RiffCode("txts")) {
      if (h.fccHandler == RiffCode("GPSR") && s.gps < 0) s.gps = i;
      if (h.fccHandler == RiffCode("SENS") && s.sensor < 0) s.sensor = i;
    }
  }
  // Formats are kept only for the first two video streams.
  if (s.rearFormat >= int(info.videoStreamCount)) s.rear = s.rearFormat = -1;
  if (s.frontFormat >= int(info.videoStreamCount)) s.front = s.frontFormat = -1;
  if (s.audio >= 0 && info.soundFormat.nBlockAlign > 0) s.audioBytesPerSec = info.soundFormat.nAvgBytesPerSec;
  return s;
}

int AviStreamFps(const AviStreamHeader& h) {
  if (h.dwRate == 0) return kMaxAviFps;
  const uint32_t scale = h.dwScale ? h.dwScale : 1;
  const uint32_t fps = (h.dwRate + scale / 2) / scale;
  return int(std::clamp<uint32_t>(fps, 1, kMaxAviFps));
}

AviSource::AviSource(MediaFile* file, std::mutex* fileMutex, std::vector<AviIndexEntry> index,
                     uint32_t moviOffset, const AviStreams& streams, int frontFps, int rearFps,
                     const AviTelemetry& telemetry)
    : file_(file), fileMutex_(fileMutex), index_(std::move(index)), moviOffset_(moviOffset),
      streams_(streams), telemetry_(telemetry) {
  clock_[0].fps = std::max(1, frontFps);
  clock_[1].fps = std::max(1, rearFps);
  if (telemetry_.gps && telemetry_.gpsCapacity > 0) telemetry_.gps[0] = 0;
  std::lock_guard<std::mutex> lock(*fileMutex_);
  fileLength_ = file_ ? file_->Length() : 0;
}

// The chunk data lies at moviOffset + offset + 4 (offsets count from the movi list type,
// 4 bytes before moviOffset, and the data follows the 8-byte chunk header).
bool AviSource::ChunkInFile(const AviIndexEntry& e, uint64_t* dataAt) {
  const uint64_t at = moviOffset_ + e.dwChunkOffset + kChunkHeaderBytes - 4;
  if (moviOffset_ < 4 || at + e.dwChunkLength > fileLength_ || at > UINT32_MAX ||
      at + e.dwChunkLength > UINT32_MAX) {
    TraceLog("AviSource::Next", __LINE__, "chunk %s at %u (%u bytes) lies outside the file\n",
             RiffCodeText(e.ckid).c_str(), unsigned(e.dwChunkOffset), unsigned(e.dwChunkLength));
    return false;
  }
  *dataAt = at;
  return true;
}

SourceRead AviSource::Next(FrameRecord* out) {
  while (next_ < index_.size()) {
    const AviIndexEntry e = index_[next_++];
    const int stream = AviChunkStream(e.ckid);
    if (stream < 0 || e.dwChunkLength == 0) continue;
    uint64_t at = 0;
    const bool video = stream == streams_.front || stream == streams_.rear;
    const bool wanted = video || stream == streams_.audio || stream == streams_.gps ||
                        stream == streams_.sensor;
    if (!wanted || !ChunkInFile(e, &at)) continue;
    if (stream == streams_.gps) {
      GatherGps(at, e.dwChunkLength);
      continue;
    }
    if (stream == streams_.sensor) {
      GatherSensor(at, e.dwChunkLength);
      continue;
    }
    out->offset = uint32_t(at);
    out->size = e.dwChunkLength;
    if (video) {
      const int view = stream == streams_.front ? 0 : 1;
      VideoClock& c = clock_[view];
      // The camera starts a key frame every second: key frames count whole seconds and
      // the frames between them advance by one frame interval.
      out->key = (e.dwFlags & kAviKeyFrame) != 0;
      if (out->key)
        c.timeMs = c.keys++ * 1000;
      else
        c.timeMs += uint32_t(1000 / c.fps);
      out->kind = FrameRecord::kVideo;
      out->view = uint8_t(view);
      out->timeMs = c.timeMs;
    } else {
      out->kind = FrameRecord::kAudio;
      out->key = true;
      out->view = 0;
      // PCM: a chunk starts where the sound before it ends. (The video frame it follows in
      // the file can be a frame or more later, which would put the sound that much late.)
      if (streams_.audioBytesPerSec > 0)
        out->timeMs = uint32_t(std::min<uint64_t>(audioBytes_ * 1000 / streams_.audioBytesPerSec, UINT32_MAX));
      else
        out->timeMs = clock_[0].timeMs;
      audioBytes_ += e.dwChunkLength;
    }
    return SourceRead::kRecord;
  }
  CloseBatch();
  return SourceRead::kEnd;
}

// A GPS chunk: a skipped word, the text length, the text. Sentences ("$...") are added to
// the batch as one length byte (text length + 1) and the text; the first one writes the
// batch header with the time of its chunk (one chunk a second) in hundredths.
void AviSource::GatherGps(uint64_t at, uint32_t size) {
  const uint32_t chunk = gpsChunks_++;
  if (!telemetry_.gps || size <= kGpsPrefixBytes) return;
  std::vector<uint8_t> data(size);
  {
    std::lock_guard<std::mutex> lock(*fileMutex_);
    if (!file_->Seek(at) || !file_->Read(data.data(), size)) return;
  }
  const uint32_t length = std::min(GetLE32(data.data() + 4), size - kGpsPrefixBytes);
  const uint8_t* text = data.data() + kGpsPrefixBytes;
  if (length == 0 || text[0] != '$') return;
  if (length > kMaxSentence) {
    TraceLog("AviSource::GatherGps", __LINE__, "GPS sentence of %u bytes skipped\n", unsigned(length));
    return;
  }
  const uint32_t header = gpsBytes_ == 0 ? kAviBatchHeaderBytes : 0;
  // Room for the header, the entry and the closing 0 byte.
  if (uint64_t(gpsBytes_) + header + 1 + length + 1 > telemetry_.gpsCapacity) {
    if (!gpsFullNoted_)
      TraceLog("AviSource::GatherGps", __LINE__, "GPS buffer full (%u bytes)\n",
               unsigned(telemetry_.gpsCapacity));
    gpsFullNoted_ = true;
    return;
  }
  uint8_t* p = telemetry_.gps + gpsBytes_;
  if (header) {
    p[0] = kBatchPresent;
    PutBE32(p + 1, chunk * 100);
    p += header;
  }
  p[0] = uint8_t(length + 1);
  std::memcpy(p + 1, text, length);
  gpsBytes_ += header + 1 + length;
  telemetry_.gps[gpsBytes_] = 0;
}

// A sensor chunk: three little-endian floats (g). Every (2 x fps)-th record restarts the
// clock at the next whole second; the records between advance by half a frame interval.
void AviSource::GatherSensor(uint64_t at, uint32_t size) {
  const uint32_t record = sensorRecords_++;
  if (!telemetry_.sensor || size < kSensorValues * 4) return;
  if (uint64_t(sensorBytes_) + kAviSensorRecordBytes > telemetry_.sensorCapacity) {
    if (!sensorFullNoted_)
      TraceLog("AviSource::GatherSensor", __LINE__, "G-sensor buffer full (%u bytes)\n",
               unsigned(telemetry_.sensorCapacity));
    sensorFullNoted_ = true;
    return;
  }
  uint8_t raw[kSensorValues * 4];
  {
    std::lock_guard<std::mutex> lock(*fileMutex_);
    if (!file_->Seek(at) || !file_->Read(raw, sizeof raw)) return;
  }
  const uint32_t perSecond = uint32_t(clock_[0].fps) * 2;
  if (record % perSecond == 0)
    sensorTimeMs_ = record / perSecond * 1000;
  else
    sensorTimeMs_ += uint32_t(1000 / clock_[0].fps / 2);
  uint8_t* p = telemetry_.sensor + sensorBytes_;
  PutBE32(p, sensorTimeMs_);
  for (uint32_t i = 0; i < kSensorValues; ++i) {
    float g = 0;
    std::memcpy(&g, raw + 4 * i, sizeof g);
    const float scaled = g * kSensorUnit;
    // Out-of-range or not-a-number values would make the conversion undefined.
    const float bounded = std::isfinite(scaled) ? std::clamp(scaled, -32768.0f, 32767.0f) : 0.0f;
    PutBE16(p + 4 + 2 * i, uint16_t(int16_t(bounded)));
  }
  sensorBytes_ += kAviSensorRecordBytes;
}

void AviSource::CloseBatch() {
  if (closed_) return;
  closed_ = true;
  if (telemetry_.gps && gpsBytes_ < telemetry_.gpsCapacity) telemetry_.gps[gpsBytes_] = 0;
  index_.clear();
  index_.shrink_to_fit();  // the index is freed once walked
}

}  // namespace tq
