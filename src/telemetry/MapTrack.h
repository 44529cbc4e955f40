// What the map page is given besides the marker: the whole track of the open recording as
// points with their moment and speed, and the tile source (address template, cache place,
// host to probe). Plain functions, no display needed.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "telemetry/GpsTrack.h"

namespace tq {

// The standard tiles and the attribution they require on the map.
inline constexpr char kDefaultTileTemplate[] = "https://tile.openstreetmap.org/{z}/{x}/{y}.png";
inline constexpr char kOsmAttribution[] = "&copy; OpenStreetMap contributors";
inline constexpr int kMaxTileZoom = 19;

struct TrackPoint {
  double latitude = 0;   // decimal degrees
  double longitude = 0;
  double knots = 0;      // 0 when the sample has none
  int64_t ms = 0;        // from the recording's start
};

// One point per sample, in the track's order. A sample before the recording's start (or
// a track without a start) is at 0 ms; a sample after midnight counts on from the day before.
std::vector<TrackPoint> TrackPoints(const GpsTrack& track);

// "setTrack([[lat,lon,knots,ms],...]);" for the page (numbers only: nothing to escape).
std::string TrackScript(const std::vector<TrackPoint>& points);

// Index of the point nearest to (latitude, longitude) on a flat local projection; -1 when
// there is none.
int64_t NearestPoint(const std::vector<TrackPoint>& points, double latitude, double longitude);

// A tile address template: http or https, a host, "{z}", "{x}" and "{y}"; "{s}" becomes "a".
struct TileSource {
  bool valid = false;
  std::string templ;
  std::string host;  // probed by a TCP connect
  int port = 0;
  std::string attribution;  // HTML shown on the map
};
// "" gives the standard tiles; an invalid template is reported with valid = false.
TileSource ParseTileSource(const std::string& templ);

// The address of tile z/x/y; "" when z, x or y are out of range.
std::string TileUrl(const TileSource& source, int z, int64_t x, int64_t y);

// The cache file of a tile: cacheRoot/<hash of the template>/z/x/y.png, so a changed
// template never shows another source's tiles.
std::string TileCachePath(const std::string& cacheRoot, const TileSource& source, int z, int64_t x, int64_t y);
// The folder that holds one template's tiles.
std::string TileCacheFolder(const std::string& cacheRoot, const TileSource& source);

}  // namespace tq
