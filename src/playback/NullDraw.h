// The smallest renderer: takes the decoder's planes unconverted and shows nothing. The
// reference for a new back end: it keeps no state beyond the base class.
#pragma once

#include "playback/CDraw.h"

namespace tq {

class NullDraw final : public CDraw {
 public:
  int SetSourceSize(int width, int height) override {
    sourceWidth_ = width;
    sourceHeight_ = height;
    return kDrawI420;
  }
  int Init(DrawWindow window, int width, int height) override {
    window_ = window;
    return SetSourceSize(width, height);
  }
  bool Draw(const DrawPicture*, int, bool) override { return true; }
  bool Clear() override { return true; }
  bool CheckWindowSize() override { return true; }
  bool Present() override { return true; }
};

}  // namespace tq
