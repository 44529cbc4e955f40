// The timeline: three stacked rows, the hours of the shown day, the minutes of the selected
// hour and the slots of the playing recording, coloured by recording level. A click on a
// cell posts a navigation request to the owner (kMsgSeekRequest, wParam 1 hour, 2 minute,
// 3 seconds into the recording); playback crossing midnight posts wParam -1 with the new
// day. With the focus, Left/Right move the minute, Up/Down the hour and Enter plays the
// selected minute. GUI thread only.
#pragma once

#include <QImage>
#include <QWidget>
#include <mutex>

#include "telemetry/TimeLine.h"

namespace tq {

class CVelTimeLine : public QWidget {
  Q_OBJECT
 public:
  // `owner` receives the requests and outlives the timeline.
  CVelTimeLine(QObject* owner, QWidget* parent = nullptr);

  // The catalog's index and how to fill an hour's minute levels.
  void SetIndex(const RecordingIndex* index, TimeLineModel::FillMinutesFn fill);
  // After every fill of the file list: shows the index's first day (reset: forgets the
  // recording and selects the day's first hour).
  void SetDay(bool reset);
  void SetRecording(int32_t date, int hour, int minute, int32_t startSeconds, int32_t duration,
                    int secondsPerSlot, int recordingClass, bool crossesMidnight);
  // Seconds into the playing recording.
  void SetPos(int32_t seconds);
  // The owner has dealt with the pending click (it stays drawn until playback reaches it
  // for the slot row).
  void ClearClick();
  // Playback closed: the slot row empties (the selected hour and minute stay).
  void ClearRecording();

  const TimeLineModel& Model() const { return model_; }
  // The centre of a cell of row r (0 hours, 1 minutes, 2 slots), widget coordinates.
  QPoint CellCentre(int row, int cell) const;
  const QImage& Picture() const { return picture_; }

 protected:
  void paintEvent(QPaintEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  void focusInEvent(QFocusEvent* event) override;
  void focusOutEvent(QFocusEvent* event) override;

 private:
  void Render();
  QRect CellRect(int row, int cell) const;
  void Post(int wParam, int32_t lParam);

  QObject* owner_;
  int scale_;
  TimeLineModel model_;
  std::mutex lock_;  // position updates against day changes
  QImage picture_;   // the rendered rows, drawing width x height
};

}  // namespace tq
