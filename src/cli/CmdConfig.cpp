// tqmb20 config CARD_ROOT [--get SECTION.KEY] [--set SECTION.KEY=VALUE ...] [--json]:
// the camera's settings on a card, read and changed through the settings editor's core.
#include <cstdio>
#include <string>
#include <utility>
#include <vector>

#include "app/CameraIdentity.h"
#include "app/CardScan.h"
#include "cli/Commands.h"
#include "cli/Json.h"
#include "device/CameraConfig.h"
#include "platform/Files.h"

namespace tq::cli {
namespace {

constexpr char kName[] = "config";
constexpr char kUsage[] = "usage: tqmb20 config CARD_ROOT [--get SECTION.KEY] [--set SECTION.KEY=VALUE ...] [--json]";

// What a validation problem means, for a terminal (the viewer shows the language files'
// texts for the same keys).
std::string Explain(const ConfigProblem& p) {
  const std::string& m = p.message;
  if (m == "cloud_ssid_is_wrong") return "the Wi-Fi name must be empty or at least 5 characters";
  if (m == "wifi_password_8_32_error") return "the Wi-Fi password must be empty or 8 to 32 characters (at most 32 bytes)";
  if (m == "wifi_password_only_8_error") return "the Wi-Fi password must be exactly 8 characters";
  return "value out of range, too long, or holding characters the camera does not accept";
}

bool SplitName(const std::string& name, std::string* section, std::string* key) {
  size_t dot = name.find('.');
  if (dot == std::string::npos || dot == 0 || dot + 1 == name.size()) return false;
  *section = name.substr(0, dot);
  *key = name.substr(dot + 1);
  return true;
}

void WriteValue(JsonWriter& w, const ConfigKeyDef& def, const std::string& value) {
  if (def.kind == ConfigKind::kInt)
    w.Int(std::stoll(value));
  else
    w.String(value);
}

std::string WrittenSections(unsigned mask) {
  std::string out;
  for (unsigned bit = 1; bit <= kPageScreen; bit <<= 1) {
    if (!(mask & bit)) continue;
    if (!out.empty()) out += ' ';
    out += ConfigSectionName(bit);
  }
  return out;
}

}  // namespace

int RunConfig(const Args& args) {
  std::string root, get;
  std::vector<std::pair<std::string, std::string>> sets;
  bool json = false;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    if (a == "--json") {
      json = true;
    } else if (a == "--get" || a == "--set") {
      if (i + 1 == args.size()) return Fail(kName, 2, a + " needs SECTION.KEY" + (a == "--set" ? "=VALUE" : ""));
      const std::string& v = args[++i];
      if (a == "--get") {
        if (!get.empty()) return Fail(kName, 2, "only one --get is taken");
        get = v;
      } else {
        size_t eq = v.find('=');
        if (eq == std::string::npos) return Fail(kName, 2, "--set takes SECTION.KEY=VALUE, not '" + v + "'");
        sets.emplace_back(v.substr(0, eq), v.substr(eq + 1));
      }
    } else if (!a.empty() && a[0] == '-') {
      return Fail(kName, 2, "unknown option '" + a + "'");
    } else if (root.empty()) {
      root = a;
    } else {
      return Fail(kName, 2, "only one card root is taken");
    }
  }
  if (root.empty()) return Fail(kName, 2, kUsage);
  if (!get.empty() && !sets.empty()) return Fail(kName, 2, "--get and --set do not go together");
  while (root.size() > 1 && root.back() == '/') root.pop_back();
  if (!IsDirectory(root)) return Fail(kName, 1, root + ": no such folder");

  SettingsIdentity id;
  if (!ReadSettingsIdentity(root, &id))
    return Fail(kName, 1, root + ": cannot read the camera identity (TQ-MB20/Config/version.bin missing, or not readable and writable)");
  CameraConfig config;
  if (!config.Init(id)) return Fail(kName, 1, "model '" + id.model + "' is not supported by the settings editor");
  const std::string path = CardConfigFile(root, "config.ini");
  if (!config.Load(path)) return Fail(kName, 1, path + ": cannot read the camera configuration");

  // Every name is checked before anything changes, so a typo writes nothing.
  auto lookUp = [&config](const std::string& name) -> const ConfigKeyDef* {
    std::string section, key;
    return SplitName(name, &section, &key) ? config.Find(section, key) : nullptr;
  };
  auto unknown = [](const std::string& name) {
    return Fail(kName, 2, "unknown key '" + name + "' (this camera's keys: tqmb20 config CARD_ROOT)");
  };
  for (const auto& [name, value] : sets) {
    const ConfigKeyDef* def = lookUp(name);
    if (!def) return unknown(name);
    config.Set(def->section, def->key, value);
  }
  if (!get.empty()) {
    const ConfigKeyDef* def = lookUp(get);
    if (!def) return unknown(get);
    const std::string value = config.Get(def->section, def->key);
    if (json) {
      JsonWriter w;
      w.BeginObject().Key(ConfigName(*def));
      WriteValue(w, *def, value);
      w.EndObject();
      std::printf("%s\n", w.str().c_str());
    } else {
      std::printf("%s\n", value.c_str());
    }
    return 0;
  }

  unsigned written = 0;
  if (!sets.empty()) {
    if (ConfigProblem p = config.Validate())
      return Fail(kName, 1, p.name + ": " + Explain(p) + " (" + p.message + "); nothing written");
    written = config.ChangeMask();
    if (written && !config.Save(written)) return Fail(kName, 1, path + ": cannot write the camera configuration");
  }

  const std::string caption = ModelCaption(id.model, id.firmwareNumber);
  if (json) {
    JsonWriter w;
    w.BeginObject();
    w.Key("model").String(id.model);
    w.Key("caption").String(caption);
    w.Key("firmware").Int(id.firmwareNumber);
    w.Key("values").BeginObject();
    const char* open = nullptr;
    for (const ConfigKeyDef& def : config.keys()) {
      if (!open || std::string(open) != def.section) {
        if (open) w.EndObject();
        w.Key(def.section).BeginObject();
        open = def.section;
      }
      w.Key(def.key);
      WriteValue(w, def, config.Get(def.section, def.key));
    }
    if (open) w.EndObject();
    w.EndObject();
    if (!sets.empty()) {
      w.Key("written").BeginArray();
      for (unsigned bit = 1; bit <= kPageScreen; bit <<= 1)
        if (written & bit) w.String(ConfigSectionName(bit));
      w.EndArray();
    }
    w.EndObject();
    std::printf("%s\n", w.str().c_str());
    return 0;
  }
  if (!sets.empty()) {
    std::printf("%s\n", written ? ("written: " + WrittenSections(written)).c_str() : "nothing changed");
    return 0;
  }
  std::printf("# %s\n", caption.c_str());
  for (const ConfigKeyDef& def : config.keys())
    std::printf("%s=%s\n", ConfigName(def).c_str(), config.Get(def.section, def.key).c_str());
  return 0;
}

}  // namespace tq::cli
