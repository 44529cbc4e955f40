// The removable volumes of this machine: the places a camera card can be. A drive is
// identified by its mount root.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace tq {

struct DriveInfo {
  std::string root;         // mount root, no trailing '/'
  std::string label;        // volume label, else the root's last component
  uint64_t totalBytes = 0;  // size of the file system, 0 when unknown
  std::string device;       // block device ("/dev/sdb1"), "" for listed roots
  std::string image;        // listed "root=image": the card image standing for the device
};

class DriveProvider {
 public:
  virtual ~DriveProvider() = default;
  // The removable drives, in a stable order (mount order, or the listed order).
  virtual std::vector<DriveInfo> RemovableDrives() const = 0;
};

// The system's removable volumes from the mount table and sysfs. When the environment
// variable TQ_MB20_DRIVES is set (roots separated by ':'), its existing roots replace the
// system list; tests and the demo card use it.
class SystemDriveProvider final : public DriveProvider {
 public:
  // Where the system tables live; tests point these at a fake tree.
  struct Paths {
    std::string mountinfo = "/proc/self/mountinfo";
    std::string sysDevBlock = "/sys/dev/block";     // "<major>:<minor>" links into sysfs
    std::string byLabel = "/dev/disk/by-label";
  };
  SystemDriveProvider() = default;
  explicit SystemDriveProvider(Paths paths, bool honourOverride = true)
      : paths_(std::move(paths)), honourOverride_(honourOverride) {}

  std::vector<DriveInfo> RemovableDrives() const override;

 private:
  Paths paths_;
  bool honourOverride_ = true;
};

// A fixed list (tests of the decisions above the provider).
class FixedDriveProvider final : public DriveProvider {
 public:
  explicit FixedDriveProvider(std::vector<DriveInfo> drives) : drives_(std::move(drives)) {}
  std::vector<DriveInfo> RemovableDrives() const override { return drives_; }

 private:
  std::vector<DriveInfo> drives_;
};

// The drives of a TQ_MB20_DRIVES value: every listed root that exists, in order, once.
// An entry "root=image" names the card image whose file system the root stands for; the
// size shown is the image's.
std::vector<DriveInfo> DrivesFromRootList(std::string_view roots);

// A listed root whose image was just formatted is gone from the list for the rest of the
// process, as a real card is after the format unmounted it (its folder still holds the
// old files, which are not the image's any more).
void ForgetListedRoot(const std::string& root);

// Whether the block device major:minor is one a card can be in (flagged removable, an
// SD/MMC slot, or attached through USB); `kernelName` gets its name ("sdb1") and
// `diskName` its whole disk's ("sdb").
bool IsRemovableBlockDevice(const std::string& sysDevBlock, unsigned major, unsigned minor,
                            std::string* kernelName, std::string* diskName = nullptr);

// One line of /proc/self/mountinfo, the fields we use.
struct MountEntry {
  unsigned major = 0;
  unsigned minor = 0;
  std::string fsRoot;      // root of the mount inside its file system ("/" unless bound)
  std::string mountPoint;  // octal escapes decoded
  std::string fsType;
  std::string source;
};
std::vector<MountEntry> ParseMountInfo(std::string_view text);

// Decodes the "\x20" escapes of /dev/disk/by-label names.
std::string DecodeLabelEscapes(std::string_view name);

}  // namespace tq
