#include "cli/Json.h"

#include <cmath>
#include <cstdio>

namespace tq {

JsonWriter& JsonWriter::Double(double v) {
  Separate();
  if (!std::isfinite(v)) { out_ += "null"; return *this; }
  char buf[32];
  std::snprintf(buf, sizeof buf, "%.10g", v);
  out_ += buf;
  return *this;
}

void JsonWriter::Quote(const std::string& s) {
  out_ += '"';
  for (unsigned char c : s) {
    switch (c) {
      case '"': out_ += "\\\""; break;
      case '\\': out_ += "\\\\"; break;
      case '\n': out_ += "\\n"; break;
      case '\r': out_ += "\\r"; break;
      case '\t': out_ += "\\t"; break;
      default:
        if (c < 0x20) {
          char buf[8];
          std::snprintf(buf, sizeof buf, "\\u%04x", c);
          out_ += buf;
        } else {
          out_ += char(c);
        }
    }
  }
  out_ += '"';
}

}  // namespace tq
