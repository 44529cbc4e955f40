#include "player/PrintStamp.h"

#include <algorithm>
#include <cctype>
#include <cstdio>

namespace tq {
namespace {

constexpr size_t kDateDigits = 8;
constexpr size_t kTimeDigits = 6;
constexpr int64_t kSecondsPerDay = 86400;

bool Digits(std::string_view s, size_t from, size_t count, int64_t* out) {
  if (s.size() < from + count) return false;
  int64_t v = 0;
  for (size_t i = from; i < from + count; ++i) {
    if (!std::isdigit(static_cast<unsigned char>(s[i]))) return false;
    v = v * 10 + (s[i] - '0');
  }
  *out = v;
  return true;
}

// Days since 1970-01-01 of a proleptic Gregorian date, and back.
int64_t DaysFromCivil(int64_t y, int64_t m, int64_t d) {
  y -= m <= 2;
  const int64_t era = (y >= 0 ? y : y - 399) / 400;
  const int64_t yoe = y - era * 400;
  const int64_t doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
  const int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + doe - 719468;
}

void CivilFromDays(int64_t z, int64_t* y, int64_t* m, int64_t* d) {
  z += 719468;
  const int64_t era = (z >= 0 ? z : z - 146096) / 146097;
  const int64_t doe = z - era * 146097;
  const int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const int64_t mp = (5 * doy + 2) / 153;
  *d = doy - (153 * mp + 2) / 5 + 1;
  *m = mp < 10 ? mp + 3 : mp - 9;
  *y = yoe + era * 400 + (*m <= 2);
}

int64_t DaysInMonth(int64_t y, int64_t m) {
  return DaysFromCivil(m == 12 ? y + 1 : y, m == 12 ? 1 : m + 1, 1) - DaysFromCivil(y, m, 1);
}

}  // namespace

std::string PrintTimeStamp(std::string_view name, int64_t positionSec) {
  int64_t date = 0, time = 0;
  if (!Digits(name, 0, kDateDigits, &date) || !Digits(name, kDateDigits + 1, kTimeDigits, &time))
    return {};
  const int64_t y = date / 10000, mo = date / 100 % 100, d = date % 100;
  const int64_t h = time / 10000, mi = time / 100 % 100, s = time % 100;
  if (mo < 1 || mo > 12 || d < 1 || d > DaysInMonth(y, mo) || h > 23 || mi > 59 || s > 59) return {};
  int64_t total = DaysFromCivil(y, mo, d) * kSecondsPerDay + h * 3600 + mi * 60 + s + std::max<int64_t>(0, positionSec);
  int64_t days = total / kSecondsPerDay, rest = total % kSecondsPerDay;
  int64_t oy = 0, om = 0, od = 0;
  CivilFromDays(days, &oy, &om, &od);
  char text[160];  // room for any int64 fields, so the compiler can prove no cut
  std::snprintf(text, sizeof text, "%04lld-%02lld-%02lld %02lld:%02lld:%02lld", static_cast<long long>(oy),
                static_cast<long long>(om), static_cast<long long>(od), static_cast<long long>(rest / 3600),
                static_cast<long long>(rest / 60 % 60), static_cast<long long>(rest % 60));
  return text;
}

PagePlacement PlaceOnPage(int pageW, int pageH, int pictureW, int pictureH) {
  PagePlacement p;
  if (pageW <= 0 || pageH <= 0 || pictureW <= 0 || pictureH <= 0) return p;
  p.scale = std::min(double(pageW) / pictureW, double(pageH) / pictureH);
  p.x = (pageW - pictureW * p.scale) / 2;
  p.y = (pageH - pictureH * p.scale) / 2;
  return p;
}

}  // namespace tq
