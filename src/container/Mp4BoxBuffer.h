// Boxes composed in memory before one write: big-endian appends, and container sizes
// patched when the container is closed.
#pragma once

#include <cstdint>
#include <cstring>
#include <vector>

#include "container/MediaFile.h"

namespace tq {

struct BoxBuffer {
  std::vector<uint8_t> bytes;

  // Opens a box; returns its start for End().
  size_t Begin(const char (&type)[5]) { return BeginRaw(FourCC(type)); }
  size_t BeginRaw(uint32_t type) {
    size_t at = bytes.size();
    U32(0);
    U32(type);
    return at;
  }
  // Writes the size of the box opened at `at` (header included).
  void End(size_t at) { PutU32(&bytes[at], uint32_t(bytes.size() - at)); }

  void U8(uint8_t v) { bytes.push_back(v); }
  void U16(uint16_t v) { Grow(2); PutU16(&bytes[bytes.size() - 2], v); }
  void U32(uint32_t v) { Grow(4); PutU32(&bytes[bytes.size() - 4], v); }
  void U64(uint64_t v) { Grow(8); PutU64(&bytes[bytes.size() - 8], v); }
  void Zeros(size_t n) { bytes.resize(bytes.size() + n, 0); }
  void Bytes(const void* p, size_t n) {
    if (n == 0) return;
    const auto* b = static_cast<const uint8_t*>(p);
    bytes.insert(bytes.end(), b, b + n);
  }

 private:
  void Grow(size_t n) { bytes.resize(bytes.size() + n); }
};

}  // namespace tq
