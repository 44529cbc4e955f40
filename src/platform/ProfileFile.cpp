#include "platform/ProfileFile.h"

#include <climits>

#include "platform/Files.h"
#include "platform/Utf.h"

namespace tq {
namespace {

constexpr std::string_view kUtf8Bom = "\xEF\xBB\xBF";
constexpr std::string_view kUtf16LeBom = "\xFF\xFE";
constexpr std::string_view kDefaultLineEnd = "\r\n";

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

char AsciiLower(char c) { return (c >= 'A' && c <= 'Z') ? char(c + ('a' - 'A')) : c; }

bool SameName(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    if (AsciiLower(a[i]) != AsciiLower(b[i])) return false;
  }
  return true;
}

// Offsets into the text of one physical line.
struct Line {
  size_t start;    // first byte
  size_t end;      // end of the content, before "\r\n" or "\n"
  size_t next;     // first byte of the next line (text size at the end)
};

Line LineAt(const std::string& text, size_t start) {
  size_t nl = text.find('\n', start);
  if (nl == std::string::npos) return {start, text.size(), text.size()};
  size_t end = (nl > start && text[nl - 1] == '\r') ? nl - 1 : nl;
  return {start, end, nl + 1};
}

struct Span {
  size_t begin;
  size_t end;
};

// Trims blanks from both ends of [begin, end).
Span Trim(const std::string& text, size_t begin, size_t end) {
  while (begin < end && IsBlank(text[begin])) ++begin;
  while (end > begin && IsBlank(text[end - 1])) --end;
  return {begin, end};
}

// What one line holds.
struct Parsed {
  enum Kind { kOther, kSection, kKey } kind = kOther;
  Span name{0, 0};   // section or key name
  Span value{0, 0};  // value text, blanks trimmed (keys only)
};

Parsed ParseLine(const std::string& text, const Line& line) {
  Parsed p;
  Span content = Trim(text, line.start, line.end);
  if (content.begin == content.end) return p;
  char first = text[content.begin];
  if (first == ';') return p;  // comment
  if (first == '[') {
    size_t close = text.find(']', content.begin);
    size_t nameEnd = (close == std::string::npos || close > content.end) ? content.end : close;
    p.kind = Parsed::kSection;
    p.name = Trim(text, content.begin + 1, nameEnd);
    return p;
  }
  size_t eq = text.find('=', content.begin);
  if (eq == std::string::npos || eq >= content.end) return p;
  p.kind = Parsed::kKey;
  p.name = Trim(text, content.begin, eq);
  p.value = Trim(text, eq + 1, content.end);
  if (p.value.begin > p.value.end) p.value.end = p.value.begin;
  return p;
}

std::string_view View(const std::string& text, Span s) {
  return std::string_view(text).substr(s.begin, s.end - s.begin);
}

// Where a section and a key were found.
struct Location {
  bool sectionFound = false;
  size_t insertAt = 0;   // after the last non-blank line of the section
  bool insertNeedsLineEnd = false;
  bool keyFound = false;
  Span value{0, 0};
};

Location Locate(const std::string& text, std::string_view section, std::string_view key) {
  Location loc;
  bool inSection = false;
  for (size_t pos = 0; pos < text.size();) {
    Line line = LineAt(text, pos);
    Parsed p = ParseLine(text, line);
    if (p.kind == Parsed::kSection) {
      if (inSection) break;  // the first matching section is the one used
      if (SameName(View(text, p.name), section)) {
        inSection = true;
        loc.sectionFound = true;
        loc.insertAt = line.next;
        loc.insertNeedsLineEnd = line.next == line.end;
      }
    } else if (inSection) {
      if (p.kind == Parsed::kKey && SameName(View(text, p.name), key)) {
        loc.keyFound = true;
        loc.value = p.value;
        return loc;
      }
      if (Trim(text, line.start, line.end).begin != line.end) {
        loc.insertAt = line.next;
        loc.insertNeedsLineEnd = line.next == line.end;
      }
    }
    pos = line.next;
  }
  return loc;
}

bool HasLineBreak(std::string_view s) { return s.find_first_of("\r\n") != std::string_view::npos; }

}  // namespace

ProfileText ProfileText::Decode(std::string_view bytes) {
  ProfileText t;
  if (bytes.substr(0, 2) == kUtf16LeBom) {
    t.encoding_ = ProfileEncoding::kUtf16LeBom;
    t.text_ = Utf16LeToUtf8(bytes.substr(2), &t.lossless_);
  } else if (bytes.substr(0, 3) == kUtf8Bom) {
    t.encoding_ = ProfileEncoding::kUtf8Bom;
    t.text_ = std::string(bytes.substr(3));
  } else {
    t.text_ = std::string(bytes);
  }
  return t;
}

