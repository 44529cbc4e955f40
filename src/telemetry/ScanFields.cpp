#include "telemetry/ScanFields.h"

#include <charconv>
#include <limits>

namespace tq {
namespace {

bool IsSpace(char c) { return c == ' ' || (c >= '\t' && c <= '\r'); }
bool IsDigit(char c) { return c >= '0' && c <= '9'; }

class Cursor {
 public:
  explicit Cursor(std::string_view s) : s_(s) {}
  bool AtEnd() const { return pos_ >= s_.size(); }
  char Peek() const { return s_[pos_]; }
  void SkipSpace() {
    while (!AtEnd() && IsSpace(Peek())) ++pos_;
  }

  // Optional sign and digits; false (nothing consumed that matters) when no digit follows.
  bool ReadInteger(int64_t min, int64_t max, int64_t* out) {
    SkipSpace();
    size_t p = pos_;
    bool negative = false;
    if (p < s_.size() && (s_[p] == '+' || s_[p] == '-')) negative = s_[p++] == '-';
    if (p >= s_.size() || !IsDigit(s_[p])) return false;
    // Accumulate towards the sign so that the most negative value is reachable.
    int64_t v = 0;
    bool clamped = false;
    for (; p < s_.size() && IsDigit(s_[p]); ++p) {
      int d = s_[p] - '0';
      if (clamped) continue;
      if (!negative) {
        if (v > (max - d) / 10) { v = max; clamped = true; } else { v = v * 10 + d; }
      } else {
        if (v < (min + d) / 10) { v = min; clamped = true; } else { v = v * 10 - d; }
      }
    }
    pos_ = p;
    *out = v;
    return true;
  }

  // sign? digits* ('.' digits*)? with at least one digit, then an exponent only when
  // digits follow it.
  bool ReadDouble(double* out) {
    SkipSpace();
    size_t start = pos_, p = pos_;
    if (p < s_.size() && (s_[p] == '+' || s_[p] == '-')) ++p;
    size_t digits = 0;
    while (p < s_.size() && IsDigit(s_[p])) { ++p; ++digits; }
    if (p < s_.size() && s_[p] == '.') {
      ++p;
      while (p < s_.size() && IsDigit(s_[p])) { ++p; ++digits; }
    }
    if (digits == 0) return false;
    if (p < s_.size() && (s_[p] == 'e' || s_[p] == 'E')) {
      size_t e = p + 1;
      if (e < s_.size() && (s_[e] == '+' || s_[e] == '-')) ++e;
      if (e < s_.size() && IsDigit(s_[e])) {
        while (e < s_.size() && IsDigit(s_[e])) ++e;
        p = e;
      }
    }
    // from_chars takes no leading '+'.
    size_t first = start;
    if (s_[first] == '+') ++first;
    double v = 0;
    auto r = std::from_chars(s_.data() + first, s_.data() + p, v);
    if (r.ec == std::errc::result_out_of_range) {
      // Out of range reads as strtod reads it: infinity above, zero below the range.
      size_t e = s_.find_first_of("eE", first);
      bool below = e != std::string_view::npos && e + 1 < p && s_[e + 1] == '-';
      v = below ? 0.0 : std::numeric_limits<double>::infinity();
      if (s_[first] == '-') v = -v;
    } else if (r.ec != std::errc()) {
      return false;
    }
    pos_ = p;
    *out = v;
    return true;
  }

  bool ReadChar(char* out) {
    if (AtEnd()) return false;
    *out = s_[pos_++];
    return true;
  }

  bool Match(char c) {
    if (AtEnd() || Peek() != c) return false;
    ++pos_;
    return true;
  }

 private:
  std::string_view s_;
  size_t pos_ = 0;
};

enum class Directive { Int32, Int64, Double, Char, Invalid };

// Reads the directive after a '%' and advances *i past it.
Directive ParseDirective(std::string_view format, size_t* i) {
  std::string_view rest = format.substr(*i);
  struct { std::string_view text; Directive d; } table[] = {
      {"I64d", Directive::Int64}, {"lld", Directive::Int64}, {"lf", Directive::Double},
      {"d", Directive::Int32},    {"c", Directive::Char},
  };
  for (const auto& row : table) {
    if (rest.substr(0, row.text.size()) == row.text) {
      *i += row.text.size();
      return row.d;
    }
  }
  return Directive::Invalid;
}

bool Assign(Cursor& in, Directive d, const ScanTarget& target) {
  switch (d) {
    case Directive::Int32: {
      int64_t v;
      auto* p = std::get_if<int32_t*>(&target);
      if (!p || !in.ReadInteger(std::numeric_limits<int32_t>::min(),
                                std::numeric_limits<int32_t>::max(), &v))
        return false;
      **p = int32_t(v);
      return true;
    }
    case Directive::Int64: {
      int64_t v;
      auto* p = std::get_if<int64_t*>(&target);
      if (!p || !in.ReadInteger(std::numeric_limits<int64_t>::min(),
                                std::numeric_limits<int64_t>::max(), &v))
        return false;
      **p = v;
      return true;
    }
    case Directive::Double: {
      double v;
      auto* p = std::get_if<double*>(&target);
      if (!p || !in.ReadDouble(&v)) return false;
      **p = v;
      return true;
    }
    case Directive::Char: {
      char v;
      auto* p = std::get_if<char*>(&target);
      if (!p || !in.ReadChar(&v)) return false;
      **p = v;
      return true;
    }
    case Directive::Invalid:
      break;
  }
  return false;
}

}  // namespace

int ScanFields(std::string_view input, std::string_view format,
               std::span<const ScanTarget> targets) {
  Cursor in(input);
  int assigned = 0;
  for (size_t i = 0; i < format.size();) {
    char f = format[i];
    if (IsSpace(f)) {
      in.SkipSpace();
      ++i;
      continue;
    }
    if (f != '%') {
      if (!in.Match(f)) break;
      ++i;
      continue;
    }
    ++i;
    if (i < format.size() && format[i] == '%') {
      in.SkipSpace();
      if (!in.Match('%')) break;
      ++i;
      continue;
    }
    Directive d = ParseDirective(format, &i);
    if (d == Directive::Invalid || size_t(assigned) >= targets.size()) break;
    if (!Assign(in, d, targets[assigned])) break;
    ++assigned;
  }
  return assigned;
}

}  // namespace tq
