// Decoding ahead: the pictures each view's worker queues must not change what is shown.
// A pause shows the last presented picture and steps go on from it through the queued
// pictures and past them; a seek while playing drops them; a speed change keeps them; a
// stop releases them.
#include <atomic>

#include "playback/PlaybackTestUtil.h"

namespace tq::test {
namespace {

int FrameTimeMs(int frame) { return frame * 1000 / 30; }  // the generator's clock

// The tags after the last occurrence of `from`, `from` included.
std::vector<int> TailFrom(const std::vector<int>& tags, int from) {
  const auto at = std::find(tags.rbegin(), tags.rend(), from);
  if (at == tags.rend()) return {};
  return std::vector<int>(at.base() - 1, tags.end());
}

class AheadTest : public SessionTest {
 protected:
  int LastFront() { return Tags(front).back(); }
  int LastRear() { return Tags(rear).back(); }
};

TEST_F(AheadTest, pause_after_playing_then_steps_show_the_right_frames) {
  const struct {
    int speed;
    int pauseAfter;  // front pictures drawn before the pause
  } cases[] = {{kSpeed1X, 10}, {kSpeed4X, 12}, {kSpeed2X, 25}, {kSpeedHalf, 6}};
  for (const auto& c : cases) {
    SCOPED_TRACE("speed " + std::to_string(c.speed));
    front.Reset();
    rear.Reset();
    sink.Clear();
    Start(Media().front30, Media().rear30, 0, c.speed);
    ASSERT_TRUE(WaitUntil([&] { return front.drawn() >= uint64_t(c.pauseAfter); }));
    session->Pause(true);
    // Pictures were decoded past the one shown and stay queued through the pause.
    EXPECT_GT(session->ahead.count(), 0);
    const int shown = LastFront();
    const int rearShown = LastRear();
    ASSERT_GE(shown, 4);
    ASSERT_LE(shown, 50);
    // The pause shows the picture presented last: the one the front table says.
    EXPECT_EQ(session->ShownEntry(), shown);
    // Forward past the queued pictures into ones decoded on demand...
    for (int i = 1; i <= kAheadPictures + 3; ++i) {
      sink.Clear();
      session->Step(true);
      ASSERT_EQ(LastFront(), shown + i) << "forward " << i;
      ASSERT_EQ(LastRear(), rearShown + i) << "rear forward " << i;
      EXPECT_EQ(sink.Values(kPlayPosition), std::vector<int64_t>{FrameTimeMs(shown + i)});
    }
    // ...and back beyond the picture the pause showed.
    const int top = shown + kAheadPictures + 3;
    for (int i = 1; i <= kAheadPictures + 7; ++i) {
      session->Step(false);
      ASSERT_EQ(LastFront(), top - i) << "back " << i;
      ASSERT_EQ(LastRear(), rearShown + kAheadPictures + 3 - i) << "rear back " << i;
    }
    const int at = top - (kAheadPictures + 7);
    // Playing on goes on from there, every frame once.
    session->Pause(false);
    ASSERT_TRUE(PlayToEnd());
    EXPECT_EQ(TailFrom(Distinct(Tags(front)), at), Range(at, 60));
    const int rearAt = at - shown + rearShown;
    EXPECT_EQ(TailFrom(Distinct(Tags(rear)), rearAt), Range(rearAt, 60));
    session->StopPlay();
  }
}

TEST_F(AheadTest, pause_and_resume_without_steps_loses_no_frame) {
  for (int speed : {kSpeed1X, kSpeed4X}) {
    SCOPED_TRACE("speed " + std::to_string(speed));
    front.Reset();
    rear.Reset();
    sink.Clear();
    Start(Media().front30, Media().rear30, 0, speed);
    for (int pauseAt : {8, 20, 31}) {
      ASSERT_TRUE(WaitUntil([&] { return front.drawn() >= uint64_t(pauseAt); }));
      session->Pause(true);
      std::this_thread::sleep_for(std::chrono::milliseconds(30));
      session->Pause(false);
    }
    ASSERT_TRUE(PlayToEnd());
    EXPECT_EQ(Distinct(Tags(front)), Range(0, 60));
    EXPECT_EQ(Distinct(Tags(rear)), Range(0, 60));
    session->StopPlay();
  }
}

TEST_F(AheadTest, speed_changes_while_playing_keep_every_frame_in_order) {
  Start(Media().front30, Media().rear30, 0, kSpeed1X);
  ASSERT_TRUE(WaitUntil([&] { return front.drawn() >= 10; }));
  session->SetSpeed(kSpeed4X);
  ASSERT_TRUE(WaitUntil([&] { return front.drawn() >= 30; }));
  session->SetSpeed(kSpeed1X);
  ASSERT_TRUE(WaitUntil([&] { return front.drawn() >= 40; }));
  session->SetSpeed(kSpeed2X);
  ASSERT_TRUE(PlayToEnd());
  EXPECT_EQ(Distinct(Tags(front)), Range(0, 60));
  EXPECT_EQ(Distinct(Tags(rear)), Range(0, 60));
}

std::string MakeRecording6s(const TempDir& dir, const std::string& name, int camera, int w, int h) {
  RecordingSpec s;
  s.width = w;
  s.height = h;
  s.fps = 30;
  s.gop = 30;
  s.durationMs = 6000;
  s.camera = camera;
  s.seed = uint32_t(camera + 7);
  RecordingResult r;
  std::string error;
  const std::string path = dir.file(name);
  return WriteRecording(s, path, &r, &error) ? path : std::string();
}

// Six seconds, a key frame every second.
const std::string& LongPair(bool rear) {
  static TempDir dir;
  static const std::string paths[2] = {
      MakeRecording6s(dir, "f6.mp4", 0, 256, 144), MakeRecording6s(dir, "r6.mp4", 1, 224, 128)};
  return paths[rear ? 1 : 0];
}

TEST_F(AheadTest, seek_while_playing_shows_nothing_of_the_old_position_after_it) {
  ASSERT_FALSE(LongPair(false).empty());
  // Several seeks in a row, forward and back, without waiting between them: only the
  // last counts, and from the moment it returns nothing decoded or taken for an older
  // position may be drawn or reported.
  const struct {
    int speed;
    std::vector<uint32_t> targets;
    int key;  // of the last target
  } cases[] = {{kSpeed4X, {1000}, 30},           {kSpeed4X, {4500}, 120},
               {kSpeed4X, {2999}, 60},           {kSpeed1X, {3100}, 90},
               {kSpeed4X, {4500, 200, 3100}, 90}, {kSpeed4X, {1000, 5000, 2000, 100}, 0},
               {kSpeed2X, {5500, 1500}, 30}};
  // A slow rear screen holds play_thread between taking the front picture and drawing
  // it, where a seek is most likely to come.
  rear.SetDrawCostMs(3);
  for (const auto& c : cases) {
    SCOPED_TRACE(std::to_string(c.targets.back()) + " at speed " + std::to_string(c.speed));
    front.Reset();
    rear.Reset();
    sink.Clear();
    Start(LongPair(false), LongPair(true), 0, c.speed);
    ASSERT_TRUE(WaitUntil([&] { return !Tags(front).empty() && LastFront() >= 40; }));
    for (uint32_t target : c.targets) session->Seek(target);
    // Whatever was drawn or posted before the last seek returned belongs to older
    // positions; from here on only the new one may appear.
    uint64_t mark = 0;
    for (CaptureWindow* w : {&front, &rear})
      for (const CapturedPicture& p : w->Pictures()) mark = std::max(mark, p.sequence);
    constexpr uint32_t kMarker = 0xFFFF;
    sink.post(kMarker, 0, 0);
    ASSERT_TRUE(PlayToEnd());
    for (CaptureWindow* w : {&front, &rear}) {
      std::vector<CapturedPicture> after = w->Pictures();
      after.erase(std::remove_if(after.begin(), after.end(),
                                 [&](const CapturedPicture& p) { return p.sequence <= mark; }),
                  after.end());
      EXPECT_EQ(Distinct(Tags(after)), Range(c.key, 180)) << (w == &front ? "front" : "rear");
    }
    std::vector<int64_t> positions;
    bool marked = false;
    for (const Posted& p : sink.All()) {
      marked = marked || p.msg == kMarker;
      if (marked && p.msg == kMsgPlay && p.w == kPlayPosition) positions.push_back(p.l);
    }
    ASSERT_FALSE(positions.empty());
    EXPECT_GE(positions.front(), FrameTimeMs(c.key));
    EXPECT_TRUE(std::is_sorted(positions.begin(), positions.end()));
    session->StopPlay();
  }
}

// Faster than 1X the clock starts only once both views have a queue's worth decoded: a
// clock started on the first picture while the decoders warm up shows the next ones late.
TEST_F(AheadTest, playing_fast_starts_the_clock_with_full_queues) {
  struct Probe final : PlaybackObserver {
    CDispWnd* session = nullptr;
    std::atomic<int> front{-1}, rear{-1};
    static int Queued(CDrawWnd& v) {
      std::lock_guard<std::mutex> lock(v.ahead.mutex);
      return v.ahead.count();
    }
    void Presented(int view, uint32_t, uint64_t) override {
      if (view != 0 || front >= 0) return;
      rear = Queued(session->rearView());
      front = Queued(*session);
    }
  };
  for (int speed : {kSpeed2X, kSpeed4X}) {
    SCOPED_TRACE("speed " + std::to_string(speed));
    Probe probe;
    SessionOptions o;
    o.settingsFolder = settings.path().string();
    o.frontWindow = &front;
    o.rearWindow = &rear;
    session = std::make_unique<CDispWnd>(&sink, o, &probe);
    probe.session = session.get();
    Start(LongPair(false), LongPair(true), 0, speed);
    ASSERT_TRUE(WaitUntil([&] { return probe.front >= 0; }));
    // The first front picture has just been taken from its full queue; the rear's waits.
    EXPECT_GE(probe.front, kAheadPictures - 1);
    EXPECT_EQ(probe.rear, kAheadPictures);
    session.reset();  // before the probe it reports to
  }
}

TEST_F(AheadTest, stop_while_decoding_ahead_releases_everything_and_plays_again) {
  const struct {
    int speed;
    bool paused;
    int drawnBefore;
  } cases[] = {{kSpeed4X, false, 3}, {kSpeed4X, true, 10}, {kSpeed1X, false, 0},
               {kSpeed1X, true, 2}, {kSpeedHalf, false, 1}};
  for (const auto& c : cases) {
    SCOPED_TRACE("speed " + std::to_string(c.speed) + (c.paused ? " paused" : ""));
    front.Reset();
    Start(Media().front30, Media().rear30, 0, c.speed);
    ASSERT_TRUE(WaitUntil([&] { return front.drawn() >= uint64_t(c.drawnBefore); }));
    if (c.paused) {
      session->Pause(true);
      EXPECT_GT(session->ahead.count() + session->rearView().ahead.count(), 0);
    }
    session->StopPlay();
    EXPECT_EQ(session->playMode(), kPlayNone);
    EXPECT_EQ(session->ahead.count(), 0);
    EXPECT_EQ(session->rearView().ahead.count(), 0);
    EXPECT_EQ(session->keptPictures() + session->rearView().keptPictures(), 0);
  }
  front.Reset();
  rear.Reset();
  sink.Clear();
  Start(Media().front30, Media().rear30, 0, kSpeed4X);
  ASSERT_TRUE(PlayToEnd());
  EXPECT_EQ(Distinct(Tags(front)), Range(0, 60));
  EXPECT_EQ(Distinct(Tags(rear)), Range(0, 60));
}

}  // namespace
}  // namespace tq::test
