// Validation and repair of a 3-minute 1920x1080 H.264 recording with sound, against
// reading the same file from the page cache with cat.
//   BM_ValidComplete        ValidMP4 of the complete file (goal: under 1 ms)
//   BM_RepairMissingMoov    ValidMP4 repairing the same recording without its moov
//                           (goal: under 10% of BM_CatPageCache)
//   BM_CatPageCache         `cat FILE > /dev/null`, the file already cached
// BM_RepairMissingMoov also times, in the same run, the walk of the frame records alone
// over a memory map of the file (map_walk_ms): the other way to reach the records, which
// costs a page fault where the repair's walk costs one small read.
// The recording is made once (by the sample generator) and kept in the build folder.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <sys/mman.h>
#include <unistd.h>

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
#include "container/Mp4Writer.h"

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

// Without the generator (or with TQ_BENCH_SYNTHETIC set), the complete recording is built
// in the camera's layout with the writer: 180 s of
// 30 fps 1920x1080 H.264-sized samples (a 150 KB key frame every second, 45 KB otherwise:
// about 260 MB) and AAC at 16 kHz mono (1024 samples a frame, within the index's 2912).
// Sample bytes are filler: validation and repair only read frame records and boxes.
constexpr int kSeconds = 180;
constexpr int kFps = 30;
constexpr uint32_t kKeyBytes = 150000;
constexpr uint32_t kFrameBytes = 45000;
constexpr uint32_t kSoundRate = 16000;
constexpr uint32_t kSoundFrame = 1024;
constexpr uint32_t kSoundBytes = 180;

void Describe(tq::MP4INFO& info) {
  tq::PTVIBOX& vi = info.ptrh.vi;
  vi.streamNumber = 1;
  vi.codec = tq::kCodecAvc1;
  vi.width = 1920;
  vi.height = 1080;
  vi.config = {{{0x67, 0x64, 0x00, 0x28, 0xac, 0xd9}, 6}, {{0x68, 0xeb, 0xe3, 0xcb}, 4}};
  vi.nConfigNum = 2;
  tq::PTSOBOX& so = info.ptrh.so;
  so.streamNumber = 2;
  so.codec = tq::kCodecMp4a;
  so.channelCount = 1;
  so.bitsPerSample = 16;
  so.sampleRate = kSoundRate;
  info.ptrh.box = {8, 8};
  info.ptrh.ptvi = {8, 8};
  info.ptrh.ptso = {8, 8};
  std::snprintf(info.ptnmName, sizeof info.ptnmName, "TQ-MB20");
}

bool BuildComplete(const std::string& path) {
  auto info = std::make_unique<tq::MP4INFO>();
  Describe(*info);
  auto f = tq::MediaFile::Open(path, "wb+");
  uint32_t pos = 0;
  if (!f || !tq::WriteMovieHead(*f, &pos, 1764922500000ull, *info, true)) return false;
  info->mdat = {0, pos};
  info->sttm = {16, 8};
  tq::MP4MBOX_NODE video, sound;
  if (!tq::CreateFixedSizeTrak(video, tq::kVideoSampleCapacity, true) ||
      !tq::CreateFixedSizeTrak(sound, tq::kSoundSampleCapacity, false))
    return false;
  std::vector<uint8_t> sample(kKeyBytes, 0x5A);
  uint32_t soundIndex = 0;
  for (int i = 0; i < kSeconds * kFps; ++i) {
    uint32_t t = uint32_t(i) * 1000 / kFps;
    for (;;) {
      uint32_t st = uint32_t(uint64_t(soundIndex) * kSoundFrame * 1000 / kSoundRate);
      if (st > t) break;
      if (!tq::WriteSample(*f, &pos, sound, sample.data(), kSoundBytes, 0, st, false,
                           tq::kCodecMp4a))
        return false;
      ++soundIndex;
    }
    bool key = i % kFps == 0;
    uint32_t size = key ? kKeyBytes : kFrameBytes;
    tq::PutU32(sample.data(), size - 4);  // one NAL unit with its 4-byte length
    sample[4] = key ? 0x65 : 0x41;        // IDR slice or not
    if (!tq::WriteSample(*f, &pos, video, sample.data(), size, 4, t, false, tq::kCodecAvc1))
      return false;
  }
  return tq::WriteMoov(*f, &pos, *info, &video, &sound, nullptr, pos) != 0;
}

