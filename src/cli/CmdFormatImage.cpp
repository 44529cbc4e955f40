// tqmb20 format-image FILE [--sectors N] [--sector-size 512|4096] [--json]: the card format
// written to an image file, created (sparse) or resized when --sectors is given.
#include <cstdio>
#include <cstdlib>
#include <string>

#include "cli/Commands.h"
#include "cli/Json.h"
#include "device/CardFormat.h"
#include "platform/RawVolume.h"

namespace tq::cli {
namespace {

constexpr char kName[] = "format-image";
constexpr char kUsage[] = "usage: tqmb20 format-image FILE [--sectors N] [--sector-size 512|4096] [--json]";

bool ParseCount(const std::string& text, uint64_t* out) {
  if (text.empty() || text.find_first_not_of("0123456789") != std::string::npos || text.size() > 19) return false;
  *out = std::strtoull(text.c_str(), nullptr, 10);
  return true;
}

}  // namespace

int RunFormatImage(const Args& args) {
  std::string file;
  uint64_t sectors = 0, sectorSize = 512;
  bool json = false, haveSectors = false;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    if (a == "--json") {
      json = true;
    } else if (a == "--sectors" || a == "--sector-size") {
      if (i + 1 >= args.size()) return Fail(kName, 2, a + " needs a value");
      uint64_t* target = a == "--sectors" ? &sectors : &sectorSize;
      if (!ParseCount(args[++i], target)) return Fail(kName, 2, a + ": not a number: '" + args[i] + "'");
      haveSectors |= a == "--sectors";
    } else if (!a.empty() && a[0] == '-') {
      return Fail(kName, 2, "unknown option '" + a + "'");
    } else if (file.empty()) {
      file = a;
    } else {
      return Fail(kName, 2, "only one image file is taken");
    }
  }
  if (file.empty()) return Fail(kName, 2, kUsage);
  if (sectorSize != 512 && sectorSize != 4096) return Fail(kName, 2, "--sector-size must be 512 or 4096");

  std::string error;
  if (haveSectors) {
    FatLayout probe;
    FormatError why;
    if (!ComputeFatLayout(uint32_t(sectorSize), sectors, &probe, &why)) {
      FormatResult r;
      r.error = why;
      return Fail(kName, 1, file + ": " + std::to_string(sectors) + " sectors: " + FormatErrorText(r));
    }
    if (!CreateImageFile(file, sectors * sectorSize, &error)) return Fail(kName, 1, error);
  }
  std::unique_ptr<RawVolume> volume = OpenImageVolume(file, uint32_t(sectorSize), &error);
  if (!volume) return Fail(kName, 1, error);
  FormatResult r = FormatVolume(*volume, LocalFormatClock());
  if (!r.ok()) return Fail(kName, 1, file + ": " + FormatErrorText(r));

  const FatLayout& l = r.layout;
  char serial[16];
  std::snprintf(serial, sizeof serial, "%04X-%04X", l.serial >> 16, l.serial & 0xFFFF);
  if (json) {
    JsonWriter w;
    w.BeginObject();
    w.Key("file").String(file);
    w.Key("sectorSize").UInt(l.sectorSize);
    w.Key("totalSectors").UInt(l.totalSectors);
    w.Key("fatSectors").UInt(l.fatSectors);
    w.Key("clusters").UInt(l.clusters);
    w.Key("freeClusters").UInt(l.freeClusters);
    w.Key("nextFree").UInt(l.nextFree);
    w.Key("clusterBytes").UInt(uint64_t(l.sectorSize) * kFmtSectorsPerCluster);
    w.Key("serial").String(serial);
    w.Key("label").String(kFmtVolumeLabel);
    w.EndObject();
    std::printf("%s\n", w.str().c_str());
    return 0;
  }
  std::printf("image:         %s\n", file.c_str());
  std::printf("sector size:   %u\n", l.sectorSize);
  std::printf("total sectors: %u (T)\n", l.totalSectors);
  std::printf("FAT sectors:   %u (F, two FATs)\n", l.fatSectors);
  std::printf("clusters:      %u (C, %u KiB each)\n", l.clusters, l.sectorSize * kFmtSectorsPerCluster / 1024);
  std::printf("free clusters: %u, next free %u\n", l.freeClusters, l.nextFree);
  std::printf("serial:        %s\n", serial);
  std::printf("label:         %s\n", kFmtVolumeLabel);
  return 0;
}

}  // namespace tq::cli
