// The MP4 export: a time range of a validated recording cut at a key frame and written
// as a new camera-shaped file, or the whole recording copied unchanged.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "container/ExportOutput.h"
#include "container/MediaFile.h"
#include "container/Mp4Box.h"
#include "container/Mp4Writer.h"

namespace tq {

// The one growable buffer the samples of an export pass through. A sample larger than
// kMaxExportSampleBytes is refused rather than allocated.
struct SampleBuffer {
  std::vector<uint8_t> bytes;
};
constexpr uint32_t kMaxExportSampleBytes = 64u << 20;

// Range boundaries are whole seconds; the recording length limit follows the builders'
// sample capacities.
constexpr int kMaxExportLengthSec = 186;

// Called on the exporting thread after each video sample with the milliseconds of the
// range written so far and the range's length. Returning false cancels the export.
using ExportProgressFn = std::function<bool(uint32_t doneMs, uint32_t totalMs)>;

// How a cut starts and what it carries besides pictures and sound.
struct ExportCut {
  // Exact start: the media begin at the key frame at or before fromSec and an edit list
  // starts the presentation at fromSec itself, so the clip holds every picture from that
  // second on. Otherwise the clip begins at the key frame at or after fromSec.
  bool exact = false;
  // Telemetry for the clip's metadata box, already cut to the range; null: none.
  const MovieTelemetry* telemetry = nullptr;
};

// One movie set of the open source into outPath. base 0 creates the output; a non-zero
// base (the second set's start in the source) appends to it. 1 on success; on failure 0
// with *error saying why. The source description is not changed. The sample tables are
// read from `tables` when given (an index worked out away from the recording, whose
// sample offsets point into `source`), else from `source`.
int ExportMP4(MediaFile& source, const std::string& outPath, const MP4INFO& info, int fromSec,
              int toSec, bool withSound, uint32_t base, SampleBuffer& buffer,
              const ExportProgressFn& progress, std::string* error, ExportSpan* span = nullptr,
              MediaFile* tables = nullptr, const ExportCut& cut = {});

// The recording's length in whole seconds from the first set's mvhd, 0 when it cannot be
// exported (unknown length, or kMaxExportLengthSec and more).
int RecordingLengthSec(const MVHDBOX& mvhd);

// The export pipeline: validates the source without writing it (an unfinished recording
// is cut from the index a repair would write, worked out in memory), checks the range
// and the output (OutputRefusal), then copies or cuts both movie sets. The output is
// written under a temporary name beside outPath and renamed only when complete; on
// failure or cancel nothing is left under either name. `exact` asks for the exact start
// of ExportCut; a cut (not a copy) keeps the recording's embedded telemetry of the range.
ExportOutcome ExportRecording(const std::string& sourcePath, const std::string& outPath,
                              int fromSec, int toSec, bool withSound,
                              const ExportProgressFn& progress = {}, bool overwrite = false,
                              bool exact = false);

}  // namespace tq
