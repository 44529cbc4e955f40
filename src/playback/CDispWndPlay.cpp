// play_thread: takes the next frame of each view from the index, decodes it and draws it
// when it is due at the chosen speed, paced by the monotonic millisecond clock.
#include <algorithm>

#include "platform/Clock.h"
#include "playback/CDispWnd.h"

namespace tq {
namespace {

constexpr uint32_t kFirstPassSleepMs = 30;
constexpr uint32_t kIdleSleepMs = 100;
constexpr uint32_t kStartPollMs = 5;   // before the first frame is indexed
constexpr uint32_t kPausedPollMs = 10;
constexpr int64_t kEarlyMarginMs = 3;
constexpr int kWaitRecords = 3;        // front records to index before play resumes

// Wall-clock milliseconds for a media interval at a speed (toward zero).
int64_t ScaleInterval(int64_t media, int speed) {
  switch (speed) {
    case kSpeedHalf: return media * 2;
    case kSpeed2X: return media / 2;
    case kSpeed4X: return media / 4;
    default: return media;
  }
}

enum class Take { kFrame, kNotYet, kEnd };

}  // namespace

// A frame taken from the index and not yet presented. The cursor has moved past
// `decode`; a pause or speed change puts it back to `entry`.
struct CDispWnd::Pending {
  int32_t entry = -1;     // the entry taken
  int32_t feedFrom = -1;  // first of (delay) entries fed before the decode, -1 none
  int32_t decode = -1;    // the entry whose decode returns the picture
  int32_t shown = -1;     // the entry that picture belongs to
  bool valid() const { return entry >= 0; }
};

namespace {

// Index mutex held. `fresh`: the first frame of this view since the anchor was cleared.
Take TakeFrame(CDrawWnd& v, bool keyOnly, bool fresh, bool indexComplete, int32_t* entry,
               int32_t* feedFrom, int32_t* decode, int32_t* shown) {
  const FrameTable& t = *v.table;
  const int32_t n = t.Count();
  int32_t c = v.cursor;
  if (keyOnly) {
    while (c < n && !t.at(c).key) ++c;
    v.cursor = c;
  }
  if (c >= n) return n > 0 ? Take::kEnd : Take::kNotYet;
  if (t.at(c).size == 0) return Take::kNotYet;
  const bool feed = keyOnly || (fresh && t.at(c).key);
  const int32_t d = feed ? c + v.delay : c;
  if (d >= n) return indexComplete ? Take::kEnd : Take::kNotYet;
  *entry = c;
  *feedFrom = feed ? c : -1;
  *decode = d;
  *shown = feed ? c : std::max(0, c - v.delay);
  v.cursor = d + 1;
  return Take::kFrame;
}

}  // namespace

int CDispWnd::TakeNext(CDrawWnd& view, bool keyOnly, bool fresh, Pending* out) {
  Pending p;
  const Take r = TakeFrame(view, keyOnly, fresh, indexComplete_ != 0, &p.entry, &p.feedFrom,
                           &p.decode, &p.shown);
  if (r == Take::kFrame) *out = p;
  return int(r);
}

bool CDispWnd::PresentPending(CDrawWnd& view, const Pending& p) {
  if (p.feedFrom >= 0)
    for (int32_t i = p.feedFrom; i < p.feedFrom + view.delay; ++i) view.DecodeEntry(i);
  if (view.DecodeEntry(p.decode) != 1) return false;
  view.Draw(true);
  if (observer_) {
    const uint32_t timeMs = view.table->at(p.shown).timeMs;
    const uint64_t tick = TickCountMs();
    observer_->Presented(view.viewNumber(), timeMs, tick);
    if (&view == this) ReportSoundHeard(timeMs, tick);
  }
  return true;
}

void CDispWnd::StartWaitLocked() {
  waitCountdown_ = kWaitRecords;
  // Silent while waiting; sound follows the picture when presentation goes on.
  AudClose();
  audioAlign_ = true;
  if (observer_) observer_->ShowWait(true);
  PresentAgain();
  // run_thread may have finished between our look at the flag and the countdown.
  if (indexComplete_) StopWait();
}

void CDispWnd::PlayThread() {
  Pending front, rear;
  bool anchored = false;
  uint64_t anchorTick = 0;
  uint32_t anchorTime = 0;
  bool keyOnly = false;
  bool freshFront = true, freshRear = true;
  uint32_t sleepMs = kFirstPassSleepMs;

  while (playMode_ != kPlayNone) {
    bool presenting = paused_ == 0 && waitCountdown_ == 0;
    if (presenting) {
      std::unique_lock<std::mutex> lock(indexMutex_);
      if (const int request = reposition_.exchange(0)) {
        if (ratesDiffer_) keyOnly = speed_ > kSpeed1X;
        if (request == 2) {
          if (front.valid()) cursor = front.entry;
          if (rear.valid()) rear_.cursor = rear.entry;
        }
        front = rear = Pending{};
        anchored = false;
        freshFront = freshRear = true;
      }
      if (!front.valid()) {
        const Take r = Take(TakeNext(*this, keyOnly, freshFront, &front));
        const bool took = r == Take::kFrame;
        if (took && audioAlign_) {
          AlignAudioLocked(front.shown);
          audioAlign_ = false;
        }
        const bool atEnd = r == Take::kEnd && indexComplete_;
        if (!took && !atEnd) {
          if (cursor != 0 && waitCountdown_ == 0) {
            StartWaitLocked();
            sleepMs = kIdleSleepMs;
          } else {
            sleepMs = cursor == 0 ? kStartPollMs : kIdleSleepMs;
          }
          presenting = false;
        } else if (atEnd) {
          paused_ = 1;
          lock.unlock();
          Draw(true);
          if (rearPresent_) rear_.Draw(true);
          Post(kPlayEndOrRear, kEndPresented);
          sleepMs = kIdleSleepMs;
          presenting = false;
        }
      }
      if (presenting && rearPresent_ && !rear.valid()) TakeNext(rear_, keyOnly, freshRear, &rear);
    }

    if (presenting) {
      const uint64_t now = TickCountMs();
      if (front.valid()) {
        const uint32_t shownTime = table->at(front.shown).timeMs;
        if (!anchored) {
          anchorTick = now;
          anchorTime = shownTime;
          anchored = true;
          pictureAnchorTick_ = now;
          PresentPending(*this, front);
          Post(kPlayPosition, anchorTime);
          front = Pending{};
          freshFront = false;
          sleepMs = 0;
        } else {
          const int64_t due = ScaleInterval(int64_t(shownTime) - int64_t(anchorTime), speed_);
          if (int64_t(now - anchorTick) > due - kEarlyMarginMs) {
            PresentPending(*this, front);
            freshFront = false;
            const bool key = table->at(front.shown).key != 0;
            if (key) Post(kPlayPosition, shownTime);
            sleepMs = key ? 1 : 0;
            front = Pending{};
          } else {
            sleepMs = 1;
          }
        }
      }
      if (rear.valid() && anchored) {
        const uint32_t shownTime = rear_.table->at(rear.shown).timeMs;
        const int64_t due = ScaleInterval(int64_t(shownTime) - int64_t(anchorTime), speed_);
        if (freshRear || int64_t(TickCountMs() - anchorTick) > due - kEarlyMarginMs) {
          PresentPending(rear_, rear);
          freshRear = false;
          rear = Pending{};
        } else {
          sleepMs = std::min<uint32_t>(sleepMs, 1);
        }
      }
    }

    FeedSound();

    if (paused_ || waitCountdown_ > 0) {
      if (pauseRequest_) {
        {
          std::lock_guard<std::mutex> lock(indexMutex_);
          if (front.valid()) cursor = front.entry;
          if (rear.valid()) rear_.cursor = rear.entry;
        }
        front = rear = Pending{};
        anchored = false;
        freshFront = freshRear = true;
        pauseRequest_ = 0;
        pauseAck_.Set();
        sleepMs = kIdleSleepMs;
      } else {
        sleepMs = std::max(sleepMs, kPausedPollMs);
      }
    }
    if (sleepMs > 0) SleepMs(sleepMs);
  }
  indexComplete_ = 0;
  playStop_.Wait();
}

}  // namespace tq
