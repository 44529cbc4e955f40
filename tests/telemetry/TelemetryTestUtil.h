// Builders shared by the telemetry tests: NMEA lines, gps2 records, sentence batches,
// 3GF blocks and temporary folders.
#pragma once

#include <unistd.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "container/MediaFile.h"

namespace tq::test {

// 2024-01-05 13:45:01 UTC in ms; its time of day is 4,950,100 hundredths.
constexpr int64_t kStamp = 1704462301000;
constexpr int32_t kStampCentis = (13 * 3600 + 45 * 60 + 1) * 100;

inline std::string Rmc(int64_t stamp, const std::string& fields, const char* talker = "GP") {
  return "[" + std::to_string(stamp) + "]$" + talker + "RMC," + fields;
}
inline std::string Gga(int64_t stamp, const std::string& fields, const char* talker = "GP") {
  return "[" + std::to_string(stamp) + "]$" + talker + "GGA," + fields;
}
// A usable pair at `stamp`: 3723.2475 N, 12158.3416 W, 10.0 knots, fix 1, HDOP 0.9.
inline std::string GoodRmc(int64_t stamp = kStamp) {
  return Rmc(stamp, "134501.00,A,3723.2475,N,12158.3416,W,10.0,54.7,050124,,,A*6A");
}
inline std::string GoodGga(int64_t stamp = kStamp) {
  return Gga(stamp, "134501.00,3723.2475,N,12158.3416,W,1,08,0.9,545.4,M,46.9,M,,*47");
}

inline const uint8_t* Bytes(const std::string& s) {
  return reinterpret_cast<const uint8_t*>(s.data());
}

struct Gps2Fields {
  uint16_t type = 1, length = 44;
  uint64_t stamp = 1000;
  uint16_t latInt = 3723, latFrac = 4567;
  char ns = 'N';
  uint16_t lonInt = 12158, lonFrac = 3416;
  char ew = 'E';
  uint16_t speedInt = 12, speedFrac = 5;
  char fix = '1', status = 'A';
};

inline std::vector<uint8_t> Gps2Record(const Gps2Fields& f) {
  std::vector<uint8_t> r(48, 0xEE);  // bytes the reader ignores are not zero
  PutU16(&r[0], f.type);
  PutU16(&r[2], f.length);
  PutU64(&r[4], f.stamp);
  PutU16(&r[20], f.latInt);
  PutU16(&r[22], f.latFrac);
  r[24] = uint8_t(f.ns);
  PutU16(&r[25], f.lonInt);
  PutU16(&r[27], f.lonFrac);
  r[29] = uint8_t(f.ew);
  PutU16(&r[30], f.speedInt);
  PutU16(&r[32], f.speedFrac);
  r[38] = uint8_t(f.fix);
  r[39] = uint8_t(f.status);
  return r;
}

// The AVI sentence batch: flag 1, base (BE u32), entries (length + 1, text), 0.
inline std::vector<uint8_t> Batch(uint32_t base, const std::vector<std::string>& sentences) {
  std::vector<uint8_t> b(5);
  b[0] = 1;
  PutU32(&b[1], base);
  for (const auto& s : sentences) {
    b.push_back(uint8_t(s.size() + 1));
    b.insert(b.end(), s.begin(), s.end());
  }
  b.push_back(0);
  return b;
}

struct G3 {
  uint32_t ms;
  int16_t x, y, z;
};
inline std::vector<uint8_t> Block3gf(const std::vector<G3>& records) {
  std::vector<uint8_t> b;
  for (const auto& r : records) {
    uint8_t rec[10];
    PutU32(rec, r.ms);
    PutU16(rec + 4, uint16_t(r.x));
    PutU16(rec + 6, uint16_t(r.y));
    PutU16(rec + 8, uint16_t(r.z));
    b.insert(b.end(), rec, rec + 10);
  }
  return b;
}

// A fresh empty folder for one test.
inline std::string TempFolder(const std::string& name) {
  auto dir = std::filesystem::path(testing::TempDir()) /
             ("tq_telemetry_" + name + "_" + std::to_string(::getpid()));
  std::filesystem::remove_all(dir);
  std::filesystem::create_directories(dir);
  return dir.string();
}

inline void WriteFile(const std::string& path, const std::string& bytes) {
  std::ofstream(path, std::ios::binary) << bytes;
}
inline void WriteFile(const std::string& path, const std::vector<uint8_t>& bytes) {
  std::ofstream(path, std::ios::binary)
      .write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
}
inline std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream ss;
  ss << in.rdbuf();
  return ss.str();
}

}  // namespace tq::test
