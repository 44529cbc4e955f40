#include "playback/CWaveQ.h"

#include <cstring>
#include <new>

namespace tq {

const uint8_t* CWaveQ::Push(const uint8_t* data, uint32_t bytes) {
  Buffer b;
  b.data.reset(new (std::nothrow) uint8_t[bytes]);
  if (!b.data) return nullptr;
  std::memcpy(b.data.get(), data, bytes);
  b.bytes = bytes;
  const uint8_t* copy = b.data.get();
  std::lock_guard<std::mutex> lock(mutex_);
  try {
    buffers_.push_back(std::move(b));
  } catch (const std::bad_alloc&) {
    return nullptr;
  }
  ++count_;
  return copy;
}

void CWaveQ::PopOldest() {
  std::lock_guard<std::mutex> lock(mutex_);
  if (buffers_.empty()) return;
  buffers_.pop_front();
  --count_;
}

void CWaveQ::DropNewest() {
  std::lock_guard<std::mutex> lock(mutex_);
  if (buffers_.empty()) return;
  buffers_.pop_back();
  --count_;
}

void CWaveQ::Clear() {
  std::lock_guard<std::mutex> lock(mutex_);
  buffers_.clear();
  count_ = 0;
}

int32_t CWaveQ::count() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return count_;
}

}  // namespace tq
