#include "app/UiFonts.h"

namespace tq {
namespace {

constexpr int kWeightBold = 700;
constexpr int kWeightNormal = 400;
constexpr int kHangulCharset = 129;

// The Korean faces are the installed CJK faces for Korean; every other language uses
// the Japanese CJK face, which also covers Latin and Cyrillic, so the Japanese start-up
// interface always has its glyphs.
constexpr char kKoreanFace[] = "Noto Sans CJK KR";
constexpr char kDefaultFace[] = "Noto Sans CJK JP";
constexpr char kFallbackFace[] = "DejaVu Sans";

constexpr int kKoreanHeight[] = {-13, -23};   // at UI scale 1, 2
constexpr int kDefaultHeight[] = {-13, -27};

}  // namespace

UiFontSet UiFontsFor(std::string_view language, int uiScale) {
  int row = uiScale >= 2 ? 1 : 0;
  UiFont base;
  if (language == "korea") {
    base.face = kKoreanFace;
    base.height = kKoreanHeight[row];
    base.charset = kHangulCharset;
    base.draftQuality = true;
    base.strokeOutput = true;
    base.variablePitch = true;
    base.modernFamily = true;
  } else {
    base.face = kDefaultFace;
    base.height = kDefaultHeight[row];
  }
  base.fallbackFace = kFallbackFace;
  UiFontSet set{base, base, base};
  set.bold.weight = kWeightBold;
  set.normal.weight = kWeightNormal;
  set.normal2.weight = kWeightNormal;
  return set;
}

bool UpdateUiFonts(std::string_view language, int uiScale, bool* koreanActive, UiFontSet* fonts) {
  bool korean = language == "korea";
  if (!korean && !*koreanActive) return false;
  *koreanActive = korean;
  *fonts = UiFontsFor(language, uiScale);
  return true;
}

}  // namespace tq
