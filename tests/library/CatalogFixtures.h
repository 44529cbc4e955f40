// Hand-built recording files for the catalog tests: box headers, mvhd, AVI main headers,
// written into a private temporary folder per test.
#pragma once

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

namespace tq::testfiles {

inline std::string U32(uint32_t v) {
  std::string s(4, '\0');
  for (int i = 0; i < 4; ++i) s[size_t(i)] = char(v >> (24 - 8 * i));
  return s;
}
inline std::string U64(uint64_t v) { return U32(uint32_t(v >> 32)) + U32(uint32_t(v)); }
inline std::string Le32(uint32_t v) {
  std::string s(4, '\0');
  for (int i = 0; i < 4; ++i) s[size_t(i)] = char(v >> (8 * i));
  return s;
}

inline std::string Box(const char* type, const std::string& payload) {
  return U32(uint32_t(8 + payload.size())) + std::string(type, 4) + payload;
}

// A movie header with the fields after the duration filled as a muxer would.
inline std::string Mvhd(int version, uint32_t timescale, uint64_t duration) {
  std::string body = std::string(1, char(version)) + std::string(3, '\0');
  if (version == 1)
    body += U64(0) + U64(0) + U32(timescale) + U64(duration);
  else
    body += U32(0) + U32(0) + U32(timescale) + U32(uint32_t(duration));
  body += std::string(80, '\0');
  return Box("mvhd", body);
}

// ftyp, free, mdat, then moov: moov is the fourth top-level box.
inline std::string Mp4WithSeconds(uint32_t seconds, int version = 0) {
  return Box("ftyp", "isom" + U32(0)) + Box("free", std::string(16, 'x')) +
         Box("mdat", std::string(64, 'm')) + Box("moov", Mvhd(version, 1000, seconds * 1000ull));
}

inline std::string AviHeader(uint32_t microsPerFrame, uint32_t totalFrames) {
  std::string avih = Le32(microsPerFrame) + Le32(0) + Le32(0) + Le32(0) + Le32(totalFrames) +
                     std::string(28, '\0');
  std::string hdrl = "hdrl" + std::string("avih") + Le32(48) + avih;
  std::string list = "LIST" + Le32(uint32_t(hdrl.size())) + hdrl;
  std::string riff = "AVI " + list + std::string(64, '\0');
  return "RIFF" + Le32(uint32_t(riff.size())) + riff;
}

inline void WriteFile(const std::string& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary);
  out << bytes;
}

inline std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream ss;
  ss << in.rdbuf();
  return ss.str();
}

// A fresh folder under the test temp directory, removed when the test ends.
class TempFolder {
 public:
  TempFolder() {
    const auto* info = testing::UnitTest::GetInstance()->current_test_info();
    static int serial = 0;  // several folders in one test
    path_ = testing::TempDir() + "/catalog_" + std::to_string(::getpid()) + "_" +
            std::to_string(++serial) + "_" +
            (info ? std::string(info->test_suite_name()) + "." + info->name() : "x");
    for (size_t i = testing::TempDir().size() + 1; i < path_.size(); ++i)
      if (path_[i] == '/') path_[i] = '_';
    std::filesystem::remove_all(path_);
    std::filesystem::create_directories(path_);
  }
  ~TempFolder() {
    std::error_code ec;
    std::filesystem::remove_all(path_, ec);
  }
  TempFolder(const TempFolder&) = delete;
  TempFolder& operator=(const TempFolder&) = delete;

  const std::string& path() const { return path_; }
  std::string operator/(const std::string& name) const { return path_ + "/" + name; }
  void Touch(const std::string& name, const std::string& bytes = {}) const {
    WriteFile(*this / name, bytes);
  }
  bool Has(const std::string& name) const { return std::filesystem::exists(*this / name); }

 private:
  std::string path_;
};

}  // namespace tq::testfiles
