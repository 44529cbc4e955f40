// Facts about the machine's block devices and mounts that decide whether a volume may be
// formatted: which disk holds which mount, removable or not, in use by another layer.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/DriveProvider.h"

namespace tq {

// One mounted file system: which block device and whole disk it lives on.
struct MountedVolume {
  std::string mountPoint;
  std::string device;  // kernel name of the mounted device ("sdb1"), "" for none (tmpfs...)
  std::string disk;    // kernel name of its whole disk ("sdb"); equal to device for a disk
};

// The volume the user picked, as the system describes it.
struct FormatCandidate {
  std::string cardRoot;   // the mount root the dialog listed
  std::string device;     // kernel name of the volume to format ("sdb1")
  std::string disk;       // its whole disk ("sdb")
  bool removable = false; // removable medium, SD slot or USB
  bool hasHolders = false;  // another layer (crypt, LVM, RAID) sits on it
  uint32_t sectorSize = 512;
  uint64_t bytes = 0;
  bool image = false;     // a card image file listed by TQ_MB20_DRIVES
  std::string path;       // what is opened for the format: "/dev/sdb1" or the image file
};

// The mount table with the device and disk of every mount.
std::vector<MountedVolume> ReadMountTable(const SystemDriveProvider::Paths& paths = {});

// Describes the drive the dialog listed. For a real card: re-reads which device is
// mounted at its root now (false when none is), its disk, size, sector size, removable
// flag and holders. For a listed card image: its size, 512-byte sectors.
bool DescribeFormatCandidate(const DriveInfo& drive, const std::vector<MountedVolume>& mounts,
                             FormatCandidate* out, std::string* error,
                             const SystemDriveProvider::Paths& paths = {});

}  // namespace tq
