#include "CameraRecording.h"

#include <algorithm>
#include <cstdio>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <memory>
#include <vector>

extern "C" {
#include <libavutil/frame.h>
}

#include "CameraHead.h"
#include "Encoders.h"
#include "FrameTag.h"
#include "Picture.h"
#include "Telemetry.h"
#include "container/MediaFile.h"
#include "container/Mp4Writer.h"

namespace tq {
namespace {

constexpr uint32_t kFrameRecordSize = 16;
constexpr uint32_t kBoxHeader = 8;
constexpr uint32_t kSecondsFrom1904To1970 = 2082844800U;
// Room the camera reserves for the index: every table entry of a full track, plus the
// fixed boxes around them.
constexpr uint32_t kVideoIndexBytesPerSample = 32;  // stts, stsz, stco, stsc, stss
constexpr uint32_t kSoundIndexBytesPerSample = 28;  // no stss
constexpr uint32_t kIndexFixedBytes = 4096;
constexpr int kUtcOffsetMinutes = 540;
constexpr int kMaxFps = 120;
constexpr char kWriteFailed[] = "write failed (disk full, or the file would reach 4 GiB)";

bool Fail(std::string* error, const std::string& text) {
  if (error) *error = text;
  return false;
}

uint32_t FrameCount(const RecordingSpec& s) { return uint32_t(uint64_t(s.durationMs) * s.fps / 1000); }

bool CheckSpec(const RecordingSpec& s, std::string* error) {
  if (s.width <= 0 || s.height <= 0 || s.width % 2 || s.height % 2)
    return Fail(error, "picture size must be positive and even");
  if (!FrameTagFits(s.width, s.height))
    return Fail(error, "picture " + std::to_string(s.width) + "x" + std::to_string(s.height) +
                           " is too small for the frame tag (at least " +
                           std::to_string(FrameTagWidth(s.width)) + " wide)");
  if (s.fps < 1 || s.fps > kMaxFps) return Fail(error, "fps must be 1 to 120");
  if (s.gop < 1) return Fail(error, "gop must be at least 1");
  if (s.camera < 0 || s.camera > 1) return Fail(error, "camera must be front or rear");
  const uint32_t frames = FrameCount(s);
  if (frames == 0) return Fail(error, "duration too short for one frame");
  return true;
}

class MdatWriter {
 public:
  MdatWriter(MediaFile& f, uint32_t position, const RecordingSpec& spec)
      : f_(f), position_(position), spec_(spec), extra_(spec.extraBytes, 0) {
    for (size_t i = 0; i < extra_.size(); ++i) extra_[i] = uint8_t(0xA0 + i % 16);
  }

  // The camera's own index has no fixed limit; the viewer's repair holds at most
  // kVideoSampleCapacity / kSoundSampleCapacity samples, and longer files are written whole
  // so that its capacity rule can be tried on them.
  bool Init(uint32_t videoSamples, uint32_t soundSamples, std::string* error) {
    if (!CreateFixedSizeTrak(video_, std::max(videoSamples, kVideoSampleCapacity), true) ||
        (spec_.sound &&
         !CreateFixedSizeTrak(sound_, std::max(soundSamples, kSoundSampleCapacity), false)))
      return Fail(error, "cannot allocate the sample tables");
    return true;
  }
  ~MdatWriter() {
    ReleaseMP4MBOX_NODE(video_);
    ReleaseMP4MBOX_NODE(sound_);
  }

  bool Write(const EncodedSample& s, bool isVideo, std::string* error) {
    // The gps2 layout carries bare samples; the camera's usual layout frames each one.
    if (!spec_.gps2Layout) {
      uint8_t record[kFrameRecordSize];
      PutU16(record, isVideo ? kVideoStreamNumber : kSoundStreamNumber);
      PutU16(record + 2, isVideo && s.key ? 1 : 0);
      PutU32(record + 4, s.timeMs + spec_.clockBase);
      PutU32(record + 8, uint32_t(s.data.size()));
      PutU32(record + 12, uint32_t(extra_.size()));
      if (!Put(record, sizeof record) || !Put(extra_.data(), extra_.size()))
        return Fail(error, kWriteFailed);
    }
    const uint32_t dataOffset = position_;
    if (!Put(s.data.data(), s.data.size())) return Fail(error, kWriteFailed);
    if (!AddSample(isVideo ? video_ : sound_, dataOffset, uint32_t(s.data.size()), s.timeMs,
                   isVideo && s.key, isVideo))
      return Fail(error, "the sample tables are full");
    (isVideo ? videoCount_ : soundCount_)++;
    if (isVideo && s.key) ++keyCount_;
    return true;
  }

