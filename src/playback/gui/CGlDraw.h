// The accelerated back end: the decoder's planar YUV goes to an OpenGL canvas unconverted
// (format code 32) and is turned into RGB by a shader on the GUI thread.
//
// DrawWindow: a ViewSurface* whose OpenGL canvas exists (ViewSurface::EnableAccelerated);
// Init fails without one. Draw copies the planes into the surface's slot under the slot
// mutex and queues a present; it never waits for the GUI thread.
#pragma once

#include "playback/CDraw.h"

namespace tq {

class ViewSurface;

class CGlDraw final : public CDraw {
 public:
  int Init(DrawWindow window, int width, int height) override;
  int SetSourceSize(int width, int height) override;
  bool Draw(const DrawPicture* picture, int flags, bool present) override;
  bool Clear() override;
  // The canvas follows its window's size itself; nothing here depends on it.
  bool CheckWindowSize() override { return true; }
  bool Present() override;

  // GUI thread: whether an OpenGL context with the YUV program can be made in this process.
  static bool ProbeContext();

 private:
  ViewSurface* surface() const { return static_cast<ViewSurface*>(window_); }
  bool CanvasFailed() const;
};

}  // namespace tq
