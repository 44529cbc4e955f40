// The player panel's own artwork, drawn in code at the interface scale: the control-row
// buttons (three cells per glyph: disabled, normal, active, as the image buttons expect)
// and the 434 x 234 logo shown while nothing plays. GUI thread only.
#pragma once

#include <QPixmap>

#include "controls/GuiSkin.h"

namespace tq {

enum PlayerGlyph {
  kPlayerPlay, kPlayerPause, kPlayerStop, kPlayerPrev, kPlayerNext, kPlayerCapture, kPlayerPrint,
  kPlayerPip, kPlayerSwap, kPlayerFit, kPlayerFull, kPlayerRestore, kPlayerFlip, kPlayerMirror,
  kPlayerStretch, kPlayerGlyphCount
};
// Base index of a glyph's three cells in PlayerButtonList().
inline int PlayerGlyphBase(PlayerGlyph g) { return int(g) * 3; }

// 23 x 23 cells, redrawn when the interface scale changes.
const ImageList& PlayerButtonList();
// The logo at 434 x 234 x scale.
const QPixmap& PlayerLogo();
// The colour of the logo's camera body: tests look for it.
QColor PlayerLogoBody();

}  // namespace tq
