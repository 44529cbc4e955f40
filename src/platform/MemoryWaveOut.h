// A wave-out device without sound: it keeps a copy of every written buffer and "plays"
// the queue at the real rate of the opened format on its own thread, calling the done
// callback as a sound card would, so queue counts behave as with a real device. Its played
// clock runs continuously on the monotonic clock while there is sound and it is not paused
// (no drift from waking up late between buffers), and stops where the sound runs out.
// Used by the tests and by the headless player.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <mutex>
#include <thread>
#include <vector>

#include "platform/WaveOut.h"

namespace tq {

struct WrittenBuffer {
  std::vector<uint8_t> bytes;  // as written
  uint64_t tickMs = 0;         // monotonic clock at the write
  uint32_t openNumber = 0;     // 1 for buffers of the first open, 2 for the second, ...
};

class MemoryWaveOut final : public WaveOut {
 public:
  struct Options {
    bool failOpen = false;     // Open answers kWaveNoDevice
    int failWriteAfter = -1;   // writes after this many succeed fail with kWaveError
  };

  MemoryWaveOut() : MemoryWaveOut(Options{}) {}
  explicit MemoryWaveOut(Options options) : options_(options) {}
  ~MemoryWaveOut() override;

  int Open(const WaveFormat& format, DoneCallback done) override;
  int Write(const uint8_t* data, uint32_t bytes) override;
  int Pause() override;
  int Restart() override;
  int Reset() override;
  int Close() override;
  int64_t UnplayedUs() override;

  // What the tests look at; safe from any thread.
  std::vector<WrittenBuffer> Written() const;
  size_t WrittenCount() const;
  int Queued() const;         // written, not yet played nor dropped
  uint64_t PlayedCount() const;
  int64_t PlayedUs() const;   // of sound played since the last open
  bool IsOpen() const;
  bool IsPaused() const;
  int OpenCount() const;      // successful opens
  int ResetCount() const;     // Reset and Close calls on an open device
  WaveFormat Format() const;  // of the last successful open

 private:
  using Clock = std::chrono::steady_clock;
  struct Entry {
    const uint8_t* data;
    uint32_t bytes;
    int64_t endFrames;  // where the buffer ends on the played clock, in sample frames
  };
  void PlayLoop();
  int64_t FramesToNs(int64_t frames) const;
  // mutex_ held: the played clock at `now`, in nanoseconds (no rounding adds up over many
  // buffers); Settle moves its anchor there (before any change of what plays or whether
  // it plays).
  int64_t PlayedAt(Clock::time_point now) const;
  void Settle(Clock::time_point now);
  void DropQueued();

  const Options options_;
  // Lock order: callbackMutex_ -> mutex_. callbackMutex_ is held while the done callback
  // runs, so that Reset and Close return only once no callback is running.
  std::mutex callbackMutex_;
  mutable std::mutex mutex_;  // guards everything below
  std::condition_variable cv_;
  bool open_ = false;
  bool paused_ = false;
  bool stop_ = false;
  uint64_t generation_ = 0;   // bumped by every drop: a head taken before it is stale
  WaveFormat format_{};
  DoneCallback done_;
  std::deque<Entry> queue_;
  int64_t endFrames_ = 0;     // the end of the last queued buffer (played clock, frames)
  int64_t playedNs_ = 0;      // the played clock at clockAnchor_
  Clock::time_point clockAnchor_{};
  std::vector<WrittenBuffer> written_;
  uint64_t played_ = 0;
  int opens_ = 0;
  int resets_ = 0;
  int writes_ = 0;
  std::thread thread_;
};

}  // namespace tq
