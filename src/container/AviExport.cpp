#include "container/AviExport.h"

#include <new>

#include "app/TraceLog.h"

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
              int toSec, bool withSound, bool firstVideo, bool secondVideo, std::string* error) {
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
  return out->Finish(error) ? 1 : 0;
}

}  // namespace tq
