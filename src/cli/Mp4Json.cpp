#include "cli/Mp4Json.h"

#include <cstring>

namespace tq::cli {

std::string CodecFourCC(uint32_t codec) {
  switch (codec) {
    case kCodecMp4v: return "mp4v";
    case kCodecS263: return "s263";
    case kCodecAvc1: return "avc1";
    case kCodecHvc1: return "hvc1";
    case kCodecMp3: return ".mp3";
    case kCodecMp4a: return "mp4a";
    case kCodecSamr: return "samr";
    case kCodecSevc: return "sevc";
    case kCodecSqcp: return "sqcp";
    case kCodecUlaw: return "ulaw";
    default: return "";
  }
}

std::string PrintableText(const char* text, size_t maxLength) {
  std::string s(text, strnlen(text, maxLength));
  for (char& c : s) {
    if (c < 0x20 || c > 0x7E) c = '?';
  }
  return s;
}

std::string Hex(const std::vector<uint8_t>& bytes) {
  static const char kDigits[] = "0123456789abcdef";
  std::string s;
  s.reserve(bytes.size() * 2);
  for (uint8_t b : bytes) {
    s += kDigits[b >> 4];
    s += kDigits[b & 15];
  }
  return s;
}

}  // namespace tq::cli
