// Playback engine timings on a generated 3-minute pair (front 1920x1080, rear 1280x720,
// H.264 30 fps), made once into the build folder by the sample generator:
//   FirstPicture     StartPlay to the first front picture drawn
//   Play1X           10 s of 1X front+rear: late pictures, front/rear media-time gap
//   Play4X           15 s of 4X front+rear: media seconds per wall second, and the same
//                    against `ffmpeg -threads 2` decoding both files to null (the limit)
//   StepBackCached   one step back inside the kept run of stepped pictures
//   StepBackBoundary one step back across a second boundary (decodes a key-frame interval);
//                    vs_gop: its time over ffmpeg decoding one second of both files, this run
//   StepBackWithin   after crossing a boundary, each further step back in the kept interval;
//                    rss_kept_MB / rss_released_MB: resident memory with the interval's
//                    pictures kept and after a seek released them
// Peak memory (VmHWM) is reported with Play1X.
#include <benchmark/benchmark.h>

#include "BenchMedia.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <string>
#include <thread>

#include "container/Mp4Reader.h"
#include "container/Mp4Valid.h"
#include "platform/Clock.h"
#include "playback/CDispWnd.h"
#include "playback/CaptureDraw.h"

namespace tq {
namespace {

const BenchPair pair = NameBenchPair("20261205_120000");
const std::string& kDir = pair.dir;
const std::string& kFront = pair.front;
const std::string& kRear = pair.rear;

bool Run(const std::string& command) { return RunShell(command); }
bool EnsureMedia() {
  static const bool ok = MakeBenchPair(&pair, 180);
  return ok;
}

double FfmpegDecodeSeconds() {
  static const double seconds = [] {
    const auto t0 = std::chrono::steady_clock::now();
    Run("ffmpeg -v error -nostdin -threads 2 -i '" + kFront + "' -threads 2 -i '" + kRear +
        "' -map 0:v -map 1:v -f null - >/dev/null 2>&1");
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
  }();
  return seconds;
}

long StatusKb(const char* key) {
  std::ifstream in("/proc/self/status");
  std::string line;
  while (std::getline(in, line))
    if (line.rfind(key, 0) == 0) return std::atol(line.c_str() + std::strlen(key));
  return 0;
}
long PeakRssKb() { return StatusKb("VmHWM:"); }

class Monitor final : public MessageSink, public PlaybackObserver {
 public:
  void post(uint32_t msg, int64_t w, int64_t l) override {
    if (msg == kMsgPlay && w == kPlayEndOrRear && l == kEndPresented) ended = true;
  }
  void Presented(int view, uint32_t timeMs, uint64_t tickMs) override {
    std::lock_guard<std::mutex> lock(mutex);
    if (!anchored) {
      anchored = true;
      anchorTick = tickMs;
      anchorTime = timeMs;
      firstTick = tickMs;
      firstTime = timeMs;
    }
    const double due = double(anchorTick) + (double(timeMs) - double(anchorTime)) / factor;
    const double late = double(tickMs) - due;
    if (late > 1000.0 / 30.0 / factor) ++lateFrames;
    maxLate = std::max(maxLate, late);
    last[view] = timeMs;
    if (view == 0) {
      lastTick = tickMs;
      lastTime = timeMs;
      ++presented;
    }
    if (last[0] >= 0 && last[1] >= 0) syncMax = std::max(syncMax, std::abs(last[0] - last[1]));
  }
  std::mutex mutex;
  double factor = 1.0;
  bool anchored = false;
  uint64_t anchorTick = 0, firstTick = 0, lastTick = 0;
  uint32_t anchorTime = 0, firstTime = 0, lastTime = 0;
  int64_t last[2] = {-1, -1};
  int64_t syncMax = 0;
  double maxLate = 0;
  long lateFrames = 0;
  long presented = 0;
  std::atomic<bool> ended{false};
};

struct Harness {
  CaptureWindow front{0};  // draws are counted, pictures not kept
  CaptureWindow rear{0};
  Monitor monitor;
  std::string scratch = kDir + "/scratch";
  std::unique_ptr<CDispWnd> session;
  uint64_t startTick = 0;

