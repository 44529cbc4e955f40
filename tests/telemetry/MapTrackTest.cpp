// The map's track line and tile source: one point per sample at the right moment, a
// script the page can always parse, the nearest point of a click, and tile addresses
// and cache places that never leave their source's range.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <string>

#include "telemetry/MapTrack.h"

namespace {

using namespace tq;

GpsSample Sample(int32_t time, double lat, double lon, double knots) {
  GpsSample s;
  s.time = time;
  s.latitude = lat;
  s.longitude = lon;
  s.speed = knots;
  s.ns[0] = lat < 0 ? 'S' : 'N';
  s.ew[0] = lon < 0 ? 'W' : 'E';
  return s;
}

TEST(MapTrack, OnePointPerSampleInDecimalDegreesAndMsFromTheStart) {
  GpsTrack track;
  track.startOfDay = 10 * 3600 * 100;  // 10:00:00
  track.samples = {Sample(track.startOfDay, 3723.4567, 14502.0, 10), Sample(track.startOfDay + 150, -3723.4567, -14502.0, -1),
                   Sample(track.startOfDay - 300, 5130.0, 7.5, NAN)};
  const auto points = TrackPoints(track);
  ASSERT_EQ(points.size(), 3u);
  EXPECT_NEAR(points[0].latitude, 37 + 23.4567 / 60, 1e-9);
  EXPECT_NEAR(points[0].longitude, 145 + 2.0 / 60, 1e-9);
  EXPECT_EQ(points[0].ms, 0);
  EXPECT_EQ(points[1].ms, 1500);
  EXPECT_NEAR(points[1].latitude, -(37 + 23.4567 / 60), 1e-9);
  EXPECT_EQ(points[1].knots, 0);  // no speed is drawn as a standstill
  EXPECT_EQ(points[2].ms, 0);     // before the start: the start
  EXPECT_EQ(points[2].knots, 0);  // NaN never reaches the page
}

TEST(MapTrack, SamplesAfterMidnightCountOnFromTheDayBefore) {
  GpsTrack track;
  track.startOfDay = kCentisPerDay - 100 * 30;  // 23:59:30
  track.samples = {Sample(kCentisPerDay - 100, 100, 100, 1), Sample(200, 100, 100, 1)};
  const auto points = TrackPoints(track);
  EXPECT_EQ(points[0].ms, 29000);
  EXPECT_EQ(points[1].ms, 32000);
}

TEST(MapTrack, ScriptHoldsEveryPointAndNothingBroken) {
  std::vector<TrackPoint> points = {{35.5, 139.25, 12.5, 0}, {-35.5, -139.25, 0, 1000}, {NAN, 1, 1, 2000}};
  const std::string script = TrackScript(points);
  EXPECT_EQ(script, "setTrack([[35.5000000,139.2500000,12.50,0],[-35.5000000,-139.2500000,0.00,1000]]);");
  EXPECT_EQ(TrackScript({}), "setTrack([]);");
}

TEST(MapTrack, NearestPointWeighsLongitudeByLatitude) {
  // At 60 degrees a degree of longitude is half as long: the point 0.15 east is nearer
  // than the one 0.1 north.
  std::vector<TrackPoint> points = {{60.1, 10.0, 0, 0}, {60.0, 10.15, 0, 1000}};
  EXPECT_EQ(NearestPoint(points, 60.0, 10.0), 1);
  EXPECT_EQ(NearestPoint(points, 60.09, 10.0), 0);
  EXPECT_EQ(NearestPoint({}, 0, 0), -1);
}

TEST(MapTrack, TileSources) {
  struct Case {
    const char* templ;
    bool valid;
    const char* host;
    int port;
  } cases[] = {
      {"", true, "tile.openstreetmap.org", 443},
      {"http://127.0.0.1:8123/{z}/{x}/{y}.png", true, "127.0.0.1", 8123},
      {"https://{s}.tiles.example.net/t/{z}/{x}/{y}.png?k=1", true, "a.tiles.example.net", 443},
      {"http://host/{z}/{x}.png", false, "", 0},          // no {y}
      {"ftp://host/{z}/{x}/{y}.png", false, "", 0},       // not http
      {"http://host:99999/{z}/{x}/{y}.png", false, "", 0},
      {"http://host:/{z}/{x}/{y}.png", false, "", 0},
      {"http:///{z}/{x}/{y}.png", false, "", 0},
      {"http://{z}.host/{z}/{x}/{y}.png", false, "", 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.templ);
    const TileSource s = ParseTileSource(c.templ);
    EXPECT_EQ(s.valid, c.valid);
    if (!c.valid) continue;
    EXPECT_EQ(s.host, c.host);
    EXPECT_EQ(s.port, c.port);
  }
  EXPECT_EQ(ParseTileSource("").attribution, kOsmAttribution);  // the standard tiles' required credit
}

TEST(MapTrack, TileAddressesAndCachePlacesStayInRange) {
  const TileSource local = ParseTileSource("http://127.0.0.1:8123/{z}/{x}/{y}.png");
  EXPECT_EQ(TileUrl(local, 16, 58210, 25806), "http://127.0.0.1:8123/16/58210/25806.png");
  EXPECT_EQ(TileUrl(ParseTileSource("https://{s}.t.net/{z}/{x}/{y}.png"), 0, 0, 0), "https://a.t.net/0/0/0.png");
  struct Bad {
    int z;
    int64_t x, y;
  } bad[] = {{-1, 0, 0}, {20, 0, 0}, {2, 4, 0}, {2, 0, 4}, {2, -1, 0}};
  for (const Bad& b : bad) {
    EXPECT_EQ(TileUrl(local, b.z, b.x, b.y), "") << b.z << "/" << b.x << "/" << b.y;
    EXPECT_EQ(TileCachePath("/c", local, b.z, b.x, b.y), "");
  }
  const std::string a = TileCachePath("/c", local, 3, 1, 2);
  const std::string b = TileCachePath("/c", ParseTileSource("http://127.0.0.1:8124/{z}/{x}/{y}.png"), 3, 1, 2);
  EXPECT_NE(a, b);  // another source never shows these tiles
  EXPECT_EQ(a.rfind("/c/", 0), 0u);
  EXPECT_EQ(a.substr(a.size() - 10), "/3/1/2.png");
  EXPECT_EQ(TileCachePath("", local, 3, 1, 2), "");
}

}  // namespace
