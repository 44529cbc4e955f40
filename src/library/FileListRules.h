// The file list panel's decisions, kept apart from its window so they run without a
// display: which catalog entries the filters show, how a row is named, which recording
// plays next, which one a point of the timeline starts, and how the played and clicked rows
// move when rows are deleted. Everything here works on rows (list order = catalog order of
// the listed entries); row -1 means "none".
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "library/CatalogEntry.h"

namespace tq {

// Bit 31 of a play request's wanted time: open the front/rear pair together.
constexpr uint32_t kPairRequestBit = 0x80000000u;
// Added to a wanted time of day when the recording started the day before.
constexpr int32_t kPreviousDayTime = 240000;
// The camera letter the panel keeps for a recording without a front/rear letter (and AVI).
constexpr char kNoCameraLetter = 'N';

// The six filter switches (all on at start) and the calendar's day filter.
struct FilterSwitches {
  bool front = true;
  bool rear = true;
  bool normal = true;
  bool event = true;
  bool parking = true;
  bool manual = true;
  int32_t day = 0;  // YYYYMMDD chosen in the calendar, 0 for every day
};

// Whether the entry is listed: the camera switches apply to front and rear only (the third
// camera is never hidden by them), the class switch to every camera.
bool PassesFilter(const CatalogEntry& entry, const FilterSwitches& filters);

// The text of a row: the base name, or for an AVI recording the date and time part of its
// name followed by the class letter (N, E, or I for an event recorded while parked, P) and
// the camera letter when the name carries one.
std::string RowDisplayName(const CatalogEntry& entry);
std::string AviDisplayName(std::string_view base, uint8_t typeCode);

// The camera letter kept while a recording plays: 'F' or 'R' from an MP4 name, else 'N'.
char PlayingCameraLetter(const CatalogEntry& entry);
// The camera letter of a row's text (the last letter, or the one before a final "S");
// 0 for an empty text.
char RowCameraLetter(std::string_view rowText);

// Whether the play request for `row` opens the front/rear pair: only with the
// picture-in-picture preference 1; a front MP4 row pairs with an "R" row below it of the
// same name, a rear row with an "F" row above it; an AVI row when the fourth character of
// its name is "1" (both cameras in one file). `rows` are the listed entries by row.
bool IsPairRequest(const std::vector<const CatalogEntry*>& rows, int row, int videoPip);

// The row PlayNext continues with after `current` ended (the next newer recording is the
// row above): with camera letter 'N' (or 0) simply the row above, else the nearest row
// above whose text has the same camera letter. -1 when there is none.
int NextRowToPlay(const std::vector<std::string>& rowTexts, int current, char cameraLetter);

// What a click on the timeline at (date, time) starts.
struct AtTimeChoice {
  int row = -1;        // -1: nothing to start
  int32_t wanted = 0;  // wanted time of day HHMMSS for the play request (0: from the start)
};
// Returns the entry's duration in seconds, probing it when it is not known yet.
using RowDurationFn = std::function<int32_t(const CatalogEntry&)>;
// From `firstRow` down (older recordings), the first recording that started before the
// moment and still covers it starts at the moment; a gap starts the first recording after
// it (a rear row then gives way to its front partner of the same moment).
AtTimeChoice FindRowAtTime(const std::vector<const CatalogEntry*>& rows, int32_t date, int32_t time,
                           int firstRow, const RowDurationFn& duration);

// The played and last clicked rows of the panel.
struct RowMarks {
  int current = -1;
  int clicked = -1;
};
// After row `deleted` is removed: a mark on it becomes -1, marks below it move up one.
void AdjustMarksForDeletedRow(RowMarks* marks, int deleted);
// Whether deleting `row` pulls the playing recording away: it is the current row, or the
// pair partner of a playing front (the row below) or rear (the row above).
bool TouchesPlaying(int row, int current, char playingLetter);

// Deleting ticked rows: the rows in the order they leave the list (last to first), the
// names in catalog order for the catalog, whether the player must be closed first, and the
// marks afterwards.
struct DeletePlan {
  std::vector<int> rowsBottomUp;
  std::vector<std::string> names;
  bool closePlayer = false;
  RowMarks marks;
};
// `ticked` are the ticked rows (any order) and `rowNames` the base names by row.
DeletePlan PlanDelete(std::vector<int> ticked, const std::vector<std::string>& rowNames, RowMarks marks,
                      char playingLetter);

// The progress dialog's percentage after `done` of `count` files: floor(done * 100 / count).
int ProgressPercent(int done, int count);

}  // namespace tq
