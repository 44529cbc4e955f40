#include "telemetry/GpsPanelText.h"

#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <algorithm>

namespace tq {
namespace {

// 1/10,000 degree, about 11 m: closer positions do not move the marker.
constexpr double kPositionScale = 10000.0;

constexpr const char* kLatitudePlaceholder = " 0\u00B0 0\u2019   0 N ";
constexpr const char* kLongitudePlaceholder = " 0\u00B0 0\u2019   0 E ";

std::string Format(const char* format, ...) __attribute__((format(printf, 1, 2)));
std::string Format(const char* format, ...) {
  char buf[160];
  va_list args;
  va_start(args, format);
  int n = std::vsnprintf(buf, sizeof buf, format, args);
  va_end(args);
  if (n < 0) return {};
  return std::string(buf, size_t(std::min<int>(n, int(sizeof buf) - 1)));
}

// Truncation towards zero into int, held at the int range for absurd values.
int TruncInt(double v) {
  if (!(v == v)) return 0;
  if (v >= 2147483647.0) return 2147483647;
  if (v <= -2147483648.0) return -2147483647 - 1;
  return int(v);
}

int SpeedInUnit(double knots, int32_t unit) {
  return TruncInt(knots * (unit == kSpeedMph ? kMphPerKnot : kKmhPerKnot));
}

bool SamePosition(double a, double b) {
  return std::trunc(a * kPositionScale) == std::trunc(b * kPositionScale);
}

}  // namespace

const char* SpeedUnitName(int32_t unit) { return unit == kSpeedMph ? "MPH" : "km/h"; }

std::string MarkerLabel(const MapReport& report, int32_t unit, const std::string& parkedText) {
  if (report.parked) return parkedText;
  if (report.speed < 0) return Format("--- %s", SpeedUnitName(unit));
  if (unit == kSpeedMph) return Format("%.2f %s", report.speed * kMphPerKnot, SpeedUnitName(unit));
  return Format("%d %s", SpeedInUnit(report.speed, unit), SpeedUnitName(unit));
}

int32_t UpdateReport(MapMarker& marker, const MapReport& report, int32_t unit,
                     const std::string& parkedText) {
  std::string label = MarkerLabel(report, unit, parkedText);
  int32_t flags = 0;
  if (marker.state == 0) {
    if (report.hasPosition && !(SamePosition(report.latitude, marker.latitude) &&
                                SamePosition(report.longitude, marker.longitude))) {
      marker.latitude = report.latitude;
      marker.longitude = report.longitude;
      flags |= kMarkerMoved;
    }
    if (label != marker.label) {
      marker.label = label;
      flags |= kMarkerLabel;
    }
  } else if (report.hasPosition) {
    marker.state = 0;
    marker.label = label;
    marker.latitude = report.latitude;
    marker.longitude = report.longitude;
    flags = kMarkerAll;
  }
  return flags;
}

std::string SetPlayScript(const MapMarker& marker, int32_t flags) {
  std::string label;
  for (char c : marker.label) {  // the label stands in a script string literal
    if (c == '"' || c == '\\') label += '\\';
    label += c;
  }
  return Format("setplay(%lf, %lf, %d, \"", marker.latitude, marker.longitude, 0) + label +
         Format("\", %d);", flags);
}

std::string CoordinateText(double value, char letter) {
  double whole = std::trunc(value);
  int wholeInt = TruncInt(whole);
  int degrees = wholeInt / 100;
  int minutes = std::abs(wholeInt - degrees * 100);
  double seconds = std::fabs((value - whole) * 60.0);
  std::string text = Format("%d\u00B0 %d\u2019 %.4f %c ", degrees, minutes, seconds, letter);
  // A missing letter ends the text there, as a NUL would end it on the screen.
  return text.substr(0, text.find('\0'));
}

void InitGpsText(GpsPanelText& text, int32_t unit) {
  text.latitudeText = kLatitudePlaceholder;
  text.longitudeText = kLongitudePlaceholder;
  if (text.lastSpeed == 0) {
    text.speedValue = unit == kSpeedMph ? Format("0.00 %s ", SpeedUnitName(unit))
                                        : Format("000 %s ", SpeedUnitName(unit));
  } else if (unit == kSpeedMph) {
    text.speedValue = Format("%.2f %s ", text.lastSpeed * kMphPerKnot, SpeedUnitName(unit));
  } else {
    text.speedValue = Format("%03d %s ", SpeedInUnit(text.lastSpeed, unit), SpeedUnitName(unit));
  }
}

void UpdateGps(GpsPanelText& text, const GpsSample* sample, int32_t flags, int32_t unit) {
  if (flags & kMarkerLabel) {
    int value = 0;
    if (sample && sample->speed > 0) {
      text.lastSpeed = sample->speed;
      value = SpeedInUnit(sample->speed, unit);
    } else {
      text.lastSpeed = 0;
    }
    text.speedValue = Format("%03d %s ", value, SpeedUnitName(unit));
  }
  if (flags & kMarkerMoved) {
    if (sample) {
      text.latitudeText = CoordinateText(sample->latitude, sample->ns[0]);
      text.longitudeText = CoordinateText(sample->longitude, sample->ew[0]);
    } else {
      text.latitudeText = kLatitudePlaceholder;
      text.longitudeText = kLongitudePlaceholder;
    }
  }
}

}  // namespace tq
