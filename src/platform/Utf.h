// Text conversions between the encodings profile files arrive in (UTF-8, UTF-16LE) and
// code-point aware cutting of UTF-8 text.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace tq {

// Decodes little-endian UTF-16 (no BOM) into UTF-8. An odd trailing byte or a lone
// surrogate becomes U+FFFD and clears *lossless, so a caller can refuse to write the
// text back over the original.
std::string Utf16LeToUtf8(std::string_view bytes, bool* lossless = nullptr);

// Encodes UTF-8 as little-endian UTF-16 (no BOM). Bytes that are not valid UTF-8 become
// U+FFFD and clear *lossless.
std::string Utf8ToUtf16Le(std::string_view text, bool* lossless = nullptr);

// The longest prefix of `text` holding at most maxChars code points; never splits a
// sequence. Bytes that are not valid UTF-8 count as one character each.
std::string_view Utf8Prefix(std::string_view text, size_t maxChars);

// The longest prefix of `text` of at most maxBytes bytes that does not split a sequence.
std::string_view Utf8PrefixBytes(std::string_view text, size_t maxBytes);

// `text` without a multi-byte sequence cut short at its end (what a byte-limited
// formatter leaves behind); other bytes are kept as they are.
std::string_view Utf8DropCutTail(std::string_view text);

}  // namespace tq
