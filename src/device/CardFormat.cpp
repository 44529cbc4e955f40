#include "device/CardFormat.h"

#include <algorithm>
#include <chrono>
#include <cstring>
#include <ctime>

namespace tq {
namespace {

constexpr uint32_t kZeroChunkSectors = 128;  // zeroing writes at most this many sectors
constexpr uint64_t kBootSector = 0;
constexpr uint64_t kFsInfoSector = 1;
constexpr uint64_t kBackupBootSector = 6;
constexpr uint64_t kBackupFsInfoSector = 7;
constexpr uint32_t kRootCluster = 2;
constexpr uint32_t kFatEntryBytes = 4;
constexpr uint32_t kFatReservedEntries = 2;  // entries 0 and 1 name no cluster
constexpr uint8_t kMedia = 0xF8;
constexpr uint8_t kDriveNumber = 0x80;
constexpr uint8_t kExtendedBootSignature = 0x29;
constexpr uint8_t kAttrVolumeId = 0x08;
constexpr uint32_t kFatMedia = 0x0FFFFFF8;
constexpr uint32_t kFatEndOfChain = 0x0FFFFFFF;

void Put16(uint8_t* p, uint32_t v) {
  p[0] = uint8_t(v);
  p[1] = uint8_t(v >> 8);
}
void Put32(uint8_t* p, uint32_t v) {
  Put16(p, v);
  Put16(p + 2, v >> 16);
}

}  // namespace

FormatClock LocalFormatClock() {
  auto now = std::chrono::system_clock::now();
  std::time_t secs = std::chrono::system_clock::to_time_t(now);
  std::tm tm{};
  ::localtime_r(&secs, &tm);
  FormatClock t;
  t.year = tm.tm_year + 1900;
  t.month = tm.tm_mon + 1;
  t.day = tm.tm_mday;
  t.hour = tm.tm_hour;
  t.minute = tm.tm_min;
  t.second = tm.tm_sec;
  t.millisecond =
      int(std::chrono::duration_cast<std::chrono::milliseconds>(now.time_since_epoch()).count() % 1000);
  return t;
}

uint32_t VolumeSerialFor(const FormatClock& t) {
  uint32_t low = uint32_t(t.day + t.month * 256 + t.millisecond / 10 + t.second * 256) & 0xFFFF;
  uint32_t high = uint32_t(t.minute + t.hour * 256 + t.year) & 0xFFFF;
  return high * 65536 + low;
}

bool ComputeFatLayout(uint32_t sectorSize, uint64_t totalSectors, FatLayout* layout, FormatError* why) {
  if (sectorSize < 512 || sectorSize > 4096 || (sectorSize & (sectorSize - 1)) != 0) {
    *why = FormatError::kBadSector;
    return false;
  }
  if (totalSectors < kFmtMinSectors) {
    *why = FormatError::kTooSmall;
    return false;
  }
  if (totalSectors >= kFmtSectorLimit) {
    *why = FormatError::kTooLarge;
    return false;
  }
  const uint64_t t = totalSectors;
  const uint64_t s = sectorSize;
  uint64_t f = (4 * (t - kFmtReservedSectors)) / (kFmtSectorsPerCluster * s + 8) + 1;
  uint64_t c = (t - kFmtReservedSectors - 2 * f) / kFmtSectorsPerCluster;
  // The FAT must also hold the two reserved entries before cluster 2. For a few sizes the
  // estimate above falls a fraction of a sector short; one more FAT sector (and the
  // clusters it costs) keeps the file system whole instead of giving it a FAT that ends
  // before its last clusters.
  while (kFatEntryBytes * (c + kFatReservedEntries) > f * s) {
    ++f;
    c = (t - kFmtReservedSectors - 2 * f) / kFmtSectorsPerCluster;
  }
  if (c < kFmtMinClusters) {
    *why = FormatError::kTooSmall;
    return false;
  }
  layout->sectorSize = sectorSize;
  layout->totalSectors = uint32_t(t);
  layout->fatSectors = uint32_t(f);
  layout->clusters = uint32_t(c);
  layout->freeClusters = uint32_t(c - 1);
  layout->nextFree = 3;
  *why = FormatError::kNone;
  return true;
}

void FillBootSector(const FatLayout& l, uint8_t* b) {
  const uint8_t jump[] = {0xEB, 0x5A, 0x90};
  std::memcpy(b, jump, sizeof jump);
  std::memcpy(b + 3, "MSWIN4.1", 8);
  Put16(b + 11, l.sectorSize);
  b[13] = uint8_t(kFmtSectorsPerCluster);
  Put16(b + 14, kFmtReservedSectors);
  b[16] = uint8_t(kFmtFatCount);
  b[21] = kMedia;
  Put16(b + 24, l.sectorsPerTrack);
  Put16(b + 26, l.heads);
  Put32(b + 28, l.hiddenSectors);
  Put32(b + 32, l.totalSectors);
  Put32(b + 36, l.fatSectors);
  Put32(b + 44, kRootCluster);
  Put16(b + 48, kFsInfoSector);
  Put16(b + 50, kBackupBootSector);
  b[64] = kDriveNumber;
  b[66] = kExtendedBootSignature;
  Put32(b + 67, l.serial);
  // Offsets 71..81, the label field, stay zero here; the label step fills them.
  std::memcpy(b + 82, "FAT32   ", 8);
  b[510] = 0x55;
  b[511] = 0xAA;
  if (l.sectorSize != 512) {
    b[l.sectorSize - 2] = 0x55;
    b[l.sectorSize - 1] = 0xAA;
  }
}

void FillFsInfoSector(const FatLayout& l, uint8_t* b) {
  std::memcpy(b, "RRaA", 4);
  std::memcpy(b + 484, "rrAa", 4);
  Put32(b + 488, l.freeClusters);
  Put32(b + 492, l.nextFree);
  const uint8_t trail[] = {0x00, 0x00, 0x55, 0xAA};
  std::memcpy(b + 508, trail, sizeof trail);
}

void FillFirstFatSector(const FatLayout&, uint8_t* b) {
  Put32(b, kFatMedia);
  Put32(b + 4, kFatEndOfChain);
  Put32(b + 8, kFatEndOfChain);  // the root directory's one cluster
}

void FillRootDirSector(const FormatClock& t, uint8_t* b) {
  std::memset(b, ' ', 11);
  std::memcpy(b, kFmtVolumeLabel, std::strlen(kFmtVolumeLabel));
  b[11] = kAttrVolumeId;
  // FAT dates start in 1980; a clock before that is written as 1980-01-01.
  int year = std::clamp(t.year, 1980, 2107);
  uint32_t time = uint32_t(t.hour) << 11 | uint32_t(t.minute) << 5 | uint32_t(t.second / 2);
  uint32_t date = uint32_t(year - 1980) << 9 | uint32_t(std::clamp(t.month, 1, 12)) << 5 |
                  uint32_t(std::clamp(t.day, 1, 31));
  if (t.year < 1980) date = 1 << 5 | 1;
  Put16(b + 22, time);
  Put16(b + 24, date);
}

void SetBootSectorLabel(uint8_t* b) {
  std::memset(b + 71, ' ', 11);
  std::memcpy(b + 71, kFmtVolumeLabel, std::strlen(kFmtVolumeLabel));
}

FormatResult FormatVolume(RawVolume& volume, const FormatClock& clock, const FormatProgress& progress) {
  FormatResult r;
  const VolumeGeometry& g = volume.Geometry();
  if (!ComputeFatLayout(g.sectorSize, g.totalSectors, &r.layout, &r.error)) {
    r.message = volume.Name() + ": " + FormatErrorText(r);
    return r;
  }
  FatLayout& l = r.layout;
  l.hiddenSectors = uint32_t(std::min<uint64_t>(g.hiddenSectors, 0xFFFFFFFFu));
  l.sectorsPerTrack = uint16_t(std::min<uint32_t>(g.sectorsPerTrack, 0xFFFF));
  l.heads = uint16_t(std::min<uint32_t>(g.heads, 0xFFFF));
  l.serial = VolumeSerialFor(clock);

  const uint32_t s = l.sectorSize;
  SectorBuffer zeros(s, kZeroChunkSectors), boot(s, 1), fsInfo(s, 1), fat(s, 1), root(s, 1);
  if (!zeros.ok() || !boot.ok() || !fsInfo.ok() || !fat.ok() || !root.ok()) {
    r.error = FormatError::kWrite;
    r.message = "out of memory for the sector buffers";
    return r;
  }
  FillBootSector(l, boot.data());
  SetBootSectorLabel(boot.data());
  FillFsInfoSector(l, fsInfo.data());
  FillFirstFatSector(l, fat.data());
  FillRootDirSector(clock, root.data());

  struct Step {
    uint64_t sector;
    const SectorBuffer* buffer;
  };
  const Step steps[] = {
      {kBootSector, &boot},       {kFsInfoSector, &fsInfo},   {kBackupBootSector, &boot},
      {kBackupFsInfoSector, &fsInfo}, {kFmtReservedSectors, &fat}, {kFmtReservedSectors + l.fatSectors, &fat},
      {l.RootDirSector(), &root},
  };
  const uint64_t zeroed = l.ZeroedSectors();
  const uint64_t total = zeroed + std::size(steps);
  uint64_t done = 0;
  auto failed = [&](const char* what) {
    r.error = FormatError::kWrite;
    r.message = std::string(what) + ": " + volume.LastError();
    return r;
  };
  for (uint64_t at = 0; at < zeroed;) {
    uint32_t n = uint32_t(std::min<uint64_t>(kZeroChunkSectors, zeroed - at));
    if (!volume.WriteSectors(at, zeros.data(), n)) return failed("zeroing");
    at += n;
    done += n;
    if (progress) progress(done, total);
  }
  for (const Step& step : steps) {
    if (!volume.WriteSectors(step.sector, step.buffer->data(), 1)) return failed("writing the file system");
    if (progress) progress(++done, total);
  }
  if (!volume.Finish()) return failed("finishing");
  return r;
}

std::string FormatErrorText(const FormatResult& r) {
  switch (r.error) {
    case FormatError::kNone: return "ok";
    case FormatError::kTooSmall: return "too small for FAT32 with 64 KiB clusters (needs 65536 clusters)";
    case FormatError::kTooLarge: return "too large (2^32 - 1 sectors or more)";
    case FormatError::kBadSector: return "unsupported sector size";
    case FormatError::kWrite: return "write failed: " + r.message;
  }
  return "unknown";
}

}  // namespace tq
