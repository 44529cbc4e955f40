// The camera's identity as a card records it: "TQ-MB20/Config/version.bin" (a profile
// file) on first-family cards, "setup.cfg" (fixed 64-byte record) on second-family ones.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "app/CardScan.h"

namespace tq {

struct CameraIdentity {
  std::string firmware;  // at most 7 characters
  std::string model;     // at most 15
  std::string language;  // at most 15, the camera's own name ("English", "Idn", ...)
  std::string option;    // at most 15; first family only
};

// Which parts ReadIdentity fills.
enum IdentityPart : unsigned {
  kIdFirmware = 1,
  kIdModel = 2,
  kIdLanguage = 4,
  kIdOption = 8,
  kIdAll = 15,
};

// Fills the asked parts from the card at `root`. False when the card has neither a
// readable version.bin nor a setup.cfg of a known model.
bool ReadIdentity(const std::string& root, unsigned parts, CameraIdentity* id);

// The model inside a version.bin "model" value: the seven characters that start eight
// before its end ("XTQ-MB20A" gives "TQ-MB20"); empty for a value shorter than eight.
std::string ModelFromVersionValue(std::string_view value);

// The identity read by the device settings dialog.
struct SettingsIdentity {
  int firmwareNumber = 0;  // 1.005 -> 1005
  int configNumber = 0;    // the same rule over "config"/"version"
  std::string model;       // the whole "firmware"/"model" value
  std::string language;    // converted to the interface's names ("english", "indonesian")
  std::string option;      // "firmware"/"opt"
  int region = 0;          // "local"/"region"
};

// Fails when `root` is empty or its version.bin is not both readable and writable.
bool ReadSettingsIdentity(const std::string& root, SettingsIdentity* id);

// The integer before the first '.' times 1000 plus the integer after it.
int VersionNumber(std::string_view text);

// Camera language names <-> interface language names.
std::string UiLanguageFromCamera(std::string_view cameraName);   // "Idn" -> "indonesian"
std::string CameraLanguageFromUi(std::string_view uiName);       // "vietnamese" -> "Vietnam"

// Writes " " + the camera's name for `uiName` (at most 13 bytes) as "firmware"/"language"
// of the card's version.bin.
bool WriteCameraLanguage(const std::string& root, std::string_view uiName);

// The card selector and its menu.
inline constexpr char kNoCardText[] = "NO SDCard";
inline constexpr char kUnknownModelText[] = "NONE";
struct CardSelectorView {
  std::string text;
  bool selectorEnabled = false;
  bool setupEnabled = false;  // only for the supported models
};
// Pure rule: `card` null means no current card; `identityRead` and `model` come from
// ReadIdentity.
CardSelectorView CardSelectorFor(const CardDrive* card, bool identityRead, std::string_view model);
// Reads the identity of `card` and applies the rule above.
CardSelectorView CardSelectorForCard(const CardDrive* card);
// The card menu: one item per card, with the selector's text rule; item i carries the
// command identifier kCardMenuFirstCommand + i.
inline constexpr int kCardMenuFirstCommand = 0x8007;
std::vector<std::string> CardMenuTexts(const std::vector<CardDrive>& cards);
// Whether a model is one the device settings dialog supports ("TQ-MB2" on 6 characters).
bool IsSupportedModel(std::string_view model);

}  // namespace tq
