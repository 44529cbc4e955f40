// One generated recording laid out as the camera writes it: ftyp, the metadata free box,
// optionally a moov that reserves room for the index before the mdat, the mdat with a
// 16-byte frame record before every sample, and the moov (missing in unfinished files).
#pragma once

#include <cstdint>
#include <string>

namespace tq {

struct RecordingSpec {
  // Pictures and sound.
  int width = 1920;
  int height = 1080;
  int fps = 30;
  int gop = 30;
  bool hevc = false;
  int bitrateKbps = 0;
  bool sound = true;
  int audioRate = 48000;
  int toneHz = 0;              // > 0: the sound is one steady sine of this frequency
  uint32_t seed = 1;
  uint32_t durationMs = 10000;
  // Identity.
  int camera = 0;              // 0 front, 1 rear
  char type = 'N';             // N E I P T M
  int64_t startSeconds = 0;    // local clock time, seconds since 1970 read by UTC rules
  // Layout.
  bool reservedRoom = false;
  uint32_t roomBytes = 0;      // 0: room for the index at full capacity
  bool gps2Layout = false;     // binary GPS records, ptnm kind 4, samples without records
  bool companions = false;     // .gps/.3gf beside the file instead of embedded logs
  bool telemetry = true;       // false: no GPS or G-sensor log at all
  bool thumbnail = false;      // a ".thm" JPEG of the first picture beside the file
  bool thumBox = false;        // the same JPEG in a "thum" box inside the free box
  int cutAfterFrames = -1;     // unfinished: stop after this many video samples
  int64_t cutAtByte = -1;      // unfinished: cut the file at this length
  uint32_t extraBytes = 0;     // bytes between each frame record and its sample
  uint32_t clockBase = 0;      // added to every frame record time stamp (camera clock)
  uint32_t videoDelayMs = 0;   // the first picture comes this long after the first sound
  uint32_t soundDelayMs = 0;   // the first sound comes this long after the first picture
  // Telemetry.
  uint32_t telemetrySeed = 1;  // a front/rear pair shares it
  int routeSecond = 0;         // where in the drive this recording starts
  bool parked = false;
  uint32_t joltMs = 0;
  int joltStrength = 90;       // 1/128 g
};

struct RecordingResult {
  std::string path;
  uint32_t videoSamples = 0;
  uint32_t soundSamples = 0;
  uint32_t keyFrames = 0;
  uint64_t bytes = 0;
  uint32_t mdatOffset = 0;     // payload offset
  uint32_t moovOffset = 0;     // box start; 0 when the file has no moov
};

bool IsUnfinished(const RecordingSpec& spec);

// Base name as the camera names it: YYYYMMDD_HHMMSS_<type><F|R>.
std::string RecordingBaseName(const RecordingSpec& spec);
// The companion stem: the base name without its camera letter (shared by a pair).
std::string CompanionStem(const std::string& baseName);

// Writes the recording to `path` (and its companions beside it when asked).
bool WriteRecording(const RecordingSpec& spec, const std::string& path, RecordingResult* result,
                    std::string* error);

}  // namespace tq
