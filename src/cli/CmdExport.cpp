// tqmb20 export: the export pipeline of the export dialog, without the dialog.
#include <charconv>
#include <cstdio>
#include <optional>

#include "cli/AviCommands.h"
#include "cli/Commands.h"
#include "container/AviExport.h"
#include "container/Mp4Export.h"

namespace tq::cli {
namespace {

constexpr const char* kName = "export";

struct ExportArgs {
  std::string file, out, camera;
  int fromSec = -1, toSec = -1;
  bool withSound = true;
  bool force = false;  // replace an existing regular file
  bool exact = false;  // start on --from exactly (edit list) instead of the next key frame
};

std::optional<int> Seconds(const std::string& text) {
  int v = 0;
  auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), v);
  if (ec != std::errc() || end != text.data() + text.size() || v < 0) return std::nullopt;
  return v;
}

// Fills `a`; on a usage error returns the message.
std::optional<std::string> Parse(const Args& args, ExportArgs* a) {
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    auto value = [&](const char* option) -> std::optional<std::string> {
      if (i + 1 >= args.size()) return std::nullopt;
      (void)option;
      return args[++i];
    };
    if (arg == "--from" || arg == "--to") {
      auto v = value(arg.c_str());
      if (!v) return arg + " needs a number of seconds";
      auto s = Seconds(*v);
      if (!s) return arg + " takes whole seconds, not '" + *v + "'";
      (arg == "--from" ? a->fromSec : a->toSec) = *s;
    } else if (arg == "-o") {
      auto v = value("-o");
      if (!v || v->empty()) return "-o needs an output file";
      a->out = *v;
    } else if (arg == "--camera") {
      auto v = value("--camera");
      if (!v || (*v != "front" && *v != "rear")) return "--camera takes front or rear";
      a->camera = *v;
    } else if (arg == "--no-sound") {
      a->withSound = false;
    } else if (arg == "--force") {
      a->force = true;
    } else if (arg == "--exact") {
      a->exact = true;
    } else if (!arg.empty() && arg[0] == '-') {
      return "unknown option " + arg;
    } else if (a->file.empty()) {
      a->file = arg;
    } else {
      return "one recording at a time (extra argument " + arg + ")";
    }
  }
  if (a->file.empty()) return std::string("no recording given");
  if (a->fromSec < 0) return std::string("--from is required");
  if (a->toSec < 0) return std::string("--to is required");
  if (a->out.empty()) return std::string("-o is required");
  return std::nullopt;
}

}  // namespace

int RunExport(const Args& args) {
  ExportArgs a;
  if (auto usage = Parse(args, &a)) {
    Fail(kName, 2, *usage);
    std::fprintf(stderr, "usage: tqmb20 export FILE --from SEC --to SEC [--no-sound] "
                         "[--camera front|rear] [--exact] [--force] -o OUT\n");
    return 2;
  }
  if (const std::string problem = FileProblem(a.file); !problem.empty())
    return Fail(kName, 1, a.file + ": " + problem);
  const bool avi = IsAviFile(a.file);
  // An MP4 recording holds one camera; the camera choice belongs to two-stream AVI files.
  if (!avi && !a.camera.empty())
    return Fail(kName, 2, a.file + ": --camera applies to two-camera AVI recordings only");
  // An AVI export always starts on the key frame before --from; there is no edit to add.
  if (avi && a.exact) return Fail(kName, 2, a.file + ": --exact applies to MP4 recordings only");
  const ExportOutcome o =
      avi ? ExportAviRecording(a.file, a.out, a.fromSec, a.toSec, a.camera == "rear",
                               a.withSound, a.force)
          : ExportRecording(a.file, a.out, a.fromSec, a.toSec, a.withSound, {}, a.force, a.exact);
  if (o.status != ExportStatus::Ok) return Fail(kName, 1, o.message);
  const std::string camera = avi ? std::string(" the ") + (a.camera == "rear" ? "rear" : "front") +
                                       " camera of"
                                 : std::string();
  if (o.copied)
    std::printf("%s: copied the whole %d s of%s %s\n", a.out.c_str(), o.lengthSec,
                camera.c_str(), a.file.c_str());
  else
    std::printf("%s: exported %.3f-%.3f s of%s %s\n", a.out.c_str(), o.firstFrameMs / 1000.0,
                o.lastFrameMs / 1000.0, camera.c_str(), a.file.c_str());
  return 0;
}

}  // namespace tq::cli
