// The camera's metadata inside the top-level free box: start time, stream descriptions,
// notice and model texts, GPS text and G-sensor block.
#include <cstring>
#include <new>

#include "app/TraceLog.h"
#include "container/Mp4ReaderDetail.h"
#include "container/Mp4Reader.h"

namespace tq {
namespace mp4 {
namespace {

constexpr uint32_t kPtviHead = 12;
constexpr uint32_t kPtsoHead = 16;
constexpr uint32_t kConfigLengthField = 2;
constexpr uint32_t kPtnmHead = 4;          // kind byte + three zero bytes
constexpr uint8_t kPtnmKindGps2 = 4;
constexpr size_t kSensorEndMarker = 10;    // a run of ten 0xFF bytes ends the G-sensor block

uint32_t VideoCodecOf(uint32_t fourcc) {
  switch (fourcc) {
    case FourCC("avc1"): return kCodecAvc1;
    case FourCC("hvc1"): return kCodecHvc1;
    case FourCC("mp4v"): return kCodecMp4v;
    case FourCC("s263"): return kCodecS263;
    default: return kCodecNone;
  }
}

uint32_t SoundCodecOf(uint32_t fourcc) {
  switch (fourcc) {
    case FourCC(".mp3"): return kCodecMp3;
    case FourCC("mp4a"): return kCodecMp4a;
    case FourCC("samr"): return kCodecSamr;
    case FourCC("sevc"): return kCodecSevc;
    case FourCC("sqcp"): return kCodecSqcp;
    case FourCC("ulaw"): return kCodecUlaw;
    default: return kCodecNone;
  }
}

// Reads the nConfigNum parameter strings that end ptvi and ptso. `tag` and the two line
// numbers name the allocation failures of the calling parser.
int ReadConfigParams(BoxIn& in, uint32_t& count, std::vector<ConfigParam>& out, const char* tag,
                     int arrayLine, int stringLine) {
  // Each string takes at least its length field: a larger count is never allocated.
  if (count > Fits(in.left(), kConfigLengthField)) {
    TraceLog(tag, arrayLine, "ConfigParam alloc failed. nConfigNum(%d)\n", int(count));
    count = 0;
    return 0;
  }
  try {
    out.assign(count, ConfigParam{});
  } catch (const std::bad_alloc&) {
    TraceLog(tag, arrayLine, "ConfigParam alloc failed. nConfigNum(%d)\n", int(count));
    count = 0;
    return 0;
  }
  for (ConfigParam& p : out) {
    uint16_t length;
    if (!in.U16(&length)) return 0;
    p.length = length;
    if (length == 0) continue;
    if (length > in.left()) {
      TraceLog(tag, stringLine, "szConfigStr alloc failed. Size(%d)\n", int(length));
      return 0;
    }
    try {
      p.szConfigStr.assign(length, 0);
    } catch (const std::bad_alloc&) {
      TraceLog(tag, stringLine, "szConfigStr alloc failed. Size(%d)\n", int(length));
      return 0;
    }
    if (!in.Read(p.szConfigStr.data(), length)) return 0;
  }
  return 1;
}

// Reads a whole payload into the telemetry buffer when it fits in `capacity`.
bool ReadPayload(MediaFile& f, const Child& c, uint8_t* to, uint64_t capacity, uint32_t* length) {
  *length = c.ref.size - kBoxHeaderSize;
  if (*length > capacity) return false;  // would not fit: skipped
  BoxIn in(f, c.ref.offset, c.end);
  return in.Start() && in.Read(to, *length);
}

void ReadGps(MediaFile& f, const Child& c, MP4INFO& info) {
  TelemetryBuffer& buf = info.gpsBuffer;
  uint32_t length;
  if (!buf.data || !ReadPayload(f, c, buf.data, buf.capacity, &length)) return;
  const void* nul = std::memchr(buf.data, 0, length);
  uint32_t sensorStart = length;
  if (nul) {
    info.gpsLength = int32_t(static_cast<const uint8_t*>(nul) - buf.data);
    sensorStart = uint32_t(info.gpsLength) + 1;
  }
  info.sensorBuffer = buf.data + sensorStart;
  info.sensorCapacity = buf.capacity - sensorStart;
}

void ReadSensor(MediaFile& f, const Child& c, MP4INFO& info) {
  uint32_t length;
  if (!info.sensorBuffer || !ReadPayload(f, c, info.sensorBuffer, info.sensorCapacity, &length))
    return;
  for (size_t i = 0; i + kSensorEndMarker <= length; ++i) {
    size_t run = 0;
    while (run < kSensorEndMarker && info.sensorBuffer[i + run] == 0xFF) ++run;
    if (run == kSensorEndMarker) {
      info.sensorEnd = int32_t(i);
      return;
    }
  }
}

// ptrc and ptrh: their stream descriptions. A child that fails to parse is cleared; a
// broken child header clears the container and ends its walk, never the free box walk.
template <class Set>
void ParseStreamContainer(MediaFile& f, const Child& box, Set& set, BOXREF* ptme) {
  WalkEnd end = WalkChildren(f, box.ref.offset, box.end, [&](const Child& c) {
    BoxIn in(f, c.ref.offset, c.end);
    if (c.type == FourCC("ptvi")) {
      set.ptvi = c.ref;
      if (!in.Start() || !ParsePTVI(in, set.vi)) set.ptvi = {};
    } else if (c.type == FourCC("ptso")) {
      set.ptso = c.ref;
      if (!in.Start() || !ParsePTSO(in, set.so)) set.ptso = {};
    } else if (ptme && c.type == FourCC("ptme")) {
      *ptme = c.ref;
    }
    return Step::Next;
  });
  if (end == WalkEnd::HeaderFail || end == WalkEnd::SeekFail) set.box = {};
}

}  // namespace

int ParsePTVI(BoxIn& in, PTVIBOX& vi) {
  uint8_t b[kPtviHead];
  if (!in.Read(b, sizeof b)) return 0;
  vi.streamNumber = GetU16(b);
  vi.codec = VideoCodecOf(GetU32(b + 2));
  vi.width = GetU16(b + 6);
  vi.height = GetU16(b + 8);
  vi.nConfigNum = GetU16(b + 10);
  return ReadConfigParams(in, vi.nConfigNum, vi.config, "ParsePTVI", 955, 963);
}

int ParsePTSO(BoxIn& in, PTSOBOX& so) {
  uint8_t b[kPtsoHead];
  if (!in.Read(b, sizeof b)) return 0;
  so.streamNumber = GetU16(b);
  so.codec = SoundCodecOf(GetU32(b + 2));
  so.channelCount = GetU16(b + 6);
  so.bitsPerSample = GetU16(b + 8);
  so.sampleRate = GetU32(b + 10);
  so.nConfigNum = GetU16(b + 14);
  return ReadConfigParams(in, so.nConfigNum, so.config, "ParsePTSO", 992, 1000);
}

}  // namespace mp4

using namespace mp4;

int ParseMetaFree(MediaFile& f, uint32_t freeSize, uint32_t freeOffset, MP4INFO& info) {
  if (freeSize < kBoxHeaderSize || freeOffset < kBoxHeaderSize) return 1;
  uint64_t end = std::min<uint64_t>(uint64_t(freeOffset) - kBoxHeaderSize + freeSize, f.Length());
  WalkEnd stop = WalkChildren(f, freeOffset, end, [&](const Child& c) {
    BoxIn in(f, c.ref.offset, c.end);
    uint32_t payload = c.ref.size - kBoxHeaderSize;
    switch (c.type) {
      case FourCC("cprt"):
        info.cprt = c.ref;
        if (payload >= 1 && payload < sizeof info.cprtText) {
          if (!in.Start() || !in.Read(info.cprtText, payload)) return Step::Fail;
        }
        return Step::Next;
      case FourCC("ptnm"): {
        info.ptnm = c.ref;
        uint8_t head[kPtnmHead];
        if (!in.Start() || !in.Read(head, sizeof head)) return Step::Fail;
        info.ptnmKind = head[0];
        if (info.ptnmKind == kPtnmKindGps2) info.gps2Layout = 1;
        if (c.ref.size > kBoxHeaderSize + kPtnmHead) {
          uint32_t nameLength = c.ref.size - kBoxHeaderSize - kPtnmHead;
          if (nameLength < sizeof info.ptnmName && !in.Read(info.ptnmName, nameLength))
            return Step::Fail;
        }
        return Step::Next;
      }
      case FourCC("sttm"):
        info.sttm = c.ref;
        if (!in.Start() || !in.U64(&info.startTime)) info.sttm = {};
        return Step::Next;
      case FourCC("ptrc"):
        info.ptrc.box = c.ref;
        ParseStreamContainer(f, c, info.ptrc, &info.ptrc.ptme);
        return Step::Next;
      case FourCC("ptrh"):
        info.ptrh.box = c.ref;
        ParseStreamContainer(f, c, info.ptrh, nullptr);
        return Step::Next;
      case FourCC("gps "):
        ReadGps(f, c, info);
        return Step::Next;
      case FourCC("gps2"): {
        uint32_t length;
        if (info.gpsBuffer.data &&
            ReadPayload(f, c, info.gpsBuffer.data, info.gpsBuffer.capacity, &length))
          info.gpsLength = int32_t(length);
        info.gps2Layout = 1;
        return Step::Next;
      }
      case FourCC("3gf "):
        ReadSensor(f, c, info);
        return Step::Next;
      default:
        return Step::Next;
    }
  });
  return stop == WalkEnd::HeaderFail || stop == WalkEnd::SeekFail || stop == WalkEnd::Failed ? 0 : 1;
}

}  // namespace tq
