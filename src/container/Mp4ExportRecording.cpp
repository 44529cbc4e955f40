// The export pipeline around ExportMP4: validation, the range check, the byte copy of a
// whole recording, both movie sets, and the temporary output renamed on success.
#include <filesystem>
#include <system_error>

#include "app/TraceLog.h"
#include "container/ClipTelemetry.h"
#include "container/Mp4Export.h"
#include "container/Mp4Valid.h"

namespace tq {
namespace {

namespace fs = std::filesystem;

// Room for the GPS text, its NUL and the G-sensor block of one recording, as the player
// reads them.
constexpr uint32_t kTelemetryRoom = 160 * 1024;

// Both movie sets, released in every outcome.
struct MovieSets {
  MP4INFO set[2];
  ~MovieSets() {
    FreeMP4INFO(set[0]);
    FreeMP4INFO(set[1]);
  }
};

ExportOutcome Outcome(ExportStatus status, const std::string& message) {
  ExportOutcome o;
  o.status = status;
  o.message = message;
  // Bad input is the caller's to report; only a failed export is a trace-worthy event.
  if (status == ExportStatus::Failed)
    TraceLog("ExportRecording", __LINE__, "%s\n", message.c_str());
  return o;
}

std::string OpenErrorText(const std::string& path, MediaFile::OpenError e) {
  switch (e) {
    case MediaFile::OpenError::NotFound: return path + ": no such file";
    case MediaFile::OpenError::TooLarge: return path + ": 4 GiB or larger, not supported";
    default: return path + ": cannot be read";
  }
}

}  // namespace

ExportOutcome ExportRecording(const std::string& sourcePath, const std::string& outPath,
                              int fromSec, int toSec, bool withSound,
                              const ExportProgressFn& progress, bool overwrite, bool exact) {
  MediaFile::OpenError openError;
  if (!MediaFile::Open(sourcePath, "rb", &openError))
    return Outcome(ExportStatus::InvalidSource, OpenErrorText(sourcePath, openError));
  // Export only reads: a recording the camera left unfinished is cut from the index a
  // repair would write, worked out away from it.
  MovieSets sets;
  std::vector<uint8_t> telemetry(kTelemetryRoom);
  sets.set[0].gpsBuffer = {telemetry.data(), kTelemetryRoom};
  ValidateOptions readOnly;
  readOnly.dryRun = true;
  const ValidateReport report = ValidateMP4(sourcePath, sets.set, 1, readOnly);
  if (report.result == ValidateResult::Failed)
    return Outcome(ExportStatus::InvalidSource,
                   sourcePath + ": not a usable MP4 recording (" + report.reason + ")");
  RepairedIndex repaired;
  const bool unfinished = report.result == ValidateResult::Repaired;
  if (unfinished) {
    std::string why;
    if (!repaired.WorkOut(sourcePath, sets.set[0], &why))
      return Outcome(ExportStatus::InvalidSource,
                     sourcePath + ": not a usable MP4 recording (" + why + ")");
  }
  const int lengthSec = RecordingLengthSec(sets.set[0].moov.mvhd);
  if (lengthSec == 0)
    return Outcome(ExportStatus::InvalidSource,
                   sourcePath + ": length unknown, or " + std::to_string(kMaxExportLengthSec) +
                       " seconds or longer");
  if (const std::string range = RangeRefusal(fromSec, toSec, lengthSec); !range.empty()) {
    ExportOutcome o = Outcome(ExportStatus::InvalidRange, range);
    o.lengthSec = lengthSec;
    return o;
  }

  const std::string refusal = OutputRefusal(sourcePath, outPath, overwrite);
  if (!refusal.empty()) return Outcome(ExportStatus::InvalidOutput, refusal);

  const std::string temp = ExportTempName(outPath);
  std::string error;
  bool ok = false;
  bool copied = false;
  ExportSpan span;
  if (withSound && fromSec == 0 && toSec >= lengthSec && !unfinished) {
    std::error_code ec;
    ok = fs::copy_file(sourcePath, temp, fs::copy_options::overwrite_existing, ec);
    if (!ok) error = "copy to " + outPath + " failed: " + ec.message();
    else if (progress) progress(uint32_t(toSec) * 1000, uint32_t(toSec) * 1000);
    copied = true;
  } else {
    auto source = MediaFile::Open(sourcePath, "rb", &openError);
    if (!source) {
      error = OpenErrorText(sourcePath, openError);
    } else {
      SampleBuffer buffer;
      const MovieTelemetry clipTelemetry =
          CutTelemetry(sets.set[0], uint32_t(fromSec) * 1000, uint32_t(toSec) * 1000 + 999);
      ExportCut cut;
      cut.exact = exact;
      cut.telemetry = &clipTelemetry;
      const bool twoSets =
          !unfinished && sets.set[1].mdat.found() && sets.set[1].ftyp.offset >= 8;
      const int setCount = twoSets ? 2 : 1;
      for (int i = 0; i < setCount; ++i) {
        // Progress runs over both sets: the first fills the first half.
        ExportProgressFn setProgress;
        if (progress) {
          setProgress = [&progress, i, setCount](uint32_t done, uint32_t total) {
            return progress(uint32_t((uint64_t(i) * total + done) / uint64_t(setCount)), total);
          };
        }
        const uint32_t base = i == 0 ? 0 : sets.set[1].ftyp.offset - 8;
        ok = ExportMP4(*source, temp, sets.set[i], fromSec, toSec, withSound, base, buffer,
                       setProgress, &error, i == 0 ? &span : nullptr,
                       unfinished ? repaired.tables() : nullptr, cut) == 1;
        if (!ok) break;
      }
    }
  }

  std::error_code ec;
  if (ok) ok = CommitExport(temp, outPath, &error);
  if (!ok) {
    fs::remove(temp, ec);
    // The temporary name is ours; the user knows the file by the name asked for.
    for (size_t at; (at = error.find(temp)) != std::string::npos;)
      error.replace(at, temp.size(), outPath);
    ExportOutcome o = Outcome(ExportStatus::Failed, error);
    o.lengthSec = lengthSec;
    return o;
  }
  ExportOutcome o = Outcome(ExportStatus::Ok, "");
  o.copied = copied;
  o.lengthSec = lengthSec;
  o.firstFrameMs = uint32_t(span.firstMs);
  o.lastFrameMs = uint32_t(span.lastMs);
  return o;
}

}  // namespace tq