  uint32_t position() const { return position_; }
  MP4MBOX_NODE& video() { return video_; }
  MP4MBOX_NODE* sound() { return spec_.sound ? &sound_ : nullptr; }
  uint32_t videoCount() const { return videoCount_; }
  uint32_t soundCount() const { return soundCount_; }
  uint32_t keyCount() const { return keyCount_; }

 private:
  bool Put(const void* p, size_t n) {
    if (uint64_t(position_) + n > kMaxMediaFileSize || !f_.Write(p, n)) return false;
    position_ += uint32_t(n);
    return true;
  }
  MediaFile& f_;
  uint32_t position_;
  const RecordingSpec& spec_;
  std::vector<uint8_t> extra_;
  MP4MBOX_NODE video_, sound_;
  uint32_t videoCount_ = 0, soundCount_ = 0, keyCount_ = 0;
};

// The writer stamps the moov with the PC's clock; the camera stamps its own, and the
// generator must give the same bytes for the same seed, so the times are set to the
// recording's start.
void PatchTimes(std::vector<uint8_t>& b, size_t begin, size_t end, uint32_t time) {
  size_t at = begin;
  while (at + kBoxHeader <= end) {
    const uint32_t size = GetU32(&b[at]);
    const uint32_t type = GetU32(&b[at + 4]);
    if (size < kBoxHeader || at + size > end) return;
    if (type == FourCC("trak") || type == FourCC("mdia")) {
      PatchTimes(b, at + kBoxHeader, at + size, time);
    } else if ((type == FourCC("mvhd") || type == FourCC("tkhd") || type == FourCC("mdhd")) &&
               size >= kBoxHeader + 12 && b[at + kBoxHeader] == 0) {
      PutU32(&b[at + kBoxHeader + 4], time);
      PutU32(&b[at + kBoxHeader + 8], time);
    }
    at += size;
  }
}

bool StampMoov(MediaFile& f, uint32_t moovStart, uint32_t time, std::string* error) {
  uint8_t header[kBoxHeader];
  if (!f.Seek(moovStart) || !f.Read(header, sizeof header))
    return Fail(error, "cannot read the moov back");
  std::vector<uint8_t> moov(GetU32(header));
  if (moov.size() < kBoxHeader || !f.Seek(moovStart) || !f.Read(moov.data(), moov.size()))
    return Fail(error, "cannot read the moov back");
  PatchTimes(moov, kBoxHeader, moov.size(), time);
  if (!f.Seek(moovStart) || !f.Write(moov.data(), moov.size()))
    return Fail(error, "cannot write the moov");
  return true;
}

uint32_t DefaultRoom(uint32_t videoSamples, uint32_t soundSamples) {
  return std::max(videoSamples, kVideoSampleCapacity) * kVideoIndexBytesPerSample +
         std::max(soundSamples, kSoundSampleCapacity) * kSoundIndexBytesPerSample +
         kIndexFixedBytes;
}

bool WriteFileBytes(const std::string& path, const void* data, size_t size, std::string* error) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(static_cast<const char*>(data), std::streamsize(size));
  if (!out.good()) return Fail(error, path + ": cannot write");
  return true;
}

struct Telemetry {
  std::string nmea;
  std::vector<uint8_t> gps2, sensor;
};

Telemetry MakeTelemetry(const RecordingSpec& s) {
  Telemetry t;
  GpsRoute route(s.telemetrySeed, s.parked);
  TelemetrySpan span{s.startSeconds * 1000, s.routeSecond, s.durationMs, kUtcOffsetMinutes};
  if (s.gps2Layout) t.gps2 = MakeGps2Records(route, span);
  if (!s.gps2Layout || s.companions) t.nmea = MakeNmeaLog(route, span);
  t.sensor = MakeGSensorRecords(route, span, s.telemetrySeed, s.joltMs, s.joltStrength);
  return t;
}

}  // namespace

bool IsUnfinished(const RecordingSpec& s) { return s.cutAfterFrames >= 0 || s.cutAtByte >= 0; }

std::string RecordingBaseName(const RecordingSpec& s) {
  const std::time_t t = std::time_t(s.startSeconds);
  std::tm tm{};
  gmtime_r(&t, &tm);
  char name[40];
  std::snprintf(name, sizeof name, "%04d%02d%02d_%02d%02d%02d_%c%c", tm.tm_year + 1900,
                tm.tm_mon + 1, tm.tm_mday, tm.tm_hour, tm.tm_min, tm.tm_sec, s.type,
                s.camera == 0 ? 'F' : 'R');
  return name;
}

std::string CompanionStem(const std::string& base) {
  if (!base.empty() && (base.back() == 'F' || base.back() == 'R'))
    return base.substr(0, base.size() - 1);
  return base;
}

