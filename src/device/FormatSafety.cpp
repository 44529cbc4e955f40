#include "device/FormatSafety.h"

#include "device/CardFormat.h"

namespace tq {
namespace {

bool IsUnder(const std::string& path, const std::string& mountPoint) {
  if (mountPoint == "/") return !path.empty() && path[0] == '/';
  return path == mountPoint || (path.size() > mountPoint.size() && path.compare(0, mountPoint.size(), mountPoint) == 0 &&
                                path[mountPoint.size()] == '/');
}

bool OnDisk(const std::vector<MountedVolume>& mounts, const std::string& path, const std::string& disk) {
  if (path.empty()) return false;
  const MountedVolume* m = MountHolding(mounts, path);
  return m && !m->disk.empty() && m->disk == disk;
}

}  // namespace

const MountedVolume* MountHolding(const std::vector<MountedVolume>& mounts, const std::string& path) {
  const MountedVolume* best = nullptr;
  for (const MountedVolume& m : mounts) {
    if (!IsUnder(path, m.mountPoint)) continue;
    // The later of two equal mount points is the one on top.
    if (!best || m.mountPoint.size() >= best->mountPoint.size()) best = &m;
  }
  return best;
}

FormatRefusal CheckFormatAllowed(const FormatCandidate& c, const std::vector<MountedVolume>& mounts,
                                 const ProtectedPaths& paths) {
  FatLayout layout;
  FormatError why;
  if (c.sectorSize == 0 || !ComputeFatLayout(c.sectorSize, c.bytes / c.sectorSize, &layout, &why))
    return FormatRefusal::kBadSize;
  // An image file is not a device: the rules below are about the machine's disks.
  if (c.image) return FormatRefusal::kAllowed;
  if (c.device.empty() || c.disk.empty() || !c.removable) return FormatRefusal::kNotRemovable;
  if (OnDisk(mounts, paths.root, c.disk) || OnDisk(mounts, paths.home, c.disk)) return FormatRefusal::kSystemVolume;
  if (OnDisk(mounts, paths.programFolder, c.disk)) return FormatRefusal::kProgramVolume;
  if (c.hasHolders) return FormatRefusal::kOtherMounts;
  // Any other file system of the same disk mounted anywhere, or the card itself mounted a
  // second time, would lose its data or its mount under it.
  for (const MountedVolume& m : mounts) {
    if (m.disk != c.disk) continue;
    if (m.device != c.device || m.mountPoint != c.cardRoot) return FormatRefusal::kOtherMounts;
  }
  return FormatRefusal::kAllowed;
}

const char* FormatRefusalText(FormatRefusal r) {
  switch (r) {
    case FormatRefusal::kAllowed: return "allowed";
    case FormatRefusal::kNotRemovable: return "not a removable card";
    case FormatRefusal::kSystemVolume: return "the disk holds the system or the home folder";
    case FormatRefusal::kProgramVolume: return "the disk holds the running program";
    case FormatRefusal::kOtherMounts: return "the disk is in use outside the card";
    case FormatRefusal::kBadSize: return "the size does not fit FAT32 with 64 KiB clusters";
  }
  return "refused";
}

}  // namespace tq
