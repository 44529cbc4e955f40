// The raster back end: BGRA pictures converted by the view (format code 4), drawn with
// QPainter on the GUI thread. The view converts and scales each picture once, straight
// into the surface's image at the window's size (BeginDirect/EndDirect), so painting is
// a plain copy; nothing is converted for a hidden or covered window. Pictures handed to
// Draw are kept at their own size and stretched at every paint.
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
  bool BeginDirect(int pictureWidth, int pictureHeight, DirectTarget* target) override;
  bool EndDirect(int flags, bool present, bool converted) override;

 private:
  ViewSurface* surface() const { return static_cast<ViewSurface*>(window_); }
  bool direct_ = false;  // BeginDirect holds the slot mutex
};

}  // namespace tq
