#include "playback/AheadQueue.h"

#include <algorithm>

extern "C" {
#include <libavutil/frame.h>
}

namespace tq {

AheadQueue::AheadQueue() {
  // The frame shells are made once; only the references they hold change per picture.
  for (auto& f : frames_) f.reset(av_frame_alloc());
}

bool AheadQueue::Push(AVFrame* picture, int32_t shown) {
  if (full() || !picture || !picture->data[0]) return false;
  const size_t at = size_t((head_ + count_) % kAheadPictures);
  AVFrame* slot = frames_[at].get();
  if (!slot) return false;
  av_frame_unref(slot);
  av_frame_move_ref(slot, picture);
  shown_[at] = shown;
  ++count_;
  return true;
}

int32_t AheadQueue::Pop(AVFrame* out) {
  if (count_ == 0) return -1;
  const size_t at = size_t(head_);
  av_frame_unref(out);
  av_frame_move_ref(out, frames_[at].get());
  head_ = (head_ + 1) % kAheadPictures;
  --count_;
  return shown_[at];
}

void AheadQueue::Drop() {
  for (auto& f : frames_)
    if (f) av_frame_unref(f.get());
  head_ = count_ = 0;
  changed.notify_all();  // a worker waiting for room has it now
}

void AheadQueue::Reset() {
  Drop();
  ++epoch;
  status = kAheadUnknown;
}

int TakeAhead(const FrameTable& t, int32_t* cursor, int delay, bool keyOnly, bool fresh, bool indexComplete,
              AheadTake* out) {
  const int32_t n = t.Count();
  int32_t c = *cursor;
  if (keyOnly) {
    while (c < n && !t.at(c).key) ++c;
    *cursor = c;
  }
  // Out of entries is the end only when no more can come: a worker's look taken just
  // before the indexer's last records would otherwise end play early.
  if (c >= n) return n > 0 && indexComplete ? kAheadEnd : kAheadNotYet;
  if (t.at(c).size == 0) return kAheadNotYet;
  // The first key frame after a reposition, and every one taken alone, is fed with its
  // (delay) followers to get its own picture out of the decoder.
  const bool feed = keyOnly || (fresh && t.at(c).key);
  const int32_t d = feed ? c + delay : c;
  if (d >= n) return indexComplete ? kAheadEnd : kAheadNotYet;
  out->entry = c;
  out->feedFrom = feed ? c : -1;
  out->decode = d;
  out->shown = feed ? c : std::max(0, c - delay);
  *cursor = d + 1;
  return kAheadFrame;
}

}  // namespace tq
