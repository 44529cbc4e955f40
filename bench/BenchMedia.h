// A generated front+rear pair (front 1920x1080 at 8 Mbit/s, rear 1280x720 at 4 Mbit/s,
// H.264 30 fps) kept in the build folder, made once by the sample generator.
#pragma once

#include <cstdlib>
#include <filesystem>
#include <string>

namespace tq {

inline bool RunShell(const std::string& command) { return std::system(command.c_str()) == 0; }

struct BenchPair {
  std::string dir, front, rear;
};

// stamp names the pair (date_time).
inline BenchPair NameBenchPair(const std::string& stamp) {
  const std::string dir = std::string(TQ_BUILD_DIR) + "/bench-media";
  return {dir, dir + "/" + stamp + "_NF.mp4", dir + "/" + stamp + "_NR.mp4"};
}

// Makes the files that are missing; seconds is the length. False when they cannot be made.
inline bool MakeBenchPair(const BenchPair* pair, int seconds) {
  std::filesystem::create_directories(pair->dir);
  const std::string gen = std::string(TQ_BUILD_DIR) + "/tqmb20-gen -q --duration " + std::to_string(seconds);
  if (!std::filesystem::exists(pair->front) &&
      !RunShell(gen + " --size 1920x1080 --bitrate 8000 -o '" + pair->front + "'"))
    return false;
  if (!std::filesystem::exists(pair->rear) &&
      !RunShell(gen + " --camera rear --seed 2 --size 1280x720 --bitrate 4000 -o '" + pair->rear + "'"))
    return false;
  return true;
}

}  // namespace tq
