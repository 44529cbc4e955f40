// The AVI side of `tqmb20 info`, `repair` and `export`: each works on one AVI recording;
// the commands hand a file to it once IsAviFile says it is one.
#pragma once

#include <string>

#include "cli/Commands.h"
#include "cli/Json.h"

namespace tq::cli {

// True when the file starts "RIFF", size, "AVI "; for a file too short or unreadable,
// when its name ends in ".avi" (any case).
bool IsAviFile(const std::string& path);

// Read-only description of one AVI: kind, playable, streams, video_streams, index_count.
// False (after a one-line error) when the file is no readable AVI.
bool AviInfo(const std::string& path, JsonWriter* json);

// Validates one AVI and rebuilds a missing index in place (with dryRun only judges
// whether it could). 0 ok or repaired, 1 failed.
int AviRepair(const std::string& path, bool dryRun, JsonWriter* json);

}  // namespace tq::cli
