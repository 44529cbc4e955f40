#include "platform/RawVolume.h"

#include <fcntl.h>
#include <linux/fs.h>
#include <linux/hdreg.h>
#include <sys/ioctl.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "platform/DriveProvider.h"
#include "platform/Files.h"

namespace tq {
namespace {

constexpr uint32_t kDefaultSectorsPerTrack = 63;
constexpr uint32_t kDefaultHeads = 255;
constexpr uint64_t kSysfsUnitBytes = 512;  // sysfs "start" and HDIO_GETGEO count these

std::string ErrnoText(const std::string& what) { return what + ": " + std::strerror(errno); }

// pwrite until every byte is down; EINTR and short writes are retried, anything else fails.
bool WriteAll(int fd, const uint8_t* data, size_t bytes, uint64_t offset) {
  while (bytes > 0) {
    ssize_t n = ::pwrite(fd, data, bytes, off_t(offset));
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      if (n == 0) errno = EIO;
      return false;
    }
    data += n;
    bytes -= size_t(n);
    offset += uint64_t(n);
  }
  return true;
}

// Volume over one file descriptor; the kinds differ only in how they were opened and
// what Finish does beyond the flush.
class FdVolume final : public RawVolume {
 public:
  FdVolume(int fd, std::string name, VolumeGeometry g, bool blockDevice)
      : fd_(fd), name_(std::move(name)), geometry_(g), blockDevice_(blockDevice) {}
  ~FdVolume() override {
    if (fd_ >= 0) ::close(fd_);
  }
  const VolumeGeometry& Geometry() const override { return geometry_; }
  std::string LastError() const override { return error_; }
  std::string Name() const override { return name_; }

  bool WriteSectors(uint64_t first, const void* data, uint32_t count) override {
    const uint64_t s = geometry_.sectorSize;
    if (first > geometry_.totalSectors || count > geometry_.totalSectors - first) {
      error_ = "write past the end of " + name_;
      return false;
    }
    if (reinterpret_cast<uintptr_t>(data) % kSectorBufferAlignment != 0) {
      error_ = "unaligned sector buffer";
      return false;
    }
    if (!WriteAll(fd_, static_cast<const uint8_t*>(data), size_t(count) * s, first * s)) {
      error_ = ErrnoText("write " + name_);
      return false;
    }
    return true;
  }

  bool Finish() override {
    if (::fsync(fd_) != 0) {
      error_ = ErrnoText("flush " + name_);
      return false;
    }
    // Drop what the kernel cached of the old file system so the next mount reads ours.
    if (blockDevice_) ::ioctl(fd_, BLKFLSBUF, 0);
    return true;
  }

 private:
  int fd_;
  std::string name_;
  VolumeGeometry geometry_;
  bool blockDevice_;
  std::string error_;
};

}  // namespace

SectorBuffer::SectorBuffer(uint32_t sectorSize, uint32_t sectors) {
  size_t bytes = size_t(sectorSize) * sectors;
  if (bytes == 0) return;
  void* p = nullptr;
  if (::posix_memalign(&p, kSectorBufferAlignment, bytes) != 0) return;
  std::memset(p, 0, bytes);
  data_ = static_cast<uint8_t*>(p);
  size_ = bytes;
}

SectorBuffer::~SectorBuffer() { std::free(data_); }

bool CreateImageFile(const std::string& path, uint64_t bytes, std::string* error) {
  struct stat st;
  if (::lstat(path.c_str(), &st) == 0 && !S_ISREG(st.st_mode)) {
    *error = path + ": not a regular file";
    return false;
  }
  int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0644);
  if (fd < 0) {
    *error = ErrnoText(path);
    return false;
  }
  bool ok = ::ftruncate(fd, off_t(bytes)) == 0;
  if (!ok) *error = ErrnoText("resize " + path);
  ::close(fd);
  return ok;
}

