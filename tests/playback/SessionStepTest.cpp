// Stepping, seeking while paused, the conversion for RGB renderers, and the stop
// handshake.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include "playback/PlaybackTestUtil.h"

namespace tq::test {
namespace {

int FrameTimeMs(int frame) { return frame * 1000 / 30; }  // the generator's clock

class StepTest : public SessionTest {
 protected:
  // Starts paused with nothing shown, waits for the whole index, then shows frame 0.
  void StartPaused(const std::string& rearPath) {
    Start(Media().front30, rearPath, 99);
    ASSERT_TRUE(WaitUntil([&] { return session->indexComplete(); }));
    session->Seek(0);
    ASSERT_EQ(Tags(front).back(), 0);
  }
  int LastFront() { return Tags(front).back(); }
};

TEST_F(StepTest, steps_across_second_boundaries_land_on_exact_frames) {
  StartPaused(Media().rear30);
  // The stepped pictures are kept in memory: nothing goes to the settings folder.
  EXPECT_FALSE(std::filesystem::exists(settings.file("stepfile.dat")));
  for (int f = 1; f <= 59; ++f) {
    sink.Clear();
    session->Step(true);
    ASSERT_EQ(LastFront(), f) << "forward to " << f;
    ASSERT_EQ(Tags(rear).back(), f) << "rear forward to " << f;
    EXPECT_EQ(sink.Values(kPlayPosition), std::vector<int64_t>{FrameTimeMs(f)});
  }
  // Back through the kept run (59..31), across the key frame at 30 into its own interval,
  // then across into the first second, which is decoded again from its key frame.
  for (int f = 58; f >= 0; --f) {
    sink.Clear();
    session->Step(false);
    ASSERT_EQ(LastFront(), f) << "back to " << f;
    ASSERT_EQ(Tags(rear).back(), f) << "rear back to " << f;
    EXPECT_EQ(sink.Values(kPlayPosition), std::vector<int64_t>{FrameTimeMs(f)});
    EXPECT_LE(session->keptPictures(), 30);
  }
  // At frame 0 there is nothing before: no picture, no position.
  const uint64_t drawn = front.drawn();
  sink.Clear();
  session->Step(false);
  EXPECT_EQ(front.drawn(), drawn);
  EXPECT_TRUE(sink.Values(kPlayPosition).empty());
  // Forward again reads the kept interval.
  for (int f = 1; f <= 3; ++f) {
    session->Step(true);
    ASSERT_EQ(LastFront(), f);
  }
  EXPECT_GT(session->keptPictures(), 0);
  // Playing on from a stepped position continues with the next frame and lets the kept
  // pictures go.
  session->Pause(false);
  EXPECT_EQ(session->keptPictures(), 0);
  EXPECT_EQ(session->rearView().keptPictures(), 0);
  ASSERT_TRUE(PlayToEnd());
  const auto tags = Distinct(Tags(front));
  const auto at = std::find(tags.rbegin(), tags.rend(), 3);
  ASSERT_NE(at, tags.rend());
  EXPECT_EQ(std::vector<int>(at.base() - 1, tags.end()), Range(3, 60));
}

TEST_F(StepTest, kept_pictures_are_released_on_seek_and_stop) {
  StartPaused(Media().rear30);
  for (int f = 1; f <= 40; ++f) session->Step(true);
  for (int f = 39; f >= 20; --f) session->Step(false);
  ASSERT_EQ(LastFront(), 20);
  EXPECT_GT(session->keptPictures(), 0);
  EXPECT_GT(session->rearView().keptPictures(), 0);
  session->Seek(1000);
  EXPECT_EQ(session->keptPictures(), 0);
  EXPECT_EQ(session->rearView().keptPictures(), 0);
  for (int f = 1; f <= 5; ++f) session->Step(false);
  EXPECT_EQ(LastFront(), 25);
  EXPECT_GT(session->keptPictures(), 0);
  session->StopPlay();
  EXPECT_EQ(session->keptPictures(), 0);
  EXPECT_EQ(session->rearView().keptPictures(), 0);
}

TEST_F(StepTest, a_rear_at_half_the_rate_keeps_each_picture_for_two_steps) {
  StartPaused(Media().rear15);
  ASSERT_EQ(session->rearView().repeatCount, 1);
  for (int i = 0; i < 4; ++i) session->Step(true);
  EXPECT_EQ(Distinct(Tags(rear)), (std::vector<int>{0, 1, 2}));
  EXPECT_EQ(LastFront(), 4);
}

TEST_F(StepTest, seek_while_paused_shows_the_key_frame_at_or_before_the_target) {
  StartPaused("");
  const struct {
    uint32_t target;
    int frame;
  } cases[] = {{1500, 30}, {999, 0}, {1000, 30}, {1999, 30}, {60000, 30}, {0, 0}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.target);
    sink.Clear();
    session->Seek(c.target);
    EXPECT_EQ(LastFront(), c.frame);
    EXPECT_EQ(sink.Values(kPlayPosition), std::vector<int64_t>{FrameTimeMs(c.frame)});
  }
}

TEST_F(StepTest, pause_acknowledges_and_resume_goes_on_without_gaps) {
  Start(Media().front30, "");
  ASSERT_TRUE(WaitUntil([&] { return front.drawn() >= 10; }));
  session->Pause(true);
  EXPECT_TRUE(session->paused());
  const uint64_t drawn = front.drawn();
  std::this_thread::sleep_for(std::chrono::milliseconds(150));
  EXPECT_LE(front.drawn(), drawn + 1);  // nothing plays on while paused
  session->Pause(false);
  ASSERT_TRUE(PlayToEnd());
  const auto tags = Distinct(Tags(front));
  // Every frame once, in order; a resume at a key frame may skip what the decoder held.
  EXPECT_TRUE(std::is_sorted(tags.begin(), tags.end()));
  EXPECT_EQ(tags.back(), 59);
  EXPECT_GE(tags.size(), 58u);
}

TEST(SessionConvert, rgb_renderers_get_converted_pictures_and_oversized_ones_are_refused) {
  TempDir dir;
  std::string error;
  RecordingSpec big;
  big.width = 2048;
  big.height = 1088;
  big.durationMs = 100;
  big.sound = false;
  RecordingResult r;
  const std::string bigPath = dir.file("big.mp4");
  ASSERT_TRUE(WriteRecording(big, bigPath, &r, &error)) << error;
  const struct {
    std::string path;
    int format;
    bool drawn;
  } cases[] = {{Media().front30, kDrawRgb32, true},
               {bigPath, kDrawRgb32, false},   // 2048x1088x4 exceeds the buffer
               {bigPath, kDrawI420, true}};    // planar pictures need no conversion
  RegisterDrawBackend(DrawKind::Raster, DrawBackend{[] { return std::make_unique<CaptureDraw>(); }, {}});
  for (const auto& c : cases) {
    SCOPED_TRACE(c.path + " format " + std::to_string(c.format));
    CaptureWindow window(4, c.format);
    RecordingSink sink;
    SessionOptions o;
    o.settingsFolder = dir.path().string();
    o.frontWindow = &window;
    CDispWnd session(&sink, o);
    MP4INFO info;
    ASSERT_NE(ValidMP4(c.path, &info, 0), 0);
    session.StartPlay(c.path, "", kSourceMp4, &info, 99);
    FreeMP4INFO(info);
    ASSERT_TRUE(WaitUntil([&] { return session.indexComplete(); }));
    session.Seek(0);
    EXPECT_EQ(window.drawn() > 0, c.drawn);
    if (c.drawn) {
      const auto pics = window.Pictures();
      ASSERT_FALSE(pics.empty());
      EXPECT_EQ(pics.back().format, c.format);
      EXPECT_EQ(Tags(pics).back(), 0);
      const size_t bytes = c.format == kDrawRgb32 ? size_t(256 * 144 * 4) : size_t(2048 * 1088 * 3 / 2);
      EXPECT_EQ(pics.back().bytes.size(), bytes);
    }
  }
  RegisterDrawBackend(DrawKind::Raster, {});
}

TEST_F(SessionTest, indexing_stops_at_a_full_table_and_what_was_indexed_plays) {
  // 183 s at 30 fps: 5490 pictures, more than the 5460 a table holds.
  RecordingSpec s;
  s.width = 224;
  s.height = 128;
  s.durationMs = 183000;
  s.gop = 300;
  s.sound = false;
  s.telemetry = false;
  RecordingResult r;
  std::string error;
  const std::string path = settings.file("long.mp4");
  ASSERT_TRUE(WriteRecording(s, path, &r, &error)) << error;
  Start(path, "", 999);
  ASSERT_TRUE(WaitUntil([&] { return session->indexComplete(); }));
  const int32_t n = session->table->Count();
  EXPECT_LE(n, kVideoTableEntries);
  EXPECT_GE(n, kVideoTableEntries - 4);
  const auto indexed = sink.Values(kPlayIndexedTo);
  ASSERT_FALSE(indexed.empty());
  EXPECT_LT(indexed.back(), 182000);  // the last indexed picture, not the last recorded
  session->Seek(180500);
  EXPECT_EQ(Tags(front).back(), 5400);
  session->Step(true);
  EXPECT_EQ(Tags(front).back(), 5401);
}

TEST_F(SessionTest, stop_returns_promptly_while_the_indexer_waits_inside_ffmpeg) {
  // A server that accepts the connection and never sends a byte.
  const int server = ::socket(AF_INET, SOCK_STREAM, 0);
  ASSERT_GE(server, 0);
  sockaddr_in addr{};
  addr.sin_family = AF_INET;
  addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  ASSERT_EQ(::bind(server, reinterpret_cast<sockaddr*>(&addr), sizeof addr), 0);
  ASSERT_EQ(::listen(server, 1), 0);
  socklen_t len = sizeof addr;
  ::getsockname(server, reinterpret_cast<sockaddr*>(&addr), &len);
  const std::string url = "tcp://127.0.0.1:" + std::to_string(ntohs(addr.sin_port));
  session->StartPlay(url, "", kSourceMp4, nullptr, 0);
  EXPECT_EQ(session->playMode(), kPlayDemuxed);
  std::this_thread::sleep_for(std::chrono::milliseconds(300));
  const auto t0 = std::chrono::steady_clock::now();
  session->StopPlay();
  const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(
                      std::chrono::steady_clock::now() - t0).count();
  EXPECT_LT(ms, 2000);
  EXPECT_EQ(session->playMode(), kPlayNone);
  ::close(server);
}

TEST_F(SessionTest, stop_and_start_many_times_then_play_normally) {
  for (int i = 0; i < 100; ++i) {
    Start(Media().front30, Media().rear30);
    if (i % 10 == 0) std::this_thread::sleep_for(std::chrono::milliseconds(20));
    session->StopPlay();
    ASSERT_EQ(session->playMode(), kPlayNone);
  }
  front.Reset();
  sink.Clear();
  Start(Media().front30, Media().rear30);
  ASSERT_TRUE(PlayToEnd());
  EXPECT_EQ(Distinct(Tags(front)), Range(0, 60));
  EXPECT_EQ(sink.Count(kPlayEndOrRear, kEndPresented), 1);
}

}  // namespace
}  // namespace tq::test

