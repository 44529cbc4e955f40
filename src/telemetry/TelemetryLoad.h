// Loading a recording's telemetry: the two process-wide buffers, whole-file reads of the
// ".gps" / ".3gf" companions, the companion and parking rules of the file names, and
// LoadTelemetry, which fills the GPS track and hands the G-sensor block on.
// User-interface thread (the controller's open step).
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <string>

#include "container/Mp4Box.h"
#include "telemetry/GpsTrack.h"

namespace tq {

constexpr uint32_t kTelemetryBufferSize = 160 * 1024;  // GPS text (+ MP4 G-sensor block)
constexpr uint32_t kSensorBufferSize = 60 * 1024;      // ".3gf" file or AVI sensor records

// Owned by the player controller, reused for every recording (one at a time).
struct TelemetryBuffers {
  std::array<uint8_t, kTelemetryBufferSize> telemetry{};
  std::array<uint8_t, kSensorBufferSize> sensor{};
};

enum class RecordingKind : uint8_t { Mp4 = 0, Avi = 1 };

struct RecordingRef {
  RecordingKind kind = RecordingKind::Mp4;
  std::string folder;  // the browse folder
  std::string name;    // base name, no extension
  bool parking = false;
};

// How a file that does not fit its buffer is cut: at the last line end (NMEA text) or
// at the last whole 10-byte record (3GF).
enum class CutRule { Lines, Records3gf };

// Reads the whole file into `buffer` and stores a 0 byte behind the data (so at most
// capacity - 1 bytes are kept; more is cut by `cut`, with a trace line). 1 on success;
// an empty or unreadable file is a failure. Failures are traced with the path.
int ReadWholeFile(const std::string& path, uint8_t* buffer, uint32_t capacity, uint32_t* size,
                  CutRule cut);

// Name the player looks for first when it loads a recording's companions: the base name
// without a final "S" and then without a final camera letter "F", "R" or "L". (Copy and
// delete use the catalog's CompanionStem, which keeps "S" names whole; FindCompanion
// falls back to that name, so both find the same files.)
std::string TelemetryStem(const std::string& name);

// The existing companion `extension` (".gps", ".3gf") of a recording, matched without
// regard to case; "" when there is none. Tries the stem, then (for a name ending in "S")
// the full base name.
std::string FindCompanion(const std::string& folder, const std::string& name,
                          const std::string& extension);

// MP4: after the final "S" and camera letter, the last letter is "P" or "I".
bool IsParkingMp4Name(const std::string& name);
// AVI: the catalog mode is 2, or the name ends in "P".
bool IsParkingAviName(const std::string& name, uint8_t mode);

// Start time of day in hundredths of a second from "YYYYMMDD_HHMMSS..." (MP4 names);
// -1 when the name does not carry one.
int32_t StartOfDayFromName(const std::string& name);

// Presets the description for ValidMP4: no GPS text, no sensor end, the telemetry buffer.
void PrepareTelemetryInfo(MP4INFO& info, TelemetryBuffers& buffers);

// Receives a recording's G-sensor block (the timeline's Set3GF); length -1 when the
// recording has embedded telemetry without one.
using SensorSink = std::function<void(const uint8_t* block, int32_t length)>;

// Fills the track of an MP4 recording from the boxes `info` holds (validated after
// PrepareTelemetryInfo) or, without embedded telemetry, from the companion files; AVI
// loads nothing here. The track's start of day must be set. Clears both buffers' first
// bytes at the end.
void LoadTelemetry(GpsTrack& track, const RecordingRef& recording, const MP4INFO* info,
                   TelemetryBuffers& buffers, const SensorSink& toTimeline);

}  // namespace tq
