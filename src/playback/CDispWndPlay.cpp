// play_thread: presents the next picture each view's worker decoded ahead when it is due at
// the chosen speed, paced by the monotonic millisecond clock; the take from the index that
// the workers share.
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
// Faster than 1X the clock starts once both views have decoded a queue's worth ahead, or
// after this long at most: started on the first picture alone it finds the decoders
// still warming up (their first pictures take several due intervals), and the pictures
// that follow come late.
constexpr uint64_t kPrimeLimitMs = 300;

// Wall-clock milliseconds for a media interval at a speed (toward zero).
int64_t ScaleInterval(int64_t media, int speed) {
  switch (speed) {
    case kSpeedHalf: return media * 2;
    case kSpeed2X: return media / 2;
    case kSpeed4X: return media / 4;
    default: return media;
  }
}

}  // namespace

int CDispWnd::PeekAhead(CDrawWnd& view, int32_t* shown) {
  std::lock_guard<std::mutex> lock(view.ahead.mutex);
  const AheadQueue& q = view.ahead;
  if (q.count() > 0) {
    *shown = q.FrontShown();
    return kAheadFrame;
  }
  // Nothing queued: the worker's last look at the index tells why, unless it is still at
  // work (or about to be, having just pushed or been repositioned).
  if (q.busy || q.status == kAheadFrame || q.status == kAheadUnknown || !q.run) return kAheadUnknown;
  return q.status;
}

bool CDispWnd::AheadPrimed(CDrawWnd& view) {
  std::lock_guard<std::mutex> lock(view.ahead.mutex);
  const AheadQueue& q = view.ahead;
  return !q.run || q.full() || (!q.busy && (q.status == kAheadNotYet || q.status == kAheadEnd));
}

int CDispWnd::TakeNext(CDrawWnd& view, bool keyOnly, bool fresh, AheadTake* out) {
  return TakeAhead(*view.table, &view.cursor, view.delay, keyOnly, fresh, indexComplete_ != 0, out);
}

