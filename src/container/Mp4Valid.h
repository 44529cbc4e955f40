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

// 1 when the index holds a picture track with its tables and a decodable sample entry.
int HasPictureTrackMP4(const MOOVBOX& moov);

// Writes a new moov for the complete frame records of mdat. 1 when written.
int RebuildMoov(MediaFile& f, uint64_t fileLength, MP4INFO& info);

// True when every track's sample tables agree with each other and with the file: the
// stored counts fit their boxes, stts times every sample of stsz, stsc and stco place
// exactly those samples, each inside the file, and stss names existing samples in order.
// Otherwise *why says what disagrees.
bool SampleTablesAgree(MediaFile& f, uint64_t fileLength, const MOOVBOX& moov, std::string* why);

// SampleTablesAgree, and for a camera recording (one whose metadata describes its video)
// an index that holds a decodable picture track: what an index must pass to be usable.
bool IndexAgrees(MediaFile& f, uint64_t fileLength, const MP4INFO& set, std::string* why);

// The index a repair would write for an unfinished recording, worked out without writing
// to the recording: the new moov is built in a scratch file (removed with this object)
// and parsed back into the description. Its sample offsets point into the recording, so
// the samples are read from the recording and the tables from tables().
class RepairedIndex {
 public:
  RepairedIndex() = default;
  ~RepairedIndex();
  RepairedIndex(const RepairedIndex&) = delete;
  RepairedIndex& operator=(const RepairedIndex&) = delete;

  // `set` is the first movie set as ValidateMP4 with dryRun left it (result Repaired).
  // True when set.moov and set.mdat now describe the repaired recording.
  bool WorkOut(const std::string& path, MP4INFO& set, std::string* reason);
  MediaFile* tables() { return file_.get(); }

 private:
  std::string path_;
  std::unique_ptr<MediaFile> file_;
};

}  // namespace tq
