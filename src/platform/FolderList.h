// Directory listing for the catalog and the file operations: names only, no file is
// opened. The POSIX implementation reads the entry type from the directory itself where
// the file system provides it.
#pragma once

#include <functional>
#include <string>
#include <string_view>

namespace tq {

// Calls `visit(name, isFolder)` for every entry of `folder` except "." and "..", in the
// order the file system lists them. Returns false (without calling visit) when the
// folder cannot be opened.
bool ListFolder(const std::string& folder,
                const std::function<void(std::string_view name, bool isFolder)>& visit);

}  // namespace tq
