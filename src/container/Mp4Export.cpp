#include "container/Mp4Export.h"

#include <algorithm>
#include <cstring>

#include "app/TraceLog.h"
#include "container/Mp4Reader.h"
#include "container/Mp4Writer.h"

namespace tq {
namespace {

constexpr uint32_t kMsPerSecond = 1000;
constexpr uint32_t kEndSecondMs = 999;  // the end bound covers the whole "to" second
constexpr uint32_t kStssHead = 8;       // version/flags, entry count
constexpr uint32_t kFullBoxTableHead = 16;
constexpr uint32_t kStszTableHead = 20;

constexpr uint32_t kVideoFormats[] = {FourCC("mp4v"), FourCC("avc1"), FourCC("hvc1"),
                                      FourCC("s263")};
constexpr uint32_t kSoundFormats[] = {FourCC("mp4a"), FourCC("samr"), FourCC("sawb"),
                                      FourCC("secb"), FourCC("secw"), FourCC("sevc"),
                                      FourCC("sqcp"), FourCC("ssmv"), FourCC("ulaw")};

template <size_t N>
bool OneOf(uint32_t v, const uint32_t (&set)[N]) {
  return std::find(std::begin(set), std::end(set), v) != std::end(set);
}

bool HasTables(const TRAKBOX& t) {
  const MINFBOX& minf = t.mdia.minf;
  const STBLBOX& s = minf.stbl;
  return t.mdia.mdia.found() && minf.minf.found() && s.stbl.found() && s.stsd.found() &&
         s.stts.found() && s.stsz.found() && s.stco.found() && s.stsc.found();
}

// The track an export reads, with the sample entry that made it eligible.
struct TrackPick {
  const TRAKBOX* trak = nullptr;
  const PSampleEntry* entry = nullptr;       // the last eligible entry
  const PSampleEntry* firstEntry = nullptr;  // its track's first eligible entry
  int nalLengthSize = 0;                     // avc1/hvc1: bytes of each NAL length
};

// hvcC keeps lengthSizeMinusOne in the low bits of byte 21, not in byte 4 as avcC does.
constexpr size_t kHvcCLengthSizeByte = 21;
constexpr int kDefaultNalLengthSize = 4;

int HevcNalLengthSize(const PSampleEntry& e) {
  const std::vector<uint8_t>& c = e.visual.pParameterSetNALUnit;
  if (c.size() <= kHvcCLengthSizeByte) return kDefaultNalLengthSize;
  return (c[kHvcCLengthSizeByte] & 3) + 1;
}

void PickTracks(const MOOVBOX& moov, TrackPick* video, TrackPick* sound) {
  for (const auto& slot : moov.trak) {
    if (!slot || !HasTables(*slot)) continue;
    const uint32_t handler = slot->mdia.hdlr.handlerType;
    const bool isVideo = handler == FourCC("vide");
    if (!isVideo && handler != FourCC("soun")) continue;
    TrackPick pick;
    for (const PSampleEntry& e : slot->mdia.minf.stbl.stsd.entries) {
      if (!(isVideo ? OneOf(e.format, kVideoFormats) : OneOf(e.format, kSoundFormats))) continue;
      if (!pick.firstEntry) pick.firstEntry = &e;
      pick.entry = &e;
    }
    if (!pick.entry) continue;
    pick.trak = slot.get();
    if (pick.entry->format == FourCC("avc1"))
      pick.nalLengthSize = pick.entry->visual.lengthSizeMinusOne + 1;
    if (pick.entry->format == FourCC("hvc1")) pick.nalLengthSize = HevcNalLengthSize(*pick.entry);
    *(isVideo ? video : sound) = pick;  // the last track found wins
  }
}

uint32_t VideoCodecOf(uint32_t format) {
  switch (format) {
    case FourCC("avc1"): return kCodecAvc1;
    case FourCC("hvc1"): return kCodecHvc1;
    case FourCC("mp4v"): return kCodecMp4v;
    case FourCC("s263"): return kCodecS263;
    default: return kCodecNone;
  }
}

uint32_t SoundCodecOf(uint32_t format) {
  switch (format) {
    case FourCC(".mp3"): return kCodecMp3;
    case FourCC("mp4a"): return kCodecMp4a;
    case FourCC("samr"): return kCodecSamr;
    case FourCC("sevc"): return kCodecSevc;
    case FourCC("sqcp"): return kCodecSqcp;
    default: return kCodecNone;
  }
}

// Stream descriptions of the output. A gps2-layout source has no ptrh, and a source
// whose ptrh lacks a description gets it from the sample entry the same way.
void DescribeStreams(const MP4INFO& src, const TrackPick& video, const TrackPick* sound,
                     MP4INFO* out) {
  out->ptrh = src.ptrh;
  if (src.gps2Layout || !src.ptrh.ptvi.found()) {
    out->ptrh.vi = PTVIBOX{};
    out->ptrh.vi.streamNumber = 1;
    out->ptrh.vi.codec = VideoCodecOf(video.entry->format);
    out->ptrh.vi.width = video.entry->visual.width;
    out->ptrh.vi.height = video.entry->visual.height;
  }
  if (sound && (src.gps2Layout || !src.ptrh.ptso.found())) {
    const PSampleEntry& e = *sound->entry;
    out->ptrh.so = PTSOBOX{};
    out->ptrh.so.streamNumber = 2;
    out->ptrh.so.codec = SoundCodecOf(e.format);
    out->ptrh.so.channelCount = e.audio.channelCount;
    out->ptrh.so.bitsPerSample = e.audio.sampleSize;
    out->ptrh.so.sampleRate = e.audio.sampleRate;
    out->ptrh.ptso = {1, 1};  // present in the output
  }
  std::memcpy(out->cprtText, src.cprtText, sizeof out->cprtText);
  std::memcpy(out->ptnmName, src.ptnmName, sizeof out->ptnmName);
  out->ptnmKind = src.ptnmKind;
  out->gps2Layout = src.gps2Layout;
}

bool Fail(std::string* error, int line, const std::string& message) {
  TraceLog("ExportMP4", line, "%s\n", message.c_str());
  if (error) *error = message;
  return false;
}

// Sample count of a track, clamped to the entries its stsz box can hold.
uint32_t SampleCount(const TRAKBOX& t) {
  const STSZBOX& z = t.mdia.minf.stbl.stsz;
  if (z.sampleSize != 0) return z.sampleCount;
  uint32_t room = z.size > kStszTableHead ? (z.size - kStszTableHead) / 4 : 0;
  return std::min(z.sampleCount, room);
}

class Exporter {
 public:
  Exporter(MediaFile& source, MediaFile& tables, const MP4INFO& info, uint32_t base,
           SampleBuffer& buffer, std::string* error, ExportSpan* span, const ExportCut& cut)
      : src_(source), tables_(tables), info_(info), base_(base), buffer_(buffer),
        error_(error), span_(span), cut_(cut), srcLength_(source.Length()) {}

