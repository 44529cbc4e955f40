// Copy and delete of one recording with its companion files.
#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <memory>
#include <system_error>
#include <vector>

#include "app/TraceLog.h"
#include "library/CFileList.h"

namespace tq {
namespace {

constexpr size_t kCopyBufferBytes = 1 << 20;
constexpr const char* kPartialSuffix = ".tqpart";  // copy in progress, renamed when complete

struct FileCloser {
  void operator()(std::FILE* f) const { std::fclose(f); }
};
using FilePtr = std::unique_ptr<std::FILE, FileCloser>;

std::string FileName(const std::string& path) {
  size_t slash = path.rfind('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

// Copies through a partial file beside the target and renames it over the target only
// when every byte is written: a failed copy leaves the old target (if any) untouched.
bool CopyOneFile(const std::string& source, const std::string& target) {
  static const char* const kTag = "CFileList::CopyRecording";
  FilePtr in(std::fopen(source.c_str(), "rb"));
  if (!in) {
    TraceLog(kTag, __LINE__, "fopen failed %s (%s)\n", source.c_str(), std::strerror(errno));
    return false;
  }
  std::string partial = target + kPartialSuffix;
  FilePtr out(std::fopen(partial.c_str(), "wb"));
  if (!out) {
    TraceLog(kTag, __LINE__, "fopen failed %s (%s)\n", partial.c_str(), std::strerror(errno));
    return false;
  }
  std::vector<char> buffer(kCopyBufferBytes);
  bool ok = true;
  for (;;) {
    size_t got = std::fread(buffer.data(), 1, kCopyBufferBytes, in.get());
    if (got > 0 && std::fwrite(buffer.data(), 1, got, out.get()) != got) {
      TraceLog(kTag, __LINE__, "fwrite failed %s (%s)\n", partial.c_str(), std::strerror(errno));
      ok = false;
      break;
    }
    if (got < kCopyBufferBytes) {
      if (std::ferror(in.get())) {
        TraceLog(kTag, __LINE__, "fread failed %s\n", source.c_str());
        ok = false;
      }
      break;
    }
  }
  if (std::fclose(out.release()) != 0 && ok) {
    TraceLog(kTag, __LINE__, "fclose failed %s (%s)\n", partial.c_str(), std::strerror(errno));
    ok = false;
  }
  std::error_code ec;
  if (ok) {
    std::filesystem::rename(partial, target, ec);
    if (ec) {
      TraceLog(kTag, __LINE__, "rename failed %s (%s)\n", target.c_str(), ec.message().c_str());
      ok = false;
    }
  }
  if (!ok) {
    std::filesystem::remove(partial, ec);
    TraceLog(kTag, __LINE__, "copy failed, %s not written\n", target.c_str());
  }
  return ok;
}

// Removes one file when it exists; a missing file is not a failure.
bool RemoveIfPresent(FolderNames& names, const std::string& name) {
  std::string path = names.Find(name);
  if (path.empty()) return true;
  if (std::remove(path.c_str()) == 0) return true;
  TraceLog("CFileList::DeleteRecordings", __LINE__, "remove failed %s (%s)\n", path.c_str(),
           std::strerror(errno));
  return false;
}

}  // namespace

bool CFileList::CopyRecording(const std::string& base, const std::string& targetFolder,
                              uint8_t kind, std::vector<std::string>* copied) {
  std::vector<std::string> files;
  if (kind == kKindAvi) {
    files.push_back(base + ".avi");
  } else {
    std::string stem = CompanionStem(base);
    files = {stem + ".3gf", stem + ".gps", base + ".thm", base + ".mp4"};
  }
  FolderNames& names = SourceNames();
  bool ok = true;
  for (const std::string& file : files) {
    std::string source = names.Find(file);
    if (source.empty()) continue;  // companions are optional
    // The copy keeps the spelling the file has on the card.
    std::string onDisk = FileName(source);
    if (!CopyOneFile(source, JoinPath(targetFolder, onDisk))) {
      ok = false;
      continue;
    }
    if (copied) copied->push_back(onDisk);
  }
  return ok;
}

bool CFileList::DeleteFiles(const CatalogEntry& entry, FolderNames& names) {
  if (entry.kind == kKindAvi) return RemoveIfPresent(names, entry.name + ".avi");
  bool ok = true;
  std::string partner = PartnerName(entry.name);
  // The ".3gf" and ".gps" of a front/rear pair are shared: they go with the last of the two.
  bool keepShared = !partner.empty() && !names.Find(partner + ".mp4").empty();
  if (!keepShared) {
    std::string stem = CompanionStem(entry.name);
    ok &= RemoveIfPresent(names, stem + ".3gf");
    ok &= RemoveIfPresent(names, stem + ".gps");
  }
  ok &= RemoveIfPresent(names, entry.name + ".thm");
  ok &= RemoveIfPresent(names, entry.name + ".mp4");
  return ok;
}

DeleteResult CFileList::DeleteRecordings(const std::vector<std::string>& names,
                                         DeleteProgress* progress, const EntryFilter& filter) {
  index_.Clear();
  FolderNames files(folder_);
  int row = 0;
  auto reenter = [&](CatalogEntry& e) {
    if (!filter || filter(e)) index_.MarkHour(&e, row++);
  };
  auto it = entries_.begin();
  for (const std::string& name : names) {
    auto found = std::find_if(it, entries_.end(), [&](const CatalogEntry& e) { return e.name == name; });
    if (found == entries_.end()) {
      // Not (or no longer) in the catalog after the previous name: skip it rather than
      // consume the rest of the walk.
      TraceLog("CFileList::DeleteRecordings", __LINE__, "not in the catalog %s\n", name.c_str());
      continue;
    }
    for (; it != found; ++it) reenter(*it);
    bool allRemoved = DeleteFiles(*found, files);
    it = Erase(found);
    if (progress) progress->Deleted(name, allRemoved);
  }
  for (; it != entries_.end(); ++it) reenter(*it);
  DeleteResult result;
  result.remaining = Count();
  result.clearCalendar = result.remaining == 0;
  return result;
}

}  // namespace tq
