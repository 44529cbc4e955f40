// In-memory description of a camera MP4 file: one plain record per box, holding the
// box's size, the absolute offset of its payload and the fixed header fields that matter.
// Sample tables are never loaded; they are read entry by entry through SampleCursor.
// Every record is value-initialised: a field of a box that was not found reads 0.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <vector>

namespace tq {

struct BOXREF {
  uint32_t size = 0;    // as stored in the box header, header included
  uint32_t offset = 0;  // absolute offset of the first payload byte (header + 8)
  bool found() const { return size != 0 || offset != 0; }
};

// Codec numbers kept in the records (the files store four-character codes).
enum MediaCodec : uint32_t {
  kCodecNone = 0,
  kCodecMp4v = 1,
  kCodecS263 = 2,
  kCodecAvc1 = 3,
  kCodecMp3 = 100,
  kCodecMp4a = 101,
  kCodecSamr = 102,
  kCodecSevc = 104,
  kCodecSqcp = 105,
  kCodecUlaw = 118,
  kCodecHvc1 = 119,
};

struct ConfigParam {
  std::vector<uint8_t> szConfigStr;  // empty when the stored length is 0
  int32_t length = 0;
};

struct PTVIBOX {
  uint16_t streamNumber = 0;
  uint32_t codec = kCodecNone;
  uint16_t width = 0;
  uint16_t height = 0;
  uint32_t nConfigNum = 0;
  std::vector<ConfigParam> config;  // nConfigNum elements
};

struct PTSOBOX {
  uint16_t streamNumber = 0;
  uint32_t codec = kCodecNone;
  uint16_t channelCount = 0;
  uint16_t bitsPerSample = 0;
  uint32_t sampleRate = 0;
  uint32_t nConfigNum = 0;
  std::vector<ConfigParam> config;
};

// MPEG-4 Systems ES_Descriptor fields (ISO/IEC 14496-1).
struct ESDSREC {
  uint8_t version = 0;
  uint8_t flags[3] = {};
  uint8_t esTag = 0;
  uint16_t esId = 0;
  uint8_t streamDependenceFlag = 0;
  uint8_t urlFlag = 0;
  uint8_t ocrStreamFlag = 0;
  uint8_t streamPriority = 0;
  uint16_t dependsOnEsId = 0;
  uint16_t ocrEsId = 0;
  uint8_t decoderConfigTag = 0;
  uint8_t objectTypeIndication = 0;
  uint8_t streamType = 0;
  uint8_t upStream = 0;
  uint32_t bufferSizeDB = 0;
  uint32_t maxBitrate = 0;
  uint32_t avgBitrate = 0;
};

struct PSampleEntry {
  BOXREF entry;                 // the sample entry box
  uint32_t format = 0;          // four-character code
  uint16_t dataReferenceIndex = 0;

  // Visual entries (avc1, hvc1, mp4v, s263).
  struct Visual {
    BOXREF ref;                 // size = entry size, offset = entry start + 16
    uint16_t width = 0;
    uint16_t height = 0;
    BOXREF config;              // avcC / hvcC
    std::vector<uint8_t> pParameterSetNALUnit;  // the configuration box payload
    uint8_t configurationVersion = 0;
    uint8_t profileIndication = 0;
    uint8_t profileCompatibility = 0;
    uint8_t levelIndication = 0;
    uint8_t lengthSizeMinusOne = 0;
    BOXREF esds;                // mp4v
    ESDSREC esdsRec;
    BOXREF btrt;
    uint32_t bufferSizeDB = 0;
    uint32_t maxBitrate = 0;
    uint32_t avgBitrate = 0;
  } visual;

