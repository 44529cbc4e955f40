// Sample descriptions: stsd, the visual and audio sample entries, and the MPEG-4
// elementary stream descriptor of esds.
#include <new>

#include "app/TraceLog.h"
#include "container/Mp4ReaderDetail.h"

namespace tq::mp4 {
namespace {

constexpr uint32_t kSampleEntryHead = 16;    // size, format, 6 reserved, data_reference_index
constexpr uint32_t kVisualFields = 70;       // VisualSampleEntry fields after the head
constexpr uint32_t kVisualEntryFixed = kSampleEntryHead + kVisualFields;  // 86
constexpr uint32_t kAudioFields = 20;
constexpr uint32_t kAudioEntryFixed = kSampleEntryHead + kAudioFields;    // 36
constexpr uint32_t kBtrtBody = 12;
constexpr uint32_t kQcpBody = 6;   // dqcp / devc
constexpr uint32_t kAmrBody = 9;   // damr
constexpr uint32_t kDecoderConfigBody = 13;
constexpr size_t kAvccLengthSizeByte = 4;
constexpr size_t kHvccLengthSizeByte = 21;

constexpr uint8_t kEsDescrTag = 3;
constexpr uint8_t kDecoderConfigDescrTag = 4;
constexpr uint8_t kDecSpecificInfoTag = 5;
constexpr uint8_t kStreamDependenceFlag = 0x80;
constexpr uint8_t kUrlFlag = 0x40;
constexpr uint8_t kOcrStreamFlag = 0x20;

bool IsVisualFormat(uint32_t f) {
  return f == FourCC("mp4v") || f == FourCC("avc1") || f == FourCC("hvc1") || f == FourCC("s263");
}

bool IsAudioFormat(uint32_t f) {
  switch (f) {
    case FourCC("mp4a"): case FourCC("samr"): case FourCC("sawb"): case FourCC("sqcp"):
    case FourCC("secb"): case FourCC("secw"): case FourCC("sevc"): case FourCC("ssmv"):
    case FourCC("ulaw"):
      return true;
    default:
      return false;
  }
}

// Reads a configuration box (avcC / hvcC) payload into the entry.
Step ReadConfigurationBox(MediaFile& f, const Child& c, PSampleEntry::Visual& v) {
  v.config = c.ref;
  uint32_t length = c.ref.size - kBoxHeaderSize;
  BoxIn in(f, c.ref.offset, c.end);
  // The payload must lie inside the entry: a larger size is never allocated.
  if (length > in.left()) {
    TraceLog("ParserAVCConfigurationBox", 265, "pParameterSetNALUnit alloc failed. Size(%d)\n",
             int(c.ref.size));
    return Step::Fail;
  }
  try {
    v.pParameterSetNALUnit.assign(length, 0);
  } catch (const std::bad_alloc&) {
    TraceLog("ParserAVCConfigurationBox", 265, "pParameterSetNALUnit alloc failed. Size(%d)\n",
             int(c.ref.size));
    return Step::Fail;
  }
  if (!in.Start() || !in.Read(v.pParameterSetNALUnit.data(), length)) return Step::Fail;
  const auto& p = v.pParameterSetNALUnit;
  if (p.size() >= 4) {
    v.configurationVersion = p[0];
    v.profileIndication = p[1];
    v.profileCompatibility = p[2];
    v.levelIndication = p[3];
  }
  // avcC keeps lengthSizeMinusOne in its fifth byte; hvcC in byte 21, after the profile,
  // tier, level and format fields (its fifth byte is a profile compatibility flag byte).
  size_t at = c.type == FourCC("hvcC") ? kHvccLengthSizeByte : kAvccLengthSizeByte;
  if (p.size() > at) v.lengthSizeMinusOne = p[at] & 3;
  return Step::Next;
}

}  // namespace

int ReadDescriptorLength(BoxIn& in, uint32_t* value, uint32_t* extraBytes) {
  uint8_t b;
  if (!in.U8(&b)) return 0;
  *value = b & 0x7F;
  *extraBytes = 0;
  // No limit on the number of length bytes: the descriptor's box bounds the loop.
  while (b & 0x80) {
    if (!in.U8(&b)) return 0;
    *value = (*value << 7) + (b & 0x7F);
    ++*extraBytes;
  }
  return 1;
}

int ParseESDS(BoxIn& in, ESDSREC& esds) {
  FullBoxHeader h;
  if (!in.FullBox(&h)) return 0;
  esds.version = h.version;
  esds.flags[0] = h.flags[0];
  esds.flags[1] = h.flags[1];
  esds.flags[2] = h.flags[2];
  uint32_t length = 0, extra = 0;
  if (!in.U8(&esds.esTag) || esds.esTag != kEsDescrTag) return 0;
  if (!ReadDescriptorLength(in, &length, &extra)) return 0;
  uint8_t flags;
  if (!in.U16(&esds.esId) || !in.U8(&flags)) return 0;
  esds.streamDependenceFlag = flags & kStreamDependenceFlag;
  esds.urlFlag = flags & kUrlFlag;
  esds.ocrStreamFlag = flags & kOcrStreamFlag;
  esds.streamPriority = flags & 0x1F;
  if (esds.streamDependenceFlag && !in.U16(&esds.dependsOnEsId)) return 0;
  if (esds.urlFlag) {
    uint8_t urlLength;
    if (!in.U8(&urlLength) || !in.Skip(urlLength)) return 0;
  }
  if (esds.ocrStreamFlag && !in.U16(&esds.ocrEsId)) return 0;
  if (!in.U8(&esds.decoderConfigTag) || esds.decoderConfigTag != kDecoderConfigDescrTag) return 0;
  if (!ReadDescriptorLength(in, &length, &extra)) return 0;
  uint8_t b[kDecoderConfigBody];
  if (!in.Read(b, sizeof b)) return 0;
  esds.objectTypeIndication = b[0];
  esds.streamType = b[1] >> 2;
  esds.upStream = (b[1] >> 1) & 1;
  esds.bufferSizeDB = GetU32(b + 1) & 0xFFFFFF;
  esds.maxBitrate = GetU32(b + 5);
  esds.avgBitrate = GetU32(b + 9);
  uint8_t tag;
  if (!in.U8(&tag) || tag != kDecSpecificInfoTag) return 0;
  return ReadDescriptorLength(in, &length, &extra);
}

int ParserAVCConfigurationBox(MediaFile& f, uint64_t entryEnd, PSampleEntry& entry,
                              uint32_t format) {
  PSampleEntry::Visual& v = entry.visual;
  uint64_t entryStart = uint64_t(entry.entry.offset) - kBoxHeaderSize;
  v.ref = {entry.entry.size, uint32_t(entryStart + kSampleEntryHead)};
  BoxIn in(f, entryStart + kSampleEntryHead, entryEnd);
  uint8_t b[kVisualFields];
  if (!in.Start() || !in.Read(b, sizeof b)) return 0;
  v.width = GetU16(b + 16);
  v.height = GetU16(b + 18);
  if (entry.entry.size <= kVisualEntryFixed) return 1;

  bool parameterSets = format == FourCC("avc1") || format == FourCC("hvc1");
  int status = 1;
  WalkChildren(f, entryStart + kVisualEntryFixed, entryEnd, [&](const Child& c) {
    if (parameterSets && (c.type == FourCC("avcC") || c.type == FourCC("hvcC"))) {
      if (ReadConfigurationBox(f, c, v) == Step::Fail) status = 0;
      return status ? Step::Next : Step::Stop;
    }
    if (parameterSets && c.type == FourCC("btrt")) {
      v.btrt = c.ref;
      BoxIn bt(f, c.ref.offset, c.end);
      uint8_t r[kBtrtBody];
      if (bt.Start() && bt.Read(r, sizeof r)) {
        v.bufferSizeDB = GetU32(r);
        v.maxBitrate = GetU32(r + 4);
        v.avgBitrate = GetU32(r + 8);
      }
      return Step::Next;
    }
    if (format == FourCC("mp4v") && c.type == FourCC("esds")) {
      v.esds = c.ref;
      BoxIn es(f, c.ref.offset, c.end);
      if (!es.Start() || !ParseESDS(es, v.esdsRec)) status = 0;
      return status ? Step::Next : Step::Stop;
    }
    return Step::Next;
  });
  return status;
}

int ParseAudioSampleEntry(MediaFile& f, uint64_t entryEnd, PSampleEntry& entry,
                          uint32_t format) {
  PSampleEntry::Audio& a = entry.audio;
  uint64_t entryStart = uint64_t(entry.entry.offset) - kBoxHeaderSize;
  a.ref = {entry.entry.size, uint32_t(entryStart + kSampleEntryHead)};
  BoxIn in(f, entryStart + kSampleEntryHead, entryEnd);
  uint8_t b[kAudioFields];
  if (!in.Start() || !in.Read(b, sizeof b)) return 0;
  a.channelCount = GetU16(b + 8);
  a.sampleSize = GetU16(b + 10);
  a.sampleRate = GetU16(b + 16);
  if (entry.entry.size <= kAudioEntryFixed) return 1;

  int status = 1;
  WalkChildren(f, entryStart + kAudioEntryFixed, entryEnd, [&](const Child& c) {
    BoxIn ch(f, c.ref.offset, c.end);
    uint8_t r[kAmrBody];
    if ((format == FourCC("sqcp") && c.type == FourCC("dqcp")) ||
        (format == FourCC("sevc") && c.type == FourCC("devc"))) {
      a.special = c.ref;
      if (!ch.Start() || !ch.Read(r, kQcpBody)) status = 0;
      else {
        a.vendor = GetU32(r);
        a.decoderVersion = r[4];
        a.framesPerSample = r[5];
      }
    } else if (format == FourCC("samr") && c.type == FourCC("damr")) {
      a.special = c.ref;
      if (!ch.Start() || !ch.Read(r, kAmrBody)) status = 0;
      else {
        a.vendor = GetU32(r);
        a.decoderVersion = r[4];
        a.modeSet = GetU16(r + 5);
        a.modeChangePeriod = r[7];
        a.framesPerSample = r[8];
      }
    } else if (format == FourCC("mp4a") && c.type == FourCC("esds")) {
      a.esds = c.ref;
      status = ch.Start() && ParseESDS(ch, a.esdsRec);
    }
    return status ? Step::Next : Step::Stop;
  });
  return status;
}

int ParseSTSD(BoxIn& in, STSDBOX& stsd) {
  if (!in.FullBox(&stsd) || !in.U32(&stsd.entryCount)) return 0;
  if (stsd.entryCount == 0) return 0;
  // Every entry takes at least its 16-byte head: a count beyond that is never allocated.
  if (stsd.entryCount > Fits(in.left(), kSampleEntryHead)) {
    TraceLog("ParseSTSD", 600, "PSampleEntry alloc failed. Count(%d)\n", int(stsd.entryCount));
    return 0;
  }
  try {
    stsd.entries.assign(stsd.entryCount, PSampleEntry{});
  } catch (const std::bad_alloc&) {
    TraceLog("ParseSTSD", 600, "PSampleEntry alloc failed. Count(%d)\n", int(stsd.entryCount));
    return 0;
  }
  MediaFile& f = in.file();
  uint64_t end = in.end();
  uint64_t pos = in.pos();
  for (PSampleEntry& e : stsd.entries) {
    BoxIn head(f, pos, end);
    uint8_t b[kSampleEntryHead];
    if (!head.Start() || !head.Read(b, sizeof b)) return 0;
    uint32_t size = GetU32(b);
    if (size < kBoxHeaderSize) return 1;
    e.entry = {size, uint32_t(pos + kBoxHeaderSize)};
    e.format = GetU32(b + 4);
    e.dataReferenceIndex = GetU16(b + 14);
    uint64_t entryEnd = std::min<uint64_t>(pos + size, end);
    if (IsVisualFormat(e.format)) {
      if (!ParserAVCConfigurationBox(f, entryEnd, e, e.format)) return 0;
    } else if (IsAudioFormat(e.format)) {
      if (!ParseAudioSampleEntry(f, entryEnd, e, e.format)) return 0;
    }
    pos += size;
  }
  return 1;
}

}  // namespace tq::mp4
