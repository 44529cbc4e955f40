#include "app/CameraIdentity.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iterator>
#include <memory>
#include <vector>

#include "platform/Files.h"
#include "platform/ProfileFile.h"
#include "platform/Utf.h"

namespace tq {
namespace {

constexpr char kVersionBin[] = "version.bin";
constexpr char kSetupCfgName[] = "setup.cfg";

// Read limits of the version.bin values, in characters.
constexpr size_t kIdVersionChars = 6;
constexpr size_t kIdValueChars = 14;
constexpr size_t kIdentityChars = 15;
constexpr size_t kFirmwareChars = 7;
constexpr size_t kCameraLanguageBytes = 13;
constexpr size_t kModelChars = 7;
constexpr size_t kModelEndOffset = 8;

// setup.cfg: 64 bytes, little-endian.
constexpr size_t kSetupCfgBytes = 64;
constexpr size_t kSetupCfgModelBytes = 32;
constexpr size_t kSetupCfgVersionOffset = 32;  // three signed 32-bit numbers
constexpr size_t kSetupCfgLanguageOffset = 44;
constexpr size_t kSetupCfgNeededBytes = 48;    // through the language index
constexpr const char* kSetupCfgModels[] = {"TQ4400K", "TQ310"};
constexpr const char* kSetupCfgLanguages[] = {"English", "China", "Russian", "Japan"};

constexpr char kSupportedModelPrefix[] = "TQ-MB2";

struct FileCloser {
  void operator()(std::FILE* f) const { std::fclose(f); }
};

int32_t LittleInt32(const unsigned char* p) {
  return int32_t(uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24);
}

// The camera writes setup.cfg in a single-byte code page; bytes above ASCII are taken as
// Latin-1 so the result is always valid UTF-8.
std::string ModelFromSetupCfg(const unsigned char* bytes) {
  std::string out;
  for (size_t i = 0; i < kSetupCfgModelBytes && i < kIdentityChars && bytes[i] != 0; ++i) {
    unsigned char c = bytes[i];
    if (c < 0x80) {
      out += char(c);
    } else {
      out += char(0xC0 | (c >> 6));
      out += char(0x80 | (c & 0x3F));
    }
  }
  return out;
}

bool ReadSetupCfgIdentity(const std::string& root, unsigned parts, CameraIdentity* id) {
  std::unique_ptr<std::FILE, FileCloser> f(std::fopen(JoinPath(root, kSetupCfgName).c_str(), "rb"));
  if (!f) return false;
  unsigned char rec[kSetupCfgBytes] = {};
  size_t got = std::fread(rec, 1, sizeof rec, f.get());
  bool known = false;
  for (const char* model : kSetupCfgModels) {
    size_t len = std::strlen(model);
    if (got >= len && std::memcmp(rec, model, len) == 0) known = true;
  }
  // A record cut short has no version numbers or language to show.
  if (!known || got < kSetupCfgNeededBytes) return false;
  if (parts & kIdFirmware) {
    char buf[48];
    std::snprintf(buf, sizeof buf, "%d.%d.%d", LittleInt32(rec + kSetupCfgVersionOffset),
                  LittleInt32(rec + kSetupCfgVersionOffset + 4), LittleInt32(rec + kSetupCfgVersionOffset + 8));
    id->firmware = std::string(buf).substr(0, kFirmwareChars);
  }
  if (parts & kIdModel) id->model = ModelFromSetupCfg(rec);
  if (parts & kIdLanguage) {
    int32_t index = LittleInt32(rec + kSetupCfgLanguageOffset);
    id->language = (index >= 0 && index < int32_t(std::size(kSetupCfgLanguages))) ? kSetupCfgLanguages[index] : "";
  }
  return true;
}

// Byte offsets of each character start in UTF-8 text (invalid bytes count one each).
std::vector<size_t> CharStarts(std::string_view text) {
  std::vector<size_t> starts;
  for (size_t i = 0; i < text.size();) {
    starts.push_back(i);
    size_t next = Utf8Prefix(text.substr(i), 1).size();
    i += next ? next : 1;
  }
  return starts;
}

char AsciiLower(char c) { return (c >= 'A' && c <= 'Z') ? char(c + 32) : c; }
char AsciiUpper(char c) { return (c >= 'a' && c <= 'z') ? char(c - 32) : c; }

}  // namespace

std::string ModelFromVersionValue(std::string_view value) {
  std::vector<size_t> starts = CharStarts(value);
  if (starts.size() < kModelEndOffset) return "";
  size_t first = starts[starts.size() - kModelEndOffset];
  size_t last = starts.size() - kModelEndOffset + kModelChars;
  size_t end = last < starts.size() ? starts[last] : value.size();
  return std::string(value.substr(first, end - first));
}

bool ReadIdentity(const std::string& root, unsigned parts, CameraIdentity* id) {
  if (root.empty()) return false;
  std::string versionBin = CardConfigFile(root, kVersionBin);
  if (FileExists(versionBin)) {
    ProfileText ini = ProfileFile(versionBin).Load();
    auto get = [&ini](const char* section, const char* key, size_t maxChars) {
      std::optional<std::string> v = ini.Find(section, key);
      return std::string(Utf8Prefix(v ? *v : "", maxChars));
    };
    if (parts & kIdFirmware) id->firmware = get("firmware", "version", kIdVersionChars);
    if (parts & kIdModel) id->model = ModelFromVersionValue(get("firmware", "model", kIdValueChars));
    if (parts & kIdLanguage) id->language = get("firmware", "language", kIdValueChars);
    if (parts & kIdOption) id->option = get("local", "option", kIdValueChars);
    return true;
  }
  return ReadSetupCfgIdentity(root, parts, id);
}

int VersionNumber(std::string_view text) {
  std::string s(text);
  int major = std::atoi(s.c_str());
  size_t dot = s.find('.');
  int minor = dot == std::string::npos ? 0 : std::atoi(s.c_str() + dot + 1);
  return major * 1000 + minor;
}

std::string UiLanguageFromCamera(std::string_view cameraName) {
  if (cameraName == "Idn") return "indonesian";
  if (cameraName == "Vietnam") return "vietnamese";
  std::string out(cameraName);
  if (!out.empty()) out[0] = AsciiLower(out[0]);
  return out;
}

std::string CameraLanguageFromUi(std::string_view uiName) {
  std::string name(Utf8PrefixBytes(uiName, kCameraLanguageBytes));
  if (name == "indonesian") return "Idn";
  if (name == "vietnamese") return "Vietnam";
  if (!name.empty()) name[0] = AsciiUpper(name[0]);
  return name;
}

bool ReadSettingsIdentity(const std::string& root, SettingsIdentity* id) {
  if (root.empty()) return false;
  std::string versionBin = CardConfigFile(root, kVersionBin);
  if (!IsReadWritable(versionBin)) return false;
  ProfileText ini = ProfileFile(versionBin).Load();
  auto get = [&ini](const char* section, const char* key) {
    std::optional<std::string> v = ini.Find(section, key);
    return std::string(Utf8Prefix(v ? *v : "", kIdValueChars));
  };
  id->firmwareNumber = VersionNumber(get("firmware", "version"));
  id->configNumber = VersionNumber(get("config", "version"));
  id->model = get("firmware", "model");
  id->language = UiLanguageFromCamera(get("firmware", "language"));
  id->option = get("firmware", "opt");
  std::optional<std::string> region = ini.Find("local", "region");
  id->region = region ? ParseProfileInt(*region) : 0;
  return true;
}

bool WriteCameraLanguage(const std::string& root, std::string_view uiName) {
  if (root.empty()) return false;
  return ProfileFile(CardConfigFile(root, kVersionBin))
      .WriteString("firmware", "language", " " + CameraLanguageFromUi(uiName));
}

bool IsSupportedModel(std::string_view model) {
  return model.substr(0, std::strlen(kSupportedModelPrefix)) == kSupportedModelPrefix;
}

CardSelectorView CardSelectorFor(const CardDrive* card, bool identityRead, std::string_view model) {
  CardSelectorView v;
  if (!card) {
    v.text = kNoCardText;
    return v;
  }
  bool supported = identityRead && IsSupportedModel(model);
  v.selectorEnabled = true;
  v.setupEnabled = supported;
  v.text = card->label + " " + (supported ? std::string(model) : std::string(kUnknownModelText));
  return v;
}

CardSelectorView CardSelectorForCard(const CardDrive* card) {
  CameraIdentity id;
  bool read = card && ReadIdentity(card->root, kIdModel, &id);
  return CardSelectorFor(card, read, id.model);
}

std::vector<std::string> CardMenuTexts(const std::vector<CardDrive>& cards) {
  std::vector<std::string> texts;
  for (const CardDrive& c : cards) texts.push_back(CardSelectorForCard(&c).text);
  return texts;
}

}  // namespace tq
