// tqmb20 play FILE [--rear FILE] [--speed 0.5|1|2|4] [--seconds N] [--start SEC] [--json]:
// plays through the real engine with the capture renderer until the end of the recording
// or N seconds of wall time, and reports the play messages, how the pictures kept time
// and how the sound kept with them on a memory wave-out device: the skew is what is heard
// (the sound the device is playing when a picture is presented) against that picture, the
// lead how far ahead of the picture sound is written.
#include <algorithm>
#include <cctype>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "cli/Commands.h"
#include "cli/Json.h"
#include "container/AviValid.h"
#include "container/Mp4Reader.h"
#include "container/Mp4Valid.h"
#include "platform/Clock.h"
#include "platform/MemoryWaveOut.h"
#include "playback/CDispWnd.h"
#include "playback/CaptureDraw.h"

namespace tq::cli {
namespace {

constexpr const char* kName = "play";

struct Options {
  std::string front;
  std::string rear;
  int speed = kSpeed1X;
  double speedFactor = 1.0;
  double seconds = 0;  // 0: until the end
  int start = 0;
  bool json = false;
};

struct ViewStats {
  bool any = false;
  uint64_t firstTick = 0;
  uint32_t firstTime = 0;
  uint64_t lastTick = 0;
  uint32_t lastTime = 0;
  uint64_t presented = 0;
  uint64_t late = 0;
  int64_t maxLate = 0;
};

// Collects the posts and the presented pictures; wakes the main thread on the end.
class PlayMonitor final : public MessageSink, public PlaybackObserver {
 public:
  PlayMonitor(double speedFactor) : speedFactor_(speedFactor) {}

  void post(uint32_t msg, int64_t w, int64_t l) override {
    std::lock_guard<std::mutex> lock(mutex_);
    if (msg != kMsgPlay) return;
    messages_.push_back({w, l});
    if (w == kPlayStartIndexed) startIndexed_ = true;
    if ((w == kPlayEndOrRear && l == kEndPresented) || w == kPlaySourceError) finished_ = true;
    cv_.notify_all();
  }

  void Presented(int view, uint32_t timeMs, uint64_t tickMs) override {
    std::lock_guard<std::mutex> lock(mutex_);
    if (!anchored_) {  // the first picture after start or a seek sets the schedule
      anchored_ = true;
      anchorTick_ = tickMs;
      anchorTime_ = timeMs;
    }
    ViewStats& s = stats_[view == 0 ? 0 : 1];
    if (!s.any) {
      s.any = true;
      s.firstTick = tickMs;
      s.firstTime = timeMs;
    }
    s.lastTick = tickMs;
    s.lastTime = timeMs;
    ++s.presented;
    const double due = double(anchorTick_) + (double(timeMs) - double(anchorTime_)) / speedFactor_;
    const int64_t late = int64_t(double(tickMs) - due);
    const double interval = 1000.0 / double(fps_[view == 0 ? 0 : 1]) / speedFactor_;
    if (double(late) > interval) ++s.late;
    s.maxLate = std::max(s.maxLate, late);
    lastTime_[view == 0 ? 0 : 1] = int64_t(timeMs);
    if (lastTime_[0] >= 0 && lastTime_[1] >= 0)
      syncMax_ = std::max(syncMax_, std::abs(lastTime_[0] - lastTime_[1]));
  }

  // Sound written while a front picture is on screen: how far its media time is from it.
  void AudioWritten(uint32_t timeMs, uint32_t, uint64_t) override {
    std::lock_guard<std::mutex> lock(mutex_);
    ++audioBuffers_;
    if (lastTime_[0] >= 0) audioLeadMax_ = std::max(audioLeadMax_, std::abs(int64_t(timeMs) - lastTime_[0]));
  }

  // The sound being played as a front picture is presented, against that picture.
  void SoundHeard(uint32_t pictureMs, int64_t heardUs, uint64_t) override {
    std::lock_guard<std::mutex> lock(mutex_);
    const int64_t skewUs = std::abs(heardUs - int64_t(pictureMs) * 1000);
    audioSkewMax_ = std::max(audioSkewMax_, (skewUs + 500) / 1000);
  }

