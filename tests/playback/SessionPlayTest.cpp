// Playing through the real engine: which pictures are shown, in which order, and which
// play messages are posted. Pacing is judged by order and counts only.
#include <algorithm>

#include "playback/PlaybackTestUtil.h"

namespace tq::test {
namespace {

constexpr int kFrames = 60;  // 2 s at 30 fps

TEST_F(SessionTest, front_and_rear_show_every_frame_in_order_and_in_step) {
  Start(Media().front30, Media().rear30);
  ASSERT_TRUE(PlayToEnd());
  EXPECT_TRUE(session->paused());
  EXPECT_EQ(Distinct(Tags(front)), Range(0, kFrames));
  EXPECT_EQ(Distinct(Tags(rear)), Range(0, kFrames));
  // Paused on the last picture: the last thing drawn is the last frame.
  EXPECT_EQ(Tags(front).back(), kFrames - 1);
  // Sound is indexed already (2 s of 48 kHz AAC: 94 frames of 1024 samples), not played.
  EXPECT_NEAR(session->audioTable().Count(), 94, 2);

  // At every front draw the rear shows a neighbouring frame.
  const auto f = front.Pictures();
  const auto r = rear.Pictures();
  const auto ft = Tags(f), rt = Tags(r);
  size_t j = 0;
  int lastRear = -1;
  for (size_t i = 0; i < f.size(); ++i) {
    while (j < r.size() && r[j].sequence < f[i].sequence) lastRear = rt[j++];
    if (lastRear >= 0) {
      EXPECT_LE(std::abs(ft[i] - lastRear), 1) << "front " << ft[i] << " rear " << lastRear;
    }
  }

  EXPECT_EQ(sink.Count(kPlayEndOrRear, kEndPresented), 1);
  EXPECT_EQ(sink.Count(kPlayEndOrRear, kRearUnplayable), 0);
  EXPECT_EQ(sink.Values(kPlayStartIndexed), std::vector<int64_t>{0});
  // (3, t) at each key frame, then once more with the last frame's time.
  const auto indexed = sink.Values(kPlayIndexedTo);
  ASSERT_GE(indexed.size(), 3u);
  EXPECT_EQ(indexed[0], 0);
  EXPECT_EQ(indexed[1], 1000);
  EXPECT_NEAR(double(indexed.back()), 1967.0, 1.0);
  // The owner is told once that indexing began.
  int started = 0;
  for (const Posted& p : sink.All()) started += p.msg == kMsgControlNotify && p.w == 0 && p.l == -1;
  EXPECT_EQ(started, 1);
  // Positions go forward, one per key frame shown at least.
  const auto pos = sink.Values(kPlayPosition);
  EXPECT_TRUE(std::is_sorted(pos.begin(), pos.end()));
  EXPECT_GE(pos.size(), 2u);
}

TEST_F(SessionTest, a_rear_that_fails_validation_posts_rear_unplayable_once_and_front_plays) {
  Start(Media().front30, Media().broken);
  ASSERT_TRUE(PlayToEnd());
  EXPECT_EQ(sink.Count(kPlayEndOrRear, kRearUnplayable), 1);
  EXPECT_FALSE(session->rearPresent());
  EXPECT_EQ(Distinct(Tags(front)), Range(0, kFrames));
  EXPECT_EQ(rear.drawn(), 0u);
}

TEST_F(SessionTest, without_a_rear_nothing_is_said_about_it) {
  Start(Media().front30, "");
  ASSERT_TRUE(PlayToEnd());
  EXPECT_EQ(sink.Count(kPlayEndOrRear, kRearUnplayable), 0);
  EXPECT_EQ(Distinct(Tags(front)), Range(0, kFrames));
}

TEST_F(SessionTest, start_second_indexed_posts_start_once_and_stays_paused) {
  Start(Media().front30, "", 1);
  ASSERT_TRUE(sink.WaitFor(kPlayStartIndexed, 0));
  ASSERT_TRUE(WaitUntil([&] { return session->indexComplete(); }));
  EXPECT_EQ(sink.Count(kPlayStartIndexed, 0), 1);
  EXPECT_TRUE(session->paused());
  EXPECT_EQ(front.drawn(), 0u);
}

TEST_F(SessionTest, start_second_beyond_the_length_never_posts_start) {
  Start(Media().front30, "", 5);
  ASSERT_TRUE(WaitUntil([&] { return session->indexComplete(); }));
  EXPECT_TRUE(sink.Values(kPlayStartIndexed).empty());
  EXPECT_TRUE(session->paused());
}

struct SpeedCase {
  const char* name;
  int speed;
  bool rear15;
  std::vector<int> front;  // distinct front frames shown
  std::vector<int> rear;
};

TEST_F(SessionTest, speeds_show_every_frame_or_key_frames_only_when_rates_differ) {
  const SpeedCase cases[] = {
      {"rates differ 1X", kSpeed1X, true, Range(0, 60), Range(0, 30)},
      {"rates differ 2X", kSpeed2X, true, {0, 30}, {0, 15}},
      {"rates differ 4X", kSpeed4X, true, {0, 30}, {0, 15}},
      {"same rates 2X", kSpeed2X, false, Range(0, 60), Range(0, 60)},
      {"same rates 4X", kSpeed4X, false, Range(0, 60), Range(0, 60)},
  };
  for (const SpeedCase& c : cases) {
    SCOPED_TRACE(c.name);
    front.Reset();
    rear.Reset();
    sink.Clear();
    Start(Media().front30, c.rear15 ? Media().rear15 : Media().rear30, 0, c.speed);
    ASSERT_TRUE(PlayToEnd());
    EXPECT_EQ(session->ratesDiffer(), c.rear15);
    EXPECT_EQ(session->rearView().repeatCount, c.rear15 ? 1 : 0);
    EXPECT_EQ(Distinct(Tags(front)), c.front);
    EXPECT_EQ(Distinct(Tags(rear)), c.rear);
    session->StopPlay();
  }
}

TEST_F(SessionTest, half_speed_shows_every_frame_of_both_rates) {
  Start(Media().front30, Media().rear15, 0, kSpeedHalf);
  ASSERT_TRUE(PlayToEnd());
  EXPECT_EQ(Distinct(Tags(front)), Range(0, 60));
  EXPECT_EQ(Distinct(Tags(rear)), Range(0, 30));
}

TEST_F(SessionTest, an_ordinary_mp4_plays_through_the_demuxer) {
  Start(Media().plain, "");
  ASSERT_TRUE(PlayToEnd());
  EXPECT_EQ(session->playMode(), kPlayDemuxed);
  EXPECT_EQ(Distinct(Tags(front)), Range(0, kFrames));
  EXPECT_EQ(sink.Count(kPlayStartIndexed, 0), 1);
  session->StopPlay();
  EXPECT_FALSE(std::filesystem::exists(settings.file(kPlayScratchName)));
}

TEST_F(SessionTest, a_source_that_cannot_be_opened_posts_source_error) {
  Start(settings.file("missing.mp4"), "");
  EXPECT_TRUE(sink.WaitFor(kPlaySourceError, 0));
}

}  // namespace
}  // namespace tq::test

