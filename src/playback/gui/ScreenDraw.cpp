#include "playback/gui/ScreenDraw.h"

#include <memory>

#include "app/TraceLog.h"
#include "playback/CDrawDisp.h"
#include "playback/gui/CGlDraw.h"
#include "playback/gui/CRasterDraw.h"

namespace tq {
namespace {
bool registered = false;  // GUI thread
}  // namespace

void RegisterScreenDraw(bool accelerated, bool softwareGl) {
  registered = true;
  DrawBackend gl;
  if (accelerated) {
    gl.create = [] { return std::unique_ptr<CDraw>(std::make_unique<CGlDraw>()); };
    gl.probe = [softwareGl](DrawWindow, DrawCapabilities& caps) {
      bool usable = CGlDraw::ProbeContext();
      if (usable && CGlDraw::SoftwareRenderer() && !softwareGl) {
        TraceLog("RegisterScreenDraw", __LINE__,
                 "OpenGL renders in software here: the raster back end draws instead\n");
        usable = false;
      }
      caps.acceleratedUsable.store(usable ? 1 : 0);
    };
  }
  RegisterDrawBackend(DrawKind::Accelerated, std::move(gl));
  DrawBackend raster;
  raster.create = [] { return std::unique_ptr<CDraw>(std::make_unique<CRasterDraw>()); };
  raster.probe = [](DrawWindow, DrawCapabilities& caps) { caps.displayDepth.store(32); };
  RegisterDrawBackend(DrawKind::Raster, std::move(raster));
}

void EnsureScreenDraw() {
  if (!registered) RegisterScreenDraw(true);
}

}  // namespace tq