  bool Run(const std::string& outPath, int fromSec, int toSec, bool withSound,
           const ExportProgressFn& progress);

 private:
  bool SeekToStart(SampleCursor& video, SampleCursor* sound, uint32_t videoCount,
                   uint32_t soundCount, uint64_t startMs);
  bool AdvanceTo(SampleCursor& video, uint32_t sampleNumber, uint32_t videoCount);
  bool ReadSample(const SampleInfo& s, const char* track);
  bool Take(SampleCursor& c, uint32_t count, SampleInfo* s);

  MediaFile& src_;
  MediaFile& tables_;  // where the sample tables are read: src_ unless worked out apart
  const MP4INFO& info_;
  uint32_t base_;
  SampleBuffer& buffer_;
  std::string* error_;
  ExportSpan* span_;
  const ExportCut& cut_;
  uint64_t srcLength_;
};

// Next sample of a track, unless all its samples have been taken or the tables end.
bool Exporter::Take(SampleCursor& c, uint32_t count, SampleInfo* s) {
  if (!c.pending && c.current.sampleNumber >= count) return false;
  return NextSample(c, tables_, info_.moov, s) == 1;
}

bool Exporter::ReadSample(const SampleInfo& s, const char* track) {
  const uint64_t at = uint64_t(s.fileOffset) + base_;
  if (s.size > kMaxExportSampleBytes)
    return Fail(error_, __LINE__, "sample " + std::to_string(s.sampleNumber) + " of the " + track +
                                      " track claims " + std::to_string(s.size) +
                                      " bytes, more than a sample may hold");
  if (at + s.size > srcLength_)
    return Fail(error_, __LINE__, "sample " + std::to_string(s.sampleNumber) + " of the " + track +
                                      " track lies beyond the end of the file");
  if (buffer_.bytes.size() < s.size) {
    try {
      buffer_.bytes.resize(s.size);
    } catch (const std::bad_alloc&) {
      return Fail(error_, __LINE__,
                  "no memory for a sample of " + std::to_string(s.size) + " bytes");
    }
  }
  if (!src_.Seek(at) || !src_.Read(buffer_.bytes.data(), s.size))
    return Fail(error_, __LINE__, "cannot read sample " + std::to_string(s.sampleNumber) +
                                      " of the " + track + " track");
  return true;
}

bool Exporter::AdvanceTo(SampleCursor& video, uint32_t sampleNumber, uint32_t videoCount) {
  SampleInfo s;
  while (video.current.sampleNumber < sampleNumber) {
    if (video.current.sampleNumber >= videoCount ||
        NextSample(video, tables_, info_.moov, &s) != 1)
      return Fail(error_, __LINE__, "cannot read the video sample table");
  }
  return true;
}

// Positions the video cursor on the first key frame at or after startMs (the last key
// frame when none is that late; for an exact cut the last key frame at or before startMs,
// the first when none is that early) and the sound cursor on the first sample at or
// after it.
bool Exporter::SeekToStart(SampleCursor& video, SampleCursor* sound, uint32_t videoCount,
                           uint32_t soundCount, uint64_t startMs) {
  const TableBox& stss = video.trak->mdia.minf.stbl.stss;
  const uint32_t room = stss.size > kFullBoxTableHead ? (stss.size - kFullBoxTableHead) / 4 : 0;
  const uint32_t entries = std::min(stss.entryCount, room);
  if (!stss.found() || entries == 0)
    return Fail(error_, __LINE__, "the video track has no key-frame table to seek with");
  SampleInfo s;
  bool positioned = false;
  uint32_t keyBefore = 0;  // the last key frame passed that starts before startMs
  for (uint32_t i = 0; i < entries; ++i) {
    uint32_t key = 0;
    if (!tables_.Seek(uint64_t(stss.offset) + kStssHead + 4ull * i) || !tables_.ReadU32(&key))
      return Fail(error_, __LINE__, "cannot read the key-frame table");
    if (key > videoCount)
      return Fail(error_, __LINE__, "key frame " + std::to_string(key) + " lies beyond the " +
                                        std::to_string(videoCount) + " video samples");
    if (key <= video.current.sampleNumber) continue;  // not ascending: already passed
    if (!AdvanceTo(video, key, videoCount)) return false;
    positioned = true;
    if (video.current.timeMs >= startMs) break;
    keyBefore = key;
  }
  if (!positioned) return Fail(error_, __LINE__, "the key-frame table is empty");
  // The cursor only runs forward: the key frame before is found again from the start.
  if (cut_.exact && video.current.timeMs > startMs && keyBefore != 0) {
    const TRAKBOX* trak = video.trak;
    video = SampleCursor{};
    video.trak = trak;
    if (!AdvanceTo(video, keyBefore, videoCount)) return false;
  }
  video.pending = true;
  if (sound) {
    const uint64_t keyTime = video.current.timeMs;
    while (sound->current.sampleNumber < soundCount) {
      if (NextSample(*sound, tables_, info_.moov, &s) != 1) return true;  // sound ends early
      if (s.timeMs >= keyTime) {
        sound->pending = true;
        break;
      }
    }
  }
  return true;
}

bool Exporter::Run(const std::string& outPath, int fromSec, int toSec, bool withSound,
                   const ExportProgressFn& progress) {
  const uint64_t startMs = uint64_t(fromSec) * kMsPerSecond;
  const uint64_t endMs = uint64_t(toSec) * kMsPerSecond + kEndSecondMs;
  const uint32_t totalMs = uint32_t(toSec - fromSec) * kMsPerSecond;

  TrackPick videoPick, soundPick;
  PickTracks(info_.moov, &videoPick, &soundPick);
  if (!videoPick.trak) return Fail(error_, __LINE__, "the recording has no video track");
  const bool sound = withSound && soundPick.trak;
  const uint32_t videoCount = SampleCount(*videoPick.trak);
  const uint32_t soundCount = sound ? SampleCount(*soundPick.trak) : 0;

  SampleCursor vc, sc;
  vc.trak = videoPick.trak;
  sc.trak = soundPick.trak;
  if (startMs > 0 && !SeekToStart(vc, sound ? &sc : nullptr, videoCount, soundCount, startMs))
    return false;

  // The builders hold every sample the source has: a recording with more sound frames
  // per second than the camera's never loses the end of its sound.
  MP4MBOX_NODE vb, sb;
  if (!CreateFixedSizeTrak(vb, std::max(kVideoSampleCapacity, videoCount), true) ||
      (sound && !CreateFixedSizeTrak(sb, std::max(kSoundSampleCapacity, soundCount), false)))
    return Fail(error_, __LINE__, "no memory for the sample tables");

  MediaFile::OpenError openError;
  auto out = MediaFile::Open(outPath, base_ == 0 ? "wb" : "rb+", &openError);
  if (!out) return Fail(error_, __LINE__, "cannot write " + outPath);
  const uint64_t outBase = base_ == 0 ? 0 : out->Length();
  if (outBase >= kMaxMediaFileSize || !out->Seek(outBase))
    return Fail(error_, __LINE__, "cannot append to " + outPath);

  MP4INFO outInfo;
  DescribeStreams(info_, videoPick, sound ? &soundPick : nullptr, &outInfo);
  const PTVIBOX& vi = outInfo.ptrh.vi;
  const std::vector<uint8_t>& sourceConfig = videoPick.firstEntry->visual.pParameterSetNALUnit;
  const bool useSourceConfig =
      base_ != 0 || info_.gps2Layout || vi.nConfigNum < 2 || vi.config.size() < 2;
  ConfigRecord config{sourceConfig.data(), uint32_t(sourceConfig.size())};
  const bool noFrameRecord = info_.gps2Layout != 0;
  const std::string writeFailed = "write to " + outPath + " failed";

  uint32_t position = 0;  // relative to outBase
  bool headWritten = false, videoActive = true, soundActive = sound, soundHeld = false;
  uint64_t origin = 0, videoTime = 0, shownFrom = 0;
  SampleInfo s, held;
  while (videoActive || soundActive) {
    if (videoActive) {
      if (!Take(vc, videoCount, &s) || s.timeMs > endMs) {
        videoActive = false;
      } else {
        if (!ReadSample(s, "video")) return false;
        const uint8_t* data = buffer_.bytes.data();
        if (!headWritten && IsKeySample(data, s.size, videoPick.nalLengthSize, vi.codec)) {
          // An exact clip is shown from startMs on: its start time is that moment.
          shownFrom = cut_.exact ? std::max<uint64_t>(s.timeMs, startMs) : s.timeMs;
          if (!WriteMovieHead(*out, &position, info_.startTime + shownFrom, outInfo, sound,
                              cut_.telemetry))
            return Fail(error_, __LINE__, writeFailed);
          origin = s.timeMs;
          outInfo.mdat = {0, uint32_t(position + outBase)};
          headWritten = true;
        }
        if (headWritten) {
          if (vb.sampleCount >= vb.capacity) {
            TraceLog("ExportMP4", __LINE__, "video table full at %u samples\n", vb.sampleCount);
            videoActive = false;
          } else if (!WriteSample(*out, &position, vb, data, s.size, videoPick.nalLengthSize,
                                  uint32_t(s.timeMs - origin), noFrameRecord, vi.codec)) {
            return Fail(error_, __LINE__, writeFailed);
          }
          videoTime = s.timeMs;
          if (span_) {
            if (!span_->any) span_->firstMs = shownFrom;
            span_->lastMs = s.timeMs;
            span_->any = true;
          }
          if (progress && !progress(uint32_t(std::min<uint64_t>(
                                        videoTime > startMs ? videoTime - startMs : 0, totalMs)),
                                    totalMs))
            return Fail(error_, __LINE__, "export cancelled");
        }
      }
      if (!videoActive && !headWritten)
        return Fail(error_, __LINE__, "no key frame to start from in the range");
    }
    // Sound follows the video in time order: every sound sample due by the video sample
    // just written goes next, so the output stays interleaved as the camera writes it.
    while (soundActive && headWritten) {
      if (!soundHeld) {
        if (!Take(sc, soundCount, &held) || held.timeMs > endMs) {
          soundActive = false;
          break;
        }
        soundHeld = true;
      }
      if (videoActive && held.timeMs > videoTime) break;
      soundHeld = false;
      if (held.timeMs < origin) continue;
      if (!ReadSample(held, "sound")) return false;
      if (sb.sampleCount >= sb.capacity) {
        TraceLog("ExportMP4", __LINE__, "sound table full at %u samples\n", sb.sampleCount);
        soundActive = false;
        break;
      }
      if (!WriteSample(*out, &position, sb, buffer_.bytes.data(), held.size, 0,
                       uint32_t(held.timeMs - origin), noFrameRecord, kCodecNone))
        return Fail(error_, __LINE__, writeFailed);
    }
  }
  buffer_.bytes = {};  // released at the end of every export

  // Each track's media begin with its first sample: the edit lists skip what lies before
  // the moment the clip is shown from.
  MoovPresentation presentation;
  if (cut_.exact) {
    presentation.presentFromMs = uint32_t(shownFrom - origin);
    presentation.created = MovieTimeOf(info_.startTime + shownFrom);
  }
  uint32_t end = uint32_t(position + outBase);
  if (!WriteMoov(*out, &end, outInfo, &vb, sound ? &sb : nullptr,
                 useSourceConfig && !sourceConfig.empty() ? &config : nullptr, end,
                 &presentation) ||
      !out->Flush())
    return Fail(error_, __LINE__, writeFailed);
  return true;
}

}  // namespace

int ExportMP4(MediaFile& source, const std::string& outPath, const MP4INFO& info, int fromSec,
              int toSec, bool withSound, uint32_t base, SampleBuffer& buffer,
              const ExportProgressFn& progress, std::string* error, ExportSpan* span,
              MediaFile* tables, const ExportCut& cut) {
  if (fromSec < 0 || toSec <= fromSec) {
    Fail(error, __LINE__, "invalid range");
    return 0;
  }
  Exporter exporter(source, tables ? *tables : source, info, base, buffer, error, span, cut);
  bool ok = exporter.Run(outPath, fromSec, toSec, withSound, progress);
  buffer.bytes = {};
  return ok ? 1 : 0;
}

int RecordingLengthSec(const MVHDBOX& mvhd) {
  const uint64_t d = mvhd.duration;
  const uint32_t t = mvhd.timescale;
  if (d < 1) return 0;
  if (t < 1) return d < uint64_t(kMaxExportLengthSec) ? int(d) : 0;
  if (d < t) return 1;
  const uint64_t seconds = d / t;
  return seconds >= uint64_t(kMaxExportLengthSec) ? 0 : int(seconds);
}

}  // namespace tq
