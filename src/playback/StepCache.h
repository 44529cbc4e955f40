// The one-second cache of decoded pictures that stepping uses ("stepfile.dat" in the
// settings folder): slot k of a view lies at (view base + k x decoded-frame size) and
// holds the Y, U and V planes of one 4:2:0 picture, rows packed.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "container/MediaFile.h"
#include "playback/FrameIndex.h"

struct AVFrame;

namespace tq {

class StepCache {
 public:
  // Creates the file with `length` bytes, or reuses an existing one that is at least that
  // long. False (and no cache) when it cannot be had.
  bool Open(const std::string& path, uint64_t length);
  void Close();
  bool open() const { return file_ != nullptr; }

  // Stores / loads one picture of width x height at `at`. Load fills a frame whose
  // buffers the caller allocated in the same size and a 4:2:0 layout.
  bool Store(uint64_t at, const AVFrame* picture, int width, int height);
  bool Load(uint64_t at, AVFrame* picture, int width, int height);

  // Slot flags: front view first (its frame rate in bytes), then the rear view.
  uint8_t* flags() { return flags_; }

 private:
  std::unique_ptr<MediaFile> file_;
  std::vector<uint8_t> staging_;  // one packed picture on its way to the file
  uint8_t flags_[kSlotFlagBytes] = {};
};

}  // namespace tq
