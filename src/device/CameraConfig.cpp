#include "device/CameraConfig.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "app/TraceLog.h"
#include "device/PasswordCipher.h"
#include "platform/Files.h"
#include "platform/ProfileFile.h"
#include "platform/Utf.h"

namespace tq {
namespace {

constexpr char kBom[] = "\xEF\xBB\xBF";
constexpr size_t kSetTimeChars = 12;
constexpr int kSsidBytes = 32;
constexpr size_t kSsidMinChars = 5;
constexpr size_t kPasswordMinChars = 8;
constexpr size_t kPasswordExactChars = 8;

struct SupportedPrefix {
  const char* text;
  size_t length;
};
constexpr SupportedPrefix kSupportedModels[] = {
    {"ZU TQ-MB20", 10}, {"ZU TQ-MB21", 10}, {"ZU TQ-MB22", 10}, {"ZUL TQ-MB23", 11}};

struct SectionName {
  unsigned bit;
  const char* name;
};
constexpr SectionName kSections[] = {{kPageBasic, "Tab1"}, {kPageSense, "Tab2"},
                                     {kPageSystem, "Tab3"}, {kPageWifi, "Wifi"},
                                     {kPageCloud, "Cloud"}, {kPageScreen, "LCD"}};

constexpr ConfigKind I = ConfigKind::kInt;

// The keys of the supported models' profile, in the camera's file order. The ranges are
// the choices the pages offer; an out-of-range value already in the file is kept until
// the user changes it.
constexpr ConfigKeyDef kSupportedKeys[] = {
    {"Tab1", "TimeZone", I, -12, 14, 9, 0},
    {"Tab1", "TimeSet", I, 0, 1, 0, 0},
    {"Tab1", "SetTime", ConfigKind::kText, 0, int(kSetTimeChars), 0, 0},
    {"Tab1", "Daylight", I, 0, 1, 0, 0},
    {"Tab1", "GpsSync", I, 0, 1, 1, 0},
    {"Tab1", "VideoQuality", I, 0, 2, 0, 0},
    {"Tab1", "NightVision", I, 0, 1, 1, 0},
    {"Tab1", "FrontBrightness", I, 0, 4, 2, 0},
    {"Tab1", "RearBrightness", I, 0, 4, 2, 0},
    {"Tab1", "ImageSetting", I, 0, 1, 0, 0},
    {"Tab1", "RecordTime", I, 0, 2, 0, 0},
    {"Tab1", "LockEvent", I, 0, 1, 1, kLockEventFirmware},
    {"Tab1", "OverwriteLock", I, 0, 1, 0, kLockEventFirmware},
    {"Tab1", "NormalRecord", I, 0, 1, 1, 0},
    {"Tab1", "VoiceRecord", I, 0, 1, 1, 0},
    {"Tab1", "DateDisplay", I, 0, 1, 1, 0},
    {"Tab1", "SpeedUnit", I, 0, 1, 0, 0},
    {"Tab1", "AutoParking", I, 0, 1, 1, 0},
    {"Tab1", "RearRotate", I, 0, 1, 0, 0},
    {"Tab1", "FrontRotate", I, 0, 1, 0, 0},
    {"Tab2", "NORMALSENSOR1", I, 0, 10, 3, 0},
    {"Tab2", "NORMALSENSOR2", I, 0, 10, 3, 0},
    {"Tab2", "NORMALSENSOR3", I, 0, 10, 3, 0},
    {"Tab2", "PARKINGSENSOR1", I, 0, 10, 2, 0},
    {"Tab2", "PARKINGSENSOR2", I, 0, 10, 2, 0},
    {"Tab2", "PARKINGSENSOR3", I, 0, 10, 2, 0},
    {"Tab2", "MOTIONSENSOR", I, 0, 5, 0, 0},
    {"Tab3", "RECLED", I, 0, 1, 1, 0},
    {"Tab3", "NORMALLED", I, 0, 1, 1, 0},
    {"Tab3", "PARKINGLED", I, 0, 1, 1, 0},
    {"Tab3", "STARTVOICE", I, 0, 1, 1, 0},
    {"Tab3", "NORMALSTARTVOICE", I, 0, 1, 1, 0},
    {"Tab3", "EVENTSTARTVOICE", I, 0, 1, 1, 0},
    {"Tab3", "CHANGERECORDMODEVOICE", I, 0, 1, 1, 0},
    {"Tab3", "ENDVOICE", I, 0, 1, 1, 0},
    {"Tab3", "PARKINGEVENTVOICE", I, 0, 1, 1, 0},
    {"Tab3", "SPEEDALERTVOICE", I, 0, 1, 1, 0},
    {"Tab3", "VOLUME", I, 0, 5, 3, 0},
    {"Tab3", "SpeedAlert", I, 0, 2, 0, 0},
    {"Tab3", "kmLimit", I, 0, 300, 100, 0},
    {"Tab3", "mileLimit", I, 0, 199, 60, 0},
    {"Tab3", "ScheduledReboot", I, 0, 1, 0, 0},
    {"Tab3", "ScheduledRebootTime", I, 0, 23, 3, 0},
    {"Tab3", "userString", ConfigKind::kText, 0, int(kUserTextMaxChars), 0, 0},
    {"Tab3", "RearLED", I, 0, 1, 1, 0},
    {"Wifi", "WifiSleepMode", I, 0, 1, 0, 0},
    {"Wifi", "ap_ssid", ConfigKind::kSsid, 0, kSsidBytes, 0, 0},
    {"Wifi", "ap_pw", ConfigKind::kPassword, 0, int(kPasswordFieldBytes), 0, 0},
};

bool EqualsNoCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    char x = a[i], y = b[i];
    if (x >= 'A' && x <= 'Z') x = char(x - 'A' + 'a');
    if (y >= 'A' && y <= 'Z') y = char(y - 'A' + 'a');
    if (x != y) return false;
  }
  return true;
}

