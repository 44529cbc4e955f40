// Stepping, seeking and re-synchronising one view. Runs on the user-interface thread
// while play_thread is paused.
//
// Invariant: the decoder returns the picture of entry (i - delay) when entry i is fed, so
// the picture in the slot belongs to entry (cursor - delay - 1). Stepping keeps it.
#include <algorithm>
#include <cstring>

extern "C" {
#include <libavutil/imgutils.h>
}

#include "playback/CDrawWnd.h"
#include "playback/StepCache.h"

namespace tq {
namespace {

constexpr size_t kCachePadding = 64;  // slack past the last plane for vectorised readers

bool CacheablePicture(const AVFrame* p, int width, int height) {
  return p && p->data[0] && p->width == width && p->height == height &&
         (p->format == AV_PIX_FMT_YUV420P || p->format == AV_PIX_FMT_YUVJ420P);
}

}  // namespace

bool CDrawWnd::StoreSlot(int slot) {
  if (!cache_ || !cache_->open() || slot < 0 || slot >= fps) return false;
  if (!CacheablePicture(picture_.get(), width, height)) return false;
  const uint64_t at = cacheBase_ + uint64_t(slot) * uint64_t(decodedFrameSize());
  if (!cache_->Store(at, picture_.get(), width, height)) return false;
  slotFlags_[slot] = 1;
  return true;
}

bool CDrawWnd::LoadSlot(int slot) {
  if (!cache_ || !cache_->open() || slot < 0 || slot >= fps || !slotFlags_[slot]) return false;
  // Pictures read back from the cache come from a pool of packed 4:2:0 buffers, so a
  // step costs one read and no allocation.
  const int bytes = decodedFrameSize();
  if (!cachePool_) cachePool_.reset(av_buffer_pool_init(size_t(bytes) + kCachePadding, nullptr));
  FramePtr f(av_frame_alloc());
  if (!f || !cachePool_) return false;
  f->buf[0] = av_buffer_pool_get(cachePool_.get());
  if (!f->buf[0]) return false;
  const AVPixelFormat format =
      picture_->format == AV_PIX_FMT_YUVJ420P ? AV_PIX_FMT_YUVJ420P : AV_PIX_FMT_YUV420P;
  f->format = format;
  f->width = width;
  f->height = height;
  if (av_image_fill_arrays(f->data, f->linesize, f->buf[0]->data, format, width, height, 1) < 0)
    return false;
  const uint64_t at = cacheBase_ + uint64_t(slot) * uint64_t(decodedFrameSize());
  if (!cache_->Load(at, f.get(), width, height)) return false;  // the slot stays as it was
  std::lock_guard<std::mutex> lock(frameMutex);
  av_frame_unref(picture_.get());
  av_frame_move_ref(picture_.get(), f.get());
  return true;
}

void CDrawWnd::ClearCachedRun() {
  slot_ = -1;
  repeatsLeft_ = 0;
  if (slotFlags_) std::memset(slotFlags_, 0, size_t(fps));
}

int32_t CDrawWnd::KeyAtOrBefore(int32_t i) const {
  i = std::min(i, table->Count() - 1);
  for (; i > 0; --i)
    if (table->at(i).key) return i;
  return 0;
}

StepResult CDrawWnd::StepForward() {
  if (!table || !table->Indexed(cursor)) return StepResult::kNone;
  if (repeatsLeft_ > 0) {
    --repeatsLeft_;
    return StepResult::kShown;
  }
  ++cursor;
  ++slot_;
  repeatsLeft_ = repeatCount;
  const bool secondFull = slot_ >= fps;
  const bool cached = !secondFull && slot_ >= 0 && slotFlags_ && slotFlags_[slot_];
  if (cached && LoadSlot(slot_)) return StepResult::kShown;
  if (!DecodeEntry(cursor - 1)) {
    --slot_;
    return StepResult::kNone;
  }
  if (secondFull) {
    if (slotFlags_) std::memset(slotFlags_, 0, size_t(fps));
    slot_ = 0;
  }
  StoreSlot(slot_);
  return StepResult::kShown;
}

StepResult CDrawWnd::StepBackBegin(Refill* r) {
  *r = Refill{};
  if (!table || cursor <= 0) return StepResult::kNone;
  if (!cache_ || !cache_->open()) {
    // Without a cache the step lands on the key frame before the picture shown.
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

  // The cached second is used up (or unreadable): decode again from the key frame before
  // the wanted picture and refill the cache up to it.
  const int32_t target = cursor - delay - 1;
  if (target < 0) {
    ++cursor;
    ++slot_;
    repeatsLeft_ = 0;
    return StepResult::kNone;
  }
  r->target = target;
  r->key = KeyAtOrBefore(target);
  r->firstStored = std::max(r->key, target - fps + 1);
  r->next = r->key;
  r->stored = 0;
  r->gotTarget = false;
  r->active = true;
  r->started = true;
  std::memset(slotFlags_, 0, size_t(fps));
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
  if (!table || !cache_ || !cache_->open()) return;
  const int32_t from = KeyAtOrBefore(std::max(0, cursor - delay));
  for (int32_t i = from; i < cursor; ++i) DecodeEntry(i);
  ClearCachedRun();
}

void CDrawWnd::SeekView(uint32_t targetMs) {
  if (slot_ >= 0 || repeatsLeft_ > 0) ClearCachedRun();
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
