// The seek bar of the player panel: played and indexed parts, the time text, and a drag
// limited to the indexed part that asks the owner for a seek when released
// (kMsgSeekRequest, wParam 0, lParam the target in ms). GUI thread only.
#pragma once

#include <QWidget>

#include "player/SeekBarModel.h"

namespace tq {

class CVelTimeBar : public QWidget {
  Q_OBJECT
 public:
  // `owner` receives the seek requests; it outlives the bar.
  CVelTimeBar(QObject* owner, QWidget* parent = nullptr);

  // Open: duration (s) and the recording's whole minutes. Close: back to "00 / 00".
  void Setup(int durationSec, int minutes);
  void Reset();
  void SetEnabledForInput(bool on) { model_.enabled = on; }
  // Position in ms (negative: the end). Not forced: ignored while the user drags.
  void SetPosition(int64_t ms, bool forced = false);
  // Indexing reached ms; repaints the strip that changed.
  void SetIndexedTo(int64_t ms);

  const SeekBarModel& Model() const { return model_; }
  QString Text() const { return QString::fromStdString(model_.text); }
  // The exact position last shown (ms), for the print time stamp.
  int64_t PositionMs() const { return model_.positionMs; }
  QSize sizeHint() const override;

 protected:
  void paintEvent(QPaintEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;

 private:
  QRect TextRect() const;
  void RepaintStrip(int from, int to);

  QObject* owner_;
  SeekBarModel model_;
};

}  // namespace tq
