// tqmb20 repair FILE... [--dry-run] [--json]: the validation and in-place repair the
// viewer runs before playing a recording.
#include <cstdio>
#include <vector>

#include "cli/AviCommands.h"
#include "cli/Commands.h"
#include "cli/Json.h"
#include "container/Mp4Valid.h"

namespace tq::cli {
namespace {

const char* ResultName(ValidateResult r) {
  switch (r) {
    case ValidateResult::Ok: return "ok";
    case ValidateResult::Repaired: return "repaired";
    default: return "failed";
  }
}

void WriteJson(JsonWriter& j, const std::string& path, const ValidateReport& r) {
  j.BeginObject().Key("path").String(path).Key("result").String(ResultName(r.result));
  j.Key("reason").String(r.reason);
  if (r.dryRun) j.Key("dry_run").Bool(true);
  if (r.result == ValidateResult::Repaired) {
    j.Key("video_samples").UInt(r.videoSamples)
        .Key("audio_samples").UInt(r.audioSamples)
        .Key("valid_bytes").UInt(r.validBytes);
  }
  j.EndObject();
}

void WriteText(const std::string& path, const ValidateReport& r) {
  std::printf("%s: %s%s: %s", path.c_str(), r.dryRun && r.result == ValidateResult::Repaired
                                                  ? "would be "
                                                  : "",
              ResultName(r.result), r.reason.c_str());
  if (r.result == ValidateResult::Repaired)
    std::printf(" (%u video samples, %u audio samples, %u valid bytes)", r.videoSamples,
                r.audioSamples, r.validBytes);
  std::printf("\n");
}

}  // namespace

int RunRepair(const Args& args) {
  std::vector<std::string> paths;
  bool json = false;
  ValidateOptions options;
  for (const std::string& a : args) {
    if (a == "--json") json = true;
    else if (a == "--dry-run") options.dryRun = true;
    else if (!a.empty() && a[0] == '-') return Fail("repair", 2, "unknown option '" + a + "'");
    else paths.push_back(a);
  }
  if (paths.empty()) return Fail("repair", 2, "usage: tqmb20 repair FILE... [--dry-run] [--json]");

  int exitCode = 0;
  JsonWriter j;
  j.BeginArray();
  for (const std::string& path : paths) {
    if (const std::string problem = FileProblem(path); !problem.empty()) {
      exitCode = 1;
      if (json) {
        ValidateReport r;
        r.reason = problem;
        WriteJson(j, path, r);
      } else {
        Fail("repair", 1, path + ": " + problem);
      }
      continue;
    }
    if (IsAviFile(path)) {
      if (AviRepair(path, options.dryRun, json ? &j : nullptr) != 0) exitCode = 1;
      continue;
    }
    auto info = std::make_unique<MP4INFO>();
    ValidateReport r = ValidateMP4(path, info.get(), 0, options);
    FreeMP4INFO(*info);
    if (r.result == ValidateResult::Failed) {
      exitCode = 1;
      if (!json) Fail("repair", 1, path + ": " + r.reason);
    }
    if (json) WriteJson(j, path, r);
    else if (r.result != ValidateResult::Failed) WriteText(path, r);
  }
  j.EndArray();
  if (json) std::printf("%s\n", j.str().c_str());
  return exitCode;
}

}  // namespace tq::cli
