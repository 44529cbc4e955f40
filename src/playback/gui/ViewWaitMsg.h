// The wait indicator shown over the front view while playback waits for indexing: the
// wait animation centred in the view, stepped every 100 ms while visible. GUI thread.
#pragma once

#include <QBasicTimer>
#include <QWidget>

namespace tq {

class ViewWaitMsg : public QWidget {
  Q_OBJECT
 public:
  static constexpr int kFrameMs = 100;
  explicit ViewWaitMsg(QWidget* view);
  int Frame() const { return frame_; }
  // Centres itself in the view (after the view was resized).
  void Place();

 protected:
  void showEvent(QShowEvent* event) override;
  void hideEvent(QHideEvent* event) override;
  void timerEvent(QTimerEvent* event) override;
  void paintEvent(QPaintEvent* event) override;

 private:
  QBasicTimer timer_;
  int frame_ = 0;
};

}  // namespace tq
