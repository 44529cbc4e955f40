// The frame index: one entry per sample, built by run_thread while playback runs.
// Tables are allocated once per session window and never grow; the indexer stops at a
// full table.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>

namespace tq {

constexpr int32_t kVideoTableEntries = 5460;  // a little over three minutes at 30 fps
constexpr int32_t kAudioTableEntries = 2912;  // a little over one minute of 48 kHz AAC
constexpr size_t kSlotFlagBytes = 60;         // step-cache slot flags, front then rear

#pragma pack(push, 1)
struct FrameEntry {
  uint32_t size;    // sample bytes; 0 = not indexed yet
  uint32_t timeMs;  // presentation time from the start of the recording
  uint8_t key;      // 1 key frame (always 1 for audio)
  uint32_t offset;  // byte offset of the sample data in the file the view reads
};
#pragma pack(pop)
static_assert(sizeof(FrameEntry) == 13, "the index entry is a packed 13-byte record");

// A fixed table with one writer, run_thread: it writes an entry, then publishes it by
// increasing the count (release). Readers load the count (acquire) and may then read
// every entry below it without a lock. Clear and Release run only while no worker
// thread is alive (the stop handshake).
struct FrameTable {
  std::unique_ptr<FrameEntry[]> entries;  // zero-filled
  int32_t capacity = 0;
  std::atomic<int32_t> count{0};

  bool Allocate(int32_t n);
  void Release() { entries.reset(); capacity = 0; count = 0; }
  bool allocated() const { return entries != nullptr; }
  // Zeroes the used entries and the count.
  void Clear();
  // An index that is inside the table and indexed.
  int32_t Count() const { return count.load(std::memory_order_acquire); }
  bool Indexed(int32_t i) const { return i >= 0 && i < Count() && entries[size_t(i)].size > 0; }
  const FrameEntry& at(int32_t i) const { return entries[size_t(i)]; }
  // Appends when there is room; false when the table is full.
  bool Append(const FrameEntry& e);
};

}  // namespace tq
