// The export dialog's arithmetic: the recording's length as the dialog counts it, the
// texts it shows, the proposed output names, the range check and the range a player
// export starts with. Plain functions, no window.
#pragma once

#include <cstdint>
#include <string>

namespace tq {

// Length in whole seconds from the first movie set's header: D below one timescale is one
// second; an unknown length, and kMaxExportLengthSec and more, give 0 (not exportable).
int ExportLengthSec(uint64_t duration, uint32_t timescale);

// Length of an AVI recording: its frames over the frames per second (integer), 0 when the
// frame duration is 0 or longer than a second.
int AviExportLengthSec(uint32_t totalFrames, uint32_t microsecondsPerFrame);

// The recording start as seconds of the camera's clock (read as UTC, no zone), from the
// catalog's date (YYYYMMDD) and time (HHMMSS); false when they are no calendar moment.
bool RecordingStartSeconds(int32_t date, int32_t time, int64_t* seconds);

// "%Y-%m-%d %H:%M:%S" and "%Y%m%d_%H%M%S" of a clock second.
std::string FormatStartText(int64_t seconds);
std::string FormatNameTime(int64_t seconds);

// "M min S sec" as the dialog shows a length, with the localized "min" and "sec".
std::string LengthText(int lengthSec, const std::string& minText, const std::string& secText);

// The proposed file name (no folder, no extension) of an MP4 export: the recording's own
// name from the start, else the new start time followed by the name after its date and
// time ("20261205_104010" + "_NF").
std::string ProposedMp4Name(const std::string& name, int64_t startSeconds, int fromSec);

// The proposed name of an AVI export of the front ('F') or rear ('R') camera: the name
// with its fourth character made '0', then the camera letter and the name's last letter;
// from a later start the new start time takes the place of the name's date and time.
std::string ProposedAviName(const std::string& name, int64_t startSeconds, int fromSec,
                            bool front);

// The rear file's name next to a chosen front AVI path: the camera letter (seventh
// character from the end, before ".avi") becomes 'R'. Shorter paths come back unchanged.
std::string RearAviPath(const std::string& frontPath);

// Whether [fromSec, toSec] may be exported from a recording of lengthSec seconds.
bool ExportRangeValid(int fromSec, int toSec, int lengthSec);

// The range proposed when the export starts from the player: From the playing second
// (rounded down), To 30 s later, both inside the recording.
struct ExportRange {
  int fromSec = 0;
  int toSec = 0;
};
constexpr int kPlayerExportSeconds = 30;
ExportRange PlayerExportRange(int64_t positionMs, int lengthSec);

}  // namespace tq