std::unique_ptr<RawVolume> OpenImageVolume(const std::string& path, uint32_t sectorSize, std::string* error) {
  // O_NOFOLLOW and the type check after opening: a link or a swapped name never leads
  // the writes to a device.
  int fd = ::open(path.c_str(), O_RDWR | O_CLOEXEC | O_NOFOLLOW);
  if (fd < 0) {
    *error = ErrnoText(path);
    return nullptr;
  }
  struct stat st;
  if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    *error = path + ": not a regular file";
    ::close(fd);
    return nullptr;
  }
  if (sectorSize != 512 && sectorSize != 4096) {
    *error = "sector size must be 512 or 4096";
    ::close(fd);
    return nullptr;
  }
  VolumeGeometry g;
  g.sectorSize = sectorSize;
  g.totalSectors = uint64_t(st.st_size) / sectorSize;
  return std::make_unique<FdVolume>(fd, path, g, false);
}

std::unique_ptr<RawVolume> BlockVolumeFromFd(int fd, const std::string& name, int64_t startBytes,
                                             std::string* error) {
  auto fail = [&](const std::string& what) -> std::unique_ptr<RawVolume> {
    *error = ErrnoText(what + " " + name);
    ::close(fd);
    return nullptr;
  };
  struct stat st;
  if (::fstat(fd, &st) != 0 || !S_ISBLK(st.st_mode)) {
    errno = ENOTBLK;
    return fail("open");
  }
  int sectorSize = 0;
  uint64_t bytes = 0;
  if (::ioctl(fd, BLKSSZGET, &sectorSize) != 0 || sectorSize <= 0) return fail("sector size of");
  if (::ioctl(fd, BLKGETSIZE64, &bytes) != 0) return fail("size of");
  VolumeGeometry g;
  g.sectorSize = uint32_t(sectorSize);
  g.totalSectors = bytes / g.sectorSize;
  g.sectorsPerTrack = kDefaultSectorsPerTrack;
  g.heads = kDefaultHeads;
  uint64_t start = startBytes >= 0 ? uint64_t(startBytes) : 0;
  hd_geometry geo{};
  if (::ioctl(fd, HDIO_GETGEO, &geo) == 0) {
    if (geo.sectors) g.sectorsPerTrack = geo.sectors;
    if (geo.heads) g.heads = geo.heads;
    if (startBytes < 0) start = uint64_t(geo.start) * kSysfsUnitBytes;
  }
  g.hiddenSectors = start / g.sectorSize;
  return std::make_unique<FdVolume>(fd, name, g, true);
}

int64_t PartitionStartBytes(const std::string& device) {
  struct stat st;
  if (::stat(device.c_str(), &st) != 0 || !S_ISBLK(st.st_mode)) return 0;
  std::string sys = "/sys/dev/block/" + std::to_string(major(st.st_rdev)) + ":" + std::to_string(minor(st.st_rdev));
  std::string text;
  if (!ReadWholeFile(sys + "/start", 64, &text)) return 0;
  return int64_t(std::strtoull(text.c_str(), nullptr, 10) * kSysfsUnitBytes);
}

std::unique_ptr<RawVolume> OpenBlockVolume(const std::string& device, std::string* error) {
  std::string table;
  struct stat st;
  if (::stat(device.c_str(), &st) != 0 || !S_ISBLK(st.st_mode)) {
    *error = device + ": not a block device";
    return nullptr;
  }
  // Unmount every mount of this device first; a mount left behind would keep writing
  // its old file system over ours.
  if (ReadWholeFile("/proc/self/mountinfo", 4u << 20, &table)) {
    for (const MountEntry& m : ParseMountInfo(table)) {
      if (makedev(m.major, m.minor) != st.st_rdev) continue;
      if (::umount2(m.mountPoint.c_str(), 0) != 0) {
        *error = ErrnoText("unmount " + m.mountPoint);
        return nullptr;
      }
    }
  }
  // O_EXCL on a block device: refused while anyone else (a mount, another opener with
  // O_EXCL) holds it.
  int fd = ::open(device.c_str(), O_RDWR | O_EXCL | O_DIRECT | O_CLOEXEC);
  if (fd < 0) {
    *error = ErrnoText("open " + device);
    return nullptr;
  }
  return BlockVolumeFromFd(fd, device, PartitionStartBytes(device), error);
}

}  // namespace tq
