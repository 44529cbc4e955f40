// The wave-out device over the system's sound server (Qt Multimedia's QAudioSink).
//
// The sink lives on a thread of its own: the session calls in from play_thread and the
// user-interface thread, which are no Qt threads. Write only queues the caller's buffer
// (a pointer, no copy) under mutex_; the sink pulls from the queue on its thread as it has
// room, and the done callback runs, still under mutex_, for each buffer it has taken
// completely. Reset and Close empty the queue under mutex_, so
// once they return no callback runs for any earlier buffer. Open and Close wait for the
// sink's thread (a few milliseconds); nothing else blocks the caller.
//
// What is heard: the sink's own played-time count (processedUSecs) is read on the device's
// thread every few milliseconds, with the time it was read; between two readings the
// count runs on with the clock while the sink is playing.
#pragma once

#include <deque>
#include <memory>
#include <mutex>

#include "platform/WaveOut.h"

class QThread;

namespace tq {

class QtWaveOut final : public WaveOut {
 public:
  // latencyMs: how much sound the sink buffers ahead of the speaker. Construct on the
  // application's main thread (it starts the device's thread, which lives as long).
  explicit QtWaveOut(int latencyMs = 100);
  ~QtWaveOut() override;
  QtWaveOut(const QtWaveOut&) = delete;
  QtWaveOut& operator=(const QtWaveOut&) = delete;

  int Open(const WaveFormat& format, DoneCallback done) override;
  int Write(const uint8_t* data, uint32_t bytes) override;
  int Pause() override;
  int Restart() override;
  int Reset() override;
  int Close() override;
  int64_t UnplayedUs() override;

 private:
  class Feed;
  class Pump;
  struct Pending {
    const uint8_t* data;
    uint32_t bytes;
    uint32_t handedOver;  // bytes already given to the sink
  };
  void DropQueued();  // mutex_ held

  const int latencyMs_;
  std::unique_ptr<QThread> thread_;
  std::unique_ptr<Pump> pump_;  // lives on thread_; freed once thread_ has ended
  std::mutex mutex_;      // guards everything below and the done callback's runs
  bool open_ = false;
  DoneCallback done_;
  std::deque<Pending> queue_;
  uint32_t bytesPerSecond_ = 0;
  int64_t handedBytes_ = 0;   // given to the sink since it started
  int64_t sinkPlayedUs_ = 0;  // the sink's played-time count at sinkReadTick_
  uint64_t sinkReadTickUs_ = 0;
  bool sinkPlaying_ = false;  // at that reading
};

}  // namespace tq
