#include "playback/CaptureDraw.h"

#include <atomic>
#include <cstring>

#include "platform/Clock.h"

namespace tq {
namespace {

std::atomic<uint64_t> g_sequence{0};

void CopyRows(std::vector<uint8_t>& out, const uint8_t* src, int linesize, int rowBytes,
              int rows) {
  for (int y = 0; y < rows; ++y) {
    const uint8_t* row = src + ptrdiff_t(y) * linesize;
    out.insert(out.end(), row, row + rowBytes);
  }
}

}  // namespace

int PackedBytesPerPixel(int format) {
  switch (format) {
    case kDrawRgb16: return 2;
    case kDrawRgb24: return 3;
    case kDrawRgb32: return 4;
    case kDrawYuy2: return 2;
    default: return 0;
  }
}

void CaptureWindow::Add(const DrawPicture& picture, int flags) {
  CapturedPicture c;
  c.sequence = ++g_sequence;
  c.tickMs = TickCountMs();
  c.width = picture.width;
  c.height = picture.height;
  c.format = picture.format;
  c.flags = flags;
  if (keep_ > 0) {
    if (TakesPlanarYuv(picture.format)) {
      c.bytes.reserve(size_t(picture.width) * picture.height * 3 / 2);
      CopyRows(c.bytes, picture.data[0], picture.linesize[0], picture.width, picture.height);
      for (int p = 1; p < 3; ++p)
        CopyRows(c.bytes, picture.data[p], picture.linesize[p], picture.width / 2,
                 picture.height / 2);
    } else {
      const int bpp = PackedBytesPerPixel(picture.format);
      CopyRows(c.bytes, picture.data[0], picture.linesize[0], picture.width * bpp,
               picture.height);
    }
  }
  std::lock_guard<std::mutex> lock(mutex_);
  ++drawn_;
  if (keep_ == 0) return;
  pictures_.push_back(std::move(c));
  while (pictures_.size() > keep_) pictures_.pop_front();
}

void CaptureWindow::CountPresent() {
  std::lock_guard<std::mutex> lock(mutex_);
  ++presents_;
}

void CaptureWindow::CountClear() {
  std::lock_guard<std::mutex> lock(mutex_);
  ++clears_;
}

std::vector<CapturedPicture> CaptureWindow::Pictures() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return {pictures_.begin(), pictures_.end()};
}

uint64_t CaptureWindow::drawn() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return drawn_;
}

uint64_t CaptureWindow::presents() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return presents_;
}

uint64_t CaptureWindow::clears() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return clears_;
}

void CaptureWindow::Reset() {
  std::lock_guard<std::mutex> lock(mutex_);
  pictures_.clear();
  drawn_ = presents_ = clears_ = 0;
}

int CaptureDraw::Init(DrawWindow window, int width, int height) {
  if (!window) return kDrawFailed;
  window_ = window;
  return SetSourceSize(width, height);
}

int CaptureDraw::SetSourceSize(int width, int height) {
  if (width <= 0 || height <= 0) return kDrawFailed;
  sourceWidth_ = width;
  sourceHeight_ = height;
  return target()->format();
}

bool CaptureDraw::Draw(const DrawPicture* picture, int flags, bool present) {
  if (!picture) return Present();
  if (picture->format != target()->format()) return false;
  target()->Add(*picture, flags);
  if (const int ms = target()->drawCostMs()) SleepMs(uint32_t(ms));
  return present ? Present() : true;
}

bool CaptureDraw::Clear() {
  target()->CountClear();
  return Present();
}

bool CaptureDraw::Present() {
  target()->CountPresent();
  return true;
}

}  // namespace tq
