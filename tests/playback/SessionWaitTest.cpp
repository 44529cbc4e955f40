// Presentation catching up with indexing: the wait message shows, and play goes on when
// more records arrive. The source is a transport stream written into a pipe in two parts.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <thread>

#include "playback/PlaybackTestUtil.h"

namespace tq::test {
namespace {

class WaitObserver final : public PlaybackObserver {
 public:
  void ShowWait(bool show) override { (show ? shown : hidden)++; }
  void Presented(int view, uint32_t, uint64_t) override {
    if (view == 0) ++presented;
  }
  std::atomic<int> shown{0}, hidden{0}, presented{0};
};

TEST(SessionWait, catching_up_with_the_indexer_waits_then_plays_on) {
  TempDir dir;
  const std::string ts = dir.file("clip.ts");
  const auto made = RunCommand(
      "ffmpeg -v error -nostdin -f lavfi -i testsrc=size=256x144:rate=30 -t 12 -c:v libx264 "
      "-preset ultrafast -bf 0 -g 30 -f mpegts " + Quote(ts));
  ASSERT_EQ(made.exitCode, 0) << made.output;
  const std::vector<uint8_t> bytes = ReadAll(ts);
  const std::string fifo = dir.file("pipe.ts");
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);

  std::thread writer([&] {
    const int fd = ::open(fifo.c_str(), O_WRONLY);
    if (fd < 0) return;
    const size_t first = bytes.size() * 3 / 4;  // 9 s: enough for the stream probe
    for (size_t done = 0; done < first;) {
      const ssize_t n = ::write(fd, bytes.data() + done, first - done);
      if (n <= 0) break;
      done += size_t(n);
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(3500));
    for (size_t done = first; done < bytes.size();) {
      const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
      if (n <= 0) break;
      done += size_t(n);
    }
    ::close(fd);
  });

  RegisterDrawBackend(DrawKind::Raster, DrawBackend{[] { return std::make_unique<CaptureDraw>(); }, {}});
  CaptureWindow window(1);
  RecordingSink sink;
  WaitObserver observer;
  SessionOptions o;
  o.settingsFolder = dir.path().string();
  o.frontWindow = &window;
  {
    CDispWnd session(&sink, o, &observer);
    session.SetSpeed(kSpeed4X);
    session.StartPlay(fifo, "", kSourceMp4, nullptr, 0);
    EXPECT_TRUE(sink.WaitFor(kPlayEndOrRear, kEndPresented, 30000));
    session.StopPlay();
  }
  writer.join();
  RegisterDrawBackend(DrawKind::Raster, {});
  EXPECT_GE(observer.shown.load(), 1);
  EXPECT_EQ(observer.hidden.load(), observer.shown.load());
  EXPECT_EQ(observer.presented.load(), 360);
}

}  // namespace
}  // namespace tq::test
