// Validation of a recording before it is used, and the in-place repair of recordings the
// camera left unfinished (no usable moov): the frame records in mdat are walked and a new
// moov is written for the complete samples.
#pragma once

#include <cstdint>
#include <string>

#include "container/MediaFile.h"
#include "container/Mp4Box.h"

namespace tq {

struct ValidateOptions {
  bool dryRun = false;  // judge and plan the repair, write nothing
};

enum class ValidateResult { Ok, Repaired, Failed };

// What validation found or did. With dryRun, Repaired means "would be repaired".
struct ValidateReport {
  ValidateResult result = ValidateResult::Failed;
  std::string reason;          // one line for the user
  bool dryRun = false;
  uint32_t videoSamples = 0;   // samples of the rebuilt index
  uint32_t audioSamples = 0;
  uint32_t validBytes = 0;     // bytes of the complete frame records kept
};

// ValidMP4 with the details the command line reports.
ValidateReport ValidateMP4(const std::string& path, MP4INFO* info, int acceptSecondSet,
                           const ValidateOptions& options = {});

// Non-zero when the file is usable (after an in-place repair if one was needed).
// The caller zero-fills `info` (one record, two with acceptSecondSet) and calls
// FreeMP4INFO afterwards in every case.
int ValidMP4(const std::string& path, MP4INFO* info, int acceptSecondSet);

// 1 when the index describes at least one decodable stream.
int IsPlayableMP4(const MOOVBOX& moov, const BOXREF& mdat);

// Writes a new moov for the complete frame records of mdat. 1 when written.
int RebuildMoov(MediaFile& f, uint64_t fileLength, MP4INFO& info);

}  // namespace tq
