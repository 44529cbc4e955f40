// Which volumes the format dialog may format. Formatting is refused for anything that is
// not a removable card or that the running system still uses: the decision is pure, over
// facts the platform layer gathers (BlockDevices.h).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/BlockDevices.h"

namespace tq {

enum class FormatRefusal {
  kAllowed,
  kNotRemovable,
  kSystemVolume,  // holds / or the user's home
  kProgramVolume, // holds the running program
  kOtherMounts,   // mounted (or in use) somewhere else than the card's root
  kBadSize,       // FAT32 with the card's parameters cannot hold it
};

struct ProtectedPaths {
  std::string root = "/";
  std::string home;
  std::string programFolder;
};

// The first rule that forbids the format, or kAllowed. `mounts` is the whole mount table.
FormatRefusal CheckFormatAllowed(const FormatCandidate& c, const std::vector<MountedVolume>& mounts,
                                 const ProtectedPaths& paths);

// The mount whose point is the longest prefix of `path` (the file system holding it), or
// nullptr.
const MountedVolume* MountHolding(const std::vector<MountedVolume>& mounts, const std::string& path);

// Short English reason for the trace log and the command line.
const char* FormatRefusalText(FormatRefusal r);

}  // namespace tq
