// The raster back end: BGRA pictures converted by the view (format code 4), drawn with
// QPainter on the GUI thread. The last picture is kept at its own size and stretched
// over the window at every paint, so a resized window shows it until the next one.
//
// DrawWindow: a ViewSurface*. Draw copies the picture into the surface's slot under the
// slot mutex and queues a present; it never waits for the GUI thread.
#pragma once

#include "playback/CDraw.h"

namespace tq {

class ViewSurface;

class CRasterDraw final : public CDraw {
 public:
  int Init(DrawWindow window, int width, int height) override;
  int SetSourceSize(int width, int height) override;
  bool Draw(const DrawPicture* picture, int flags, bool present) override;
  bool Clear() override;
  // Stretching happens at paint time; nothing is kept at the window's size.
  bool CheckWindowSize() override { return true; }
  bool Present() override;

 private:
  ViewSurface* surface() const { return static_cast<ViewSurface*>(window_); }
};

}  // namespace tq
