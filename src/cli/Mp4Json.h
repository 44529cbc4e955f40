// JSON helpers shared by the MP4 subcommands (info, repair).
#pragma once

#include <cstdint>
#include <string>

#include "container/Mp4Box.h"

namespace tq::cli {

// The four-character code a codec number stands for, "" for an unknown code.
std::string CodecFourCC(uint32_t codec);
// Text read from a file, made safe for JSON output: bytes outside printable ASCII
// become '?', so a corrupt notice can never produce invalid UTF-8.
std::string PrintableText(const char* text, size_t maxLength);
std::string Hex(const std::vector<uint8_t>& bytes);

}  // namespace tq::cli
