// Shared parts of the playback tests: a message sink that records the posts, capture
// windows for both views, frame tags read back from captured pictures, and a few
// recordings made once per test program.
#pragma once

#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <string>
#include <tuple>
#include <vector>

#include "CameraRecording.h"
#include "FrameTag.h"
#include "container/Mp4Valid.h"
#include "playback/CDispWnd.h"
#include "playback/CaptureDraw.h"
#include "support/TestSupport.h"

namespace tq::test {

struct Posted {
  uint32_t msg;
  int64_t w;
  int64_t l;
};

class RecordingSink final : public MessageSink {
 public:
  void post(uint32_t msg, int64_t w, int64_t l) override {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      posts_.push_back({msg, w, l});
    }
    cv_.notify_all();
  }
  std::vector<Posted> All() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return posts_;
  }
  // Play messages with this code, their values in order.
  std::vector<int64_t> Values(int64_t code) const {
    std::vector<int64_t> v;
    for (const Posted& p : All())
      if (p.msg == kMsgPlay && p.w == code) v.push_back(p.l);
    return v;
  }
  int Count(int64_t code, int64_t value) const {
    int n = 0;
    for (int64_t v : Values(code)) n += v == value;
    return n;
  }
  // Waits until the play message (code, value) has been posted.
  bool WaitFor(int64_t code, int64_t value, int timeoutMs = 20000) {
    std::unique_lock<std::mutex> lock(mutex_);
    return cv_.wait_for(lock, std::chrono::milliseconds(timeoutMs), [&] {
      for (const Posted& p : posts_)
        if (p.msg == kMsgPlay && p.w == code && p.l == value) return true;
      return false;
    });
  }
  void Clear() {
    std::lock_guard<std::mutex> lock(mutex_);
    posts_.clear();
  }

 private:
  mutable std::mutex mutex_;
  std::condition_variable cv_;
  std::vector<Posted> posts_;
};

// Frame numbers of the captured pictures, in draw order (-1 for an unreadable tag).
inline std::vector<int> Tags(const std::vector<CapturedPicture>& pictures) {
  std::vector<int> tags;
  for (const CapturedPicture& p : pictures) {
    if (p.format == kDrawRgb32) {
      std::vector<uint8_t> luma(size_t(p.width) * p.height);
      for (size_t i = 0; i < luma.size(); ++i) luma[i] = p.bytes[i * 4 + 1];  // green
      tags.push_back(ReadFrameTag(luma.data(), p.width, p.width, p.height).frame);
    } else {
      tags.push_back(ReadFrameTag(p.bytes.data(), p.width, p.width, p.height).frame);
    }
  }
  return tags;
}
inline std::vector<int> Tags(const CaptureWindow& w) { return Tags(w.Pictures()); }

// Drops repeats of the same picture drawn again (redraws at pause and at the end).
inline std::vector<int> Distinct(const std::vector<int>& tags) {
  std::vector<int> out;
  for (int t : tags)
    if (out.empty() || out.back() != t) out.push_back(t);
  return out;
}

inline std::vector<int> Range(int from, int to, int step = 1) {
  std::vector<int> v;
  for (int i = from; i < to; i += step) v.push_back(i);
  return v;
}

inline bool WaitUntil(const std::function<bool()>& done, int timeoutMs = 20000) {
  const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  while (!done()) {
    if (std::chrono::steady_clock::now() > end) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
  }
  return true;
}

// The recordings the playback tests use, made once per test program.
struct PlaybackMedia {
  std::string front30;   // 2 s, 30 fps, gop 30, 256x144
  std::string rear30;    // 2 s, 30 fps, gop 30, 224x128 (rear camera)
  std::string rear15;    // 2 s, 15 fps, gop 15, 224x128
  std::string plain;     // front30 remuxed by ffmpeg: an ordinary MP4 without frame records
  std::string broken;    // not an MP4 at all
  std::string error;
};

inline std::string MakeRecording(const TempDir& dir, const std::string& name, int camera,
                                 int w, int h, int fps, int gop, std::string* error) {
  RecordingSpec s;
  s.width = w;
  s.height = h;
  s.fps = fps;
  s.gop = gop;
  s.durationMs = 2000;
  s.camera = camera;
  s.seed = uint32_t(camera + 1);
  RecordingResult r;
  const std::string path = dir.file(name);
  return WriteRecording(s, path, &r, error) ? path : std::string();
}

inline const PlaybackMedia& Media() {
  static TempDir dir;
  static PlaybackMedia m = [] {
    PlaybackMedia x;
    x.front30 = MakeRecording(dir, "f30.mp4", 0, 256, 144, 30, 30, &x.error);
    x.rear30 = MakeRecording(dir, "r30.mp4", 1, 224, 128, 30, 30, &x.error);
    x.rear15 = MakeRecording(dir, "r15.mp4", 1, 224, 128, 15, 15, &x.error);
    x.plain = dir.file("plain.mp4");
    RunCommand("ffmpeg -v error -nostdin -y -i " + Quote(x.front30) +
               " -map 0:v -c copy -f mp4 " + Quote(x.plain));
    x.broken = dir.file("broken.mp4");
    std::ofstream(x.broken) << "this is not a recording at all, just some text bytes";
    return x;
  }();
  return m;
}

// One session with capture windows for both views; the capture back end is the only
// registered renderer (the raster kind), answering the window's format code.
class SessionTest : public testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(!Media().front30.empty() && !Media().rear30.empty() && !Media().rear15.empty())
        << Media().error;
    RegisterDrawBackend(DrawKind::Raster, DrawBackend{[] { return std::make_unique<CaptureDraw>(); }, {}});
    SessionOptions o;
    o.settingsFolder = settings.path().string();
    o.frontWindow = &front;
    o.rearWindow = &rear;
    session = std::make_unique<CDispWnd>(&sink, o);
  }
  void TearDown() override {
    session.reset();
    RegisterDrawBackend(DrawKind::Raster, {});
  }
  // Validates the front like the player does, then starts.
  void Start(const std::string& frontPath, const std::string& rearPath, int startSecond = 0,
             int speed = kSpeed1X) {
    MP4INFO info;
    const bool valid = ValidMP4(frontPath, &info, 0) != 0;
    session->SetSpeed(speed);
    session->StartPlay(frontPath, rearPath, kSourceMp4, valid ? &info : nullptr, startSecond);
    FreeMP4INFO(info);
  }
  bool PlayToEnd(int timeoutMs = 20000) { return sink.WaitFor(kPlayEndOrRear, kEndPresented, timeoutMs); }

  TempDir settings;
  CaptureWindow front{1000, kDrawI420};
  CaptureWindow rear{1000, kDrawI420};
  RecordingSink sink;
  std::unique_ptr<CDispWnd> session;
};

}  // namespace tq::test
