// The shared look of every panel: the interface scale, the three interface fonts, the theme
// colours and the image strips. Set up once by the application on the GUI thread before the
// first window; read by every control (GUI thread only).
#pragma once

#include <QColor>
#include <QFont>
#include <QPixmap>
#include <QSize>

class QPainter;
class QRectF;
#include <vector>

#include "app/UiFonts.h"

namespace tq {

// Theme colours of the skin.
inline const QColor kThemeTitle{150, 23, 46};       // title bar, player and toolbar buttons
inline const QColor kThemeBand{54, 10, 20};         // panel bands, split lines, button faces
inline const QColor kThemeButtonState{94, 11, 29};  // a button state
inline const QColor kThemeViewLight{132, 43, 55};   // the main view's own painting
inline const QColor kThemeViewDark{76, 13, 27};
// Fixed colours of the owner-drawn controls.
inline const QColor kLightText{0xF2, 0xF2, 0xF2};    // light text and pressed fill
inline const QColor kDisabledText{0x80, 0x85, 0x89}; // disabled text and grid lines
inline const QColor kHotRow{0xBC, 0xBC, 0xBC};       // highlighted list row
inline const QColor kTitleGrey{128, 133, 137};       // the toolbar's playing title
inline const QColor kCaptionRed{250, 5, 5};          // the toolbar's diagnostic caption
// Panels of the main view.
inline const QColor kPanelBack{24, 20, 23};          // file list, GPS panel, timeline
inline const QColor kPlayerBack{0x05, 0x0A, 0x10};   // the player panel (COLORREF 0x100A05)
inline const QColor kMapBack{36, 40, 44};

// A strip of equal images, already drawn at the interface scale.
struct ImageList {
  QSize cell;                    // unscaled cell size (the list's first image rectangle)
  std::vector<QPixmap> images;   // each cell x scale
  int Count() const { return int(images.size()); }
  const QPixmap* At(int index) const;  // nullptr outside the list
};

enum class UiFontKind { Bold, Normal, Normal2 };

// Sets the scale and fonts and (re)draws the strips. GUI thread, before any control exists.
void InitGuiSkin(int uiScale, const UiFontSet& fonts);
int GuiScale();
QFont GuiFont(UiFontKind kind);
QFont QFontFrom(const UiFont& font);

// Image strips (their pixel content is our own artwork, drawn in code).
// Image buttons, 18 x 18: per glyph three cells (disabled, normal, active).
enum ImgGlyph { kGlyphMinimize, kGlyphMaximize, kGlyphRestore, kGlyphClose, kGlyphPlay, kGlyphCloud, kGlyphCount };
const ImageList& ImageButtonList();
// Check buttons, 23 x 23: unchecked, checked.
const ImageList& CheckButtonList();
// Toolbar icons, 34 x 29: per icon three cells (disabled, normal, pressed).
enum ToolIcon { kToolSetup, kToolFormat, kToolCard, kToolIconCount };
const ImageList& ToolbarIconList();
// Text-button skin: four states (disabled, normal, hover, pressed) of three slices each.
const ImageList& ButtonSkinList();
// Wait animation, 100 x 100, on the transparency key.
const ImageList& WaitAnimationList();
// On-video toggle buttons, 88 x 30: off, on.
const ImageList& DispButtonList();
// Toolbar background (stretched over the whole toolbar) and the program's logo (title bar).
const QPixmap& ToolbarBackground();
const QPixmap& LogoPixmap();
// The logo drawn at any size (30 x 30 units scaled into `area`).
void DrawLogo(QPainter& painter, const QRectF& area, const QColor& body, const QColor& lens);

}  // namespace tq
