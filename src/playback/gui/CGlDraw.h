// The accelerated back end, in one of two ways of handing pictures to the OpenGL canvas:
//   planes      the decoder's planar YUV goes over unconverted (format code 32), at the
//               picture's size; a shader converts and the GPU scales.
//   shown size  the view converts and scales each picture once with swscale, straight
//               into the surface's BGRA image at the canvas's size (format code 4,
//               BeginDirect/EndDirect as the raster back end); the canvas uploads only
//               those window-sized pixels into a texture kept at its size.
// On a real GPU the planes are cheaper (a smaller upload, scaling for free). On a
// software rasteriser (Mesa's llvmpipe or softpipe) every GPU pixel is CPU work, and the
// shown-size way costs no more than the raster back end plus one upload: Auto picks it
// there, by the renderer string the probe read.
//
// DrawWindow: a ViewSurface* whose OpenGL canvas exists (ViewSurface::EnableAccelerated);
// Init fails without one. Draw copies the picture into the surface's slot under the slot
// mutex and queues a present; it never waits for the GUI thread.
#pragma once

#include <atomic>

#include "playback/CDraw.h"

namespace tq {

class ViewSurface;

class CGlDraw final : public CDraw {
 public:
  enum class Upload : int { Auto, Planes, ShownSize };

  int Init(DrawWindow window, int width, int height) override;
  int SetSourceSize(int width, int height) override;
  bool Draw(const DrawPicture* picture, int flags, bool present) override;
  bool Clear() override;
  // The canvas follows its window's size itself; nothing here depends on it.
  bool CheckWindowSize() override { return true; }
  bool Present() override;
  bool BeginDirect(int pictureWidth, int pictureHeight, DirectTarget* target) override;
  bool EndDirect(int flags, bool present, bool converted) override;

  // GUI thread: whether an OpenGL context with the YUV program can be made in this
  // process; also notes whether it renders in software.
  static bool ProbeContext();
  // Any thread. The way renderers initialised from now on hand pictures over (Auto: by
  // the renderer the probe found), and the way Auto resolves to.
  static void SetUpload(Upload upload) { upload_.store(int(upload)); }
  static Upload ChosenUpload();
  static bool SoftwareRenderer() { return software_.load(); }

 private:
  ViewSurface* surface() const { return static_cast<ViewSurface*>(window_); }
  bool CanvasFailed() const;
  bool DrawPlanesLocked(const DrawPicture& picture);
  bool DrawPackedLocked(const DrawPicture& picture);

  bool shownSize_ = false;  // chosen at Init
  bool direct_ = false;     // BeginDirect holds the slot mutex
  static std::atomic<int> upload_;
  static std::atomic<bool> software_;
};

}  // namespace tq