std::optional<std::string> ProfileText::Find(std::string_view section, std::string_view key) const {
  Location loc = Locate(text_, section, key);
  if (!loc.keyFound) return std::nullopt;
  std::string_view v = View(text_, loc.value);
  // One pair of matching quotes around the whole value is not part of it.
  if (v.size() >= 2 && (v.front() == '"' || v.front() == '\'') && v.back() == v.front()) {
    v = v.substr(1, v.size() - 2);
  }
  return std::string(v);
}

std::string_view ProfileText::LineEnd() const {
  size_t nl = text_.find('\n');
  if (nl == std::string::npos) return kDefaultLineEnd;
  return (nl > 0 && text_[nl - 1] == '\r') ? std::string_view("\r\n") : std::string_view("\n");
}

bool ProfileText::Set(std::string_view section, std::string_view key, std::string_view value) {
  if (section.find(']') != std::string_view::npos || HasLineBreak(section)) return false;
  if (key.empty() || key.find('=') != std::string_view::npos || HasLineBreak(key)) return false;
  if (key.front() == '[' || key.front() == ';' || IsBlank(key.front()) || IsBlank(key.back())) return false;
  if (HasLineBreak(value)) return false;

  Location loc = Locate(text_, section, key);
  std::string_view eol = LineEnd();
  if (loc.keyFound) {
    text_.replace(loc.value.begin, loc.value.end - loc.value.begin, value);
    return true;
  }
  std::string entry;
  if (loc.sectionFound) {
    if (loc.insertNeedsLineEnd) entry += eol;
    entry.append(key).append("=").append(value).append(eol);
    text_.insert(loc.insertAt, entry);
    return true;
  }
  if (!text_.empty() && text_.back() != '\n') entry += eol;
  entry.append("[").append(section).append("]").append(eol);
  entry.append(key).append("=").append(value).append(eol);
  text_ += entry;
  return true;
}

bool ProfileText::Encode(std::string* bytes) const {
  switch (encoding_) {
    case ProfileEncoding::kUtf8:
      *bytes = text_;
      return true;
    case ProfileEncoding::kUtf8Bom:
      *bytes = std::string(kUtf8Bom) + text_;
      return true;
    case ProfileEncoding::kUtf16LeBom: {
      if (!lossless_) return false;
      bool ok = true;
      std::string units = Utf8ToUtf16Le(text_, &ok);
      if (!ok) return false;
      *bytes = std::string(kUtf16LeBom) + units;
      return true;
    }
  }
  return false;
}

ProfileText ProfileFile::Load() const {
  std::string bytes;
  if (!ReadWholeFile(path_, kMaxFileBytes, &bytes)) return ProfileText();
  return ProfileText::Decode(bytes);
}

std::string ProfileFile::GetString(std::string_view section, std::string_view key,
                                   std::string_view def, size_t maxChars) const {
  std::optional<std::string> v = Load().Find(section, key);
  std::string_view value = v ? std::string_view(*v) : def;
  return std::string(Utf8Prefix(value, maxChars));
}

int ProfileFile::GetInt(std::string_view section, std::string_view key, int def) const {
  std::optional<std::string> v = Load().Find(section, key);
  return v ? ParseProfileInt(*v) : def;
}

bool ProfileFile::Has(std::string_view section, std::string_view key) const {
  return Load().Find(section, key).has_value();
}

bool ProfileFile::WriteString(std::string_view section, std::string_view key,
                              std::string_view value) const {
  std::string bytes;
  ProfileText text;
  if (FileExists(path_)) {
    // An existing file that cannot be read is never overwritten with a fresh one.
    if (!ReadWholeFile(path_, kMaxFileBytes, &bytes)) return false;
    text = ProfileText::Decode(bytes);
  }
  if (!text.Set(section, key, value)) return false;
  if (!text.Encode(&bytes)) return false;
  return ReplaceFileContents(path_, bytes);
}

int ParseProfileInt(std::string_view value) {
  size_t i = 0;
  while (i < value.size() && IsBlank(value[i])) ++i;
  bool negative = false;
  if (i < value.size() && (value[i] == '-' || value[i] == '+')) negative = value[i++] == '-';
  long long n = 0;
  for (; i < value.size() && value[i] >= '0' && value[i] <= '9'; ++i) {
    n = n * 10 + (value[i] - '0');
    if (n > (long long)INT_MAX + 1) n = (long long)INT_MAX + 1;
  }
  if (negative) n = -n;
  if (n > INT_MAX) n = INT_MAX;
  return int(n);
}

}  // namespace tq
