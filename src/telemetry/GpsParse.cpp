// The three textual and binary forms of the GPS log, turned into samples of a GpsTrack.
#include <algorithm>
#include <array>
#include <charconv>
#include <cstdio>
#include <cstring>
#include <limits>
#include <string_view>

#include "container/MediaFile.h"
#include "telemetry/GpsTrack.h"
#include "telemetry/ScanFields.h"

namespace tq {
namespace {

constexpr size_t kMaxLineChars = kPendingLineSize - 1;
constexpr int64_t kSecondsPerDay = 86400;

enum class NmeaKind { Gps, MultiConstellation };

struct NmeaFormats {
  const char* rmc;
  const char* gga;
};
constexpr NmeaFormats kGpsFormats = {
    "[%I64d]$GPRMC,%d.%d,%c,%lf,%c,%lf,%c,%lf,%lf",
    "[%I64d]$GPGGA,%d.%d,%lf,%c,%lf,%c,%d,%d,%lf"};
constexpr NmeaFormats kMultiFormats = {
    "[%I64d]$GNRMC,%d.%d,%c,%lf,%c,%lf,%c,%lf,%lf",
    "[%I64d]$GNGGA,%d.%d,%lf,%c,%lf,%c,%d,%d,%lf"};

constexpr char kStatusVoid = 'V';
constexpr char kStatusParked = 'P';
constexpr double kMaxHdop = 3.5;  // exclusive

// The fields of one RMC/GGA pair. The two sentences are read into the same fields, so
// the GGA line overwrites whatever it supplies and the rest keeps the RMC's value.
struct PairFields {
  int64_t stampMs = 0;
  int32_t utcTime = 0, fraction = 0;
  char status = 0;
  double latitude = 0;
  char ns = 0;
  double longitude = 0;
  char ew = 0;
  double speed = 0, course = 0;
  int32_t fix = 0, satellites = 0;
  double hdop = 0;
};

// Text up to the first NUL: the lines are C strings to the sentence readers.
std::string_view CString(const char* p, size_t n) {
  const void* nul = std::memchr(p, 0, n);
  return {p, nul ? size_t(static_cast<const char*>(nul) - p) : n};
}

int32_t TimeOfDayCentis(int64_t stampMs) {
  int64_t seconds = stampMs / 1000;  // truncating, then the UTC day by floor
  int64_t ofDay = ((seconds % kSecondsPerDay) + kSecondsPerDay) % kSecondsPerDay;
  return int32_t(ofDay * 100);
}

void JudgePair(GpsTrack& track, std::string_view gga, NmeaKind kind) {
  const NmeaFormats& f = kind == NmeaKind::Gps ? kGpsFormats : kMultiFormats;
  PairFields p;
  const ScanTarget rmcTargets[] = {&p.stampMs, &p.utcTime,  &p.fraction, &p.status, &p.latitude,
                                   &p.ns,      &p.longitude, &p.ew,      &p.speed,  &p.course};
  const ScanTarget ggaTargets[] = {&p.stampMs, &p.utcTime, &p.fraction, &p.latitude,   &p.ns,
                                   &p.longitude, &p.ew,    &p.fix,      &p.satellites, &p.hdop};
  ScanFields(CString(track.pendingRmc, kPendingLineSize), f.rmc, rmcTargets);
  ScanFields(gga, f.gga, ggaTargets);
  track.pendingRmc[0] = 0;

  if (p.status == kStatusVoid || (p.fix != 1 && p.fix != 2) || !(p.hdop < kMaxHdop)) return;
  GpsSample s;
  s.time = TimeOfDayCentis(p.stampMs);
  s.ns[0] = p.ns;
  s.ew[0] = p.ew;
  s.latitude = p.ns == 'S' ? -p.latitude : p.latitude;
  s.longitude = p.ew == 'W' ? -p.longitude : p.longitude;
  s.speed = p.speed;
  track.samples.push_back(s);
  if (p.status == kStatusParked) track.parked = 1;
}

// The first line of a pair waits in the pending slot; the second one completes it.
void PairStep(GpsTrack& track, std::string_view line, NmeaKind kind) {
  if (track.pendingRmc[0] == 0) {
    size_t n = std::min(line.size(), kMaxLineChars);
    std::memcpy(track.pendingRmc, line.data(), n);
    track.pendingRmc[n] = 0;
    return;
  }
  JudgePair(track, line, kind);
}

void HandleLine(GpsTrack& track, std::string_view line, bool* waitingForGga) {
  auto has = [&](const char* tag) { return line.find(tag) != std::string_view::npos; };
  if (!*waitingForGga) {
    if (has("$GPRMC")) PairStep(track, line, NmeaKind::Gps);
    else if (has("$GNRMC")) PairStep(track, line, NmeaKind::MultiConstellation);
    else return;
    *waitingForGga = true;
  } else {
    if (has("$GPGGA")) PairStep(track, line, NmeaKind::Gps);
    else if (has("$GNGGA")) PairStep(track, line, NmeaKind::MultiConstellation);
    else return;
    *waitingForGga = false;
  }
}

// "%u.%04u" / "%u.%u" of a binary record, read back as a number.
double DecimalOf(unsigned whole, unsigned fraction, bool padFour) {
  char text[32];
  int n = std::snprintf(text, sizeof text, padFour ? "%u.%04u" : "%u.%u", whole, fraction);
  double v = 0;
  std::from_chars(text, text + n, v);
  return v;
}

// A "gps2" record: 48 bytes, big-endian; byte offsets of the fields read.
namespace gps2 {
constexpr uint32_t kRecordSize = 48;
constexpr uint16_t kTypeValue = 1;
constexpr uint16_t kRestLength = 44;
constexpr size_t kType = 0, kLength = 2, kStamp = 4, kLatInt = 20, kLatFrac = 22, kNs = 24,
                 kLonInt = 25, kLonFrac = 27, kEw = 29, kSpeedInt = 30, kSpeedFrac = 32,
                 kFix = 38, kStatus = 39;
}  // namespace gps2

constexpr const char* kBatchFormat = "$GPRMC,%d.%d,%c,%lf,%c,%lf,%c,%lf";
constexpr uint32_t kBatchHeader = 5;  // present flag + big-endian base time

int32_t SecondsOfDay(int32_t hhmmss) {
  return hhmmss / 10000 * 3600 + hhmmss / 100 % 100 * 60 + hhmmss % 100;
}

bool FitsTime(int64_t t) {
  return t >= std::numeric_limits<int32_t>::min() && t <= std::numeric_limits<int32_t>::max();
}

}  // namespace

void ParseNmeaText(GpsTrack& track, const uint8_t* text, int32_t length) {
  track.pendingRmc[0] = 0;
  if (length < 1 || !text) return;
  char line[kPendingLineSize];
  size_t n = 0;
  bool waiting = false;
  for (int32_t i = 0; i < length; ++i) {
    char c = char(text[i]);
    if (c == '\r' || c == '\n') {
      if (n > 0) HandleLine(track, CString(line, n), &waiting);
      n = 0;
    } else if (n < kMaxLineChars) {
      line[n++] = c;
    }
  }
  // A last line without its line end still counts.
  if (n > 0) HandleLine(track, CString(line, n), &waiting);
}

void ParseBinaryGps(GpsTrack& track, const uint8_t* data, int32_t length, uint64_t startTimeMs) {
  if (length < 1 || !data) return;
  const uint32_t records = uint32_t(length) / gps2::kRecordSize;  // a partial tail is not read
  for (uint32_t k = 0; k < records; ++k) {
    const uint8_t* r = data + size_t(k) * gps2::kRecordSize;
    uint64_t stamp = GetU64(r + gps2::kStamp);
    char fix = char(r[gps2::kFix]), status = char(r[gps2::kStatus]);
    if (GetU16(r + gps2::kType) != gps2::kTypeValue || GetU16(r + gps2::kLength) != gps2::kRestLength ||
        stamp == 0 || (fix != '1' && fix != '2') || (status != 'A' && status != 'P'))
      continue;
    // A record stamped before the recording's start, or so far after it that the time of
    // day leaves the 32-bit range (no "sttm"), cannot be placed on the recording's day.
    if (stamp < startTimeMs) continue;
    int64_t time = int64_t(std::min<uint64_t>((stamp - startTimeMs) / 10, uint64_t(1) << 40)) +
                   track.startOfDay;
    if (!FitsTime(time)) continue;

    GpsSample s;
    s.time = int32_t(time);
    s.ns[0] = char(r[gps2::kNs]);
    s.ew[0] = char(r[gps2::kEw]);
    s.latitude = DecimalOf(GetU16(r + gps2::kLatInt), GetU16(r + gps2::kLatFrac), true);
    s.longitude = DecimalOf(GetU16(r + gps2::kLonInt), GetU16(r + gps2::kLonFrac), true);
    s.speed = DecimalOf(GetU16(r + gps2::kSpeedInt), GetU16(r + gps2::kSpeedFrac), false);
    if (s.ns[0] == 'S') s.latitude = -s.latitude;
    if (s.ew[0] == 'W') s.longitude = -s.longitude;
    track.samples.push_back(s);
  }
}

void ParseSentenceBatch(GpsTrack& track, const uint8_t* batch, uint32_t capacity) {
  if (!batch || capacity < kBatchHeader || batch[0] == 0) return;
  const int64_t base = GetU32(batch + 1);
  int32_t reference = 0;
  bool haveReference = false;
  for (uint32_t pos = kBatchHeader; pos < capacity;) {
    int8_t entryLength = int8_t(batch[pos]);
    if (entryLength <= 0) break;
    uint32_t textLength = uint32_t(entryLength) - 1;
    if (pos + 1 + textLength > capacity) break;
    std::string_view sentence = CString(reinterpret_cast<const char*>(batch + pos + 1), textLength);
    pos += 1 + textLength;

    int32_t utc = 0, fraction = 0;
    char status = 0, ns = 0, ew = 0;
    double latitude = 0, longitude = 0, speed = 0;
    const ScanTarget targets[] = {&utc, &fraction, &status, &latitude, &ns, &longitude, &ew, &speed};
    // A sentence without a time (no fix yet) cannot be placed: it gives no sample.
    if (ScanFields(sentence, kBatchFormat, targets) < 1) continue;

    int32_t seconds = SecondsOfDay(utc);
    int64_t offset = 0;
    if (!haveReference) {
      reference = seconds;
      haveReference = true;
    } else {
      offset = int64_t(seconds) - reference;
      if (seconds < reference) offset += kSecondsPerDay;  // the day wrapped
    }
    if (status == kStatusVoid) continue;
    int64_t time = int64_t(track.startOfDay) + offset * 100 + base;
    if (!FitsTime(time)) continue;

    GpsSample s;
    s.time = int32_t(time);
    s.ns[0] = ns;
    s.ew[0] = ew;
    s.latitude = ns == 'S' ? -latitude : latitude;
    s.longitude = ew == 'W' ? -longitude : longitude;
    s.speed = speed;
    track.samples.push_back(s);
  }
}

}  // namespace tq
