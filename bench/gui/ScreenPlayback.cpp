// On-screen playback cost: 1X playback of a generated front+rear pair (front 1920x1080,
// rear 1280x720, H.264 30 fps, 20 s) through the session window, once with the raster
// back end, once with OpenGL as the viewer picks it (pictures converted at the shown size
// on a software rasteriser, the decoder's planes on a GPU) and once with OpenGL forced to
// upload the decoder's planes (run under an X server: bench/screen_playback.sh uses
// xvfb-run). Reported per back end:
//   cpu_per_s       processor seconds (user + system, all threads) per second of playback
//   front_fps       front pictures presented on screen per second
// and the reference, measured in the same run: two `mpv --vo=x11 --ao=null` processes
// showing the same pair (front in a 1280x720 window, rear in 426x240, as the viewer shows
// them), and `mpv --vo=null` decoding the front file alone (both skipped with a message
// when mpv is not installed). The closing lines print each back end's cost as a ratio to
// the mpv pair and OpenGL's to raster's.
#include <benchmark/benchmark.h>

#include "BenchMedia.h"
#include <sys/resource.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>
#include <QTemporaryDir>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "container/Mp4Valid.h"
#include "playback/CDrawDisp.h"
#include "playback/gui/CDispWndWidget.h"
#include "playback/gui/CGlDraw.h"
#include "playback/gui/ScreenDraw.h"
#include "playback/gui/ViewSurface.h"

