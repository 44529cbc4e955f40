// The advanced G-sensor dialog: the three axes of one mode's sensitivity set on three
// level sliders, checked against a real recording played in the sensor view. GUI thread
// only.
#pragma once

#include <QDialog>
#include <array>
#include <string>

class QLabel;
class QListWidget;
class QPushButton;

namespace tq {

class CSenDispDlg;
class CVelSenSld;
class CVelTextBut;

class CSetSenDlg : public QDialog {
  Q_OBJECT
 public:
  static constexpr int kFirstFilter = 1229;  // "N", "E", "P", "M": 1229 to 1232
  static constexpr char kFilterLetters[] = "NEPM";
  // Value labels show value x 2 / kScale (the sliders' units are 1/128 g).
  static constexpr int kScale = 256;

  // `folder`: the recordings shown first; `scratchFolder`: the sensor view's scratch
  // files; `axes`: the mode's three steps (0 to 10).
  CSetSenDlg(const std::string& folder, const std::string& scratchFolder, std::array<int, 3> axes,
             QWidget* parent = nullptr);
  std::array<int, 3> Axes() const { return axes_; }

  // Lists the folder again with the filters as they are.
  void SetFolder(const std::string& folder);
  // Plays the list's row (what a double click does); false when the row is not there.
  bool PlayRow(int row);

  QListWidget* List() const { return list_; }
  QLabel* Header() const { return header_; }
  QPushButton* Filter(int index) const { return filters_[size_t(index)]; }
  CSenDispDlg* SensorView() const { return view_; }
  CVelSenSld* Slider(int axis) const { return sliders_[size_t(axis)]; }
  // The last sample value each axis showed (1/128 g), as the value labels show it raw.
  int LastValue(int axis) const { return last_[size_t(axis)]; }
  QLabel* ValueLabel(int axis) const { return values_[size_t(axis)]; }
  void SetRawValues(bool raw) { raw_ = raw; }

 private:
  void Refill();
  void OnSample(int x, int y, int z);
  void OnEnded();

  std::string folder_;
  std::array<int, 3> axes_;
  std::array<int, 3> last_{};
  bool raw_ = false;
  QLabel* folderLabel_;
  QLabel* header_;
  QListWidget* list_;
  std::array<QPushButton*, 4> filters_{};
  CSenDispDlg* view_;
  std::array<CVelSenSld*, 3> sliders_{};
  std::array<QLabel*, 3> values_{};
  CVelTextBut* save_;
  CVelTextBut* quit_;
};

}  // namespace tq
