#include "playback/gui/CDispSubDlg.h"

#include "playback/ViewGeometry.h"
#include "playback/gui/ViewSurface.h"

namespace tq {

CDispSubDlg::CDispSubDlg(QWidget* frontView) : QWidget(frontView), surface_(new ViewSurface(this)) {
  setAttribute(Qt::WA_TransparentForMouseEvents);
  setFocusPolicy(Qt::NoFocus);
  setEnabled(false);
  hide();
}

void CDispSubDlg::Show(int position) {
  position_ = position >= kPipTopLeft && position <= kPipBottomLeft ? position : kPipHidden;
  Place();
}

void CDispSubDlg::SetActive(bool active) {
  active_ = active;
  Place();
}

void CDispSubDlg::Place() {
  const QWidget* front = parentWidget();
  if (!front) return;
  const WindowRect r = PlacePip({0, 0, front->width(), front->height()}, position_);
  if (r.width > 0) {
    setGeometry(r.x, r.y, r.width, r.height);
    surface_->setGeometry(0, 0, r.width, r.height);  // a hidden window gets no resize event
  }
  const bool visible = position_ != kPipHidden && active_ && r.width > 0 && r.height > 0;
  if (visible) raise();
  setVisible(visible);
}

void CDispSubDlg::resizeEvent(QResizeEvent* event) {
  surface_->setGeometry(rect());
  surface_->RequestPaint();
  QWidget::resizeEvent(event);
}

}  // namespace tq
