// Validation of a recording before it is used, and the in-place repair of recordings the
// camera left unfinished (no usable moov): the frame records in mdat are walked and a new
// moov is written for the complete samples.
#pragma once

#include <cstdint>
#include <string>

#include "container/MediaFile.h"
#include "container/Mp4Box.h"

namespace tq {

// Non-zero when the file is usable (after an in-place repair if one was needed).
// The caller zero-fills `info` (one record, two with acceptSecondSet) and calls
// FreeMP4INFO afterwards in every case.
int ValidMP4(const std::string& path, MP4INFO* info, int acceptSecondSet);

// 1 when the index describes at least one decodable stream.
int IsPlayableMP4(const MOOVBOX& moov, const BOXREF& mdat);

// Writes a new moov for the complete frame records of mdat. 1 when written.
int RebuildMoov(MediaFile& f, uint64_t fileLength, MP4INFO& info);

}  // namespace tq
