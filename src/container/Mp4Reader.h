// The MP4 box reader: fills MP4INFO from box headers without reading sample data or
// sample-table entries. Every parser is bounded by its box and by the file length.
// Parsers return non-zero for success and 0 for failure; on entry the file is positioned
// at the box's payload, whose BOXREF the caller has already set.
#pragma once

#include <cstdint>
#include <string>

#include "container/MediaFile.h"
#include "container/Mp4Box.h"

namespace tq {

// First phase of ValidMP4: the top-level scan (ftyp, free metadata, mdat, moov).
// `info` points at one record, or at two consecutive ones with acceptSecondSet.
// Returns the status (0 when the file cannot be opened, is shorter than 8 bytes or
// ParseMOOV failed); *fileLength receives the length when the file was opened.
int ScanMP4(const std::string& path, MP4INFO* info, int acceptSecondSet,
            uint64_t* fileLength);

int ParseMOOV(MediaFile& f, MOOVBOX& moov);
int ParseMetaFree(MediaFile& f, uint32_t freeSize, uint32_t freeOffset, MP4INFO& info);

// One sample of a track as the sample tables describe it.
struct SampleInfo {
  uint32_t sampleNumber = 0;  // samples returned so far
  uint64_t timeMs = 0;
  uint32_t fileOffset = 0;
  uint32_t size = 0;
};

// Walks one track's sample tables, one small read per table entry consumed.
struct SampleCursor {
  const TRAKBOX* trak = nullptr;
  SampleInfo current;
  bool pending = false;  // NextSample hands `current` out once more (used after a seek)
  // stts
  uint32_t sttsLeft = 0, sttsDelta = 0, sttsIndex = 0, sttsAccumulated = 0;
  uint64_t mediaTimeMs = 0;  // the current sample's time before the edit list
  // stsc
  uint32_t chunkNumber = 0, chunkLeft = 0, samplesPerChunk = 0, sampleDescriptionIndex = 0,
           stscIndex = 0;
  // stco
  uint32_t stcoIndex = 0;
};

// Returns 1 and fills *out with the next sample of the cursor's track, 0 when a read
// fails or the tables are exhausted.
int NextSample(SampleCursor& cursor, MediaFile& f, const MOOVBOX& moov, SampleInfo* out);

}  // namespace tq