namespace tq::test {
namespace {

int Camera(const CapturedPicture& p) {
  return ReadFrameTag(p.bytes.data(), p.width, p.width, p.height).camera;
}

TEST_F(StepTest, exchanging_front_and_rear_moves_each_picture_to_the_other_window) {
  StartPaused(Media().rear30);
  ASSERT_EQ(Camera(front.Pictures().back()), 0);
  session->SetSwap(true);
  // The main window now shows the rear camera, the picture-in-picture the front one.
  EXPECT_EQ(Camera(front.Pictures().back()), 1);
  EXPECT_EQ(front.Pictures().back().width, 224);
  EXPECT_EQ(Camera(rear.Pictures().back()), 0);
  EXPECT_EQ(rear.Pictures().back().width, 256);
  // Playing on keeps them exchanged, every frame in order.
  front.Reset();
  rear.Reset();
  session->Pause(false);
  ASSERT_TRUE(PlayToEnd());
  const auto main = front.Pictures();
  ASSERT_FALSE(main.empty());
  for (const auto& p : main) ASSERT_EQ(Camera(p), 1);
  EXPECT_EQ(Tags(main).back(), 59);
  // Back again: the front camera returns to the main window.
  session->SetSwap(false);
  EXPECT_EQ(Camera(front.Pictures().back()), 0);
  EXPECT_EQ(Camera(rear.Pictures().back()), 1);
}

}  // namespace
}  // namespace tq::test
