#include "platform/MemoryWaveOut.h"

#include <algorithm>
#include <chrono>
#include <system_error>

#include "platform/Clock.h"

namespace tq {
namespace {

constexpr uint32_t kMaxChannels = 8;
constexpr int64_t kNanosPerSecond = 1000000000;
constexpr int64_t kNanosPerMicro = 1000;

bool Playable(const WaveFormat& f) {
  const bool bits = f.bitsPerSample == 8 || f.bitsPerSample == 16 || f.bitsPerSample == 24 ||
                    f.bitsPerSample == 32;
  return f.formatTag == kWaveFormatPcm && bits && f.channels > 0 && f.channels <= kMaxChannels &&
         f.samplesPerSec > 0 && f.blockAlign == f.bitsPerSample / 8 * f.channels;
}

}  // namespace

MemoryWaveOut::~MemoryWaveOut() { Close(); }

int64_t MemoryWaveOut::FramesToNs(int64_t frames) const {
  return frames * kNanosPerSecond / int64_t(format_.samplesPerSec);
}

int64_t MemoryWaveOut::PlayedAt(Clock::time_point now) const {
  const bool running = open_ && !paused_ && !queue_.empty();
  if (!running) return playedNs_;
  const int64_t since =
      std::chrono::duration_cast<std::chrono::nanoseconds>(now - clockAnchor_).count();
  return std::min(FramesToNs(endFrames_), playedNs_ + std::max<int64_t>(0, since));
}

void MemoryWaveOut::Settle(Clock::time_point now) {
  playedNs_ = PlayedAt(now);
  clockAnchor_ = now;
}

int MemoryWaveOut::Open(const WaveFormat& format, DoneCallback done) {
  if (!done) return kWaveBadParam;
  if (options_.failOpen) return kWaveNoDevice;
  if (!Playable(format)) return kWaveBadFormat;
  std::lock_guard<std::mutex> lock(mutex_);
  if (open_) return kWaveError;
  // The thread of the last open has been joined by Close.
  format_ = format;
  done_ = std::move(done);
  paused_ = false;
  stop_ = false;
  endFrames_ = 0;
  playedNs_ = 0;
  clockAnchor_ = Clock::now();
  try {
    thread_ = std::thread(&MemoryWaveOut::PlayLoop, this);
  } catch (const std::system_error&) {
    return kWaveNoMemory;
  }
  open_ = true;
  ++opens_;
  return kWaveOk;
}

int MemoryWaveOut::Write(const uint8_t* data, uint32_t bytes) {
  if (!data || bytes == 0) return kWaveBadParam;
  std::lock_guard<std::mutex> lock(mutex_);
  if (!open_) return kWaveNotOpen;
  if (options_.failWriteAfter >= 0 && writes_ >= options_.failWriteAfter) return kWaveError;
  ++writes_;
  written_.push_back(WrittenBuffer{std::vector<uint8_t>(data, data + bytes), TickCountMs(),
                                   uint32_t(opens_)});
  // A device that ran dry starts playing again from now.
  Settle(Clock::now());
  endFrames_ += bytes / format_.blockAlign;
  queue_.push_back(Entry{data, bytes, endFrames_});
  cv_.notify_all();
  return kWaveOk;
}

int MemoryWaveOut::Pause() {
  std::lock_guard<std::mutex> lock(mutex_);
  if (!open_) return kWaveNotOpen;
  Settle(Clock::now());
  paused_ = true;
  cv_.notify_all();
  return kWaveOk;
}

int MemoryWaveOut::Restart() {
  std::lock_guard<std::mutex> lock(mutex_);
  if (!open_) return kWaveNotOpen;
  Settle(Clock::now());
  paused_ = false;
  cv_.notify_all();
  return kWaveOk;
}

// Both locks: a done callback in progress finishes first, and the generation tells the
// play thread that a head it took before is gone.
void MemoryWaveOut::DropQueued() {
  std::lock_guard<std::mutex> callbacks(callbackMutex_);
  std::lock_guard<std::mutex> lock(mutex_);
  // What was dropped is never heard: the clock's end comes back to where it is.
  Settle(Clock::now());
  queue_.clear();
  endFrames_ = playedNs_ * int64_t(format_.samplesPerSec) / kNanosPerSecond;
  playedNs_ = FramesToNs(endFrames_);
  ++generation_;
  if (open_) ++resets_;
  cv_.notify_all();
}

int MemoryWaveOut::Reset() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (!open_) return kWaveNotOpen;
  }
  DropQueued();
  return kWaveOk;
}

int MemoryWaveOut::Close() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (!open_) return kWaveOk;
  }
  DropQueued();
  {
    std::lock_guard<std::mutex> lock(mutex_);
    stop_ = true;
    open_ = false;
    cv_.notify_all();
  }
  if (thread_.joinable()) thread_.join();
  return kWaveOk;
}

// The device's thread: hands the head buffer back through the done callback once the
// played clock has passed its end (time spent paused does not count).
void MemoryWaveOut::PlayLoop() {
  std::unique_lock<std::mutex> lock(mutex_);
  while (!stop_) {
    if (queue_.empty() || paused_) {
      cv_.wait(lock);
      continue;
    }
    const Clock::time_point now = Clock::now();
    const int64_t left = FramesToNs(queue_.front().endFrames) - PlayedAt(now);
    const uint64_t generation = generation_;
    if (left > 0) {
      cv_.wait_until(lock, now + std::chrono::nanoseconds(left));
      continue;
    }
    // Played: take it off under both locks (their order), unless it was dropped meanwhile.
    lock.unlock();
    {
      std::lock_guard<std::mutex> callbacks(callbackMutex_);
      bool finished = false;
      {
        std::lock_guard<std::mutex> relock(mutex_);
        if (generation_ == generation && !queue_.empty()) {
          // The clock stops at the end of the sound when this was the last buffer.
          Settle(Clock::now());
          queue_.pop_front();
          ++played_;
          finished = true;
        }
      }
      if (finished) done_();
    }
    lock.lock();
  }
}

std::vector<WrittenBuffer> MemoryWaveOut::Written() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return written_;
}

size_t MemoryWaveOut::WrittenCount() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return written_.size();
}

int MemoryWaveOut::Queued() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return int(queue_.size());
}

int64_t MemoryWaveOut::UnplayedUs() {
  std::lock_guard<std::mutex> lock(mutex_);
  if (!open_) return 0;
  return std::max<int64_t>(0, FramesToNs(endFrames_) - PlayedAt(Clock::now())) / kNanosPerMicro;
}

int64_t MemoryWaveOut::PlayedUs() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return PlayedAt(Clock::now()) / kNanosPerMicro;
}

uint64_t MemoryWaveOut::PlayedCount() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return played_;
}

bool MemoryWaveOut::IsOpen() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return open_;
}

bool MemoryWaveOut::IsPaused() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return paused_;
}

int MemoryWaveOut::OpenCount() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return opens_;
}

int MemoryWaveOut::ResetCount() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return resets_;
}

WaveFormat MemoryWaveOut::Format() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return format_;
}

}  // namespace tq
