// The camera's naming convention: what a recording's base name says about its start
// time, class and camera, and which companion files belong to it.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace tq {

// File kinds; the value indexes the extension table.
constexpr uint8_t kKindMp4 = 0;
constexpr uint8_t kKindAvi = 1;
const char* KindExtension(uint8_t kind);  // "mp4", "avi"

// Type code = camera part + class part.
constexpr uint8_t kCameraPartFront = 0;
constexpr uint8_t kCameraPartRear = 4;
constexpr uint8_t kCameraPartThird = 51;
constexpr uint8_t kClassNormal = 0;
constexpr uint8_t kClassEvent = 1;
constexpr uint8_t kClassParking = 2;
constexpr uint8_t kClassManual = 3;

// Names whose date field is below this are not recordings (the camera's clock was unset).
constexpr int32_t kFirstValidDate = 19710000;

struct ParsedName {
  uint8_t typeCode = 0;
  int32_t date = 0;  // YYYYMMDD as a decimal number
  int32_t time = 0;  // HHMMSS as a decimal number
};

// Parses the start date and time and classifies the name. Only the leading digits of each
// field count. Returns false when the date is below kFirstValidDate or the time below 1.
bool ParseRecordingName(std::string_view base, uint8_t kind, ParsedName* out);

// Class part 0..3 of a type code (the L camera's codes start at 51).
int EntryClass(uint8_t typeCode);
// 0 front, 1 rear, 12 or 13 for the third camera.
int EntryCamera(uint8_t typeCode);
// Timeline level: class + 1 (normal 1 .. manual 4).
inline uint8_t EntryLevel(uint8_t typeCode) { return uint8_t(EntryClass(typeCode) + 1); }

// Length in minutes for the list: 1 below 63 s, else whole minutes plus one when more than
// 3 seconds remain. Saturates at 255 (the field is one byte).
uint8_t LengthInMinutes(int32_t seconds);

// Index of the camera letter of an MP4 base name: the last character, or the one before
// a final "S". std::string_view::npos for an empty name.
size_t CameraLetterPos(std::string_view base);
// 'F', 'R' or 'L' when the name carries a camera letter, else 0.
char CameraLetter(std::string_view base);

// Stem of the shared ".gps"/".3gf" companions: the base name without its last letter when
// that letter is "F" or "R", else the whole base name (names ending in "S", or without a
// front/rear letter, have companions of their own).
std::string CompanionStem(std::string_view base);
// The partner of a front or rear recording: the same name with the other letter last.
// Empty when the last letter is neither "F" nor "R".
std::string PartnerName(std::string_view base);

}  // namespace tq
