#include "telemetry/TelemetryLoad.h"

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <system_error>

#include "app/TraceLog.h"
#include "container/MediaFile.h"
#include "platform/Files.h"
#include "telemetry/GSensorGraph.h"

namespace tq {
namespace {

constexpr const char* kTag = "CDispCtrlDlg::SetData";
constexpr size_t kTimeField = 9;   // "YYYYMMDD_" then HHMMSS
constexpr size_t kTimeDigits = 6;

char Upper(char c) { return char(std::toupper(static_cast<unsigned char>(c))); }

bool EqualNoCase(const std::string& a, const std::string& b) {
  return a.size() == b.size() &&
         std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) { return Upper(x) == Upper(y); });
}

// Length of the data to keep when `have` bytes were read and more did not fit.
uint32_t CutLength(const uint8_t* data, uint32_t have, CutRule cut) {
  if (cut == CutRule::Records3gf) return have - have % k3gfRecordSize;
  for (uint32_t n = have; n > 0; --n) {
    if (data[n - 1] == '\n' || data[n - 1] == '\r') return n;
  }
  return 0;
}

// The entry of `folder` named `file` regardless of case (the card's file system does not
// tell case apart); "" when absent.
std::string FindNoCase(const std::string& folder, const std::string& file) {
  std::error_code ec;
  std::string exact = JoinPath(folder, file);
  if (std::filesystem::is_regular_file(exact, ec)) return exact;
  std::filesystem::directory_iterator it(folder.empty() ? "." : folder, ec), end;
  for (; !ec && it != end; it.increment(ec)) {
    if (EqualNoCase(it->path().filename().string(), file) && it->is_regular_file(ec))
      return it->path().string();
  }
  return {};
}

}  // namespace

int ReadWholeFile(const std::string& path, uint8_t* buffer, uint32_t capacity, uint32_t* size,
                  CutRule cut) {
  *size = 0;
  if (!buffer || capacity < 1) return 0;
  MediaFile::OpenError error;
  auto f = MediaFile::Open(path, "rb", &error);
  if (!f) {
    TraceLog(kTag, __LINE__, "%s file open failed\n", path.c_str());
    return 0;
  }
  uint64_t length = f->Length();
  uint32_t room = capacity - 1;  // the 0 byte behind the data
  uint32_t want = uint32_t(std::min<uint64_t>(length, room));
  if (want == 0 || !f->Read(buffer, want)) {
    TraceLog(kTag, __LINE__, "%s file read failed\n", path.c_str());
    return 0;
  }
  if (length > room) {
    want = CutLength(buffer, want, cut);
    TraceLog(kTag, __LINE__, "%s is %llu bytes, only the first %u fit the %u-byte buffer\n",
             path.c_str(), static_cast<unsigned long long>(length), want, capacity);
  }
  buffer[want] = 0;
  *size = want;
  return 1;
}

std::string TelemetryStem(const std::string& name) {
  std::string stem = name;
  if (!stem.empty() && Upper(stem.back()) == 'S') stem.pop_back();
  if (!stem.empty()) {
    char c = Upper(stem.back());
    if (c == 'F' || c == 'R' || c == 'L') stem.pop_back();
  }
  return stem;
}

std::string FindCompanion(const std::string& folder, const std::string& name,
                          const std::string& extension) {
  std::string found = FindNoCase(folder, TelemetryStem(name) + extension);
  if (found.empty() && !name.empty() && Upper(name.back()) == 'S')
    found = FindNoCase(folder, name + extension);
  return found;
}

bool IsParkingMp4Name(const std::string& name) {
  std::string stem = TelemetryStem(name);
  if (stem.empty()) return false;
  char c = Upper(stem.back());
  return c == 'P' || c == 'I';
}

bool IsParkingAviName(const std::string& name, uint8_t mode) {
  constexpr uint8_t kParkingMode = 2;
  return mode == kParkingMode || (!name.empty() && Upper(name.back()) == 'P');
}

int32_t StartOfDayFromName(const std::string& name) {
  if (name.size() < kTimeField + kTimeDigits) return -1;
  int32_t hhmmss = 0;
  for (size_t i = kTimeField; i < kTimeField + kTimeDigits; ++i) {
    if (!std::isdigit(static_cast<unsigned char>(name[i]))) return -1;
    hhmmss = hhmmss * 10 + (name[i] - '0');
  }
  return (hhmmss / 10000 * 3600 + hhmmss / 100 % 100 * 60 + hhmmss % 100) * 100;
}

void PrepareTelemetryInfo(MP4INFO& info, TelemetryBuffers& buffers) {
  info.gpsLength = -1;
  info.sensorEnd = -1;
  info.gpsBuffer.data = buffers.telemetry.data();
  info.gpsBuffer.capacity = kTelemetryBufferSize;
}

void LoadTelemetry(GpsTrack& track, const RecordingRef& recording, const MP4INFO* info,
                   TelemetryBuffers& buffers, const SensorSink& toTimeline) {
  if (recording.kind == RecordingKind::Mp4) {
    if (info && (info->gpsLength != -1 || info->sensorEnd != -1)) {
      // Embedded telemetry. The reader keeps both inside the buffer; hold it to that.
      int32_t sensorEnd = info->sensorEnd;
      if (!info->sensorBuffer || sensorEnd < 0 || uint32_t(sensorEnd) > info->sensorCapacity)
        sensorEnd = -1;
      if (toTimeline) toTimeline(sensorEnd >= 0 ? info->sensorBuffer : nullptr, sensorEnd);
      int32_t gpsLength = std::min<int64_t>(info->gpsLength, info->gpsBuffer.capacity);
      if (!recording.parking && info->gpsBuffer.data) {
        if (info->gps2Layout)
          ParseBinaryGps(track, info->gpsBuffer.data, gpsLength, info->startTime);
        else
          ParseNmeaText(track, info->gpsBuffer.data, gpsLength);
      }
    } else {
      uint32_t size = 0;
      std::string sensorPath = FindCompanion(recording.folder, recording.name, ".3gf");
      if (sensorPath.empty()) sensorPath = JoinPath(recording.folder, TelemetryStem(recording.name) + ".3gf");
      if (ReadWholeFile(sensorPath, buffers.sensor.data(), kSensorBufferSize, &size,
                        CutRule::Records3gf) &&
          toTimeline)
        toTimeline(buffers.sensor.data(), int32_t(size));
      if (!recording.parking) {
        std::string gpsPath = FindCompanion(recording.folder, recording.name, ".gps");
        if (gpsPath.empty()) gpsPath = JoinPath(recording.folder, TelemetryStem(recording.name) + ".gps");
        if (ReadWholeFile(gpsPath, buffers.telemetry.data(), kTelemetryBufferSize, &size,
                          CutRule::Lines))
          ParseNmeaText(track, buffers.telemetry.data(), int32_t(size));
      }
    }
  }
  // Nothing of this recording may later pass for an AVI batch.
  buffers.sensor[0] = 0;
  buffers.telemetry[0] = 0;
}

}  // namespace tq
