// A wave-out device without sound: it keeps a copy of every written buffer and "plays"
// the queue at the real rate of the opened format on its own thread, calling the done
// callback as a sound card would, so queue counts behave as with a real device.
// Used by the tests and by the headless player.
#pragma once

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

  // What the tests look at; safe from any thread.
  std::vector<WrittenBuffer> Written() const;
  size_t WrittenCount() const;
  int Queued() const;         // written, not yet played nor dropped
  uint64_t PlayedCount() const;
  bool IsOpen() const;
  bool IsPaused() const;
  int OpenCount() const;      // successful opens
  int ResetCount() const;     // Reset and Close calls on an open device
  WaveFormat Format() const;  // of the last successful open

 private:
  struct Entry {
    const uint8_t* data;
    uint32_t bytes;
  };
  void PlayLoop();
  int64_t DurationUs(uint32_t bytes) const;
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
  int64_t headPlayedUs_ = 0;  // how much of the head buffer has been played
  std::vector<WrittenBuffer> written_;
  uint64_t played_ = 0;
  int opens_ = 0;
  int resets_ = 0;
  int writes_ = 0;
  std::thread thread_;
};

}  // namespace tq
