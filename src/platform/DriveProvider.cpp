#include "platform/DriveProvider.h"

#include <dirent.h>
#include <limits.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <cstdlib>
#include <memory>
#include <mutex>
#include <set>

#include "platform/Files.h"

namespace tq {
namespace {

constexpr size_t kMaxMountInfoBytes = 4u << 20;
constexpr uint64_t kSysfsSectorBytes = 512;  // sysfs "size" counts 512-byte units always
constexpr char kOverrideVariable[] = "TQ_MB20_DRIVES";

std::string StripTrailingSlashes(std::string path) {
  while (path.size() > 1 && path.back() == '/') path.pop_back();
  return path;
}

// "\040" and friends of the mount table.
std::string DecodeOctalEscapes(std::string_view s) {
  std::string out;
  auto isOct = [](char c) { return c >= '0' && c <= '7'; };
  for (size_t i = 0; i < s.size(); ++i) {
    if (s[i] == '\\' && i + 3 < s.size() && isOct(s[i + 1]) && isOct(s[i + 2]) && isOct(s[i + 3])) {
      out += char((s[i + 1] - '0') * 64 + (s[i + 2] - '0') * 8 + (s[i + 3] - '0'));
      i += 3;
      continue;
    }
    out += s[i];
  }
  return out;
}

std::vector<std::string_view> SplitFields(std::string_view line) {
  std::vector<std::string_view> fields;
  size_t pos = 0;
  while (pos < line.size()) {
    while (pos < line.size() && line[pos] == ' ') ++pos;
    if (pos >= line.size()) break;
    size_t end = line.find(' ', pos);
    if (end == std::string_view::npos) end = line.size();
    fields.push_back(line.substr(pos, end - pos));
    pos = end;
  }
  return fields;
}

std::string Canonical(const std::string& path) {
  char buf[PATH_MAX];
  if (!::realpath(path.c_str(), buf)) return "";
  return buf;
}

std::string ReadSmallFile(const std::string& path) {
  std::string text;
  if (!ReadWholeFile(path, 4096, &text)) return "";
  while (!text.empty() && (text.back() == '\n' || text.back() == ' ')) text.pop_back();
  return text;
}

std::mutex forgottenLock;
std::set<std::string>& ForgottenRoots() {  // guarded by forgottenLock
  static std::set<std::string> roots;
  return roots;
}

// The label whose /dev/disk/by-label link points at the device of that kernel name.
std::string LabelOf(const std::string& byLabel, const std::string& kernelName) {
  std::unique_ptr<DIR, int (*)(DIR*)> dir(::opendir(byLabel.c_str()), ::closedir);
  if (!dir) return "";
  while (dirent* e = ::readdir(dir.get())) {
    std::string name = e->d_name;
    if (name == "." || name == "..") continue;
    char target[PATH_MAX];
    ssize_t n = ::readlink((byLabel + "/" + name).c_str(), target, sizeof target - 1);
    if (n <= 0) continue;
    target[n] = '\0';
    if (LastPathComponent(target) == kernelName) return DecodeLabelEscapes(name);
  }
  return "";
}

uint64_t FileSystemBytes(const std::string& root) {
  struct statvfs vfs;
  if (::statvfs(root.c_str(), &vfs) != 0) return 0;
  return uint64_t(vfs.f_blocks) * uint64_t(vfs.f_frsize);
}

}  // namespace

bool IsRemovableBlockDevice(const std::string& sysDevBlock, unsigned major, unsigned minor,
                            std::string* kernelName, std::string* diskName) {
  std::string dev = Canonical(sysDevBlock + "/" + std::to_string(major) + ":" + std::to_string(minor));
  if (dev.empty()) return false;
  *kernelName = LastPathComponent(dev);
  std::string disk = FileExists(dev + "/partition") ? dev.substr(0, dev.find_last_of('/')) : dev;
  std::string name = LastPathComponent(disk);
  if (diskName) *diskName = name;
  if (ReadSmallFile(disk + "/removable") == "1") return true;
  if (name.rfind("mmcblk", 0) == 0) return true;
  return dev.find("/usb") != std::string::npos;
}

void ForgetListedRoot(const std::string& root) {
  std::lock_guard<std::mutex> lock(forgottenLock);
  ForgottenRoots().insert(StripTrailingSlashes(root));
}

std::vector<MountEntry> ParseMountInfo(std::string_view text) {
  std::vector<MountEntry> mounts;
  size_t pos = 0;
  while (pos < text.size()) {
    size_t nl = text.find('\n', pos);
    std::string_view line = text.substr(pos, nl == std::string_view::npos ? std::string_view::npos : nl - pos);
    pos = nl == std::string_view::npos ? text.size() : nl + 1;
    std::vector<std::string_view> f = SplitFields(line);
    // id parent major:minor root mount-point options [optional...] - fstype source super
    size_t dash = 6;
    while (dash < f.size() && f[dash] != "-") ++dash;
    if (f.size() < 6 || dash + 2 >= f.size()) continue;
    MountEntry m;
    std::string mm(f[2]);
    size_t colon = mm.find(':');
    if (colon == std::string::npos) continue;
    m.major = unsigned(std::strtoul(mm.c_str(), nullptr, 10));
    m.minor = unsigned(std::strtoul(mm.c_str() + colon + 1, nullptr, 10));
    m.fsRoot = DecodeOctalEscapes(f[3]);
    m.mountPoint = DecodeOctalEscapes(f[4]);
    m.fsType = std::string(f[dash + 1]);
    m.source = DecodeOctalEscapes(f[dash + 2]);
    mounts.push_back(std::move(m));
  }
  return mounts;
}

std::string DecodeLabelEscapes(std::string_view name) {
  std::string out;
  auto hex = [](char c) -> int {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
  };
  for (size_t i = 0; i < name.size(); ++i) {
    if (name[i] == '\\' && i + 3 < name.size() && name[i + 1] == 'x' && hex(name[i + 2]) >= 0 &&
        hex(name[i + 3]) >= 0) {
      out += char(hex(name[i + 2]) * 16 + hex(name[i + 3]));
      i += 3;
      continue;
    }
    out += name[i];
  }
  return out;
}

std::vector<DriveInfo> DrivesFromRootList(std::string_view roots) {
  std::vector<DriveInfo> drives;
  std::set<std::string> seen;
  size_t pos = 0;
  while (pos <= roots.size()) {
    size_t colon = roots.find(':', pos);
    if (colon == std::string_view::npos) colon = roots.size();
    std::string entry(roots.substr(pos, colon - pos));
    pos = colon + 1;
    std::string image;
    if (size_t eq = entry.find('='); eq != std::string::npos) {
      image = entry.substr(eq + 1);
      entry.resize(eq);
    }
    std::string root = StripTrailingSlashes(entry);
    if (root.empty() || !IsDirectory(root) || !seen.insert(root).second) continue;
    {
      std::lock_guard<std::mutex> lock(forgottenLock);
      if (ForgottenRoots().count(root)) continue;
    }
    DriveInfo d;
    d.root = root;
    d.label = LastPathComponent(root);
    d.image = image;
    struct stat st;
    if (!image.empty()) d.totalBytes = ::stat(image.c_str(), &st) == 0 && S_ISREG(st.st_mode) ? uint64_t(st.st_size) : 0;
    else d.totalBytes = FileSystemBytes(root);
    drives.push_back(std::move(d));
  }
  return drives;
}

std::vector<DriveInfo> SystemDriveProvider::RemovableDrives() const {
  if (honourOverride_) {
    if (const char* list = std::getenv(kOverrideVariable)) return DrivesFromRootList(list);
  }
  std::string text;
  if (!ReadWholeFile(paths_.mountinfo, kMaxMountInfoBytes, &text)) return {};
  std::vector<DriveInfo> drives;
  std::set<std::pair<unsigned, unsigned>> seen;
  for (const MountEntry& m : ParseMountInfo(text)) {
    // Only a volume's own root counts; bind mounts of its folders are not drives.
    if (m.fsRoot != "/" || m.source.rfind("/dev/", 0) != 0) continue;
    std::string kernelName;
    if (!IsRemovableBlockDevice(paths_.sysDevBlock, m.major, m.minor, &kernelName)) continue;
    if (!seen.insert({m.major, m.minor}).second) continue;
    DriveInfo d;
    d.root = StripTrailingSlashes(m.mountPoint);
    d.device = m.source;
    d.label = LabelOf(paths_.byLabel, kernelName);
    if (d.label.empty()) d.label = LastPathComponent(d.root);
    d.totalBytes = FileSystemBytes(d.root);
    if (d.totalBytes == 0) {
      std::string dev = Canonical(paths_.sysDevBlock + "/" + std::to_string(m.major) + ":" +
                                  std::to_string(m.minor));
      d.totalBytes = std::strtoull(ReadSmallFile(dev + "/size").c_str(), nullptr, 10) * kSysfsSectorBytes;
    }
    drives.push_back(std::move(d));
  }
  return drives;
}

}  // namespace tq
