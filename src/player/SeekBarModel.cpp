#include "player/SeekBarModel.h"

#include <algorithm>
#include <cstdio>

namespace tq {

std::string SeekBarText(int64_t positionMs, int durationSec) {
  const int64_t s = std::max<int64_t>(0, positionMs) / 1000;
  char text[64];
  if (durationSec < kSeekBarShortSeconds) {
    std::snprintf(text, sizeof text, "%lld / %d", static_cast<long long>(s), durationSec);
  } else {
    std::snprintf(text, sizeof text, "%lld:%02lld / %d:%02d", static_cast<long long>(s / 60),
                  static_cast<long long>(s % 60), durationSec / 60, durationSec % 60);
  }
  return text;
}

int SeekBarMsPerPixel(int scale, int minutes) {
  return (kSeekBarMsPerMinute / std::max(1, scale)) * std::max(1, minutes);
}

void SeekBarSetup(SeekBarModel& bar, int durationSec, int minutes) {
  bar.durationSec = std::max(0, durationSec);
  bar.msPerPixel = SeekBarMsPerPixel(bar.scale, minutes);
  bar.played = 0;
  bar.indexed = 0;
  bar.positionMs = 0;
  bar.dragging = false;
}

void SeekBarReset(SeekBarModel& bar) {
  bar.text = kSeekBarIdleText;
  bar.durationSec = 0;
  bar.played = 0;
  bar.indexed = 0;
  bar.positionMs = 0;
  bar.enabled = false;
  bar.dragging = false;
}

SeekBarChange SeekBarSetPosition(SeekBarModel& bar, int64_t positionMs, bool forced) {
  SeekBarChange change;
  change.oldPlayed = change.newPlayed = bar.played;
  if (bar.durationSec <= 0 || bar.msPerPixel <= 0) return change;
  if (bar.dragging && !forced) return change;
  if (positionMs < 0)
    positionMs = int64_t(bar.durationSec) * 1000;
  else
    positionMs = std::min(positionMs, int64_t(bar.indexed) * bar.msPerPixel);
  bar.positionMs = positionMs;
  bar.text = SeekBarText(positionMs, bar.durationSec);
  bar.played = int(positionMs / bar.msPerPixel);
  change.applied = true;
  change.newPlayed = bar.played;
  return change;
}

bool SeekBarIndexedTo(SeekBarModel& bar, int64_t ms, int* oldIndexed) {
  if (oldIndexed) *oldIndexed = bar.indexed;
  if (bar.durationSec <= 0 || bar.msPerPixel <= 0 || ms < 0) return false;
  const int extent = int(ms / bar.msPerPixel);
  if (extent == bar.indexed) return false;
  bar.indexed = extent;
  return true;
}

bool SeekBarPress(SeekBarModel& bar, int x, int barHeight, int y) {
  const int barRight = kSeekBarWidth * bar.scale;
  if (!bar.enabled || x < 0 || x >= barRight || y < 0 || y >= barHeight) return false;
  bar.dragging = true;
  SeekBarSetPosition(bar, int64_t(bar.msPerPixel) * x, true);
  return true;
}

void SeekBarMove(SeekBarModel& bar, int x) {
  if (!bar.enabled || !bar.dragging) return;
  // Left of the bar is its start, never "the end" that a negative position means.
  SeekBarSetPosition(bar, int64_t(bar.msPerPixel) * std::max(0, x), true);
}

bool SeekBarRelease(SeekBarModel& bar, int64_t* targetMs) {
  if (!bar.dragging) return false;
  bar.dragging = false;
  *targetMs = int64_t(bar.played) * bar.msPerPixel;
  return true;
}

}  // namespace tq
