// The judgement of a parsed index: does it describe at least one decodable stream.
#include "container/Mp4Valid.h"

#include "container/MediaFile.h"

namespace tq {
namespace {

bool HasTables(const TRAKBOX& t) {
  const MDIABOX& m = t.mdia;
  const STBLBOX& s = m.minf.stbl;
  return m.mdia.offset && m.minf.minf.offset && s.stbl.offset && s.stsd.offset &&
         s.stts.offset && s.stsz.offset && s.stco.offset && s.stsc.offset;
}

bool IsDecodableSound(uint32_t f) {
  switch (f) {
    case FourCC("mp4a"): case FourCC("samr"): case FourCC("sawb"): case FourCC("secb"):
    case FourCC("secw"): case FourCC("sevc"): case FourCC("sqcp"): case FourCC("ssmv"):
      return true;
    default:
      return false;
  }
}

bool IsDecodableVideo(uint32_t f) {
  return f == FourCC("mp4v") || f == FourCC("avc1") || f == FourCC("hvc1") || f == FourCC("s263");
}

bool Matches(const TRAKBOX& t) {
  if (!HasTables(t)) return false;
  uint32_t handler = t.mdia.hdlr.handlerType;
  for (const PSampleEntry& e : t.mdia.minf.stbl.stsd.entries) {
    if (handler == FourCC("soun") && IsDecodableSound(e.format)) return true;
    if (handler == FourCC("vide") && IsDecodableVideo(e.format)) return true;
  }
  return false;
}

}  // namespace

int IsPlayableMP4(const MOOVBOX& moov, const BOXREF& mdat) {
  const TRAKBOX* first = moov.trak[0].get();
  if (moov.moov.size == 0 || mdat.size == 0 || !first || first->trak.size == 0 ||
      first->tkhd.size == 0)
    return 0;
  for (const auto& t : moov.trak) {
    if (t && Matches(*t)) return 1;
  }
  return 0;
}

int HasPictureTrackMP4(const MOOVBOX& moov) {
  for (const auto& t : moov.trak) {
    if (!t || !HasTables(*t) || t->mdia.hdlr.handlerType != FourCC("vide")) continue;
    for (const PSampleEntry& e : t->mdia.minf.stbl.stsd.entries)
      if (IsDecodableVideo(e.format)) return 1;
  }
  return 0;
}

}  // namespace tq
