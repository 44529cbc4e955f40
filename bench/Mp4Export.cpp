// Export of seconds 60 to 120 of a 3-minute 1920x1080 H.264 recording with sound,
// against `ffmpeg -ss 60 -to 120 -i FILE -c copy OUT` on the same file in the same run.
// Goal: the export takes at most half of ffmpeg's wall time.
//
// The recording is made once per build folder by the sample generator and kept. Its sound
// is AAC at 16 kHz, the camera's rate: three minutes of it fit the sound index.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "container/Mp4Export.h"

namespace {

namespace fs = std::filesystem;

const std::string kBuildDir = TQ_BUILD_DIR;

const std::string& Recording() {
  static const std::string path = [] {
    const std::string file = kBuildDir + "/bench-fixtures/20261205_081500_F_3min.mp4";
    if (!fs::exists(file)) {
      fs::create_directories(kBuildDir + "/bench-fixtures");
      const std::string partial = file + ".making";
      const std::string command = kBuildDir +
                                  "/tqmb20-gen -q --duration 180 --size 1920x1080 "
                                  "--audio-rate 16000 -o " + partial;
      if (std::system(command.c_str()) != 0 || std::rename(partial.c_str(), file.c_str()) != 0) {
        std::fprintf(stderr, "cannot make %s with tqmb20-gen\n", file.c_str());
        return std::string();
      }
    }
    return file;
  }();
  return path;
}

std::string OutputPath(const char* name) {
  fs::create_directories(kBuildDir + "/bench-out");
  return kBuildDir + "/bench-out/" + name;
}

void BM_ExportMP4_60_to_120(benchmark::State& state) {
  const std::string& source = Recording();
  if (source.empty()) {
    state.SkipWithError("no recording");
    return;
  }
  const std::string out = OutputPath("export_60_120.mp4");
  for (auto _ : state) {
    tq::ExportOutcome o = tq::ExportRecording(source, out, 60, 120, true, {}, true);
    if (o.status != tq::ExportStatus::Ok) {
      state.SkipWithError(o.message.c_str());
      return;
    }
  }
  state.counters["MB"] = double(fs::file_size(out)) / 1e6;
}
BENCHMARK(BM_ExportMP4_60_to_120)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(3);

void BM_FfmpegCopy_60_to_120(benchmark::State& state) {
  const std::string& source = Recording();
  if (source.empty()) {
    state.SkipWithError("no recording");
    return;
  }
  const std::string out = OutputPath("ffmpeg_60_120.mp4");
  const std::string command = "ffmpeg -v error -y -ss 60 -to 120 -i " + source +
                              " -c copy " + out;
  for (auto _ : state) {
    if (std::system(command.c_str()) != 0) {
      state.SkipWithError("ffmpeg failed");
      return;
    }
  }
  state.counters["MB"] = double(fs::file_size(out)) / 1e6;
}
BENCHMARK(BM_FfmpegCopy_60_to_120)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(3);

}  // namespace

BENCHMARK_MAIN();
