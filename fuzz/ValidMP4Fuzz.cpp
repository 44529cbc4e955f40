// libFuzzer target: ValidMP4 (scan, judgement and in-place repair) on a copy of the input,
// then a bounded walk of every track's samples as playback and export would do it.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "app/TraceLog.h"
#include "container/Mp4Reader.h"
#include "container/Mp4Valid.h"

namespace {

constexpr uint32_t kTelemetryBytes = 4096;  // small, so the capacity checks are exercised
constexpr int kSamplesPerTrack = 2000;

std::string InputPath() {
  static const std::string path =
      (std::filesystem::temp_directory_path() /
       ("tq-fuzz-validmp4-" + std::to_string(reinterpret_cast<uintptr_t>(&path)) + ".mp4"))
          .string();
  return path;
}

void WalkSamples(const std::string& path, const tq::MP4INFO& info) {
  auto f = tq::MediaFile::Open(path, "rb");
  if (!f) return;
  for (const auto& t : info.moov.trak) {
    if (!t) continue;
    tq::SampleCursor c;
    c.trak = t.get();
    tq::SampleInfo s;
    for (int i = 0; i < kSamplesPerTrack && tq::NextSample(c, *f, info.moov, &s); ++i) {
    }
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const bool quiet = (tq::SetTraceFile("/dev/null"), true);  // traces are expected here
  (void)quiet;
  const std::string path = InputPath();
  {
    std::unique_ptr<std::FILE, int (*)(std::FILE*)> out(std::fopen(path.c_str(), "wb"),
                                                        &std::fclose);
    if (!out) return 0;
    if (size && std::fwrite(data, 1, size, out.get()) != size) return 0;
  }
  // The first byte chooses one or two movie sets, as the player and the export ask.
  int second = size > 0 && (data[0] & 1);
  auto info = std::make_unique<tq::MP4INFO[]>(2);
  std::vector<uint8_t> telemetry(2 * kTelemetryBytes);
  info[0].gpsBuffer = {telemetry.data(), kTelemetryBytes};
  info[1].gpsBuffer = {telemetry.data() + kTelemetryBytes, kTelemetryBytes};
  tq::ValidMP4(path, info.get(), second);
  WalkSamples(path, info[0]);
  if (second) WalkSamples(path, info[1]);
  tq::FreeMP4INFO(info[0]);
  tq::FreeMP4INFO(info[1]);
  return 0;
}
