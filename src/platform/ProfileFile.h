// Profile files ("[section]" lines and "key=value" lines): the program's setup.ini, the
// language files and the camera's version.bin and config.ini.
//
// Look-ups match section and key names without regard to ASCII case and return values
// without surrounding blanks (and without one pair of enclosing quotes). A write replaces
// only the value text of the one key and keeps every other byte of the file: comments,
// unknown keys, order, spacing and line ends. A missing key is added after the last line
// of its section, a missing section at the end of the file.
//
// Files are read as UTF-8 with or without a byte-order mark, or UTF-16LE with its mark;
// values are handed out as UTF-8 and a rewritten file keeps the encoding it had.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace tq {

enum class ProfileEncoding { kUtf8, kUtf8Bom, kUtf16LeBom };

// The decoded text of one profile file, held in memory.
class ProfileText {
 public:
  ProfileText() = default;
  // Decodes file bytes (any of the encodings above).
  static ProfileText Decode(std::string_view bytes);

  // The value of the key, or nothing when the section or the key is missing.
  std::optional<std::string> Find(std::string_view section, std::string_view key) const;
  // Sets one value, editing the text in place. False for names or values that would
  // break the file's line structure (line breaks, '=' or a leading '[' in a key, ']' in a
  // section name, an empty key).
  bool Set(std::string_view section, std::string_view key, std::string_view value);

  // The file bytes in the original encoding. False when the original could not be
  // decoded without loss (a broken UTF-16 file is never written back).
  bool Encode(std::string* bytes) const;

  ProfileEncoding encoding() const { return encoding_; }
  const std::string& text() const { return text_; }  // UTF-8, no byte-order mark

 private:
  std::string_view LineEnd() const;

  std::string text_;
  ProfileEncoding encoding_ = ProfileEncoding::kUtf8;
  bool lossless_ = true;
};

// One profile file on disk. Every call reads the file afresh, as the camera or the user
// may change it between calls; nothing is cached.
class ProfileFile {
 public:
  static constexpr size_t kNoLimit = SIZE_MAX;
  static constexpr size_t kMaxFileBytes = 4u << 20;  // larger files are not profile files

  explicit ProfileFile(std::string path) : path_(std::move(path)) {}
  const std::string& path() const { return path_; }

  // The value, cut to at most maxChars characters (the look-up's buffer size less its
  // terminator); `def` when the file, the section or the key is missing.
  std::string GetString(std::string_view section, std::string_view key, std::string_view def,
                        size_t maxChars = kNoLimit) const;
  // The leading decimal number of the value (0 when it has none); `def` when missing.
  int GetInt(std::string_view section, std::string_view key, int def) const;
  bool Has(std::string_view section, std::string_view key) const;

  // Writes one value, creating the file when it is missing (never its folder).
  // False when the file cannot be read, decoded losslessly or written.
  bool WriteString(std::string_view section, std::string_view key, std::string_view value) const;

  // Loads the whole file; an empty text when it is missing or unreadable.
  ProfileText Load() const;

 private:
  std::string path_;
};

// GetPrivateProfileInt's reading of a number: optional blanks, sign, decimal digits;
// clamped to the int range.
int ParseProfileInt(std::string_view value);

}  // namespace tq
