#include "export/ExportPlan.h"

#include <algorithm>
#include <cstdio>
#include <ctime>

#include "container/Mp4Export.h"

namespace tq {
namespace {

constexpr uint32_t kMicrosecondsPerSecond = 1000000;
constexpr size_t kAviPrefix = 10;      // the camera's prefix before the date
constexpr size_t kAviStemLength = 25;  // prefix, date, '_', time
constexpr size_t kAviZeroedChar = 3;   // the pair digit: an export holds one camera
constexpr size_t kNameDateTime = 15;   // "YYYYMMDD_HHMMSS"
constexpr size_t kRearLetterFromEnd = 7;  // "F_N.avi": the camera letter before ".avi"

bool ToTm(int64_t seconds, std::tm* tm) {
  const std::time_t t = std::time_t(seconds);
  return gmtime_r(&t, tm) != nullptr;
}

std::string Strftime(int64_t seconds, const char* format) {
  std::tm tm{};
  if (!ToTm(seconds, &tm)) return {};
  char text[64];
  const size_t n = std::strftime(text, sizeof text, format, &tm);
  return std::string(text, n);
}

}  // namespace

int ExportLengthSec(uint64_t duration, uint32_t timescale) {
  MVHDBOX mvhd;
  mvhd.duration = duration;
  mvhd.timescale = timescale;
  return RecordingLengthSec(mvhd);
}

int AviExportLengthSec(uint32_t totalFrames, uint32_t microsecondsPerFrame) {
  if (microsecondsPerFrame == 0 || microsecondsPerFrame > kMicrosecondsPerSecond) return 0;
  return int(totalFrames / (kMicrosecondsPerSecond / microsecondsPerFrame));
}

bool RecordingStartSeconds(int32_t date, int32_t time, int64_t* seconds) {
  std::tm tm{};
  tm.tm_year = date / 10000 - 1900;
  tm.tm_mon = date / 100 % 100 - 1;
  tm.tm_mday = date % 100;
  tm.tm_hour = time / 10000;
  tm.tm_min = time / 100 % 100;
  tm.tm_sec = time % 100;
  if (date <= 0 || time < 0 || tm.tm_mon < 0 || tm.tm_mon > 11 || tm.tm_mday < 1 ||
      tm.tm_mday > 31 || tm.tm_hour > 23 || tm.tm_min > 59 || tm.tm_sec > 59)
    return false;
  *seconds = int64_t(timegm(&tm));
  return true;
}

std::string FormatStartText(int64_t seconds) { return Strftime(seconds, "%Y-%m-%d %H:%M:%S"); }
std::string FormatNameTime(int64_t seconds) { return Strftime(seconds, "%Y%m%d_%H%M%S"); }

std::string LengthText(int lengthSec, const std::string& minText, const std::string& secText) {
  char text[64];
  std::snprintf(text, sizeof text, "%d %s %d ", lengthSec / 60, minText.c_str(), lengthSec % 60);
  return text + secText;
}

std::string ProposedMp4Name(const std::string& name, int64_t startSeconds, int fromSec) {
  if (fromSec <= 0) return name;
  const std::string rest = name.size() > kNameDateTime ? name.substr(kNameDateTime) : std::string();
  return FormatNameTime(startSeconds + fromSec) + rest;
}

std::string ProposedAviName(const std::string& name, int64_t startSeconds, int fromSec,
                            bool front) {
  std::string n = name;
  if (n.size() > kAviZeroedChar) n[kAviZeroedChar] = '0';
  const char last = name.empty() ? 'N' : name.back();
  const std::string tail = std::string("_") + (front ? 'F' : 'R') + "_" + last;
  if (fromSec <= 0) return n.substr(0, kAviStemLength) + tail;
  return n.substr(0, kAviPrefix) + FormatNameTime(startSeconds + fromSec) + tail;
}

std::string RearAviPath(const std::string& frontPath) {
  std::string path = frontPath;
  if (path.size() >= kRearLetterFromEnd) path[path.size() - kRearLetterFromEnd] = 'R';
  return path;
}

bool ExportRangeValid(int fromSec, int toSec, int lengthSec) {
  return RangeRefusal(fromSec, toSec, lengthSec).empty();
}

ExportRange PlayerExportRange(int64_t positionMs, int lengthSec) {
  ExportRange r;
  if (lengthSec <= 0) return r;
  const int64_t second = std::max<int64_t>(positionMs, 0) / 1000;
  r.fromSec = int(std::min<int64_t>(second, lengthSec - 1));
  r.toSec = std::min(r.fromSec + kPlayerExportSeconds, lengthSec);
  return r;
}

}  // namespace tq
