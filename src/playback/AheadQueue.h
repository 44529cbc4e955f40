// The pictures one view has decoded ahead of presentation, oldest first, and the state of
// the worker that decodes them. The queue holds references to the decoder's pictures,
// never copies, and at most kAheadPictures of them: with the decoder's own pipeline that
// bounds a 1920x1080 view to about 4 x 3.1 MB held here.
#pragma once

#include <array>
#include <condition_variable>
#include <cstdint>
#include <mutex>

#include "playback/FfmpegPtr.h"
#include "playback/FrameIndex.h"

namespace tq {

constexpr int kAheadPictures = 4;

// What the worker found when it last took from the index (the values of the session's
// take), or kAheadUnknown after a reposition when it has not looked yet.
enum AheadStatus : int { kAheadFrame = 0, kAheadNotYet = 1, kAheadEnd = 2, kAheadUnknown = 3 };

// One take from a view's index: which entries to feed and decode for its next picture.
struct AheadTake {
  int32_t entry = -1;     // the entry taken
  int32_t feedFrom = -1;  // first of (delay) entries fed before the decode, -1 none
  int32_t decode = -1;    // the entry whose decode returns the picture
  int32_t shown = -1;     // the entry that picture belongs to
};

// Takes the view's next frame at *cursor (advanced past what the take decodes) from a
// decoder that returns each picture `delay` entries late; `keyOnly` skips to key frames,
// `fresh` is the first take since a reposition. kAheadEnd only once the index is complete:
// until then running out of entries is kAheadNotYet, so a stale look never ends play.
int TakeAhead(const FrameTable& t, int32_t* cursor, int delay, bool keyOnly, bool fresh, bool indexComplete,
              AheadTake* out);

class AheadQueue {
 public:
  AheadQueue();
  AheadQueue(const AheadQueue&) = delete;
  AheadQueue& operator=(const AheadQueue&) = delete;

  // Everything below is guarded by mutex; `changed` wakes the worker and whoever waits
  // for it to settle.
  std::mutex mutex;
  std::condition_variable changed;
  bool run = false;   // the worker may decode
  bool busy = false;  // the worker is between a take and its push
  bool quit = false;
  // Raised on every reposition: a picture decoded for an older epoch is dropped.
  uint32_t epoch = 0;
  int status = kAheadUnknown;

  int count() const { return count_; }
  bool full() const { return count_ >= kAheadPictures; }
  // Takes over the picture referenced by `picture` (left empty) as the entry `shown`.
  bool Push(AVFrame* picture, int32_t shown);
  int32_t FrontShown() const { return count_ > 0 ? shown_[size_t(head_)] : -1; }
  // Moves the oldest picture into `out` (unreferenced first); -1 when empty, else its entry.
  int32_t Pop(AVFrame* out);
  // Drops every picture.
  void Drop();
  // Drops every picture and starts a new epoch (a reposition).
  void Reset();

 private:
  std::array<FramePtr, kAheadPictures> frames_;
  std::array<int32_t, kAheadPictures> shown_{};
  int head_ = 0;
  int count_ = 0;
};

}  // namespace tq
