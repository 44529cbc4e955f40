#include "container/AviExport.h"

#include <filesystem>
#include <new>

#include "app/TraceLog.h"
#include "container/AviValid.h"

namespace tq {
namespace {

constexpr uint32_t kBufferSlack = 1024;

bool Fail(std::string* error, const std::string& text) {
  if (error) *error = text;
  return false;
}

// The first slot from 1 on with this stream type; -1 when none.
int FindStream(const AVIINFO& info, uint32_t fccType) {
  for (int i = 1; i < info.streamCount; ++i)
    if (info.streams[i].fccType == fccType) return i;
  return -1;
}

bool IsFrameOf(const AviIndexEntry& e, int stream) {
  return AviChunkStream(e.ckid) == stream && IsAviVideoChunk(e.ckid);
}

// The index entry the copy starts at: the first whose frame time reaches `fromMs`, moved
// back to the key frame of its stream at or before it. `framesBefore` counts the frames
// of the stream ahead of the returned entry.
size_t StartEntry(const AVIINFO& info, int stream, double msPerFrame, double fromMs,
                  uint32_t* framesBefore) {
  size_t start = 0;
  uint32_t k = 0;
  if (fromMs > 0) {
    for (start = 0; start < info.index.size(); ++start) {
      if (IsFrameOf(info.index[start], stream)) ++k;
      if (k * msPerFrame >= fromMs) break;
    }
  }
  if (start < info.index.size()) {
    for (size_t i = start + 1; i-- > 0;) {
      const AviIndexEntry& e = info.index[i];
      if (IsFrameOf(e, stream) && (e.dwFlags & kAviKeyFrame)) {
        start = i;
        break;
      }
    }
  }
  uint32_t before = 0;
  for (size_t i = 0; i < start && i < info.index.size(); ++i)
    if (IsFrameOf(info.index[i], stream)) ++before;
  *framesBefore = before;
  return start;
}

}  // namespace

int SetAviStream(AviWriter& out, const AviStreamHeader& header, const AviBitmapInfo& format,
                 std::string* error) {
  return out.AddStream(header, &format, kAviBitmapInfoSize, error);
}

bool AviStreamWrite(MediaFile& source, const AviIndexEntry& entry, AviWriter& out, int stream,
                    uint32_t* sampleCounter, uint32_t moviOffset, std::vector<uint8_t>* buffer,
                    std::string* error) {
  const uint64_t dataAt = uint64_t(moviOffset) + entry.dwChunkOffset + 4;
  if (dataAt + entry.dwChunkLength > source.Length())
    return Fail(error, source.path() + ": a chunk runs past the end of the file");
  if (buffer->size() < entry.dwChunkLength) {
    const size_t size = size_t(entry.dwChunkLength) + kBufferSlack;
    try {
      buffer->resize(size);
    } catch (const std::bad_alloc&) {
      TraceLog("AviStreamWrite", 223, "AVIBUF alloc failed. Size(%d)\n", int(size));
      buffer->clear();
      return Fail(error, "out of memory");
    }
  }
  if (!source.Seek(dataAt) || (entry.dwChunkLength && !source.Read(buffer->data(), entry.dwChunkLength)))
    return Fail(error, source.path() + ": a chunk cannot be read");
  if (!out.Write(stream, buffer->data(), entry.dwChunkLength, entry.dwFlags, error)) return false;
  ++*sampleCounter;
  return true;
}

int ExportAVI(MediaFile& source, const std::string& outPath, const AVIINFO& info, int fromSec,
              int toSec, bool withSound, bool firstVideo, bool secondVideo, std::string* error,
              ExportSpan* span) {
  if (firstVideo == secondVideo) return Fail(error, "choose the front or the rear camera"), 0;
  if (info.index.empty()) return Fail(error, source.path() + ": the recording has no index"), 0;
  const uint32_t vids = RiffCode("vids");
  const int selected = firstVideo ? 0 : FindStream(info, vids);
  const int formatSlot = firstVideo ? 0 : 1;
  if (selected < 0 || info.streamCount == 0 || info.streams[selected].fccType != vids ||
      info.videoStreamCount <= formatSlot) {
    TraceLog("ExportAVI", firstVideo ? 241 : 253, "SetAviStream failed. %s\n", outPath.c_str());
    return Fail(error, source.path() + (firstVideo ? ": no front video stream" : ": no rear video stream")), 0;
  }
  const int soundSlot = withSound ? FindStream(info, RiffCode("auds")) : -1;
  if (withSound && soundSlot < 0) {
    TraceLog("ExportAVI", 265, "SetAviStream failed. %s\n", outPath.c_str());
    return Fail(error, source.path() + ": no sound stream"), 0;
  }

  std::unique_ptr<AviWriter> out =
      AviWriter::Create(outPath, info.mainHeader.dwMicroSecPerFrame, error);
  if (!out) {
    TraceLog("ExportAVI", 237, "AVI Open failed. %s\n", outPath.c_str());
    return 0;
  }
  const int videoOut = SetAviStream(*out, info.streams[selected], info.videoFormats[formatSlot], error);
  if (videoOut < 0) {
    TraceLog("ExportAVI", firstVideo ? 241 : 253, "SetAviStream failed. %s\n", outPath.c_str());
    return 0;
  }
  int soundOut = -1;
  if (soundSlot >= 0) {
    soundOut = out->AddStream(info.streams[soundSlot], &info.soundFormat, kAviWaveFormatSize, error);
    if (soundOut < 0) {
      TraceLog("ExportAVI", 265, "SetAviStream failed. %s\n", outPath.c_str());
      return 0;
    }
  }

  const double msPerFrame = info.mainHeader.dwMicroSecPerFrame / 1000.0;
  const double lastMs = double(toSec) * 1000 + 999;
  uint32_t frames = 0;
  size_t i = StartEntry(info, selected, msPerFrame, double(fromSec) * 1000, &frames);
  const uint32_t firstFrame = frames;
  std::vector<uint8_t> buffer;
  uint32_t videoSamples = 0, soundSamples = 0;
  for (; i < info.index.size(); ++i) {
    const AviIndexEntry& e = info.index[i];
    const int stream = AviChunkStream(e.ckid);
    bool ok = true;
    if (IsFrameOf(e, selected)) {
      if (++frames * msPerFrame > lastMs) break;
      ok = AviStreamWrite(source, e, *out, videoOut, &videoSamples, info.moviOffset, &buffer, error);
    } else if (soundOut >= 0 && stream == soundSlot) {
      ok = AviStreamWrite(source, e, *out, soundOut, &soundSamples, info.moviOffset, &buffer, error);
    }
    if (!ok) {
      TraceLog("ExportAVI", __LINE__, "copy failed. %s\n", outPath.c_str());
      return 0;
    }
  }
  if (videoSamples == 0) return Fail(error, source.path() + ": no pictures in the range"), 0;
  if (span) {
    span->any = true;
    span->firstMs = uint64_t(firstFrame * msPerFrame);
    span->lastMs = uint64_t((firstFrame + videoSamples - 1) * msPerFrame);
  }
  return out->Finish(error) ? 1 : 0;
}

int AviLengthSec(const AVIINFO& info, bool rear) {
  const int stream = rear ? FindStream(info, RiffCode("vids")) : 0;
  if (stream < 0) return 0;
  uint64_t frames = 0;
  for (const AviIndexEntry& e : info.index) frames += IsFrameOf(e, stream) ? 1 : 0;
  // To the nearest millisecond: 90 frames of 33333 us are a 3 s recording, not 2.
  return WholeSeconds((frames * info.mainHeader.dwMicroSecPerFrame + 500) / 1000);
}

ExportOutcome ExportAviRecording(const std::string& sourcePath, const std::string& outPath,
                                 int fromSec, int toSec, bool rear, bool withSound,
                                 bool overwrite) {
  ExportOutcome o;
  auto fail = [&o](ExportStatus status, const std::string& message) {
    o.status = status;
    o.message = message;
    if (status == ExportStatus::Failed)
      TraceLog("ExportAviRecording", __LINE__, "%s\n", message.c_str());
    return o;
  };
  MediaFile::OpenError openError;
  std::unique_ptr<MediaFile> f = MediaFile::Open(sourcePath, "rb", &openError);
  if (!f)
    return fail(ExportStatus::InvalidSource,
                sourcePath + (openError == MediaFile::OpenError::NotFound ? ": no such file"
                              : openError == MediaFile::OpenError::TooLarge
                                  ? ": 4 GiB or larger, not supported"
                                  : ": cannot be read"));
  AVIINFO info{};
  std::string error;
  if (!ReadAVI(sourcePath, &info, &error))
    return fail(ExportStatus::InvalidSource, sourcePath + ": not a usable AVI recording (" + error + ")");
  if (info.index.empty()) {
    // Cut from the index a repair would write, kept in memory: export never writes its source.
    std::vector<AviIndexEntry> entries;
    if (!PlanRecoverAVI(*f, info, &entries))
      return fail(ExportStatus::InvalidSource,
                  sourcePath + ": not a usable AVI recording (no usable index, and none can "
                               "be rebuilt)");
    info.index = std::move(entries);
    info.indexCount = uint16_t(info.index.size());
  }
  o.lengthSec = AviLengthSec(info, rear);
  if (o.lengthSec == 0)
    return fail(ExportStatus::InvalidSource,
                sourcePath + (rear ? ": no rear video stream" : ": no front video stream"));
  const std::string range = RangeRefusal(fromSec, toSec, o.lengthSec);
  if (!range.empty()) return fail(ExportStatus::InvalidRange, range);

  const std::string refusal = OutputRefusal(sourcePath, outPath, overwrite);
  if (!refusal.empty()) return fail(ExportStatus::InvalidOutput, refusal);

  bool haveSound = false;
  for (int i = 1; i < info.streamCount; ++i) haveSound |= info.streams[i].fccType == RiffCode("auds");
  const std::string temp = ExportTempName(outPath);
  ExportSpan span;
  bool ok = ExportAVI(*f, temp, info, fromSec, toSec, withSound && haveSound, !rear, rear, &error,
                      &span) == 1;
  std::error_code ec;
  if (ok) ok = CommitExport(temp, outPath, &error);
  if (!ok) {
    std::filesystem::remove(temp, ec);
    for (size_t at; (at = error.find(temp)) != std::string::npos;) error.replace(at, temp.size(), outPath);
    return fail(ExportStatus::Failed, error.empty() ? outPath + ": export failed" : error);
  }
  o.status = ExportStatus::Ok;
  o.firstFrameMs = uint32_t(span.firstMs);
  o.lastFrameMs = uint32_t(span.lastMs);
  return o;
}

}  // namespace tq
