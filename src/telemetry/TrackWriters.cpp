#include "telemetry/TrackWriters.h"

#include <algorithm>
#include <cstdarg>
#include <cstdio>

#include "telemetry/GpsPanelText.h"

namespace tq {
namespace {

constexpr double kMetresPerSecondPerKnot = 1852.0 / 3600.0;

std::string Format(const char* format, ...) __attribute__((format(printf, 1, 2)));
std::string Format(const char* format, ...) {
  char buf[256];
  va_list args;
  va_start(args, format);
  int n = std::vsnprintf(buf, sizeof buf, format, args);
  va_end(args);
  return n < 0 ? std::string() : std::string(buf, size_t(std::min<int>(n, int(sizeof buf) - 1)));
}

std::string XmlEscape(const std::string& s) {
  std::string out;
  for (char c : s) {
    switch (c) {
      case '&': out += "&amp;"; break;
      case '<': out += "&lt;"; break;
      case '>': out += "&gt;"; break;
      case '"': out += "&quot;"; break;
      case '\'': out += "&apos;"; break;
      default: out += c;
    }
  }
  return out;
}

std::string JsonEscape(const std::string& s) {
  std::string out;
  for (unsigned char c : s) {
    if (c == '"' || c == '\\') {
      out += '\\';
      out += char(c);
    } else if (c < 0x20) {
      out += Format("\\u%04x", c);
    } else {
      out += char(c);
    }
  }
  return out;
}

// Days from 1970-01-01 of a proleptic Gregorian date, and back.
int64_t DaysFromCivil(int64_t y, unsigned m, unsigned d) {
  y -= m <= 2;
  const int64_t era = (y >= 0 ? y : y - 399) / 400;
  const unsigned yoe = unsigned(y - era * 400);
  const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
  const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + int64_t(doe) - 719468;
}
void CivilFromDays(int64_t z, int64_t* y, unsigned* m, unsigned* d) {
  z += 719468;
  const int64_t era = (z >= 0 ? z : z - 146096) / 146097;
  const unsigned doe = unsigned(z - era * 146097);
  const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const unsigned mp = (5 * doy + 2) / 153;
  *d = doy - (153 * mp + 2) / 5 + 1;
  *m = mp < 10 ? mp + 3 : mp - 9;
  *y = int64_t(yoe) + era * 400 + (*m <= 2);
}

// "YYYY-MM-DDThh:mm:ss.cc" of the recording's day plus a sample time (hundredths, may
// run past midnight); "" without a day. The camera's clock is local time: no zone.
std::string DateTime(const std::string& date, int32_t centis) {
  if (date.size() != 8 || centis < 0) return {};
  int64_t y = std::stoll(date.substr(0, 4));
  unsigned m = unsigned(std::stoi(date.substr(4, 2))), d = unsigned(std::stoi(date.substr(6, 2)));
  if (m < 1 || m > 12 || d < 1 || d > 31) return {};
  int64_t days = DaysFromCivil(y, m, d) + centis / kCentisPerDay;
  int32_t ofDay = centis % kCentisPerDay;
  CivilFromDays(days, &y, &m, &d);
  return Format("%04lld-%02u-%02uT%02d:%02d:%02d.%02d", static_cast<long long>(y), m, d,
                ofDay / 360000, ofDay / 6000 % 60, ofDay / 100 % 60, ofDay % 100);
}

// A letter as a CSV field: empty when missing, quoted when it would break the row.
std::string Letter(const char* l) {
  char c = l[0];
  if (c == 0) return {};
  if (c == '"') return "\"\"\"\"";
  if (c == ',' || c == '\n' || c == '\r') return std::string("\"") + c + "\"";
  return std::string(1, c);
}

std::string Csv(const GpsTrack& t) {
  std::string out = "time_cs,ns,ew,latitude,longitude,speed_knots,lat_deg,lon_deg,speed_kmh\n";
  for (const auto& s : t.samples) {
    out += Format("%d,%s,%s,%.10g,%.10g,%.10g,%.7f,%.7f,%.3f\n", s.time, Letter(s.ns).c_str(),
                  Letter(s.ew).c_str(), s.latitude, s.longitude, s.speed,
                  NmeaToDegrees(s.latitude), NmeaToDegrees(s.longitude), s.speed * kKmhPerKnot);
  }
  return out;
}

std::string Gpx(const GpsTrack& t, const std::string& name, const std::string& date) {
  std::string out =
      "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
      "<gpx version=\"1.1\" creator=\"tqmb20\" xmlns=\"http://www.topografix.com/GPX/1/1\"\n"
      "     xmlns:gpxtpx=\"http://www.garmin.com/xmlschemas/TrackPointExtension/v2\">\n"
      "  <trk>\n    <name>" + XmlEscape(name) + "</name>\n    <trkseg>\n";
  for (const auto& s : t.samples) {
    out += Format("      <trkpt lat=\"%.7f\" lon=\"%.7f\">", NmeaToDegrees(s.latitude),
                  NmeaToDegrees(s.longitude));
    std::string when = DateTime(date, s.time);
    if (!when.empty()) out += "<time>" + when + "</time>";
    out += Format("<extensions><gpxtpx:TrackPointExtension><gpxtpx:speed>%.3f</gpxtpx:speed>"
                  "</gpxtpx:TrackPointExtension></extensions></trkpt>\n",
                  s.speed * kMetresPerSecondPerKnot);
  }
  out += "    </trkseg>\n  </trk>\n</gpx>\n";
  return out;
}

std::string Kml(const GpsTrack& t, const std::string& name) {
  std::string out =
      "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
      "<kml xmlns=\"http://www.opengis.net/kml/2.2\">\n  <Document>\n    <name>" +
      XmlEscape(name) + "</name>\n";
  if (!t.samples.empty()) {
    // A line needs two points; a single fix is a point.
    bool line = t.samples.size() > 1;
    out += "    <Placemark>\n      <name>" + XmlEscape(name) + "</name>\n";
    out += line ? "      <LineString>\n        <tessellate>1</tessellate>\n        <coordinates>\n"
                : "      <Point>\n        <coordinates>\n";
    for (const auto& s : t.samples)
      out += Format("          %.7f,%.7f,0\n", NmeaToDegrees(s.longitude), NmeaToDegrees(s.latitude));
    out += line ? "        </coordinates>\n      </LineString>\n"
                : "        </coordinates>\n      </Point>\n";
    out += "    </Placemark>\n";
  }
  out += "  </Document>\n</kml>\n";
  return out;
}

std::string GeoJson(const GpsTrack& t, const std::string& name, const std::string& date) {
  std::string out = "{\"type\":\"FeatureCollection\",\"features\":[";
  if (!t.samples.empty()) {
    bool line = t.samples.size() > 1;
    std::string coords, times, speeds, centis;
    for (size_t i = 0; i < t.samples.size(); ++i) {
      const auto& s = t.samples[i];
      const char* sep = i ? "," : "";
      std::string point =
          Format("[%.7f,%.7f]", NmeaToDegrees(s.longitude), NmeaToDegrees(s.latitude));
      coords += sep + point;
      if (!line) coords = point;
      std::string when = DateTime(date, s.time);
      times += sep + (when.empty() ? std::string("null") : "\"" + when + "\"");
      speeds += sep + Format("%.10g", s.speed);
      centis += sep + std::to_string(s.time);
    }
    out += "{\"type\":\"Feature\",\"geometry\":{\"type\":\"";
    out += line ? "LineString\",\"coordinates\":[" + coords + "]" : "Point\",\"coordinates\":" + coords;
    out += "},\"properties\":{\"name\":\"" + JsonEscape(name) + "\",\"coordTimes\":[" + times +
           "],\"time_cs\":[" + centis + "],\"speed_knots\":[" + speeds + "]}}";
  }
  out += "]}\n";
  return out;
}

}  // namespace

bool ParseTrackFormat(const std::string& text, TrackFormat* format) {
  struct {
    const char* name;
    TrackFormat format;
  } table[] = {{"csv", TrackFormat::Csv},
               {"gpx", TrackFormat::Gpx},
               {"kml", TrackFormat::Kml},
               {"geojson", TrackFormat::GeoJson}};
  for (const auto& row : table) {
    if (text == row.name) {
      *format = row.format;
      return true;
    }
  }
  return false;
}

std::string WriteTrack(const GpsTrack& track, TrackFormat format, const std::string& name,
                       const std::string& date) {
  switch (format) {
    case TrackFormat::Csv: return Csv(track);
    case TrackFormat::Gpx: return Gpx(track, name, date);
    case TrackFormat::Kml: return Kml(track, name);
    case TrackFormat::GeoJson: return GeoJson(track, name, date);
  }
  return {};
}

std::string WriteGSensorCsv(const std::vector<Gsf3Record>& records) {
  std::string out = "time_ms,x,y,z\n";
  for (const auto& r : records)
    out += Format("%u,%d,%d,%d\n", r.timeMs, r.axis[0], r.axis[1], r.axis[2]);
  return out;
}

}  // namespace tq
