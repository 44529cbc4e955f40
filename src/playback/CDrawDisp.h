// The renderer holder of one view and the process-wide choice of renderer kind.
//
// Kinds are tried in a fixed order: accelerated (planar YUV to the graphics card),
// surface (a YUV or RGB surface blitted to the window), raster (RGB stretched into a
// bitmap). A kind whose renderer fails to start is switched off for the rest of the
// process, so later views go straight to the next kind. The platform layer registers
// the back ends it has; without a registered raster back end the null renderer is used.
#pragma once

#include <atomic>
#include <functional>
#include <memory>
#include <string>

#include "playback/CDraw.h"

namespace tq {

enum class DrawKind { Accelerated = 0, Surface = 1, Raster = 2 };
constexpr int kDrawKinds = 3;

// Surface capability bits (which offscreen surfaces can be made).
constexpr int kSurfaceRgb = 1;
constexpr int kSurfaceI420 = 0x20;
constexpr int kSurfaceYv12 = 0x10;
constexpr int kSurfaceYuy2 = 8;

// Written by the probe and by failed renderer starts; read by every view.
struct DrawCapabilities {
  std::atomic<int> displayDepth{32};   // bits per pixel
  std::atomic<int> screenWidth{0};
  std::atomic<int> screenHeight{0};
  std::atomic<int> acceleratedUsable{0};  // 0/1
  std::atomic<int> surfaceUsable{0};      // kSurface* bits
  std::atomic<int> switchedOff{0};        // bit 1 << DrawKind of kinds that failed to start
};
DrawCapabilities& ProcessDrawCaps();

struct DrawBackend {
  // Makes a fresh, uninitialised renderer of this kind.
  std::function<std::unique_ptr<CDraw>()> create;
  // Probes the kind for a window and writes its capability into caps; may be empty.
  std::function<void(DrawWindow, DrawCapabilities&)> probe;
};

// Registers (or with an empty backend, removes) the back end of one kind for the process.
// A back end registered anew has not failed yet: its kind is no longer switched off.
void RegisterDrawBackend(DrawKind kind, DrawBackend backend);

// A renderer of this kind failed to start or to draw: not usable, and later probes leave
// it so for the rest of the process.
void SwitchOffDrawKind(DrawKind kind);

// Runs when a session window is created: probes every registered kind (kinds switched off
// stay off) and counts the processor cores for the decoders.
void ProbeDraw(DrawWindow window);

// "threads" option text for every decoder: min(cores, 4).
std::string DecoderThreadText();

class CDrawDisp {
 public:
  // Creates and initialises the view's renderer in the kind order. Returns its format
  // code (0 when even the last kind failed; the holder then has no renderer).
  int Select(DrawWindow window, int width, int height);
  CDraw* get() const { return draw_.get(); }
  DrawKind kind() const { return kind_; }

 private:
  std::unique_ptr<CDraw> draw_;
  DrawKind kind_ = DrawKind::Raster;
};

}  // namespace tq
