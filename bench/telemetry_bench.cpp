// Telemetry costs on the user-interface thread: parsing a full companion file when a
// recording opens, and the sample look-up at every position report during playback.
#include <benchmark/benchmark.h>

#include <string>
#include <vector>

#include "telemetry/GpsTrack.h"
#include "telemetry/TelemetryLoad.h"

namespace {

constexpr int64_t kStamp = 1704462301000;

// A companion file of RMC/GGA pairs one second apart, filling the telemetry buffer.
std::string FullCompanionText() {
  std::string text;
  for (int i = 0;; ++i) {
    std::string stamp = std::to_string(kStamp + int64_t(i) * 1000);
    std::string pair = "[" + stamp + "]$GPRMC,134501.00,A,3723.2475,N,12158.3416,W,10.0,54.7,050124,,,A*6A\r\n[" +
                       stamp + "]$GPGGA,134501.00,3723.2475,N,12158.3416,W,1,08,0.9,545.4,M,46.9,M,,*47\r\n";
    if (text.size() + pair.size() > tq::kTelemetryBufferSize - 1) break;
    text += pair;
  }
  return text;
}

void BM_ParseNmeaText_Full160KiB(benchmark::State& state) {
  const std::string text = FullCompanionText();
  size_t samples = 0;
  for (auto _ : state) {
    tq::GpsTrack track;
    track.startOfDay = 0;
    tq::ParseNmeaText(track, reinterpret_cast<const uint8_t*>(text.data()), int32_t(text.size()));
    samples = track.samples.size();
    benchmark::DoNotOptimize(track.samples.data());
  }
  state.counters["samples"] = double(samples);
  state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(text.size()));
}
BENCHMARK(BM_ParseNmeaText_Full160KiB)->Unit(benchmark::kMillisecond);

// Three minutes of 1 Hz samples, looked up 30 times a second from start to end.
void BM_FindSample_ThreeMinuteWalk(benchmark::State& state) {
  tq::GpsTrack track;
  track.startOfDay = 4950100;
  for (int i = 0; i < 180; ++i) {
    tq::GpsSample s;
    s.time = track.startOfDay + i * 100;
    track.samples.push_back(s);
  }
  constexpr int kLookups = 180 * 30;
  for (auto _ : state) {
    track.cursor = -1;
    tq::MapReport report;
    for (int k = 0; k < kLookups; ++k) {
      const tq::GpsSample* s = tq::FindSample(track, int64_t(k) * 1000 / 30, &report);
      benchmark::DoNotOptimize(s);
    }
  }
  state.SetItemsProcessed(int64_t(state.iterations()) * kLookups);
  state.counters["ns_per_lookup"] = benchmark::Counter(
      double(state.iterations()) * kLookups, benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}
BENCHMARK(BM_FindSample_ThreeMinuteWalk)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
