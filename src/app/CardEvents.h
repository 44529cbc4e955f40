// What the main frame and the main view do when cards come and go or one is picked in
// the card selector. The decisions are pure: the GUI rescans, calls one of these, stores
// the result and posts UM_CARD_CHANGED with the kind and lParam returned.
#pragma once

#include <string>
#include <vector>

#include "app/CardScan.h"

namespace tq {

// wParam of UM_CARD_CHANGED.
enum CardChangeKind : int {
  kCardNothing = 0,        // post nothing
  kCardPicked = 1,         // a card was picked; reload only when the folder changes
  kCardBrowsedChanged = 2, // the browsed card changed
  kCardSetChanged = 3,     // the set of cards changed, the browsed card did not
};

struct CardEventResult {
  std::string currentCard;   // root of the current card after the event ("" none)
  std::string browseFolder;  // browse folder after the event
  int kind = kCardNothing;   // UM_CARD_CHANGED wParam to post
  int lParam = 0;            // 0: browse the card's Record folder; non-zero: its root
};

// A volume arrived; `newCards` is the rescan. A card browsed stays browsed; otherwise the
// first card at a position that changed becomes current and is browsed.
CardEventResult DecideCardArrival(const std::vector<CardDrive>& oldCards, const std::vector<CardDrive>& newCards,
                                  const std::string& currentCard, const std::string& browseFolder);

// A volume went away. `filePathSetting` is the "filepath" folder (with its default),
// browsed again when the last card is gone.
CardEventResult DecideCardRemoval(const std::vector<CardDrive>& oldCards, const std::vector<CardDrive>& newCards,
                                  const std::string& currentCard, const std::string& browseFolder,
                                  const std::string& filePathSetting);

// A pick in the card menu. `recordFolderExists` tells whether the picked card has a
// "TQ-MB20/Record" folder.
CardEventResult DecideCardPick(const std::vector<CardDrive>& cards, size_t index, const std::string& currentCard,
                               const std::string& browseFolder, bool recordFolderExists);

// The card list after a format (`newCards`, family `newFamily` of the rescan) of the drive
// at `formattedRoot`. The formatted card is no camera card any more; the browsed card moves
// to the first card left, or to none with an empty browse folder (kind 1 either way).
// Another card browsed stays browsed and nothing is posted while cards remain.
CardEventResult DecideAfterFormat(const std::vector<CardDrive>& newCards, int newFamily,
                                  const std::string& formattedRoot, const std::string& currentCard,
                                  const std::string& browseFolder);

// What the main view does with UM_CARD_CHANGED.
struct CardChangedAction {
  bool reload = false;            // close the recording, rescan the catalog, refill the list
  std::string browseFolder;       // the browse folder to use (unchanged unless reload)
  bool refreshSelector = false;   // update the card selector
  bool closeAbout = false;        // close the About box when open
};
CardChangedAction DecideCardChanged(int kind, int lParam, const std::string& currentCard,
                                    const std::string& browseFolder);

}  // namespace tq
