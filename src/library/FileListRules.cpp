#include "library/FileListRules.h"

#include <algorithm>

#include "library/RecordingIndex.h"
#include "library/RecordingName.h"

namespace tq {
namespace {

// AVI names: date, separator, time, separator are characters 10..25.
constexpr size_t kAviShownFrom = 10;
constexpr size_t kAviShownChars = 16;
constexpr size_t kAviCameraFromEnd = 3;
// AVI names carrying both cameras have "1" here.
constexpr size_t kAviPairFlagAt = 3;
constexpr char kAviPairFlag = '1';
constexpr int kCameraFront = 0;
constexpr int kCameraRear = 1;

bool CameraShown(int camera, const FilterSwitches& f) {
  if (camera == kCameraFront) return f.front;
  if (camera == kCameraRear) return f.rear;
  return true;  // the third camera has no switch
}

bool ClassShown(int cls, const FilterSwitches& f) {
  switch (cls) {
    case kClassNormal: return f.normal;
    case kClassEvent: return f.event;
    case kClassParking: return f.parking;
    default: return f.manual;
  }
}

// Whether the entry's recording still runs at the moment (date, time): its start plus its
// duration, in the camera's local time, is not earlier than the moment.
bool Covers(const CatalogEntry& e, int32_t seconds, int32_t date, int32_t time) {
  if (!IsCalendarMoment(e.date, e.time) || !IsCalendarMoment(date, time)) return false;
  return CivilSeconds(e.date, e.time) + std::max(seconds, 0) >= CivilSeconds(date, time);
}

// The name before the camera letter at `pos`, and whether `other` has `letter` there.
bool SameNameWithLetter(std::string_view name, size_t pos, std::string_view other, char letter) {
  return other.size() > pos && other[pos] == letter && other.substr(0, pos) == name.substr(0, pos);
}

}  // namespace

bool PassesFilter(const CatalogEntry& entry, const FilterSwitches& filters) {
  if (!CameraShown(EntryCamera(entry.typeCode), filters)) return false;
  if (!ClassShown(EntryClass(entry.typeCode), filters)) return false;
  return filters.day == 0 || filters.day == entry.date;
}

std::string AviDisplayName(std::string_view base, uint8_t typeCode) {
  std::string shown;
  if (base.size() > kAviShownFrom) shown = base.substr(kAviShownFrom, kAviShownChars);
  switch (EntryClass(typeCode)) {
    case kClassEvent: shown += !base.empty() && base.back() == 'P' ? 'I' : 'E'; break;
    case kClassParking: shown += 'P'; break;
    default: shown += 'N'; break;
  }
  if (base.size() >= kAviCameraFromEnd) {
    char camera = base[base.size() - kAviCameraFromEnd];
    if (camera == 'F' || camera == 'R') shown += camera;
  }
  return shown;
}

std::string RowDisplayName(const CatalogEntry& entry) {
  return entry.kind == kKindAvi ? AviDisplayName(entry.name, entry.typeCode) : entry.name;
}

char PlayingCameraLetter(const CatalogEntry& entry) {
  if (entry.kind == kKindAvi) return kNoCameraLetter;
  char c = RowCameraLetter(entry.name);
  return c == 'F' || c == 'R' ? c : kNoCameraLetter;
}

char RowCameraLetter(std::string_view rowText) {
  size_t pos = CameraLetterPos(rowText);
  return pos == std::string_view::npos ? 0 : rowText[pos];
}

bool IsPairRequest(const std::vector<const CatalogEntry*>& rows, int row, int videoPip) {
  if (videoPip != 1 || row < 0 || size_t(row) >= rows.size()) return false;
  const CatalogEntry& e = *rows[size_t(row)];
  if (e.kind == kKindAvi) return e.name.size() > kAviPairFlagAt && e.name[kAviPairFlagAt] == kAviPairFlag;
  size_t pos = CameraLetterPos(e.name);
  if (pos == std::string::npos) return false;
  if (e.name[pos] == 'F' && size_t(row) + 1 < rows.size())
    return SameNameWithLetter(e.name, pos, rows[size_t(row) + 1]->name, 'R');
  if (e.name[pos] == 'R' && row > 0) return SameNameWithLetter(e.name, pos, rows[size_t(row) - 1]->name, 'F');
  return false;
}

int NextRowToPlay(const std::vector<std::string>& rowTexts, int current, char cameraLetter) {
  if (current < 0 || size_t(current) >= rowTexts.size()) return -1;
  int row = current - 1;
  if (cameraLetter == 0 || cameraLetter == kNoCameraLetter) return row;
  for (; row >= 0; --row)
    if (RowCameraLetter(rowTexts[size_t(row)]) == cameraLetter) return row;
  return -1;
}

AtTimeChoice FindRowAtTime(const std::vector<const CatalogEntry*>& rows, int32_t date, int32_t time,
                           int firstRow, const RowDurationFn& duration) {
  AtTimeChoice choice;
  const int count = int(rows.size());
  int stop = std::max(firstRow, 0);
  for (; stop < count; ++stop) {
    const CatalogEntry& e = *rows[size_t(stop)];
    if (e.date < date) {
      if (Covers(e, duration(e), date, time)) {
        choice.row = stop;
        choice.wanted = time + kPreviousDayTime;
      }
      break;
    }
    if (e.date == date && e.time < time) {
      if (stop == 0 || Covers(e, duration(e), date, time)) {
        choice.row = stop;
        choice.wanted = time;
      }
      break;
    }
  }
  if (choice.row >= 0) return choice;
  // A gap (or the list ended): the first recording after the moment, from its start.
  int row = stop < count ? stop - 1 : count - 1;
  if (row < 0) return choice;
  const CatalogEntry& e = *rows[size_t(row)];
  if (row > 0 && e.kind == kKindMp4 && RowCameraLetter(e.name) == 'R') {
    const CatalogEntry& above = *rows[size_t(row) - 1];
    if (above.date == e.date && above.time == e.time && RowCameraLetter(above.name) == 'F') --row;
  }
  choice.row = row;
  return choice;
}

void AdjustMarksForDeletedRow(RowMarks* marks, int deleted) {
  for (int* mark : {&marks->current, &marks->clicked}) {
    if (*mark == deleted) *mark = -1;
    else if (*mark > deleted) --*mark;
  }
}

bool TouchesPlaying(int row, int current, char playingLetter) {
  if (current < 0) return false;
  if (row == current) return true;
  if (playingLetter == 'F') return row == current + 1;
  if (playingLetter == 'R') return row == current - 1;
  return false;
}

DeletePlan PlanDelete(std::vector<int> ticked, const std::vector<std::string>& rowNames, RowMarks marks,
                      char playingLetter) {
  DeletePlan plan;
  std::sort(ticked.begin(), ticked.end(), std::greater<int>());
  ticked.erase(std::unique(ticked.begin(), ticked.end()), ticked.end());
  for (int row : ticked) {
    if (row < 0 || size_t(row) >= rowNames.size()) continue;
    if (TouchesPlaying(row, marks.current, playingLetter)) plan.closePlayer = true;
    plan.rowsBottomUp.push_back(row);
    plan.names.push_back(rowNames[size_t(row)]);
    AdjustMarksForDeletedRow(&marks, row);
  }
  std::reverse(plan.names.begin(), plan.names.end());  // catalog order
  plan.marks = marks;
  return plan;
}

int ProgressPercent(int done, int count) {
  if (count <= 0) return 0;
  return int(int64_t(std::clamp(done, 0, count)) * 100 / count);
}

}  // namespace tq
