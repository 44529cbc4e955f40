// tqmb20 gsensor FILE [--format csv]
#include <cstdio>

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
  std::string text = WriteGSensorCsv(t.gsensor);
  std::fwrite(text.data(), 1, text.size(), stdout);
  return std::fflush(stdout) == 0 ? 0 : Fail("gsensor", 1, "cannot write the output");
}

}  // namespace tq::cli
