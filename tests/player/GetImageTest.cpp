// The view's get-image: the paused picture of a real recording as upright BGR24 at the
// recording's own size, whatever the picture flags; nothing before the first picture.
#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>

#include "FrameTag.h"
#include "container/Mp4Valid.h"
#include "playback/CDispWnd.h"
#include "support/TestSupport.h"

namespace tq {
namespace {

class Posts final : public MessageSink {
 public:
  void post(uint32_t msg, int64_t w, int64_t l) override {
    std::lock_guard<std::mutex> lock(mutex_);
    if (msg == kMsgPlay) got_.push_back({w, l});
    cv_.notify_all();
  }
  bool WaitFor(int64_t code, int64_t value) {
    std::unique_lock<std::mutex> lock(mutex_);
    return cv_.wait_for(lock, std::chrono::seconds(20), [&] {
      for (auto& [w, l] : got_)
        if (w == code && l == value) return true;
      return false;
    });
  }

 private:
  std::mutex mutex_;
  std::condition_variable cv_;
  std::vector<std::pair<int64_t, int64_t>> got_;
};

// Frame tag of a BGR24 picture (the tag's cells are black or white in every channel).
FrameTagValue Tag(const std::vector<uint8_t>& bgr, int w, int h) {
  std::vector<uint8_t> green(size_t(w) * h);
  for (size_t i = 0; i < green.size(); ++i) green[i] = bgr[i * 3 + 1];
  return ReadFrameTag(green.data(), w, w, h);
}

TEST(GetImage, paused_picture_is_upright_bgr_at_its_own_size) {
  test::TempDir settings;
  Posts posts;
  SessionOptions options;
  options.settingsFolder = settings.path().string();
  CDispWnd session(&posts, options);
  std::vector<uint8_t> bgr;
  int w = 0, h = 0;
  EXPECT_FALSE(session.GetImage(&bgr, &w, &h));  // nothing decoded yet

  const std::string path = std::string(TQ_FIXTURE_DIR) + "/h264_sound.mp4";
  MP4INFO info;
  ASSERT_TRUE(ValidMP4(path, &info, 0));
  session.StartPlay(path, "", kSourceMp4, &info, 0);
  FreeMP4INFO(info);
  ASSERT_TRUE(posts.WaitFor(kPlayStartIndexed, 0));
  session.Pause(true);
  // The seeks below go to key frames at 1 s and 2 s, which must be indexed by then: a seek
  // lands on the last key frame indexed at or before its target.
  const auto indexed = std::chrono::steady_clock::now() + std::chrono::seconds(20);
  while (!session.indexComplete() && std::chrono::steady_clock::now() < indexed)
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  ASSERT_TRUE(session.indexComplete());
  struct Case {
    uint32_t seekMs;
    int flags;
    int wantFrame;
  } cases[] = {{1000, 0, 30}, {2000, kFlipUpDown | kMirrorLeftRight, 60}, {0, kFlipUpDown, 0}};
  for (const Case& c : cases) {
    session.pictureFlags = c.flags;
    session.Seek(c.seekMs);
    ASSERT_TRUE(session.GetImage(&bgr, &w, &h));
    EXPECT_EQ(w, 320);
    EXPECT_EQ(h, 180);
    ASSERT_EQ(bgr.size(), size_t(320 * 180 * 3));
    const FrameTagValue tag = Tag(bgr, w, h);
    EXPECT_EQ(tag.camera, 0) << c.seekMs;
    EXPECT_EQ(tag.frame, c.wantFrame) << c.seekMs;
  }
  session.StopPlay();
  EXPECT_FALSE(session.GetImage(&bgr, &w, &h));  // the picture went with the stop
}

}  // namespace
}  // namespace tq
