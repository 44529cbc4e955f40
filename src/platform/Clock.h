// Monotonic millisecond clock (the tick count the playback pacing and timeouts use).
#pragma once

#include <cstdint>

namespace tq {
uint64_t TickCountMs();
void SleepMs(uint32_t ms);
}  // namespace tq
