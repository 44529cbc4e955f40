#include "telemetry/MapTrack.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstdio>
#include <limits>

namespace tq {

std::vector<TrackPoint> TrackPoints(const GpsTrack& track) {
  std::vector<TrackPoint> points;
  points.reserve(track.samples.size());
  for (const GpsSample& s : track.samples) {
    TrackPoint p;
    p.latitude = NmeaToDegrees(s.latitude);
    p.longitude = NmeaToDegrees(s.longitude);
    p.knots = std::isfinite(s.speed) && s.speed > 0 ? s.speed : 0;
    if (track.startOfDay >= 0) {
      int64_t centis = int64_t(s.time) - track.startOfDay;
      // A recording running over midnight: its later samples carry the new day's clock.
      if (centis < -kCentisPerDay / 2) centis += kCentisPerDay;
      p.ms = std::max<int64_t>(0, centis * 10);
    }
    points.push_back(p);
  }
  return points;
}

std::string TrackScript(const std::vector<TrackPoint>& points) {
  std::string script = "setTrack([";
  char buf[128];
  for (size_t i = 0; i < points.size(); ++i) {
    const TrackPoint& p = points[i];
    if (!std::isfinite(p.latitude) || !std::isfinite(p.longitude)) continue;  // never a broken script
    std::snprintf(buf, sizeof buf, "%s[%.7f,%.7f,%.2f,%lld]", i ? "," : "", p.latitude, p.longitude,
                  std::isfinite(p.knots) ? p.knots : 0.0, static_cast<long long>(p.ms));
    script += buf;
  }
  script += "]);";
  return script;
}

int64_t NearestPoint(const std::vector<TrackPoint>& points, double latitude, double longitude) {
  const double kx = std::cos(latitude * M_PI / 180.0);  // a degree of longitude shrinks with latitude
  double best = std::numeric_limits<double>::infinity();
  int64_t index = -1;
  for (size_t i = 0; i < points.size(); ++i) {
    const double dy = points[i].latitude - latitude, dx = (points[i].longitude - longitude) * kx;
    const double d = dx * dx + dy * dy;
    if (d < best) {
      best = d;
      index = int64_t(i);
    }
  }
  return index;
}

TileSource ParseTileSource(const std::string& templ) {
  TileSource s;
  s.templ = templ.empty() ? kDefaultTileTemplate : templ;
  const std::string& t = s.templ;
  size_t rest;
  int defaultPort;
  if (t.rfind("https://", 0) == 0) {
    rest = 8;
    defaultPort = 443;
  } else if (t.rfind("http://", 0) == 0) {
    rest = 7;
    defaultPort = 80;
  } else {
    return s;
  }
  const size_t slash = t.find('/', rest);
  if (slash == std::string::npos) return s;
  std::string authority = t.substr(rest, slash - rest);
  s.port = defaultPort;
  const size_t colon = authority.rfind(':');
  if (colon != std::string::npos && authority.find(']') == std::string::npos) {
    const std::string port = authority.substr(colon + 1);
    char* end = nullptr;
    const long value = std::strtol(port.c_str(), &end, 10);
    if (port.empty() || *end != '\0' || value < 1 || value > 65535) return s;
    s.port = int(value);
    authority.resize(colon);
  }
  if (authority.empty() || (authority.find('{') != std::string::npos && authority.find("{s}") == std::string::npos))
    return s;
  for (const char* field : {"{z}", "{x}", "{y}"})
    if (t.find(field) == std::string::npos) return s;
  if (const size_t sub = authority.find("{s}"); sub != std::string::npos) authority.replace(sub, 3, "a");
  s.host = authority;
  s.valid = true;
  if (s.host.size() >= 17 && s.host.compare(s.host.size() - 17, 17, "openstreetmap.org") == 0)
    s.attribution = kOsmAttribution;
  else
    s.attribution = "Map tiles: " + s.host;  // a host name has nothing HTML would read
  return s;
}

namespace {
bool TileInRange(int z, int64_t x, int64_t y) {
  if (z < 0 || z > kMaxTileZoom) return false;
  const int64_t n = int64_t(1) << z;
  return x >= 0 && y >= 0 && x < n && y < n;
}

void ReplaceAll(std::string& s, const std::string& from, const std::string& to) {
  for (size_t at = s.find(from); at != std::string::npos; at = s.find(from, at + to.size())) s.replace(at, from.size(), to);
}

std::string TemplateHash(const std::string& t) {
  uint64_t h = 1469598103934665603ull;  // FNV-1a
  for (unsigned char c : t) h = (h ^ c) * 1099511628211ull;
  char buf[17];
  std::snprintf(buf, sizeof buf, "%016llx", static_cast<unsigned long long>(h));
  return buf;
}
}  // namespace

std::string TileUrl(const TileSource& source, int z, int64_t x, int64_t y) {
  if (!source.valid || !TileInRange(z, x, y)) return "";
  std::string url = source.templ;
  ReplaceAll(url, "{z}", std::to_string(z));
  ReplaceAll(url, "{x}", std::to_string(x));
  ReplaceAll(url, "{y}", std::to_string(y));
  ReplaceAll(url, "{s}", "a");
  return url;
}

std::string TileCacheFolder(const std::string& cacheRoot, const TileSource& source) {
  return cacheRoot + "/" + TemplateHash(source.templ);
}

std::string TileCachePath(const std::string& cacheRoot, const TileSource& source, int z, int64_t x, int64_t y) {
  if (!source.valid || !TileInRange(z, x, y) || cacheRoot.empty()) return "";
  return TileCacheFolder(cacheRoot, source) + "/" + std::to_string(z) + "/" + std::to_string(x) + "/" +
         std::to_string(y) + ".png";
}

}  // namespace tq
