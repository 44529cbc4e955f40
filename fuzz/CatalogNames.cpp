// Fuzzes the catalog's parsers: recording names through insertion and the time index,
// and file headers through the duration probe. The first byte picks the target.
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>

#include "library/CFileList.h"

namespace {

void FuzzNames(std::string_view text, uint8_t seed) {
  tq::CFileList list;
  uint8_t kind = 0;
  size_t start = 0;
  while (start <= text.size()) {
    size_t nl = text.find('\n', start);
    if (nl == std::string_view::npos) nl = text.size();
    list.Add(text.substr(start, nl - start), kind);
    kind ^= 1;
    start = nl + 1;
  }
  tq::RecordingIndex index;
  int row = 0;
  for (tq::CatalogEntry& e : list.Entries()) index.MarkHour(&e, row++);
  // Durations from the seed, up to lengths no MP4 header may claim.
  auto duration = [seed](tq::CatalogEntry& e) { return int32_t((e.time * 131 + seed * 977) % 100000); };
  for (const tq::CatalogEntry& e : list.Entries())
    index.FillMinutes(e.date, e.time / 10000, duration);
}

void FuzzProbe(const uint8_t* data, size_t size) {
  static const std::string path = "/tmp/tq_fuzz_probe_" + std::to_string(::getpid());
  std::FILE* f = std::fopen(path.c_str(), "wb");
  if (!f) return;
  std::fwrite(data, 1, size, f);
  std::fclose(f);
  tq::CFileList::ProbeDuration(path, tq::kKindMp4);
  tq::CFileList::ProbeDuration(path, tq::kKindAvi);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 1) return 0;
  if (data[0] & 1)
    FuzzProbe(data + 1, size - 1);
  else
    FuzzNames(std::string_view(reinterpret_cast<const char*>(data + 1), size - 1), data[0]);
  return 0;
}
