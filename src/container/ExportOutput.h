// What every export shares: the outcome it reports and the checks on the output name,
// made before anything is written so that a dialog can ask before overwriting.
#pragma once

#include <cstdint>
#include <string>

namespace tq {

// InvalidOutput: OutputRefusal refused the output name (nothing was written).
enum class ExportStatus { Ok, InvalidSource, InvalidRange, InvalidOutput, Failed };

struct ExportOutcome {
  ExportStatus status = ExportStatus::Failed;
  std::string message;  // one line for the user when status is not Ok
  bool copied = false;  // the whole recording was copied unchanged
  int lengthSec = 0;
  // Times in the source of the first and last pictures written (valid when Ok).
  uint32_t firstFrameMs = 0;
  uint32_t lastFrameMs = 0;
};

// Times in the source of the first and last video samples an export wrote.
struct ExportSpan {
  bool any = false;
  uint64_t firstMs = 0;
  uint64_t lastMs = 0;
};

enum class OutputCheck {
  New,           // nothing by that name: the export creates it
  Existing,      // a regular file: replaced only when the user agrees
  SameAsSource,  // the recording itself, by any name or link
  NotRegular,    // a folder, device, FIFO, socket or symbolic link: never written through
};

// Looks at the output name without touching it.
OutputCheck CheckExportOutput(const std::string& sourcePath, const std::string& outPath);

// The refusal for an output, or "" when the export may write it: a new name, or an
// existing regular file when `overwrite` is set.
std::string OutputRefusal(const std::string& sourcePath, const std::string& outPath,
                          bool overwrite);

// A name beside the output that nothing (not even a dangling link) has yet.
std::string ExportTempName(const std::string& outPath);

// Puts the finished temporary file under the output name: its bytes reach the medium
// first, so the name never stands for a file the medium does not hold (a pulled card, a
// power cut, a replaced export), then the rename, then the folder entry. False with the
// message in *error; the temporary file is left to the caller.
bool CommitExport(const std::string& temp, const std::string& outPath, std::string* error);

// Whole seconds of a recording as the range check counts them: under a second counts
// as one, otherwise the whole seconds.
int WholeSeconds(uint64_t lengthMs);

// The range rule both formats share; "" when [fromSec, toSec] is inside a recording of
// lengthSec seconds and not empty.
std::string RangeRefusal(int fromSec, int toSec, int lengthSec);

}  // namespace tq
