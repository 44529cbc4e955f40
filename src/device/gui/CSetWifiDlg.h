// The Wi-Fi page ("Wifi"): the automatic switch-off and the camera's access point name
// and password.
#pragma once

#include "device/gui/CVelSetDlg.h"

namespace tq {

class CSetWifiDlg : public CVelSetDlg {
  Q_OBJECT
 public:
  CSetWifiDlg(const CameraConfig* config, QWidget* parent = nullptr);
  QLineEdit* Ssid() const { return ssid_; }
  QLineEdit* Password() const { return password_; }
  QCheckBox* ShowPassword() const { return show_; }

 private:
  QLineEdit* ssid_ = nullptr;
  QLineEdit* password_ = nullptr;
  QCheckBox* show_ = nullptr;
};

}  // namespace tq
