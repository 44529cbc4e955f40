#include "device/gui/CSetSenseDlg.h"

#include <QPushButton>
#include <QSignalBlocker>
#include <QSlider>
#include <algorithm>

#include "platform/ProfileFile.h"

namespace tq {

CSetSenseDlg::CSetSenseDlg(const CameraConfig* config, QWidget* parent) : CVelSetDlg(kPageSense, config, parent) {
  Heading(Tr(kTextLable, "SENSITIVITY_SETTING"));
  sliders_[0] = AddMode(0, "\u2022 " + Tr(kTextLable, "SENSITIVITY_SETTING_NORMAL_G_SENSOR"));
  sliders_[1] = AddMode(1, "\u2022 " + Tr(kTextLable, "SENSITIVITY_SETTING_PARKING_G_SENSOR"));
  // The motion regions are a setting of their own; a profile without their keys gets no
  // region dialog (none of the supported models has them).
  if (Slider("\u2022 " + Tr(kTextTooltip, "motion_impact_detection"), "Tab2", "MOTIONSENSOR",
             Tr(kTextTooltip, "less_sensitive"), Tr(kTextTooltip, "more_sensitive")) &&
      config->Find("Tab2", "FrontMotionRegion")) {
    advanced_[2] = new QPushButton(Tr(kTextTooltip, "advanced_set"), this);
    connect(advanced_[2], &QPushButton::clicked, this, [this] { emit advancedRequested(2); });
    AddRow(QString(), advanced_[2]);
  }
}

QSlider* CSetSenseDlg::AddMode(int mode, const QString& label) {
  const ConfigKeyDef* def = config()->Find("Tab2", kAxisKeys[mode][0]);
  if (!def) return nullptr;
  auto* slider = new QSlider(Qt::Horizontal, this);
  slider->setRange(def->minValue, def->maxValue);
  slider->setPageStep(1);
  // The slider stands for all three axes: moving it sets them alike; the advanced dialog
  // sets them one by one.
  connect(slider, &QSlider::valueChanged, this, [this, mode](int v) { axes_[size_t(mode)] = {v, v, v}; });
  AddRow(label, slider);
  advanced_[size_t(mode)] = new QPushButton(Tr(kTextTooltip, "advanced_set"), this);
  connect(advanced_[size_t(mode)], &QPushButton::clicked, this, [this, mode] { emit advancedRequested(mode); });
  AddRow(Tr(kTextTooltip, "less_sensitive") + " / " + Tr(kTextTooltip, "more_sensitive"), advanced_[size_t(mode)]);
  return slider;
}

void CSetSenseDlg::SetAxes(int mode, const std::array<int, 3>& axes) {
  axes_[size_t(mode)] = axes;
  if (QSlider* s = sliders_[size_t(mode)]) {
    const QSignalBlocker block(s);
    s->setRange(std::min({s->minimum(), axes[0], axes[1], axes[2]}), std::max({s->maximum(), axes[0], axes[1], axes[2]}));
    s->setValue(axes[0]);
  }
}

void CSetSenseDlg::Load(const CameraConfig& record) {
  CVelSetDlg::Load(record);
  for (int mode = 0; mode < 2; ++mode) {
    if (!sliders_[size_t(mode)]) continue;
    std::array<int, 3> axes;
    for (int a = 0; a < 3; ++a) axes[size_t(a)] = record.GetInt("Tab2", kAxisKeys[mode][a]);
    SetAxes(mode, axes);
  }
}

void CSetSenseDlg::Collect(CameraConfig* record) const {
  CVelSetDlg::Collect(record);
  for (int mode = 0; mode < 2; ++mode) {
    if (!sliders_[size_t(mode)]) continue;
    for (int a = 0; a < 3; ++a) record->SetInt("Tab2", kAxisKeys[mode][a], axes_[size_t(mode)][size_t(a)]);
  }
}

void CSetSenseDlg::ResetDefaults() {
  CVelSetDlg::ResetDefaults();
  for (int mode = 0; mode < 2; ++mode) {
    if (!sliders_[size_t(mode)]) continue;
    std::array<int, 3> axes;
    for (int a = 0; a < 3; ++a) axes[size_t(a)] = config()->Find("Tab2", kAxisKeys[mode][a])->defaultValue;
    SetAxes(mode, axes);
  }
}

}  // namespace tq
