// The background picture of the motion-region dialog: the JPEG the camera stores in a
// "thum" box inside the top-level "free" box of each recording.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace tq {

// The two greatest names (text order) in `folder` ending in `suffix` + ".mp4" (case
// ignored), greatest first. Camera names start with the date and time, so these are
// the newest recordings.
std::vector<std::string> NewestRecordings(const std::string& folder, const std::string& suffix);

// The JPEG bytes of the file's "thum" box. False for a file shorter than 9 bytes, a read
// failure, no such box, or a length that runs past its box or the file.
bool ReadThumbJpeg(const std::string& path, std::vector<uint8_t>* jpeg);

// The newest recording's JPEG, or the second newest's when the newest has none.
// False when neither has one.
bool NewestThumbJpeg(const std::string& folder, const std::string& suffix, std::vector<uint8_t>* jpeg);

}  // namespace tq
