#include "device/gui/CSetEtcDlg.h"

#include <QLineEdit>

namespace tq {

QValidator::State UserTextValidator::validate(QString& input, int&) const {
  if (size_t(input.size()) > kUserTextMaxChars) return Invalid;
  for (QChar c : input)
    if (!IsUserTextChar(char32_t(c.unicode()))) return Invalid;
  return Acceptable;
}

CSetEtcDlg::CSetEtcDlg(const CameraConfig* config, QWidget* parent) : CVelSetDlg(kPageSystem, config, parent) {
  Heading(Tr(kTextLable, "ETCETERA_SETTING"));
  OnOff("\u2022 " + Tr(kTextTooltip, "led_rec_status"), "Tab3", "RECLED");
  OnOff("\u2022 " + Tr(kTextTooltip, "led_front_normal"), "Tab3", "NORMALLED");
  OnOff("\u2022 " + Tr(kTextTooltip, "led_front_park"), "Tab3", "PARKINGLED");
  OnOff("\u2022 " + Tr(kTextTooltip, "led_rear_security"), "Tab3", "RearLED");

  Heading("\u2022 Voice guidance");
  Check(Tr(kTextLable, "ETCETERA_SETTING_CONF_VERBALGUIDESTART"), "Tab3", "STARTVOICE");
  Check(Tr(kTextLable, "ETCETERA_SETTING_CONF_NORMALRECORDSTART"), "Tab3", "NORMALSTARTVOICE");
  Check(Tr(kTextLable, "ETCETERA_SETTING_CONF_EVENTRECORDSTART"), "Tab3", "EVENTSTARTVOICE");
  Check(Tr(kTextLable, "ETCETERA_SETTING_CONF_RECORDMODECHANGE"), "Tab3", "CHANGERECORDMODEVOICE");
  Check(Tr(kTextLable, "ETCETERA_SETTING_CONF_VERBALGUIDEEND"), "Tab3", "ENDVOICE");
  Check(Tr(kTextLable, "ETCETERA_SETTING_CONF_SPEEDALERTVOICE"), "Tab3", "SPEEDALERTVOICE");
  Check(Tr(kTextTooltip, "park_impact_detect"), "Tab3", "PARKINGEVENTVOICE");
  Slider("\u2022 " + Tr(kTextLable, "ETCETERA_SETTING_VOLUME"), "Tab3", "VOLUME", Tr(kTextTooltip, "quieter"),
         Tr(kTextTooltip, "louder"));

  Choice("\u2022 " + Tr(kTextLable, "SENSITIVITY_SETTING_CONF_SPEEDALERT"), "Tab3", "SpeedAlert",
         {{Tr(kTextTooltip, "off"), 0}, {"km/h", 1}, {"MPH", 2}});
  Number(Tr(kTextTooltip, "kilometer_limit"), "Tab3", "kmLimit", " km/h");
  Number("MPH (less than 200 MPH)", "Tab3", "mileLimit", " MPH");

  userText_ = Text("\u2022 " + Tr(kTextLable, "ETCETERA_SETTING_USER_INFO_REG"), "Tab3", "userString");
  if (userText_) {
    userText_->setValidator(new UserTextValidator(userText_));
    userText_->setPlaceholderText("A-Z, a-z, 0-9, :;\u2019/\\+-_()$# under 20 characters.");
  }
  OnOff("\u2022 " + Tr(kTextTooltip, "scheduled_reboot"), "Tab3", "ScheduledReboot");
  Options hours;
  for (int h = 0; h < 24; ++h) hours.push_back({QString::asprintf("%02d:00", h), h});
  Choice(Tr(kTextTooltip, "set_time_to_reboot"), "Tab3", "ScheduledRebootTime", hours);
}

}  // namespace tq
