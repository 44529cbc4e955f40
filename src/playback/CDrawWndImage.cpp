// The view's get-image for capture and print: the decoded picture converted to BGR24
// independent of the renderer, zoom and picture flags.
#include "playback/CDrawWnd.h"

#include <new>

extern "C" {
#include <libswscale/swscale.h>
}

#include "app/TraceLog.h"

namespace tq {
namespace {

struct SwsFree {
  void operator()(SwsContext* c) const { sws_freeContext(c); }
};

}  // namespace

bool CDrawWnd::GetImage(std::vector<uint8_t>* bgr, int* w, int* h) {
  // The picture slot is written by play_thread only while it plays; the caller has it
  // paused. The frame mutex keeps a redraw from converting the slot at the same time.
  std::lock_guard<std::mutex> lock(frameMutex);
  const AVFrame* p = picture_.get();
  if (!p || !p->data[0] || p->width <= 0 || p->height <= 0) return false;
  std::unique_ptr<SwsContext, SwsFree> sws(sws_getContext(p->width, p->height, AVPixelFormat(p->format), p->width,
                                                          p->height, AV_PIX_FMT_BGR24, SWS_BICUBIC, nullptr,
                                                          nullptr, nullptr));
  if (!sws) {
    TraceLog("CDrawWnd::GetImage", __LINE__, "no conversion to BGR24 for %dx%d %s\n", p->width, p->height,
             path_.c_str());
    return false;
  }
  const size_t stride = size_t(p->width) * 3;
  try {
    bgr->assign(stride * size_t(p->height), 0);
  } catch (const std::bad_alloc&) {
    return false;
  }
  uint8_t* planes[4] = {bgr->data(), nullptr, nullptr, nullptr};
  int lines[4] = {int(stride), 0, 0, 0};
  if (sws_scale(sws.get(), p->data, p->linesize, 0, p->height, planes, lines) != p->height) return false;
  *w = p->width;
  *h = p->height;
  return true;
}

}  // namespace tq
