// Sound through the real engine into the memory wave-out device: what is written, when it
// starts after a pause, a seek or a speed change, and how failures stay silent.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <fstream>
#include <functional>
#include <filesystem>
#include <iterator>
#include <map>
#include <thread>

#include "AviRecording.h"
#include "container/AviValid.h"
#include "platform/Clock.h"
#include "platform/MemoryWaveOut.h"
#include "playback/PlaybackTestUtil.h"
#include "support/Tone.h"
#include "app/TraceLog.h"

namespace tq::test {
namespace {

constexpr int kFrames = 60;              // 2 s at 30 fps
constexpr double kAacFrameMs = 1024.0 * 1000 / 48000;  // one AAC frame at 48 kHz

// Pictures and sound in the order play_thread handed them out.
class TimelineObserver final : public PlaybackObserver {
 public:
  struct Item {
    bool audio;
    uint32_t timeMs;
    uint32_t bytes;
  };
  void Presented(int view, uint32_t timeMs, uint64_t) override {
    if (view != 0) return;
    std::lock_guard<std::mutex> lock(mutex_);
    items_.push_back({false, timeMs, 0});
  }
  void AudioWritten(uint32_t timeMs, uint32_t bytes, uint64_t) override {
    std::lock_guard<std::mutex> lock(mutex_);
    items_.push_back({true, timeMs, bytes});
  }
  struct Heard {
    uint32_t pictureMs;
    int64_t heardUs;
    uint64_t tickMs;
  };
  void SoundHeard(uint32_t pictureMs, int64_t heardUs, uint64_t tickMs) override {
    std::lock_guard<std::mutex> lock(mutex_);
    heard_.push_back({pictureMs, heardUs, tickMs});
  }
  std::vector<Heard> HeardFrom(size_t from) const {
    std::lock_guard<std::mutex> lock(mutex_);
    return std::vector<Heard>(heard_.begin() + long(std::min(from, heard_.size())), heard_.end());
  }
  size_t HeardCount() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return heard_.size();
  }
  // Where in the items the first wait began and ended (0 until it did).
  void ShowWait(bool show) override {
    std::lock_guard<std::mutex> lock(mutex_);
    size_t& at = show ? waitShownAt_ : waitHiddenAt_;
    if (at == 0) at = items_.size();
  }
  size_t WaitShownAt() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return waitShownAt_;
  }
  size_t WaitHiddenAt() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return waitHiddenAt_;
  }
  std::vector<Item> Items() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return items_;
  }
  size_t Size() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return items_.size();
  }
  // The first front picture at or after item `from` and the first sound written after it;
  // false until both are there. Sound written before that picture may still be the old
  // position's, on its way into a device that is being closed.
  bool FirstSoundAfter(size_t from, uint32_t* soundMs, uint32_t* pictureMs,
                       size_t* soundIndex = nullptr) const {
    const auto items = Items();
    bool havePicture = false;
    for (size_t i = from; i < items.size(); ++i) {
      if (!items[i].audio && !havePicture) {
        *pictureMs = items[i].timeMs;
        havePicture = true;
      } else if (items[i].audio && havePicture) {
        *soundMs = items[i].timeMs;
        if (soundIndex) *soundIndex = i;
        return true;
      }
    }
    return false;
  }
  void Clear() {
    std::lock_guard<std::mutex> lock(mutex_);
    items_.clear();
  }
  size_t SoundsFrom(size_t from) const {
    const auto items = Items();
    size_t n = 0;
    for (size_t i = from; i < items.size(); ++i) n += items[i].audio;
    return n;
  }

 private:
  mutable std::mutex mutex_;
  std::vector<Item> items_;
  std::vector<Heard> heard_;
  size_t waitShownAt_ = 0, waitHiddenAt_ = 0;
};

