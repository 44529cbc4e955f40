// The basic settings page ("Tab1"): time, video and recording.
#pragma once

#include "device/gui/CVelSetDlg.h"

namespace tq {

class CSetBasicNDlg : public CVelSetDlg {
  Q_OBJECT
 public:
  CSetBasicNDlg(const CameraConfig* config, QWidget* parent = nullptr);
};

}  // namespace tq
