// The motion-region dialog: the newest recording's picture with a grid of detection
// cells over it, one tab per camera. A cell's bit is set when motion there counts.
// GUI thread only.
#pragma once

#include <QDialog>
#include <QImage>
#include <array>
#include <cstdint>
#include <string>

class QTabBar;

namespace tq {

class CVelTextBut;

// The editor control: the picture scaled to the control, the grid drawn over it.
class CSetMot : public QWidget {
  Q_OBJECT
 public:
  static constexpr int kColumns = 4, kRows = 4;
  explicit CSetMot(QWidget* parent = nullptr);
  void SetPicture(const QImage& picture);
  const QImage& Picture() const { return picture_; }
  void SetMask(uint32_t mask);
  uint32_t Mask() const { return mask_; }
  QRect CellRect(int column, int row) const;

 protected:
  void paintEvent(QPaintEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;

 private:
  QImage picture_;
  uint32_t mask_ = 0;
};

class CSetMotDlg : public QDialog {
  Q_OBJECT
 public:
  // `recordFolder`: the card's Record folder; `rear`: the camera has a rear picture.
  CSetMotDlg(const std::string& recordFolder, bool rear, std::array<uint32_t, 2> masks, QWidget* parent = nullptr);
  std::array<uint32_t, 2> Masks() const { return masks_; }
  CSetMot* Editor() const { return editor_; }
  QTabBar* Tabs() const { return tabs_; }
  // The decoded picture of a camera (0 front, 1 rear); null when the card has none.
  const QImage& Background(int camera) const { return pictures_[size_t(camera)]; }

 private:
  void ShowCamera(int camera);
  std::array<QImage, 2> pictures_;
  std::array<uint32_t, 2> masks_;
  int camera_ = 0;
  QTabBar* tabs_;
  CSetMot* editor_;
  CVelTextBut* save_;
  CVelTextBut* quit_;
};

}  // namespace tq
