// Stepping, seeking and re-synchronising one view. Runs on the user-interface thread
// while play_thread and the view's decode-ahead worker are parked.
//
// Invariant: the decoder returns the picture of entry (i - delay) when entry i is fed, so
// the picture in the slot belongs to entry (cursor - delay - 1). Stepping keeps it.
#include <algorithm>

#include "playback/CDrawWnd.h"

namespace tq {
namespace {

// What the kept pictures of one view may take: a second of 1920x1080 4:2:0 (93 MB) fits,
// a larger picture keeps fewer slots and steps back across more re-decodes instead.
constexpr uint64_t kKeptBytesPerView = 128ull << 20;

}  // namespace

void CDrawWnd::KeepSteps() {
  ClearCachedRun();
  const uint64_t pictureBytes = uint64_t(std::max(1, decodedFrameSize()));
  const uint64_t fit = std::max<uint64_t>(1, kKeptBytesPerView / pictureBytes);
  kept_.resize(size_t(std::min<uint64_t>(uint64_t(std::max(1, fps)), fit)));
}

int CDrawWnd::keptPictures() const {
  return int(std::count_if(kept_.begin(), kept_.end(), [](const FramePtr& f) { return f != nullptr; }));
}

bool CDrawWnd::StoreSlot(int slot) {
  if (slot < 0 || slot >= int(kept_.size()) || !picture_ || !picture_->data[0]) return false;
  // A reference to the decoder's picture: the decoder never writes into a picture it has
  // handed out, so keeping it costs no copy.
  FramePtr f(av_frame_clone(picture_.get()));
  if (!f) return false;
  kept_[size_t(slot)] = std::move(f);
  return true;
}

bool CDrawWnd::LoadSlot(int slot) {
  if (slot < 0 || slot >= int(kept_.size()) || !kept_[size_t(slot)]) return false;
  std::lock_guard<std::mutex> lock(frameMutex);
  av_frame_unref(picture_.get());
  return av_frame_ref(picture_.get(), kept_[size_t(slot)].get()) == 0;
}

void CDrawWnd::ClearCachedRun() {
  slot_ = -1;
  repeatsLeft_ = 0;
  for (auto& f : kept_) f.reset();
}

int32_t CDrawWnd::KeyAtOrBefore(int32_t i) const {
  i = std::min(i, table->Count() - 1);
  for (; i > 0; --i)
    if (table->at(i).key) return i;
  return 0;
}

void CDrawWnd::SettleAhead() {
  const int n = ahead.count();
  if (n == 0) return;
  // The decoder has been fed up to the cursor, n pictures past the one shown: the cursor
  // goes back by n and the queued pictures become the slots after the shown one, so that
  // stepping forward shows them and a decode past them follows on where the decoder is.
  ClearCachedRun();
  cursor -= n;
  std::lock_guard<std::mutex> lock(ahead.mutex);
  if (int(kept_.size()) > n && StoreSlot(0)) {
    for (int k = 1; k <= n; ++k) {
      kept_[size_t(k)].reset(av_frame_alloc());
      if (!kept_[size_t(k)] || ahead.Pop(kept_[size_t(k)].get()) < 0) kept_[size_t(k)].reset();
    }
    slot_ = 0;
    ahead.Drop();
    return;
  }
  // No room to keep them (or nothing shown yet): the decoder is brought back to the
  // picture shown, which stays in the slot.
  ahead.Drop();
  FramePtr shown(HasPicture() ? av_frame_clone(picture_.get()) : nullptr);
  ClearCachedRun();
  if (table) {
    const int32_t from = KeyAtOrBefore(std::max(0, ShownEntry()));
    for (int32_t i = from; i < cursor; ++i) DecodeEntry(i);
  }
  if (shown) {
    av_frame_unref(picture_.get());
    av_frame_move_ref(picture_.get(), shown.get());
  }
}

StepResult CDrawWnd::StepForward() {
  SettleAhead();
  if (!table || !table->Indexed(cursor)) return StepResult::kNone;
  if (repeatsLeft_ > 0) {
    --repeatsLeft_;
    return StepResult::kShown;
  }
  ++cursor;
  ++slot_;
  repeatsLeft_ = repeatCount;
  const bool runFull = slot_ >= int(kept_.size());
  if (!runFull && LoadSlot(slot_)) return StepResult::kShown;
  if (!DecodeEntry(cursor - 1)) {
    --slot_;
    return StepResult::kNone;
  }
  if (runFull) {
    for (auto& f : kept_) f.reset();
    slot_ = 0;
  }
  StoreSlot(slot_);
  return StepResult::kShown;
}

StepResult CDrawWnd::StepBackBegin(Refill* r) {
  *r = Refill{};
  SettleAhead();
  if (!table || cursor <= 0) return StepResult::kNone;
  if (kept_.empty()) {
    // Without kept slots the step lands on the key frame before the picture shown.
    const int32_t shown = cursor - delay - 1;
    if (shown <= 0) return StepResult::kNone;
    const int32_t key = KeyAtOrBefore(shown - 1);
    for (int i = 0; i < delay; ++i) DecodeEntry(key + i);
    if (!DecodeEntry(key + delay)) return StepResult::kNone;
    cursor = key + delay + 1;
    slot_ = 0;
    return StepResult::kShown;
  }
  if (repeatsLeft_ > 0) {
    --repeatsLeft_;
    return StepResult::kShown;
  }
  --cursor;
  --slot_;
  repeatsLeft_ = repeatCount;
  if (slot_ >= 0 && LoadSlot(slot_)) return StepResult::kShown;

  // The kept run is used up: decode again from the key frame before the wanted picture,
  // keeping the pictures up to it (the interval's last ones when it has more than slots).
  const int32_t target = cursor - delay - 1;
  if (target < 0) {
    ++cursor;
    ++slot_;
    repeatsLeft_ = 0;
    return StepResult::kNone;
  }
  r->target = target;
  r->key = KeyAtOrBefore(target);
  r->firstStored = std::max(r->key, target - int32_t(kept_.size()) + 1);
  r->next = r->key;
  r->stored = 0;
  r->gotTarget = false;
  r->active = true;
  r->started = true;
  for (auto& f : kept_) f.reset();  // released before the interval's pictures come in
  for (int i = 0; i < delay; ++i) DecodeEntry(r->key + i);
  return StepResult::kNone;
}

bool CDrawWnd::RefillOne(Refill& r) {
  if (!r.active) return false;
  const int32_t pic = r.next++;
  r.gotTarget = DecodeEntry(pic + delay) == 1;
  if (r.gotTarget && pic >= r.firstStored && StoreSlot(r.stored)) ++r.stored;
  r.active = r.next <= r.target;
  return r.active;
}

StepResult CDrawWnd::RefillFinish(const Refill& r) {
  cursor = r.target + delay + 1;
  slot_ = r.stored - 1;
  return r.gotTarget ? StepResult::kShown : StepResult::kNone;
}

StepResult CDrawWnd::StepBack() {
  Refill r;
  const StepResult first = StepBackBegin(&r);
  if (!r.started) return first;
  while (RefillOne(r)) {
  }
  return RefillFinish(r);
}

void CDrawWnd::Resynchronise() {
  ClearCachedRun();
  if (!table) return;
  const int32_t from = KeyAtOrBefore(std::max(0, cursor - delay));
  for (int32_t i = from; i < cursor; ++i) DecodeEntry(i);
}

void CDrawWnd::SeekView(uint32_t targetMs) {
  ClearCachedRun();
  {
    // Pictures decoded for the old position, and any the worker brings in from it, go.
    std::lock_guard<std::mutex> lock(ahead.mutex);
    ahead.Reset();
  }
  if (!table) return;
  const int32_t n = table->Count();
  int32_t best = 0;
  for (int32_t i = 0; i < n; ++i) {
    const FrameEntry& e = table->at(i);
    if (!e.key) continue;
    if (e.timeMs > targetMs) break;
    best = i;
  }
  cursor = best;
}

bool CDrawWnd::DecodeAtCursor(int32_t* shownEntry) {
  if (!table) return false;
  for (int i = 0; i < delay && table->Indexed(cursor); ++i) DecodeEntry(cursor++);
  while (table->Indexed(cursor)) {
    if (DecodeEntry(cursor++) == 1) {
      *shownEntry = cursor - delay - 1;
      return true;
    }
  }
  return false;
}

}  // namespace tq
