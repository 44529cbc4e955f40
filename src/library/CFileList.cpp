#include "library/CFileList.h"

#include <algorithm>

#include "platform/FolderList.h"

namespace tq {
namespace {

constexpr size_t kExtensionChars = 4;  // ".mp4", ".avi"
constexpr size_t kShortestName = 5;    // at least one character before the extension

bool HasExtension(std::string_view name, std::string_view dotExt) {
  if (name.size() < dotExt.size()) return false;
  std::string_view tail = name.substr(name.size() - dotExt.size());
  for (size_t i = 0; i < tail.size(); ++i) {
    char c = tail[i];
    if (c >= 'A' && c <= 'Z') c = char(c - 'A' + 'a');
    if (c != dotExt[i]) return false;
  }
  return true;
}

// Tie rule for two entries of the same start moment: the new entry goes before a longer
// name, and a front MP4 before the rear name of the same length.
bool GoesBefore(const CatalogEntry& added, const CatalogEntry& existing) {
  if (existing.name.size() > added.name.size()) return true;
  if (added.kind != kKindMp4 || existing.name.size() != added.name.size()) return false;
  size_t cp = CameraLetterPos(added.name);
  return cp != std::string::npos && added.name[cp] == 'F' && existing.name[cp] == 'R';
}

}  // namespace

void CFileList::Clear() {
  index_.Clear();
  firstOfMoment_.clear();
  entries_.clear();
}

bool CFileList::Add(std::string_view base, uint8_t kind, int32_t* date) {
  return AddFile(base, kind, KindExtension(kind), date);
}

bool CFileList::AddFile(std::string_view base, uint8_t kind, std::string_view ext, int32_t* date) {
  ParsedName parsed;
  if (!ParseRecordingName(base, kind, &parsed)) return false;
  CatalogEntry entry;
  entry.kind = kind;
  entry.typeCode = parsed.typeCode;
  entry.date = parsed.date;
  entry.time = parsed.time;
  entry.name = base;
  entry.ext = ext;

  int64_t key = MomentKey(parsed.date, parsed.time);
  auto group = firstOfMoment_.find(key);
  if (group == firstOfMoment_.end()) {
    // Before the first entry of the next older moment, or at the end.
    auto older = firstOfMoment_.lower_bound(key);
    auto pos = older == firstOfMoment_.end() ? entries_.end() : older->second;
    firstOfMoment_.emplace_hint(older, key, entries_.insert(pos, std::move(entry)));
  } else {
    auto pos = group->second;
    while (pos != entries_.end() && pos->date == parsed.date && pos->time == parsed.time &&
           !GoesBefore(entry, *pos))
      ++pos;
    auto inserted = entries_.insert(pos, std::move(entry));
    if (pos == group->second) group->second = inserted;
  }
  if (date) *date = parsed.date;
  return true;
}

CFileList::EntryList::iterator CFileList::Erase(EntryList::iterator it) {
  auto group = firstOfMoment_.find(MomentKey(it->date, it->time));
  auto next = std::next(it);
  if (group != firstOfMoment_.end() && group->second == it) {
    if (next != entries_.end() && next->date == it->date && next->time == it->time)
      group->second = next;
    else
      firstOfMoment_.erase(group);
  }
  entries_.erase(it);
  return next;
}

ScanResult CFileList::Scan(const std::string& folder) {
  Clear();
  folder_ = folder;
  names_.reset();
  ScanResult result;
  if (folder.empty()) return result;

  // One listing serves both patterns: MP4 names are added as they come, AVI names after
  // all of them, each group in directory order.
  std::vector<std::string> aviNames;
  int32_t lastDate = 0;
  auto accept = [&](std::string_view name, uint8_t kind) {
    std::string_view base = name.substr(0, name.size() - kExtensionChars);
    std::string_view ext = name.substr(name.size() - kExtensionChars + 1);
    int32_t date = 0;
    if (!AddFile(base, kind, ext, &date)) return;
    ++result.count;
    if (date != lastDate) result.days.push_back(date);
    lastDate = date;
  };
  result.folderRead = ListFolder(folder, [&](std::string_view name, bool isFolder) {
    if (isFolder || name.size() < kShortestName) return;
    if (HasExtension(name, ".mp4"))
      accept(name, kKindMp4);
    else if (HasExtension(name, ".avi"))
      aviNames.emplace_back(name);
  });
  for (const std::string& name : aviNames) accept(name, kKindAvi);
  // Directory order mixes the days (and AVI names come after every MP4), so one day can
  // start several runs: the calendar takes each day once.
  std::sort(result.days.begin(), result.days.end());
  result.days.erase(std::unique(result.days.begin(), result.days.end()), result.days.end());
  return result;
}

int32_t CFileList::EnsureDuration(CatalogEntry& entry) {
  if (entry.duration == 0) {
    entry.duration = ProbeDuration(VideoPath(entry), entry.kind);
    entry.minutes = LengthInMinutes(entry.duration);
  }
  return entry.duration;
}

bool CFileList::FillMinutes(int32_t date, int hour) {
  return index_.FillMinutes(date, hour, [this](CatalogEntry& e) { return EnsureDuration(e); });
}

CatalogEntry* CFileList::Find(std::string_view base) {
  auto it = std::find_if(entries_.begin(), entries_.end(),
                         [base](const CatalogEntry& e) { return e.name == base; });
  return it == entries_.end() ? nullptr : &*it;
}

std::string CFileList::VideoPath(const CatalogEntry& entry) const {
  return JoinPath(folder_, entry.name + "." + entry.ext);
}

FolderNames& CFileList::SourceNames() {
  if (!names_) names_ = std::make_unique<FolderNames>(folder_);
  return *names_;
}

}  // namespace tq
