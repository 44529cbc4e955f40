#include "container/ClipTelemetry.h"

#include <algorithm>
#include <cctype>

namespace tq {
namespace {

constexpr size_t kGps2RecordSize = 48;
constexpr size_t kGps2StampAt = 4;
constexpr size_t k3gfRecordSize = 10;

uint64_t ReadBig(const uint8_t* p, size_t bytes) {
  uint64_t v = 0;
  for (size_t i = 0; i < bytes; ++i) v = v << 8 | p[i];
  return v;
}

// The stamp of "[digits]..." at the start of a line; false when the line has none.
bool LineStamp(const uint8_t* line, size_t length, uint64_t* stamp) {
  if (length < 3 || line[0] != '[') return false;
  uint64_t v = 0;
  size_t i = 1;
  for (; i < length && std::isdigit(line[i]); ++i) {
    if (v > (UINT64_MAX - 9) / 10) return false;
    v = v * 10 + uint64_t(line[i] - '0');
  }
  if (i == 1 || i >= length || line[i] != ']') return false;
  *stamp = v;
  return true;
}

}  // namespace

std::string CutNmeaText(const uint8_t* text, size_t length, uint64_t fromStamp,
                        uint64_t toStamp) {
  std::string out;
  bool keeping = false;
  size_t at = 0;
  while (at < length) {
    size_t end = at;
    while (end < length && text[end] != '\r' && text[end] != '\n') ++end;
    size_t next = end;
    while (next < length && (text[next] == '\r' || text[next] == '\n')) ++next;
    uint64_t stamp;
    if (LineStamp(text + at, end - at, &stamp)) keeping = stamp >= fromStamp && stamp <= toStamp;
    if (keeping) out.append(reinterpret_cast<const char*>(text + at), next - at);
    at = next;
  }
  return out;
}

std::vector<uint8_t> CutGps2Records(const uint8_t* records, size_t length, uint64_t fromStamp,
                                    uint64_t toStamp) {
  std::vector<uint8_t> out;
  for (size_t at = 0; at + kGps2RecordSize <= length; at += kGps2RecordSize) {
    const uint64_t stamp = ReadBig(records + at + kGps2StampAt, 8);
    if (stamp >= fromStamp && stamp <= toStamp)
      out.insert(out.end(), records + at, records + at + kGps2RecordSize);
  }
  return out;
}

std::vector<uint8_t> Cut3gfRecords(const uint8_t* block, size_t length, uint32_t fromMs,
                                   uint32_t toMs) {
  std::vector<uint8_t> out;
  for (size_t at = 0; at + k3gfRecordSize <= length; at += k3gfRecordSize) {
    const uint32_t time = uint32_t(ReadBig(block + at, 4));
    if (time < fromMs || time > toMs) continue;
    const uint32_t rebased = time - fromMs;
    const uint8_t head[4] = {uint8_t(rebased >> 24), uint8_t(rebased >> 16), uint8_t(rebased >> 8),
                             uint8_t(rebased)};
    out.insert(out.end(), head, head + 4);
    out.insert(out.end(), block + at + 4, block + at + k3gfRecordSize);
  }
  return out;
}

MovieTelemetry CutTelemetry(const MP4INFO& info, uint32_t fromMs, uint32_t toMs) {
  MovieTelemetry t;
  const TelemetryBuffer& buf = info.gpsBuffer;
  const bool hasGps = buf.data && info.gpsLength >= 0;
  const bool hasSensor = info.sensorBuffer && info.sensorEnd >= 0;
  if (!hasGps && !hasSensor) return t;
  t.present = true;
  t.gps2 = info.gps2Layout != 0;
  if (hasGps) {
    const size_t length = std::min<size_t>(size_t(info.gpsLength), buf.capacity);
    // GPS stamps are the camera's clock; without a start time the log cannot be placed
    // against the range and goes whole.
    const uint64_t from = info.sttm.found() ? info.startTime + fromMs : 0;
    const uint64_t to = info.sttm.found() ? info.startTime + toMs : UINT64_MAX;
    if (t.gps2) {
      t.gps = CutGps2Records(buf.data, length, from, to);
    } else {
      const std::string text = CutNmeaText(buf.data, length, from, to);
      t.gps.assign(text.begin(), text.end());
    }
  }
  if (hasSensor) {
    const size_t length = std::min<size_t>(size_t(info.sensorEnd), info.sensorCapacity);
    t.sensor = Cut3gfRecords(info.sensorBuffer, length, fromMs, toMs);
  }
  return t;
}

}  // namespace tq
