// A small, platform-independent reader for the fixed scanf-style formats of the GPS
// sentences. It behaves as the C library's scanf family does for the directives used
// here, so that every platform reads a damaged sentence the same way:
//   %d     optional white space, optional sign, decimal digits   -> int32_t
//   %I64d  the same, 64-bit                                      -> int64_t
//   %lf    optional white space, a decimal number with optional
//          fraction and exponent                                 -> double
//   %c     exactly one character, white space included           -> char
//   white space in the format skips any white space in the input; any other format
//   character must match the input character exactly.
// Fields are assigned from the left until the first mismatch; the targets after it are
// left untouched. A number too large for its field is held at the field's limit.
// Numbers are read without the locale (the decimal point is always ".").
#pragma once

#include <cstdint>
#include <span>
#include <string_view>
#include <variant>

namespace tq {

using ScanTarget = std::variant<int32_t*, int64_t*, double*, char*>;

// Returns the number of fields assigned. The targets are taken in the order of the
// format's directives; a directive without a target ends the scan.
int ScanFields(std::string_view input, std::string_view format,
               std::span<const ScanTarget> targets);

}  // namespace tq
