#include "device/gui/CSetBasicNDlg.h"

#include <QComboBox>
#include <QHBoxLayout>
#include <QPushButton>

#include "controls/CMsgBox.h"
#include "controls/GuiSkin.h"

namespace tq {
namespace {

CVelSetDlg::Options TimeZones() {
  CVelSetDlg::Options zones;
  for (int h = -12; h <= 14; ++h) zones.push_back({QString::asprintf("GMT %+d", h), h});
  return zones;
}

}  // namespace

CSetBasicNDlg::CSetBasicNDlg(const CameraConfig* config, QWidget* parent) : CVelSetDlg(kPageBasic, config, parent) {
  Heading(Tr(kTextLable, "BASIC_SETTING_TITLE_TIMEZONE"));
  OnOff("Manual time setting", "Tab1", "TimeSet");
  OnOff(Tr(kTextTooltip, "sync_with_gps_time"), "Tab1", "GpsSync");
  OnOff(Tr(kTextTooltip, "dst_set"), "Tab1", "Daylight");
  if (QComboBox* zone = Choice(Tr(kTextTooltip, "w_gmt_timezone"), "Tab1", "TimeZone", TimeZones())) {
    // The "?" beside the zone explains what the zone changes.
    auto* help = new QPushButton("?", zone->parentWidget());
    help->setFixedWidth(24 * GuiScale());
    connect(help, &QPushButton::clicked, this,
            [this] { ShowMsgBox(this, Tr(kTextTooltip, "gmt_help"), kMsgInformation); });
    AddRow(QString(), help);
  }

  Heading(Tr(kTextLable, "BASIC_SETTING_TITLE_IMAGESETTING"));
  Choice("\u2022 Resolution", "Tab1", "ImageSetting", {{"1920 x 1080", 0}, {"2560 x 1440", 1}}, true);
  Choice("\u2022 Image quality", "Tab1", "VideoQuality",
         {{Tr(kTextLable, "highest"), 0}, {Tr(kTextLable, "high"), 1}, {Tr(kTextLable, "normal"), 2}}, true);
  OnOff("\u2022 " + Tr(kTextTooltip, "night_vision"), "Tab1", "NightVision");
  Slider("\u2022 " + Tr(kTextTooltip, "front_brightness"), "Tab1", "FrontBrightness", QString(), QString());
  Slider("\u2022 " + Tr(kTextTooltip, "rear_brightness"), "Tab1", "RearBrightness", QString(), QString());
  OnOff("\u2022 " + Tr(kTextTooltip, "front_camera_rotation"), "Tab1", "FrontRotate");

  Heading(Tr(kTextLable, "BASIC_SETTING_TITLE_RECORDINGSETTING"));
  OnOff("\u2022 " + Tr(kTextTooltip, "normal_mode"), "Tab1", "NormalRecord");
  OnOff("\u2022 " + Tr(kTextTooltip, "auto_parking_mode"), "Tab1", "AutoParking");
  OnOff("\u2022 " + Tr(kTextTooltip, "voice_recording_on_off"), "Tab1", "VoiceRecord");
  OnOff("\u2022 Date & time display", "Tab1", "DateDisplay");
  OnOff("\u2022 " + Tr(kTextTooltip, "lock_event_files"), "Tab1", "LockEvent", true);
  OnOff(Tr(kTextTooltip, "overwrite_new_event_files"), "Tab1", "OverwriteLock", true);
  Choice("\u2022 " + Tr(kTextLable, "BASIC_SETTING_CONF_SPEEDUNIT"), "Tab1", "SpeedUnit", {{"km/h", 0}, {"MPH", 1}});
  Choice("\u2022 " + Tr(kTextLable, "video_segment_length"), "Tab1", "RecordTime",
         {{"1 min", 0}, {"2 min", 1}, {"3 min", 2}}, true);
  OnOff("\u2022 " + Tr(kTextLable, "rear_camera_rotation_180"), "Tab1", "RearRotate");
}

}  // namespace tq
