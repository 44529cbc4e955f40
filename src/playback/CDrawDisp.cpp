#include "playback/CDrawDisp.h"

#include <algorithm>
#include <array>
#include <mutex>
#include <thread>

#include "playback/NullDraw.h"

namespace tq {
namespace {

constexpr int kMaxDecoderThreads = 4;

struct Registry {
  std::mutex mutex;  // guards backends and threadText
  std::array<DrawBackend, kDrawKinds> backends;
  std::string threadText = "1";
};

Registry& TheRegistry() {
  static Registry registry;
  return registry;
}

DrawBackend BackendOf(DrawKind kind) {
  Registry& r = TheRegistry();
  std::lock_guard<std::mutex> lock(r.mutex);
  return r.backends[size_t(kind)];
}

}  // namespace

DrawCapabilities& ProcessDrawCaps() {
  static DrawCapabilities caps;
  return caps;
}

void RegisterDrawBackend(DrawKind kind, DrawBackend backend) {
  Registry& r = TheRegistry();
  std::lock_guard<std::mutex> lock(r.mutex);
  r.backends[size_t(kind)] = std::move(backend);
  ProcessDrawCaps().switchedOff.fetch_and(~(1 << int(kind)));
}

void SwitchOffDrawKind(DrawKind kind) {
  DrawCapabilities& caps = ProcessDrawCaps();
  caps.switchedOff.fetch_or(1 << int(kind));
  if (kind == DrawKind::Accelerated) caps.acceleratedUsable.store(0);
  if (kind == DrawKind::Surface) caps.surfaceUsable.store(0);
}

void ProbeDraw(DrawWindow window) {
  DrawCapabilities& caps = ProcessDrawCaps();
  caps.acceleratedUsable = 0;
  caps.surfaceUsable = 0;
  for (DrawKind kind : {DrawKind::Accelerated, DrawKind::Surface, DrawKind::Raster}) {
    DrawBackend b = BackendOf(kind);
    if (b.create && b.probe) b.probe(window, caps);
  }
  // Every session window probes again; a kind that failed stays off all the same.
  const int off = caps.switchedOff.load();
  if (off & (1 << int(DrawKind::Accelerated))) caps.acceleratedUsable.store(0);
  if (off & (1 << int(DrawKind::Surface))) caps.surfaceUsable.store(0);
  const unsigned cores = std::max(1u, std::thread::hardware_concurrency());
  Registry& r = TheRegistry();
  std::lock_guard<std::mutex> lock(r.mutex);
  r.threadText = std::to_string(std::min<unsigned>(cores, kMaxDecoderThreads));
}

std::string DecoderThreadText() {
  Registry& r = TheRegistry();
  std::lock_guard<std::mutex> lock(r.mutex);
  return r.threadText;
}

int CDrawDisp::Select(DrawWindow window, int width, int height) {
  draw_.reset();
  DrawCapabilities& caps = ProcessDrawCaps();
  struct Step {
    DrawKind kind;
    std::atomic<int>* usable;
  };
  const Step steps[] = {{DrawKind::Accelerated, &caps.acceleratedUsable},
                        {DrawKind::Surface, &caps.surfaceUsable}};
  for (const Step& s : steps) {
    if (!s.usable->load()) continue;
    DrawBackend b = BackendOf(s.kind);
    if (b.create) {
      std::unique_ptr<CDraw> d = b.create();
      const int code = d ? d->Init(window, width, height) : kDrawFailed;
      if (code != kDrawFailed) {
        draw_ = std::move(d);
        kind_ = s.kind;
        return code;
      }
    }
    SwitchOffDrawKind(s.kind);  // failed once: off for the rest of the process
  }
  DrawBackend raster = BackendOf(DrawKind::Raster);
  std::unique_ptr<CDraw> d = raster.create ? raster.create() : std::make_unique<NullDraw>();
  kind_ = DrawKind::Raster;
  const int code = d ? d->Init(window, width, height) : kDrawFailed;
  if (code != kDrawFailed) draw_ = std::move(d);
  return code;
}

}  // namespace tq
