#include "player/PlayerOpen.h"

#include <cctype>

#include "container/Mp4Box.h"
#include "library/CatalogEntry.h"
#include "library/RecordingName.h"
#include "platform/Files.h"
#include "telemetry/TelemetryLoad.h"

namespace tq {
namespace {

constexpr char kTemperatureMark[] = ";T";

char Upper(char c) { return char(std::toupper(static_cast<unsigned char>(c))); }

std::string Extension(const CatalogEntry& entry) {
  return entry.ext.empty() ? std::string(KindExtension(entry.kind)) : entry.ext;
}

}  // namespace

std::string FrontPath(const std::string& folder, const CatalogEntry& entry) {
  return JoinPath(folder, entry.name + "." + Extension(entry));
}

std::string RearName(std::string_view name) {
  std::string rear(name);
  const size_t at = CameraLetterPos(name);
  if (at == std::string_view::npos || at >= rear.size()) return rear;
  rear[at] = Upper(rear[at]) == 'F' ? 'R' : 'F';
  return rear;
}

std::string RearPath(const std::string& folder, const CatalogEntry& entry) {
  return JoinPath(folder, RearName(entry.name) + "." + Extension(entry));
}

bool IsParkingRecording(const CatalogEntry& entry) {
  if (entry.kind == kKindAvi) {
    constexpr uint8_t kParkingMode = 2;
    return IsParkingAviName(entry.name, EntryClass(entry.typeCode) == kClassParking ? kParkingMode : 0);
  }
  return IsParkingMp4Name(entry.name);
}

int32_t RecordingStartCentis(int32_t hhmmss) {
  return (hhmmss / 10000 * 3600 + hhmmss / 100 % 100 * 60 + hhmmss % 100) * 100;
}

int StartOffsetSeconds(int32_t entryTime, int32_t wantedTime) {
  if (wantedTime <= 0 || wantedTime / 100 <= entryTime / 100) return 0;
  const int wantedMinute = wantedTime / 100 % 100;
  const int entryMinute = entryTime / 100 % 100;
  int d = wantedMinute - entryMinute;
  if (wantedMinute <= entryMinute) d += 60;
  return d * 60 - entryTime % 100;
}

int RecordingSecondsFromInfo(const MP4INFO& info) {
  const uint32_t id = info.ptrh.vi.streamNumber;
  for (const auto& t : info.moov.trak) {
    if (!t || t->tkhd.trackId != id || t->mdia.mdhd.timescale == 0) continue;
    return int(t->mdia.mdhd.duration / t->mdia.mdhd.timescale);
  }
  return 0;
}

std::optional<int> NoticeTemperature(std::string_view notice) {
  const size_t mark = notice.find(kTemperatureMark);
  if (mark == std::string_view::npos) return std::nullopt;
  std::string_view rest = notice.substr(mark + 2);
  rest = rest.substr(0, rest.find(';'));
  size_t i = 0;
  bool negative = false;
  if (i < rest.size() && (rest[i] == '-' || rest[i] == '+')) negative = rest[i++] == '-';
  if (i >= rest.size() || !std::isdigit(static_cast<unsigned char>(rest[i]))) return std::nullopt;
  long value = 0;
  constexpr long kLimit = 100000;  // a temperature; longer digit runs are not one
  for (; i < rest.size() && std::isdigit(static_cast<unsigned char>(rest[i])); ++i) {
    value = value * 10 + (rest[i] - '0');
    if (value > kLimit) return std::nullopt;
  }
  return int(negative ? -value : value);
}

}  // namespace tq
