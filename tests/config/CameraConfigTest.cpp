#include <gtest/gtest.h>

#include <string>

#include "SampleSets.h"
#include "device/CameraConfig.h"
#include "device/PasswordCipher.h"
#include "platform/TempDir.h"

namespace {

using tq::CameraConfig;
using tq::SettingsIdentity;

SettingsIdentity Identity(int firmware, const std::string& model = "ZU TQ-MB20A") {
  SettingsIdentity id;
  id.firmwareNumber = firmware;
  id.configNumber = 1002;
  id.model = model;
  id.language = "japan";
  return id;
}

// The generated card's config.ini with one line replaced.
std::string Replace(std::string text, const std::string& from, const std::string& to) {
  size_t at = text.find(from);
  EXPECT_NE(at, std::string::npos) << from;
  if (at != std::string::npos) text.replace(at, from.size(), to);
  return text;
}

struct Loaded {
  tqtest::TempDir dir;
  std::string path;
  CameraConfig config;
  explicit Loaded(const std::string& text, int firmware = 1005) {
    path = dir / "config.ini";
    tqtest::WriteBytes(path, text);
    EXPECT_TRUE(config.Init(Identity(firmware)));
    EXPECT_TRUE(config.Load(path));
  }
};

TEST(CameraConfig, supported_model_table) {
  struct Case {
    const char* model;
    bool supported;
  } cases[] = {
      {"ZU TQ-MB20", true},         {"ZU TQ-MB20A", true},   {"ZU TQ-MB21XYZ", true},
      {"ZU TQ-MB22", true},         {"ZUL TQ-MB23", true},   {"ZUL TQ-MB23-K", true},
      {"ZU TQ-MB2", false},         {"ZU TQ-MB23", false},   {"ZUL TQ-MB20", false},
      {"zu tq-mb20", false},        {"XTQ-MB20A", false},    {"", false},
  };
  for (const Case& c : cases) {
    tq::ModelProfile p;
    EXPECT_EQ(tq::InitModelProfile(Identity(1005, c.model), &p), c.supported) << c.model;
    if (c.supported) {
      EXPECT_EQ(p.profile, 7);
      EXPECT_EQ(p.features, 0x48u);
    }
  }
  SettingsIdentity sg = Identity(1005);
  sg.option = "sg";
  tq::ModelProfile p;
  ASSERT_TRUE(tq::InitModelProfile(sg, &p));
  EXPECT_EQ(p.features, 0x1048u);
  EXPECT_EQ(tq::ModelCaption("ZU TQ-MB20A", 1005), "TQ-MB20  V1.005");
  EXPECT_EQ(tq::ModelCaption("ZUL TQ-MB23X", 2010), "TQ-MB23  V2.010");
}

TEST(CameraConfig, load_reads_the_profile_keys_and_decodes_the_password) {
  const std::string pw = tq::EncryptPassword("secret-pass");
  std::string lower;
  for (char c : pw) lower += char(std::tolower(static_cast<unsigned char>(c)));
  Loaded l(Replace(tq::ConfigIniText(), "ap_pw=\r\n", "ap_pw=" + lower + "\r\n"));
  EXPECT_EQ(l.config.GetInt("Tab1", "TimeZone"), 9);
  EXPECT_EQ(l.config.Get("tab1", "settime"), "202612050800");
  EXPECT_EQ(l.config.Get("Wifi", "ap_ssid"), "TQ-MB20_5A1C");
  EXPECT_EQ(l.config.Get("Wifi", "ap_pw"), "secret-pass");
  EXPECT_TRUE(l.config.undecodedPasswords().empty());
  EXPECT_EQ(l.config.ChangeMask(), 0u);
  // Keys of other camera profiles are not the editor's.
  EXPECT_EQ(l.config.Find("Tab1", "VCodecType"), nullptr);
  EXPECT_EQ(l.config.Find("Wifi", "onstart"), nullptr);
  EXPECT_FALSE(l.config.Set("Cloud", "sta_pw", "x"));
}

TEST(CameraConfig, changing_only_the_wifi_password_rewrites_only_that_value) {
  const std::string original = tq::ConfigIniText();
  Loaded l(original);
  ASSERT_TRUE(l.config.Set("Wifi", "ap_pw", "new-password"));
  EXPECT_EQ(l.config.ChangeMask(), unsigned(tq::kPageWifi));
  ASSERT_FALSE(l.config.Validate());
  ASSERT_TRUE(l.config.Save(l.config.ChangeMask()));
  const std::string stored = tq::EncryptPassword("new-password");
  EXPECT_EQ(tqtest::ReadBytes(l.path), Replace(original, "ap_pw=\r\n", "ap_pw=" + stored + "\r\n"));
  EXPECT_EQ(l.config.ChangeMask(), 0u);  // what was saved is what is loaded now
}

TEST(CameraConfig, unknown_keys_comments_and_spacing_survive_a_save) {
  std::string original = Replace(tq::ConfigIniText(), "[Tab1]\r\n", "; camera settings\r\n[Tab1]\r\nFutureKey = 7\r\n");
  original = Replace(original, "TimeSet=0", "TimeSet = 0");
  original = Replace(original, "FutureKey = 7", "FutureKey = 7 ; later firmware");
  Loaded l(original);
  ASSERT_TRUE(l.config.SetInt("Tab1", "TimeZone", -5));
  ASSERT_TRUE(l.config.Save(l.config.ChangeMask()));
  EXPECT_EQ(tqtest::ReadBytes(l.path), Replace(original, "TimeZone=9", "TimeZone=-5"));
}

TEST(CameraConfig, lock_event_keys_follow_the_firmware_number) {
  // A file without the two keys: firmware 1000 must not add them, 1001 must.
  std::string text = Replace(tq::ConfigIniText(), "LockEvent=1\r\nOverwriteLock=0\r\n", "");
  struct Case {
    int firmware;
    bool has;
  } cases[] = {{1000, false}, {1001, true}, {2000, true}};
  for (const Case& c : cases) {
    Loaded l(text, c.firmware);
    EXPECT_EQ(l.config.Find("Tab1", "LockEvent") != nullptr, c.has) << c.firmware;
    EXPECT_EQ(l.config.Find("Tab1", "OverwriteLock") != nullptr, c.has) << c.firmware;
    ASSERT_TRUE(l.config.SetInt("Tab1", "VoiceRecord", 0));
    ASSERT_TRUE(l.config.Save(l.config.ChangeMask()));
    const std::string saved = tqtest::ReadBytes(l.path);
    EXPECT_EQ(saved.find("LockEvent=") != std::string::npos, c.has) << c.firmware;
    EXPECT_EQ(saved.find("OverwriteLock=") != std::string::npos, c.has) << c.firmware;
  }
}

TEST(CameraConfig, byte_order_mark_is_removed_before_loading) {
  const std::string text = tq::ConfigIniText();
  tqtest::TempDir dir;
  const std::string path = dir / "config.ini";
  tqtest::WriteBytes(path, "\xEF\xBB\xBF" + text);
  CameraConfig config;
  ASSERT_TRUE(config.Init(Identity(1005)));
  ASSERT_TRUE(config.Load(path));
  EXPECT_EQ(tqtest::ReadBytes(path), text);
  EXPECT_EQ(config.GetInt("Tab1", "TimeZone"), 9);
  EXPECT_FALSE(config.Load(dir / "missing.ini"));
}

TEST(CameraConfig, undecodable_password_is_not_loaded_and_not_wiped) {
  const std::string bad = "ap_pw=" + std::string(63, 'A') + "Q\r\n";
  const std::string original = Replace(tq::ConfigIniText(), "ap_pw=\r\n", bad);
  Loaded l(original);
  EXPECT_EQ(l.config.Get("Wifi", "ap_pw"), "");
  ASSERT_EQ(l.config.undecodedPasswords().size(), 1u);
  ASSERT_TRUE(l.config.Set("Wifi", "ap_ssid", "MyCarCam"));
  ASSERT_TRUE(l.config.Save(l.config.ChangeMask()));
  EXPECT_EQ(tqtest::ReadBytes(l.path), Replace(original, "ap_ssid=TQ-MB20_5A1C", "ap_ssid=MyCarCam"));
}

TEST(CameraConfig, validation_messages) {
  struct Case {
    const char* ssid;
    const char* password;
    bool exactlyEight;
    const char* message;  // "" when valid
  } cases[] = {
      {"Car", "", false, "cloud_ssid_is_wrong"},
      {"Cars", "abcdefgh", false, "cloud_ssid_is_wrong"},
      {"", "", false, ""},
      {"Car-5", "", false, ""},
      {"Car-5", "abcdefg", false, "wifi_password_8_32_error"},
      {"Car-5", "abcdefgh", false, ""},
      {"Car-5", "\xE3\x83\x91\xE3\x83\x91\xE3\x83\x91\xE3\x83\x91\xE3\x83\x91\xE3\x83\x91\xE3\x83\x91", false,
       "wifi_password_8_32_error"},  // 7 characters in 21 bytes
      {"Car-5", "0123456789012345678901234567890123", false, "wifi_password_8_32_error"},  // 34 bytes
      {"Car-5", "abcdefghi", true, "wifi_password_only_8_error"},
      {"Car-5", "abcdefg", true, "wifi_password_only_8_error"},
      {"Car-5", "abcdefgh", true, ""},
  };
  for (const Case& c : cases) {
    tq::WifiRules rules;
    rules.exactlyEight = c.exactlyEight;
    tq::ConfigProblem p = tq::ValidateWifi(c.ssid, c.password, rules);
    EXPECT_EQ(p.message, c.message) << c.ssid << " / " << c.password;
    if (*c.message) {
      EXPECT_EQ(p.section, tq::kTextMessage);
    }
  }
  Loaded l(tq::ConfigIniText());
  struct ValueCase {
    const char* section;
    const char* key;
    const char* value;
    bool valid;
  } values[] = {
      {"Tab1", "TimeZone", "-12", true},  {"Tab1", "TimeZone", "15", false}, {"Tab1", "TimeZone", "9x", false},
      {"Tab3", "kmLimit", "300", true},   {"Tab3", "kmLimit", "301", false}, {"Tab3", "mileLimit", "200", false},
      {"Tab3", "userString", "Car-1(Tokyo)#$", true},
      {"Tab3", "userString", "Car 1", false},  // blank is not among the camera's characters
      {"Tab3", "userString", "ABCDEFGHIJKLMNOPQRST", true},
      {"Tab3", "userString", "ABCDEFGHIJKLMNOPQRSTU", false},
      {"Tab1", "SetTime", "2026\n[Tab9]", false},
      {"Wifi", "ap_ssid", "Line\rBreak", false},
  };
  for (const ValueCase& v : values) {
    const tq::ConfigKeyDef* def = l.config.Find(v.section, v.key);
    ASSERT_NE(def, nullptr) << v.key;
    EXPECT_EQ(!tq::ValidateConfigValue(*def, v.value), v.valid) << v.key << "=" << v.value;
  }
  // The whole record: a bad new value stops the save with the field named.
  ASSERT_TRUE(l.config.Set("Tab3", "userString", "no spaces please"));
  tq::ConfigProblem p = l.config.Validate();
  EXPECT_EQ(p.name, "Tab3.userString");
  EXPECT_EQ(p.message, "error_invalid_parameter");
}

}  // namespace
