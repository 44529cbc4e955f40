// Playing an AVI recording of the second camera family: both cameras from one file, the
// sound indexed, the GPS and G-sensor chunks gathered into the telemetry buffers.
#include <filesystem>
#include <memory>

#include "AviRecording.h"
#include "container/AviValid.h"
#include "playback/PlaybackTestUtil.h"
#include "telemetry/GpsTrack.h"
#include "telemetry/TelemetryLoad.h"

namespace tq::test {
namespace {

constexpr int kFrames = 30;  // 1 s at 30 fps, one key frame a second

struct AviMedia {
  std::string pair;       // 1 s, front 320x180 and rear 256x144, sound, GPS, sensor
  std::string single;     // 1 s, front only, no text streams
  std::string telemetry;  // 3 s pair with text streams (indexed only, never played)
  AviRecordingResult pairResult, telemetryResult;
  std::string error;
};

std::string MakeAvi(const TempDir& dir, const std::string& name, bool rear, bool text,
                    uint32_t ms, AviRecordingResult* result, std::string* error) {
  AviRecordingSpec s;
  s.width = 320;
  s.height = 180;
  s.rear = rear;
  s.rearWidth = 256;
  s.rearHeight = 144;
  s.gps = s.sensor = text;
  s.durationMs = ms;
  s.startSeconds = 1796466600;  // 2026-12-05 10:30:00
  AviRecordingResult local;
  const std::string path = dir.file(name);
  return WriteAviRecording(s, path, result ? result : &local, error) ? path : std::string();
}

const AviMedia& Avis() {
  static TempDir dir;
  static AviMedia m = [] {
    AviMedia x;
    x.pair = MakeAvi(dir, "pair.avi", true, true, 1000, &x.pairResult, &x.error);
    x.single = MakeAvi(dir, "single.avi", false, false, 1000, nullptr, &x.error);
    x.telemetry = MakeAvi(dir, "telemetry.avi", true, true, 3000, &x.telemetryResult, &x.error);
    return x;
  }();
  return m;
}

// Camera numbers of the captured pictures, in draw order.
std::vector<int> Cameras(const CaptureWindow& w) {
  std::vector<int> cams;
  for (const CapturedPicture& p : w.Pictures())
    cams.push_back(ReadFrameTag(p.bytes.data(), p.width, p.width, p.height).camera);
  return cams;
}

class AviPlayTest : public testing::Test {
 protected:
  void SetUp() override {
    ASSERT_FALSE(Avis().pair.empty() || Avis().single.empty() || Avis().telemetry.empty())
        << Avis().error;
    RegisterDrawBackend(DrawKind::Raster, DrawBackend{[] { return std::make_unique<CaptureDraw>(); }, {}});
    buffers = std::make_unique<TelemetryBuffers>();
    SessionOptions o;
    o.settingsFolder = settings.path().string();
    o.frontWindow = &front;
    o.rearWindow = &rear;
    o.telemetry = AviTelemetry{buffers->telemetry.data(), kTelemetryBufferSize,
                               buffers->sensor.data(), kSensorBufferSize};
    session = std::make_unique<CDispWnd>(&sink, o);
  }
  void TearDown() override {
    session.reset();
    RegisterDrawBackend(DrawKind::Raster, {});
  }
  // Validates like the player, starts, and resumes on (0, ·) as the player controller does.
  bool Start(const std::string& path, bool resume = true) {
    AVIINFO info{};
    if (ValidAVI(path, &info) != 1) return false;
    session->StartPlay(path, &info, 0);
    EXPECT_TRUE(info.index.empty()) << "the session takes the index over";
    if (session->playMode() != kPlayDirect) return false;
    if (!WaitUntil([&] { return !sink.Values(kPlayStartIndexed).empty(); })) return false;
    if (resume) session->Pause(false);
    return true;
  }

