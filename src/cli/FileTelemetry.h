// What `tqmb20 gps` and `gsensor` read: the telemetry of a recording as the viewer loads
// it, or a ".gps" / ".3gf" companion file given directly.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "telemetry/GSensorGraph.h"
#include "telemetry/GpsTrack.h"

namespace tq::cli {

struct FileTelemetry {
  GpsTrack track;
  std::vector<Gsf3Record> gsensor;
  std::string name;  // base name of the file
  std::string date;  // the recording's day YYYYMMDD from the name, "" when it has none
  uint64_t lengthMs = 0;  // the recording's length (of the partner of a .3gf), 0 unknown
};

enum class Want { Gps, GSensor };

// True on success; otherwise *error holds one line naming the path.
bool LoadFileTelemetry(const std::string& path, Want want, FileTelemetry* out, std::string* error);

}  // namespace tq::cli
