// The seek bar's state and arithmetic: how a position in milliseconds becomes the played
// extent in pixels and the time text, how far the user may drag (the indexed part only),
// and which seek a release asks for. Pure logic; the bar widget paints what this holds.
#pragma once

#include <cstdint>
#include <string>

namespace tq {

inline constexpr int kSeekBarWidth = 150;     // x scale: the bar
inline constexpr int kSeekTextWidth = 75;     // x scale: the time text right of it
inline constexpr int kSeekBarTotalWidth = kSeekBarWidth + kSeekTextWidth;
inline constexpr int kSeekBarStripHeight = 18;  // x scale
inline constexpr int kSeekBarMsPerMinute = 400; // / scale: ms per pixel for each minute
inline constexpr int kSeekBarShortSeconds = 64; // below this the text counts plain seconds
inline constexpr char kSeekBarIdleText[] = "00 / 00";

struct SeekBarModel {
  int scale = 1;
  int durationSec = 0;      // 0: nothing loaded, positions are ignored
  int msPerPixel = 0;
  int played = 0;           // pixels
  int indexed = 0;          // pixels
  int64_t positionMs = 0;   // the position the played extent was taken from
  bool enabled = false;     // playback has started
  bool dragging = false;
  std::string text = kSeekBarIdleText;
};

// "%d / %d" below 64 s, else "%d:%02d / %d:%02d" (whole seconds of the position).
std::string SeekBarText(int64_t positionMs, int durationSec);

// Milliseconds per pixel for a recording of `minutes`: (400 / scale) x minutes, so that
// the 150 x scale pixels of the bar span the whole minutes. At least one minute counts.
int SeekBarMsPerPixel(int scale, int minutes);

// Open: duration and scale of the bar; played and indexed extents start at 0.
void SeekBarSetup(SeekBarModel& bar, int durationSec, int minutes);
// Close: text "00 / 00", duration, extents and the enabled flag cleared.
void SeekBarReset(SeekBarModel& bar);

struct SeekBarChange {
  bool applied = false;   // the position was taken (a duration is set, not overruled by a drag)
  int oldPlayed = 0;
  int newPlayed = 0;
};
// A negative position is the end (the whole duration); any other position is held to the
// indexed part. While dragging only forced positions (the drag itself) are taken.
SeekBarChange SeekBarSetPosition(SeekBarModel& bar, int64_t positionMs, bool forced);

// Indexing reached `ms`; true when the indexed extent changed (old value in *oldIndexed).
bool SeekBarIndexedTo(SeekBarModel& bar, int64_t ms, int* oldIndexed = nullptr);

// Mouse, in bar pixels. Press starts a drag only when enabled and inside the bar (not on
// the text); true when it did.
bool SeekBarPress(SeekBarModel& bar, int x, int barHeight, int y);
void SeekBarMove(SeekBarModel& bar, int x);
// Ends a drag; true with the seek target in ms when a drag was running.
bool SeekBarRelease(SeekBarModel& bar, int64_t* targetMs);

}  // namespace tq
