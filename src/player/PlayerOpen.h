// What the player panel works out when it opens a recording: the paths of the front file
// and its rear partner, whether it is a parking recording, when it starts, where to begin
// when a time of day was asked for, and the camera temperature in its notice text.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace tq {

struct CatalogEntry;
struct MP4INFO;

// The sign bit of an open request's start: play the rear partner too.
inline constexpr uint32_t kStartWithRear = 0x80000000u;

// folder/name.ext, the extension as the catalog spells it ("mp4"/"avi" when unknown).
std::string FrontPath(const std::string& folder, const CatalogEntry& entry);
// The front name with its camera letter swapped: "R" where it was "F", otherwise "F"; a
// trailing "S" stays after it. The name itself when it has no camera letter position.
std::string RearName(std::string_view name);
// folder/rear.ext, the extension spelled as the front file's.
std::string RearPath(const std::string& folder, const CatalogEntry& entry);

// MP4: the letter before the camera letter (after a final "S") is "P" or "I".
// AVI: the entry's class is parking, or the name ends in "P".
bool IsParkingRecording(const CatalogEntry& entry);

// hh x 3600 + mm x 60 + ss, in hundredths of a second, from HHMMSS.
int32_t RecordingStartCentis(int32_t hhmmss);

// Seconds into the recording to begin at for a wanted time of day (HHMMSS, 240000 added
// for the next day; 0 = from the start). Only a wanted hour and minute later than the
// entry's count: d minutes on (60 added when the wanted minute is not past the entry's),
// less the entry's own seconds. 0 when nothing is to be skipped.
int StartOffsetSeconds(int32_t entryTime, int32_t wantedTime);

// Whole seconds of the video track (its media duration over its time scale); 0 when the
// description has no such track.
int RecordingSecondsFromInfo(const MP4INFO& info);

// The integer after ";T" up to the next ";" in the notice text; none without one.
std::optional<int> NoticeTemperature(std::string_view notice);

}  // namespace tq