namespace tq {
namespace {

constexpr int kPlaySeconds = 12;
const BenchPair pair = NameBenchPair("20261205_130000");
const std::string& kDir = pair.dir;
const std::string& kFront = pair.front;
const std::string& kRear = pair.rear;

bool Run(const std::string& command) { return RunShell(command); }
bool EnsureMedia() {
  static const bool ok = MakeBenchPair(&pair, 20);
  return ok;
}

double CpuSeconds(int who) {
  rusage u{};
  getrusage(who, &u);
  return double(u.ru_utime.tv_sec + u.ru_stime.tv_sec) + double(u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

double rasterCpu = 0, openglCpu = 0, planesCpu = 0, mpvPairCpu = 0;  // per second of playback, this run

enum class Back { Raster, OpenGl, OpenGlPlanes };

void ScreenPlay(benchmark::State& state, Back back) {
  if (!EnsureMedia()) return state.SkipWithError("cannot generate the media");
  const bool accelerated = back != Back::Raster;
  CGlDraw::SetUpload(back == Back::OpenGlPlanes ? CGlDraw::Upload::Planes : CGlDraw::Upload::Auto);
  RegisterScreenDraw(accelerated, accelerated);
  QTemporaryDir settings;
  QObject owner;
  CDispWndWidget view(settings.path().toStdString(), &owner);
  if (accelerated && !ProcessDrawCaps().acceleratedUsable.load())
    return state.SkipWithError("no OpenGL context (run under an X server)");
  view.resize(1280, 720);
  view.SetPip(3);
  view.show();
  MP4INFO info;
  if (!ValidMP4(kFront, &info, 0)) {
    FreeMP4INFO(info);
    return state.SkipWithError("front file does not validate");
  }
  double cpu = 0, wall = 0;
  uint64_t presents = 0;
  int code = kDrawFailed;
  for (auto _ : state) {
    const uint64_t presents0 = view.FrontSurface()->presents();
    const double cpu0 = CpuSeconds(RUSAGE_SELF);
    QElapsedTimer timer;
    timer.start();
    view.Session().StartPlay(kFront, kRear, kSourceMp4, &info, 0);
    // An event loop that sleeps between events, as the viewer's own does (a loop of
    // processEvents calls would spin and bill its polling to the back end).
    QEventLoop loop;
    QTimer::singleShot(kPlaySeconds * 1000, &loop, &QEventLoop::quit);
    loop.exec();
    code = view.Session().formatCode();
    view.Session().StopPlay();
    wall = timer.elapsed() / 1000.0;
    cpu = CpuSeconds(RUSAGE_SELF) - cpu0;
    presents = view.FrontSurface()->presents() - presents0;
    state.SetIterationTime(wall);
  }
  FreeMP4INFO(info);
  state.counters["cpu_per_s"] = cpu / wall;
  state.counters["front_fps"] = double(presents) / wall;
  (back == Back::Raster ? rasterCpu : back == Back::OpenGl ? openglCpu : planesCpu) = cpu / wall;
  std::string label = "no renderer";
  if (view.Session().renderer() && !accelerated) label = "raster";
  else if (view.Session().renderer())
    label = std::string("OpenGL, ") + (code == kDrawRgb32 ? "shown-size BGRA" : "decoder planes") +
            (CGlDraw::SoftwareRenderer() ? ", software renderer" : "");
  state.SetLabel(label);
}

void MpvPair(benchmark::State& state) {
  if (!EnsureMedia()) return state.SkipWithError("cannot generate the media");
  if (!Run("command -v mpv >/dev/null 2>&1")) return state.SkipWithError("mpv is not installed");
  const std::string common = "mpv --really-quiet --no-config --vo=x11 --ao=null --no-border --length=" +
                             std::to_string(kPlaySeconds);
  double cpu = 0, wall = 0;
  for (auto _ : state) {
    const double cpu0 = CpuSeconds(RUSAGE_CHILDREN);
    const auto t0 = std::chrono::steady_clock::now();
    // Both at once, each with its own window; the shell waits for the pair.
    Run("(" + common + " --geometry=1280x720+0+0 '" + kFront + "' >/dev/null 2>&1 & " + common +
        " --geometry=426x240+850+475 '" + kRear + "' >/dev/null 2>&1 & wait)");
    wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
    cpu = CpuSeconds(RUSAGE_CHILDREN) - cpu0;
    state.SetIterationTime(wall);
  }
  mpvPairCpu = cpu / wall;
  state.counters["cpu_per_s"] = mpvPairCpu;
  state.SetLabel("two mpv --vo=x11 --ao=null, front 1280x720 and rear 426x240 windows");
}

void MpvNull(benchmark::State& state) {
  if (!EnsureMedia()) return state.SkipWithError("cannot generate the media");
  if (!Run("command -v mpv >/dev/null 2>&1")) return state.SkipWithError("mpv is not installed");
  double cpu = 0, wall = 0;
  for (auto _ : state) {
    const double cpu0 = CpuSeconds(RUSAGE_CHILDREN);
    const auto t0 = std::chrono::steady_clock::now();
    Run("mpv --really-quiet --no-config --vo=null --ao=null --length=" + std::to_string(kPlaySeconds) + " '" +
        kFront + "' >/dev/null 2>&1");
    wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
    cpu = CpuSeconds(RUSAGE_CHILDREN) - cpu0;
    state.SetIterationTime(wall);
  }
  state.counters["cpu_per_s"] = cpu / wall;
  state.SetLabel("mpv --vo=null --ao=null, front file alone");
}

}  // namespace
}  // namespace tq

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  benchmark::Initialize(&argc, argv);
  benchmark::RegisterBenchmark("ScreenPlay1X/raster", tq::ScreenPlay, tq::Back::Raster)->Iterations(1)->UseManualTime()->Unit(benchmark::kSecond);
  benchmark::RegisterBenchmark("ScreenPlay1X/opengl", tq::ScreenPlay, tq::Back::OpenGl)->Iterations(1)->UseManualTime()->Unit(benchmark::kSecond);
  benchmark::RegisterBenchmark("ScreenPlay1X/opengl-planes", tq::ScreenPlay, tq::Back::OpenGlPlanes)->Iterations(1)->UseManualTime()->Unit(benchmark::kSecond);
  benchmark::RegisterBenchmark("MpvNull1X/front", tq::MpvNull)->Iterations(1)->UseManualTime()->Unit(benchmark::kSecond);
  benchmark::RegisterBenchmark("MpvPair1X/x11", tq::MpvPair)->Iterations(1)->UseManualTime()->Unit(benchmark::kSecond);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  // Ratios of this run only: single figures are noisy on a shared machine.
  if (tq::mpvPairCpu > 0 && tq::rasterCpu > 0)
    std::printf("raster / mpv pair: %.2f (goal <= 1.0)\n", tq::rasterCpu / tq::mpvPairCpu);
  if (tq::mpvPairCpu > 0 && tq::openglCpu > 0)
    std::printf("OpenGL / mpv pair: %.2f\n", tq::openglCpu / tq::mpvPairCpu);
  if (tq::rasterCpu > 0 && tq::openglCpu > 0)
    std::printf("OpenGL / raster: %.2f (goal <= 1.0)\n", tq::openglCpu / tq::rasterCpu);
  if (tq::rasterCpu > 0 && tq::planesCpu > 0)
    std::printf("OpenGL with the decoder's planes / raster: %.2f\n", tq::planesCpu / tq::rasterCpu);
  return 0;
}
