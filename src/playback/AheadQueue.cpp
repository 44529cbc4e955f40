#include "playback/AheadQueue.h"

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

}  // namespace tq