std::string ReadAll(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

class SoundSessionTest : public testing::Test {
 protected:
  void SetUp() override {
    ASSERT_FALSE(Media().front30.empty()) << Media().error;
    RegisterDrawBackend(DrawKind::Raster, DrawBackend{[] { return std::make_unique<CaptureDraw>(); }, {}});
    trace = settings.file("trace.log");
    SetTraceFile(trace);
  }
  void TearDown() override {
    session.reset();
    RegisterDrawBackend(DrawKind::Raster, {});
    SetTraceFile("");
  }
  void Make(MemoryWaveOut::Options options = {}, bool withDevice = true) {
    device = std::make_unique<MemoryWaveOut>(options);
    SessionOptions o;
    o.settingsFolder = settings.path().string();
    o.frontWindow = &front;
    o.rearWindow = &rear;
    o.waveOut = withDevice ? device.get() : nullptr;
    session = std::make_unique<CDispWnd>(&sink, o, &timeline);
  }
  void Start(const std::string& path, int speed = kSpeed1X) {
    MP4INFO info;
    const bool valid = ValidMP4(path, &info, 0) != 0;
    session->SetSpeed(speed);
    session->StartPlay(path, "", kSourceMp4, valid ? &info : nullptr, 0);
    FreeMP4INFO(info);
  }
  bool PlayToEnd() { return sink.WaitFor(kPlayEndOrRear, kEndPresented); }
  int64_t LastSoundMs() const {
    const auto items = timeline.Items();
    for (auto i = items.rbegin(); i != items.rend(); ++i)
      if (i->audio) return i->timeMs;
    return -1;
  }
  bool WaitPicture(uint32_t ms) {
    return WaitUntil([&] {
      for (const auto& i : timeline.Items())
        if (!i.audio && i.timeMs >= ms) return true;
      return false;
    });
  }
  // The first sound after the first picture from item `from` on starts with the sample
  // playing at that picture: at most one sample earlier, never later. Then, paused, every
  // buffer the device got since its open number `openNumber` was written after that
  // picture: nothing of the old position slipped in first.
  void ExpectAlignedFrom(size_t from, const char* what, int openNumber = 0) {
    uint32_t sound = 0, picture = 0;
    size_t soundIndex = 0;
    ASSERT_TRUE(WaitUntil([&] { return timeline.FirstSoundAfter(from, &sound, &picture, &soundIndex); }))
        << what << ": no sound afterwards";
    // Cut to the picture: from it (to the millisecond) to where the picture clock had run
    // by the first write, well within a frame interval.
    EXPECT_GE(sound + 1, picture) << what;
    EXPECT_LT(sound, picture + 34) << what;
    if (openNumber == 0) return;
    session->Pause(true);  // no writes from here on
    const size_t heard = timeline.SoundsFrom(soundIndex);
    size_t intoDevice = 0;
    for (const WrittenBuffer& b : device->Written()) intoDevice += int(b.openNumber) >= openNumber;
    EXPECT_EQ(intoDevice, heard) << what << ": buffers written into the reopened device before the picture";
    session->Pause(false);
  }

  TempDir settings;
  std::string trace;
  CaptureWindow front{1000, kDrawI420};
  CaptureWindow rear{1000, kDrawI420};
  RecordingSink sink;
  TimelineObserver timeline;
  std::unique_ptr<MemoryWaveOut> device;
  std::unique_ptr<CDispWnd> session;
};

const std::string& ToneRecording(int hz) {
  static TempDir dir;
  static std::map<int, std::string> made;
  std::string& path = made[hz];
  if (path.empty()) {
    RecordingSpec s;
    s.width = 256;
    s.height = 144;
    s.durationMs = 2000;
    s.toneHz = hz;
    std::string error;
    RecordingResult r;
    path = dir.file("tone" + std::to_string(hz) + ".mp4");
    if (!WriteRecording(s, path, &r, &error)) path.clear();
  }
  return path;
}

TEST_F(SoundSessionTest, plays_the_whole_sound_as_16_bit_pcm_of_the_decoded_tone) {
  constexpr int kToneHz = 440;
  const std::string& path = ToneRecording(kToneHz);
  ASSERT_FALSE(path.empty());
  Make();
  Start(path);
  ASSERT_TRUE(PlayToEnd());
  struct Row {
    double probeHz;
    bool found;
  } rows[] = {{kToneHz, true}, {1000, false}, {220, false}};
  for (const Row& row : rows) {
    SCOPED_TRACE(testing::Message() << "probed at " << row.probeHz);
    // Sound goes on after the last picture until every sample is written.
    const FrameTable& table = session->audioTable();
    ASSERT_TRUE(WaitUntil([&] { return LastSoundMs() == int64_t(table.at(table.Count() - 1).timeMs); }));
    // From the first picture on: the sound before its clock had run by the first write (a
    // few milliseconds, at most the first frame) is left out, every frame after is whole.
    EXPECT_GE(int(device->WrittenCount()), table.Count() - 1);
    const WaveFormat f = device->Format();
    EXPECT_EQ(f.formatTag, kWaveFormatPcm);
    EXPECT_EQ(f.channels, 1);
    EXPECT_EQ(f.samplesPerSec, 48000u);
    EXPECT_EQ(f.bitsPerSample, 16);
    EXPECT_EQ(f.blockAlign, 2);
    EXPECT_EQ(f.avgBytesPerSec, 96000u);
    EXPECT_EQ(device->OpenCount(), 1);
    std::vector<uint8_t> all;
    const auto written = device->Written();
    for (size_t i = 0; i < written.size(); ++i) {
      const WrittenBuffer& b = written[i];
      if (i == 0)
        EXPECT_LE(b.bytes.size(), 2048u);
      else
        EXPECT_EQ(b.bytes.size(), 2048u);  // one AAC frame of 1024 samples
      all.insert(all.end(), b.bytes.begin(), b.bytes.end());
    }
    // Skip the encoder's priming: the steady middle second.
    const std::vector<int16_t> pcm = Channel(all, 1, 0);
    ASSERT_GT(pcm.size(), 90000u);  // nearly 2 s: the first frame may be cut
    const std::vector<int16_t> middle(pcm.begin() + 24000, pcm.begin() + 72000);
    const double share = GoertzelShare(middle, 48000, row.probeHz);
    if (row.found) {
      EXPECT_GT(share, 0.9);
      EXPECT_NEAR(ZeroCrossingHz(middle, 48000), kToneHz, kToneHz * 0.01);
      EXPECT_NEAR(Rms(middle), 0.5 / std::sqrt(2.0), 0.05);
    } else {
      EXPECT_LT(share, 0.05);
    }
  }
  // Every picture was still shown.
  EXPECT_EQ(Distinct(Tags(front)), Range(0, kFrames));
}

// An ordinary MP4 (no frame records) plays through the demuxer, its AAC stream too.
TEST_F(SoundSessionTest, a_demuxed_recording_plays_its_sound_as_well) {
  TempDir dir;
  const std::string plain = dir.file("plain.mp4");
  const auto made = RunCommand("ffmpeg -v error -nostdin -y -i " + Quote(ToneRecording(440)) +
                               " -c copy -f mp4 " + Quote(plain));
  ASSERT_EQ(made.exitCode, 0) << made.output;
  Make();
  session->StartPlay(plain, "", kSourceMp4, nullptr, 0);
  ASSERT_EQ(session->playMode(), kPlayDemuxed);
  ASSERT_TRUE(WaitPicture(1200));
  ASSERT_TRUE(session->hasSound());
  const WaveFormat f = device->Format();
  EXPECT_EQ(f.channels, 1);
  EXPECT_EQ(f.samplesPerSec, 48000u);
  EXPECT_EQ(f.bitsPerSample, 16);
  std::vector<uint8_t> all;
  for (const WrittenBuffer& b : device->Written()) all.insert(all.end(), b.bytes.begin(), b.bytes.end());
  const std::vector<int16_t> pcm = Channel(all, 1, 0);
  ASSERT_GT(pcm.size(), 48000u);
  const std::vector<int16_t> middle(pcm.begin() + 12000, pcm.begin() + 36000);
  EXPECT_GT(GoertzelShare(middle, 48000, 440), 0.9);
  EXPECT_NEAR(ZeroCrossingHz(middle, 48000), 440, 4.4);
}

TEST_F(SoundSessionTest, pause_empties_the_queue_and_resume_restarts_at_the_picture) {
  Make();
  Start(Media().front30);
  ASSERT_TRUE(WaitPicture(600));
  ASSERT_TRUE(WaitUntil([&] { return session->queuedWaves() > 0; }));
  session->Pause(true);
  // The device is reset and closed at once: nothing queued on either side.
  EXPECT_EQ(session->queuedWaves(), 0);
  EXPECT_EQ(device->Queued(), 0);
  EXPECT_FALSE(device->IsOpen());
  const size_t written = device->WrittenCount();
  SleepMs(100);
  EXPECT_EQ(device->WrittenCount(), written) << "sound written while paused";
  const size_t mark = timeline.Size();
  EXPECT_EQ(device->OpenCount(), 1);
  session->Pause(false);
  ExpectAlignedFrom(mark, "after resume", 2);
}

TEST_F(SoundSessionTest, a_seek_while_playing_restarts_sound_at_the_key_frame_shown) {
  struct Row {
    uint32_t target;
    uint32_t keyMs;  // the key frame at or before it (one a second)
  } rows[] = {{1500, 1000}, {1000, 1000}, {400, 0}};
  Make();
  Start(Media().front30);
  ASSERT_TRUE(WaitPicture(300));
  for (const Row& row : rows) {
    SCOPED_TRACE(row.target);
    ASSERT_FALSE(session->paused());
    const size_t mark = timeline.Size();
    const int reopened = device->OpenCount() + 1;
    session->Seek(row.target);
    // The first picture after the seek is the key frame; the sound starts with it.
    uint32_t sound = 0, picture = 0;
    ASSERT_TRUE(WaitUntil([&] { return timeline.FirstSoundAfter(mark, &sound, &picture); }));
    EXPECT_EQ(picture, row.keyMs);
    ExpectAlignedFrom(mark, "after seek", reopened);
    const size_t resumed = timeline.Size();
    ASSERT_TRUE(WaitUntil([&] { return timeline.SoundsFrom(resumed) > 2; }));  // sound flows again
  }
}

TEST_F(SoundSessionTest, nothing_is_written_at_2x_and_1x_brings_sound_back_aligned) {
  Make();
  Start(Media().front30);
  ASSERT_TRUE(WaitPicture(200));
  session->SetSpeed(kSpeed2X);
  EXPECT_FALSE(device->IsOpen());
  EXPECT_EQ(session->queuedWaves(), 0);
  const size_t atDouble = timeline.Size();
  ASSERT_TRUE(WaitUntil([&] { return timeline.Size() > atDouble + 8; }));  // pictures go on
  EXPECT_EQ(timeline.SoundsFrom(atDouble), 0u);
  const size_t mark = timeline.Size();
  const int reopened = device->OpenCount() + 1;
  session->SetSpeed(kSpeed1X);
  EXPECT_TRUE(device->IsOpen());
  ExpectAlignedFrom(mark, "back to 1X", reopened);
}

TEST_F(SoundSessionTest, exchanging_front_and_rear_reopens_sound_at_the_picture) {
  Make();
  MP4INFO info;
  ASSERT_NE(ValidMP4(Media().front30, &info, 0), 0);
  session->StartPlay(Media().front30, Media().rear30, kSourceMp4, &info, 0);
  FreeMP4INFO(info);
  ASSERT_TRUE(WaitPicture(500));
  ASSERT_TRUE(session->rearPresent());
  ASSERT_EQ(device->OpenCount(), 1);
  const size_t mark = timeline.Size();
  session->SetSwap(true);
  EXPECT_FALSE(session->paused());
  ExpectAlignedFrom(mark, "after the exchange", 2);
}

// Presentation catching up with the indexer waits in silence; when records arrive the
// sound comes back with the picture. The wait is made with a transport stream written
// into a pipe in two parts, the second once the wait has shown.
TEST_F(SoundSessionTest, sound_stops_while_waiting_for_the_indexer_and_comes_back_aligned) {
  TempDir dir;
  const std::string ts = dir.file("clip.ts");
  const auto made = RunCommand(
      "ffmpeg -v error -nostdin -f lavfi -i testsrc=size=256x144:rate=30 -f lavfi "
      "-i sine=frequency=440:sample_rate=48000 -t 8 -c:v libx264 -preset ultrafast -bf 0 -g 30 "
      "-c:a aac -f mpegts " + Quote(ts));
  ASSERT_EQ(made.exitCode, 0) << made.output;
  const std::string bytes = ReadAll(ts);
  const std::string fifo = dir.file("pipe.ts");
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  std::atomic<bool> sawWait{false};
  std::thread writer([&] {
    const int fd = ::open(fifo.c_str(), O_WRONLY);
    if (fd < 0) return;
    auto put = [&](size_t from, size_t to) {
      for (size_t done = from; done < to;) {
        const ssize_t n = ::write(fd, bytes.data() + done, to - done);
        if (n <= 0) return;
        done += size_t(n);
      }
    };
    const size_t first = bytes.size() * 3 / 4;  // 6 s: enough for the stream probe
    put(0, first);
    sawWait = WaitUntil([&] { return timeline.WaitShownAt() != 0; }, 20000);
    put(first, bytes.size());
    ::close(fd);
  });
  Make();
  session->StartPlay(fifo, "", kSourceMp4, nullptr, 0);
  EXPECT_EQ(session->playMode(), kPlayDemuxed);
  const bool waited = WaitUntil([&] { return timeline.WaitHiddenAt() != 0; }, 30000);
  writer.join();
  ASSERT_TRUE(sawWait.load()) << "presentation never waited for the indexer";
  ASSERT_TRUE(waited) << "the wait never ended";
  ASSERT_TRUE(session->hasSound());
  const size_t shownAt = timeline.WaitShownAt(), hiddenAt = timeline.WaitHiddenAt();
  EXPECT_GT(timeline.SoundsFrom(0) - timeline.SoundsFrom(shownAt), 100u) << "sound before the wait";
  EXPECT_EQ(timeline.SoundsFrom(shownAt) - timeline.SoundsFrom(hiddenAt), 0u) << "sound while waiting";
  ExpectAlignedFrom(hiddenAt, "after the wait", 2);
  session->StopPlay();
}

// What is heard (the device's played clock) against the picture presented at that moment,
// at 1X from the start and after each way sound comes back. Pictures presented late (a busy
// machine) are left out: their lateness is the pacing's, reported on its own.
TEST_F(SoundSessionTest, the_sound_heard_stays_within_one_sound_frame_of_the_picture) {
  constexpr int kLateMs = 5;
  Make();
  Start(Media().front30);
  ASSERT_TRUE(WaitPicture(100));
  const struct Row {
    const char* name;
    std::function<void()> act;
  } rows[] = {
      {"1X from the start", [] {}},
      {"after resume", [&] { session->Pause(true); SleepMs(50); session->Pause(false); }},
      {"after a seek", [&] { session->Seek(300); }},
      {"after 2X to 1X", [&] { session->SetSpeed(kSpeed2X); SleepMs(150); session->SetSpeed(kSpeed1X); }},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    const size_t mark = timeline.HeardCount();
    row.act();
    ASSERT_TRUE(WaitUntil([&] { return timeline.HeardCount() >= mark + 12; })) << "no sound heard";
    const auto heard = timeline.HeardFrom(mark);
    // The schedule: the first picture reported and the monotonic clock from it.
    const TimelineObserver::Heard& first = heard.front();
    double worst = 0;
    int judged = 0;
    for (const auto& h : heard) {
      const int64_t late = int64_t(h.tickMs - first.tickMs) - (int64_t(h.pictureMs) - int64_t(first.pictureMs));
      if (late > kLateMs) continue;
      ++judged;
      worst = std::max(worst, std::abs(double(h.heardUs) / 1000 - h.pictureMs));
    }
    EXPECT_GE(judged, 6);
    EXPECT_LE(worst, kAacFrameMs) << judged << " pictures judged";
  }
}

TEST_F(SoundSessionTest, a_whole_recording_at_2x_and_4x_writes_nothing) {
  for (int speed : {kSpeed2X, kSpeed4X}) {
    SCOPED_TRACE(speed);
    Make();
    Start(Media().front30, speed);
    ASSERT_TRUE(PlayToEnd());
    EXPECT_EQ(device->WrittenCount(), 0u);
    EXPECT_EQ(Distinct(Tags(front)).back(), kFrames - 1);
    session.reset();
    front.Reset();
    sink.Clear();
    timeline.Clear();
  }
}

TEST_F(SoundSessionTest, a_device_that_cannot_open_is_traced_and_playback_stays_silent) {
  struct Row {
    const char* name;
    bool failOpen;
    bool withDevice;
  } rows[] = {{"open fails", true, true}, {"no device", false, false}};
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    std::ofstream(trace, std::ios::trunc).close();
    Make(MemoryWaveOut::Options{row.failOpen, -1}, row.withDevice);
    Start(Media().front30);
    ASSERT_TRUE(WaitPicture(500));
    session->Pause(true);
    session->Pause(false);  // sound is tried again on resume, and fails again
    ASSERT_TRUE(WaitPicture(700));
    const std::vector<int> shown = Distinct(Tags(front));
    EXPECT_EQ(shown, Range(0, int(shown.size())));
    EXPECT_GE(shown.size(), 21u);
    EXPECT_EQ(device->WrittenCount(), 0u);
    EXPECT_EQ(session->queuedWaves(), 0);
    const std::string log = ReadAll(trace);
    EXPECT_NE(log.find("CDispWnd::AudStart"), std::string::npos) << log;
    const size_t first = log.find("winmm audio open failed.\n");
    ASSERT_NE(first, std::string::npos) << log;
    EXPECT_NE(log.find("winmm audio open failed.\n", first + 1), std::string::npos) << log;
    EXPECT_EQ(log.find("CDispWnd::AudPlay"), std::string::npos) << log;
    session.reset();
    front.Reset();
    sink.Clear();
    timeline.Clear();
  }
}

