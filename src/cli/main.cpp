// tqmb20: the command-line tool over the viewer's core.
#include <sys/stat.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "cli/Commands.h"

namespace tq::cli {

int Fail(const char* name, int code, const std::string& message) {
  std::fprintf(stderr, "tqmb20 %s: %s\n", name, message.c_str());
  return code;
}

std::string FileProblem(const std::string& path) {
  struct stat st {};
  if (::stat(path.c_str(), &st) != 0) return errno == ENOENT ? "no such file" : "cannot be read";
  if (S_ISDIR(st.st_mode)) return "is a folder, not a recording";
  if (!S_ISREG(st.st_mode)) return "not a regular file";
  return {};
}

const std::vector<Command>& AllCommands() {
  static const std::vector<Command> commands = {
      {"info", "info FILE... [--json]", RunInfo},
      {"repair", "repair FILE... [--dry-run] [--json]", RunRepair},
      {"gps", "gps FILE [--format csv|gpx|kml|geojson]", RunGps},
      {"gsensor", "gsensor FILE [--format csv] [--events [--threshold N]]", RunGsensor},
      {"list", "list FOLDER [--json]", RunList},
      {"card", "card ROOT [--json]", RunCard},
      {"config", "config CARD_ROOT [--get SECTION.KEY] [--set SECTION.KEY=VALUE ...] [--json]", RunConfig},
      {"export", "export FILE --from SEC --to SEC [--no-sound] [--camera front|rear] [--exact] [--force] -o OUT",
       RunExport},
      {"play", "play FILE [--rear FILE] [--speed 0.5|1|2|4] [--seconds N] [--start SEC] [--json]",
       RunPlay},
      {"format-image", "format-image FILE [--sectors N] [--sector-size 512|4096] [--json]", RunFormatImage},
  };
  return commands;
}

}  // namespace tq::cli

static int Usage(FILE* out) {
  std::fprintf(out, "usage: tqmb20 <command> [arguments]\n\ncommands:\n");
  for (const auto& c : tq::cli::AllCommands()) std::fprintf(out, "  %s\n", c.usage);
  return out == stdout ? 0 : 2;
}

int main(int argc, char** argv) {
  if (argc < 2) return Usage(stderr);
  if (!std::strcmp(argv[1], "--help") || !std::strcmp(argv[1], "-h")) return Usage(stdout);
  for (const auto& c : tq::cli::AllCommands()) {
    if (std::strcmp(argv[1], c.name) == 0) return c.run(tq::cli::Args(argv + 2, argv + argc));
  }
  std::fprintf(stderr, "tqmb20: unknown command '%s'\n", argv[1]);
  return Usage(stderr);
}
