// The telemetry of a clip: the GPS log and the G-sensor records of a recording's metadata
// box cut to the clip's time range, so that a clip shows its map and graph as a
// recording does.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "container/Mp4Box.h"
#include "container/Mp4Writer.h"

namespace tq {

// NMEA lines whose bracketed stamp (camera clock, ms) lies in [fromStamp, toStamp]; a line
// without a stamp goes with the stamped line before it. Line ends are kept as written.
std::string CutNmeaText(const uint8_t* text, size_t length, uint64_t fromStamp,
                        uint64_t toStamp);

// Whole 48-byte binary GPS records stamped in [fromStamp, toStamp].
std::vector<uint8_t> CutGps2Records(const uint8_t* records, size_t length, uint64_t fromStamp,
                                    uint64_t toStamp);

// Whole 10-byte 3GF records timed in [fromMs, toMs] of the recording, their times made
// relative to fromMs (the clip's first second is 0).
std::vector<uint8_t> Cut3gfRecords(const uint8_t* block, size_t length, uint32_t fromMs,
                                   uint32_t toMs);

// The telemetry a recording's description holds (read with a telemetry buffer), cut to
// [fromMs, toMs] of the recording. Not present when the recording embeds none.
MovieTelemetry CutTelemetry(const MP4INFO& info, uint32_t fromMs, uint32_t toMs);

}  // namespace tq