  explicit Harness(double factor) {
    monitor.factor = factor;
    std::filesystem::create_directories(scratch);
    RegisterDrawBackend(DrawKind::Raster, DrawBackend{[] { return std::make_unique<CaptureDraw>(); }, {}});
    SessionOptions o;
    o.settingsFolder = scratch;
    o.frontWindow = &front;
    o.rearWindow = &rear;
    session = std::make_unique<CDispWnd>(&monitor, o, &monitor);
  }
  void Start(int speed, int startSecond) {
    MP4INFO info;
    uint64_t length = 0;
    ScanMP4(kFront, &info, 0, &length);
    session->SetSpeed(speed);
    startTick = TickCountMs();
    session->StartPlay(kFront, kRear, kSourceMp4, &info, startSecond);
    FreeMP4INFO(info);
  }
  void WaitIndexed() {
    while (!session->indexComplete()) std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
};

void FirstPicture(benchmark::State& state) {
  if (!EnsureMedia()) return state.SkipWithError("cannot generate the recordings");
  for (auto _ : state) {
    Harness h(1.0);
    h.Start(kSpeed1X, 0);
    while (h.front.drawn() == 0) std::this_thread::sleep_for(std::chrono::microseconds(200));
    uint64_t first = 0;
    {
      std::lock_guard<std::mutex> lock(h.monitor.mutex);
      first = h.monitor.firstTick;
    }
    state.SetIterationTime(double(first - h.startTick) / 1000.0);
    h.session->StopPlay();
  }
}
BENCHMARK(FirstPicture)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(5);

void PlayFor(benchmark::State& state, int speed, double factor, int seconds) {
  if (!EnsureMedia()) return state.SkipWithError("cannot generate the recordings");
  for (auto _ : state) {
    Harness h(factor);
    h.Start(speed, 0);
    std::this_thread::sleep_for(std::chrono::seconds(seconds));
    h.session->StopPlay();
    std::lock_guard<std::mutex> lock(h.monitor.mutex);
    const double wall = double(h.monitor.lastTick - h.monitor.firstTick);
    const double speedNow = wall > 0 ? (h.monitor.lastTime - h.monitor.firstTime) / wall : 0;
    state.counters["effective_speed"] = speedNow;
    state.counters["frames_presented"] = double(h.monitor.presented);
    state.counters["frames_late"] = double(h.monitor.lateFrames);
    state.counters["max_late_ms"] = h.monitor.maxLate;
    state.counters["sync_max_ms"] = double(h.monitor.syncMax);
    state.counters["peak_rss_MB"] = double(PeakRssKb()) / 1024.0;
    if (speed == kSpeed4X) {
      const double limit = 180.0 / FfmpegDecodeSeconds();
      state.counters["ffmpeg_speed"] = limit;
      state.counters["vs_ffmpeg"] = speedNow / limit;
    }
  }
}
void Play1X(benchmark::State& state) { PlayFor(state, kSpeed1X, 1.0, 10); }
void Play4X(benchmark::State& state) { PlayFor(state, kSpeed4X, 4.0, 15); }
BENCHMARK(Play1X)->Unit(benchmark::kSecond)->Iterations(1);
BENCHMARK(Play4X)->Unit(benchmark::kSecond)->Iterations(1);

// Paused at 60 s (a key frame), stepped some frames into the second.
void StepBack(benchmark::State& state, bool boundary) {
  if (!EnsureMedia()) return state.SkipWithError("cannot generate the recordings");
  Harness h(1.0);
  h.Start(kSpeed1X, 999);
  h.WaitIndexed();
  double totalMs = 0;
  int steps = 0;
  for (auto _ : state) {
    state.PauseTiming();
    h.session->Seek(60000);
    if (!boundary)
      for (int i = 0; i < 10; ++i) h.session->Step(true);
    state.ResumeTiming();
    const auto t0 = std::chrono::steady_clock::now();
    h.session->Step(false);
    totalMs += std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - t0).count();
    ++steps;
  }
  if (boundary) {
    const double gop = FfmpegDecodeSeconds() / 180.0 * 1000.0;
    state.counters["gop_decode_ms"] = gop;
    if (steps > 0 && gop > 0) state.counters["vs_gop"] = totalMs / steps / gop;
  }
  h.session->StopPlay();
}
void StepBackCached(benchmark::State& state) { StepBack(state, false); }
void StepBackBoundary(benchmark::State& state) { StepBack(state, true); }
BENCHMARK(StepBackCached)->Unit(benchmark::kMillisecond)->Iterations(20);
BENCHMARK(StepBackBoundary)->Unit(benchmark::kMillisecond)->Iterations(10);

// Seeks to 60 s, steps back once into the previous second (one interval decoded and
// kept), then times the steps back through it.
void StepBackWithin(benchmark::State& state) {
  if (!EnsureMedia()) return state.SkipWithError("cannot generate the recordings");
  Harness h(1.0);
  h.Start(kSpeed1X, 999);
  h.WaitIndexed();
  double worstMs = 0;
  long keptKb = 0, releasedKb = 0;
  int kept = 0, keptAfterSeek = -1;
  for (auto _ : state) {
    state.PauseTiming();
    h.session->Seek(60000);
    h.session->Step(false);
    state.ResumeTiming();
    for (int i = 0; i < 20; ++i) {
      const auto t0 = std::chrono::steady_clock::now();
      h.session->Step(false);
      worstMs = std::max(worstMs, std::chrono::duration<double, std::milli>(
                                      std::chrono::steady_clock::now() - t0).count());
    }
    state.PauseTiming();
    keptKb = StatusKb("VmRSS:");
    kept = h.session->keptPictures() + h.session->rearView().keptPictures();
    h.session->Seek(30000);
    releasedKb = StatusKb("VmRSS:");
    keptAfterSeek = h.session->keptPictures() + h.session->rearView().keptPictures();
    state.ResumeTiming();
  }
  state.counters["worst_step_ms"] = worstMs;
  state.counters["kept_pictures"] = kept;
  state.counters["kept_after_seek"] = keptAfterSeek;
  state.counters["rss_kept_MB"] = double(keptKb) / 1024.0;
  state.counters["rss_released_MB"] = double(releasedKb) / 1024.0;
  state.counters["peak_rss_MB"] = double(PeakRssKb()) / 1024.0;
  h.session->StopPlay();
}
BENCHMARK(StepBackWithin)->Unit(benchmark::kMillisecond)->Iterations(3);

}  // namespace
}  // namespace tq

BENCHMARK_MAIN();
