// A renderer that keeps what it is given, for tests and headless playback. Its "window"
// is a CaptureWindow: the store outlives the renderer, so a test reads it after a
// session has stopped. Pictures are copied during Draw (the planes are the caller's).
#pragma once

#include <atomic>
#include <cstdint>
#include <deque>
#include <mutex>
#include <vector>

#include "playback/CDraw.h"

namespace tq {

struct CapturedPicture {
  uint64_t sequence = 0;  // process-wide draw order, across every capture window
  uint64_t tickMs = 0;    // monotonic clock at the draw
  int width = 0;
  int height = 0;
  int format = kDrawFailed;
  int flags = 0;
  // The picture, rows packed: planar formats hold Y then U then V (each chroma plane
  // width/2 x height/2); packed formats one plane of width x bytes-per-pixel rows.
  std::vector<uint8_t> bytes;
};

class CaptureWindow {
 public:
  // keep: how many recent pictures to hold (0 keeps none, only counts).
  explicit CaptureWindow(size_t keep = 8, int formatCode = kDrawI420)
      : keep_(keep), format_(formatCode) {}

  int format() const { return format_; }

  // Calls from the renderer (any thread).
  void Add(const DrawPicture& picture, int flags);
  void CountPresent();
  void CountClear();

  // Reads (any thread).
  std::vector<CapturedPicture> Pictures() const;
  uint64_t drawn() const;
  uint64_t presents() const;
  uint64_t clears() const;
  void Reset();
  // Milliseconds each picture takes to draw, as on a slow screen (0: no wait).
  void SetDrawCostMs(int ms) { drawCostMs_ = ms; }
  int drawCostMs() const { return drawCostMs_; }

 private:
  const size_t keep_;
  const int format_;
  mutable std::mutex mutex_;  // guards everything below
  std::deque<CapturedPicture> pictures_;
  uint64_t drawn_ = 0;
  uint64_t presents_ = 0;
  uint64_t clears_ = 0;
  std::atomic<int> drawCostMs_{0};
};

class CaptureDraw final : public CDraw {
 public:
  // window must be a CaptureWindow*; the code it answers is the window's format.
  int Init(DrawWindow window, int width, int height) override;
  int SetSourceSize(int width, int height) override;
  bool Draw(const DrawPicture* picture, int flags, bool present) override;
  bool Clear() override;
  bool CheckWindowSize() override { return true; }
  bool Present() override;

 private:
  CaptureWindow* target() const { return static_cast<CaptureWindow*>(window_); }
};

// Bytes per pixel of a packed format code (0 for planar codes).
int PackedBytesPerPixel(int format);

}  // namespace tq
