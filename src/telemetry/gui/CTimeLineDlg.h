// The timeline panel under the player: the month calendar, the timeline rows and the
// G-sensor graph. Their clicks arrive here as navigation requests (kMsgSeekRequest) and
// become a date filter of the file list, a seek in the playing recording or the opening of
// the recording of another moment. The player tells the panel which recording plays and
// where. GUI thread only.
#pragma once

#include <QWidget>
#include <cstdint>
#include <functional>
#include <vector>

#include "library/CatalogEntry.h"
#include "telemetry/TimeLine.h"

namespace tq {

class CVelCalendar;
class CVel3GFLine;
class CVelTimeLine;

class CTimeLineDlg : public QWidget {
  Q_OBJECT
 public:
  // What the panel asks of the file list and the player (set by the main view).
  struct Navigator {
    std::function<int32_t()> dayFilter;                             // 0: every day
    std::function<void(int32_t day)> setDayFilter;                  // refills the list
    std::function<bool(int32_t date, int32_t time, int firstRow)> playAtTime;
    std::function<bool()> waitingToStart;                           // opened, not yet started
    std::function<void(int32_t seconds)> setPendingStart;
    std::function<void(int64_t ms)> seek;
  };

  explicit CTimeLineDlg(QWidget* parent = nullptr);

  void SetNavigator(Navigator navigator) { nav_ = std::move(navigator); }
  // The catalog's index (and how to fill an hour's minutes) after every fill of the list.
  void SetIndex(const RecordingIndex* index, TimeLineModel::FillMinutesFn fill);
  void SetDates(const std::vector<int32_t>& dates);
  void SetEventThreshold(int threshold);

  // The player opened `entry` (duration known); full reset also lays out the graph's slots.
  void SetRecording(const CatalogEntry& entry, bool fullReset);
  void Set3GF(const uint8_t* block, int64_t length, int32_t durationSeconds, uint8_t secondsPerSlot);
  void SetPos(int64_t ms);
  // Playback closed: no recording, an empty graph.
  void Clear();

  CVelCalendar* Calendar() const { return calendar_; }
  CVelTimeLine* TimeLine() const { return timeline_; }
  CVel3GFLine* Graph() const { return graph_; }
  const RecordingMinutes& Playing() const { return playing_; }

 protected:
  bool event(QEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void paintEvent(QPaintEvent* event) override;

 private:
  void OnNavigate(long long wParam, long long lParam);
  void SeekOrStart(int32_t seconds);
  void DoLayout();

  int scale_;
  CVelCalendar* calendar_;  // children
  CVelTimeLine* timeline_;
  CVel3GFLine* graph_;
  Navigator nav_;
  const RecordingIndex* index_ = nullptr;
  TimeLineModel::FillMinutesFn fill_;
  RecordingMinutes playing_;  // firstWhole -1: nothing plays
  int columnX_ = -1;
};

}  // namespace tq
