// Validation and repair of a 3-minute 1920x1080 H.264 recording with sound, against
// reading the same file from the page cache with cat.
//   BM_ValidComplete        ValidMP4 of the complete file (goal: under 1 ms)
//   BM_RepairMissingMoov    ValidMP4 repairing the same recording without its moov
//                           (goal: under 10% of BM_CatPageCache)
//   BM_CatPageCache         `cat FILE > /dev/null`, the file already cached
// The recording is made once by the sample generator and kept in the build folder.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "container/MediaFile.h"
#include "container/Mp4Reader.h"
#include "container/Mp4Valid.h"

namespace {

namespace fs = std::filesystem;

const fs::path kDir = fs::path(TQ_BUILD_DIR) / "bench-fixtures";
const fs::path kComplete = kDir / "validate-180s.mp4";
const fs::path kUnfinished = kDir / "validate-180s-nomoov.mp4";

bool Run(const std::string& command) { return std::system(command.c_str()) == 0; }

template <class F>
double MillisecondsOf(F&& f) {
  auto t0 = std::chrono::steady_clock::now();
  f();
  return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - t0).count();
}

// The complete recording, generated once: 180 s at 30 fps is 5400 frames; AAC at 16 kHz
// keeps the sound within the index's 2912 samples.
bool EnsureComplete() {
  if (fs::exists(kComplete)) return true;
  fs::create_directories(kDir);
  std::string gen = (fs::path(TQ_BUILD_DIR) / "tqmb20-gen").string();
  fs::path tmp = kComplete.string() + ".part";
  if (!Run(gen + " -q --duration 180 --size 1920x1080 --audio-rate 16000 -o " + tmp.string()))
    return false;
  fs::rename(tmp, kComplete);
  return true;
}

struct Unfinished {
  uint32_t length = 0;           // the file ends where the moov began
  std::vector<uint8_t> head;     // bytes before the first frame record, as the camera left them
};

// The same recording as the camera leaves it after a power cut: mdat size 0, no moov.
bool MakeUnfinished(Unfinished* u) {
  auto info = std::make_unique<tq::MP4INFO>();
  tq::ScanMP4(kComplete.string(), info.get(), 0, nullptr);
  uint32_t moovStart = info->moov.moov.offset - 8;
  uint32_t mdatPayload = info->mdat.offset;
  tq::FreeMP4INFO(*info);
  if (moovStart <= mdatPayload) return false;
  fs::copy_file(kComplete, kUnfinished, fs::copy_options::overwrite_existing);
  fs::resize_file(kUnfinished, moovStart);
  auto f = tq::MediaFile::Open(kUnfinished.string(), "rb+");
  uint8_t zero[4] = {};
  if (!f || !f->Seek(mdatPayload - 8) || !f->Write(zero, 4)) return false;
  u->head.resize(mdatPayload);
  u->length = moovStart;
  return f->Seek(0) && f->Read(u->head.data(), u->head.size());
}

// Undoes a repair: the header bytes (mdat size, ptnm kind) and the length.
bool Restore(const Unfinished& u) {
  {
    auto f = tq::MediaFile::Open(kUnfinished.string(), "rb+");
    if (!f || !f->Seek(0) || !f->Write(u.head.data(), u.head.size())) return false;
  }
  fs::resize_file(kUnfinished, u.length);
  return true;
}

void BM_ValidComplete(benchmark::State& state) {
  if (!EnsureComplete()) return state.SkipWithError("the sample generator failed");
  for (auto _ : state) {
    auto info = std::make_unique<tq::MP4INFO>();
    int ok = tq::ValidMP4(kComplete.string(), info.get(), 0);
    tq::FreeMP4INFO(*info);
    if (!ok) return state.SkipWithError("the complete recording is not valid");
  }
}
BENCHMARK(BM_ValidComplete)->Unit(benchmark::kMicrosecond);

void BM_CatPageCache(benchmark::State& state) {
  if (!EnsureComplete()) return state.SkipWithError("the sample generator failed");
  std::string cat = "cat " + kComplete.string() + " > /dev/null";
  Run(cat);  // into the page cache
  for (auto _ : state) {
    if (!Run(cat)) return state.SkipWithError("cat failed");
  }
  state.counters["MB"] = double(fs::file_size(kComplete)) / 1e6;
}
BENCHMARK(BM_CatPageCache)->Unit(benchmark::kMillisecond);

void BM_RepairMissingMoov(benchmark::State& state) {
  Unfinished u;
  if (!EnsureComplete() || !MakeUnfinished(&u)) return state.SkipWithError("no fixture");
  // The reference, measured in this run: the fastest of five cached reads of the file.
  std::string cat = "cat " + kUnfinished.string() + " > /dev/null";
  Run(cat);
  double catMs = 1e9, repairMs = 1e9;
  for (int i = 0; i < 5; ++i) catMs = std::min(catMs, MillisecondsOf([&] { Run(cat); }));
  uint32_t video = 0, audio = 0;
  for (auto _ : state) {
    auto info = std::make_unique<tq::MP4INFO>();
    tq::ValidateReport r;
    repairMs = std::min(repairMs, MillisecondsOf([&] {
      r = tq::ValidateMP4(kUnfinished.string(), info.get(), 0);
    }));
    tq::FreeMP4INFO(*info);
    state.PauseTiming();
    if (r.result != tq::ValidateResult::Repaired) {
      state.ResumeTiming();
      return state.SkipWithError(("repair failed: " + r.reason).c_str());
    }
    video = r.videoSamples;
    audio = r.audioSamples;
    bool restored = Restore(u);
    state.ResumeTiming();
    if (!restored) return state.SkipWithError("cannot restore the fixture");
  }
  state.counters["video"] = video;
  state.counters["audio"] = audio;
  state.counters["cat_ms"] = catMs;
  state.counters["best_ms"] = repairMs;
  state.counters["best_vs_cat_pct"] = 100.0 * repairMs / catMs;
}
BENCHMARK(BM_RepairMissingMoov)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