TEST_F(SoundSessionTest, failed_writes_are_traced_and_never_stay_queued) {
  Make(MemoryWaveOut::Options{false, 3});
  Start(Media().front30);
  ASSERT_TRUE(WaitPicture(500));
  EXPECT_EQ(device->WrittenCount(), 3u);
  ASSERT_TRUE(WaitUntil([&] { return device->Queued() == 0 && session->queuedWaves() == 0; }));
  const std::string log = ReadAll(trace);
  EXPECT_NE(log.find("waveOutPrepareHeader or waveOutWrite Error (0x1)\n"), std::string::npos) << log;
}

// The AAC configuration made undecodable in place: the decoder cannot open.
bool BreakSoundConfig(const std::string& path) {
  std::fstream f(path, std::ios::in | std::ios::out | std::ios::binary);
  std::string bytes((std::istreambuf_iterator<char>(f)), std::istreambuf_iterator<char>());
  const size_t at = bytes.find("ptso");
  if (at == std::string::npos) return false;
  const size_t body = at + 4;
  const size_t configs = (uint8_t(bytes[body + 14]) << 8) | uint8_t(bytes[body + 15]);
  const size_t length = (uint8_t(bytes[body + 16]) << 8) | uint8_t(bytes[body + 17]);
  if (configs < 1 || length < 2) return false;
  f.clear();
  f.seekp(std::streamoff(body + 18));
  const char zeros[2] = {0, 0};  // audio object type 0: no decoder takes it
  f.write(zeros, 2);
  return bool(f);
}

