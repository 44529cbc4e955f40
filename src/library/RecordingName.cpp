#include "library/RecordingName.h"

namespace tq {
namespace {

// Field positions in the base names.
constexpr size_t kMp4DateAt = 0;
constexpr size_t kMp4TimeAt = 9;
constexpr size_t kAviDateAt = 10;
constexpr size_t kAviTimeAt = 19;
constexpr size_t kDateDigits = 8;
constexpr size_t kTimeDigits = 6;
constexpr size_t kAviCameraFromEnd = 3;  // "R" three places from the end: rear

constexpr uint8_t kThirdCameraFirstCode = 8;  // codes from here belong to the L camera
constexpr int kRemainderThatCountsAsMinute = 3;
constexpr int32_t kShortRecordingSeconds = 63;

// Leading decimal digits of name[at, at + width), like atoi on a copy of the field.
int32_t LeadingNumber(std::string_view name, size_t at, size_t width) {
  int32_t value = 0;
  for (size_t i = at; i < at + width && i < name.size(); ++i) {
    char c = name[i];
    if (c < '0' || c > '9') break;
    value = value * 10 + (c - '0');
  }
  return value;
}

uint8_t Mp4ClassPart(char typeLetter) {
  switch (typeLetter) {
    case 'E': case 'I': return kClassEvent;
    case 'P': case 'T': return kClassParking;
    case 'M': return kClassManual;
    default: return kClassNormal;
  }
}

uint8_t Mp4TypeCode(std::string_view base) {
  size_t cp = CameraLetterPos(base);
  if (cp == std::string_view::npos) return kClassNormal;
  uint8_t camera = kCameraPartFront;
  switch (base[cp]) {
    case 'F': camera = kCameraPartFront; break;
    case 'R': camera = kCameraPartRear; break;
    case 'L': camera = kCameraPartThird; break;
    default: return Mp4ClassPart(base[cp]);  // no camera letter: this is the type letter
  }
  char typeLetter = cp > 0 ? base[cp - 1] : '\0';
  return uint8_t(camera + Mp4ClassPart(typeLetter));
}

uint8_t AviTypeCode(std::string_view base) {
  uint8_t cls = kClassNormal;
  if (base.starts_with("evt") || base.starts_with("mot")) {
    cls = kClassEvent;
  } else if (!base.empty() && base.back() == 'E') {
    cls = kClassEvent;
  } else if (!base.empty() && base.back() == 'P') {
    cls = kClassParking;
  }
  bool rear = base.size() >= kAviCameraFromEnd && base[base.size() - kAviCameraFromEnd] == 'R';
  return uint8_t((rear ? kCameraPartRear : kCameraPartFront) + cls);
}

}  // namespace

const char* KindExtension(uint8_t kind) { return kind == kKindAvi ? "avi" : "mp4"; }

bool ParseRecordingName(std::string_view base, uint8_t kind, ParsedName* out) {
  bool avi = kind == kKindAvi;
  int32_t date = LeadingNumber(base, avi ? kAviDateAt : kMp4DateAt, kDateDigits);
  int32_t time = LeadingNumber(base, avi ? kAviTimeAt : kMp4TimeAt, kTimeDigits);
  if (date < kFirstValidDate || time < 1) return false;
  out->date = date;
  out->time = time;
  out->typeCode = avi ? AviTypeCode(base) : Mp4TypeCode(base);
  return true;
}

int EntryClass(uint8_t typeCode) {
  int code = typeCode >= kThirdCameraFirstCode ? typeCode - kCameraPartThird : typeCode;
  return ((code % 4) + 4) % 4;
}

int EntryCamera(uint8_t typeCode) { return typeCode / 4; }

uint8_t LengthInMinutes(int32_t seconds) {
  if (seconds < kShortRecordingSeconds) return 1;
  int32_t minutes = seconds / 60 + (seconds % 60 > kRemainderThatCountsAsMinute ? 1 : 0);
  return minutes > 255 ? 255 : uint8_t(minutes);
}

size_t CameraLetterPos(std::string_view base) {
  if (base.empty()) return std::string_view::npos;
  size_t last = base.size() - 1;
  if (base[last] == 'S' && last > 0) return last - 1;
  return last;
}

char CameraLetter(std::string_view base) {
  size_t cp = CameraLetterPos(base);
  if (cp == std::string_view::npos) return 0;
  char c = base[cp];
  return c == 'F' || c == 'R' || c == 'L' ? c : 0;
}

std::string CompanionStem(std::string_view base) {
  if (!base.empty() && (base.back() == 'F' || base.back() == 'R')) base.remove_suffix(1);
  return std::string(base);
}

std::string PartnerName(std::string_view base) {
  if (base.empty() || (base.back() != 'F' && base.back() != 'R')) return {};
  std::string partner(base);
  partner.back() = base.back() == 'F' ? 'R' : 'F';
  return partner;
}

}  // namespace tq
