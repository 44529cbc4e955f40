// Every key the program looks up in the language files, by section. The language files
// shipped in resources/lng must hold all of them (a unit test checks it); code that shows
// a localized text uses these sections and keys.
#pragma once

#include <cstddef>

namespace tq {

// Section indexes of the language file.
enum TextSection : int {
  kTextLable = 0,    // labels of buttons, titles and settings items
  kTextMessage = 1,  // confirmation and error messages
  kTextTooltip = 2,  // tooltips, option texts, messages of the settings pages
  kTextNeoOsd = 3,
};
inline constexpr const char* kTextSectionNames[] = {"lable", "message", "tooltip", "neoosd"};

inline constexpr const char* kLableKeys[] = {
    "ETCETERA_SETTING_CONF_SECURITYLED", "AP_AUTH_SETTING_TITLE_LOGIN", "AUTH_SETTING",
    "BASIC_SETTING", "BASIC_SETTING_CONF_AUTOSWITCHING", "BASIC_SETTING_CONF_BRIGHTNESS",
    "BASIC_SETTING_CONF_DATETIME", "BASIC_SETTING_CONF_EVENTPARKINGRECORDINGUNIT",
    "BASIC_SETTING_CONF_FILERECORDINGUNIT", "BASIC_SETTING_CONF_IMAGEQUALITY",
    "BASIC_SETTING_CONF_NORMAL", "BASIC_SETTING_CONF_SPEEDUNIT",
    "BASIC_SETTING_CONF_VIDEO_PROFILE_QUALITY_TYPE", "BASIC_SETTING_CONF_VOICERECORD",
    "BASIC_SETTING_TITLE_IMAGESETTING", "BASIC_SETTING_TITLE_RECORDINGSETTING",
    "BASIC_SETTING_TITLE_TIMEZONE", "CLOUD_SETTING_ALARM", "CLOUD_SETTING_ALARM_EVENT",
    "CLOUD_SETTING_ALARM_MANUAL", "CLOUD_SETTING_ALARM_PARKEVENT", "CLOUD_SETTING_ALARM_PARKING",
    "CLOUD_SETTING_ALARM_SPEED", "CLOUD_SETTING_AP_AUTH_SETTING_TITLE_LOGIN",
    "CLOUD_SETTING_CONF_USE_SERVICE", "ETCETERA_SETTING", "ETCETERA_SETTING_CONF_CLOUDVOICE",
    "ETCETERA_SETTING_CONF_EVENTRECORDSTART", "ETCETERA_SETTING_CONF_LED2_NEW",
    "ETCETERA_SETTING_CONF_NORMALRECORDSTART", "ETCETERA_SETTING_CONF_NORMALSECURITYCOLOR",
    "ETCETERA_SETTING_CONF_PARKINGSECURITYCOLOR", "ETCETERA_SETTING_CONF_RECORDMODECHANGE",
    "ETCETERA_SETTING_CONF_SPEEDALERTVOICE", "ETCETERA_SETTING_CONF_VERBALGUIDEEND",
    "ETCETERA_SETTING_CONF_VERBALGUIDESTART", "ETCETERA_SETTING_SPEAKER",
    "ETCETERA_SETTING_USER_INFO_REG", "ETCETERA_SETTING_VOLUME", "SENSITIVITY_SETTING",
    "SENSITIVITY_SETTING_CONF_SPEEDALERT", "SENSITIVITY_SETTING_NORMAL_G_SENSOR",
    "SENSITIVITY_SETTING_PARKING_G_SENSOR", "USERINFO_REGISTRATION_DETAIL",
    "WIFI_SETTING_CONF_ONSTART", "WIFI_SETTING_CONF_ONSTART_SUMMARY", "WIFI_SETTING_CONF_SLEEPMODE",
    "WIFI_SETTING_CONF_SLEEPMODE_SUMMARY", "display_off", "front_camera_led_on_off", "high",
    "highest", "normal", "password", "rear_camera_led_on_off", "rear_camera_power",
    "rear_camera_recording", "rear_camera_rotation_180", "setup", "show_password", "str_no",
    "str_yes", "string_no", "video_segment_length", "wifi_auth_ssid_text", "wifi_auth_type",
    "wifi_config_quit", "wifi_config_save", "string_yes",  // "string_yes": the message box's confirm button
};

inline constexpr const char* kMessageKeys[] = {
    "back_up_all_before_changing_the_time_zone", "can_not_fileplay", "cloud_ssid_is_wrong",
    "enter_ssid", "file_delete_message", "wifi_config_checking_needed", "wifi_password_8_32_error",
    "wifi_password_only_8_error",
};

inline constexpr const char* kTooltipKeys[] = {
    "date_range_max", "fit_play_screen", "flip_hori", "kilometer_limit", "miles_limit",
    "next_frame", "pause", "play", "prev_frame", "res_screen", "stop", "stretch",
    "switch_front_rear", "about_sd_title", "adas_alert", "adas_fcws", "adas_fvsa", "adas_ldws",
    "adas_mark", "advanced_set", "always", "auto_parking_mode",
    "back_up_all_before_changing_the_setting", "battery_protection", "bright", "brightness_rear",
    "cloud_hotspot_warning", "coordinates", "copy_to", "cutoff_timer", "date_select_max", "default",
    "delete", "docking_wifi_hotspot", "driving_speed", "dst_set", "error_invalid_parameter",
    "export", "extreme", "file_length", "flip_up_down", "format", "format_end", "format_fail",
    "format_fat32", "format_refuse_fixed", "format_refuse_mounted", "format_refuse_size",
    "format_refuse_system", "format_reject1", "format_reject2", "format_start", "from", "front",
    "front_brightness", "front_camera_rotation", "full_screen", "fw_language", "fw_version_invalid",
    "garage_wifi_hotspot_info", "gmt_help", "h264_description", "h265_description",
    "high_temperature_warning", "initsetup", "keep_screen_turnedon", "led_front_normal",
    "led_front_park", "led_lte_park", "led_mark", "led_rear_security", "led_rec_status",
    "led_security_noraml", "led_security_park", "led_wifi_park", "less_sensitive",
    "lock_event_files", "louder", "low_voltage_cutoff", "low_voltage_warning", "manual_time",
    "map_not_connected", "map_parking_mode", "min", "mirror_video", "more_sensitive",
    "motion_impact_detection", "night_vision", "normal_mode", "off", "overwrite_new_event_files",
    "park_impact_detect", "park_mode_only", "parked", "parking_mode_recording", "pip_setting",
    "print_map", "proximity_sensor", "quieter", "rear", "rear_brightness",
    "rear_camera_orientation", "rear_camera_recording_desc1", "rear_camera_recording_desc2",
    "rear_camera_recording_parking_mode", "rear_camera_rotation", "rotate_video_180",
    "save_segment", "save_track", "scheduled_reboot", "screen_brightness", "screen_mode_set", "screen_timeout",
    "sdcard_drive", "sec", "set_time_to_reboot", "sound_off", "speed_measurement_type",
    "sports_mode", "start_time", "sync_with_gps_time", "system", "time", "time_lapse", "to",
    "unknown_error", "video_codec", "voice_recording_on_off", "w_cutoff_voltage", "w_event",
    "w_event_beep", "w_event_mode", "w_front_camera", "w_gmt_timezone", "w_nep", "w_normal",
    "w_osd", "w_parking", "w_rear_camera", "w_reboot_warning", "w_saturation",
    "w_storage_allocation", "wifi_band", "capture", "print", "japan",  // player buttons; camera language list
    "manual", "open_folder", "file",  // file list: manual filter, folder button, progress list
};

inline constexpr const char* kNeoOsdKeys[] = {
    "manual_rec_file_lock",
};

struct TextKeyList {
  TextSection section;
  const char* const* keys;
  size_t count;
};
inline constexpr TextKeyList kAllTextKeys[] = {
    {kTextLable, kLableKeys, sizeof kLableKeys / sizeof *kLableKeys},
    {kTextMessage, kMessageKeys, sizeof kMessageKeys / sizeof *kMessageKeys},
    {kTextTooltip, kTooltipKeys, sizeof kTooltipKeys / sizeof *kTooltipKeys},
    {kTextNeoOsd, kNeoOsdKeys, sizeof kNeoOsdKeys / sizeof *kNeoOsdKeys},
};

}  // namespace tq