TEST_F(SoundSessionTest, sound_whose_decoder_cannot_open_plays_silently_after_one_message) {
  TempDir dir;
  const std::string path = dir.file("nosound.mp4");
  std::filesystem::copy_file(Media().front30, path);
  ASSERT_TRUE(BreakSoundConfig(path));
  Make();
  Start(path);
  ASSERT_TRUE(PlayToEnd());
  EXPECT_EQ(Distinct(Tags(front)), Range(0, kFrames));
  EXPECT_FALSE(session->hasSound());
  EXPECT_EQ(device->OpenCount(), 0);
  EXPECT_EQ(device->WrittenCount(), 0u);
  // Pause, resume and seek say nothing more about sound.
  session->Seek(0);
  session->Pause(false);
  ASSERT_TRUE(WaitPicture(500));
  session->Pause(true);
  const std::string log = ReadAll(trace);
  const size_t first = log.find("audio codec open failed " + path + "\n");
  ASSERT_NE(first, std::string::npos) << log;
  EXPECT_NE(log.find("CDispWnd::StartPlay"), std::string::npos);
  EXPECT_EQ(log.find("audio codec open failed", first + 1), std::string::npos) << log;
  EXPECT_EQ(log.find("winmm"), std::string::npos) << log;
  EXPECT_EQ(log.find("Audio"), std::string::npos) << log;
}

