#include "device/gui/CSetWifiDlg.h"

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>

namespace tq {

CSetWifiDlg::CSetWifiDlg(const CameraConfig* config, QWidget* parent) : CVelSetDlg(kPageWifi, config, parent) {
  Heading(Tr(kTextLable, "AUTH_SETTING"));
  OnOff(Tr(kTextLable, "WIFI_SETTING_CONF_SLEEPMODE"), "Wifi", "WifiSleepMode");
  AddRow(QString(), MakeLabel(Tr(kTextLable, "WIFI_SETTING_CONF_SLEEPMODE_SUMMARY")));
  Heading(Tr(kTextLable, "AP_AUTH_SETTING_TITLE_LOGIN"));
  ssid_ = Text(Tr(kTextLable, "wifi_auth_ssid_text"), "Wifi", "ap_ssid");
  password_ = Text(Tr(kTextLable, "password"), "Wifi", "ap_pw");
  if (password_) {
    password_->setEchoMode(QLineEdit::Password);
    show_ = new QCheckBox(Tr(kTextLable, "show_password"), this);
    connect(show_, &QCheckBox::toggled, password_,
            [this](bool on) { password_->setEchoMode(on ? QLineEdit::Normal : QLineEdit::Password); });
    AddRow(QString(), show_);
  }
  AddRow(Tr(kTextLable, "wifi_auth_type"), MakeLabel("WPA2PSK"));
}

}  // namespace tq
