#include "app/CardEvents.h"

namespace tq {
namespace {

// lParam for a card: 0 browses its Record folder, 1 its root.
int BrowseKindOf(const CardDrive& card) { return card.family == kFamilyFolder ? 0 : 1; }

}  // namespace

CardEventResult DecideCardArrival(const std::vector<CardDrive>& oldCards, const std::vector<CardDrive>& newCards,
                                  const std::string& currentCard, const std::string& browseFolder) {
  CardEventResult r{currentCard, browseFolder};
  if (newCards.empty() || IsOnCard(browseFolder, oldCards)) return r;
  for (size_t i = 0; i < newCards.size(); ++i) {
    if (i < oldCards.size() && oldCards[i].root == newCards[i].root) continue;
    r.currentCard = newCards[i].root;
    r.kind = kCardBrowsedChanged;
    // The browse kind follows the card that becomes current, not the first card: a
    // second-family card inserted beside a first-family one is browsed at its root.
    r.lParam = BrowseKindOf(newCards[i]);
    return r;
  }
  // The same cards as before (another kind of volume arrived): nothing to switch to.
  return r;
}

CardEventResult DecideCardRemoval(const std::vector<CardDrive>& oldCards, const std::vector<CardDrive>& newCards,
                                  const std::string& currentCard, const std::string& browseFolder,
                                  const std::string& filePathSetting) {
  CardEventResult r{currentCard, browseFolder};
  bool browsedCard = IsOnCard(browseFolder, oldCards);
  if (!newCards.empty()) {
    if (const CardDrive* still = FindCard(newCards, currentCard)) {
      r.kind = kCardSetChanged;
      r.lParam = BrowseKindOf(*still);
      return r;
    }
    r.currentCard = newCards.front().root;
    r.kind = browsedCard ? kCardBrowsedChanged : kCardSetChanged;
    r.lParam = BrowseKindOf(newCards.front());
    return r;
  }
  if (browsedCard) r.browseFolder = filePathSetting;
  r.currentCard.clear();
  r.kind = browsedCard ? kCardBrowsedChanged : kCardSetChanged;
  return r;
}

CardEventResult DecideCardPick(const std::vector<CardDrive>& cards, size_t index, const std::string& currentCard,
                               const std::string& browseFolder, bool recordFolderExists) {
  CardEventResult r{currentCard, browseFolder};
  if (index >= cards.size()) return r;
  r.kind = cards[index].root == currentCard ? kCardPicked : kCardBrowsedChanged;
  r.currentCard = cards[index].root;
  r.lParam = recordFolderExists ? 0 : 1;
  return r;
}

CardEventResult DecideAfterFormat(const std::vector<CardDrive>& newCards, int newFamily,
                                  const std::string& formattedRoot, const std::string& currentCard,
                                  const std::string& browseFolder) {
  CardEventResult r;
  r.currentCard = currentCard;
  r.browseFolder = browseFolder;
  r.lParam = newFamily == kFamilyFolder ? 0 : 1;
  if (newCards.empty()) {
    r.currentCard.clear();
    r.browseFolder.clear();
    r.kind = kCardPicked;
  } else if (currentCard == formattedRoot) {
    r.currentCard = newCards.front().root;
    r.kind = kCardPicked;
  }
  return r;
}

CardChangedAction DecideCardChanged(int kind, int lParam, const std::string& currentCard,
                                    const std::string& browseFolder) {
  CardChangedAction a;
  a.browseFolder = browseFolder;
  if (kind == kCardSetChanged) {
    a.refreshSelector = true;
    a.closeAbout = true;
    return a;
  }
  if (kind != kCardPicked && kind != kCardBrowsedChanged) return a;
  if (!currentCard.empty()) {
    std::string folder = lParam == 0 ? CardRecordFolder(currentCard) : currentCard;
    if (kind == kCardPicked && folder == browseFolder) return a;
    a.browseFolder = folder;
  }
  a.reload = true;
  if (kind == kCardBrowsedChanged) {
    a.refreshSelector = true;
    a.closeAbout = true;
  }
  return a;
}

}  // namespace tq
