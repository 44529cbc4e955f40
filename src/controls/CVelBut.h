// Owner-drawn buttons: the hover-tracking base and the image buttons.
#pragma once

#include <QAbstractButton>

#include "controls/GuiSkin.h"

namespace tq {

// Button base: the first mouse move over the button sets the hover look, leaving clears it.
class CVelBut : public QAbstractButton {
  Q_OBJECT
 public:
  explicit CVelBut(QWidget* parent = nullptr);
  bool Hovering() const { return hover_; }
  // The "on" look of a toggle that the owner keeps.
  void SetLatched(bool latched);
  bool Latched() const { return latched_; }

 protected:
  void mouseMoveEvent(QMouseEvent* event) override;
  void leaveEvent(QEvent* event) override;

 private:
  bool hover_ = false;
  bool latched_ = false;
};

// Which image of the list an image button draws; the list holds, from the base index on,
// disabled, normal and active.
struct ImgButState {
  bool disabled = false;
  bool hover = false;
  bool pressed = false;
  bool latched = false;
};
int ImgButImageIndex(int base, int disabledIndex, bool threeState, const ImgButState& state);

class CVelImgBut : public CVelBut {
  Q_OBJECT
 public:
  explicit CVelImgBut(QWidget* parent = nullptr);
  // Base index; the image size comes from the list (the shared list when null). Turns the
  // three-state look on and clears the disabled index.
  void SetImage(int index, bool redraw = true, const ImageList* list = nullptr);
  void SetDisabledImage(int index) { disabledIndex_ = index; update(); }
  void SetThreeState(bool on) { threeState_ = on; update(); }
  int CurrentImageIndex() const;
  QSize sizeHint() const override;

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  const ImageList* list_ = nullptr;  // shared list when null
  int base_ = -1;
  int disabledIndex_ = -1;
  bool threeState_ = false;
  QSize image_{18, 18};
};

// Two-state image check button: image base + checked.
class CVelChkBut : public QAbstractButton {
  Q_OBJECT
 public:
  explicit CVelChkBut(QWidget* parent = nullptr);
  void SetImage(int base, const ImageList* list = nullptr);
  int CurrentImageIndex() const { return base_ + (isChecked() ? 1 : 0); }
  QSize sizeHint() const override;

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  const ImageList* list_ = nullptr;
  int base_ = 0;
  QSize image_{23, 23};
};

}  // namespace tq
