#include "Telemetry.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <ctime>

namespace tq {
namespace {

constexpr double kKnotsPerKmh = 1 / 1.852;
constexpr double kMetresPerDegree = 111320.0;
constexpr double kGravity = 9.81;
constexpr int kGSensorUnit = 128;  // 1 g
constexpr int kStopSeconds = 8, kRampSeconds = 5;
constexpr int kStartSeconds = 8;  // the drive sets off from rest
constexpr int kGpsStampLagMs = 40;  // the fix is logged a little after the second turns
constexpr double kHdop = 0.9;

uint32_t Hash(uint32_t x) {
  x ^= x >> 16;
  x *= 0x7feb352dU;
  x ^= x >> 15;
  x *= 0x846ca68bU;
  x ^= x >> 16;
  return x;
}

double Unit(uint32_t seed, uint32_t salt) { return double(Hash(seed * 2654435761U + salt) % 10000) / 10000.0; }

// Speed profile factor around the stop: 1 while driving, 0 while stopped.
double StopFactor(int second, int stopStart) {
  const int d = second - stopStart;
  if (d < -kRampSeconds || d > kStopSeconds + kRampSeconds) return 1;
  if (d < 0) return double(-d) / kRampSeconds;
  if (d <= kStopSeconds) return 0;
  return double(d - kStopSeconds) / kRampSeconds;
}

std::string Checksummed(const std::string& body) {
  uint8_t sum = 0;
  for (char c : body) sum ^= uint8_t(c);
  char tail[8];
  std::snprintf(tail, sizeof tail, "*%02X", sum);
  return "$" + body + tail;
}

std::tm Utc(int64_t seconds) {
  const std::time_t t = std::time_t(seconds);
  std::tm tm{};
  gmtime_r(&t, &tm);
  return tm;
}

// ddmm.mmmm / dddmm.mmmm as the NMEA fields carry them.
std::string NmeaAngle(double degrees, int degreeDigits) {
  const double a = std::fabs(degrees);
  int whole = int(a);
  double minutes = (a - whole) * 60;
  if (minutes >= 59.99995) {
    ++whole;
    minutes = 0;
  }
  char text[32];
  std::snprintf(text, sizeof text, "%0*d%07.4f", degreeDigits, whole, minutes);
  return text;
}

// Integer (ddmm) and four-digit fraction of the minutes, for the binary records.
void BinaryAngle(double degrees, uint16_t* whole, uint16_t* fraction) {
  const double a = std::fabs(degrees);
  const int d = int(a);
  const long tenThousandths = std::lround((a - d) * 60 * 10000);
  const int minutes = int(tenThousandths / 10000);
  *whole = uint16_t(d * 100 + minutes);
  *fraction = uint16_t(tenThousandths % 10000);
}

void Put16(std::vector<uint8_t>& b, size_t at, uint32_t v) {
  b[at] = uint8_t(v >> 8);
  b[at + 1] = uint8_t(v);
}

}  // namespace

GpsRoute::GpsRoute(uint32_t seed, bool parked) : seed_(seed), parked_(parked) {
  stopStart_ = 15 + int(Hash(seed) % 10);
  RoutePoint p;
  p.latitude = 35.6581 + Unit(seed, 1) * 0.05;
  p.longitude = 139.7017 + Unit(seed, 2) * 0.05;
  p.courseDegrees = Unit(seed, 3) * 360;
  points_.push_back(p);
}

void GpsRoute::Extend(int second) {
  const double phase = Unit(seed_, 4) * 6.28, turnPhase = Unit(seed_, 5) * 6.28;
  while (int(points_.size()) <= second) {
    const RoutePoint& last = points_.back();
    const int t = int(points_.size());
    RoutePoint p = last;
    if (!parked_) {
      double kmh = 38 + 14 * std::sin(t / 23.0 + phase) + 6 * std::sin(t / 7.3);
      kmh *= StopFactor(t, stopStart_) * std::min(1.0, t / double(kStartSeconds));
      p.speedKnots = kmh * kKnotsPerKmh;
      const double moving = kmh / 40;
      p.turnDegreesPerSecond = 7 * std::sin(t / 17.0 + turnPhase) * moving;
      p.courseDegrees = std::fmod(last.courseDegrees + p.turnDegreesPerSecond + 360, 360);
      const double metres = (kmh + last.speedKnots / kKnotsPerKmh) / 2 / 3.6;
      const double rad = p.courseDegrees * M_PI / 180;
      p.latitude += metres * std::cos(rad) / kMetresPerDegree;
      p.longitude += metres * std::sin(rad) / (kMetresPerDegree * std::cos(p.latitude * M_PI / 180));
      p.accelerationMs2 = (p.speedKnots - last.speedKnots) / kKnotsPerKmh / 3.6;
    }
    points_.push_back(p);
  }
}

RoutePoint GpsRoute::At(int second) {
  if (second < 0) second = 0;
  Extend(second);
  return points_[size_t(second)];
}

std::string MakeNmeaLog(GpsRoute& route, const TelemetrySpan& span) {
  std::string log;
  for (uint32_t s = 0; s * 1000 < span.durationMs; ++s) {
    const RoutePoint p = route.At(span.routeSecond + int(s));
    const int64_t stamp = span.startMs + int64_t(s) * 1000 + kGpsStampLagMs;
    const std::tm utc = Utc(span.startMs / 1000 + s - int64_t(span.utcOffsetMinutes) * 60);
    char time[48], date[48], head[32];
    std::snprintf(time, sizeof time, "%02d%02d%02d.00", utc.tm_hour, utc.tm_min, utc.tm_sec);
    std::snprintf(date, sizeof date, "%02d%02d%02d", utc.tm_mday, utc.tm_mon + 1, utc.tm_year % 100);
    const std::string lat = NmeaAngle(p.latitude, 2), lon = NmeaAngle(p.longitude, 3);
    const char ns = p.latitude < 0 ? 'S' : 'N', ew = p.longitude < 0 ? 'W' : 'E';
    char body[160];
    std::snprintf(body, sizeof body, "GPRMC,%s,A,%s,%c,%s,%c,%.1f,%.1f,%s,,,A", time, lat.c_str(),
                  ns, lon.c_str(), ew, p.speedKnots, p.courseDegrees, date);
    std::snprintf(head, sizeof head, "[%lld]", static_cast<long long>(stamp));
    log += head + Checksummed(body) + "\r\n";
    std::snprintf(body, sizeof body, "GPGGA,%s,%s,%c,%s,%c,1,%02u,%.1f,%.1f,M,39.5,M,,", time,
                  lat.c_str(), ns, lon.c_str(), ew, 7 + s % 4, kHdop, 35.0 + s % 3);
    std::snprintf(head, sizeof head, "[%lld]", static_cast<long long>(stamp + 2));
    log += head + Checksummed(body) + "\r\n";
  }
  return log;
}

std::vector<uint8_t> MakeGps2Records(GpsRoute& route, const TelemetrySpan& span) {
  std::vector<uint8_t> out;
  for (uint32_t s = 0; s * 1000 < span.durationMs; ++s) {
    const RoutePoint p = route.At(span.routeSecond + int(s));
    std::vector<uint8_t> r(kGps2RecordSize, 0);
    Put16(r, 0, 1);
    Put16(r, 2, kGps2RecordSize - 4);
    const uint64_t stamp = uint64_t(span.startMs) + uint64_t(s) * 1000 + kGpsStampLagMs;
    for (int i = 0; i < 8; ++i) r[size_t(4 + i)] = uint8_t(stamp >> (56 - 8 * i));
    uint16_t whole, fraction;
    BinaryAngle(p.latitude, &whole, &fraction);
    Put16(r, 20, whole);
    Put16(r, 22, fraction);
    r[24] = p.latitude < 0 ? 'S' : 'N';
    BinaryAngle(p.longitude, &whole, &fraction);
    Put16(r, 25, whole);
    Put16(r, 27, fraction);
    r[29] = p.longitude < 0 ? 'W' : 'E';
    // Speed as integer and tenths: the reader prints the fraction unpadded.
    const long tenths = std::lround(p.speedKnots * 10);
    Put16(r, 30, uint32_t(tenths / 10));
    Put16(r, 32, uint32_t(tenths % 10));
    Put16(r, 34, uint32_t(p.courseDegrees));
    r[38] = '1';
    r[39] = 'A';
    Put16(r, 40, uint32_t(kHdop));
    Put16(r, 42, uint32_t(std::lround(kHdop * 10)) % 10);
    out.insert(out.end(), r.begin(), r.end());
  }
  return out;
}

std::vector<uint8_t> MakeGSensorRecords(GpsRoute& route, const TelemetrySpan& span,
                                        uint32_t seed, uint32_t joltMs, int joltStrength) {
  std::vector<uint8_t> out;
  for (uint32_t t = 0; t < span.durationMs; t += kGSensorPeriodMs) {
    const RoutePoint p = route.At(span.routeSecond + int(t / 1000));
    const uint32_t n = Hash(seed * 31 + t);
    double x = p.accelerationMs2 / kGravity * kGSensorUnit + int(n % 7) - 3;
    double y = p.speedKnots / kKnotsPerKmh / 3.6 * p.turnDegreesPerSecond * M_PI / 180 /
                   kGravity * kGSensorUnit + int(n >> 8 & 7) - 3;
    double z = kGSensorUnit + int(n >> 16 & 7) - 3;
    if (t >= joltMs && t < joltMs + 3 * kGSensorPeriodMs) {
      const double k = t == joltMs + kGSensorPeriodMs ? 1.0 : 0.6;
      x -= joltStrength * k;
      y += joltStrength * k / 2;
      z += joltStrength * k * 0.8;
    }
    const int16_t v[3] = {int16_t(std::lround(x)), int16_t(std::lround(y)), int16_t(std::lround(z))};
    for (int i = 0; i < 4; ++i) out.push_back(uint8_t(t >> (24 - 8 * i)));
    for (int16_t a : v) {
      out.push_back(uint8_t(uint16_t(a) >> 8));
      out.push_back(uint8_t(a));
    }
  }
  return out;
}

}  // namespace tq