  TempDir settings;
  CaptureWindow front{1000, kDrawI420};
  CaptureWindow rear{1000, kDrawI420};
  RecordingSink sink;
  std::unique_ptr<TelemetryBuffers> buffers;
  std::unique_ptr<CDispWnd> session;
};

TEST_F(AviPlayTest, two_stream_avi_shows_every_front_and_rear_frame_in_order) {
  ASSERT_TRUE(Start(Avis().pair));
  EXPECT_TRUE(session->rearPresent());
  ASSERT_TRUE(sink.WaitFor(kPlayEndOrRear, kEndPresented));
  EXPECT_TRUE(session->paused());
  EXPECT_EQ(Distinct(Tags(front)), Range(0, kFrames));
  EXPECT_EQ(Distinct(Tags(rear)), Range(0, kFrames));
  EXPECT_EQ(Tags(front).back(), kFrames - 1);
  // Each window shows its own camera only: the streams are told apart by chunk id.
  for (int c : Cameras(front)) EXPECT_EQ(c, 0);
  for (int c : Cameras(rear)) EXPECT_EQ(c, 1);
  EXPECT_EQ(sink.Count(kPlayEndOrRear, kEndPresented), 1);
  EXPECT_EQ(sink.Count(kPlayEndOrRear, kRearUnplayable), 0);
  // Sound chunks are indexed, one entry each, never played.
  EXPECT_EQ(session->audioTable().Count(), int32_t(Avis().pairResult.soundChunks));
  EXPECT_GT(Avis().pairResult.soundChunks, 0u);
  // The last indexed time: 29 frames after the key frame, 33 ms each.
  ASSERT_FALSE(sink.Values(kPlayIndexedTo).empty());
  EXPECT_EQ(sink.Values(kPlayIndexedTo).back(), 29 * 33);
}

TEST_F(AviPlayTest, one_stream_avi_plays_front_only) {
  ASSERT_TRUE(Start(Avis().single));
  EXPECT_FALSE(session->rearPresent());
  ASSERT_TRUE(sink.WaitFor(kPlayEndOrRear, kEndPresented));
  EXPECT_EQ(Distinct(Tags(front)), Range(0, kFrames));
  EXPECT_TRUE(rear.Pictures().empty());
  EXPECT_EQ(sink.Count(kPlayEndOrRear, kRearUnplayable), 0);
  // No sensor stream: nothing gathered.
  EXPECT_EQ(sink.Values(kPlayStartIndexed), std::vector<int64_t>{0});
  EXPECT_EQ(buffers->telemetry[0], 0);
}

TEST_F(AviPlayTest, gathered_gps_text_parses_and_sensor_records_are_counted) {
  const AviRecordingResult& made = Avis().telemetryResult;
  ASSERT_TRUE(Start(Avis().telemetry, false));
  ASSERT_GT(made.gpsChunks, 1u);
  // (0, bytes): one 10-byte record per sensor chunk.
  EXPECT_EQ(sink.Values(kPlayStartIndexed),
            std::vector<int64_t>{int64_t(made.sensorChunks) * kAviSensorRecordBytes});
  GpsTrack track;
  track.startOfDay = 0;
  ParseSentenceBatch(track, buffers->telemetry.data(), kTelemetryBufferSize);
  ASSERT_EQ(track.samples.size(), size_t(made.gpsChunks));
  // One sentence a second: the samples are 100 hundredths apart, starting at 0.
  for (size_t i = 0; i < track.samples.size(); ++i) EXPECT_EQ(track.samples[i].time, int32_t(i * 100));
  // Sensor clock: half a frame interval per record, whole seconds every 60 records.
  const uint8_t* s = buffers->sensor.data();
  auto be32 = [&](size_t r) {
    const uint8_t* p = s + r * kAviSensorRecordBytes;
    return uint32_t(p[0]) << 24 | uint32_t(p[1]) << 16 | uint32_t(p[2]) << 8 | p[3];
  };
  EXPECT_EQ(be32(0), 0u);
  EXPECT_EQ(be32(1), 16u);
  EXPECT_EQ(be32(59), 59u * 16u);
  EXPECT_EQ(be32(60), 1000u);
  session->StopPlay();
}

TEST_F(AviPlayTest, index_entries_beyond_the_file_are_skipped_not_read) {
  AVIINFO info{};
  ASSERT_EQ(ValidAVI(Avis().single, &info), 1);
  // The last front picture's entry points past the end of the file (just past, and far).
  int last = -1;
  for (int i = 0; i < int(info.index.size()); ++i)
    if (IsAviVideoChunk(info.index[size_t(i)].ckid)) last = i;
  ASSERT_GE(last, 0);
  const uint64_t length = std::filesystem::file_size(Avis().single);
  info.index[size_t(last)].dwChunkOffset = uint32_t(length - info.moviOffset);
  AviIndexEntry far = info.index[size_t(last)];
  far.dwChunkOffset = 0xFFFFFFF0u;
  info.index.insert(info.index.begin() + last, far);
  session->StartPlay(Avis().single, &info, 0);
  ASSERT_TRUE(WaitUntil([&] { return !sink.Values(kPlayStartIndexed).empty(); }));
  session->Pause(false);
  ASSERT_TRUE(sink.WaitFor(kPlayEndOrRear, kEndPresented));
  EXPECT_EQ(Distinct(Tags(front)), Range(0, kFrames - 1));
}

TEST_F(AviPlayTest, an_avi_without_index_or_video_does_not_start) {
  AVIINFO info{};
  ASSERT_EQ(ValidAVI(Avis().single, &info), 1);
  info.index.clear();
  session->StartPlay(Avis().single, &info, 0);
  EXPECT_EQ(session->playMode(), kPlayNone);
  AVIINFO noVideo{};
  ASSERT_EQ(ValidAVI(Avis().single, &noVideo), 1);
  noVideo.videoStreamCount = 0;
  session->StartPlay(Avis().single, &noVideo, 0);
  EXPECT_EQ(session->playMode(), kPlayNone);
}

}  // namespace
}  // namespace tq::test
