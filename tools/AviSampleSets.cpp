#include "AviSampleSets.h"

#include <cstdio>
#include <filesystem>
#include <fstream>

#include "AviRecording.h"
#include "SampleSets.h"

namespace tq {
namespace {

namespace fs = std::filesystem;

constexpr char kDemoModel[] = "TQ4400K-1";
constexpr int kDemoVersion[3] = {1, 2, 7};
constexpr int kDemoLanguage = 0;  // English

bool Make(const AviRecordingSpec& spec, const fs::path& path, bool verbose, std::string* error) {
  AviRecordingResult r;
  if (!WriteAviRecording(spec, path.string(), &r, error)) {
    if (error) *error = path.string() + ": " + *error;
    return false;
  }
  if (verbose)
    std::printf("%s  %u frames, %u chunks, %llu bytes\n", path.string().c_str(), r.frames,
                r.chunks, static_cast<unsigned long long>(r.bytes));
  return true;
}

AviRecordingSpec FixtureSpec() {
  AviRecordingSpec s;
  s.width = 320;
  s.height = 180;
  s.rearWidth = 256;
  s.rearHeight = 144;
  s.durationMs = 3000;
  s.startSeconds = ClockSeconds(2026, 12, 5, 10, 30, 0);
  return s;
}

}  // namespace

bool MakeDemoCardAvi(const std::string& dir, uint32_t seed, bool verbose, std::string* error) {
  std::error_code ec;
  fs::create_directories(dir, ec);
  if (ec) {
    if (error) *error = dir + ": cannot create: " + ec.message();
    return false;
  }
  {
    const std::string cfg = SetupCfgBytes(kDemoModel, kDemoVersion[0], kDemoVersion[1],
                                          kDemoVersion[2], kDemoLanguage);
    std::ofstream out(fs::path(dir) / "setup.cfg", std::ios::binary | std::ios::trunc);
    out << cfg;
    if (!out.good()) {
      if (error) *error = dir + "/setup.cfg: cannot write";
      return false;
    }
  }
  struct Entry {
    int hour, minute;
    const char* cls;
    char type;
    bool rear;
    bool parked;
    int routeSecond;
  };
  // A morning drive of two consecutive recordings with both cameras, an event and a
  // parked car.
  constexpr Entry kEntries[] = {
      {8, 0, "nor", 'N', true, false, 0},
      {8, 1, "nor", 'N', true, false, 60},
      {8, 2, "evt", 'E', true, false, 120},
      {13, 0, "nor", 'P', false, true, 0},
  };
  int sequence = 1;
  for (const Entry& e : kEntries) {
    AviRecordingSpec s;
    s.width = 640;
    s.height = 360;
    s.rear = e.rear;
    s.durationMs = 10000;
    s.seed = seed + uint32_t(sequence);
    s.telemetrySeed = seed;
    s.routeSecond = e.routeSecond;
    s.parked = e.parked;
    s.recordClass = e.cls;
    s.type = e.type;
    s.sequence = sequence++;
    s.startSeconds = ClockSeconds(2026, 12, 5, e.hour, e.minute, 0);
    if (!Make(s, fs::path(dir) / (AviRecordingBaseName(s) + ".avi"), verbose, error)) return false;
  }
  return true;
}

bool MakeAviFixtures(const std::string& dir, bool verbose, std::string* error) {
  const fs::path d(dir);
  AviRecordingSpec s = FixtureSpec();
  if (!Make(s, d / "avi_front.avi", verbose, error)) return false;
  s.rear = true;
  if (!Make(s, d / "avi_pair.avi", verbose, error)) return false;
  if (!Make(s, d / (AviRecordingBaseName(s) + ".avi"), verbose, error)) return false;
  s.index = false;
  if (!Make(s, d / "avi_pair_noindex.avi", verbose, error)) return false;
  s = FixtureSpec();
  s.index = false;
  if (!Make(s, d / "avi_noindex.avi", verbose, error)) return false;
  s.firstChunkWithoutStartCode = true;
  if (!Make(s, d / "avi_nostartcode.avi", verbose, error)) return false;
  s = FixtureSpec();
  s.index = false;
  s.cutAtByte = 30000;
  if (!Make(s, d / "avi_cut.avi", verbose, error)) return false;
  s = FixtureSpec();
  s.durationMs = 1000;
  s.gps = false;
  s.sensor = false;
  if (!Make(s, d / "avi_small.avi", verbose, error)) return false;
  return true;
}

}  // namespace tq
