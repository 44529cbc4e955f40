// The sensitivity page ("Tab2"): the G-sensor sensitivity of normal and parking mode
// (one slider each, over the three axes) and the motion detection of parking mode.
#pragma once

#include <array>

#include "device/gui/CVelSetDlg.h"

class QPushButton;

namespace tq {

class CSetSenseDlg : public CVelSetDlg {
  Q_OBJECT
 public:
  CSetSenseDlg(const CameraConfig* config, QWidget* parent = nullptr);

  void Load(const CameraConfig& record) override;
  void Collect(CameraConfig* record) const override;
  void ResetDefaults() override;

  // The three axes of one mode (0 normal, 1 parking), as the page holds them.
  std::array<int, 3> Axes(int mode) const { return axes_[size_t(mode)]; }
  void SetAxes(int mode, const std::array<int, 3>& axes);
  QSlider* ModeSlider(int mode) const { return sliders_[size_t(mode)]; }
  QPushButton* AdvancedButton(int mode) const { return advanced_[size_t(mode)]; }

 signals:
  // "Advanced settings" of a mode (0 normal, 1 parking, 2 motion detection).
  void advancedRequested(int mode);

 private:
  static constexpr const char* kAxisKeys[2][3] = {{"NORMALSENSOR1", "NORMALSENSOR2", "NORMALSENSOR3"},
                                                  {"PARKINGSENSOR1", "PARKINGSENSOR2", "PARKINGSENSOR3"}};
  QSlider* AddMode(int mode, const QString& label);

  std::array<std::array<int, 3>, 2> axes_{};
  std::array<QSlider*, 2> sliders_{};
  std::array<QPushButton*, 3> advanced_{};
};

}  // namespace tq
