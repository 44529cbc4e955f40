// The program version string and the interface scale.
#pragma once

#include <string>
#include <string_view>

namespace tq {

inline constexpr char kDefaultVersionString[] = "1.00";

// "%d.%02d" of the first and third of the four numbers of a file version "a.b.c.d"
// ("1.0.2.0" gives "1.02", "2.3.15.0" gives "2.15"); "1.00" when it is not four numbers.
std::string VersionStringFromFileVersion(std::string_view fileVersion);

// The version string of this build (from the build's own four version numbers).
std::string ProgramVersionString();

// Every pixel size of the interface is multiplied by this: 2 on a primary screen at
// least 1440 pixels high, else 1.
int UiScaleForScreenHeight(int screenHeightPixels);

}  // namespace tq
