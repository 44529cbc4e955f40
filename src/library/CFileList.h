// The catalog of the recordings in the browse folder, built from file names alone, and
// the file-level copy and delete of one recording with its companions.
//
// Threads: the owner (the file list panel) calls everything on the user-interface
// thread, except that its copy/delete worker calls CopyRecording and DeleteRecordings
// while the modal progress dialog blocks all other input. No lock is taken here.
//
// Container: entries live in a std::list in catalog order, so an entry's address stays
// valid until that entry is deleted or the catalog is cleared (the player holds entry
// pointers while a recording is open, the index holds them per row). Insertion would
// otherwise walk the list from the head; a map from start moment to the first entry of
// that moment finds the place in O(log n), and only entries of the same moment are
// walked to apply the tie rules.
#pragma once

#include <cstdint>
#include <functional>
#include <list>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "library/CatalogEntry.h"
#include "library/FolderNames.h"
#include "library/RecordingIndex.h"

namespace tq {

// Receives one call per deleted recording (from the thread that runs DeleteRecordings).
class DeleteProgress {
 public:
  virtual ~DeleteProgress() = default;
  // `allFilesRemoved` is false when a file of the recording existed but could not be
  // removed (the failure is in the trace log).
  virtual void Deleted(const std::string& base, bool allFilesRemoved) = 0;
};

// Whether an entry passes the file list's current filters.
using EntryFilter = std::function<bool(const CatalogEntry&)>;

struct ScanResult {
  bool folderRead = false;     // false when the folder could not be listed
  int count = 0;               // accepted recordings
  std::vector<int32_t> days;   // recording days (YYYYMMDD), ascending, for the calendar
};

struct DeleteResult {
  int remaining = 0;           // entries left in the catalog (for "Total ( %d )")
  bool clearCalendar = false;  // no entry is left
};

class CFileList {
 public:
  using EntryList = std::list<CatalogEntry>;

  CFileList() = default;
  CFileList(const CFileList&) = delete;
  CFileList& operator=(const CFileList&) = delete;

  // Frees every entry and the index. Callers stop playback first.
  void Clear();

  // Parses, classifies and inserts one recording in catalog order. Returns false (and
  // leaves the catalog as it was) when the name is not a recording; *date receives the
  // parsed date of an accepted name.
  bool Add(std::string_view base, uint8_t kind, int32_t* date = nullptr);

  // Rebuilds the catalog from `folder` (which becomes the browse folder) by listing it:
  // ".mp4" files first, then ".avi", matched without regard to case; no file is opened.
  ScanResult Scan(const std::string& folder);

  // Whole seconds read from the recording's header, 0 when the header cannot be read or
  // is out of range (an MP4 longer than 185 s).
  static int32_t ProbeDuration(const std::string& path, uint8_t kind);
  // The entry's duration, probed and stored the first time it is needed (and again while
  // it is 0); also sets the length in minutes.
  int32_t EnsureDuration(CatalogEntry& entry);

  // Copies the recording and its companions from the browse folder to `targetFolder`,
  // overwriting existing files; companions that do not exist are skipped. *copied
  // receives the file names copied, in copy order. False when a file that exists could
  // not be copied (traced; no half-written target is left behind).
  bool CopyRecording(const std::string& base, const std::string& targetFolder, uint8_t kind,
                     std::vector<std::string>* copied = nullptr);

  // Deletes the named recordings (entries of this catalog, in catalog order) with their
  // companions and removes their entries. The index is rebuilt from the remaining
  // entries that pass `filter` (null: all), row by row in catalog order.
  DeleteResult DeleteRecordings(const std::vector<std::string>& names, DeleteProgress* progress,
                                const EntryFilter& filter);

  // The recording-time index: MarkHour for each listed entry while the list fills,
  // FillMinutes on demand (probing durations of that hour).
  void ClearIndex() { index_.Clear(); }
  void MarkHour(CatalogEntry* entry, int row) { index_.MarkHour(entry, row); }
  bool FillMinutes(int32_t date, int hour);
  const RecordingIndex& Index() const { return index_; }

  EntryList& Entries() { return entries_; }
  const EntryList& Entries() const { return entries_; }
  int Count() const { return int(entries_.size()); }
  CatalogEntry* Find(std::string_view base);
  const std::string& Folder() const { return folder_; }
  // Full path of the entry's video file.
  std::string VideoPath(const CatalogEntry& entry) const;

 private:
  // Start moment as one sortable number: date * 1000000 + time.
  static int64_t MomentKey(int32_t date, int32_t time) { return int64_t(date) * 1000000 + time; }
  bool AddFile(std::string_view base, uint8_t kind, std::string_view ext, int32_t* date);
  EntryList::iterator Erase(EntryList::iterator it);
  bool DeleteFiles(const CatalogEntry& entry, FolderNames& names);
  FolderNames& SourceNames();

  EntryList entries_;  // catalog order: newest first
  // Start moment -> first entry of that moment; descending like the list.
  std::map<int64_t, EntryList::iterator, std::greater<int64_t>> firstOfMoment_;
  std::string folder_;                   // browse folder of the last Scan
  std::unique_ptr<FolderNames> names_;   // case-insensitive look-up, listed on first miss
  RecordingIndex index_;
};

}  // namespace tq
