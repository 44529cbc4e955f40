#include "platform/MemoryWaveOut.h"

#include <chrono>
#include <system_error>

#include "platform/Clock.h"

namespace tq {
namespace {

constexpr uint32_t kMaxChannels = 8;
constexpr int64_t kMicrosPerSecond = 1000000;

bool Playable(const WaveFormat& f) {
  const bool bits = f.bitsPerSample == 8 || f.bitsPerSample == 16 || f.bitsPerSample == 24 ||
                    f.bitsPerSample == 32;
  return f.formatTag == kWaveFormatPcm && bits && f.channels > 0 && f.channels <= kMaxChannels &&
         f.samplesPerSec > 0 && f.blockAlign == f.bitsPerSample / 8 * f.channels;
}

}  // namespace

MemoryWaveOut::~MemoryWaveOut() { Close(); }

int64_t MemoryWaveOut::DurationUs(uint32_t bytes) const {
  const int64_t perSecond = int64_t(format_.blockAlign) * format_.samplesPerSec;
  return int64_t(bytes) * kMicrosPerSecond / perSecond;
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
  headPlayedUs_ = 0;
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
  queue_.push_back(Entry{data, bytes});
  cv_.notify_all();
  return kWaveOk;
}

int MemoryWaveOut::Pause() {
  std::lock_guard<std::mutex> lock(mutex_);
  if (!open_) return kWaveNotOpen;
  paused_ = true;
  cv_.notify_all();
  return kWaveOk;
}

int MemoryWaveOut::Restart() {
  std::lock_guard<std::mutex> lock(mutex_);
  if (!open_) return kWaveNotOpen;
  paused_ = false;
  cv_.notify_all();
  return kWaveOk;
}

// Both locks: a done callback in progress finishes first, and the generation tells the
// play thread that a head it took before is gone.
void MemoryWaveOut::DropQueued() {
  std::lock_guard<std::mutex> callbacks(callbackMutex_);
  std::lock_guard<std::mutex> lock(mutex_);
  queue_.clear();
  headPlayedUs_ = 0;
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

// The device's thread: plays the head buffer for its duration at the format's rate
// (time spent paused does not count), then hands it back through the done callback.
void MemoryWaveOut::PlayLoop() {
  using Clock = std::chrono::steady_clock;
  std::unique_lock<std::mutex> lock(mutex_);
  while (!stop_) {
    if (queue_.empty() || paused_) {
      cv_.wait(lock);
      continue;
    }
    const int64_t left = DurationUs(queue_.front().bytes) - headPlayedUs_;
    const uint64_t generation = generation_;
    if (left > 0) {
      const Clock::time_point start = Clock::now();
      cv_.wait_until(lock, start + std::chrono::microseconds(left));
      if (generation_ == generation)
        headPlayedUs_ += std::chrono::duration_cast<std::chrono::microseconds>(Clock::now() - start).count();
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
          queue_.pop_front();
          headPlayedUs_ = 0;
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
