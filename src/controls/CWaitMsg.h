// The animated wait indicator and the semi-transparent on-video toggle button.
#pragma once

#include <QBasicTimer>
#include <QDialog>
#include <QWidget>

namespace tq {

// Modal wait indicator, 100 x 100 x s, centred over its owner panel; a 100 ms timer steps
// the animation. Whoever opened it closes it with accept().
class CWaitMsg : public QDialog {
  Q_OBJECT
 public:
  static constexpr int kFrameMs = 100;
  explicit CWaitMsg(QWidget* owner);
  int Frame() const { return frame_; }

 protected:
  void showEvent(QShowEvent* event) override;
  void hideEvent(QHideEvent* event) override;
  void timerEvent(QTimerEvent* event) override;
  void paintEvent(QPaintEvent* event) override;

 private:
  QBasicTimer timer_;
  int frame_ = 0;
};

// A toggle drawn over the video at alpha 120; a click flips it and emits `toggled`
// (wParam -1, lParam the new state).
class CDispBut : public QWidget {
  Q_OBJECT
 public:
  static constexpr int kAlpha = 120;
  explicit CDispBut(QWidget* parent = nullptr);
  bool State() const { return state_; }
  void SetState(bool on);
  QSize sizeHint() const override;

 signals:
  void toggled(int wParam, int lParam);

 protected:
  void paintEvent(QPaintEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;

 private:
  bool state_ = false;
};

}  // namespace tq
