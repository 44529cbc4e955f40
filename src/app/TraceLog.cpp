#include "app/TraceLog.h"

#include <cstdarg>
#include <cstdio>
#include <mutex>

#include "platform/Utf.h"

namespace tq {
namespace {

constexpr size_t kMessageChars = 8192;  // message buffer, terminator included

std::mutex& PathMutex() {
  static std::mutex m;
  return m;
}
std::string& PathLocked() {
  static std::string path;
  return path;
}

// One fwrite of the whole line under the lock: lines from the playback threads
// never interleave with those of the user-interface thread.
void WriteLine(const std::string& line) {
  std::lock_guard<std::mutex> lock(PathMutex());
  const std::string& path = PathLocked();
  if (!path.empty()) {
    if (std::FILE* f = std::fopen(path.c_str(), "ab")) {
      std::fwrite(line.data(), 1, line.size(), f);
      std::fclose(f);
      return;
    }
  }
  // On a terminal every entry is one whole line, also when the message lacks its end or
  // was cut; the trace file keeps the messages byte for byte.
  std::fwrite(line.data(), 1, line.size(), stderr);
  if (!line.empty() && line.back() != '\n') std::fputc('\n', stderr);
  std::fflush(stderr);
}

}  // namespace

bool StartTraceFile(const std::string& path, const std::string& version) {
  std::lock_guard<std::mutex> lock(PathMutex());
  PathLocked() = path;
  std::FILE* f = std::fopen(path.c_str(), "wb");
  if (!f) return false;
  std::fprintf(f, "Version : %s\n", version.c_str());
  std::fclose(f);
  return true;
}

void SetTraceFile(const std::string& path) {
  std::lock_guard<std::mutex> lock(PathMutex());
  PathLocked() = path;
}

std::string TraceFilePath() {
  std::lock_guard<std::mutex> lock(PathMutex());
  return PathLocked();
}

void TraceLog(const char* tag, int line, const char* format, ...) {
  // Each call formats into its own buffer: worker threads log concurrently.
  char message[kMessageChars];
  va_list args;
  va_start(args, format);
  int n = std::vsnprintf(message, sizeof message, format, args);
  va_end(args);
  if (n <= 0 || message[0] == '\0') return;

  std::string out;
  out.reserve(kMessageChars + 64);
  out += '[';
  out += tag ? tag : "";
  out += '(';
  out += std::to_string(line);
  out += ")] ";
  // vsnprintf cut a long message at 8191 bytes; drop a character split by that cut so
  // the trace file stays valid UTF-8 (paths are often Japanese).
  std::string_view text(message, size_t(n) < kMessageChars ? size_t(n) : kMessageChars - 1);
  if (size_t(n) >= kMessageChars) text = Utf8DropCutTail(text);
  out += text;
  WriteLine(out);
}

}  // namespace tq
