// Raw sector access to a volume: a card's block device or an image file. The card format
// writes through this and nothing else, so a test can stand an image (or a failing
// volume) in for a card.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

namespace tq {

// What the boot sector needs to know about the volume.
struct VolumeGeometry {
  uint32_t sectorSize = 512;      // bytes per logical sector
  uint64_t totalSectors = 0;      // length of the volume (the partition) in sectors
  uint64_t hiddenSectors = 0;     // sectors before the volume on its disk (partition start)
  uint32_t sectorsPerTrack = 63;  // the geometry's, or the usual 63 / 255 where there is none
  uint32_t heads = 255;
};

// One open volume, written in whole sectors. Not thread-safe: one writer at a time.
class RawVolume {
 public:
  virtual ~RawVolume() = default;
  virtual const VolumeGeometry& Geometry() const = 0;
  // Writes `count` whole sectors starting at sector `first`. `data` is aligned to
  // kSectorBufferAlignment. False (with LastError) when any byte was not written.
  virtual bool WriteSectors(uint64_t first, const void* data, uint32_t count) = 0;
  // Flushes everything to the medium and lets the system read the new file system.
  virtual bool Finish() = 0;
  virtual std::string LastError() const = 0;
  // What the user knows the volume by ("/dev/sdb1", an image path).
  virtual std::string Name() const = 0;
};

// Buffers handed to WriteSectors start at this alignment (page size: direct I/O takes
// nothing less than the logical sector and 4096 covers every card).
inline constexpr size_t kSectorBufferAlignment = 4096;

// A zeroed, aligned buffer of whole sectors.
class SectorBuffer {
 public:
  SectorBuffer(uint32_t sectorSize, uint32_t sectors);
  ~SectorBuffer();
  SectorBuffer(const SectorBuffer&) = delete;
  SectorBuffer& operator=(const SectorBuffer&) = delete;
  uint8_t* data() { return data_; }
  const uint8_t* data() const { return data_; }
  size_t size() const { return size_; }
  bool ok() const { return data_ != nullptr; }

 private:
  uint8_t* data_ = nullptr;
  size_t size_ = 0;
};

// Creates `path` as a sparse file of `bytes` bytes, or resizes an existing regular file
// to that length (its old bytes stay where they were). Never touches anything but a
// regular file.
bool CreateImageFile(const std::string& path, uint64_t bytes, std::string* error);

// Opens an existing regular file as a volume of `sectorSize`-byte sectors (no partition
// table: hidden sectors 0, geometry 63 / 255). A device node or a folder is refused.
std::unique_ptr<RawVolume> OpenImageVolume(const std::string& path, uint32_t sectorSize, std::string* error);

// Takes ownership of `fd`, a block device already opened for writing (by us, or handed
// over by the system's disk service), and reads its sector size, length, geometry and
// partition start. `startBytes`, when not negative, is the partition's start on its disk
// as the caller knows it (sysfs, the disk service); negative takes the geometry's.
std::unique_ptr<RawVolume> BlockVolumeFromFd(int fd, const std::string& name, int64_t startBytes,
                                             std::string* error);

// Unmounts every mount of `device` and opens it exclusively for direct writes. Needs
// the right to unmount and to open the device (root); the desktop path goes through
// the disk service instead.
std::unique_ptr<RawVolume> OpenBlockVolume(const std::string& device, std::string* error);

// Start of a partition on its disk in bytes from sysfs, 0 for a whole disk or when unknown.
int64_t PartitionStartBytes(const std::string& device);

}  // namespace tq
