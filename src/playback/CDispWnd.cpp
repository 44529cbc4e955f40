#include "playback/CDispWnd.h"

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <system_error>
#include <thread>

extern "C" {
#include <libavformat/avformat.h>
}

#include "app/TraceLog.h"
#include "container/Mp4Valid.h"
#include "playback/FrameSource.h"

namespace tq {
namespace {

constexpr int kMinFps = 10;
constexpr int kFpsStep = 5;  // camera rates are multiples of 5 (15 for a slow rear camera)
constexpr int kMaxFps = 30;  // the slot-flag block holds 30 front + 30 rear slots

struct VideoTrack {
  int fps = kMaxFps;
  int width = 0;
  int height = 0;
  AVCodecID codec = AV_CODEC_ID_H264;
  const std::vector<uint8_t>* config = nullptr;
};

// Frames per second from the track's sample count and media duration. The camera's
// duration ends at the last sample's start, so the quotient runs a little high; it is
// rounded to the nearest camera rate and kept within what the step cache holds.
int TrackFps(const TRAKBOX& t) {
  const double count = t.mdia.minf.stbl.stsz.sampleCount;
  const double scale = t.mdia.mdhd.timescale;
  const double duration = double(t.mdia.mdhd.duration);
  if (count <= 0 || scale <= 0 || duration <= 0) return kMaxFps;
  const int fps = int(std::lround(count * scale / duration / kFpsStep)) * kFpsStep;
  return std::clamp(fps, kMinFps, kMaxFps);
}

bool FindVideoTrack(const MP4INFO& info, VideoTrack* out) {
  const uint16_t id = info.ptrh.vi.streamNumber;
  if (id == 0) return false;
  for (const auto& t : info.moov.trak) {
    if (!t || t->tkhd.trackId != id) continue;
    out->fps = TrackFps(*t);
    out->width = info.ptrh.vi.width ? info.ptrh.vi.width : t->tkhd.width;
    out->height = info.ptrh.vi.height ? info.ptrh.vi.height : t->tkhd.height;
    out->codec = info.ptrh.vi.codec == kCodecHvc1 ? AV_CODEC_ID_HEVC : AV_CODEC_ID_H264;
    const auto& entries = t->mdia.minf.stbl.stsd.entries;
    if (!entries.empty() && !entries[0].visual.pParameterSetNALUnit.empty())
      out->config = &entries[0].visual.pParameterSetNALUnit;
    return out->width > 0 && out->height > 0;
  }
  return false;
}

bool OpenViewDecoder(CDrawWnd& view, const VideoTrack& t) {
  const uint8_t* config = t.config ? t.config->data() : nullptr;
  const size_t size = t.config ? t.config->size() : 0;
  if (!view.OpenVCodec(t.codec, t.width, t.height, config, size)) return false;
  view.fps = t.fps;
  return true;
}

int InterruptCallback(void* opaque) {
  const auto* running = static_cast<const std::atomic<int>*>(opaque);
  return !running || running->load() == 0;
}

}  // namespace

CDispWnd::CDispWnd(MessageSink* owner, SessionOptions options, PlaybackObserver* observer)
    : CDrawWnd(0), owner_(owner), observer_(observer), options_(std::move(options)) {
  avformat_network_init();
  ProbeDraw(options_.frontWindow);
}

CDispWnd::~CDispWnd() {
  StopPlay();
  front_.Release();
  rearTable_.Release();
  audio_.Release();
  conversion_.bytes.reset();
  std::error_code ec;
  if (!scratchPath_.empty()) std::filesystem::remove(scratchPath_, ec);
  avformat_network_deinit();
}

void CDispWnd::Post(int64_t code, int64_t value) {
  if (owner_) owner_->post(kMsgPlay, code, value);
}

bool CDispWnd::AllocateTables() {
  if (!front_.Allocate(kVideoTableEntries) || !audio_.Allocate(kAudioTableEntries)) {
    TraceLog("CDispWnd::StartPlay", __LINE__, "frame index alloc failed %s\n", frontPath_.c_str());
    return false;
  }
  table = &front_;
  return true;
}

bool CDispWnd::OpenRear(const std::string& rear, int frontFps) {
  MP4INFO info;
  bool valid = false;
  RepairedIndex repaired;  // the scratch index lives until the track is read
  if (options_.readOnly) {
    ValidateOptions readOnly;
    readOnly.dryRun = true;
    const ValidateReport r = ValidateMP4(rear, &info, 0, readOnly);
    std::string why;
    valid = r.result == ValidateResult::Ok ||
            (r.result == ValidateResult::Repaired && repaired.WorkOut(rear, info, &why));
  } else {
    valid = ValidMP4(rear, &info, 0) != 0;
  }
  VideoTrack t;
  bool ok = valid && FindVideoTrack(info, &t);
  if (ok && !rear_.SetPlay(rear, true)) {
    TraceLog("CDrawWnd::ValidMP4", __LINE__, "%s file open failed\n", rear.c_str());
    ok = false;
  }
  if (ok) {
    rear_.dataStart = info.mdat.offset;
    rear_.dataLength = info.mdat.size >= 8 ? info.mdat.size - 8 : 0;
    rear_.videoTrackId = info.ptrh.vi.streamNumber;
    ok = StartsWithFrameRecord(*rear_.file(), rear_.dataStart, rear_.dataLength,
                               info.ptrh.vi.streamNumber, info.ptrh.so.streamNumber) &&
         OpenViewDecoder(rear_, t);
  }
  FreeMP4INFO(info);
  if (!ok || !rearTable_.Allocate(kVideoTableEntries)) {
    rear_.StopView(false);
    return false;
  }
  rear_.table = &rearTable_;
  rearDelay_ = rear_.delay;
  // The camera with the lower rate repeats its pictures while stepping.
  if (rear_.fps < frontFps) rear_.repeatCount = frontFps / rear_.fps - 1;
  if (frontFps < rear_.fps) repeatCount = rear_.fps / frontFps - 1;
  ratesDiffer_ = rear_.fps != frontFps;
  reposition_ = ratesDiffer_.load();
  return true;
}

bool CDispWnd::OpenDirect(const std::string& front, const std::string& rear,
                          const MP4INFO& info) {
  VideoTrack t;
  if (!FindVideoTrack(info, &t)) return false;
  if (!SetPlay(front, true)) return false;
  dataStart = info.mdat.offset;
  dataLength = info.mdat.size >= 8 ? info.mdat.size - 8 : 0;
  videoTrackId = info.ptrh.vi.streamNumber;
  audioStreamNumber_ = info.ptrh.so.streamNumber;
  if (!StartsWithFrameRecord(*file(), dataStart, dataLength, videoTrackId, audioStreamNumber_)) {
    StopView(false);
    return false;
  }
  fps = t.fps;
  const bool rearWanted = !rear.empty();
  if (rearWanted) {
    rearPresent_ = OpenRear(rear, t.fps) ? 1 : 0;
    if (!rearPresent_) rearDelay_ = -1;
  }
  if (!AllocateTables() || !OpenViewDecoder(*this, t)) {
    rear_.StopView(false);
    rearPresent_ = 0;
    StopView(false);
    return false;
  }
  playMode_ = kPlayDirect;
  OpenAudioDecoder(info);
  if (rearWanted && !rearPresent_) Post(kPlayEndOrRear, kRearUnplayable);
  return true;
}

bool CDispWnd::OpenDemuxed() {
  rearPresent_ = 0;
  if (!AllocateTables()) return false;
  std::error_code ec;
  std::filesystem::create_directories(options_.settingsFolder, ec);
  scratchPath_ = (std::filesystem::path(options_.settingsFolder) / kPlayScratchName).string();
  scratch_ = MediaFile::Open(scratchPath_, "wb+");
  if (!scratch_) {
    TraceLog("CDispWnd::StartPlay", __LINE__, "%s file open failed\n", scratchPath_.c_str());
    return false;
  }
  SetPlay(frontPath_, false);
  UseScratchFile(scratch_.get());
  dataStart = 0;
  playMode_ = kPlayDemuxed;
  return true;
}

// The rear camera's stream of the same file, read through the rear view's own handle.
bool CDispWnd::OpenAviRear(const std::string& path, const AVIINFO& info) {
  const AviBitmapInfo& format = info.videoFormats[aviStreams_.rearFormat];
  const int fps = AviStreamFps(info.streams[aviStreams_.rear]);
  const bool ok = format.biWidth > 0 && format.biHeight != 0 && rear_.SetPlay(path, true) &&
                  rear_.OpenVCodec(AV_CODEC_ID_H264, format.biWidth, std::abs(format.biHeight),
                                   nullptr, 0) &&
                  rearTable_.Allocate(kVideoTableEntries);
  if (!ok) {
    rear_.StopView(false);
    return false;
  }
  rear_.fps = fps;
  rear_.table = &rearTable_;
  rearDelay_ = rear_.delay;
  if (rear_.fps < this->fps) rear_.repeatCount = this->fps / rear_.fps - 1;
  if (this->fps < rear_.fps) repeatCount = rear_.fps / this->fps - 1;
  ratesDiffer_ = rear_.fps != this->fps;
  reposition_ = ratesDiffer_.load();
  return true;
}

bool CDispWnd::OpenAvi(const std::string& path, AVIINFO* info) {
  aviStreams_ = FindAviStreams(*info);
  if (aviStreams_.front < 0 || info->index.empty() || info->moviOffset == 0) {
    TraceLog("CDrawWnd::SetPlay", __LINE__, "%s has no playable video stream or no index\n",
             path.c_str());
    return false;
  }
  const AviBitmapInfo& format = info->videoFormats[aviStreams_.frontFormat];
  if (format.biWidth <= 0 || format.biHeight == 0) {
    TraceLog("CDrawWnd::SetPlay", __LINE__, "%s has no picture size\n", path.c_str());
    return false;
  }
  if (!SetPlay(path, true)) return false;
  fps = AviStreamFps(info->streams[aviStreams_.front]);
  if (!AllocateTables() ||
      !OpenVCodec(AV_CODEC_ID_H264, format.biWidth, std::abs(format.biHeight), nullptr, 0)) {
    StopView(false);
    return false;
  }
  rearPresent_ = aviStreams_.rear >= 0 && OpenAviRear(path, *info) ? 1 : 0;
  if (!rearPresent_) {
    rearDelay_ = -1;
    aviStreams_.rear = -1;  // its chunks are passed over
  }
  aviIndex_ = std::move(info->index);
  info->index.clear();
  info->indexCount = 0;
  aviMovi_ = info->moviOffset;
  dataStart = info->moviOffset;
  SetAviWaveFormat(*info);
  playMode_ = kPlayDirect;
  return true;
}

void CDispWnd::StartPlay(const std::string& front, const std::string& rear, int kind,
                         const MP4INFO* info, int startSecond) {
  if (playMode_ != kPlayNone || running_) StopPlay();
  frontPath_ = front;
  rearPath_ = rear;
  kind_ = kind;
  if (kind != kSourceMp4) {  // an AVI needs its own description
    TraceLog("CDrawWnd::SetPlay", __LINE__, "%s file open failed\n", front.c_str());
    return;
  }
  bool opened = false;
  if (info && info->ptrh.box.found()) {
    opened = OpenDirect(front, rear, *info);
  }
  if (!opened) {
    if (!rear.empty()) Post(kPlayEndOrRear, kRearUnplayable);
    if (!OpenDemuxed()) return;
  }
  StartThreads(startSecond, startSecond > 0);
}

void CDispWnd::StartPlay(const std::string& path, AVIINFO* info, int startSecond) {
  if (playMode_ != kPlayNone || running_) StopPlay();
  frontPath_ = path;
  rearPath_ = path;
  kind_ = kSourceAvi;
  if (!info || !OpenAvi(path, info)) {
    aviIndex_.clear();
    return;
  }
  // The owner resumes on (0, ·), once the whole index is walked.
  StartThreads(startSecond, true);
}

void CDispWnd::StartThreads(int startSecond, bool startPaused) {
  runStop_.Reset();
  playStop_.Reset();
  pauseAck_.Reset();
  running_ = 1;
  startSecond_ = std::max(0, startSecond);
  paused_ = startPaused ? 1 : 0;
  try {
    runThread_ = std::thread(&CDispWnd::RunThread, this);
  } catch (const std::system_error&) {
    TraceLog("CDispWnd::StartPlay", __LINE__, "StartPlay Create run_thread failed %s\n",
             frontPath_.c_str());
    running_ = 0;
    playMode_ = kPlayNone;
    return;
  }
  if (!StartAhead()) {
    playMode_ = kPlayNone;
    return;
  }
  try {
    playThread_ = std::thread(&CDispWnd::PlayThread, this);
  } catch (const std::system_error&) {
    TraceLog("CDispWnd::StartPlay", __LINE__, "StartPlay Create play_thread failed %s\n",
             frontPath_.c_str());
    playMode_ = kPlayNone;
  }
}

int CDispWnd::AvConnect() {
  AVFormatContext* ctx = avformat_alloc_context();
  if (!ctx) {
    TraceLog("CDispWnd::AvConnect", __LINE__, "avformat_alloc_context failed %s\n",
             frontPath_.c_str());
    return -1;
  }
  ctx->interrupt_callback.callback = InterruptCallback;
  ctx->interrupt_callback.opaque = &running_;
  int rc = avformat_open_input(&ctx, frontPath_.c_str(), nullptr, nullptr);
  if (rc < 0) {  // the context is freed by the failed open
    TraceLog("CDispWnd::AvConnect", __LINE__, "avformat_open_input failed %s\n",
             frontPath_.c_str());
    return rc;
  }
  input_.reset(ctx);
  if (avformat_find_stream_info(ctx, nullptr) < 0) {
    TraceLog("CDispWnd::AvConnect", __LINE__, "avformat_find_stream_info failed %s\n",
             frontPath_.c_str());
    return -1;
  }
  inputVideo_ = inputAudio_ = -1;
  for (unsigned i = 0; i < ctx->nb_streams; ++i) {
    const AVMediaType type = ctx->streams[i]->codecpar->codec_type;
    if (type == AVMEDIA_TYPE_VIDEO && inputVideo_ < 0) inputVideo_ = int(i);
    if (type == AVMEDIA_TYPE_AUDIO && inputAudio_ < 0) inputAudio_ = int(i);
  }
  if (inputAudio_ < 0)
    TraceLog("CDispWnd::AvConnect", __LINE__, "no audio stream founded %s\n", frontPath_.c_str());
  if (inputVideo_ < 0) {
    TraceLog("CDispWnd::AvConnect", __LINE__, "no video stream founded %s\n", frontPath_.c_str());
    return -1;
  }
  const AVStream* video = ctx->streams[inputVideo_];
  if (!OpenVCodecFrom(video->codecpar)) return -1;
  const double rate = video->avg_frame_rate.den ? av_q2d(video->avg_frame_rate) : 0.0;
  fps = std::clamp(int(std::lround(rate / kFpsStep)) * kFpsStep, kMinFps, kMaxFps);
  if (inputAudio_ >= 0 && !OpenAudioFrom(ctx->streams[inputAudio_]->codecpar)) inputAudio_ = -1;
  av_read_play(ctx);
  return 0;
}

bool CDispWnd::StopWait() {
  if (waitCountdown_.exchange(0) > 0) {
    if (observer_) observer_->ShowWait(false);
    PresentAgain();
    return true;
  }
  return false;
}

void CDispWnd::StopPlay() {
  StopWait();
  const bool wasRunning = running_ != 0 || playMode_ != kPlayNone;
  if (running_.exchange(0)) {
    runStop_.Set();
    if (runThread_.joinable()) runThread_.join();
  }
  if (runThread_.joinable()) runThread_.join();
  if (playMode_ != kPlayNone || playThread_.joinable()) {
    ratesDiffer_ = 0;
    reposition_ = 0;
    stepped_ = 0;
    playMode_ = kPlayNone;
    playStop_.Set();
    if (playThread_.joinable()) playThread_.join();
    audio_.Clear();
  }
  StopAhead();
  ReleaseAudio();
  input_.reset();
  inputVideo_ = inputAudio_ = -1;
  ShowIn(this);
  rear_.ShowIn(&rear_);
  rear_.StopView(wasRunning);
  StopView(wasRunning);
  rearPresent_ = 0;
  rearDelay_ = -1;
  repeatCount = 0;
  aviIndex_.clear();
  aviIndex_.shrink_to_fit();
  if (scratch_) {
    scratch_.reset();
    std::error_code ec;
    std::filesystem::remove(scratchPath_, ec);
  }
  startSecond_ = 0;
  indexComplete_ = 0;
  paused_ = 0;
  pauseRequest_ = 0;
}

void CDispWnd::Pause(bool on) {
  if (playMode_ == kPlayNone) return;
  if (on) {
    pauseRequest_ = 1;
    paused_ = 1;
    AudClose();  // after paused_: a wait ending now no longer reopens it
    StopWait();
    pauseAck_.Wait();
    Draw(true);
    if (rearPresent_) rear_.Draw(true);
    stepped_ = 0;
    return;
  }
  if (stepped_) {
    Resynchronise();
    if (rearPresent_) rear_.Resynchronise();
    stepped_ = 0;
  }
  if (paused_) AudResume();
  paused_ = 0;
}

void CDispWnd::Step(bool forward) {
  if (playMode_ == kPlayNone || !paused_) return;
  const bool rear = rearPresent_ != 0;
  StepResult front = StepResult::kNone, back = StepResult::kNone;
  if (forward) {
    front = StepForward();
    if (rear) back = rear_.StepForward();
  } else {
    Refill f, r;
    front = StepBackBegin(&f);
    if (rear) back = rear_.StepBackBegin(&r);
    // The two intervals decode side by side: the views share no decoder, file or slot.
    std::thread rearRefill;
    if (r.active) {
      try {
        rearRefill = std::thread([this, &r] {
          while (rear_.RefillOne(r)) {
          }
        });
      } catch (const std::system_error&) {
        TraceLog("CDispWnd::Step", __LINE__, "rear refill thread failed, refilling in turn\n");
      }
    }
    while (RefillOne(f)) {
    }
    if (rearRefill.joinable()) rearRefill.join();
    while (rear_.RefillOne(r)) {
    }
    if (f.started) front = RefillFinish(f);
    if (r.started) back = rear_.RefillFinish(r);
  }
  if (front == StepResult::kShown) {
    Draw(true);
    const int32_t shown = ShownEntry();
    if (table->Indexed(shown)) Post(kPlayPosition, table->at(shown).timeMs);
  }
  if (back == StepResult::kShown) rear_.Draw(true);
  stepped_ = 1;
}

void CDispWnd::Seek(uint32_t ms) {
  if (playMode_ == kPlayNone) return;
  if (!paused_) {
    // play_thread and the decode-ahead workers are parked before the cursors move: a
    // picture decoded, or about to be presented, for the old position must never reach
    // the screen or the position report after the seek.
    pauseRequest_ = 1;
    paused_ = 1;
    pauseAck_.Wait();
    std::lock_guard<std::mutex> lock(indexMutex_);
    audioAlign_ = true;
    AudClose();
    SeekView(ms);
    if (rearPresent_) rear_.SeekView(ms);
    reposition_ = 1;
    paused_ = 0;
    if (speed_ == kSpeed1X) AudStart();
    return;
  }
  {
    std::lock_guard<std::mutex> lock(indexMutex_);
    AudClose();
    SeekView(ms);
    if (rearPresent_) rear_.SeekView(ms);
  }
  stepped_ = 0;
  int32_t shown = -1;
  if (DecodeAtCursor(&shown)) {
    if (table->Indexed(shown)) Post(kPlayPosition, table->at(shown).timeMs);
    Draw(true);
  }
  if (rearPresent_ && rear_.DecodeAtCursor(&shown)) rear_.Draw(true);
}

void CDispWnd::SetSwap(bool on) {
  if (on == swapped_) return;
  if (playMode_ == kPlayNone || !rearPresent_) {
    swapped_ = on;
    return;
  }
  const bool wasPlaying = !paused_;
  if (wasPlaying) Pause(true);
  swapped_ = on;
  RouteViews();
  Draw(true);
  if (rearPresent_) rear_.Draw(true);
  if (wasPlaying) Pause(false);
}

void CDispWnd::SetSpeed(int index) {
  if (index < kSpeedHalf || index > kSpeed4X || index == speed_) return;
  std::lock_guard<std::mutex> lock(indexMutex_);
  speed_ = index;  // first: a wait ending now opens the device at 1X only
  // Sound is heard at 1X only.
  if (!paused_ && index == kSpeed1X) {
    audioAlign_ = true;
    AudStart();
  } else if (!paused_) {
    AudClose();
  }
  reposition_ = paused_ ? 1 : 2;
}

}  // namespace tq
