// Finding a steady tone in 16-bit PCM: the frequency from the zero crossings, and how
// much of the signal's power lies at one frequency (Goertzel).
#pragma once

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

namespace tq::test {

// Interleaved little-endian 16-bit bytes -> the samples of one channel.
inline std::vector<int16_t> Channel(const std::vector<uint8_t>& bytes, int channels, int channel) {
  std::vector<int16_t> out;
  const size_t frame = size_t(channels) * 2;
  for (size_t at = size_t(channel) * 2; at + 2 <= bytes.size(); at += frame) {
    int16_t v;
    std::memcpy(&v, bytes.data() + at, 2);
    out.push_back(v);
  }
  return out;
}

// Root mean square, full scale 32768.
inline double Rms(const std::vector<int16_t>& s) {
  if (s.empty()) return 0;
  double sum = 0;
  for (int16_t v : s) sum += double(v) * v;
  return std::sqrt(sum / double(s.size())) / 32768.0;
}

// Frequency in Hz from the rising zero crossings (interpolated between samples); 0 when
// fewer than two are found.
inline double ZeroCrossingHz(const std::vector<int16_t>& s, int rate) {
  double first = -1, last = -1;
  int crossings = 0;
  for (size_t i = 1; i < s.size(); ++i) {
    if (s[i - 1] < 0 && s[i] >= 0) {
      const double at = double(i - 1) + double(-s[i - 1]) / double(s[i] - s[i - 1]);
      if (first < 0) first = at;
      last = at;
      ++crossings;
    }
  }
  if (crossings < 2) return 0;
  return double(crossings - 1) * rate / (last - first);
}

// Share (0..1) of the block's power at `hz`, by the Goertzel recurrence.
inline double GoertzelShare(const std::vector<int16_t>& s, int rate, double hz) {
  if (s.empty()) return 0;
  const double w = 2 * M_PI * hz / rate;
  const double c = 2 * std::cos(w);
  double s1 = 0, s2 = 0, energy = 0;
  for (int16_t v : s) {
    const double x = v;
    const double s0 = x + c * s1 - s2;
    s2 = s1;
    s1 = s0;
    energy += x * x;
  }
  const double power = s1 * s1 + s2 * s2 - c * s1 * s2;  // |X(hz)|^2
  // A pure sine of N samples puts N/2 x its energy into |X|^2.
  return energy > 0 ? power / (energy * double(s.size()) / 2) : 0;
}

}  // namespace tq::test
