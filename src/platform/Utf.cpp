#include "platform/Utf.h"

#include <cstdint>

namespace tq {
namespace {

constexpr char32_t kReplacement = 0xFFFD;

void AppendUtf8(std::string& out, char32_t cp) {
  if (cp < 0x80) {
    out += char(cp);
  } else if (cp < 0x800) {
    out += char(0xC0 | (cp >> 6));
    out += char(0x80 | (cp & 0x3F));
  } else if (cp < 0x10000) {
    out += char(0xE0 | (cp >> 12));
    out += char(0x80 | ((cp >> 6) & 0x3F));
    out += char(0x80 | (cp & 0x3F));
  } else {
    out += char(0xF0 | (cp >> 18));
    out += char(0x80 | ((cp >> 12) & 0x3F));
    out += char(0x80 | ((cp >> 6) & 0x3F));
    out += char(0x80 | (cp & 0x3F));
  }
}

void AppendUtf16(std::string& out, char32_t cp) {
  auto unit = [&out](uint16_t u) {
    out += char(u & 0xFF);
    out += char(u >> 8);
  };
  if (cp < 0x10000) {
    unit(uint16_t(cp));
  } else {
    cp -= 0x10000;
    unit(uint16_t(0xD800 + (cp >> 10)));
    unit(uint16_t(0xDC00 + (cp & 0x3FF)));
  }
}

// Length of the valid UTF-8 sequence at text[i] and its code point; 0 when invalid.
size_t DecodeUtf8At(std::string_view text, size_t i, char32_t* cp) {
  auto b = [&](size_t k) { return uint8_t(text[i + k]); };
  uint8_t lead = b(0);
  size_t len;
  char32_t value;
  if (lead < 0x80) { *cp = lead; return 1; }
  if ((lead & 0xE0) == 0xC0) { len = 2; value = lead & 0x1F; }
  else if ((lead & 0xF0) == 0xE0) { len = 3; value = lead & 0x0F; }
  else if ((lead & 0xF8) == 0xF0) { len = 4; value = lead & 0x07; }
  else return 0;
  if (i + len > text.size()) return 0;
  for (size_t k = 1; k < len; ++k) {
    if ((b(k) & 0xC0) != 0x80) return 0;
    value = (value << 6) | (b(k) & 0x3F);
  }
  static constexpr char32_t kMin[] = {0, 0, 0x80, 0x800, 0x10000};
  if (value < kMin[len] || value > 0x10FFFF || (value >= 0xD800 && value <= 0xDFFF)) return 0;
  *cp = value;
  return len;
}

}  // namespace

std::string Utf16LeToUtf8(std::string_view bytes, bool* lossless) {
  std::string out;
  out.reserve(bytes.size());
  bool ok = true;
  size_t units = bytes.size() / 2;
  auto unitAt = [&](size_t k) {
    return uint16_t(uint8_t(bytes[2 * k]) | (uint8_t(bytes[2 * k + 1]) << 8));
  };
  for (size_t k = 0; k < units; ++k) {
    uint16_t u = unitAt(k);
    if (u >= 0xD800 && u <= 0xDBFF && k + 1 < units) {
      uint16_t low = unitAt(k + 1);
      if (low >= 0xDC00 && low <= 0xDFFF) {
        AppendUtf8(out, 0x10000 + ((char32_t(u) - 0xD800) << 10) + (low - 0xDC00));
        ++k;
        continue;
      }
    }
    if (u >= 0xD800 && u <= 0xDFFF) {
      AppendUtf8(out, kReplacement);
      ok = false;
      continue;
    }
    AppendUtf8(out, u);
  }
  if (bytes.size() % 2) {
    AppendUtf8(out, kReplacement);
    ok = false;
  }
  if (lossless) *lossless = ok;
  return out;
}

std::string Utf8ToUtf16Le(std::string_view text, bool* lossless) {
  std::string out;
  out.reserve(text.size() * 2);
  bool ok = true;
  for (size_t i = 0; i < text.size();) {
    char32_t cp;
    size_t len = DecodeUtf8At(text, i, &cp);
    if (len == 0) {
      cp = kReplacement;
      len = 1;
      ok = false;
    }
    AppendUtf16(out, cp);
    i += len;
  }
  if (lossless) *lossless = ok;
  return out;
}

std::string_view Utf8Prefix(std::string_view text, size_t maxChars) {
  size_t i = 0;
  for (size_t chars = 0; i < text.size() && chars < maxChars; ++chars) {
    char32_t cp;
    size_t len = DecodeUtf8At(text, i, &cp);
    i += len ? len : 1;
  }
  return text.substr(0, i);
}

std::string_view Utf8PrefixBytes(std::string_view text, size_t maxBytes) {
  size_t i = 0;
  while (i < text.size()) {
    char32_t cp;
    size_t len = DecodeUtf8At(text, i, &cp);
    if (len == 0) len = 1;
    if (i + len > maxBytes) break;
    i += len;
  }
  return text.substr(0, i);
}

std::string_view Utf8DropCutTail(std::string_view text) {
  // A sequence is at most four bytes: look at the last lead byte among the final three.
  for (size_t back = 1; back <= 3 && back <= text.size(); ++back) {
    uint8_t b = uint8_t(text[text.size() - back]);
    if ((b & 0xC0) == 0x80) continue;  // continuation byte: keep looking for its lead
    size_t need = (b & 0xE0) == 0xC0 ? 2 : (b & 0xF0) == 0xE0 ? 3 : (b & 0xF8) == 0xF0 ? 4 : 1;
    return need > back ? text.substr(0, text.size() - back) : text;
  }
  return text;
}

}  // namespace tq
