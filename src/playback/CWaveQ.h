// The wave buffers written to the device and not yet played, oldest first. Each holds a
// copy of one converted audio sample; the device reads it in place, so a buffer lives
// here until the device's done callback takes it off (or the device is closed).
//
// Threads: play_thread appends (under the session's audio mutex); the device's thread
// takes the oldest off in its done callback; close empties it. All under mutex_, which is
// never held while the audio mutex is taken nor while the device is called.
#pragma once

#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>

namespace tq {

class CWaveQ {
 public:
  // Appends a copy of `bytes` bytes; returns the copy (valid until it is taken off), or
  // null when memory is short.
  const uint8_t* Push(const uint8_t* data, uint32_t bytes);
  // The done callback: frees the oldest buffer.
  void PopOldest();
  // A write that failed: frees the newest buffer, the one just pushed.
  void DropNewest();
  // Frees every buffer (the device is closed: nothing reads them any more).
  void Clear();
  int32_t count() const;

 private:
  struct Buffer {
    std::unique_ptr<uint8_t[]> data;
    uint32_t bytes = 0;
  };
  mutable std::mutex mutex_;
  std::deque<Buffer> buffers_;  // front = oldest; guarded by mutex_
  int32_t count_ = 0;           // guarded by mutex_
};

}  // namespace tq
