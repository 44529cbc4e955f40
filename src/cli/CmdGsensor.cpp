// tqmb20 gsensor FILE [--format csv]
#include <cstdio>
#include <string>

#include "cli/Commands.h"
#include "cli/FileTelemetry.h"
#include "cli/TrackWriters.h"

namespace tq::cli {

int RunGsensor(const Args& args) {
  std::string file;
  for (size_t i = 0; i < args.size(); ++i) {
    if (args[i] == "--format") {
      if (i + 1 >= args.size() || args[i + 1] != "csv") return Fail("gsensor", 2, "--format takes csv");
      ++i;
    } else if (args[i].rfind("--", 0) == 0 || !file.empty()) {
      return Fail("gsensor", 2, "unexpected argument '" + args[i] + "'");
    } else {
      file = args[i];
    }
  }
  if (file.empty()) return Fail("gsensor", 2, "usage: tqmb20 gsensor FILE [--format csv]");

  FileTelemetry t;
  std::string error;
  if (!LoadFileTelemetry(file, Want::GSensor, &t, &error)) return Fail("gsensor", 1, error);
  // Records are in time order within the recording; anything else is not G-sensor data.
  constexpr uint64_t kEndSlackMs = 1000;  // the last record may trail the last picture
  for (size_t i = 0; i < t.gsensor.size(); ++i) {
    const uint32_t ms = t.gsensor[i].timeMs;
    if (i > 0 && ms < t.gsensor[i - 1].timeMs)
      return Fail("gsensor", 1, file + ": G-sensor record " + std::to_string(i + 1) + " at " +
                                    std::to_string(ms) + " ms runs back in time (the one before is at " +
                                    std::to_string(t.gsensor[i - 1].timeMs) + " ms)");
    if (t.lengthMs > 0 && ms > t.lengthMs + kEndSlackMs)
      return Fail("gsensor", 1, file + ": G-sensor record " + std::to_string(i + 1) + " at " +
                                    std::to_string(ms) + " ms lies past the recording's " +
                                    std::to_string(t.lengthMs) + " ms");
  }
  std::string text = WriteGSensorCsv(t.gsensor);
  std::fwrite(text.data(), 1, text.size(), stdout);
  return std::fflush(stdout) == 0 ? 0 : Fail("gsensor", 1, "cannot write the output");
}

}  // namespace tq::cli
