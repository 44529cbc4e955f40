// Finding the camera's cards among the removable drives. A card is identified by the
// mount root of its volume (the drive letter of the camera's own world).
#pragma once

#include <string>
#include <vector>

#include "platform/DriveProvider.h"

namespace tq {

// The camera keeps its folders under this folder of the card; the settings folder is
// named after it too.
inline constexpr char kCardFolderPrefix[] = "TQ-MB20/";

// Which camera wrote a card.
enum CardFamily : int {
  kFamilyNone = -1,    // not scanned yet / not a card
  kFamilyFolder = 0,   // "TQ-MB20/" folder with Record and Config
  kFamilySetupCfg = 1, // "setup.cfg" at the root, recordings at the root
};

struct CardDrive {
  std::string root;   // mount root
  std::string label;  // volume label, shown where the camera's world shows "E:\"
  int family = kFamilyNone;
};

// The family of the card at `root`, or kFamilyNone when it is not a camera card. A
// drive that cannot be read is not a card.
int CardFamilyOf(const std::string& root);

// Rebuilds the card list from the provider's removable drives, in the provider's
// order. `family`, when still kFamilyNone, becomes the family of the first card found.
// True when at least one card was found.
bool ScanCards(const DriveProvider& drives, std::vector<CardDrive>* cards, int* family);

// root + "/TQ-MB20/Record".
std::string CardRecordFolder(const std::string& root);
// root + "/TQ-MB20/Config/<name>".
std::string CardConfigFile(const std::string& root, const char* name);
// The folder listed for a card: its Record folder (first family) or its root.
std::string CardBrowseFolder(const std::string& root, int family);

// Whether `path` is the root of one of the cards or inside it.
bool IsOnCard(const std::string& path, const std::vector<CardDrive>& cards);
// The card with that root, or nullptr.
const CardDrive* FindCard(const std::vector<CardDrive>& cards, const std::string& root);

}  // namespace tq
