// The GPS track of the open recording: samples stamped with a time of day, the parsers
// of the three forms the log arrives in, and the look-up of the sample in force for a
// playback position. Owned by the player controller; used on the user-interface thread
// only (the controller's GPS list mutex guards it when another panel reads it).
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace tq {

// Hundredths of a second per day: sample times and look-up keys are in this unit.
constexpr int32_t kCentisPerDay = 86400 * 100;

struct GpsSample {
  int32_t time = 0;        // hundredths of a second since midnight of the recording's day
  char ns[2] = {0, 0};     // "N" or "S", NUL-terminated so it reads as a string
  char ew[2] = {0, 0};     // "E" or "W"
  double latitude = 0;     // ddmm.mmmm as written, negative for "S"
  double longitude = 0;    // dddmm.mmmm as written, negative for "W"
  double speed = 0;        // knots
};

// What the look-up hands to the map panel.
struct MapReport {
  double latitude = 0;     // decimal degrees
  double longitude = 0;
  double speed = 0;        // knots
  int32_t hasPosition = 0; // 1 whenever a report is made
  int32_t parked = 0;      // copied from the track
};

constexpr size_t kPendingLineSize = 128;  // the longest line kept is 127 characters

struct GpsTrack {
  std::vector<GpsSample> samples;  // parse order, never sorted
  int64_t cursor = -1;             // index where the next look-up may start; -1 none
  int32_t parked = 0;              // set by an NMEA pair with RMC status "P"
  char pendingRmc[kPendingLineSize] = {};  // RMC line waiting for its GGA; "" none
  int32_t startOfDay = -1;         // recording start, hundredths of a second; -1 none
};

// Frees all samples, clears the cursor and the parked flag, start of day -1.
void ClearTrack(GpsTrack& track);

// NMEA text of a ".gps" file or a "gps " box: pairs each RMC line with the GGA line that
// follows it. A length below 1 does nothing.
void ParseNmeaText(GpsTrack& track, const uint8_t* text, int32_t length);

// "gps2" payload: 48-byte big-endian records; only whole records are examined.
// startTimeMs is the recording's "sttm" time (same clock as the records).
void ParseBinaryGps(GpsTrack& track, const uint8_t* data, int32_t length,
                    uint64_t startTimeMs);

// The sentence batch the AVI indexer gathers into the telemetry buffer. Never reads
// beyond `capacity` bytes of `batch`.
void ParseSentenceBatch(GpsTrack& track, const uint8_t* batch, uint32_t capacity);

// The sample in force at a playback position (ms), or null. On success fills *report
// (when given) and moves the cursor; the samples never change.
const GpsSample* FindSample(GpsTrack& track, int64_t positionMs, MapReport* report);

// ddmm.mmmm (or dddmm.mmmm) to decimal degrees, negative values giving negative degrees.
double NmeaToDegrees(double value);

}  // namespace tq
