// The G-sensor track: the 3GF record format, the slot layout of a recording, and the
// model behind the strip graph under the timeline (reduction of the records to at most
// 60 slots, scaling to pixel rows, current slot, click-to-seek). No drawing here: the
// graph window renders what this model holds. User-interface thread only.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <vector>

namespace tq {

// 10 bytes big-endian: u32 ms since the recording's start, i16 X, Y, Z in 1/128 g.
struct Gsf3Record {
  uint32_t timeMs = 0;
  int16_t axis[3] = {0, 0, 0};  // X, Y, Z
};
constexpr uint32_t k3gfRecordSize = 10;

// The whole records of a block (a partial record at the end is not read).
std::vector<Gsf3Record> Parse3GF(const uint8_t* block, int64_t length);
Gsf3Record Read3GFRecord(const uint8_t* p);

// Seconds per slot for a recording of `durationSeconds`: 1 up to 62 s, else
// duration / 60 plus 1 when the remainder exceeds 3.
uint8_t SecondsPerSlot(int32_t durationSeconds);

class GSensorGraph {
 public:
  static constexpr int kMaxSlots = 60;
  static constexpr int kHistory = 20;       // samples the mean is taken over
  static constexpr int16_t kAxisLimit = 250;  // 1/128 g, clamp on input
  static constexpr int16_t kRowLimit = 150;   // clamp before scaling to rows
  static constexpr int kMinDrawWidth = 120;

  // Slot span (inclusive) the window has to repaint.
  struct Span {
    int first;
    int last;
  };

  // Resets the graph and reduces `length` bytes of 3GF records into slot values, then
  // scales them to rows for the current height. durationSeconds -1 keeps the layout.
  void Set3GF(const uint8_t* block, int64_t length, int32_t durationSeconds,
              uint8_t secondsPerSlot);
  void Clear();

  // Window life: Create marks the window created (width 1); Resize returns true when the
  // drawing width changed and the picture must be rendered again.
  void Create() { if (width_ == 0) width_ = 1; }
  bool Resize(int width, int height);
  // The rows follow the height as well (Resize scales them again only when the width
  // changes); true when they were scaled again.
  bool SetHeight(int height) {
    if (height < 1 || height == height_) return false;
    height_ = height;
    ScaleRows();
    return true;
  }

  // Moves the current slot to the one holding `ms`; returns the span to repaint.
  std::optional<Span> SetPos(int64_t ms);

  // A press at x: when it hits a slot, highlights it and returns the slot's start in
  // seconds (what the owner seeks to).
  std::optional<int32_t> Click(int x, bool navigationBusy);

  // Pixel rows (0 = top) of each axis for a picture `height` pixels high.
  static int16_t RowFor(int16_t value, int height);

  int slotCount() const { return slotCount_; }
  uint8_t secondsPerSlot() const { return secondsPerSlot_; }
  int currentSlot() const { return current_; }
  int step() const { return step_; }
  int drawWidth() const { return drawWidth_; }
  bool highlighted() const { return highlight_; }
  int highlightSlot() const { return highlightSlot_; }
  // Signed deviation of largest magnitude per slot (axis 0 X, 1 Y, 2 Z), 1/128 g.
  int16_t deviation(int axis, int slot) const { return deviation_[size_t(axis)][size_t(slot)]; }
  // The deviation scaled to a pixel row for the height the graph had at Set3GF/Resize.
  int16_t row(int axis, int slot) const { return rows_[size_t(axis)][size_t(slot)]; }

 private:
  struct History {
    std::array<std::array<int16_t, kHistory>, 3> values{};
    int count = -1;
  };
  void Feed(const Gsf3Record& r, int slot, History& h);
  void ScaleRows();

  int width_ = 0, height_ = 0;
  int step_ = 2;
  int drawWidth_ = kMinDrawWidth;
  int current_ = -1;
  int slotCount_ = 0;
  std::array<std::array<int16_t, kMaxSlots>, 3> deviation_{};
  std::array<std::array<int16_t, kMaxSlots>, 3> rows_{};
  uint8_t secondsPerSlot_ = 0;
  bool highlight_ = false;
  int highlightSlot_ = -1;
};

}  // namespace tq
