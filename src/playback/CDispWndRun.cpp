// run_thread: opens what is still to open, prepares the renderers and the step cache,
// then indexes the records of the front (and rear) source into the frame tables.
#include <vector>

#include "app/TraceLog.h"
#include "playback/AviSource.h"
#include "playback/CDispWnd.h"
#include "playback/DemuxSource.h"
#include "playback/FrameSource.h"

namespace tq {

struct CDispWnd::ViewIndexer {
  CDrawWnd* view = nullptr;
  FrameTable* table = nullptr;
  std::unique_ptr<FrameSource> source;
  bool front = false;
  bool done = false;
  bool started = false;         // the first key frame was seen
  bool ringReleased = false;    // the first (delay) records have been published
  std::vector<FrameEntry> ring;  // withheld records, in read order
  FrameEntry last{};
  bool haveLast = false;
  bool startPosted = false;
};

// Each window's renderer takes the size of the picture it shows; with front and rear
// exchanged the main window shows the rear picture and the sub-view the front one.
bool CDispWnd::RouteViews() {
  const bool exchange = swapped_ && rearPresent_;
  const int mainW = exchange ? rear_.width : width, mainH = exchange ? rear_.height : height;
  if (PrepareRenderer(options_.frontWindow, mainW, mainH, &conversion_) == kDrawFailed) return false;
  if (rearPresent_ && rear_.PrepareRenderer(options_.rearWindow, exchange ? width : rear_.width,
                                            exchange ? height : rear_.height,
                                            &conversion_) == kDrawFailed)
    rearPresent_ = 0;
  ShowIn(exchange && rearPresent_ ? &rear_ : this);
  rear_.ShowIn(exchange && rearPresent_ ? this : &rear_);
  return true;
}

bool CDispWnd::PrepareViews() {
  const bool rearWanted = rearPresent_ != 0;
  if (!RouteViews()) return false;
  if (owner_) owner_->post(kMsgControlNotify, 0, kIndexingStarted);
  if (rearWanted && !rearPresent_) Post(kPlayEndOrRear, kRearUnplayable);
  KeepSteps();
  if (rearPresent_) rear_.KeepSteps();
  return true;
}

void CDispWnd::RunThread() {
  if (playMode_ == kPlayDemuxed && AvConnect() < 0) {
    if (running_) Post(kPlaySourceError, 0);
    return;
  }
  if (!PrepareViews()) {
    if (running_) Post(kPlaySourceError, 0);
    return;
  }
  if (kind_ == kSourceMp4) {
    SetWaveFormatFromDecoder();
    if (startSecond_ == 0) {
      // The sound starts with the first picture, on its clock.
      {
        std::lock_guard<std::mutex> lock(indexMutex_);
        audioAlign_ = true;
      }
      AudStart();
    }
  }
  IndexRecords();
  indexComplete_ = 1;
  // Sound comes back with the pictures after a wait (at 1X, when not paused meanwhile).
  if (StopWait() && running_) AudStart(true);
  runStop_.Wait();
}

void CDispWnd::CountDownWait() {
  int c = waitCountdown_.load();
  while (c > 0 && !waitCountdown_.compare_exchange_weak(c, c - 1)) {
  }
  if (c == 1) {
    if (observer_) observer_->ShowWait(false);
    PresentAgain();
    AudStart(true);
  }
}

bool CDispWnd::Publish(ViewIndexer& v, const FrameEntry& e) {
  {
    std::lock_guard<std::mutex> lock(indexMutex_);
    if (!v.table->Append(e)) return false;
  }
  v.last = e;
  v.haveLast = true;
  if (v.front && e.key) {
    Post(kPlayIndexedTo, e.timeMs);
    // An AVI reports its start once the whole index is walked (IndexAvi).
    if (kind_ == kSourceMp4 && !v.startPosted && int64_t(e.timeMs / 1000) >= startSecond_) {
      v.startPosted = true;
      Post(kPlayStartIndexed, 0);
    }
  }
  return true;
}

bool CDispWnd::IndexVideo(ViewIndexer& v, const FrameRecord& r) {
  if (!v.started) {
    if (!r.key) return true;  // nothing decodes before the first key frame
    v.started = true;
  }
  if (v.front) CountDownWait();
  // Keep room for the withheld records, this one and the drain copies of the last.
  const int32_t need = v.table->Count() + int32_t(v.ring.size()) + 1 + v.view->delay;
  if (need > v.table->capacity) {
    TraceLog("CDispWnd::run_thread", __LINE__, "frame index full (%d entries), indexing of %s ends\n",
             int(v.table->capacity), v.front ? frontPath_.c_str() : rearPath_.c_str());
    return false;
  }
  const FrameEntry e{r.size, r.timeMs, uint8_t(r.key ? 1 : 0), r.offset};
  if (!v.ringReleased) {
    v.ring.push_back(e);
    if (int(v.ring.size()) <= v.view->delay) return true;
    v.ringReleased = true;
    for (const FrameEntry& w : v.ring) Publish(v, w);
    v.ring.clear();
    return true;
  }
  return Publish(v, e);
}

void CDispWnd::FinishView(ViewIndexer& v) {
  if (v.done) return;
  v.done = true;
  for (const FrameEntry& w : v.ring) Publish(v, w);
  v.ring.clear();
  if (!v.haveLast) return;
  // Feeding the last entry (delay) more times pushes the held-back pictures out.
  {
    std::lock_guard<std::mutex> lock(indexMutex_);
    for (int i = 0; i < v.view->delay; ++i) v.table->Append(v.last);
  }
  if (v.front) Post(kPlayIndexedTo, v.last.timeMs);
}

void CDispWnd::IndexRecords() {
  ViewIndexer f;
  f.view = this;
  f.table = &front_;
  f.front = true;
  ViewIndexer r;
  r.view = &rear_;
  r.table = &rearTable_;
  r.done = !rearPresent_ || playMode_ != kPlayDirect;
  AviSource* avi = nullptr;
  if (kind_ == kSourceAvi) {
    auto source = std::make_unique<AviSource>(file(), &fileMutex, std::move(aviIndex_), aviMovi_,
                                              aviStreams_, fps, rear_.fps, options_.telemetry);
    aviIndex_.clear();
    avi = source.get();
    f.source = std::move(source);  // one walk feeds both views
  } else if (playMode_ == kPlayDemuxed) {
    f.source = std::make_unique<DemuxSource>(input_.get(), inputVideo_, inputAudio_,
                                             scratch_.get(), &fileMutex);
  } else {
    f.source = std::make_unique<Mp4RecordSource>(file(), &fileMutex, dataStart, dataLength,
                                                 videoTrackId);
    if (!r.done)
      r.source = std::make_unique<Mp4RecordSource>(rear_.file(), &rear_.fileMutex,
                                                   rear_.dataStart, rear_.dataLength,
                                                   rear_.videoTrackId);
  }
  bool audioFullNoted = false;
  bool aviEnded = false;
  while (running_ && (avi ? !aviEnded : !(f.done && r.done))) {
    for (ViewIndexer* v : {&f, &r}) {
      // An AVI walk goes on after a full front table: it still feeds the rear and the
      // telemetry buffers.
      if (!v->source || !running_ || (v->done && !avi)) continue;
      FrameRecord rec;
      const SourceRead res = v->source->Next(&rec);
      if (res == SourceRead::kError) {
        Post(kPlaySourceError, 0);
        return;
      }
      if (res == SourceRead::kEnd) {
        FinishView(*v);
        if (avi) {
          FinishView(r);
          aviEnded = true;
          break;
        }
        continue;
      }
      ViewIndexer& target = avi && rec.view == 1 ? r : *v;
      if (rec.kind == FrameRecord::kVideo) {
        if (!target.done && !IndexVideo(target, rec)) FinishView(target);
      } else if (rec.kind == FrameRecord::kAudio && v->front) {
        std::lock_guard<std::mutex> lock(indexMutex_);
        if (!audio_.Append(FrameEntry{rec.size, rec.timeMs, 1, rec.offset}) && !audioFullNoted) {
          audioFullNoted = true;
          TraceLog("CDispWnd::run_thread", __LINE__, "audio index full (%d entries) %s\n",
                   int(audio_.capacity), frontPath_.c_str());
        }
      }
    }
  }
  if (avi && running_ && aviEnded) Post(kPlayStartIndexed, avi->sensorBytes());
}

}  // namespace tq
