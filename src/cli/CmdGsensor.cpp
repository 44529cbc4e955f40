// tqmb20 gsensor FILE [--format csv] [--events [--threshold N]]
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "cli/Commands.h"
#include "cli/FileTelemetry.h"
#include "telemetry/TrackWriters.h"
#include "container/MediaFile.h"
#include "library/CFileList.h"
#include "telemetry/TimeLine.h"

namespace tq::cli {

namespace {

constexpr char kUsage[] = "usage: tqmb20 gsensor FILE [--format csv] [--events [--threshold N]]";

// The recording's length as the viewer lays out the graph: the header's duration, or for a
// companion file (or an unreadable header) the second after the last record.
int32_t GraphSeconds(const std::string& file, const std::vector<Gsf3Record>& records) {
  std::string ext = file.size() >= 4 ? file.substr(file.size() - 4) : std::string();
  for (char& c : ext) c = char(std::tolower(static_cast<unsigned char>(c)));
  int32_t seconds = 0;
  if (ext == ".mp4") seconds = CFileList::ProbeDuration(file, kKindMp4);
  else if (ext == ".avi") seconds = CFileList::ProbeDuration(file, kKindAvi);
  if (seconds <= 0)
    for (const Gsf3Record& r : records) seconds = std::max<int32_t>(seconds, int32_t(r.timeMs / 1000) + 1);
  return seconds;
}

// One line per event slot: its start second and the slot's largest deviations.
std::string WriteEvents(const std::vector<Gsf3Record>& records, int32_t seconds, int threshold) {
  std::vector<uint8_t> block(records.size() * k3gfRecordSize);
  for (size_t i = 0; i < records.size(); ++i) {
    uint8_t* p = block.data() + i * k3gfRecordSize;
    PutU32(p, records[i].timeMs);
    for (int a = 0; a < 3; ++a) PutU16(p + 4 + 2 * a, uint16_t(records[i].axis[a]));
  }
  GSensorGraph graph;
  graph.Set3GF(block.data(), int64_t(block.size()), seconds, SecondsPerSlot(seconds));
  std::string text = "second,x,y,z\n";
  for (const GSensorEvent& e : FindGSensorEvents(graph, threshold)) {
    char line[64];
    std::snprintf(line, sizeof line, "%d,%d,%d,%d\n", int(e.startSeconds), e.peak[0], e.peak[1], e.peak[2]);
    text += line;
  }
  return text;
}

}  // namespace

int RunGsensor(const Args& args) {
  std::string file;
  bool events = false;
  int threshold = kDefaultEventThreshold;
  for (size_t i = 0; i < args.size(); ++i) {
    if (args[i] == "--events") {
      events = true;
    } else if (args[i] == "--threshold") {
      char* end = nullptr;
      const long value = i + 1 < args.size() ? std::strtol(args[i + 1].c_str(), &end, 10) : -1;
      if (i + 1 >= args.size() || args[i + 1].empty() || *end != '\0' || value < 0 || value > 32767)
        return Fail("gsensor", 2, "--threshold takes a number from 0 to 32767");
      threshold = int(value);
      ++i;
    } else if (args[i] == "--format") {
      if (i + 1 >= args.size() || args[i + 1] != "csv") return Fail("gsensor", 2, "--format takes csv");
      ++i;
    } else if (args[i].rfind("--", 0) == 0 || !file.empty()) {
      return Fail("gsensor", 2, "unexpected argument '" + args[i] + "'");
    } else {
      file = args[i];
    }
  }
  if (file.empty()) return Fail("gsensor", 2, kUsage);

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
  std::string text =
      events ? WriteEvents(t.gsensor, GraphSeconds(file, t.gsensor), threshold) : WriteGSensorCsv(t.gsensor);
  std::fwrite(text.data(), 1, text.size(), stdout);
  return std::fflush(stdout) == 0 ? 0 : Fail("gsensor", 1, "cannot write the output");
}

}  // namespace tq::cli
