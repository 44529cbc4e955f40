// A panel of the main view that is only its background for now (the panels whose own
// content comes later), with an optional band caption.
#pragma once

#include <QWidget>

namespace tq {

class CPanel : public QWidget {
  Q_OBJECT
 public:
  CPanel(const QColor& background, QWidget* parent = nullptr);
  QColor Background() const { return background_; }

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  QColor background_;
};

}  // namespace tq
