// Big-endian box bytes built in memory: boxes are opened, filled and closed, and the
// size field is patched when a box is closed.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace tq {

class BoxBytes {
 public:
  void U8(uint8_t v) { bytes_.push_back(v); }
  void U16(uint16_t v) { U8(uint8_t(v >> 8)); U8(uint8_t(v)); }
  void U32(uint32_t v) { U16(uint16_t(v >> 16)); U16(uint16_t(v)); }
  void U64(uint64_t v) { U32(uint32_t(v >> 32)); U32(uint32_t(v)); }
  void Type(const char* fourcc) { Bytes(fourcc, 4); }
  void Bytes(const void* p, size_t n) {
    const uint8_t* b = static_cast<const uint8_t*>(p);
    bytes_.insert(bytes_.end(), b, b + n);
  }
  void Bytes(const std::vector<uint8_t>& v) { bytes_.insert(bytes_.end(), v.begin(), v.end()); }
  void Text(const std::string& s, bool withNul) {
    Bytes(s.data(), s.size());
    if (withNul) U8(0);
  }

  // Opens a box; returns the offset of its header within these bytes.
  size_t Begin(const char* fourcc) {
    const size_t at = bytes_.size();
    U32(0);
    Type(fourcc);
    return at;
  }
  void End(size_t at) {
    const uint32_t size = uint32_t(bytes_.size() - at);
    for (int i = 0; i < 4; ++i) bytes_[at + size_t(i)] = uint8_t(size >> (24 - 8 * i));
  }

  size_t size() const { return bytes_.size(); }
  const std::vector<uint8_t>& bytes() const { return bytes_; }

 private:
  std::vector<uint8_t> bytes_;
};

}  // namespace tq
