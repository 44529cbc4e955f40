// The memory wave-out device keeps the promises of the wave-out interface that the
// session's queue relies on: callbacks in write order, none after a reset or a close,
// nothing played while paused, formats it cannot play refused.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

#include "platform/Clock.h"
#include "platform/MemoryWaveOut.h"

namespace tq {
namespace {

WaveFormat Pcm(uint16_t channels, uint32_t rate, uint16_t bits) {
  WaveFormat f;
  f.formatTag = kWaveFormatPcm;
  f.channels = channels;
  f.samplesPerSec = rate;
  f.bitsPerSample = bits;
  f.blockAlign = uint16_t(bits / 8 * channels);
  f.avgBytesPerSec = f.blockAlign * rate;
  return f;
}

bool WaitFor(const std::function<bool()>& done, int timeoutMs = 5000) {
  const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  while (!done()) {
    if (std::chrono::steady_clock::now() > end) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  return true;
}

// The buffers whose done callback came, by their first byte.
struct DoneLog {
  std::mutex mutex;
  std::vector<uint8_t> order;
  std::vector<std::vector<uint8_t>>* buffers = nullptr;
  size_t next = 0;
  WaveOut::DoneCallback Callback() {
    return [this] {
      std::lock_guard<std::mutex> lock(mutex);
      order.push_back((*buffers)[next++][0]);
    };
  }
  size_t Count() {
    std::lock_guard<std::mutex> lock(mutex);
    return order.size();
  }
};

TEST(MemoryWaveOut, refuses_formats_and_states_it_cannot_play) {
  struct Row {
    const char* name;
    WaveFormat format;
    int expected;
  } rows[] = {
      {"mono 16-bit", Pcm(1, 48000, 16), kWaveOk},
      {"stereo 8-bit", Pcm(2, 8000, 8), kWaveOk},
      {"not PCM", [] { auto f = Pcm(1, 48000, 16); f.formatTag = 3; return f; }(), kWaveBadFormat},
      {"no channels", Pcm(0, 48000, 16), kWaveBadFormat},
      {"12 bits", Pcm(1, 48000, 12), kWaveBadFormat},
      {"no rate", Pcm(1, 0, 16), kWaveBadFormat},
      {"block align wrong", [] { auto f = Pcm(2, 48000, 16); f.blockAlign = 2; return f; }(), kWaveBadFormat},
  };
  for (const Row& row : rows) {
    MemoryWaveOut device;
    EXPECT_EQ(device.Open(row.format, [] {}), row.expected) << row.name;
    EXPECT_EQ(device.IsOpen(), row.expected == kWaveOk) << row.name;
  }
  MemoryWaveOut device;
  EXPECT_EQ(device.Open(Pcm(1, 48000, 16), nullptr), kWaveBadParam);
  const uint8_t bytes[2] = {};
  EXPECT_EQ(device.Write(bytes, 2), kWaveNotOpen);
  EXPECT_EQ(device.Pause(), kWaveNotOpen);
  EXPECT_EQ(device.Reset(), kWaveNotOpen);
  EXPECT_EQ(device.Close(), kWaveOk);  // closing a closed device does nothing
  ASSERT_EQ(device.Open(Pcm(1, 48000, 16), [] {}), kWaveOk);
  EXPECT_EQ(device.Open(Pcm(1, 48000, 16), [] {}), kWaveError);  // already open
  EXPECT_EQ(device.Write(bytes, 0), kWaveBadParam);
  MemoryWaveOut failing(MemoryWaveOut::Options{true, -1});
  EXPECT_EQ(failing.Open(Pcm(1, 48000, 16), [] {}), kWaveNoDevice);
}

TEST(MemoryWaveOut, plays_buffers_in_write_order_and_records_them) {
  // 2 ms buffers at 48 kHz mono: 96 samples, 192 bytes.
  std::vector<std::vector<uint8_t>> buffers;
  for (uint8_t i = 1; i <= 6; ++i) buffers.push_back(std::vector<uint8_t>(192, i));
  DoneLog log;
  log.buffers = &buffers;
  MemoryWaveOut device;
  ASSERT_EQ(device.Open(Pcm(1, 48000, 16), log.Callback()), kWaveOk);
  for (const auto& b : buffers) ASSERT_EQ(device.Write(b.data(), uint32_t(b.size())), kWaveOk);
  ASSERT_TRUE(WaitFor([&] { return log.Count() == buffers.size(); }));
  EXPECT_EQ(log.order, (std::vector<uint8_t>{1, 2, 3, 4, 5, 6}));
  EXPECT_EQ(device.Queued(), 0);
  EXPECT_EQ(device.PlayedCount(), 6u);
  const auto written = device.Written();
  ASSERT_EQ(written.size(), buffers.size());
  for (size_t i = 0; i < buffers.size(); ++i) {
    EXPECT_EQ(written[i].bytes, buffers[i]);
    EXPECT_EQ(written[i].openNumber, 1u);
  }
}

TEST(MemoryWaveOut, pause_holds_the_queue_and_reset_drops_it_without_callbacks) {
  // 500 ms buffers: nothing finishes by itself during the test.
  std::vector<std::vector<uint8_t>> buffers(3, std::vector<uint8_t>(48000, 7));
  DoneLog log;
  log.buffers = &buffers;
  MemoryWaveOut device;
  ASSERT_EQ(device.Open(Pcm(1, 48000, 16), log.Callback()), kWaveOk);
  ASSERT_EQ(device.Pause(), kWaveOk);
  for (const auto& b : buffers) ASSERT_EQ(device.Write(b.data(), uint32_t(b.size())), kWaveOk);
  EXPECT_EQ(device.Queued(), 3);
  EXPECT_TRUE(device.IsPaused());
  ASSERT_EQ(device.Reset(), kWaveOk);
  EXPECT_EQ(device.Queued(), 0);
  EXPECT_EQ(log.Count(), 0u);
  EXPECT_TRUE(device.IsPaused());  // reset keeps the pause
  EXPECT_EQ(device.ResetCount(), 1);

  // Short buffers while paused stay queued; Restart plays them.
  std::vector<std::vector<uint8_t>> shortOnes(2, std::vector<uint8_t>(96, 9));
  DoneLog shortLog;
  shortLog.buffers = &shortOnes;
  ASSERT_EQ(device.Close(), kWaveOk);
  ASSERT_EQ(device.Open(Pcm(1, 48000, 16), shortLog.Callback()), kWaveOk);
  ASSERT_EQ(device.Pause(), kWaveOk);
  for (const auto& b : shortOnes) ASSERT_EQ(device.Write(b.data(), uint32_t(b.size())), kWaveOk);
  SleepMs(20);  // ten times their length
  EXPECT_EQ(shortLog.Count(), 0u) << "played while paused";
  ASSERT_EQ(device.Restart(), kWaveOk);
  ASSERT_TRUE(WaitFor([&] { return shortLog.Count() == 2; }));
  EXPECT_EQ(device.Written().back().openNumber, 2u);
}

TEST(MemoryWaveOut, close_drops_the_queue_and_no_callback_comes_after_it) {
  // Many tiny buffers, closed while the device is busy calling back.
  // 1 ms each: 200 ms in all.
  std::vector<std::vector<uint8_t>> buffers(200, std::vector<uint8_t>(96, 1));
  std::atomic<bool> closed{false};
  std::atomic<int> late{0};
  std::atomic<int> calls{0};
  MemoryWaveOut device;
  ASSERT_EQ(device.Open(Pcm(1, 48000, 16), [&] {
              ++calls;
              if (closed) ++late;
            }),
            kWaveOk);
  for (const auto& b : buffers) ASSERT_EQ(device.Write(b.data(), 96), kWaveOk);
  ASSERT_TRUE(WaitFor([&] { return calls > 5; }));
  ASSERT_EQ(device.Close(), kWaveOk);
  closed = true;
  SleepMs(10);
  EXPECT_EQ(late, 0);
  EXPECT_FALSE(device.IsOpen());
  EXPECT_EQ(device.Queued(), 0);
  EXPECT_LT(calls.load(), 200);
  const uint8_t bytes[2] = {};
  EXPECT_EQ(device.Write(bytes, 2), kWaveNotOpen);
}

int64_t NowUs() {
  return std::chrono::duration_cast<std::chrono::microseconds>(
             std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

// The played clock runs with the monotonic clock while there is sound to play, however
// late the device's thread wakes: at any moment, what is unplayed is what was written less
// the time since the write, within the instants measured around the calls.
TEST(MemoryWaveOut, its_played_clock_follows_the_wall_clock_and_stops_when_it_should) {
  // 200 buffers of 5 ms (240 samples, 480 bytes): 1 s in all, 200 hand-overs.
  constexpr int64_t kTotalUs = 1000000;
  std::vector<uint8_t> buffer(480, 3);
  MemoryWaveOut device;
  ASSERT_EQ(device.Open(Pcm(1, 48000, 16), [] {}), kWaveOk);
  EXPECT_EQ(device.UnplayedUs(), 0);
  const int64_t writeFrom = NowUs();
  for (int i = 0; i < 200; ++i) ASSERT_EQ(device.Write(buffer.data(), 480), kWaveOk);
  const int64_t writeTo = NowUs();
  struct Row {
    const char* name;
    int sleepMs;
    bool pause;
  } rows[] = {{"playing", 150, false}, {"playing on", 300, false}, {"paused", 100, true}};
  int64_t pausedUs = 0;  // wall time spent paused, which the clock does not count
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    SleepMs(row.sleepMs);
    if (row.pause) {
      const int64_t pauseAt = NowUs();
      ASSERT_EQ(device.Pause(), kWaveOk);
      const int64_t atPause = device.UnplayedUs();
      SleepMs(row.sleepMs);
      EXPECT_EQ(device.UnplayedUs(), atPause) << "ran while paused";
      const int64_t restartAt = NowUs();
      ASSERT_EQ(device.Restart(), kWaveOk);
      pausedUs = (restartAt - pauseAt);
      continue;
    }
    const int64_t from = NowUs();
    const int64_t unplayed = device.UnplayedUs();
    const int64_t to = NowUs();
    EXPECT_GE(unplayed, kTotalUs - (to - writeFrom) - 1);
    EXPECT_LE(unplayed, kTotalUs - (from - writeTo) + 1);
  }
  // Played to the end: the clock stops there, and sound written later starts from then.
  ASSERT_TRUE(WaitFor([&] { return device.Queued() == 0; }));
  EXPECT_EQ(device.UnplayedUs(), 0);
  EXPECT_EQ(device.PlayedUs(), kTotalUs);
  EXPECT_GT(NowUs() - writeFrom, kTotalUs + pausedUs - 1000) << "played faster than the format's rate";
  SleepMs(50);
  const int64_t again = NowUs();
  ASSERT_EQ(device.Write(buffer.data(), 480), kWaveOk);
  EXPECT_GE(device.UnplayedUs(), 5000 - (NowUs() - again) - 1) << "the dry spell was counted as played";
  // A reset drops what is queued: nothing of it will be heard.
  ASSERT_EQ(device.Pause(), kWaveOk);
  ASSERT_EQ(device.Reset(), kWaveOk);
  EXPECT_EQ(device.UnplayedUs(), 0);
  ASSERT_EQ(device.Close(), kWaveOk);
  EXPECT_EQ(device.UnplayedUs(), 0);
}

TEST(MemoryWaveOut, failing_writes_after_the_set_count) {
  MemoryWaveOut device(MemoryWaveOut::Options{false, 2});
  ASSERT_EQ(device.Open(Pcm(1, 48000, 16), [] {}), kWaveOk);
  const uint8_t bytes[2] = {};
  EXPECT_EQ(device.Write(bytes, 2), kWaveOk);
  EXPECT_EQ(device.Write(bytes, 2), kWaveOk);
  EXPECT_EQ(device.Write(bytes, 2), kWaveError);
  EXPECT_EQ(device.WrittenCount(), 2u);
}

}  // namespace
}  // namespace tq