// AVI: the stored PCM goes to the device unchanged, chunk by chunk.
TEST_F(SoundSessionTest, avi_pcm_is_written_byte_for_byte) {
  TempDir dir;
  AviRecordingSpec s;
  s.width = 320;
  s.height = 180;
  s.durationMs = 1000;
  s.gps = s.sensor = false;
  const std::string path = dir.file("sound.avi");
  AviRecordingResult r;
  std::string error;
  ASSERT_TRUE(WriteAviRecording(s, path, &r, &error)) << error;
  AVIINFO info{};
  ASSERT_EQ(ValidAVI(path, &info), 1);
  const AviWaveFormat w = info.soundFormat;
  Make();
  session->StartPlay(path, &info, 0);
  ASSERT_TRUE(sink.WaitFor(kPlayStartIndexed, 0));
  session->Pause(false);
  ASSERT_TRUE(PlayToEnd());
  const FrameTable& table = session->audioTable();
  ASSERT_EQ(table.Count(), int32_t(r.soundChunks));
  ASSERT_TRUE(WaitUntil([&] { return LastSoundMs() == int64_t(table.at(table.Count() - 1).timeMs); }));
  const WaveFormat f = device->Format();
  EXPECT_EQ(f.formatTag, w.wFormatTag);
  EXPECT_EQ(f.channels, w.nChannels);
  EXPECT_EQ(f.samplesPerSec, w.nSamplesPerSec);
  EXPECT_EQ(f.avgBytesPerSec, w.nAvgBytesPerSec);
  EXPECT_EQ(f.blockAlign, w.nBlockAlign);
  EXPECT_EQ(f.bitsPerSample, w.wBitsPerSample);
  const std::string file = ReadAll(path);
  const auto written = device->Written();
  // The first chunk written may be cut to where the picture clock was at its write.
  ASSERT_GE(written.size() + 1, size_t(table.Count()));
  ASSERT_LE(written.size(), size_t(table.Count()));
  const int32_t skipped = table.Count() - int32_t(written.size());
  for (int32_t i = skipped; i < table.Count(); ++i) {
    const FrameEntry e = table.at(i);
    ASSERT_LE(uint64_t(e.offset) + e.size, file.size());
    const std::vector<uint8_t> chunk(file.begin() + e.offset, file.begin() + e.offset + e.size);
    const std::vector<uint8_t>& got = written[size_t(i - skipped)].bytes;
    if (i == skipped) {
      ASSERT_LE(got.size(), chunk.size());
      EXPECT_TRUE(std::equal(got.begin(), got.end(), chunk.end() - long(got.size()))) << "the end of chunk " << i;
    } else {
      EXPECT_EQ(got, chunk) << "chunk " << i;
    }
  }
  // Each chunk's time is where the sound before it ends.
  for (int32_t i = 0; i < table.Count(); ++i) {
    const uint32_t timeMs = table.at(i).timeMs;  // a copy: the entries are packed
    EXPECT_EQ(timeMs, uint32_t(uint64_t(table.at(0).size) * i * 1000 / w.nAvgBytesPerSec)) << "chunk " << i;
  }
}

