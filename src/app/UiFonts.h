// The three shared interface fonts, chosen by language and interface scale.
#pragma once

#include <string>
#include <string_view>

namespace tq {

struct UiFont {
  std::string face;
  std::string fallbackFace;  // when `face` is not installed
  int height = 0;            // negative: character height in pixels, as font tables give it
  int weight = 400;          // 700 bold, 400 normal
  int charset = 0;           // 129 Hangul, 0 default
  bool draftQuality = false;
  bool strokeOutput = false; // stroke output and clip precision
  bool variablePitch = false;
  bool modernFamily = false;
};

struct UiFontSet {
  UiFont bold;     // font 1
  UiFont normal;   // font 2
  UiFont normal2;  // font 3
};

// The fonts for a language at a UI scale (1 or 2).
UiFontSet UiFontsFor(std::string_view language, int uiScale);

// Re-creates the fonts when the Korean state changes. `koreanActive` starts true so the
// first call always creates them. Returns whether `fonts` was set.
bool UpdateUiFonts(std::string_view language, int uiScale, bool* koreanActive, UiFontSet* fonts);

}  // namespace tq
