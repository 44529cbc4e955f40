// The generated recordings' telemetry: a GPS route along a plausible road (smooth turns,
// varying speed, one stop), written as the camera's NMEA log or as binary gps2 records,
// and the G-sensor log (3GF records, 10 per second) with one jolt.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace tq {

struct RoutePoint {
  double latitude = 0;    // decimal degrees, north positive
  double longitude = 0;   // decimal degrees, east positive
  double speedKnots = 0;
  double courseDegrees = 0;
  double turnDegreesPerSecond = 0;
  double accelerationMs2 = 0;
};

// One drive, sampled once per second from its start. A parked route never moves.
class GpsRoute {
 public:
  GpsRoute(uint32_t seed, bool parked);
  RoutePoint At(int second);  // second >= 0 of the drive
  int stopStart() const { return stopStart_; }

 private:
  void Extend(int second);
  uint32_t seed_;
  bool parked_;
  int stopStart_;
  std::vector<RoutePoint> points_;
};

struct TelemetrySpan {
  int64_t startMs = 0;       // local clock time of the recording's start (ms since 1970)
  int routeSecond = 0;       // where in the drive the recording starts
  uint32_t durationMs = 0;
  int utcOffsetMinutes = 540;  // the NMEA time fields carry UTC; the stamps local time
};

// "[ms]$GPRMC,..." / "[ms]$GPGGA,..." line pairs, one pair per second, CR LF ended.
std::string MakeNmeaLog(GpsRoute& route, const TelemetrySpan& span);

constexpr uint32_t kGps2RecordSize = 48;
// Binary GPS records, one per second, time stamps on the start time's clock.
std::vector<uint8_t> MakeGps2Records(GpsRoute& route, const TelemetrySpan& span);

constexpr uint32_t kGSensorRecordSize = 10;
constexpr uint32_t kGSensorPeriodMs = 100;
constexpr uint32_t kGSensorEndMarkerSize = 10;
// 3GF records (no end marker), 10 per second; a jolt of `joltStrength` (1/128 g) at
// `joltMs` from the recording's start.
std::vector<uint8_t> MakeGSensorRecords(GpsRoute& route, const TelemetrySpan& span,
                                        uint32_t seed, uint32_t joltMs, int joltStrength);

}  // namespace tq
