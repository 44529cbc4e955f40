// tqmb20 gps FILE [--format csv|gpx|kml|geojson]
#include <cstdio>

#include "cli/Commands.h"
#include "cli/FileTelemetry.h"
#include "telemetry/TrackWriters.h"

namespace tq::cli {

int RunGps(const Args& args) {
  std::string file;
  TrackFormat format = TrackFormat::Csv;
  for (size_t i = 0; i < args.size(); ++i) {
    if (args[i] == "--format") {
      if (i + 1 >= args.size() || !ParseTrackFormat(args[i + 1], &format))
        return Fail("gps", 2, "--format takes csv, gpx, kml or geojson");
      ++i;
    } else if (args[i].rfind("--", 0) == 0 || !file.empty()) {
      return Fail("gps", 2, "unexpected argument '" + args[i] + "'");
    } else {
      file = args[i];
    }
  }
  if (file.empty()) return Fail("gps", 2, "usage: tqmb20 gps FILE [--format csv|gpx|kml|geojson]");

  FileTelemetry t;
  std::string error;
  if (!LoadFileTelemetry(file, Want::Gps, &t, &error)) return Fail("gps", 1, error);
  std::string text = WriteTrack(t.track, format, t.name, t.date);
  std::fwrite(text.data(), 1, text.size(), stdout);
  return std::fflush(stdout) == 0 ? 0 : Fail("gps", 1, "cannot write the output");
}

}  // namespace tq::cli