namespace tq::test {
namespace {

// Camera layouts the generator makes: every picture in order, time from the first record.
TEST_F(SessionTest, camera_layouts_play_every_picture) {
  const struct {
    const char* file;
    int frames;
    int64_t firstKeyMs;
  } cases[] = {
      {"h264_sound.mp4", 90, 0},  {"h265_sound.mp4", 60, 0}, {"h264_nosound.mp4", 90, 0},
      {"extra_bytes.mp4", 90, 0},  // extra bytes after each record, camera clock base
      {"sound_first.mp4", 60, 100},  // the recording starts with 100 ms of sound alone
      {"reserved_room.mp4", 90, 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.file);
    front.Reset();
    sink.Clear();
    Start(Fixture(c.file), "", 0, kSpeed4X);
    ASSERT_TRUE(PlayToEnd());
    EXPECT_EQ(session->playMode(), kPlayDirect);
    EXPECT_EQ(Distinct(Tags(front)), Range(0, c.frames));
    const auto indexed = sink.Values(kPlayIndexedTo);
    ASSERT_FALSE(indexed.empty());
    EXPECT_EQ(indexed.front(), c.firstKeyMs);
    EXPECT_LT(indexed.back(), c.firstKeyMs + c.frames * 1000 / 30);
    session->StopPlay();
  }
}

}  // namespace
}  // namespace tq::test
