// Finds files of one folder by name without regard to case: the camera writes to FAT,
// where "X.GPS" and "x.gps" are the same file, while our file system tells them apart.
#pragma once

#include <string>
#include <unordered_map>

#include "platform/Files.h"

namespace tq {

class FolderNames {
 public:
  explicit FolderNames(std::string folder) : folder_(std::move(folder)) {}

  // Full path of the regular file `name` in the folder, or "" when there is none. Tries
  // the name as given and with an upper-case extension first; only a miss lists the
  // folder (once per object) to match mixed spellings.
  std::string Find(const std::string& name);
  const std::string& folder() const { return folder_; }

 private:
  std::string folder_;
  bool listed_ = false;
  std::unordered_map<std::string, std::string> byLowerName_;  // lower-case name -> name on disk
};

}  // namespace tq