  // Waits for the end, a source error or the deadline; true when play reached the end.
  bool WaitEnd(uint64_t deadlineTick) {
    std::unique_lock<std::mutex> lock(mutex_);
    while (!finished_) {
      const uint64_t now = TickCountMs();
      if (deadlineTick && now >= deadlineTick) return false;
      cv_.wait_for(lock, std::chrono::milliseconds(deadlineTick ? std::min<uint64_t>(deadlineTick - now, 50) : 50));
    }
    return true;
  }
  bool WaitStartIndexed(uint64_t deadlineTick) {
    std::unique_lock<std::mutex> lock(mutex_);
    while (!startIndexed_ && !finished_) {
      if (deadlineTick && TickCountMs() >= deadlineTick) return false;
      cv_.wait_for(lock, std::chrono::milliseconds(20));
    }
    return startIndexed_;
  }
  void ResetAnchor() {
    std::lock_guard<std::mutex> lock(mutex_);
    anchored_ = false;
  }
  void SetFps(int front, int rear) {
    std::lock_guard<std::mutex> lock(mutex_);
    fps_[0] = std::max(1, front);
    fps_[1] = std::max(1, rear);
  }

  std::mutex mutex_;  // guards everything below
  std::condition_variable cv_;
  std::vector<std::pair<int64_t, int64_t>> messages_;
  ViewStats stats_[2];
  int64_t lastTime_[2] = {-1, -1};
  int64_t syncMax_ = 0;
  uint64_t audioBuffers_ = 0;
  int64_t audioSkewMax_ = 0;
  int64_t audioLeadMax_ = 0;
  int fps_[2] = {30, 30};
  bool startIndexed_ = false;
  bool finished_ = false;

 private:
  const double speedFactor_;
  bool anchored_ = false;
  uint64_t anchorTick_ = 0;
  uint32_t anchorTime_ = 0;
};

bool ParseSpeed(const std::string& s, Options* o) {
  const struct {
    const char* text;
    int index;
    double factor;
  } speeds[] = {{"0.5", kSpeedHalf, 0.5}, {"1", kSpeed1X, 1}, {"2", kSpeed2X, 2}, {"4", kSpeed4X, 4}};
  for (const auto& sp : speeds) {
    if (s == sp.text) {
      o->speed = sp.index;
      o->speedFactor = sp.factor;
      return true;
    }
  }
  return false;
}

bool ParseNumber(const std::string& s, double lo, double hi, double* out) {
  char* end = nullptr;
  const double v = std::strtod(s.c_str(), &end);
  if (s.empty() || *end || !(v >= lo && v <= hi)) return false;
  *out = v;
  return true;
}

// 0 ok, else the exit code.
int ParseArgs(const Args& args, Options* o) {
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    const bool hasValue = i + 1 < args.size();
    double v = 0;
    if (a == "--json") {
      o->json = true;
    } else if (a == "--rear" && hasValue) {
      o->rear = args[++i];
    } else if (a == "--speed" && hasValue) {
      if (!ParseSpeed(args[++i], o)) return Fail(kName, 2, "--speed takes 0.5, 1, 2 or 4");
    } else if (a == "--seconds" && hasValue) {
      if (!ParseNumber(args[++i], 0.001, 86400, &v)) return Fail(kName, 2, "--seconds takes a positive number");
      o->seconds = v;
    } else if (a == "--start" && hasValue) {
      if (!ParseNumber(args[++i], 0, 86400, &v)) return Fail(kName, 2, "--start takes a second count");
      o->start = int(v);
    } else if (!a.empty() && a[0] == '-') {
      return Fail(kName, 2, "unknown option " + a);
    } else if (o->front.empty()) {
      o->front = a;
    } else {
      return Fail(kName, 2, "one recording at a time (the rear goes after --rear)");
    }
  }
  if (o->front.empty())
    return Fail(kName, 2, "usage: tqmb20 play FILE [--rear FILE] [--speed 0.5|1|2|4] [--seconds N] [--start SEC] [--json]");
  return 0;
}

void WriteView(JsonWriter& json, const ViewStats& s, uint64_t startTick) {
  const double wall = double(s.lastTick - s.firstTick);
  const double media = double(s.lastTime) - double(s.firstTime);
  json.BeginObject()
      .Key("first_picture_ms").Int(s.any ? int64_t(s.firstTick - startTick) : -1)
      .Key("frames_presented").UInt(s.presented)
      .Key("frames_late").UInt(s.late)
      .Key("max_late_ms").Int(std::max<int64_t>(0, s.maxLate))
      .Key("effective_speed").Double(wall > 0 ? media / wall : 0.0)
      .EndObject();
}

void PrintText(const PlayMonitor& m, bool hasRear, uint64_t startTick) {
  for (const auto& [code, value] : m.messages_) std::printf("message %lld %lld\n", (long long)code, (long long)value);
  for (int v = 0; v < (hasRear ? 2 : 1); ++v) {
    const ViewStats& s = m.stats_[v];
    const double wall = double(s.lastTick - s.firstTick);
    std::printf("%s: first picture %lld ms, %llu presented, %llu late (max %lld ms), speed %.2f\n",
                v == 0 ? "front" : "rear", s.any ? (long long)(s.firstTick - startTick) : -1LL,
                (unsigned long long)s.presented, (unsigned long long)s.late,
                (long long)std::max<int64_t>(0, s.maxLate),
                wall > 0 ? (double(s.lastTime) - double(s.firstTime)) / wall : 0.0);
  }
  if (hasRear) std::printf("sync max %lld ms\n", (long long)m.syncMax_);
  std::printf("audio: %llu buffers written, max skew %lld ms, max lead %lld ms\n",
              (unsigned long long)m.audioBuffers_, (long long)m.audioSkewMax_, (long long)m.audioLeadMax_);
}

}  // namespace

