#include "telemetry/SensorSamples.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>

#include "app/TraceLog.h"

namespace tq {

void SensorSamples::Append(const Gsf3Record& r) {
  Gsf3Record c = r;
  for (int16_t& a : c.axis) a = int16_t(std::clamp<int>(a, -kClamp, kClamp));
  samples_.push_back(c);
}

void SensorSamples::SetBlock(const uint8_t* block, int64_t length) {
  Clear();
  for (const Gsf3Record& r : Parse3GF(block, length)) Append(r);
}

bool SensorSamples::Set3GF(const std::string& path) {
  Clear();
  std::unique_ptr<FILE, int (*)(FILE*)> f(std::fopen(path.c_str(), "rb"), std::fclose);
  if (!f) {
    TraceLog("CSenDispDlg::Set3GF", __LINE__, "%s file open failed\n", path.c_str());
    return false;
  }
  uint8_t record[k3gfRecordSize];
  while (std::fread(record, 1, sizeof record, f.get()) == sizeof record) Append(Read3GFRecord(record));
  return true;
}

void SensorSamples::Clear() {
  samples_.clear();
  cursor_ = 0;
}

std::vector<Gsf3Record> SensorSamples::TakeUpTo(uint32_t ms) {
  std::vector<Gsf3Record> out;
  while (cursor_ < samples_.size() && samples_[cursor_].timeMs <= ms) out.push_back(samples_[cursor_++]);
  return out;
}

void SensorSamples::SeekTo(uint32_t ms) {
  cursor_ = 0;
  while (cursor_ < samples_.size() && samples_[cursor_].timeMs < ms) ++cursor_;
}

}  // namespace tq
