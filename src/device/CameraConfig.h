// The camera's own configuration file on the card, "TQ-MB20/Config/config.ini": which
// models the editor supports, the model profile, the keys each page reads and writes,
// loading, the change mask, validation and saving only the sections that changed.
//
// Everything here runs on the user-interface thread (or in the command-line tool).
#pragma once

#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "app/CameraIdentity.h"
#include "app/TextKeys.h"

namespace tq {

// A page's bit in the change mask; its section is rewritten only when the bit is set.
enum ConfigPageBit : unsigned {
  kPageBasic = 1,    // "Tab1"
  kPageSense = 2,    // "Tab2"
  kPageSystem = 4,   // "Tab3"
  kPageWifi = 8,     // "Wifi"
  kPageCloud = 16,   // "Cloud" (no supported model has it)
  kPageScreen = 32,  // "LCD" (no supported model has it)
};

// The editor's description of the camera, set by the supported-model check.
struct ModelProfile {
  int firmwareNumber = 0;  // "firmware"/"version" 1.005 -> 1005
  int configNumber = 0;
  unsigned features = 0;
  int profile = 0;
  int network = 0;
  int rear = 0;
};

inline constexpr int kSupportedProfile = 7;
inline constexpr unsigned kSupportedFeatures = 0x48;
inline constexpr unsigned kFeatureOptSg = 0x1000;  // "firmware"/"opt" is "sg"
// "LockEvent" and "OverwriteLock" exist from this firmware number on.
inline constexpr int kLockEventFirmware = 1001;

// "ZU TQ-MB20", "ZU TQ-MB21", "ZU TQ-MB22" (10 characters) or "ZUL TQ-MB23" (11) at the
// start of the whole "firmware"/"model" value.
bool IsSupportedConfigModel(std::string_view model);
// The supported-model check: false (profile untouched) for any other model.
bool InitModelProfile(const SettingsIdentity& id, ModelProfile* profile);
// The editor's caption: the seven characters that start eight before the model's end,
// then "  V%d.%03d" ("ZU TQ-MB20A", 1005 -> "TQ-MB20  V1.005").
std::string ModelCaption(std::string_view model, int firmwareNumber);

enum class ConfigKind { kInt, kText, kSsid, kPassword };

struct ConfigKeyDef {
  const char* section;
  const char* key;
  ConfigKind kind;
  int minValue;      // kInt: the values the pages offer; kText: at most maxValue characters
  int maxValue;      // kSsid/kPassword: at most maxValue bytes of UTF-8
  int defaultValue;  // kInt: read when the key is missing, and the "initsetup" value
  int minFirmware;   // 0: every firmware
};

// The section name of a page bit ("Tab1" for kPageBasic), or null.
const char* ConfigSectionName(unsigned bit);
unsigned ConfigSectionBit(std::string_view section);

// The keys the editor shows, reads and writes for this profile, in file order. Keys of
// features the profile lacks are absent (and stay in the file as they are).
std::vector<ConfigKeyDef> ProfileKeys(const ModelProfile& profile);

// "Tab1.TimeZone": how values are addressed, with the section and key as the key table
// spells them.
std::string ConfigName(const ConfigKeyDef& def);

// A problem found in the values, for the user: a localized key and the value at fault.
struct ConfigProblem {
  TextSection section = kTextMessage;  // language-file section of `message`
  std::string message;  // "" when the values are fine
  std::string name;     // "Wifi.ap_pw": the field to focus
  explicit operator bool() const { return !message.empty(); }
};

// The Wi-Fi page's password rules (the supported models accept any length from 8 to 32
// bytes, and an empty password keeps the camera's own).
struct WifiRules {
  bool exactlyEight = false;
  bool emptyAllowed = true;
};

// The characters the user text overlay accepts besides A-Z, a-z and 0-9.
inline constexpr char kUserTextSymbols[] = ":;'/\\+-_()$#";
inline constexpr size_t kUserTextMaxChars = 20;
bool IsUserTextChar(char32_t c);

// The editor's record of one config.ini: the values of the profile's keys as text
// (integers as "%d"), the values as loaded and the values as edited.
class CameraConfig {
 public:
  // The supported-model check; false for an unsupported model.
  bool Init(const SettingsIdentity& identity);
  const ModelProfile& profile() const { return profile_; }
  const std::vector<ConfigKeyDef>& keys() const { return keys_; }
  const ConfigKeyDef* Find(std::string_view section, std::string_view key) const;

  // Prepares the file (drops a UTF-8 byte-order mark by rewriting it) and reads every
  // key of the profile. False when the file cannot be read; nothing is kept then.
  bool Load(const std::string& path);
  const std::string& path() const { return path_; }
  // Names of stored passwords that were not valid hexadecimal and were not loaded.
  const std::vector<std::string>& undecodedPasswords() const { return undecoded_; }

  std::string Get(std::string_view section, std::string_view key) const;
  int GetInt(std::string_view section, std::string_view key) const;
  // Sets an edited value (text as given; integers as "%d"). False for a key the profile
  // does not have.
  bool Set(std::string_view section, std::string_view key, std::string_view value);
  bool SetInt(std::string_view section, std::string_view key, int value);
  // Back to the loaded values, or every value of the pages in `mask` to its default.
  void Revert() { values_ = loaded_; }
  void ResetDefaults(unsigned mask);

  // The bits of the sections whose edited values differ from the loaded ones.
  unsigned ChangeMask() const;
  // Checks every edited value: the Wi-Fi rules, then ranges, lengths and characters.
  ConfigProblem Validate(const WifiRules& rules = WifiRules()) const;
  // Writes the keys of the sections in `mask` (passwords encrypted) in one replacement
  // of the file, every other byte kept; the loaded values become the edited ones. False
  // when the file cannot be read or written (nothing is changed then).
  bool Save(unsigned mask);

 private:
  std::string Stored(const ConfigKeyDef& def) const;

  ModelProfile profile_;
  std::vector<ConfigKeyDef> keys_;
  std::string path_;
  std::map<std::string, std::string> loaded_, values_;  // by ConfigName
  std::vector<std::string> undecoded_;
};

// Checks the Wi-Fi name and password alone (the first check of a save).
ConfigProblem ValidateWifi(std::string_view ssid, std::string_view password, const WifiRules& rules);
// Checks one value against its key: integers in range, text lengths, no line breaks or
// other control characters, the user-text characters.
ConfigProblem ValidateConfigValue(const ConfigKeyDef& def, std::string_view value);

// Drops a UTF-8 byte-order mark from the start of the file by rewriting it. False when
// the file cannot be read (or the rewrite fails).
bool DropConfigByteOrderMark(const std::string& path);

}  // namespace tq
