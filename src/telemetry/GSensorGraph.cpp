#include "telemetry/GSensorGraph.h"

#include <algorithm>
#include <cstdlib>

#include "container/MediaFile.h"

namespace tq {
namespace {

constexpr int32_t kSlotsPerLayout = 60;
constexpr int32_t kOneSecondPerSlotUpTo = 62;  // seconds
constexpr int32_t kRemainderRoundsUp = 3;      // seconds

int16_t Clamp16(int v, int16_t limit) { return int16_t(std::clamp(v, -int(limit), int(limit))); }

}  // namespace

Gsf3Record Read3GFRecord(const uint8_t* p) {
  Gsf3Record r;
  r.timeMs = GetU32(p);
  for (int a = 0; a < 3; ++a) r.axis[a] = int16_t(GetU16(p + 4 + 2 * a));
  return r;
}

std::vector<Gsf3Record> Parse3GF(const uint8_t* block, int64_t length) {
  std::vector<Gsf3Record> out;
  if (!block || length < int64_t(k3gfRecordSize)) return out;
  size_t n = size_t(length) / k3gfRecordSize;
  out.reserve(n);
  for (size_t i = 0; i < n; ++i) out.push_back(Read3GFRecord(block + i * k3gfRecordSize));
  return out;
}

uint8_t SecondsPerSlot(int32_t durationSeconds) {
  if (durationSeconds <= kOneSecondPerSlotUpTo) return 1;
  int32_t perSlot = durationSeconds / kSlotsPerLayout;
  if (durationSeconds % kSlotsPerLayout > kRemainderRoundsUp) ++perSlot;
  return uint8_t(std::min<int32_t>(perSlot, 255));
}

int16_t GSensorGraph::RowFor(int16_t value, int height) {
  int v = Clamp16(value, kRowLimit);
  int span = std::max(height, 1) - 1;
  return int16_t((kRowLimit - v) * span / (2 * kRowLimit));
}

void GSensorGraph::Clear() {
  current_ = -1;
  highlight_ = false;
  highlightSlot_ = -1;
  deviation_ = {};
  rows_ = {};
  slotCount_ = 0;
  secondsPerSlot_ = 0;
}

void GSensorGraph::Set3GF(const uint8_t* block, int64_t length, int32_t durationSeconds,
                          uint8_t secondsPerSlot) {
  current_ = -1;
  highlight_ = false;
  highlightSlot_ = -1;
  deviation_ = {};
  if (durationSeconds != -1) {
    secondsPerSlot_ = secondsPerSlot;
    slotCount_ = secondsPerSlot ? std::max(durationSeconds, 0) / secondsPerSlot : 0;
  }
  slotCount_ = std::min(slotCount_, kMaxSlots);

  History history;
  if (block && length > 0 && secondsPerSlot_ != 0) {
    // Only whole records are fed: the bytes behind the block belong to something else.
    size_t records = size_t(length) / k3gfRecordSize;
    for (size_t i = 0; i < records; ++i) {
      Gsf3Record r = Read3GFRecord(block + i * k3gfRecordSize);
      int64_t slot = int64_t(r.timeMs / 1000) / secondsPerSlot_;
      if (slot >= slotCount_) break;
      Feed(r, int(slot), history);
    }
  }
  ScaleRows();
}

void GSensorGraph::Feed(const Gsf3Record& r, int slot, History& h) {
  for (size_t a = 0; a < 3; ++a) {
    int16_t v = Clamp16(r.axis[a], kAxisLimit);
    int16_t& value = deviation_[a][size_t(slot)];
    if (h.count < 0) {
      value = 0;
      continue;
    }
    int16_t sum = 0;  // 16-bit like the stored values; 20 x 250 cannot overflow
    for (int k = 0; k <= h.count; ++k) sum = int16_t(sum + h.values[a][size_t(k)]);
    int16_t mean = int16_t(sum / (h.count + 1));
    int16_t deviation = int16_t(v - mean);
    if (std::abs(deviation) > std::abs(value)) value = deviation;
  }
  ++h.count;
  if (h.count >= kHistory) {
    for (auto& axis : h.values) std::rotate(axis.begin(), axis.begin() + 1, axis.end());
    h.count = kHistory - 1;
  }
  for (size_t a = 0; a < 3; ++a) h.values[a][size_t(h.count)] = Clamp16(r.axis[a], kAxisLimit);
}

void GSensorGraph::ScaleRows() {
  rows_ = {};
  for (size_t a = 0; a < 3; ++a)
    for (int i = 0; i < slotCount_; ++i) rows_[a][size_t(i)] = RowFor(deviation_[a][size_t(i)], height_);
}

bool GSensorGraph::Resize(int width, int height) {
  if (width < 1 || width_ == 0) return false;
  width_ = width;
  height_ = height;
  int step = width > kMinDrawWidth ? width / kMaxSlots : 2;
  int drawWidth = std::max(width, kMinDrawWidth);
  if (drawWidth == drawWidth_ && step == step_) return false;
  drawWidth_ = drawWidth;
  step_ = step;
  ScaleRows();
  return true;
}

std::optional<GSensorGraph::Span> GSensorGraph::SetPos(int64_t ms) {
  if (secondsPerSlot_ == 0 || ms < 0) return std::nullopt;
  int64_t slot = (ms / 1000) / secondsPerSlot_;
  if (slot == current_ || slot >= slotCount_) return std::nullopt;
  int next = int(slot);
  Span span{current_ < 0 ? next : std::min(current_, next), std::max(current_, next)};
  if (highlight_ && highlightSlot_ == next) {
    highlight_ = false;
    highlightSlot_ = -1;
  }
  current_ = next;
  return span;
}

std::optional<int32_t> GSensorGraph::Click(int x, bool navigationBusy) {
  if (width_ <= 1 || navigationBusy || step_ <= 0) return std::nullopt;
  int slot = x / step_;
  if (x < 0 || slot >= slotCount_) return std::nullopt;
  highlight_ = true;
  highlightSlot_ = slot;
  return int32_t(secondsPerSlot_) * slot;
}

}  // namespace tq
