// The picture-in-picture: the rear camera's window floating over a corner of the front
// view, a third of its width and height. It takes no mouse or keyboard input (clicks go
// through to the front view). GUI thread only.
#pragma once

#include <QWidget>

namespace tq {

class ViewSurface;

class CDispSubDlg : public QWidget {
  Q_OBJECT
 public:
  // frontView: the window it floats over (its parent).
  explicit CDispSubDlg(QWidget* frontView);

  ViewSurface* surface() const { return surface_; }

  // Position 0 hidden, 1 top-left, 2 top-right, 3 bottom-right, 4 bottom-left.
  void Show(int position);
  int position() const { return position_; }
  // Whether a rear picture is being played; without one the window stays hidden.
  void SetActive(bool active);
  bool active() const { return active_; }
  // Re-places the window over the front view (after the front view was resized).
  void Place();

 protected:
  void resizeEvent(QResizeEvent* event) override;

 private:
  ViewSurface* surface_;  // child
  int position_ = 0;
  bool active_ = false;
};

}  // namespace tq