namespace {

bool WriteRecordingFiles(const RecordingSpec& spec, const std::string& path,
                         RecordingResult* result, std::string* error) {
  RecordingResult local;
  RecordingResult& r = result ? *result : local;
  r = RecordingResult{};
  r.path = path;

  SoundTrack sound;
  if (spec.sound && !EncodeSound(spec.audioRate, spec.durationMs, spec.seed, &sound, error,
                                 spec.toneHz))
    return false;
  for (EncodedSample& a : sound.samples) a.timeMs += spec.soundDelayMs;
  VideoSettings vs{spec.width, spec.height, spec.fps, spec.gop, spec.hevc, spec.bitrateKbps};
  std::unique_ptr<VideoEncoder> encoder = VideoEncoder::Open(vs, error);
  if (!encoder) return false;
  FramePtr picture = encoder->NewPicture(error);
  if (!picture) return false;

  const Telemetry telemetry = spec.telemetry ? MakeTelemetry(spec) : Telemetry{};
  CameraHeadSpec hs;
  hs.startTimeMs = uint64_t(spec.startSeconds) * 1000;
  hs.gps2Layout = spec.gps2Layout;
  hs.video = MakeVideoDescription(spec.hevc ? kCodecHvc1 : kCodecAvc1, spec.width, spec.height,
                                  encoder->parameterSets());
  hs.sound = spec.sound;
  if (spec.sound)
    hs.audio = MakeSoundDescription(sound.channels, sound.bitsPerSample, sound.sampleRate,
                                    sound.audioSpecificConfig);
  hs.embedTelemetry = spec.telemetry && !spec.companions;
  hs.gpsText = telemetry.nmea;
  hs.gps2 = telemetry.gps2;
  hs.sensor = telemetry.sensor;
  PictureSpec ps{spec.width, spec.height, spec.fps, spec.camera, spec.seed, spec.startSeconds};
  if (spec.thumBox) {
    // The head is written before the first picture is encoded: draw that picture now.
    if (av_frame_make_writable(picture.get()) < 0) return Fail(error, "picture not writable");
    RenderPicture(ps, 0, picture.get());
    if (!EncodeJpeg(picture.get(), &hs.thumb, error)) return false;
  }
  const CameraHead head = BuildCameraHead(hs);

  std::unique_ptr<MediaFile> f = MediaFile::Open(path, "wb+");
  if (!f) return Fail(error, path + ": cannot create");
  if (!f->Write(head.bytes.data(), head.bytes.size())) return Fail(error, path + ": write failed");
  uint32_t position = uint32_t(head.bytes.size());

  const uint32_t frames = FrameCount(spec);
  const uint32_t soundCount = uint32_t(sound.samples.size());
  const uint32_t room = spec.roomBytes ? spec.roomBytes : DefaultRoom(frames, soundCount);
  uint32_t moovStart = 0;
  if (spec.reservedRoom) {
    if (room < 2 * kBoxHeader) return Fail(error, "the reserved room must hold a moov and a junk box");
    // The camera keeps this moov empty (a junk child only) until the recording ends.
    std::vector<uint8_t> reserved(room, 0);
    PutU32(reserved.data(), room);
    PutU32(reserved.data() + 4, FourCC("moov"));
    PutU32(reserved.data() + 8, room - kBoxHeader);
    PutU32(reserved.data() + 12, FourCC("junk"));
    if (!f->Write(reserved.data(), reserved.size()))
      return Fail(error, path + ": cannot reserve room for the index");
    moovStart = position;
    position += room;
  }
  uint8_t mdatHeader[kBoxHeader];
  PutU32(mdatHeader, 0);  // patched when the index is written; 0 in unfinished files
  PutU32(mdatHeader + 4, FourCC("mdat"));
  if (!f->Write(mdatHeader, sizeof mdatHeader)) return Fail(error, path + ": write failed");
  position += kBoxHeader;
  r.mdatOffset = position;

  MdatWriter mdat(*f, position, spec);
  if (!mdat.Init(frames, soundCount, error)) return false;
  const uint32_t stopAfter =
      spec.cutAfterFrames >= 0 && uint32_t(spec.cutAfterFrames) < frames ? uint32_t(spec.cutAfterFrames)
                                                                          : frames;
  size_t nextSound = 0;
  std::vector<EncodedSample> out;
  bool stopped = false;
  auto flush = [&](std::string* err) -> bool {
    for (EncodedSample& v : out) {
      v.timeMs += spec.videoDelayMs;
      if (mdat.videoCount() >= stopAfter) {
        stopped = true;
        break;
      }
      while (nextSound < sound.samples.size() && sound.samples[nextSound].timeMs < v.timeMs)
        if (!mdat.Write(sound.samples[nextSound++], false, err)) return false;
      if (!mdat.Write(v, true, err)) return false;
    }
    out.clear();
    return true;
  };
  std::vector<uint8_t> thumbnail;
  for (uint32_t i = 0; i < frames && !stopped; ++i) {
    if (av_frame_make_writable(picture.get()) < 0) return Fail(error, "picture not writable");
    RenderPicture(ps, int(i), picture.get());
    if (i == 0 && spec.thumbnail && !EncodeJpeg(picture.get(), &thumbnail, error)) return false;
    picture->pts = i;
    if (!encoder->Encode(picture.get(), &out, error) || !flush(error)) return false;
  }
  if (!stopped && (!encoder->Encode(nullptr, &out, error) || !flush(error))) return false;
  if (!stopped)
    while (nextSound < sound.samples.size())
      if (!mdat.Write(sound.samples[nextSound++], false, error)) return false;

  r.videoSamples = mdat.videoCount();
  r.soundSamples = mdat.soundCount();
  r.keyFrames = mdat.keyCount();
  if (!IsUnfinished(spec)) {
    MP4INFO info;
    info.mdat = {0, r.mdatOffset};
    info.ptrh.box = head.ptrh;
    info.ptrh.ptvi = head.ptvi;
    info.ptrh.vi = hs.video;
    if (spec.sound) {
      info.ptrh.ptso = head.ptso;
      info.ptrh.so = hs.audio;
    }
    const uint32_t dataEnd = mdat.position();
    uint32_t at = dataEnd;
    if (spec.reservedRoom) {
      const uint32_t need = MoovSize(info, &mdat.video(), mdat.sound(), nullptr);
      if (need == 0 || need + 2 * kBoxHeader > room)
        return Fail(error, "the reserved room (" + std::to_string(room) +
                               " bytes) cannot hold the index of " + std::to_string(need) +
                               " bytes");
      info.moov.moov = {room, moovStart + kBoxHeader};
      info.moov.junk = {room - kBoxHeader, moovStart + 2 * kBoxHeader};
      at = moovStart;
    }
    const uint32_t moovAt = at;
    if (!f->Seek(at) || !WriteMoov(*f, &at, info, &mdat.video(), mdat.sound(), nullptr, dataEnd))
      return Fail(error, path + ": writing the moov failed");
    if (spec.reservedRoom) {
      // The writer closed the gap to the mdat with a junk box; the camera's moov keeps
      // that junk as its own last child, so the moov spans the whole room.
      uint8_t size[4];
      PutU32(size, room);
      if (!f->Seek(moovAt) || !f->Write(size, sizeof size))
        return Fail(error, path + ": writing the moov failed");
    }
    if (!StampMoov(*f, moovAt, uint32_t(spec.startSeconds + kSecondsFrom1904To1970), error))
      return false;
    r.moovOffset = moovAt;
  } else if (spec.reservedRoom) {
    r.moovOffset = moovStart;
  }
  if (!f->Flush()) return Fail(error, path + ": write failed");
  f.reset();

  std::error_code ec;
  if (spec.cutAtByte >= 0 && uint64_t(spec.cutAtByte) < std::filesystem::file_size(path, ec)) {
    std::filesystem::resize_file(path, uint64_t(spec.cutAtByte), ec);
    if (ec) return Fail(error, path + ": cannot cut: " + ec.message());
  }
  r.bytes = std::filesystem::file_size(path, ec);

  const std::filesystem::path p(path);
  if (spec.thumbnail) {
    const std::string thm = (p.parent_path() / p.stem()).string() + ".thm";
    if (!WriteFileBytes(thm, thumbnail.data(), thumbnail.size(), error)) return false;
  }
  if (spec.companions && spec.telemetry) {
    const std::string stem =
        (p.parent_path() / CompanionStem(p.stem().string())).string();
    if (!WriteFileBytes(stem + ".gps", telemetry.nmea.data(), telemetry.nmea.size(), error) ||
        !WriteFileBytes(stem + ".3gf", telemetry.sensor.data(), telemetry.sensor.size(), error))
      return false;
  }
  return true;
}

}  // namespace

bool WriteRecording(const RecordingSpec& spec, const std::string& path, RecordingResult* result,
                    std::string* error) {
  if (!CheckSpec(spec, error)) return false;
  if (WriteRecordingFiles(spec, path, result, error)) return true;
  // A half-written file would pass for a camera recording; leave none behind.
  std::error_code ec;
  std::filesystem::remove(path, ec);
  return false;
}

}  // namespace tq
