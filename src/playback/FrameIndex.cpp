#include "playback/FrameIndex.h"

#include <cstring>
#include <new>

namespace tq {

bool FrameTable::Allocate(int32_t n) {
  if (entries && capacity == n) return true;
  entries.reset(new (std::nothrow) FrameEntry[size_t(n)]());
  capacity = entries ? n : 0;
  count = 0;
  return entries != nullptr;
}

void FrameTable::Clear() {
  const int32_t n = Count();
  if (entries && n > 0) std::memset(entries.get(), 0, sizeof(FrameEntry) * size_t(n));
  count = 0;
}

bool FrameTable::Append(const FrameEntry& e) {
  const int32_t n = count.load(std::memory_order_relaxed);
  if (!entries || n >= capacity) return false;
  entries[size_t(n)] = e;
  count.store(n + 1, std::memory_order_release);
  return true;
}

}  // namespace tq
