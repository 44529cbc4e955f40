// The card's FAT32 format: fixed parameters (64 KiB clusters of 128 sectors, 64 reserved
// sectors, two FATs, label "TQ-MB20"), written sector by sector through a RawVolume.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "platform/RawVolume.h"

namespace tq {

inline constexpr uint32_t kFmtSectorsPerCluster = 128;
inline constexpr uint32_t kFmtReservedSectors = 64;
inline constexpr uint32_t kFmtFatCount = 2;
inline constexpr uint64_t kFmtMinSectors = 65536;       // below: refused
inline constexpr uint64_t kFmtSectorLimit = 0xFFFFFFFFu;  // at or above: refused (32-bit field)
inline constexpr uint32_t kFmtMinClusters = 65536;       // fewer: not FAT32
inline constexpr char kFmtVolumeLabel[] = "TQ-MB20";

// Local time at the start of the format; the volume serial number is made from it.
struct FormatClock {
  int year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0, millisecond = 0;
};
FormatClock LocalFormatClock();
uint32_t VolumeSerialFor(const FormatClock& t);

// Everything the format writes that depends on the volume.
struct FatLayout {
  uint32_t sectorSize = 0;
  uint32_t totalSectors = 0;   // T
  uint32_t fatSectors = 0;     // F
  uint32_t clusters = 0;       // C
  uint32_t freeClusters = 0;   // FSInfo free count: every cluster but the root directory's
  uint32_t nextFree = 3;
  uint32_t hiddenSectors = 0;
  uint16_t sectorsPerTrack = 0;
  uint16_t heads = 0;
  uint32_t serial = 0;
  // Sectors zeroed: reserved sectors, both FATs and the root directory's cluster.
  uint64_t ZeroedSectors() const { return 2ull * fatSectors + kFmtReservedSectors + kFmtSectorsPerCluster; }
  uint64_t RootDirSector() const { return kFmtReservedSectors + 2ull * fatSectors; }
};

enum class FormatError {
  kNone,
  kTooSmall,    // fewer than 65,536 sectors or clusters
  kTooLarge,    // 2^32 - 1 sectors or more
  kBadSector,   // a sector size the layout cannot use
  kWrite,       // a write or the final flush failed
};

// The layout for a volume of `totalSectors` sectors of `sectorSize` bytes; false with the
// reason when FAT32 with these parameters cannot hold it.
bool ComputeFatLayout(uint32_t sectorSize, uint64_t totalSectors, FatLayout* layout, FormatError* why);

// The sectors as they are written (each `layout.sectorSize` bytes, zeroed by the caller).
void FillBootSector(const FatLayout& layout, uint8_t* sector);
void FillFsInfoSector(const FatLayout& layout, uint8_t* sector);
void FillFirstFatSector(const FatLayout& layout, uint8_t* sector);
// The root directory's first sector: the volume-label entry.
void FillRootDirSector(const FormatClock& t, uint8_t* sector);
// The label step after the layout: the boot sector's label field gets the label the root
// directory holds, as the system's own label call leaves a FAT32 volume. Left empty,
// file system checkers report the two labels as different.
void SetBootSectorLabel(uint8_t* bootSector);

struct FormatResult {
  FormatError error = FormatError::kNone;
  std::string message;  // what failed, for the trace log
  FatLayout layout;
  bool ok() const { return error == FormatError::kNone; }
};

// Sectors written so far out of all sectors the format writes; called on the formatting
// thread after each write.
using FormatProgress = std::function<void(uint64_t done, uint64_t total)>;

// Formats the volume. Every write is checked; the first failure stops the format and is
// reported. The volume is flushed at the end (its Finish) and the result of that is the
// result of the format.
FormatResult FormatVolume(RawVolume& volume, const FormatClock& clock, const FormatProgress& progress = {});

// "too small", "write failed: ...".
std::string FormatErrorText(const FormatResult& r);

}  // namespace tq
