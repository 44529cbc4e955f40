// Sample iteration: one track's samples read entry by entry from stts, stsc, stco and
// stsz, never loading a table whole.
#include <cmath>
#include <limits>

#include "container/Mp4Reader.h"

namespace tq {
namespace {

constexpr uint32_t kTableHead = 8;   // version/flags + entry count
constexpr uint32_t kStszHead = 12;   // version/flags + sample size + sample count
constexpr uint32_t kSttsEntry = 8;
constexpr uint32_t kStscEntry = 12;
constexpr uint32_t kStcoEntry = 4;
constexpr uint32_t kStszEntry = 4;
constexpr double kMsPerSecond = 1000.0;

// Reads table entry `index` of a table box, refusing anything outside the box.
bool ReadEntry(MediaFile& f, const BOXREF& box, uint32_t head, uint32_t entrySize,
               uint32_t index, uint8_t* out) {
  if (box.offset == 0 || box.size < 8) return false;
  uint64_t start = uint64_t(box.offset) + head + uint64_t(entrySize) * index;
  uint64_t boxEnd = uint64_t(box.offset) - 8 + box.size;
  if (start + entrySize > boxEnd) return false;
  return f.ReadAt(start, out, entrySize);
}

// value / timescale in whole milliseconds, truncated. Multiplying first keeps exact
// results exact: 1023 / 1000 * 1000 is 1022.99... in binary floating point.
double ScaledMs(double value, uint32_t timescale) {
  return std::trunc(value * kMsPerSecond / timescale);
}

uint64_t ToU64(double v) {
  if (!(v > 0)) return 0;
  if (v >= 18446744073709551615.0) return std::numeric_limits<uint64_t>::max();
  return uint64_t(v);
}

// Movie-time adjustment of the edit list: empty edits before the segment that holds the
// sample delay it. Media times of edits are in movie timescale units.
uint64_t ApplyEditList(const TRAKBOX& trak, const MOOVBOX& moov, uint64_t timeMs) {
  uint32_t movieScale = moov.mvhd.timescale;
  if (movieScale == 0) return timeMs;
  double emptySum = 0;
  for (const ELSTEntry& e : trak.elst.entries) {
    double d = ScaledMs(double(e.segmentDuration), movieScale);
    if (e.mediaTime == -1) {
      emptySum += d;
      continue;
    }
    double s = ScaledMs(double(e.mediaTime), movieScale);
    double t = double(timeMs);
    if (emptySum != 0 && s <= t && t <= s + d) return ToU64(t + emptySum);
  }
  return timeMs;
}

}  // namespace

int NextSample(SampleCursor& c, MediaFile& f, const MOOVBOX& moov, SampleInfo* out) {
  if (!c.trak) return 0;
  if (c.pending) {
    c.pending = false;
    *out = c.current;
    return 1;
  }
  const TRAKBOX& trak = *c.trak;
  const STBLBOX& stbl = trak.mdia.minf.stbl;
  const STSZBOX& stsz = stbl.stsz;
  if (stsz.offset == 0 || c.current.sampleNumber >= stsz.sampleCount) return 0;

  // Time from the time-to-sample runs (media timescale).
  uint32_t mediaScale = trak.mdia.mdhd.timescale;
  auto mediaMs = [&]() -> uint64_t {
    if (mediaScale == 0) return c.sttsAccumulated;
    return ToU64(ScaledMs(double(c.sttsAccumulated), mediaScale));
  };
  if (c.sttsLeft > 0) {
    c.mediaTimeMs = mediaMs();
    c.sttsAccumulated += c.sttsDelta;
    --c.sttsLeft;
  } else if (c.sttsIndex < stbl.stts.entryCount) {
    uint8_t e[kSttsEntry];
    if (!ReadEntry(f, stbl.stts, kTableHead, kSttsEntry, c.sttsIndex, e)) return 0;
    ++c.sttsIndex;
    uint32_t count = GetU32(e);
    c.sttsDelta = GetU32(e + 4);
    c.mediaTimeMs = mediaMs();
    c.sttsAccumulated += c.sttsDelta;
    c.sttsLeft = count > 0 ? count - 1 : 0;
  }
  // Once stts is exhausted the media time keeps its last value; the edit is applied to
  // that media time afresh, never on top of an already edited time.
  uint64_t timeMs = ApplyEditList(trak, moov, c.mediaTimeMs);

  // File offset: samples of one chunk are contiguous.
  uint32_t offset = c.current.fileOffset;
  if (c.chunkLeft > 0) {
    --c.chunkLeft;
    offset += c.current.size;
  } else {
    if (c.stscIndex < stbl.stsc.entryCount) {
      uint8_t e[kStscEntry];
      if (!ReadEntry(f, stbl.stsc, kTableHead, kStscEntry, c.stscIndex, e)) return 0;
      uint32_t firstChunk = GetU32(e);
      if (firstChunk == c.chunkNumber || c.current.sampleNumber == 0 || c.chunkNumber == 0) {
        if (c.chunkNumber == 0) c.chunkNumber = firstChunk;
        c.samplesPerChunk = GetU32(e + 4);
        c.sampleDescriptionIndex = GetU32(e + 8);
        ++c.stscIndex;
      }
    }
    c.chunkLeft = c.samplesPerChunk > 0 ? c.samplesPerChunk - 1 : 0;
    if (c.stcoIndex < stbl.stco.entryCount) {
      uint8_t e[kStcoEntry];
      if (!ReadEntry(f, stbl.stco, kTableHead, kStcoEntry, c.stcoIndex, e)) return 0;
      ++c.stcoIndex;
      offset = GetU32(e);
    }
    ++c.chunkNumber;
  }

  uint32_t size = stsz.sampleSize;
  if (size == 0) {
    uint8_t e[kStszEntry];
    if (!ReadEntry(f, stsz, kStszHead, kStszEntry, c.current.sampleNumber, e)) return 0;
    size = GetU32(e);
  }

  c.current.fileOffset = offset;
  c.current.size = size;
  c.current.timeMs = timeMs;
  ++c.current.sampleNumber;
  *out = c.current;
  return 1;
}

}  // namespace tq
