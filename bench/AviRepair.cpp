// Index rebuild and export of a camera-sized AVI: three minutes of 30 fps front and rear
// pictures (about 1.5 MB/s, camera-like chunk sizes with an SPS-led key frame every
// second), 16 kHz PCM in 100 ms chunks and the two text streams — about 27,000 chunks and
// 300 MB. Built once with our writer (no index) and copied back before every rebuild.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include "container/AviExport.h"
#include "container/AviValid.h"
#include "container/AviWriter.h"

namespace {

namespace fs = std::filesystem;
using namespace tq;

constexpr int kSeconds = 180, kFps = 30;

AviStreamHeader Header(const char* type, const char* handler, uint32_t rate, uint32_t sampleSize) {
  auto code = [](const char* s) {
    return uint32_t(uint8_t(s[0])) | uint32_t(uint8_t(s[1])) << 8 | uint32_t(uint8_t(s[2])) << 16 |
           uint32_t(uint8_t(s[3])) << 24;
  };
  AviStreamHeader h{};
  h.fccType = code(type);
  h.fccHandler = code(handler);
  h.dwScale = sampleSize ? sampleSize : 1;
  h.dwRate = rate;
  h.dwSampleSize = sampleSize;
  h.rcFrame.right = 1920;
  h.rcFrame.bottom = 1080;
  return h;
}

struct Recording {
  std::string dir, original, work;
  Recording() {
    dir = (fs::temp_directory_path() / ("tq_bench_avi_" + std::to_string(::getpid()))).string();
    fs::create_directories(dir);
    original = dir + "/original.avi";
    work = dir + "/work.avi";
    AviWriter::Options options;
    options.index = false;
    auto w = AviWriter::Create(original, 1000000 / kFps, options, nullptr);
    AviBitmapInfo bih{};
    bih.biSize = 40;
    bih.biWidth = 1920;
    bih.biHeight = 1080;
    AviWaveFormat wfx{1, 1, 16000, 32000, 2, 16, 0};
    w->AddStream(Header("vids", "H264", kFps, 0), &bih, sizeof bih, nullptr);
    w->AddStream(Header("vids", "H264", kFps, 0), &bih, sizeof bih, nullptr);
    w->AddStream(Header("auds", "\0\0\0\0", 32000, 2), &wfx, sizeof wfx, nullptr);
    w->AddStream(Header("txts", "GPSR", 1, 0), nullptr, 0, nullptr);
    w->AddStream(Header("txts", "SENS", kFps * 2, 0), nullptr, 0, nullptr);
    std::mt19937 rng(1);
    std::vector<uint8_t> data(200000, 0x5A);
    for (int frame = 0; frame < kSeconds * kFps; ++frame) {
      if (frame % 3 == 0) w->Write(2, data.data(), 3200, 0, nullptr);
      if (frame % kFps == 0) w->Write(3, data.data(), 80, 0, nullptr);
      w->Write(4, data.data(), 12, 0, nullptr);
      w->Write(4, data.data(), 12, 0, nullptr);
      const bool key = frame % kFps == 0;
      for (int cam = 0; cam < 2; ++cam) {
        const uint32_t size = (key ? 120000 : 30000 + rng() % 20000) / (cam + 1) & ~1u;
        data[0] = data[1] = data[2] = 0;
        data[3] = 1;
        data[4] = key ? 0x67 : 0x41;
        w->Write(cam, data.data(), size, key ? kAviKeyFrame : 0, nullptr);
      }
    }
    w->Finish(nullptr);
  }
  ~Recording() {
    std::error_code ec;
    fs::remove_all(dir, ec);
  }
};

Recording& Shared() {
  static Recording r;
  return r;
}

void BM_RebuildIndex(benchmark::State& state) {
  Recording& r = Shared();
  size_t entries = 0;
  for (auto _ : state) {
    state.PauseTiming();
    fs::copy_file(r.original, r.work, fs::copy_options::overwrite_existing);
    state.ResumeTiming();
    AVIINFO info{};
    if (ValidAVI(r.work, &info) != 1) state.SkipWithError("repair failed");
    entries = info.indexCount;
  }
  state.counters["entries"] = double(entries);
}
BENCHMARK(BM_RebuildIndex)->Unit(benchmark::kMillisecond)->Iterations(5);

void BM_ExportRearMinute(benchmark::State& state) {
  Recording& r = Shared();
  fs::copy_file(r.original, r.work, fs::copy_options::overwrite_existing);
  AVIINFO info{};
  if (ValidAVI(r.work, &info) != 1) {
    state.SkipWithError("repair failed");
    return;
  }
  auto source = MediaFile::Open(r.work, "rb");
  const std::string out = r.dir + "/export.avi";
  for (auto _ : state)
    if (ExportAVI(*source, out, info, 60, 119, true, false, true) != 1) state.SkipWithError("export failed");
  state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(fs::file_size(out)));
}
BENCHMARK(BM_ExportRearMinute)->Unit(benchmark::kMillisecond)->Iterations(5);

}  // namespace

BENCHMARK_MAIN();
