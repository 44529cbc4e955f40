#include "app/gui/MainLayout.h"

#include <algorithm>

namespace tq {

LayoutValues InitialLayoutValues(int s) {
  LayoutValues v;
  v.scale = s;
  v.titleHeight = 33 * s + 30;
  v.contentTop = 35 * s + v.titleHeight;
  v.timelineHeight = 152 * s + 27;
  v.leftWidth = 224 * s;
  v.leftSplit = kMinFrameHeight * s - v.timelineHeight - 17;
  return v;
}

MainRects LayoutMain(int W, int H, LayoutValues* v) {
  const int s = v->scale, b = v->border, x0 = b + 6;
  v->leftWidth = std::min(v->leftWidth, W - 2 * x0);
  v->leftSplit = std::min(v->leftSplit, H - x0);
  MainRects r;
  r.title = QRect(b, b, W - 2 * b, v->titleHeight);
  r.toolbar = QRect(b, v->titleHeight + b, W - 2 * b, kToolbarHeight * s);
  const int y0 = v->contentTop + b;
  const int gpsTop = v->leftSplit - kGpsHeight * s;
  r.fileList = QRect(x0, y0, v->leftWidth, gpsTop - y0);
  r.gps = QRect(x0, gpsTop, v->leftWidth, kGpsHeight * s);
  r.splitBar = QRect(x0, v->leftSplit, v->leftWidth, kSplitter);
  r.map = QRect(x0, v->leftSplit + kSplitter, v->leftWidth, H - x0 - (v->leftSplit + kSplitter));
  r.splitter = QRect(x0 + v->leftWidth, y0, kSplitter, H - x0 - y0);
  const int right = x0 + v->leftWidth + kSplitter;
  const int timelineTop = H - x0 - v->timelineHeight;
  r.player = QRect(right, y0, W - x0 - right, timelineTop - kSplitter - y0);
  r.timeline = QRect(right, timelineTop, W - x0 - right, v->timelineHeight);
  return r;
}

}  // namespace tq
