#include "container/Mp4Writer.h"

#include <algorithm>
#include <cstring>
#include <iterator>
#include <ctime>
#include <new>

#include "app/TraceLog.h"
#include "container/Mp4BoxBuffer.h"

namespace tq {
namespace {

constexpr uint32_t kTimescaleMs = 1000;
constexpr uint32_t kSecondsFrom1904To1970 = 2082844800u;
constexpr uint32_t kVideoTrackId = 1;
constexpr uint32_t kSoundTrackId = 2;
constexpr uint32_t kNextTrackId = 3;
// Closing delta of a track whose samples all fell into one run (no spacing known).
constexpr uint32_t kVideoDefaultDelta = 33;
constexpr uint32_t kSoundDefaultDelta = 128;
constexpr uint16_t kLanguageEng = 0x15C7;
constexpr uint32_t kFixedOne = 0x00010000;      // 1.0 as 16.16
constexpr uint32_t kMatrixW = 0x40000000;       // 1.0 as 2.30
constexpr uint32_t kResolution72Dpi = 0x00480000;
constexpr uint16_t kDepthColour = 0x0018;
constexpr uint16_t kPreDefinedMinusOne = 0xFFFF;
constexpr char kVideoHandlerName[] = "Tarvelion Video Media Handler";  // 30 bytes with NUL
constexpr char kSoundHandlerName[] = "Tarvelion Sound Media Handler";

// Fixed box sizes of the moov (bytes, header included).
constexpr uint32_t kBoxHeader = 8;
constexpr uint32_t kMvhdSize = 108;
constexpr uint32_t kTkhdSize = 92;
constexpr uint32_t kMdhdSize = 32;
constexpr uint32_t kHdlrSize = 62;
constexpr uint32_t kVmhdSize = 20;
constexpr uint32_t kSmhdSize = 16;
constexpr uint32_t kDinfSize = 36;
constexpr uint32_t kStsdHead = 16;             // header, version/flags, entry count
constexpr uint32_t kVisualEntryFixed = 86;     // VisualSampleEntry without children
constexpr uint32_t kVisualEntryPadding = 14;   // zero tail of an entry without configuration
constexpr uint32_t kAudioEntryFixed = 36;
constexpr uint32_t kAudioEntryPadding = 16;
constexpr uint32_t kEsdsSize = 39;
constexpr uint32_t kTableHead = 16;            // stts, stco, stsc, stss
constexpr uint32_t kStszHead = 20;
constexpr uint32_t kEdtsHead = 24;             // edts and elst headers, entry count
constexpr uint32_t kElstEntrySize = 12;

// avcC built from the parameter-set strings: version 1, Baseline, level byte 1,
// 4-byte NAL lengths (0xFF), one sequence parameter set (0xE1).
constexpr uint8_t kAvcCHead[] = {0x01, 0x42, 0x80, 0x01, 0xFF, 0xE1};
// hvcC head: version 1, Main profile, level 153, 4:2:0, 8-bit, 4-byte NAL lengths.
constexpr uint8_t kHvcCHead[] = {0x01, 0x01, 0x60, 0x00, 0x00, 0x00, 0xB0, 0x00,
                                 0x00, 0x00, 0x00, 0x00, 0x99, 0xF0, 0x00, 0xFC,
                                 0xFD, 0xF8, 0xF8, 0x00, 0x00, 0x0F};
constexpr uint8_t kHevcEmptyArrayType = 0x20;

constexpr uint8_t kObjectTypeAac = 0x40;
constexpr uint8_t kObjectTypeMp3 = 0x6B;
constexpr uint8_t kStreamTypeAudio = 0x15;   // streamType 5 << 2 | reserved 1
constexpr uint8_t kAacLowComplexity = 2;
constexpr uint8_t kSampleRateIndexEscape = 15;
constexpr uint32_t kAacSampleRates[] = {96000, 88200, 64000, 48000, 44100, 32000, 24000,
                                        22050, 16000, 12000, 11025, 8000, 7350};

// Frame record written before each exported sample.
constexpr uint32_t kFrameRecordSize = 16;
constexpr uint16_t kVideoStream = 1;
constexpr uint16_t kSoundStream = 2;

// ftyp and metadata of the export head.
constexpr uint32_t kFtypSize = 24;
constexpr uint32_t kSttmSize = 16;
constexpr uint32_t kPtviHead = 12;
constexpr uint32_t kPtsoHead = 16;
constexpr char kDefaultNotice[] = "Tarvelion Co., Ltd.;Norvanta";
constexpr uint8_t kModelKind = 3;
constexpr uint8_t kModelKindGps2 = 4;
constexpr uint32_t kSensorEndMarker = 10;  // ten 0xFF bytes end the 3GF block

uint32_t VisualFormat(uint32_t codec) {
  switch (codec) {
    case kCodecAvc1: return FourCC("avc1");
    case kCodecHvc1: return FourCC("hvc1");
    case kCodecMp4v: return FourCC("mp4v");
    case kCodecS263: return FourCC("s263");
    default: return 0;
  }
}

uint32_t AudioFormat(uint32_t codec) {
  switch (codec) {
    case kCodecMp4a: return FourCC("mp4a");
    case kCodecMp3: return FourCC(".mp3");
    default: return 0;
  }
}

uint32_t PtsoFormat(uint32_t codec) {
  switch (codec) {
    case kCodecMp3: return FourCC(".mp3");
    case kCodecMp4a: return FourCC("mp4a");
    case kCodecSamr: return FourCC("samr");
    case kCodecSevc: return FourCC("sevc");
    case kCodecSqcp: return FourCC("sqcp");
    default: return 0;
  }
}

bool HasEsds(uint32_t codec) { return codec == kCodecMp4a || codec == kCodecMp3; }

uint32_t TimeSince1904() {
  return uint32_t(uint64_t(std::time(nullptr)) + kSecondsFrom1904To1970);
}

// ---- sizes -------------------------------------------------------------------------

// The open run (with the last sample, whose own duration is not known yet) is closed on
// writing: one more entry whenever there are samples.
uint32_t SttsEntries(const MP4MBOX_NODE& n) { return n.sttsCount + (n.sampleCount ? 1 : 0); }
uint32_t StscEntries(const MP4MBOX_NODE& n) { return n.stscCount + (n.chunkSamples ? 1 : 0); }

uint32_t TablesSize(const MP4MBOX_NODE& n, bool withStss) {
  uint32_t size = kTableHead + 8 * SttsEntries(n) + kStszHead + 4 * n.sampleCount +
                  kTableHead + 4 * n.stcoCount + kTableHead + 12 * StscEntries(n);
  if (withStss) size += kTableHead + 4 * n.stssCount;
  return size;
}

// Payload of the configuration box of the video entry; false when it cannot be built.
bool BuildVideoConfig(const PTVIBOX& vi, const ConfigRecord* supplied, uint32_t* type,
                      std::vector<uint8_t>* payload) {
  payload->clear();
  if (vi.codec != kCodecAvc1 && vi.codec != kCodecHvc1) { *type = 0; return true; }
  *type = vi.codec == kCodecAvc1 ? FourCC("avcC") : FourCC("hvcC");
  if (supplied && supplied->data && supplied->length) {
    payload->assign(supplied->data, supplied->data + supplied->length);
    return true;
  }
  if (vi.config.size() < 2 || vi.nConfigNum < 2) return false;
  size_t count = std::min<size_t>(vi.nConfigNum, vi.config.size());
  for (size_t i = 0; i < count; ++i) {
    if (vi.config[i].length < 0 || size_t(vi.config[i].length) > vi.config[i].szConfigStr.size() ||
        vi.config[i].length > 0xFFFF)
      return false;
  }
  BoxBuffer b;
  auto putString = [&b](const ConfigParam& c) {
    b.U16(uint16_t(c.length));
    b.Bytes(c.szConfigStr.data(), size_t(c.length));
  };
  if (vi.codec == kCodecAvc1) {
    b.Bytes(kAvcCHead, sizeof kAvcCHead);
    putString(vi.config[0]);
    // Every further string is a picture parameter set; the count says how many follow.
    if (count - 1 > 0xFF) return false;
    b.U8(uint8_t(count - 1));
    for (size_t i = 1; i < count; ++i) putString(vi.config[i]);
  } else {
    if (count > 0xFF) return false;
    b.Bytes(kHvcCHead, sizeof kHvcCHead);
    b.U8(uint8_t(count));
    for (size_t i = 0; i < count; ++i) {
      const ConfigParam& c = vi.config[i];
      b.U8(c.length > 0 ? uint8_t(c.szConfigStr[0] >> 1) : kHevcEmptyArrayType);
      b.U16(1);
      putString(c);
    }
  }
  *payload = std::move(b.bytes);
  return true;
}

uint32_t VideoStsdSize(uint32_t configPayload, bool hasConfigBox) {
  return kStsdHead + kVisualEntryFixed +
         (hasConfigBox ? kBoxHeader + configPayload : kVisualEntryPadding);
}

uint32_t SoundStsdSize(uint32_t codec) {
  return kStsdHead + kAudioEntryFixed + (HasEsds(codec) ? kEsdsSize : kAudioEntryPadding);
}

uint32_t TrakSize(uint32_t stsdSize, uint32_t mediaHeaderSize, uint32_t tablesSize,
                  uint32_t editEntries) {
  uint32_t stbl = kBoxHeader + stsdSize + tablesSize;
  uint32_t minf = kBoxHeader + mediaHeaderSize + kDinfSize + stbl;
  uint32_t mdia = kBoxHeader + kMdhdSize + kHdlrSize + minf;
  const uint32_t edts = editEntries ? kEdtsHead + kElstEntrySize * editEntries : 0;
  return kBoxHeader + kTkhdSize + edts + mdia;
}

bool HasSamples(const MP4MBOX_NODE* n) { return n && n->sampleCount > 0; }

// Milliseconds the media of a track cover: first to last time stamp plus the last
// sample's own spacing.
uint32_t MediaSpan(const MP4MBOX_NODE& n, uint32_t defaultDelta) {
  return n.lastTime - n.firstTime + (n.runLength ? n.runDelta : defaultDelta);
}

// A track's edit: an empty stretch before its first sample, or the media time it is
// entered at; none when it starts with the movie.
struct TrackEdit {
  uint32_t emptyMs = 0;
  uint32_t mediaStartMs = 0;
  uint32_t segmentMs = 0;  // presented length of the media
  uint32_t Entries() const { return emptyMs ? 2 : (mediaStartMs ? 1 : 0); }
};

TrackEdit EditOf(const MP4MBOX_NODE& n, uint32_t defaultDelta, uint32_t presentFromMs) {
  TrackEdit e;
  if (n.firstTime > presentFromMs) e.emptyMs = n.firstTime - presentFromMs;
  else e.mediaStartMs = presentFromMs - n.firstTime;
  const uint32_t span = MediaSpan(n, defaultDelta);
  e.segmentMs = span > e.mediaStartMs ? span - e.mediaStartMs : 1;  // never an empty segment
  return e;
}

// ---- box writers into memory --------------------------------------------------------

void PutMatrix(BoxBuffer& b) {
  const uint32_t m[9] = {kFixedOne, 0, 0, 0, kFixedOne, 0, 0, 0, kMatrixW};
  for (uint32_t v : m) b.U32(v);
}

void PutMvhd(BoxBuffer& b, uint32_t created, uint32_t duration) {
  size_t at = b.Begin("mvhd");
  b.U32(0);  // version, flags
  b.U32(created);
  b.U32(created);
  b.U32(kTimescaleMs);
  b.U32(duration);
  b.U32(kFixedOne);  // rate
  b.U16(0x0100);     // volume
  b.Zeros(10);
  PutMatrix(b);
  b.Zeros(24);
  b.U32(kNextTrackId);
  b.End(at);
}

struct TrackHead {
  uint32_t trackId, created, duration, handler;
  uint16_t volume;
  uint32_t width, height;  // pixels
  const char* handlerName;
  TrackEdit edit;
};

void PutTkhd(BoxBuffer& b, const TrackHead& t) {
  size_t at = b.Begin("tkhd");
  b.U32(1);  // version 0, flags 1 (enabled)
  b.U32(t.created);
  b.U32(t.created);
  b.U32(t.trackId);
  b.U32(0);
  b.U32(t.edit.Entries() ? t.edit.emptyMs + t.edit.segmentMs : t.duration);
  b.Zeros(8);
  b.U16(0);  // layer
  b.U16(0);  // alternate_group
  b.U16(t.volume);
  b.U16(0);
  PutMatrix(b);
  b.U32(t.width << 16);
  b.U32(t.height << 16);
  b.End(at);
}

void PutMdhdHdlr(BoxBuffer& b, const TrackHead& t) {
  size_t at = b.Begin("mdhd");
  b.U32(0);
  b.U32(t.created);
  b.U32(t.created);
  b.U32(kTimescaleMs);
  b.U32(t.duration);
  b.U16(kLanguageEng);
  b.U16(0);
  b.End(at);
  at = b.Begin("hdlr");
  b.U32(0);
  b.U32(0);  // pre_defined
  b.U32(t.handler);
  b.Zeros(12);
  b.Bytes(t.handlerName, std::strlen(t.handlerName) + 1);
  b.End(at);
}

void PutDinf(BoxBuffer& b) {
  size_t dinf = b.Begin("dinf");
  size_t dref = b.Begin("dref");
  b.U32(0);
  b.U32(1);  // entry_count
  size_t url = b.Begin("url ");
  b.U32(1);  // flags 1: media in this file
  b.End(url);
  b.End(dref);
  b.End(dinf);
}

// The builder's tables, closing the open stts run and the open chunk without changing
// the builder (WriteMoov may be asked again, and MoovSize must agree with it).
void PutTables(BoxBuffer& b, const MP4MBOX_NODE& n, bool withStss, uint32_t defaultDelta) {
  size_t at = b.Begin("stts");
  b.U32(0);
  b.U32(SttsEntries(n));
  b.Bytes(n.stts.data(), n.sttsOffset);
  if (n.sampleCount) {
    // The last sample lasts as long as the one before it (a lone sample: the default).
    b.U32(n.runLength + 1);
    b.U32(n.runLength ? n.runDelta : defaultDelta);
  }
  b.End(at);

  at = b.Begin("stsz");
  b.U32(0);
  b.U32(0);  // sample_size: every size is listed
  b.U32(n.sampleCount);
  b.Bytes(n.stsz.data(), size_t(n.sampleCount) * 4);
  b.End(at);

  at = b.Begin("stco");
  b.U32(0);
  b.U32(n.stcoCount);
  b.Bytes(n.stco.data(), size_t(n.stcoCount) * 4);
  b.End(at);

  at = b.Begin("stsc");
  b.U32(0);
  b.U32(StscEntries(n));
  b.Bytes(n.stsc.data(), n.stscOffset);
  if (n.chunkSamples) {
    b.U32(n.chunkNumber);
    b.U32(n.chunkSamples);
    b.U32(1);
  }
  b.End(at);

  if (withStss) {
    at = b.Begin("stss");
    b.U32(0);
    b.U32(n.stssCount);
    b.Bytes(n.stss.data(), size_t(n.stssCount) * 4);
    b.End(at);
  }
}

void PutVisualEntry(BoxBuffer& b, const PTVIBOX& vi, uint32_t configType,
                    const std::vector<uint8_t>& config) {
  size_t stsd = b.Begin("stsd");
  b.U32(0);
  b.U32(1);
  size_t entry = b.BeginRaw(VisualFormat(vi.codec));
  b.Zeros(6);
  b.U16(1);  // data_reference_index
  b.Zeros(16);
  b.U16(vi.width);
  b.U16(vi.height);
  b.U32(kResolution72Dpi);
  b.U32(kResolution72Dpi);
  b.U32(0);
  b.U16(1);  // frame_count
  b.Zeros(32);
  b.U16(kDepthColour);
  b.U16(kPreDefinedMinusOne);
  if (configType) {
    size_t box = b.BeginRaw(configType);
    b.Bytes(config.data(), config.size());
    b.End(box);
  } else {
    b.Zeros(kVisualEntryPadding);
  }
  b.End(entry);
  b.End(stsd);
}

void PutEsds(BoxBuffer& b, const PTSOBOX& so) {
  size_t at = b.Begin("esds");
  b.U32(0);
  b.U8(0x03); b.U8(0x19);  // ES_Descriptor
  b.U16(0);                // ES_ID
  b.U8(0);
  b.U8(0x04); b.U8(0x11);  // DecoderConfigDescriptor
  b.U8(so.codec == kCodecMp4a ? kObjectTypeAac : kObjectTypeMp3);
  b.U8(kStreamTypeAudio);
  b.U8(0); b.U16(0);       // bufferSizeDB (24 bits)
  b.U32(0);                // maxBitrate
  b.U32(0);                // avgBitrate
  b.U8(0x05); b.U8(0x02);  // DecoderSpecificInfo: AudioSpecificConfig
  uint8_t index = kSampleRateIndexEscape;
  for (uint8_t i = 0; i < std::size(kAacSampleRates); ++i)
    if (kAacSampleRates[i] == so.sampleRate) { index = i; break; }
  uint16_t asc = uint16_t(kAacLowComplexity << 11 | index << 7 | (so.channelCount & 0x0F) << 3);
  b.U16(asc);
  b.U8(0x06); b.U8(0x01); b.U8(0x02);  // SLConfigDescriptor
  b.End(at);
}

void PutAudioEntry(BoxBuffer& b, const PTSOBOX& so) {
  size_t stsd = b.Begin("stsd");
  b.U32(0);
  b.U32(1);
  size_t entry = b.BeginRaw(AudioFormat(so.codec));
  b.Zeros(6);
  b.U16(1);
  b.Zeros(8);
  b.U16(so.channelCount);
  b.U16(so.bitsPerSample);
  b.U16(0);
  b.U16(0);
  b.U32(so.sampleRate << 16);
  if (HasEsds(so.codec)) PutEsds(b, so);
  else b.Zeros(kAudioEntryPadding);
  b.End(entry);
  b.End(stsd);
}

// The empty stretch (media_time -1) when there is one, then the media at normal rate.
void PutEdts(BoxBuffer& b, const TrackEdit& e) {
  size_t edts = b.Begin("edts");
  size_t elst = b.Begin("elst");
  b.U32(0);  // version 0, flags
  b.U32(e.Entries());
  if (e.emptyMs) {
    b.U32(e.emptyMs);
    b.U32(0xFFFFFFFF);
    b.U16(1);  // media_rate_integer
    b.U16(0);
  }
  b.U32(e.segmentMs);
  b.U32(e.mediaStartMs);
  b.U16(1);
  b.U16(0);
  b.End(elst);
  b.End(edts);
}

template <typename PutStsd>
void PutTrak(BoxBuffer& b, const TrackHead& t, bool video, const MP4MBOX_NODE& n,
             PutStsd putStsd) {
  size_t trak = b.Begin("trak");
  PutTkhd(b, t);
  if (t.edit.Entries()) PutEdts(b, t.edit);
  size_t mdia = b.Begin("mdia");
  PutMdhdHdlr(b, t);
  size_t minf = b.Begin("minf");
  if (video) {
    size_t at = b.Begin("vmhd");
    b.U32(1);
    b.Zeros(8);
    b.End(at);
  } else {
    size_t at = b.Begin("smhd");
    b.U32(1);
    b.U32(0);
    b.End(at);
  }
  PutDinf(b);
  size_t stbl = b.Begin("stbl");
  putStsd(b);
  PutTables(b, n, video, video ? kVideoDefaultDelta : kSoundDefaultDelta);
  b.End(stbl);
  b.End(minf);
  b.End(mdia);
  b.End(trak);
}

bool WriteBuffer(MediaFile& f, uint32_t* position, const BoxBuffer& b) {
  if (uint64_t(*position) + b.bytes.size() > kMaxMediaFileSize) return false;
  if (!f.Write(b.bytes.data(), b.bytes.size())) return false;
  *position += uint32_t(b.bytes.size());
  return true;
}

bool PatchU32(MediaFile& f, uint32_t offset, uint32_t value) {
  uint8_t v[4];
  PutU32(v, value);
  return f.Seek(offset) && f.Write(v, 4);
}

// Video and sound tracks, composed in memory and written by WriteMoov in one write each.
int WriteVideoTrak(BoxBuffer& b, const MP4MBOX_NODE& node, const PTVIBOX& vi,
                   uint32_t created, const ConfigRecord* config, const TrackEdit& edit) {
  uint32_t type = 0;
  std::vector<uint8_t> payload;
  if (!BuildVideoConfig(vi, config, &type, &payload)) {
    TraceLog("WriteVideoTrak", __LINE__, "no decoder configuration. nConfigNum(%u)\n",
             vi.nConfigNum);
    return 0;
  }
  TrackHead t{kVideoTrackId, created, node.lastTime, FourCC("vide"), 0,
              vi.width, vi.height, kVideoHandlerName, edit};
  PutTrak(b, t, true, node, [&](BoxBuffer& out) { PutVisualEntry(out, vi, type, payload); });
  return 1;
}

int WriteSoundTrak(BoxBuffer& b, const MP4MBOX_NODE& node, const PTSOBOX& so,
                   uint32_t created, const TrackEdit& edit) {
  TrackHead t{kSoundTrackId, created, node.lastTime, FourCC("soun"), 0x0100, 0, 0,
              kSoundHandlerName, edit};
  PutTrak(b, t, false, node, [&](BoxBuffer& out) { PutAudioEntry(out, so); });
  return 1;
}

// ---- key frame tests ----------------------------------------------------------------

bool Mp4vIsKey(const uint8_t* p, uint32_t size) {
  // The first VOP start code decides: vop_coding_type 0 (top two bits) is an I-VOP.
  for (uint32_t i = 0; i + 4 < size; ++i) {
    if (p[i] == 0 && p[i + 1] == 0 && p[i + 2] == 1 && p[i + 3] == 0xB6)
      return p[i + 4] < 0x40;
  }
  return false;
}

// Walks the length-prefixed NAL units of a sample; true when one of them satisfies isKey.
// A sample whose lengths do not fit falls back to the first unit only.
template <typename Pred>
bool AnyNal(const uint8_t* p, uint32_t size, int lengthSize, Pred isKey) {
  if (lengthSize < 1 || lengthSize > 4) lengthSize = 4;
  uint32_t pos = 0;
  while (pos + uint32_t(lengthSize) < size) {
    uint32_t len = 0;
    for (int i = 0; i < lengthSize; ++i) len = len << 8 | p[pos + uint32_t(i)];
    pos += uint32_t(lengthSize);
    if (isKey(p[pos])) return true;
    if (len == 0 || len > size - pos) break;
    pos += len;
  }
  return false;
}

}  // namespace

// ---- builder ------------------------------------------------------------------------

int CreateFixedSizeTrak(MP4MBOX_NODE& node, uint32_t capacity, bool withSyncTable) {
  ReleaseMP4MBOX_NODE(node);
  node.capacity = capacity;
  struct Table {
    std::vector<uint8_t>* buffer;
    size_t bytes;
    int line;
    const char* message;
  };
  const Table tables[] = {
      {&node.stts, size_t(capacity) * 8, 1866, "MP4MBOX_NODE STTS buf alloc failed. Size(%d)\n"},
      {&node.stsz, size_t(capacity) * 4, 1870, "MP4MBOX_NODE STSZ buf alloc failed. Size(%d)\n"},
      {&node.stsc, size_t(capacity) * 12, 1874, "MP4MBOX_NODE STSC buf alloc failed. Size(%d)"},
      {&node.stco, size_t(capacity) * 4, 1878, "MP4MBOX_NODE STCO buf alloc failed. Size(%d)\n"},
      {withSyncTable ? &node.stss : nullptr, size_t(capacity) * 4, 1883,
       "MP4MBOX_NODE STSS buf alloc failed. Size(%d)\n"},
  };
  for (const Table& t : tables) {
    if (!t.buffer) continue;
    try {
      t.buffer->resize(t.bytes);
    } catch (const std::bad_alloc&) {
      TraceLog("CreateFixedSizeTrak", t.line, t.message, int(t.bytes));
      node.capacity = 0;
      return 0;
    } catch (const std::length_error&) {
      TraceLog("CreateFixedSizeTrak", t.line, t.message, int(t.bytes));
      node.capacity = 0;
      return 0;
    }
  }
  return 1;
}

void ReleaseMP4MBOX_NODE(MP4MBOX_NODE& node) { node = MP4MBOX_NODE{}; }

int AddSample(MP4MBOX_NODE& node, uint32_t dataOffset, uint32_t size, uint32_t timeMs,
              bool key, bool isVideo) {
  if (node.sampleCount >= node.capacity) {
    TraceLog("AddSample", __LINE__, "sample table full. Capacity(%u)\n", node.capacity);
    return 0;
  }
  if (uint64_t(dataOffset) + size > kMaxMediaFileSize) return 0;
  // A time stamp that goes back is held at the previous one: the delta stays unsigned.
  if (node.sampleCount > 0 && timeMs < node.previousTime) timeMs = node.previousTime;

  const bool first = node.sampleCount == 0;
  ++node.sampleCount;

  // An stts entry gives each sample its duration: the spacing to the next sample. The
  // spacing found now belongs to the sample before, so every sample keeps its own time.
  if (first) {
    node.firstTime = timeMs;
  } else {
    uint32_t delta = timeMs - node.previousTime;
    if (node.runLength && delta == node.runDelta) {
      ++node.runLength;
    } else {
      if (node.runLength) {
        PutU32(&node.stts[node.sttsOffset], node.runLength);
        PutU32(&node.stts[node.sttsOffset + 4], node.runDelta);
        node.sttsOffset += 8;
        ++node.sttsCount;
      }
      node.runLength = 1;
      node.runDelta = delta;
    }
  }
  node.previousTime = timeMs;

  PutU32(&node.stsz[size_t(node.sampleCount - 1) * 4], size);

  const bool newChunk = node.chunkNumber == 0 || dataOffset != node.nextChunkOffset;
  if (newChunk) {
    PutU32(&node.stco[size_t(node.stcoCount) * 4], dataOffset);
    ++node.stcoCount;
    if (node.chunkNumber == 0) {
      node.chunkNumber = 1;
    } else {
      PutU32(&node.stsc[node.stscOffset], node.chunkNumber);
      PutU32(&node.stsc[node.stscOffset + 4], node.chunkSamples);
      PutU32(&node.stsc[node.stscOffset + 8], 1);
      node.stscOffset += 12;
      ++node.stscCount;
      ++node.chunkNumber;
      node.chunkSamples = 0;
    }
  }
  ++node.chunkSamples;

  if (key && isVideo && !node.stss.empty()) {
    PutU32(&node.stss[size_t(node.stssCount) * 4], node.sampleCount);
    ++node.stssCount;
  }
  node.nextChunkOffset = dataOffset + size;
  node.lastTime = timeMs;
  return 1;
}

// ---- moov ---------------------------------------------------------------------------

uint32_t MoovSize(const MP4INFO& info, const MP4MBOX_NODE* video, const MP4MBOX_NODE* sound,
                  const ConfigRecord* config, const MoovPresentation* presentation) {
  const MoovPresentation plain;
  const MoovPresentation& p = presentation ? *presentation : plain;
  uint64_t size = kBoxHeader + kMvhdSize;
  if (HasSamples(video)) {
    uint32_t type = 0;
    std::vector<uint8_t> payload;
    if (!BuildVideoConfig(info.ptrh.vi, config, &type, &payload)) return 0;
    size += TrakSize(VideoStsdSize(uint32_t(payload.size()), type != 0), kVmhdSize,
                     TablesSize(*video, true),
                     EditOf(*video, kVideoDefaultDelta, p.presentFromMs).Entries());
  }
  if (HasSamples(sound))
    size += TrakSize(SoundStsdSize(info.ptrh.so.codec), kSmhdSize, TablesSize(*sound, false),
                     EditOf(*sound, kSoundDefaultDelta, p.presentFromMs).Entries());
  return size > kMaxMediaFileSize ? 0 : uint32_t(size);
}

int WriteMoov(MediaFile& f, uint32_t* position, MP4INFO& info, MP4MBOX_NODE* video,
              MP4MBOX_NODE* sound, const ConfigRecord* config, uint32_t dataEnd,
              const MoovPresentation* presentation) {
  const MoovPresentation plain;
  const MoovPresentation& p = presentation ? *presentation : plain;
  const uint32_t moovStart = *position;
  if (!f.Seek(moovStart)) return 0;
  if (info.mdat.offset < kBoxHeader || dataEnd < info.mdat.offset) return 0;
  const uint32_t mdatStart = info.mdat.offset - kBoxHeader;
  const uint32_t moovSize = MoovSize(info, video, sound, config, &p);
  if (moovSize == 0) {
    TraceLog("WriteMoov", __LINE__, "moov cannot be built\n");
    return 0;
  }
  // Reserved room: the moov goes before the mdat, and the gap up to the mdat header is
  // closed with a junk box; a gap that cannot hold a box header is refused unwritten.
  const bool beforeMdat = moovStart < mdatStart;
  uint32_t gap = 0;
  if (beforeMdat) {
    if (uint64_t(moovStart) + moovSize > mdatStart) return 0;
    gap = mdatStart - moovStart - moovSize;
    if (gap != 0 && gap < kBoxHeader) return 0;
  } else if (moovStart < dataEnd) {
    return 0;  // the moov would overwrite media data
  }

  const uint32_t created = p.created ? p.created : TimeSince1904();
  TrackEdit videoEdit, soundEdit;
  if (HasSamples(video)) videoEdit = EditOf(*video, kVideoDefaultDelta, p.presentFromMs);
  if (HasSamples(sound)) soundEdit = EditOf(*sound, kSoundDefaultDelta, p.presentFromMs);
  // With an edit the movie lasts as long as its longest presented track.
  auto presented = [](const MP4MBOX_NODE* n, const TrackEdit& e) -> uint32_t {
    if (!n) return 0;
    return e.Entries() ? e.emptyMs + e.segmentMs : n->lastTime;
  };
  const uint32_t duration = std::max(presented(video, videoEdit), presented(sound, soundEdit));

  BoxBuffer head;
  head.U32(0);  // size patched last: an interrupted moov reads as unfinished
  head.U32(FourCC("moov"));
  PutMvhd(head, created, duration);
  if (!WriteBuffer(f, position, head)) return 0;

  if (HasSamples(video)) {
    BoxBuffer b;
    if (!WriteVideoTrak(b, *video, info.ptrh.vi, created, config, videoEdit)) return 0;
    if (!WriteBuffer(f, position, b)) return 0;
  }
  if (HasSamples(sound)) {
    BoxBuffer b;
    WriteSoundTrak(b, *sound, info.ptrh.so, created, soundEdit);
    if (!WriteBuffer(f, position, b)) return 0;
  }

  const uint32_t moovEnd = *position;
  const uint32_t mdatSize = dataEnd - info.mdat.offset + kBoxHeader;
  if (!PatchU32(f, mdatStart, mdatSize)) return 0;
  if (!PatchU32(f, moovStart, moovEnd - moovStart)) return 0;
  info.mdat.size = mdatSize;
  info.moov.moov = {moovEnd - moovStart, moovStart + kBoxHeader};
  info.moov.mvhd.version = 0;
  info.moov.mvhd.timescale = kTimescaleMs;
  info.moov.mvhd.duration = duration;
  info.moov.mvhd.creationTime = created;
  info.moov.mvhd.modificationTime = created;
  info.moov.mvhd.nextTrackId = kNextTrackId;

  if (gap) {
    uint8_t junk[8];
    PutU32(junk, gap);
    PutU32(junk + 4, FourCC("junk"));
    if (!f.Seek(moovEnd) || !f.Write(junk, sizeof junk)) return 0;
    info.moov.junk = {gap, moovEnd + kBoxHeader};
    *position = moovEnd + kBoxHeader;
  } else {
    info.moov.junk = {};
    if (!f.Seek(moovEnd)) return 0;
  }
  return 1;
}

// ---- export head and samples --------------------------------------------------------

namespace {

bool PutConfigStrings(BoxBuffer& b, const std::vector<ConfigParam>& config, uint32_t count) {
  if (count > 0xFFFF || count > config.size()) return false;
  b.U16(uint16_t(count));
  for (uint32_t i = 0; i < count; ++i) {
    const ConfigParam& c = config[i];
    if (c.length < 0 || c.length > 0xFFFF || size_t(c.length) > c.szConfigStr.size())
      return false;
    b.U16(uint16_t(c.length));
    b.Bytes(c.szConfigStr.data(), size_t(c.length));
  }
  return true;
}

// Notice text as stored by the camera may begin with the separating space this writer
// adds itself; it is dropped so that an exported file exports to the same text.
std::string NoticeText(const MP4INFO& source) {
  std::string text(source.cprtText, strnlen(source.cprtText, sizeof source.cprtText));
  if (!text.empty() && text[0] == ' ') text.erase(0, 1);
  return text.empty() ? std::string(kDefaultNotice) : text;
}

}  // namespace

uint32_t MovieTimeOf(uint64_t cameraMs) {
  return uint32_t(cameraMs / 1000 + kSecondsFrom1904To1970);
}

int WriteMovieHead(MediaFile& f, uint32_t* position, uint64_t startTime, const MP4INFO& source,
                   bool withSound, const MovieTelemetry* telemetry) {
  BoxBuffer b;
  size_t at = b.Begin("ftyp");
  b.U32(FourCC("mp42"));
  b.U32(1);
  b.U32(FourCC("mp42"));
  b.U32(FourCC("mp42"));
  b.End(at);

  size_t freeBox = b.Begin("free");
  const std::string notice = NoticeText(source);
  at = b.Begin("cprt");
  b.U8(' ');
  b.Bytes(notice.data(), notice.size() + 1);
  b.End(at);

  at = b.Begin("sttm");
  b.U64(startTime);
  b.End(at);

  const size_t nameLength = strnlen(source.ptnmName, sizeof source.ptnmName);
  if (nameLength > 0) {
    at = b.Begin("ptnm");
    b.U8(source.gps2Layout ? kModelKindGps2 : kModelKind);
    b.Zeros(3);
    b.Bytes(source.ptnmName, nameLength);
    b.U8(0);
    b.End(at);
  }

  if (!source.gps2Layout) {
    size_t ptrh = b.Begin("ptrh");
    const PTVIBOX& vi = source.ptrh.vi;
    at = b.Begin("ptvi");
    b.U16(kVideoStream);
    b.U32(VisualFormat(vi.codec));
    b.U16(vi.width);
    b.U16(vi.height);
    if (!PutConfigStrings(b, vi.config, vi.nConfigNum)) return 0;
    b.End(at);
    if (withSound && source.ptrh.ptso.found()) {
      const PTSOBOX& so = source.ptrh.so;
      at = b.Begin("ptso");
      b.U16(kSoundStream);
      b.U32(PtsoFormat(so.codec));
      b.U16(so.channelCount);
      b.U16(so.bitsPerSample);
      b.U32(so.sampleRate);
      if (!PutConfigStrings(b, so.config, so.nConfigNum)) return 0;
      b.End(at);
    }
    b.End(ptrh);
  }
  if (telemetry && telemetry->present) {
    at = b.Begin(telemetry->gps2 ? "gps2" : "gps ");
    b.Bytes(telemetry->gps.data(), telemetry->gps.size());
    if (!telemetry->gps2) b.U8(0);  // the G-sensor block is found behind the text's NUL
    b.End(at);
    at = b.Begin("3gf ");
    b.Bytes(telemetry->sensor.data(), telemetry->sensor.size());
    for (uint32_t i = 0; i < kSensorEndMarker; ++i) b.U8(0xFF);
    b.End(at);
  }
  b.End(freeBox);

  b.U32(0);  // mdat size: written by WriteMoov
  b.U32(FourCC("mdat"));
  return WriteBuffer(f, position, b) ? 1 : 0;
}

bool IsKeySample(const uint8_t* sample, uint32_t size, int nalLengthSize, uint32_t codec) {
  switch (codec) {
    case kCodecMp4v:
      return Mp4vIsKey(sample, size);
    case kCodecAvc1:
      return AnyNal(sample, size, nalLengthSize, [](uint8_t h) { return (h & 0x1F) == 5; });
    case kCodecHvc1:
      // IDR_W_RADL (19) or IDR_N_LP (20): type in bits 1..6 of the first header byte.
      return AnyNal(sample, size, nalLengthSize, [](uint8_t h) {
        uint8_t type = (h >> 1) & 0x3F;
        return type == 19 || type == 20;
      });
    default:
      return false;
  }
}

int WriteSample(MediaFile& f, uint32_t* position, MP4MBOX_NODE& node, const uint8_t* sample,
                uint32_t size, int nalLengthSize, uint32_t timeMs, bool noFrameRecord,
                uint32_t codec) {
  const bool video = codec == kCodecMp4v || codec == kCodecAvc1 || codec == kCodecHvc1;
  // A raw H.264 sample (no length prefixes) gets one 4-byte prefix for the whole unit.
  const bool prefix = codec == kCodecAvc1 && nalLengthSize == 0;
  uint8_t lengthPrefix[4];
  bool key = false;
  if (prefix) {
    key = size > 0 && (sample[0] & 0x1F) == 5;
  } else if (video) {
    key = IsKeySample(sample, size, nalLengthSize, codec);
  }
  const uint32_t written = size + (prefix ? 4 : 0);
  if (written < size) return 0;
  const uint32_t extra = (noFrameRecord ? 0 : kFrameRecordSize) + (prefix ? 4 : 0);
  if (uint64_t(*position) + extra + size > kMaxMediaFileSize) return 0;
  if (node.sampleCount >= node.capacity) return 0;

  if (!noFrameRecord) {
    uint8_t record[kFrameRecordSize];
    PutU16(record, video ? kVideoStream : kSoundStream);
    PutU16(record + 2, key ? 1 : 0);
    PutU32(record + 4, timeMs);
    PutU32(record + 8, written);
    PutU32(record + 12, 0);
    if (!f.Write(record, sizeof record)) return 0;
    *position += kFrameRecordSize;
  }
  const uint32_t dataOffset = *position;
  if (prefix) {
    PutU32(lengthPrefix, size);
    if (!f.Write(lengthPrefix, 4)) return 0;
  }
  if (!f.Write(sample, size)) return 0;
  *position += written;
  return AddSample(node, dataOffset, written, timeMs, key, video);
}

}  // namespace tq
