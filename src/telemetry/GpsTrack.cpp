#include "telemetry/GpsTrack.h"

#include <cmath>

namespace tq {

void ClearTrack(GpsTrack& track) {
  track.samples.clear();
  track.samples.shrink_to_fit();
  track.cursor = -1;
  track.parked = 0;
  track.pendingRmc[0] = 0;
  track.startOfDay = -1;
}

double NmeaToDegrees(double value) {
  // Whole degrees are the ddmm integer divided by 100, both steps truncated towards zero;
  // done in floating point so that absurd values cannot overflow an integer.
  double degrees = std::trunc(std::trunc(value) / 100.0);
  return degrees + (value - 100.0 * degrees) / 60.0;
}

const GpsSample* FindSample(GpsTrack& track, int64_t positionMs, MapReport* report) {
  const auto& s = track.samples;
  if (s.empty()) return nullptr;
  const int64_t key = positionMs / 10 + track.startOfDay;
  if (key > s.back().time) return nullptr;

  size_t i;
  if (track.cursor >= 0 && size_t(track.cursor) < s.size() && s[size_t(track.cursor)].time <= key) {
    i = size_t(track.cursor);
  } else if (s.front().time <= key) {
    i = 0;
  } else {
    return nullptr;
  }
  while (i + 1 < s.size() && s[i + 1].time <= key) ++i;
  track.cursor = int64_t(i + 1 < s.size() ? i + 1 : i);

  const GpsSample& found = s[i];
  if (report) {
    report->latitude = NmeaToDegrees(found.latitude);
    report->longitude = NmeaToDegrees(found.longitude);
    report->speed = found.speed;
    report->hasPosition = 1;
    report->parked = track.parked;
  }
  return &found;
}

}  // namespace tq