  // Audio entries (mp4a, samr, sawb, sqcp, secb, secw, sevc, ssmv, ulaw).
  struct Audio {
    BOXREF ref;
    uint16_t channelCount = 0;
    uint16_t sampleSize = 0;    // bits
    uint16_t sampleRate = 0;    // integer part of the 16.16 rate
    BOXREF esds;                // mp4a
    ESDSREC esdsRec;
    BOXREF special;             // dqcp / devc / damr
    uint32_t vendor = 0;
    uint8_t decoderVersion = 0;
    uint16_t modeSet = 0;
    uint8_t modeChangePeriod = 0;
    uint8_t framesPerSample = 0;
  } audio;
};

struct FullBoxHeader {
  uint8_t version = 0;
  uint8_t flags[3] = {};
};

struct STSDBOX : BOXREF, FullBoxHeader {
  uint32_t entryCount = 0;
  std::vector<PSampleEntry> entries;
};
struct TableBox : BOXREF, FullBoxHeader {  // stts, stsc, stco, stss
  uint32_t entryCount = 0;
};
struct STSZBOX : BOXREF, FullBoxHeader {
  uint32_t sampleSize = 0;   // non-zero when every sample has this size
  uint32_t sampleCount = 0;
};

struct STBLBOX {
  BOXREF stbl;
  STSDBOX stsd;
  TableBox stts;
  TableBox stsc;
  STSZBOX stsz;
  TableBox stco;
  TableBox stss;
};

struct MINFBOX {
  BOXREF minf;
  uint32_t mediaHeaderType = 0;  // vmhd / smhd / hmhd / nmhd
  BOXREF dinf;
  STBLBOX stbl;
};

// Version-dependent fields keep the 64-bit form; a version-0 box stores its 32-bit value
// widened, so consumers read one field whatever the version.
struct MDHDBOX : BOXREF, FullBoxHeader {
  uint64_t creationTime = 0;
  uint64_t modificationTime = 0;
  uint32_t timescale = 0;
  uint64_t duration = 0;
  uint16_t language = 0;
};

struct HDLRBOX : BOXREF, FullBoxHeader {
  uint32_t handlerType = 0;
};

struct MDIABOX {
  BOXREF mdia;
  MDHDBOX mdhd;
  HDLRBOX hdlr;
  MINFBOX minf;
};

struct ELSTEntry {
  uint64_t segmentDuration = 0;  // movie timescale units
  int64_t mediaTime = 0;         // -1 marks an empty edit
  int16_t mediaRateInteger = 0;
  int16_t mediaRateFraction = 0;
};

struct ELSTBOX : BOXREF, FullBoxHeader {
  uint32_t entryCount = 0;
  std::vector<ELSTEntry> entries;
};

struct TKHDBOX : BOXREF, FullBoxHeader {
  uint64_t creationTime = 0;
  uint64_t modificationTime = 0;
  uint32_t trackId = 0;
  uint64_t duration = 0;  // kept for version 1 only
  uint16_t width = 0;     // integer part of the 16.16 value
  uint16_t height = 0;
};

struct TRAKBOX {
  BOXREF trak;
  TKHDBOX tkhd;
  BOXREF tref;
  BOXREF edts;
  ELSTBOX elst;
  MDIABOX mdia;
};

struct MVHDBOX : BOXREF, FullBoxHeader {
  uint64_t creationTime = 0;
  uint64_t modificationTime = 0;
  uint32_t timescale = 0;
  uint64_t duration = 0;
  uint32_t nextTrackId = 0;
};

constexpr int kMaxTracks = 4;

struct MOOVBOX {
  BOXREF moov;
  BOXREF junk;  // a junk child: the camera reserved room for the index before mdat
  MVHDBOX mvhd;
  std::array<std::unique_ptr<TRAKBOX>, kMaxTracks> trak;  // file order, empty slots null
};

// A caller-owned telemetry buffer: GPS text, its NUL and the G-sensor block together.
struct TelemetryBuffer {
  uint8_t* data = nullptr;
  uint32_t capacity = 0;
};

struct MP4INFO {
  BOXREF ftyp;
  uint32_t majorBrand = 0;
  uint32_t minorVersion = 0;
  MOOVBOX moov;
  BOXREF mdat;
  BOXREF sttm;
  uint64_t startTime = 0;  // ms, camera epoch
  struct {
    BOXREF box;
    BOXREF ptvi; PTVIBOX vi;
    BOXREF ptso; PTSOBOX so;
    BOXREF ptme;
  } ptrc;
  struct {
    BOXREF box;
    BOXREF ptvi; PTVIBOX vi;
    BOXREF ptso; PTSOBOX so;
  } ptrh;
  BOXREF cprt;
  char cprtText[256] = {};
  BOXREF ptnm;
  uint8_t ptnmKind = 0;
  char ptnmName[64] = {};
  int32_t gpsLength = -1;       // bytes of GPS text found
  int32_t sensorEnd = -1;       // index of the G-sensor end marker in the sensor block
  uint32_t gps2Layout = 0;
  TelemetryBuffer gpsBuffer;    // caller-owned; data null means telemetry is not read
  uint8_t* sensorBuffer = nullptr;  // points into gpsBuffer once a "gps " box was read
  uint32_t sensorCapacity = 0;      // bytes left in gpsBuffer from sensorBuffer on
};

// Releases the owned parts of a track / of a whole description (the records stay usable).
void FreeTRAKBOX(std::unique_ptr<TRAKBOX>& trak);
void FreeMP4INFO(MP4INFO& info);

}  // namespace tq