// A real encoded recording from the sample generator at a camera's data rate (12 Mbit/s:
// about 270 MB in three minutes; AAC at 16 kHz keeps the sound within the index's 2912
// samples). Encoding three minutes of 1080p takes a while; it is done once per build.
bool Generate(const fs::path& out) {
  fs::path gen = fs::path(TQ_BUILD_DIR) / "tqmb20-gen";
  if (std::getenv("TQ_BENCH_SYNTHETIC") || !fs::exists(gen)) return false;
  return Run(gen.string() + " -q --duration " + std::to_string(kSeconds) +
             " --size 1920x1080 --bitrate 12000 --audio-rate 16000 -o " + out.string());
}

bool EnsureComplete() {
  if (fs::exists(kComplete)) return true;
  fs::create_directories(kDir);
  fs::path tmp = kComplete.string() + ".part";
  if (!Generate(tmp) && !BuildComplete(tmp.string())) return false;
  fs::rename(tmp, kComplete);
  return true;
}

struct Unfinished {
  uint32_t length = 0;           // the file ends where the moov began
  uint32_t payload = 0;          // the first frame record
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
  u->payload = mdatPayload;
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
  // Let the restored bytes reach the disk now: a write to a page still under writeback
  // waits for it, which would bill the next repair for this restore.
  return Run("sync " + kUnfinished.string());
}

// The frame-record walk alone over a memory map (stream, key, time, size, extra; the
// sample follows after `extra` bytes). Returns the fastest of three, in milliseconds.
double MapWalkMs(const std::string& path, uint64_t payload, uint32_t* records) {
  int fd = ::open(path.c_str(), O_RDONLY);
  if (fd < 0) return 0;
  const uint64_t length = uint64_t(::lseek(fd, 0, SEEK_END));
  double best = 1e9;
  for (int i = 0; i < 3; ++i) {
    best = std::min(best, MillisecondsOf([&] {
      void* m = ::mmap(nullptr, length, PROT_READ, MAP_SHARED, fd, 0);
      if (m == MAP_FAILED) return;
      const auto* p = static_cast<const uint8_t*>(m);
      uint32_t n = 0;
      for (uint64_t pos = payload; pos + 16 <= length; ++n) {
        const uint16_t stream = tq::GetU16(p + pos);
        if (stream != 1 && stream != 2) break;
        pos += 16 + uint64_t(tq::GetU32(p + pos + 12)) + tq::GetU32(p + pos + 8);
      }
      *records = n;
      ::munmap(m, length);
    }));
  }
  ::close(fd);
  return best;
}

void BM_ValidComplete(benchmark::State& state) {
  if (!EnsureComplete()) return state.SkipWithError("cannot build the recording");
  for (auto _ : state) {
    auto info = std::make_unique<tq::MP4INFO>();
    int ok = tq::ValidMP4(kComplete.string(), info.get(), 0);
    tq::FreeMP4INFO(*info);
    if (!ok) return state.SkipWithError("the complete recording is not valid");
  }
}
BENCHMARK(BM_ValidComplete)->Unit(benchmark::kMicrosecond);

void BM_CatPageCache(benchmark::State& state) {
  if (!EnsureComplete()) return state.SkipWithError("cannot build the recording");
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
  uint32_t records = 0;
  const double mapMs = MapWalkMs(kUnfinished.string(), u.payload, &records);
  state.counters["map_walk_ms"] = mapMs;
  state.counters["map_walk_vs_cat_pct"] = 100.0 * mapMs / catMs;
  state.counters["records"] = records;
}
BENCHMARK(BM_RepairMissingMoov)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
