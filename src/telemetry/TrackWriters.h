// Text forms of a GPS track and a G-sensor record list (`tqmb20 gps` / `gsensor`, the map's save button).
#pragma once

#include <string>
#include <vector>

#include "telemetry/GSensorGraph.h"
#include "telemetry/GpsTrack.h"

namespace tq {

enum class TrackFormat { Csv, Gpx, Kml, GeoJson };

// "csv", "gpx", "kml", "geojson"; false for anything else.
bool ParseTrackFormat(const std::string& text, TrackFormat* format);

// `name` titles the track; `date` is the recording's day as YYYYMMDD ("" when unknown:
// the points then carry no date and time).
std::string WriteTrack(const GpsTrack& track, TrackFormat format, const std::string& name,
                       const std::string& date);

std::string WriteGSensorCsv(const std::vector<Gsf3Record>& records);

}  // namespace tq
