#include "app/AppVersion.h"

#include <cstdio>

namespace tq {
namespace {

constexpr int kDoubleScaleScreenHeight = 1440;
constexpr size_t kMaxVersionChars = 31;

// Builds pass their version as four compile definitions; a build without them is 1.00.
#define TQ_STR2(x) #x
#define TQ_STR(x) TQ_STR2(x)
#if defined(TQ_VERSION_MAJOR) && defined(TQ_VERSION_MINOR) && defined(TQ_VERSION_PATCH) && defined(TQ_VERSION_TWEAK)
constexpr char kBuildFileVersion[] = TQ_STR(TQ_VERSION_MAJOR) "." TQ_STR(TQ_VERSION_MINOR) "." TQ_STR(
    TQ_VERSION_PATCH) "." TQ_STR(TQ_VERSION_TWEAK);
#else
constexpr char kBuildFileVersion[] = "";
#endif

}  // namespace

std::string VersionStringFromFileVersion(std::string_view fileVersion) {
  std::string text(fileVersion);
  int n[4];
  if (std::sscanf(text.c_str(), "%d.%d.%d.%d", &n[0], &n[1], &n[2], &n[3]) != 4) return kDefaultVersionString;
  char buf[64];
  std::snprintf(buf, sizeof buf, "%d.%02d", n[0], n[2]);
  return std::string(buf).substr(0, kMaxVersionChars);
}

std::string ProgramVersionString() { return VersionStringFromFileVersion(kBuildFileVersion); }

int UiScaleForScreenHeight(int screenHeightPixels) {
  return screenHeightPixels >= kDoubleScaleScreenHeight ? 2 : 1;
}

}  // namespace tq