int RunPlay(const Args& args) {
  Options o;
  if (const int rc = ParseArgs(args, &o)) return rc;
  std::error_code ec;
  if (const std::string problem = FileProblem(o.front); !problem.empty())
    return Fail(kName, 1, o.front + ": " + problem);
  if (!o.rear.empty())
    if (const std::string problem = FileProblem(o.rear); !problem.empty())
      return Fail(kName, 1, o.rear + ": " + problem);

  // Read-only look at both cameras: a camera recording plays by its frame records, anything
  // else through the demuxer; an unfinished recording plays from the index a repair would
  // write, worked out in memory. An AVI (both cameras in one file) without a usable index
  // plays from the index a rebuild would append, likewise kept in memory.
  std::string ext = std::filesystem::path(o.front).extension().string();
  std::transform(ext.begin(), ext.end(), ext.begin(), [](unsigned char c) { return char(std::tolower(c)); });
  const bool isAvi = ext == ".avi";
  AVIINFO avi{};
  if (isAvi && !o.rear.empty()) return Fail(kName, 2, "--rear: an AVI holds its rear camera itself");
  if (isAvi) {
    std::string why;
    if (!ReadAVI(o.front, &avi, &why)) return Fail(kName, 1, o.front + ": not a playable AVI (" + why + ")");
    if (avi.index.empty()) {
      std::vector<AviIndexEntry> entries;
      std::unique_ptr<MediaFile> f = MediaFile::Open(o.front, "rb");
      if (!f || !PlanRecoverAVI(*f, avi, &entries))
        return Fail(kName, 1, o.front + ": the AVI has no usable index and none can be rebuilt");
      avi.index = std::move(entries);
      avi.indexCount = uint16_t(avi.index.size());
    }
  }
  MP4INFO info;
  RepairedIndex repaired;
  bool playable = false;
  if (!isAvi) {
    ValidateOptions readOnly;
    readOnly.dryRun = true;
    const ValidateReport r = ValidateMP4(o.front, &info, 0, readOnly);
    std::string why;
    playable = r.result == ValidateResult::Ok ||
               (r.result == ValidateResult::Repaired && repaired.WorkOut(o.front, info, &why));
  }

  const std::filesystem::path scratch =
      std::filesystem::temp_directory_path(ec) / ("tqmb20-play-" + std::to_string(::getpid()));
  std::filesystem::create_directories(scratch, ec);
  // The report needs draw times only: the windows keep no pictures.
  CaptureWindow frontWindow(0), rearWindow(0);
  RegisterDrawBackend(DrawKind::Raster, DrawBackend{[] { return std::make_unique<CaptureDraw>(); }, {}});
  PlayMonitor monitor(o.speedFactor);
  MemoryWaveOut waveOut;
  bool ended = false;
  uint64_t startTick = 0;
  bool hasRear = false;
  {
    SessionOptions so;
    so.settingsFolder = scratch.string();
    so.frontWindow = &frontWindow;
    so.rearWindow = &rearWindow;
    so.waveOut = &waveOut;
    so.readOnly = true;
    CDispWnd session(&monitor, so, &monitor);
    session.SetSpeed(o.speed);
    startTick = TickCountMs();
    if (isAvi)
      session.StartPlay(o.front, &avi, o.start);
    else
      session.StartPlay(o.front, o.rear, kSourceMp4, playable ? &info : nullptr, o.start);
    FreeMP4INFO(info);
    hasRear = session.rearPresent();
    monitor.SetFps(session.fps, session.rearView().fps);
    const uint64_t deadline = o.seconds > 0 ? startTick + uint64_t(o.seconds * 1000) : 0;
    if (session.playMode() == kPlayNone) {
      std::filesystem::remove_all(scratch, ec);
      RegisterDrawBackend(DrawKind::Raster, {});
      return Fail(kName, 1, o.front + ": cannot be played");
    }
    if (isAvi && monitor.WaitStartIndexed(deadline)) {
      // An AVI starts paused until its index is walked; the controller resumes it on (0, ·).
      if (o.start > 0) session.Seek(uint32_t(o.start) * 1000);
      monitor.ResetAnchor();
      session.Pause(false);
    } else if (!isAvi && o.start > 0 && monitor.WaitStartIndexed(deadline)) {
      // What the player controller does on (0, 0): seek to the start and resume.
      session.Seek(uint32_t(o.start) * 1000);
      monitor.ResetAnchor();
      session.Pause(false);
    }
    ended = monitor.WaitEnd(deadline);
    hasRear = session.rearPresent();
    monitor.SetFps(session.fps, session.rearView().fps);
    session.StopPlay();
  }
  RegisterDrawBackend(DrawKind::Raster, {});
  std::filesystem::remove_all(scratch, ec);

  std::lock_guard<std::mutex> lock(monitor.mutex_);
  if (o.json) {
    JsonWriter json;
    json.BeginObject().Key("messages").BeginArray();
    for (const auto& [code, value] : monitor.messages_) json.BeginArray().Int(code).Int(value).EndArray();
    json.EndArray().Key("front");
    WriteView(json, monitor.stats_[0], startTick);
    json.Key("rear");
    if (hasRear) {
      WriteView(json, monitor.stats_[1], startTick);
    } else {
      json.Null();
    }
    json.Key("sync_max_ms").Int(hasRear ? monitor.syncMax_ : 0);
    json.Key("audio_buffers_written").UInt(monitor.audioBuffers_);
    json.Key("audio_max_skew_ms").Int(monitor.audioSkewMax_);
    json.Key("audio_lead_ms").Int(monitor.audioLeadMax_);
    json.Key("ended").Bool(ended);
    json.EndObject();
    std::printf("%s\n", json.str().c_str());
  } else {
    PrintText(monitor, hasRear, startTick);
  }
  if (!o.rear.empty() && !hasRear)
    Fail(kName, 0, o.rear + ": the rear camera was dropped (it cannot be played); the front played alone");
  for (const auto& [code, value] : monitor.messages_)
    if (code == kPlaySourceError) return Fail(kName, 1, o.front + ": the source could not be read");
  if (monitor.stats_[0].presented == 0) return Fail(kName, 1, o.front + ": no picture was presented");
  return 0;
}

}  // namespace tq::cli
