// The MP4 writer: sample tables built in fixed buffers while samples are added, then one
// fixed-form moov. Used by the repair (moov only) and by the export (whole file).
// Every writer returns 1 on success and 0 when a write or seek fails; `position` is the
// caller's running file position, advanced by the bytes written.
#pragma once

#include <cstdint>
#include <vector>

#include "container/MediaFile.h"
#include "container/Mp4Box.h"

namespace tq {

constexpr uint32_t kVideoSampleCapacity = 5460;
constexpr uint32_t kSoundSampleCapacity = 2912;

// Sample-table builder of one track. Buffers are sized once by CreateFixedSizeTrak.
struct MP4MBOX_NODE {
  std::vector<uint8_t> stts;  // capacity x 8
  uint32_t sttsOffset = 0, sttsCount = 0;
  uint32_t runLength = 0, runDelta = 0, previousTime = 0;
  std::vector<uint8_t> stsz;  // capacity x 4
  uint32_t sampleSize = 0;    // always 0: every size is listed
  std::vector<uint8_t> stsc;  // capacity x 12
  uint32_t stscOffset = 0, stscCount = 0;
  uint32_t chunkNumber = 0, chunkSamples = 0;
  std::vector<uint8_t> stco;  // capacity x 4
  uint32_t stcoCount = 0;
  uint32_t nextChunkOffset = 0;  // where the next sample must start to join the chunk
  std::vector<uint8_t> stss;     // capacity x 4, video only
  uint32_t stssCount = 0;
  uint32_t capacity = 0;
  uint32_t sampleCount = 0;
  uint32_t lastTime = 0;  // time stamp of the last sample: the track duration
  uint32_t firstTime = 0; // time stamp of the first sample
};

int CreateFixedSizeTrak(MP4MBOX_NODE& node, uint32_t capacity, bool withSyncTable);
void ReleaseMP4MBOX_NODE(MP4MBOX_NODE& node);

// 0 (nothing added) when the builder is full: the caller ends the track there.
int AddSample(MP4MBOX_NODE& node, uint32_t dataOffset, uint32_t size, uint32_t timeMs,
              bool key, bool isVideo);

// A decoder configuration taken from the source (its first video sample entry).
struct ConfigRecord {
  const uint8_t* data = nullptr;
  uint32_t length = 0;
};

// How the movie is presented. Sample times are written relative to one origin; the movie
// starts presentFromMs after it (an exact clip: its media begin at the key frame before
// the second it is shown from). A track whose first sample comes later than that starts
// after an empty edit, one that begins earlier is entered part way: either way an edit
// list keeps the tracks in step. created: seconds since 1904, 0 for the time of writing.
struct MoovPresentation {
  uint32_t presentFromMs = 0;
  uint32_t created = 0;
};

// Size in bytes of the moov that WriteMoov would write for these builders (so a repair
// can refuse before writing when the moov would not fit). 0 when it cannot be written.
uint32_t MoovSize(const MP4INFO& info, const MP4MBOX_NODE* video, const MP4MBOX_NODE* sound,
                  const ConfigRecord* config, const MoovPresentation* presentation = nullptr);

// Writes the whole moov at *position (the file is already positioned there) and corrects
// the mdat size to end at dataEnd (the end of the valid media data). Without a reserved
// room dataEnd equals *position. On return info.moov.mvhd holds version 0, timescale 1000
// and the new duration, and *position is the end of what was written.
int WriteMoov(MediaFile& f, uint32_t* position, MP4INFO& info, MP4MBOX_NODE* video,
              MP4MBOX_NODE* sound, const ConfigRecord* config, uint32_t dataEnd,
              const MoovPresentation* presentation = nullptr);

// Converts a camera start time (milliseconds, the camera's local clock counted from 1970)
// to the seconds since 1904 of a movie header.
uint32_t MovieTimeOf(uint64_t cameraMs);

// The telemetry an export carries in its metadata box, already cut to the clip.
struct MovieTelemetry {
  bool present = false;
  bool gps2 = false;            // binary GPS records ("gps2") instead of NMEA text ("gps ")
  std::vector<uint8_t> gps;     // the text without its NUL, or whole 48-byte records
  std::vector<uint8_t> sensor;  // whole 10-byte 3GF records, without the end marker
};

// Export only: ftyp, the metadata free box (with the telemetry when given) and an mdat
// header of size 0.
int WriteMovieHead(MediaFile& f, uint32_t* position, uint64_t startTime, const MP4INFO& source,
                   bool withSound, const MovieTelemetry* telemetry = nullptr);

// Key-frame test of a video sample by codec: an I-VOP (mp4v), an IDR unit among the
// length-prefixed NAL units (avc1, hvc1). Other codecs are never key.
bool IsKeySample(const uint8_t* sample, uint32_t size, int nalLengthSize, uint32_t codec);

// Export only: one sample with its frame record (unless noFrameRecord), added to `node`.
int WriteSample(MediaFile& f, uint32_t* position, MP4MBOX_NODE& node, const uint8_t* sample,
                uint32_t size, int nalLengthSize, uint32_t timeMs, bool noFrameRecord,
                uint32_t codec);

}  // namespace tq
