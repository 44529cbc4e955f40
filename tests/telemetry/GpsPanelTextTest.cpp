#include <gtest/gtest.h>

#include "telemetry/GpsPanelText.h"

namespace {

using tq::GpsPanelText;
using tq::GpsSample;
using tq::MapMarker;
using tq::MapReport;

const std::string kParked = "parked (localized)";

MapReport Report(double lat, double lon, double knots, int parked = 0) {
  MapReport r;
  r.latitude = lat;
  r.longitude = lon;
  r.speed = knots;
  r.hasPosition = 1;
  r.parked = parked;
  return r;
}

TEST(CoordinateText, degrees_minutes_seconds_with_four_decimals) {
  struct Row {
    double value;
    char letter;
    const char* text;
  } rows[] = {
      {3723.2475, 'N', "37\u00B0 23\u2019 14.8500 N "},
      {-3723.4567, 'S', "-37\u00B0 23\u2019 27.4020 S "},
      {12158.3416, 'E', "121\u00B0 58\u2019 20.4960 E "},
      {-12158.3416, 'W', "-121\u00B0 58\u2019 20.4960 W "},
      {-30.5, 'S', "0\u00B0 30\u2019 30.0000 S "},  // under one degree: no minus sign left
      {0.0, 'N', "0\u00B0 0\u2019 0.0000 N "},
      {3723.99999, 'N', "37\u00B0 23\u2019 59.9994 N "},
      {3723.5, '\0', "37\u00B0 23\u2019 30.0000 "},  // no letter: the text ends there
  };
  for (const auto& r : rows) EXPECT_EQ(tq::CoordinateText(r.value, r.letter), r.text) << r.value;
}

TEST(UpdateGps, speed_and_coordinates_per_flag) {
  GpsSample s;
  s.latitude = -3723.4567;
  s.ns[0] = 'S';
  s.longitude = 12158.3416;
  s.ew[0] = 'E';
  s.speed = 10.0;

  GpsPanelText t;
  tq::InitGpsText(t, tq::kSpeedKmh);
  EXPECT_EQ(t.speedValue, "000 km/h ");
  EXPECT_EQ(t.latitudeText, " 0\u00B0 0\u2019   0 N ");
  EXPECT_EQ(t.longitudeText, " 0\u00B0 0\u2019   0 E ");

  tq::UpdateGps(t, &s, tq::kMarkerLabel, tq::kSpeedKmh);
  EXPECT_EQ(t.speedValue, "018 km/h ");  // 18.52 truncated
  EXPECT_EQ(t.latitudeText, " 0\u00B0 0\u2019   0 N ");  // flag 1 clear: untouched
  EXPECT_EQ(t.lastSpeed, 10.0);

  tq::UpdateGps(t, &s, tq::kMarkerMoved, tq::kSpeedKmh);
  EXPECT_EQ(t.latitudeText, "-37\u00B0 23\u2019 27.4020 S ");
  EXPECT_EQ(t.longitudeText, "121\u00B0 58\u2019 20.4960 E ");

  s.speed = 100.0;
  tq::UpdateGps(t, &s, tq::kMarkerLabel, tq::kSpeedMph);
  EXPECT_EQ(t.speedValue, "115 MPH ");  // 115.0779
  s.speed = -1;
  tq::UpdateGps(t, &s, tq::kMarkerLabel, tq::kSpeedKmh);
  EXPECT_EQ(t.speedValue, "000 km/h ");
  EXPECT_EQ(t.lastSpeed, 0.0);

  // Playback stopped: (none, 3).
  s.speed = 10;
  tq::UpdateGps(t, &s, 3, tq::kSpeedKmh);
  tq::UpdateGps(t, nullptr, 3, tq::kSpeedKmh);
  EXPECT_EQ(t.speedValue, "000 km/h ");
  EXPECT_EQ(t.latitudeText, " 0\u00B0 0\u2019   0 N ");
  EXPECT_EQ(t.longitudeText, " 0\u00B0 0\u2019   0 E ");
}

TEST(InitGpsText, last_speed_and_unit) {
  GpsPanelText t;
  tq::InitGpsText(t, tq::kSpeedMph);
  EXPECT_EQ(t.speedValue, "0.00 MPH ");
  t.lastSpeed = 10;
  tq::InitGpsText(t, tq::kSpeedMph);
  EXPECT_EQ(t.speedValue, "11.51 MPH ");
  tq::InitGpsText(t, tq::kSpeedKmh);
  EXPECT_EQ(t.speedValue, "018 km/h ");
}

TEST(UpdateReport, flags_for_first_report_moves_and_label_changes) {
  MapMarker m;
  struct Step {
    const char* name;
    MapReport report;
    int flags;
    const char* label;
  } steps[] = {
      {"first report", Report(37.12345, -122.5, 10), 15, "18 km/h"},
      {"same again", Report(37.12345, -122.5, 10), 0, "18 km/h"},
      {"fifth decimal only", Report(37.12349, -122.50009, 10), 0, "18 km/h"},
      {"fourth decimal", Report(37.12355, -122.5, 10), 1, "18 km/h"},
      {"longitude only", Report(37.12355, -122.5002, 10), 1, "18 km/h"},
      {"speed label", Report(37.12355, -122.5002, 20), 2, "37 km/h"},
      {"both", Report(38.0, -122.5002, 0), 3, "0 km/h"},
      {"parked whatever the speed", Report(38.0, -122.5002, 50, 1), 2, kParked.c_str()},
      {"negative speed", Report(38.0, -122.5002, -1), 2, "--- km/h"},
  };
  for (const auto& s : steps) {
    EXPECT_EQ(tq::UpdateReport(m, s.report, tq::kSpeedKmh, kParked), s.flags) << s.name;
    EXPECT_EQ(m.label, s.label) << s.name;
    EXPECT_EQ(m.state, 0) << s.name;
  }
  // A moved position is stored; an unmoved one keeps the stored value.
  EXPECT_EQ(m.latitude, 38.0);
  EXPECT_EQ(m.longitude, -122.5002);
}

TEST(UpdateReport, no_position_places_nothing_and_mph_labels_keep_two_decimals) {
  MapMarker m;
  MapReport none = Report(1, 2, 10);
  none.hasPosition = 0;
  EXPECT_EQ(tq::UpdateReport(m, none, tq::kSpeedKmh, kParked), 0);
  EXPECT_EQ(m.state, -1);
  EXPECT_EQ(tq::UpdateReport(m, Report(-33.8688, 151.2093, 10), tq::kSpeedMph, kParked), 15);
  EXPECT_EQ(m.label, "11.51 MPH");
  // Negative values compare the same way: -33.86884 and -33.86888 are one position.
  EXPECT_EQ(tq::UpdateReport(m, Report(-33.86884, 151.20938, 10), tq::kSpeedMph, kParked), 0);
  EXPECT_EQ(tq::SetPlayScript(m, 15), "setplay(-33.868800, 151.209300, 0, \"11.51 MPH\", 15);");
  m.label = "a \"b\"";
  EXPECT_EQ(tq::SetPlayScript(m, 2), "setplay(-33.868800, 151.209300, 0, \"a \\\"b\\\"\", 2);");
}

}  // namespace
