// The top-level scan and the moov side of the box reader (moov, trak and their headers,
// edit list, media, sample table headers).
#include "container/Mp4Reader.h"

#include <new>

#include "app/TraceLog.h"
#include "container/Mp4ReaderDetail.h"

namespace tq {
namespace mp4 {

bool BoxIn::U16(uint16_t* v) {
  uint8_t b[2];
  if (!Read(b, 2)) return false;
  *v = GetU16(b);
  return true;
}
bool BoxIn::U32(uint32_t* v) {
  uint8_t b[4];
  if (!Read(b, 4)) return false;
  *v = GetU32(b);
  return true;
}
bool BoxIn::U64(uint64_t* v) {
  uint8_t b[8];
  if (!Read(b, 8)) return false;
  *v = GetU64(b);
  return true;
}
bool BoxIn::FullBox(FullBoxHeader* h) {
  uint8_t b[kFullBoxHeaderSize];
  if (!Read(b, sizeof b)) return false;
  h->version = b[0];
  h->flags[0] = b[1];
  h->flags[1] = b[2];
  h->flags[2] = b[3];
  return true;
}

namespace {

constexpr uint32_t kMvhdBodyV1 = 108;  // after version/flags
constexpr uint32_t kMvhdBodyV0 = 96;
constexpr uint32_t kTkhdBodyV1 = 92;
constexpr uint32_t kTkhdBodyV0 = 80;
constexpr uint32_t kElstEntryV1 = 16 + 4;  // u64 duration, i64 media time, rates
constexpr uint32_t kElstEntryV0 = 8 + 4;
constexpr uint32_t kSttsEntry = 8;
constexpr uint32_t kStscEntry = 12;
constexpr uint32_t kStcoEntry = 4;
constexpr uint32_t kStszEntry = 4;

// Reads one table header (version, flags, entry count) and clamps the count to the
// entries the box can hold, so no consumer walks past the table.
bool ReadTableHeader(BoxIn& in, TableBox& t, uint32_t entrySize) {
  if (!in.FullBox(&t) || !in.U32(&t.entryCount)) return false;
  t.entryCount = uint32_t(std::min<uint64_t>(t.entryCount, Fits(in.left(), entrySize)));
  return true;
}

void ClearMoov(MOOVBOX& moov) {
  for (auto& t : moov.trak) FreeTRAKBOX(t);
  moov.junk = {};
  moov.mvhd = {};
}

}  // namespace

int ParseMVHD(BoxIn& in, MVHDBOX& mvhd) {
  if (!in.FullBox(&mvhd)) return 0;
  uint8_t b[kMvhdBodyV1];
  if (mvhd.version == 1) {
    if (!in.Read(b, kMvhdBodyV1)) return 0;
    mvhd.creationTime = GetU64(b);
    mvhd.modificationTime = GetU64(b + 8);
    mvhd.timescale = GetU32(b + 16);
    mvhd.duration = GetU64(b + 20);
    mvhd.nextTrackId = GetU32(b + kMvhdBodyV1 - 4);
  } else {
    if (!in.Read(b, kMvhdBodyV0)) return 0;
    mvhd.creationTime = GetU32(b);
    mvhd.modificationTime = GetU32(b + 4);
    mvhd.timescale = GetU32(b + 8);
    mvhd.duration = GetU32(b + 12);
    mvhd.nextTrackId = GetU32(b + kMvhdBodyV0 - 4);
  }
  return 1;
}

int ParseTKHD(BoxIn& in, TKHDBOX& tkhd) {
  if (!in.FullBox(&tkhd)) return 0;
  uint8_t b[kTkhdBodyV1];
  uint32_t body = tkhd.version == 1 ? kTkhdBodyV1 : kTkhdBodyV0;
  if (!in.Read(b, body)) return 0;
  if (tkhd.version == 1) {
    tkhd.creationTime = GetU64(b);
    tkhd.modificationTime = GetU64(b + 8);
    tkhd.trackId = GetU32(b + 16);
    tkhd.duration = GetU64(b + 24);
  } else {
    tkhd.creationTime = GetU32(b);
    tkhd.modificationTime = GetU32(b + 4);
    tkhd.trackId = GetU32(b + 8);
  }
  // Width and height are the last two 16.16 values; keep their integer halves.
  tkhd.width = GetU16(b + body - 8);
  tkhd.height = GetU16(b + body - 4);
  return 1;
}

int ParseELST(BoxIn& in, ELSTBOX& elst) {
  if (!in.FullBox(&elst) || !in.U32(&elst.entryCount)) return 0;
  if (elst.entryCount == 0) return 0;
  uint32_t entrySize = elst.version == 1 ? kElstEntryV1 : kElstEntryV0;
  // A count the box cannot hold would be an allocation out of all proportion to the file.
  if (elst.entryCount > Fits(in.left(), entrySize)) {
    TraceLog("ParseELST", 173, "ELSTEntry alloc failed. Count(%d)\n", int(elst.entryCount));
    return 0;
  }
  try {
    elst.entries.assign(elst.entryCount, ELSTEntry{});
  } catch (const std::bad_alloc&) {
    TraceLog("ParseELST", 173, "ELSTEntry alloc failed. Count(%d)\n", int(elst.entryCount));
    return 0;
  }
  for (ELSTEntry& e : elst.entries) {
    uint8_t b[kElstEntryV1];
    if (!in.Read(b, entrySize)) return 0;
    if (elst.version == 1) {
      e.segmentDuration = GetU64(b);
      e.mediaTime = int64_t(GetU64(b + 8));
    } else {
      e.segmentDuration = GetU32(b);
      e.mediaTime = int32_t(GetU32(b + 4));
    }
    e.mediaRateInteger = int16_t(GetU16(b + entrySize - 4));
    e.mediaRateFraction = int16_t(GetU16(b + entrySize - 2));
  }
  return 1;
}

int ParseMDHD(BoxIn& in, MDHDBOX& mdhd) {
  if (!in.FullBox(&mdhd)) return 0;
  uint8_t b[28];
  if (mdhd.version == 1) {
    if (!in.Read(b, 28)) return 0;
    mdhd.creationTime = GetU64(b);
    mdhd.modificationTime = GetU64(b + 8);
    mdhd.timescale = GetU32(b + 16);
    mdhd.duration = GetU64(b + 20);
  } else {
    if (!in.Read(b, 16)) return 0;
    mdhd.creationTime = GetU32(b);
    mdhd.modificationTime = GetU32(b + 4);
    mdhd.timescale = GetU32(b + 8);
    mdhd.duration = GetU32(b + 12);
  }
  if (!in.Read(b, 4)) return 0;
  mdhd.language = GetU16(b);
  return 1;
}

int ParseSTBL(MediaFile& f, const Child& box, STBLBOX& stbl) {
  WalkChildren(f, box.ref.offset, box.end, [&](const Child& c) {
    BoxIn in(f, c.ref.offset, c.end);
    if (!in.Start()) return Step::Stop;
    switch (c.type) {
      case FourCC("stsd"):
        static_cast<BOXREF&>(stbl.stsd) = c.ref;
        return ParseSTSD(in, stbl.stsd) ? Step::Next : Step::Stop;
      case FourCC("stts"):
        static_cast<BOXREF&>(stbl.stts) = c.ref;
        if (!ReadTableHeader(in, stbl.stts, kSttsEntry)) return Step::Stop;
        return stbl.stts.entryCount == 0 ? Step::Stop : Step::Next;
      case FourCC("stsc"):
        static_cast<BOXREF&>(stbl.stsc) = c.ref;
        if (!ReadTableHeader(in, stbl.stsc, kStscEntry)) return Step::Stop;
        return stbl.stsc.entryCount == 0 ? Step::Stop : Step::Next;
      case FourCC("stss"):
        static_cast<BOXREF&>(stbl.stss) = c.ref;
        return ReadTableHeader(in, stbl.stss, kStcoEntry) ? Step::Next : Step::Stop;
      case FourCC("stco"):
        static_cast<BOXREF&>(stbl.stco) = c.ref;
        return ReadTableHeader(in, stbl.stco, kStcoEntry) ? Step::Next : Step::Stop;
      case FourCC("stsz"): {
        static_cast<BOXREF&>(stbl.stsz) = c.ref;
        STSZBOX& z = stbl.stsz;
        if (!in.FullBox(&z) || !in.U32(&z.sampleSize) || !in.U32(&z.sampleCount))
          return Step::Stop;
        if (z.sampleSize == 0)
          z.sampleCount = uint32_t(std::min<uint64_t>(z.sampleCount, Fits(in.left(), kStszEntry)));
        return Step::Next;
      }
      default:
        return Step::Next;
    }
  });
  return 1;
}

int ParseMDIA(MediaFile& f, const Child& box, MDIABOX& mdia) {
  WalkChildren(f, box.ref.offset, box.end, [&](const Child& c) {
    BoxIn in(f, c.ref.offset, c.end);
    if (!in.Start()) return Step::Stop;
    switch (c.type) {
      case FourCC("mdhd"):
        static_cast<BOXREF&>(mdia.mdhd) = c.ref;
        return ParseMDHD(in, mdia.mdhd) ? Step::Next : Step::Stop;
      case FourCC("hdlr"): {
        static_cast<BOXREF&>(mdia.hdlr) = c.ref;
        uint8_t b[8];
        if (!in.FullBox(&mdia.hdlr) || !in.Read(b, sizeof b)) return Step::Stop;
        mdia.hdlr.handlerType = GetU32(b + 4);
        return Step::Next;
      }
      case FourCC("minf"):
        mdia.minf.minf = c.ref;
        WalkChildren(f, c.ref.offset, c.end, [&](const Child& m) {
          switch (m.type) {
            case FourCC("vmhd"):
            case FourCC("smhd"):
            case FourCC("hmhd"):
            case FourCC("nmhd"):
              mdia.minf.mediaHeaderType = m.type;
              break;
            case FourCC("dinf"):
              mdia.minf.dinf = m.ref;
              break;
            case FourCC("stbl"):
              mdia.minf.stbl.stbl = m.ref;
              ParseSTBL(f, m, mdia.minf.stbl);
              break;
            default:
              break;
          }
          return Step::Next;
        });
        return Step::Next;
      default:
        return Step::Next;
    }
  });
  return 1;
}

int ParseTRAK(MediaFile& f, const Child& box, TRAKBOX& trak) {
  WalkEnd end = WalkChildren(f, box.ref.offset, box.end, [&](const Child& c) {
    switch (c.type) {
      case FourCC("tkhd"): {
        static_cast<BOXREF&>(trak.tkhd) = c.ref;
        BoxIn in(f, c.ref.offset, c.end);
        return in.Start() && ParseTKHD(in, trak.tkhd) ? Step::Next : Step::Fail;
      }
      case FourCC("tref"):
        trak.tref = c.ref;
        return Step::Next;
      case FourCC("edts"):
        trak.edts = c.ref;
        // The edit list is optional: its failures end the edts walk, never the track.
        WalkChildren(f, c.ref.offset, c.end, [&](const Child& e) {
          if (e.type != FourCC("elst")) return Step::Next;
          static_cast<BOXREF&>(trak.elst) = e.ref;
          BoxIn in(f, e.ref.offset, e.end);
          if (in.Start() && ParseELST(in, trak.elst)) return Step::Next;
          trak.elst.entries.clear();
          return Step::Stop;
        });
        return Step::Next;
      case FourCC("mdia"):
        trak.mdia.mdia = c.ref;
        ParseMDIA(f, c, trak.mdia);
        return Step::Next;
      default:
        return Step::Next;
    }
  });
  return end == WalkEnd::HeaderFail || end == WalkEnd::SeekFail || end == WalkEnd::Failed ? 0 : 1;
}

}  // namespace mp4

using namespace mp4;

int ParseMOOV(MediaFile& f, MOOVBOX& moov) {
  uint64_t fileLength = f.Length();
  uint64_t end = std::min<uint64_t>(uint64_t(moov.moov.offset) - kBoxHeaderSize + moov.moov.size,
                                    fileLength);
  if (moov.moov.size < kBoxHeaderSize) return 1;  // nothing inside
  int kept = 0;
  WalkEnd stop = WalkChildren(f, moov.moov.offset, end, [&](const Child& c) {
    switch (c.type) {
      case FourCC("junk"):
        moov.junk = c.ref;
        return Step::Next;
      case FourCC("mvhd"): {
        static_cast<BOXREF&>(moov.mvhd) = c.ref;
        BoxIn in(f, c.ref.offset, c.end);
        if (in.Start() && ParseMVHD(in, moov.mvhd)) return Step::Next;
        static_cast<BOXREF&>(moov.mvhd) = {};
        return Step::Fail;
      }
      case FourCC("trak"): {
        if (kept >= kMaxTracks) return Step::Fail;
        std::unique_ptr<TRAKBOX> trak;
        try {
          trak = std::make_unique<TRAKBOX>();
        } catch (const std::bad_alloc&) {
          TraceLog("ParseMOOV", 903, "TRAKBOX alloc failed. count(%d)\n", kept);
          return Step::Fail;
        }
        trak->trak = c.ref;
        if (ParseTRAK(f, c, *trak)) {
          moov.trak[size_t(kept++)] = std::move(trak);
        } else {
          FreeTRAKBOX(trak);
        }
        return Step::Next;
      }
      default:
        return Step::Next;
    }
  });
  return stop == WalkEnd::HeaderFail || stop == WalkEnd::SeekFail || stop == WalkEnd::Failed ? 0 : 1;
}

namespace {

// The four top-level boxes a movie set is made of.
enum SeenBit : unsigned { kSeenFtyp = 1, kSeenMoov = 2, kSeenMdat = 4, kSeenFree = 8, kSeenAll = 15 };

unsigned SeenBitOf(uint32_t type) {
  switch (type) {
    case FourCC("ftyp"): return kSeenFtyp;
    case FourCC("moov"): return kSeenMoov;
    case FourCC("mdat"): return kSeenMdat;
    case FourCC("free"): return kSeenFree;
    default: return 0;
  }
}

}  // namespace

int ScanMP4(const std::string& path, MP4INFO* info, int acceptSecondSet, uint64_t* fileLength) {
  MediaFile::OpenError error;
  auto f = MediaFile::Open(path, "rb", &error);
  if (!f) {
    if (error == MediaFile::OpenError::TooLarge)
      TraceLog("ScanMP4", __LINE__, "%s is 4 GiB or larger: refused\n", path.c_str());
    return 0;
  }
  uint64_t length = f->Length();
  if (fileLength) *fileLength = length;
  if (length < kBoxHeaderSize) return 0;

  unsigned seen = 0;
  int status = 1;
  uint64_t position = kBoxHeaderSize;  // payload offset of the current box
  while (position < length) {
    uint8_t h[kBoxHeaderSize];
    if (!f->Read(h, sizeof h)) break;
    uint32_t size = GetU32(h);
    uint32_t type = GetU32(h + 4);
    BOXREF ref{size, uint32_t(position)};
    // A box below the header size ends the scan after it; its window is empty.
    uint64_t end = size < kBoxHeaderSize ? position
                                         : std::min<uint64_t>(position - kBoxHeaderSize + size, length);
    unsigned bit = SeenBitOf(type);
    MP4INFO* set = info;
    if (bit && (seen & bit)) {
      if (acceptSecondSet) {
        set = info + 1;
      } else {
        seen = kSeenAll;
        bit = 0;  // not handled again
      }
    }
    seen |= bit;
    switch (bit ? type : 0) {
      case FourCC("ftyp"): {
        set->ftyp = ref;
        BoxIn in(*f, position, end);
        uint32_t brand = 0, minor = 0;
        if (!in.Start() || !in.U32(&brand) || !in.U32(&minor)) {
          set->majorBrand = brand;
          return status;
        }
        set->majorBrand = brand;
        set->minorVersion = minor;
        break;
      }
      case FourCC("free"):
        ParseMetaFree(*f, size, uint32_t(position), *set);
        break;
      case FourCC("mdat"):
        set->mdat = ref;
        break;
      case FourCC("moov"):
        ClearMoov(set->moov);
        set->moov.moov = ref;
        status = ParseMOOV(*f, set->moov);
        break;
      default:
        break;
    }
    if (status == 0 || size < kBoxHeaderSize || (!acceptSecondSet && seen == kSeenAll)) break;
    position += size;
    if (position > length || !f->Seek(position - kBoxHeaderSize)) break;
  }
  return status;
}

}  // namespace tq