bool CDispWnd::PresentAhead(CDrawWnd& view) {
  const int32_t shown = view.PresentAhead();
  if (shown < 0) return false;
  if (observer_) {
    const uint32_t timeMs = view.table->at(shown).timeMs;
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
  bool anchored = false;
  uint64_t anchorTick = 0;
  uint32_t anchorTime = 0;
  bool freshRear = true;
  bool aheadRunning = false;
  uint32_t frontTime = 0;  // media time of the front picture presented last
  uint32_t rearTime = 0;   // and of the rear one
  uint32_t sleepMs = kFirstPassSleepMs;
  uint64_t primeSince = 0;  // when the wait for full queues began, 0 none

  while (playMode_ != kPlayNone) {
    bool presenting = paused_ == 0 && waitCountdown_ == 0;
    if (presenting && !aheadRunning) {
      RunAhead(true);
      aheadRunning = true;
    }
    int32_t front = -1, rear = -1;
    int rearState = kAheadEnd;
    if (presenting) {
      std::unique_lock<std::mutex> lock(indexMutex_);
      if (reposition_.exchange(0)) {
        // A speed change keeps what was decoded ahead (the pictures stay right, only
        // their times change); a seek has dropped it already.
        anchored = false;
        primeSince = 0;
        freshRear = true;
      }
      const int r = PeekAhead(*this, &front);
      if (r == kAheadFrame && audioAlign_) {
        AlignAudioLocked(front);
        audioAlign_ = false;
      }
      const bool atEnd = r == kAheadEnd && indexComplete_;
      if (r == kAheadUnknown) {
        sleepMs = 1;  // being decoded
      } else if (r != kAheadFrame && !atEnd) {
        if (cursor != 0 && waitCountdown_ == 0) {
          StartWaitLocked();
          sleepMs = kIdleSleepMs;
        } else {
          sleepMs = cursor == 0 ? kStartPollMs : kIdleSleepMs;
        }
        presenting = false;
      } else if (atEnd) {
        lock.unlock();
        // Parked before the pause shows: the user-interface thread may step at once.
        RunAhead(false);
        aheadRunning = false;
        paused_ = 1;
        Draw(true);
        if (rearPresent_) rear_.Draw(true);
        Post(kPlayEndOrRear, kEndPresented);
        sleepMs = kIdleSleepMs;
        presenting = false;
      }
      if (presenting && rearPresent_) rearState = PeekAhead(rear_, &rear);
    }

    if (presenting) {
      // The rear before the front (a rear picture due with the front one is on screen
      // first) and again after it (one that waited for this front picture).
      const auto presentRear = [&] {
        if (rear < 0 || !anchored) return;
        const uint32_t shownTime = rear_.table->at(rear).timeMs;
        const int64_t due = ScaleInterval(int64_t(shownTime) - int64_t(anchorTime), speed_);
        // The rear decodes on its own worker: when the front falls behind its schedule
        // (a machine too busy for the speed), the rear waits for it instead of running
        // ahead of the picture it belongs with.
        const bool withFront = int64_t(shownTime) <= int64_t(frontTime) + 1000 / std::max(1, fps);
        if (freshRear || (withFront && int64_t(TickCountMs() - anchorTick) > due - kEarlyMarginMs)) {
          PresentAhead(rear_);
          rearTime = shownTime;
          freshRear = false;
          rear = -1;
          rearState = kAheadUnknown;  // its next one is looked at in the next pass
        } else {
          sleepMs = 1;
        }
      };
      presentRear();
      const uint64_t now = TickCountMs();
      if (front >= 0) {
        const uint32_t shownTime = table->at(front).timeMs;
        const bool priming = !anchored && speed_ > kSpeed1X &&
                             !(AheadPrimed(*this) && (!rearPresent_ || AheadPrimed(rear_)));
        if (priming && primeSince == 0) primeSince = now;
        if (priming && now - primeSince < kPrimeLimitMs) {
          sleepMs = 1;
        } else if (!anchored) {
          primeSince = 0;
          anchorTick = now;
          anchorTime = shownTime;
          anchored = true;
          pictureAnchorTick_ = now;
          PresentAhead(*this);
          frontTime = shownTime;
          Post(kPlayPosition, anchorTime);
          sleepMs = 0;
        } else {
          const int64_t due = ScaleInterval(int64_t(shownTime) - int64_t(anchorTime), speed_);
          // Nor does the front run ahead of a rear whose next picture is still being
          // decoded although it belongs before this one: both stay in step on a busy
          // machine. (A rear picture already decoded never holds the front up, so a gap
          // in either recording cannot make them wait for each other.)
          const bool rearBehind = rearPresent_ && !freshRear && rearState == kAheadUnknown &&
                                  int64_t(rearTime) + 1000 / std::max(1, rear_.fps) < int64_t(shownTime);
          if (!rearBehind && int64_t(now - anchorTick) > due - kEarlyMarginMs) {
            PresentAhead(*this);
            frontTime = shownTime;
            const bool key = table->at(front).key != 0;
            if (key) Post(kPlayPosition, shownTime);
            sleepMs = key ? 1 : 0;
          } else {
            sleepMs = 1;
          }
        }
      }
      presentRear();
    }

    FeedSound();

    if (paused_ || waitCountdown_ > 0) {
      if (pauseRequest_) {
        // What was decoded ahead stays queued: playing on shows it, a step takes it over.
        RunAhead(false);
        aheadRunning = false;
        anchored = false;
        primeSince = 0;
        freshRear = true;
        pauseRequest_ = 0;
        pauseAck_.Set();
        sleepMs = kIdleSleepMs;
      } else {
        sleepMs = std::max(sleepMs, kPausedPollMs);
      }
    }
    if (sleepMs > 0) SleepMs(sleepMs);
  }
  RunAhead(false);
  indexComplete_ = 0;
  playStop_.Wait();
}

}  // namespace tq
