// The change logic and texts behind the GPS panel and the map marker, as plain functions
// the panels call on the user-interface thread. Texts are UTF-8.
#pragma once

#include <cstdint>
#include <string>

#include "telemetry/GpsTrack.h"

namespace tq {

enum SpeedUnit : int32_t { kSpeedKmh = 0, kSpeedMph = 1 };
const char* SpeedUnitName(int32_t unit);  // "km/h" or "MPH"

constexpr double kKmhPerKnot = 1.852;
constexpr double kMphPerKnot = 1.150779;

// Change flags of a marker update.
enum MarkerFlags : int32_t {
  kMarkerMoved = 1,
  kMarkerLabel = 2,
  kMarkerIcon = 8,
  kMarkerAll = 15,
};

// The marker as last sent to the map page. The map panel's marker lock guards it.
struct MapMarker {
  int32_t state = -1;     // -1 no marker on the page yet, 0 placed
  double latitude = 0;    // decimal degrees
  double longitude = 0;
  std::string label;
};

// Label for a report: `parkedText` (the localized "parked") when parked, else the speed.
std::string MarkerLabel(const MapReport& report, int32_t unit, const std::string& parkedText);

// Updates the marker from a report and returns the change flags (0 nothing changed).
// Positions are compared at 1/10,000 degree. The caller sends SetPlayScript when the
// flags are not 0 and the page is ready.
int32_t UpdateReport(MapMarker& marker, const MapReport& report, int32_t unit,
                     const std::string& parkedText);

// "setplay(lat, lon, 0, \"label\", flags);"
std::string SetPlayScript(const MapMarker& marker, int32_t flags);

// Texts of the GPS panel's value column.
struct GpsPanelText {
  double lastSpeed = 0;  // knots, 0 when none
  std::string speedValue;
  std::string latitudeText;
  std::string longitudeText;
};

// The panel's texts before any sample: speed "000 km/h " / "0.00 MPH " (or the last
// speed known) and the two placeholder coordinates.
void InitGpsText(GpsPanelText& text, int32_t unit);

// Flag 2 renews the speed text, flag 1 the coordinates (placeholders without a sample).
void UpdateGps(GpsPanelText& text, const GpsSample* sample, int32_t flags, int32_t unit);

// "%d° %d’ %.4f %c " of a ddmm.mmmm value and its letter.
std::string CoordinateText(double value, char letter);

}  // namespace tq