// Optional '-' and decimal digits only: what the camera writes with "%d".
bool ParseStrictInt(std::string_view text, int* value) {
  size_t i = text.size() > 0 && text[0] == '-' ? 1 : 0;
  if (i == text.size() || text.size() - i > 9) return false;
  for (size_t k = i; k < text.size(); ++k)
    if (text[k] < '0' || text[k] > '9') return false;
  *value = ParseProfileInt(text);
  return true;
}

// Decodes one UTF-8 sequence at text[*at]; a byte that starts no whole sequence comes
// back as U+FFFD on its own.
char32_t NextCodePoint(std::string_view text, size_t* at) {
  auto b = uint8_t(text[*at]);
  int extra = b < 0x80 ? 0 : (b & 0xe0) == 0xc0 ? 1 : (b & 0xf0) == 0xe0 ? 2 : (b & 0xf8) == 0xf0 ? 3 : -1;
  if (extra == 0) {
    ++*at;
    return b;
  }
  if (extra < 0 || *at + size_t(extra) >= text.size()) {
    ++*at;
    return 0xfffd;
  }
  char32_t c = char32_t(b & (0x3f >> extra));
  for (int k = 1; k <= extra; ++k) {
    auto cont = uint8_t(text[*at + size_t(k)]);
    if ((cont & 0xc0) != 0x80) {
      ++*at;
      return 0xfffd;
    }
    c = (c << 6) | (cont & 0x3f);
  }
  *at += size_t(extra) + 1;
  return c;
}

size_t CodePoints(std::string_view text) {
  size_t n = 0;
  for (size_t at = 0; at < text.size(); ++n) NextCodePoint(text, &at);
  return n;
}

bool HasControlChar(std::string_view text) {
  for (char c : text)
    if (uint8_t(c) < 0x20 || c == 0x7f) return true;
  return false;
}

ConfigProblem Problem(TextSection section, const char* message, std::string name) {
  return ConfigProblem{section, message, std::move(name)};
}

std::string IntText(int v) {
  char buf[16];
  std::snprintf(buf, sizeof buf, "%d", v);
  return buf;
}

constexpr char kGetFileTag[] = "CSetFwDlg::GetFile";

}  // namespace

bool IsSupportedConfigModel(std::string_view model) {
  for (const SupportedPrefix& p : kSupportedModels)
    if (model.size() >= p.length && model.substr(0, p.length) == std::string_view(p.text, p.length))
      return true;
  return false;
}

bool InitModelProfile(const SettingsIdentity& id, ModelProfile* profile) {
  if (!IsSupportedConfigModel(id.model)) return false;
  profile->firmwareNumber = id.firmwareNumber;
  profile->configNumber = id.configNumber;
  profile->features = kSupportedFeatures | (id.option == "sg" ? kFeatureOptSg : 0u);
  profile->profile = kSupportedProfile;
  profile->network = 1;
  profile->rear = 3;
  return true;
}

std::string ModelCaption(std::string_view model, int firmwareNumber) {
  char version[32];
  std::snprintf(version, sizeof version, "  V%d.%03d", firmwareNumber / 1000, firmwareNumber % 1000);
  return ModelFromVersionValue(model) + version;
}

const char* ConfigSectionName(unsigned bit) {
  for (const SectionName& s : kSections)
    if (s.bit == bit) return s.name;
  return nullptr;
}

