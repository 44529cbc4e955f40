// Helpers of the AVI tests: whole-file writes, frame md5 lines of one stream, and the
// frame tags an AVI decodes to.
#pragma once

#include <cstdint>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "support/FrameTags.h"
#include "support/TestSupport.h"

namespace tq::test {

inline bool WriteAll(const std::string& path, const std::vector<uint8_t>& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
  return out.good();
}

// The md5 column of every frame of the first stream of the output of FrameMd5(path, map).
inline std::vector<std::string> FrameHashes(const std::string& path, const std::string& map) {
  const CommandResult r = FrameMd5(path, "-map " + map);
  std::vector<std::string> out;
  if (r.exitCode != 0) return out;
  std::istringstream in(r.output);
  std::string line;
  while (std::getline(in, line)) {
    if (line.empty() || line[0] == '#') continue;
    const size_t comma = line.rfind(',');
    if (comma == std::string::npos) continue;
    size_t start = comma + 1;
    while (start < line.size() && line[start] == ' ') ++start;
    out.push_back(line.substr(start));
  }
  return out;
}

// "video,320,180;audio,0,0;" from ffprobe: the streams a file shows to other programs.
inline std::string ProbeStreams(const std::string& path) {
  const CommandResult r = Ffprobe(path, "-show_entries stream=codec_type,width,height -of csv=p=0");
  std::string s;
  for (char c : r.output) s += c == '\n' ? ';' : c;
  return s;
}

}  // namespace tq::test
