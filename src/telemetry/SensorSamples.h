// The sensor view's G-sensor samples: the records of one recording in file order, each
// axis clamped to +-250, and a cursor at the next sample to hand to the sliders. The
// view hands out the samples up to each shown picture's time, and moves the cursor on a
// seek, so that no sample is handed out twice between seeks.
//
// Guarded by the owner's sample lock; the methods themselves take no lock.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "telemetry/GSensorGraph.h"

namespace tq {

class SensorSamples {
 public:
  static constexpr int kClamp = 250;

  // Replaces the list with the whole records of a block (the MP4's "3gf " box).
  void SetBlock(const uint8_t* block, int64_t length);
  // Replaces the list with a companion ".3gf" file. False (list empty) when it cannot be
  // opened; the trace log names the file.
  bool Set3GF(const std::string& path);
  void Clear();

  // The samples whose time is not later than `ms`, from the cursor on; the cursor moves
  // past them.
  std::vector<Gsf3Record> TakeUpTo(uint32_t ms);
  // The cursor goes to the first sample whose time is not earlier than `ms`.
  void SeekTo(uint32_t ms);

  size_t size() const { return samples_.size(); }
  size_t cursor() const { return cursor_; }

 private:
  void Append(const Gsf3Record& r);
  std::vector<Gsf3Record> samples_;
  size_t cursor_ = 0;
};

}  // namespace tq
