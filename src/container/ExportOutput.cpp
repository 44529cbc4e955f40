#include "container/ExportOutput.h"

#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>

#include "platform/Files.h"

namespace tq {

OutputCheck CheckExportOutput(const std::string& sourcePath, const std::string& outPath) {
  struct stat src {}, out {}, link {};
  // Through any link or second name the recording is still the recording.
  if (::stat(sourcePath.c_str(), &src) == 0 && ::stat(outPath.c_str(), &out) == 0 &&
      src.st_dev == out.st_dev && src.st_ino == out.st_ino)
    return OutputCheck::SameAsSource;
  if (::lstat(outPath.c_str(), &link) != 0)
    return errno == ENOENT ? OutputCheck::New : OutputCheck::NotRegular;
  if (!S_ISREG(link.st_mode)) return OutputCheck::NotRegular;
  return OutputCheck::Existing;
}

std::string OutputRefusal(const std::string& sourcePath, const std::string& outPath,
                          bool overwrite) {
  switch (CheckExportOutput(sourcePath, outPath)) {
    case OutputCheck::New: return {};
    case OutputCheck::Existing:
      return overwrite ? std::string() : outPath + ": already exists (--force replaces it)";
    case OutputCheck::SameAsSource: return outPath + ": the output would replace the recording";
    case OutputCheck::NotRegular:
      return outPath + ": not a regular file (a folder, device, pipe or link); choose a new name";
  }
  return outPath + ": cannot be written";
}

std::string ExportTempName(const std::string& outPath) {
  std::string name = outPath + ".part";
  struct stat st {};
  for (int i = 1; ::lstat(name.c_str(), &st) == 0 || errno != ENOENT; ++i) {
    name = outPath + ".part" + std::to_string(i);
    if (i > 1000) break;  // an unreadable folder: the open reports it
  }
  return name;
}

bool CommitExport(const std::string& temp, const std::string& outPath, std::string* error) {
  std::string why;
  if (!SyncFileToMedium(temp, &why)) {
    *error = "cannot write the finished export to the medium: " + why;
    return false;
  }
  if (::rename(temp.c_str(), outPath.c_str()) != 0) {
    *error = "cannot rename the finished export to " + outPath + ": " + std::strerror(errno);
    return false;
  }
  SyncFolderOf(outPath);
  return true;
}

int WholeSeconds(uint64_t lengthMs) {
  if (lengthMs == 0) return 0;
  if (lengthMs < 1000) return 1;
  return int(std::min<uint64_t>(lengthMs / 1000, 0x7FFFFFFF));
}

std::string RangeRefusal(int fromSec, int toSec, int lengthSec) {
  if (fromSec >= 0 && toSec <= lengthSec && toSec > fromSec) return {};
  return "invalid range " + std::to_string(fromSec) + " to " + std::to_string(toSec) +
         " s: the recording is " + std::to_string(lengthSec) + " s long";
}

}  // namespace tq
