// A panel of the main view that is only its background for now (the panels whose own
// content comes later), with an optional band caption.
#pragma once

#include <QWidget>

namespace tq {

class CPanel : public QWidget {
  Q_OBJECT
 public:
  CPanel(const QColor& background, QWidget* parent = nullptr);
  // A band of the panel colour along the top edge (the panels that carry a header), x s.
  void SetBand(int height) { band_ = height; update(); }
  // A dim program logo in the middle (the empty video area).
  void SetWatermark(bool on) { watermark_ = on; update(); }
  QColor Background() const { return background_; }

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  QColor background_;
  int band_ = 0;
  bool watermark_ = false;
};

}  // namespace tq
