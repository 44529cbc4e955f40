// The map panel's overlay: the enlarge button (asks the main view for the enlarged map
// mode) and the save-track button. Drawn over the map, with the panel colour see-through.
#pragma once

#include <QWidget>

namespace tq {

class CMapBut : public QWidget {
  Q_OBJECT
 public:
  static constexpr int kSide = 23;  // x scale, one button
  static constexpr int kGap = 4;
  enum Part { kEnlarge = 0, kSave = 1 };

  // `target` receives UM_TOGGLE_VIEW_MODE (1, 0) on the enlarge button.
  CMapBut(QWidget* target, QWidget* parent = nullptr);
  bool Enlarged() const { return enlarged_; }
  // The mode was left elsewhere (Escape): the button follows without posting.
  void SetEnlarged(bool on);
  void SetSaveEnabled(bool on);
  bool SaveEnabled() const { return saveEnabled_; }
  QString ToolTipKey(Part part) const;
  QRect PartRect(Part part) const;
  QSize sizeHint() const override;

 signals:
  void saveClicked();

 protected:
  bool event(QEvent* event) override;
  void paintEvent(QPaintEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;

 private:
  QWidget* target_;
  bool enlarged_ = false;
  bool saveEnabled_ = false;
};

}  // namespace tq