unsigned ConfigSectionBit(std::string_view section) {
  for (const SectionName& s : kSections)
    if (EqualsNoCase(section, s.name)) return s.bit;
  return 0;
}

std::vector<ConfigKeyDef> ProfileKeys(const ModelProfile& profile) {
  std::vector<ConfigKeyDef> keys;
  if (profile.profile != kSupportedProfile) return keys;
  for (const ConfigKeyDef& k : kSupportedKeys)
    if (profile.firmwareNumber >= k.minFirmware) keys.push_back(k);
  return keys;
}

std::string ConfigName(const ConfigKeyDef& def) {
  return std::string(def.section) + "." + def.key;
}

bool IsUserTextChar(char32_t c) {
  if ((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9')) return true;
  // The caption shows a typographic apostrophe; the camera's font has the plain one too.
  if (c == U'\u2019') return true;
  return c < 0x80 && c != 0 && std::strchr(kUserTextSymbols, int(c)) != nullptr;
}

ConfigProblem ValidateWifi(std::string_view ssid, std::string_view password, const WifiRules& rules) {
  if (!ssid.empty() && CodePoints(ssid) < kSsidMinChars)
    return Problem(kTextMessage, "cloud_ssid_is_wrong", "Wifi.ap_ssid");
  if (password.empty() && rules.emptyAllowed) return {};
  if (rules.exactlyEight) {
    if (CodePoints(password) != kPasswordExactChars)
      return Problem(kTextMessage, "wifi_password_only_8_error", "Wifi.ap_pw");
    return {};
  }
  // The stored field holds 32 bytes: a longer password would be cut, so it is refused.
  if (CodePoints(password) < kPasswordMinChars || password.size() > kPasswordFieldBytes)
    return Problem(kTextMessage, "wifi_password_8_32_error", "Wifi.ap_pw");
  return {};
}

ConfigProblem ValidateConfigValue(const ConfigKeyDef& def, std::string_view value) {
  const std::string name = ConfigName(def);
  auto invalid = [&name] { return Problem(kTextTooltip, "error_invalid_parameter", name); };
  switch (def.kind) {
    case ConfigKind::kInt: {
      int v = 0;
      if (!ParseStrictInt(value, &v) || v < def.minValue || v > def.maxValue) return invalid();
      return {};
    }
    case ConfigKind::kText: {
      if (HasControlChar(value) || CodePoints(value) > size_t(def.maxValue)) return invalid();
      if (std::strcmp(def.key, "userString") == 0) {
        for (size_t at = 0; at < value.size();)
          if (!IsUserTextChar(NextCodePoint(value, &at))) return invalid();
      }
      return {};
    }
    case ConfigKind::kSsid:
    case ConfigKind::kPassword:
      if (HasControlChar(value) || value.size() > size_t(def.maxValue)) return invalid();
      return {};
  }
  return invalid();
}

bool DropConfigByteOrderMark(const std::string& path) {
  std::string bytes;
  if (!ReadWholeFile(path, ProfileFile::kMaxFileBytes, &bytes)) return false;
  if (bytes.compare(0, 3, kBom) != 0) return true;
  return ReplaceFileContents(path, bytes.substr(3));
}

bool CameraConfig::Init(const SettingsIdentity& identity) {
  ModelProfile p;
  if (!InitModelProfile(identity, &p)) return false;
  profile_ = p;
  keys_ = ProfileKeys(profile_);
  loaded_.clear();
  values_.clear();
  return true;
}

const ConfigKeyDef* CameraConfig::Find(std::string_view section, std::string_view key) const {
  for (const ConfigKeyDef& k : keys_)
    if (EqualsNoCase(section, k.section) && EqualsNoCase(key, k.key)) return &k;
  return nullptr;
}

bool CameraConfig::Load(const std::string& path) {
  if (!DropConfigByteOrderMark(path)) return false;
  std::string bytes;
  if (!ReadWholeFile(path, ProfileFile::kMaxFileBytes, &bytes)) return false;
  ProfileText ini = ProfileText::Decode(bytes);
  std::map<std::string, std::string> values;
  std::vector<std::string> undecoded;
  for (const ConfigKeyDef& k : keys_) {
    std::optional<std::string> v = ini.Find(k.section, k.key);
    std::string& out = values[ConfigName(k)];
    switch (k.kind) {
      case ConfigKind::kInt:
        out = IntText(v ? ParseProfileInt(*v) : k.defaultValue);
        break;
      case ConfigKind::kText:
        out = v ? std::string(Utf8Prefix(*v, size_t(k.maxValue))) : "";
        break;
      case ConfigKind::kSsid:
        out = v ? std::string(Utf8PrefixBytes(*v, size_t(k.maxValue))) : "";
        break;
      case ConfigKind::kPassword:
        if (v && !DecryptPassword(*v, &out)) {
          out.clear();
          undecoded.push_back(ConfigName(k));
        }
        break;
    }
  }
  path_ = path;
  loaded_ = values;
  values_ = std::move(values);
  undecoded_ = std::move(undecoded);
  return true;
}

std::string CameraConfig::Get(std::string_view section, std::string_view key) const {
  const ConfigKeyDef* def = Find(section, key);
  if (!def) return {};
  auto it = values_.find(ConfigName(*def));
  return it == values_.end() ? std::string() : it->second;
}

int CameraConfig::GetInt(std::string_view section, std::string_view key) const {
  return ParseProfileInt(Get(section, key));
}

bool CameraConfig::Set(std::string_view section, std::string_view key, std::string_view value) {
  const ConfigKeyDef* def = Find(section, key);
  if (!def) return false;
  int v = 0;
  // Integers are kept as the camera writes them; anything else stays as given so that
  // Validate can name it.
  values_[ConfigName(*def)] =
      def->kind == ConfigKind::kInt && ParseStrictInt(value, &v) ? IntText(v) : std::string(value);
  return true;
}

bool CameraConfig::SetInt(std::string_view section, std::string_view key, int value) {
  return Set(section, key, IntText(value));
}

void CameraConfig::ResetDefaults(unsigned mask) {
  for (const ConfigKeyDef& k : keys_) {
    if (!(ConfigSectionBit(k.section) & mask)) continue;
    values_[ConfigName(k)] = k.kind == ConfigKind::kInt ? IntText(k.defaultValue) : std::string();
  }
}

unsigned CameraConfig::ChangeMask() const {
  unsigned mask = 0;
  for (const ConfigKeyDef& k : keys_) {
    const std::string name = ConfigName(k);
    auto a = loaded_.find(name), b = values_.find(name);
    if (a == loaded_.end() || b == values_.end() || a->second != b->second)
      mask |= ConfigSectionBit(k.section);
  }
  return mask;
}

ConfigProblem CameraConfig::Validate(const WifiRules& rules) const {
  if (Find("Wifi", "ap_ssid") && Find("Wifi", "ap_pw")) {
    if (ConfigProblem p = ValidateWifi(Get("Wifi", "ap_ssid"), Get("Wifi", "ap_pw"), rules)) return p;
  }
  for (const ConfigKeyDef& k : keys_) {
    const std::string name = ConfigName(k);
    auto a = loaded_.find(name), b = values_.find(name);
    if (b == values_.end() || (a != loaded_.end() && a->second == b->second)) continue;
    if (ConfigProblem p = ValidateConfigValue(k, b->second)) return p;
  }
  return {};
}

std::string CameraConfig::Stored(const ConfigKeyDef& def) const {
  auto it = values_.find(ConfigName(def));
  std::string v = it == values_.end() ? std::string() : it->second;
  if (def.kind == ConfigKind::kPassword) return EncryptPassword(v);
  if (def.kind == ConfigKind::kSsid) return std::string(Utf8PrefixBytes(v, size_t(def.maxValue)));
  return v;
}

bool CameraConfig::Save(unsigned mask) {
  if (path_.empty()) return false;
  std::string bytes;
  if (!ReadWholeFile(path_, ProfileFile::kMaxFileBytes, &bytes)) {
    TraceLog(kGetFileTag, __LINE__, "for read %s, fopen failed\n", path_.c_str());
    return false;
  }
  ProfileText ini = ProfileText::Decode(bytes);
  for (const ConfigKeyDef& k : keys_) {
    if (!(ConfigSectionBit(k.section) & mask)) continue;
    const std::string name = ConfigName(k);
    // A stored password we could not read is kept as it is unless the user typed a new
    // one: writing our empty value would wipe it.
    bool undecoded = std::find(undecoded_.begin(), undecoded_.end(), name) != undecoded_.end();
    if (undecoded && values_[name].empty()) continue;
    if (!ini.Set(k.section, k.key, Stored(k))) return false;
  }
  std::string out;
  if (!ini.Encode(&out) || !ReplaceFileContents(path_, out)) return false;
  std::string back;
  if (!ReadWholeFile(path_, ProfileFile::kMaxFileBytes, &back) || back != out) {
    TraceLog(kGetFileTag, __LINE__, "for read %s, fopen failed\n", path_.c_str());
    return false;
  }
  for (const ConfigKeyDef& k : keys_)
    if (ConfigSectionBit(k.section) & mask) loaded_[ConfigName(k)] = values_[ConfigName(k)];
  return true;
}

}  // namespace tq
