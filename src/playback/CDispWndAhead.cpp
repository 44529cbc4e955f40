// The decode-ahead workers: one per view, each taking its view's next frames from the
// index and decoding them into the view's queue while play_thread presents, so that the
// front and rear decoders keep both cores busy instead of waiting for each other.
#include <chrono>
#include <system_error>

#include "app/TraceLog.h"
#include "playback/CDispWnd.h"

namespace tq {
namespace {

// How soon a worker looks at the index again after it found nothing new to take.
constexpr auto kIndexPoll = std::chrono::milliseconds(2);

}  // namespace

void CDispWnd::AheadThread(CDrawWnd* view) {
  AheadQueue& q = view->ahead;
  FramePtr out(av_frame_alloc());
  if (!out) {
    TraceLog("CDispWnd::AheadThread", __LINE__, "frame allocation failed\n");
    return;
  }
  // fresh: the first take of an epoch, after which the decoder's state belongs to the
  // old position: a key frame there is fed with its followers to get its own picture.
  bool fresh = true;
  bool first = true;
  uint32_t seen = 0;
  std::unique_lock<std::mutex> lock(q.mutex);
  while (!q.quit) {
    if (!q.run || q.full()) {
      q.busy = false;
      q.changed.notify_all();
      q.changed.wait(lock);
      continue;
    }
    q.busy = true;
    lock.unlock();

    AheadTake p;
    int took = kAheadUnknown;
    uint32_t epoch = 0;
    {
      std::lock_guard<std::mutex> indexLock(indexMutex_);
      {
        std::lock_guard<std::mutex> queueLock(q.mutex);
        epoch = q.epoch;
      }
      if (first || epoch != seen) fresh = true;
      first = false;
      seen = epoch;
      // With the cameras at different rates only key frames keep the two in step fast.
      const bool keyOnly = ratesDiffer_ && speed_ > kSpeed1X;
      took = TakeNext(*view, keyOnly, fresh, &p);
      if (took == kAheadFrame) fresh = false;
    }
    bool got = false;
    if (took == kAheadFrame) {
      if (p.feedFrom >= 0)
        for (int32_t i = p.feedFrom; i < p.feedFrom + view->delay; ++i) view->DecodeEntryInto(i, out.get());
      got = view->DecodeEntryInto(p.decode, out.get()) == 1;
    }

    lock.lock();
    // A reposition since the take makes the picture stale; the status too.
    if (epoch == q.epoch) {
      q.status = took;
      if (got) q.Push(out.get(), p.shown);
    }
    av_frame_unref(out.get());
    if (took != kAheadFrame) {
      q.busy = false;
      q.changed.notify_all();
      q.changed.wait_for(lock, kIndexPoll);
    }
  }
  q.busy = false;
  q.changed.notify_all();
}

bool CDispWnd::StartAhead() {
  for (CDrawWnd* v : {static_cast<CDrawWnd*>(this), &rear_}) {
    std::lock_guard<std::mutex> lock(v->ahead.mutex);
    v->ahead.run = false;
    v->ahead.quit = false;
    v->ahead.busy = false;
    v->ahead.Reset();
  }
  try {
    frontAhead_ = std::thread(&CDispWnd::AheadThread, this, this);
    rearAhead_ = std::thread(&CDispWnd::AheadThread, this, &rear_);
  } catch (const std::system_error&) {
    TraceLog("CDispWnd::StartPlay", __LINE__, "StartPlay Create decode worker failed %s\n",
             frontPath_.c_str());
    return false;
  }
  return true;
}

void CDispWnd::RunAhead(bool on) {
  for (CDrawWnd* v : {static_cast<CDrawWnd*>(this), &rear_}) {
    const bool run = on && (v == this || rearPresent_);
    std::unique_lock<std::mutex> lock(v->ahead.mutex);
    v->ahead.run = run;
    v->ahead.changed.notify_all();
    if (!run) v->ahead.changed.wait(lock, [v] { return !v->ahead.busy; });
  }
}

void CDispWnd::StopAhead() {
  for (CDrawWnd* v : {static_cast<CDrawWnd*>(this), &rear_}) {
    std::lock_guard<std::mutex> lock(v->ahead.mutex);
    v->ahead.quit = true;
    v->ahead.run = false;
    v->ahead.changed.notify_all();
  }
  if (frontAhead_.joinable()) frontAhead_.join();
  if (rearAhead_.joinable()) rearAhead_.join();
  for (CDrawWnd* v : {static_cast<CDrawWnd*>(this), &rear_}) {
    std::lock_guard<std::mutex> lock(v->ahead.mutex);
    v->ahead.Reset();
  }
}

}  // namespace tq