TEST(CWaveQ, keeps_buffers_in_write_order_until_taken_off) {
  CWaveQ q;
  const uint8_t a[] = {1, 2, 3}, b[] = {4, 5}, c[] = {6};
  const uint8_t* pa = q.Push(a, 3);
  const uint8_t* pb = q.Push(b, 2);
  ASSERT_TRUE(pa && pb);
  EXPECT_NE(pa, a);  // a copy
  EXPECT_EQ(std::vector<uint8_t>(pa, pa + 3), std::vector<uint8_t>(a, a + 3));
  EXPECT_EQ(q.count(), 2);
  q.PopOldest();  // a played
  EXPECT_EQ(q.count(), 1);
  EXPECT_EQ(std::vector<uint8_t>(pb, pb + 2), std::vector<uint8_t>(b, b + 2));  // b untouched
  const uint8_t* pc = q.Push(c, 1);
  ASSERT_TRUE(pc);
  q.DropNewest();  // c's write failed
  EXPECT_EQ(q.count(), 1);
  EXPECT_EQ(pb[1], 5);
  q.Clear();
  EXPECT_EQ(q.count(), 0);
  q.PopOldest();  // a late callback on an empty queue changes nothing
  q.DropNewest();
  EXPECT_EQ(q.count(), 0);
}

}  // namespace
}  // namespace tq::test
