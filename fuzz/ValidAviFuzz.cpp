// Fuzzes AVI validation and index repair: the input is written to a scratch file that
// ValidAVI reads and may repair in place; the repaired file must then validate without
// another write, and an export of it must not crash.
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "app/TraceLog.h"
#include "container/AviExport.h"
#include "container/AviValid.h"

namespace {

std::vector<uint8_t> ReadFile(const std::string& path) {
  std::vector<uint8_t> out;
  std::FILE* f = std::fopen(path.c_str(), "rb");
  if (!f) return out;
  uint8_t buf[4096];
  size_t n;
  while ((n = std::fread(buf, 1, sizeof buf, f)) > 0) out.insert(out.end(), buf, buf + n);
  std::fclose(f);
  return out;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const std::string path = "/tmp/tq_fuzz_avi_" + std::to_string(::getpid());
  static const std::string out = path + "_out.avi";
  static const bool quiet = (tq::SetTraceFile("/dev/null"), true);  // refusals are expected
  (void)quiet;
  std::FILE* f = std::fopen(path.c_str(), "wb");
  if (!f) return 0;
  std::fwrite(data, 1, size, f);
  std::fclose(f);

  tq::AVIINFO info{};
  if (tq::ValidAVI(path, &info) == 0) {
    // Nothing may be written to a refused file.
    const std::vector<uint8_t> after = ReadFile(path);
    if (after.size() != size || (size && std::memcmp(after.data(), data, size) != 0)) std::abort();
    return 0;
  }
  if (info.indexCount != info.index.size()) std::abort();
  const std::vector<uint8_t> repaired = ReadFile(path);
  tq::AVIINFO again{};
  if (tq::ValidAVI(path, &again) != 1 || ReadFile(path) != repaired) std::abort();

  std::unique_ptr<tq::MediaFile> source = tq::MediaFile::Open(path, "rb");
  if (source) {
    tq::ExportAVI(*source, out, info, 0, 2, true, true, false);
    tq::ExportAVI(*source, out, info, 1, 1, false, false, true);
  }
  std::remove(out.c_str());
  return 0;
}
