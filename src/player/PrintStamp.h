// The line printed under a picture: the recording's start from its file name plus the
// playing position, and where the picture lands on the page.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace tq {

// "%Y-%m-%d %H:%M:%S" of the name's date (8 digits) and, after one separator, time
// (6 digits), plus positionSec. Calendar arithmetic only: the camera's clock is local
// time and no time-zone rule applies to it. "" when the name carries no valid date/time.
std::string PrintTimeStamp(std::string_view name, int64_t positionSec);

// Isotropic placement of a picture on the printable area: the largest scale at which it
// fits, centred. Fractional page units.
struct PagePlacement {
  double scale = 0;   // page units per picture pixel
  double x = 0, y = 0;  // page position of the picture's top-left corner
};
PagePlacement PlaceOnPage(int pageW, int pageH, int pictureW, int pictureH);

}  // namespace tq
