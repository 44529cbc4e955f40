#include "platform/BlockDevices.h"

#include <dirent.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>

#include <cstdlib>
#include <memory>

#include "platform/Files.h"

namespace tq {
namespace {

constexpr size_t kMaxMountInfoBytes = 4u << 20;
constexpr uint64_t kSysfsUnitBytes = 512;
constexpr uint32_t kImageSectorBytes = 512;

std::string SysfsText(const std::string& path) {
  std::string text;
  if (!ReadWholeFile(path, 4096, &text)) return "";
  while (!text.empty() && (text.back() == '\n' || text.back() == ' ')) text.pop_back();
  return text;
}

std::string SysfsFolder(const SystemDriveProvider::Paths& paths, unsigned major, unsigned minor) {
  return paths.sysDevBlock + "/" + std::to_string(major) + ":" + std::to_string(minor);
}

bool FolderHasEntries(const std::string& folder) {
  std::unique_ptr<DIR, int (*)(DIR*)> dir(::opendir(folder.c_str()), ::closedir);
  if (!dir) return false;
  while (dirent* e = ::readdir(dir.get())) {
    std::string name = e->d_name;
    if (name != "." && name != "..") return true;
  }
  return false;
}

}  // namespace

std::vector<MountedVolume> ReadMountTable(const SystemDriveProvider::Paths& paths) {
  std::vector<MountedVolume> mounts;
  std::string text;
  if (!ReadWholeFile(paths.mountinfo, kMaxMountInfoBytes, &text)) return mounts;
  for (const MountEntry& m : ParseMountInfo(text)) {
    MountedVolume v;
    v.mountPoint = m.mountPoint;
    std::string kernel, disk;
    // Whether removable or not does not matter here; the names do.
    IsRemovableBlockDevice(paths.sysDevBlock, m.major, m.minor, &kernel, &disk);
    if (!kernel.empty()) {
      v.device = kernel;
      v.disk = disk;
    }
    mounts.push_back(std::move(v));
  }
  return mounts;
}

bool DescribeFormatCandidate(const DriveInfo& drive, const std::vector<MountedVolume>& mounts,
                             FormatCandidate* out, std::string* error, const SystemDriveProvider::Paths& paths) {
  *out = FormatCandidate{};
  out->cardRoot = drive.root;
  if (!drive.image.empty()) {
    struct stat st;
    if (::lstat(drive.image.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) {
      *error = drive.image + ": not a card image file";
      return false;
    }
    out->image = true;
    out->path = drive.image;
    out->bytes = uint64_t(st.st_size);
    out->sectorSize = kImageSectorBytes;
    return true;
  }
  struct stat st;
  if (drive.device.empty() || ::stat(drive.device.c_str(), &st) != 0 || !S_ISBLK(st.st_mode)) {
    *error = drive.root + ": no block device behind it";
    return false;
  }
  unsigned major = ::major(st.st_rdev), minor = ::minor(st.st_rdev);
  out->path = drive.device;
  out->removable = IsRemovableBlockDevice(paths.sysDevBlock, major, minor, &out->device, &out->disk);
  // The device must still be the one mounted at the root the dialog listed: a card
  // swapped since the list was filled is not the card the user confirmed.
  bool mountedThere = false;
  for (const MountedVolume& m : mounts) mountedThere |= m.mountPoint == drive.root && m.device == out->device;
  if (!mountedThere) {
    *error = drive.device + " is no longer mounted at " + drive.root;
    return false;
  }
  std::string sys = SysfsFolder(paths, major, minor);
  out->hasHolders = FolderHasEntries(sys + "/holders");
  out->bytes = std::strtoull(SysfsText(sys + "/size").c_str(), nullptr, 10) * kSysfsUnitBytes;
  std::string diskSys = FileExists(sys + "/partition") ? sys + "/.." : sys;
  unsigned long sector = std::strtoul(SysfsText(diskSys + "/queue/logical_block_size").c_str(), nullptr, 10);
  out->sectorSize = sector ? uint32_t(sector) : 512;
  return true;
}

}  // namespace tq
