#include "controls/CVelBut.h"

#include <QMouseEvent>
#include <QPainter>

namespace tq {

CVelBut::CVelBut(QWidget* parent) : QAbstractButton(parent) {
  setMouseTracking(true);
  setFocusPolicy(Qt::NoFocus);
}

void CVelBut::SetLatched(bool latched) {
  if (latched_ == latched) return;
  latched_ = latched;
  update();
}

void CVelBut::mouseMoveEvent(QMouseEvent* event) {
  if (!hover_) {
    hover_ = true;
    update();
  }
  QAbstractButton::mouseMoveEvent(event);
}

void CVelBut::leaveEvent(QEvent* event) {
  hover_ = false;
  update();
  QAbstractButton::leaveEvent(event);
}

int ImgButImageIndex(int base, int disabledIndex, bool threeState, const ImgButState& s) {
  if (s.disabled) return disabledIndex >= 0 ? disabledIndex : base;
  if (threeState) {
    if (s.hover) return s.latched ? base + 1 : base + 2;
    if (s.pressed) return base + 2;
    return s.latched ? base + 2 : base + 1;
  }
  return base + 1 + (s.latched ? 1 : 0);
}

CVelImgBut::CVelImgBut(QWidget* parent) : CVelBut(parent) {}

void CVelImgBut::SetImage(int index, bool redraw, const ImageList* list) {
  base_ = index;
  list_ = list;
  const ImageList& l = list ? *list : ImageButtonList();
  image_ = l.cell.isEmpty() ? QSize(18, 18) : l.cell;
  threeState_ = true;
  disabledIndex_ = -1;
  updateGeometry();
  if (redraw) update();
}

int CVelImgBut::CurrentImageIndex() const {
  ImgButState s{!isEnabled(), Hovering(), isDown(), Latched()};
  return ImgButImageIndex(base_, disabledIndex_, threeState_, s);
}

QSize CVelImgBut::sizeHint() const { return image_ * GuiScale(); }

void CVelImgBut::paintEvent(QPaintEvent*) {
  const ImageList& list = list_ ? *list_ : ImageButtonList();
  if (const QPixmap* image = list.At(CurrentImageIndex())) {
    QPainter p(this);
    p.drawPixmap(QRect(QPoint(0, 0), image_ * GuiScale()), *image);
  }
}

CVelChkBut::CVelChkBut(QWidget* parent) : QAbstractButton(parent) {
  setCheckable(true);
  setFocusPolicy(Qt::NoFocus);
}

void CVelChkBut::SetImage(int base, const ImageList* list) {
  base_ = base;
  list_ = list;
  image_ = (list ? *list : CheckButtonList()).cell;
  updateGeometry();
  update();
}

QSize CVelChkBut::sizeHint() const { return image_ * GuiScale(); }

void CVelChkBut::paintEvent(QPaintEvent*) {
  const ImageList& list = list_ ? *list_ : CheckButtonList();
  if (const QPixmap* image = list.At(CurrentImageIndex())) {
    QPainter p(this);
    p.drawPixmap(QRect(QPoint(0, 0), image_ * GuiScale()), *image);
  }
}

}  // namespace tq
