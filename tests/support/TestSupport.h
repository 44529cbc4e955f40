// Small helpers shared by the test programs: running the reference tools and capturing
// what they print, temporary folders, fixture paths, whole-file reads.
#pragma once

#include <array>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include <sys/wait.h>

namespace tq::test {

struct CommandResult {
  int exitCode = -1;
  std::string output;  // standard output and standard error together
};

// Runs a shell command line exactly as given and captures its standard output.
inline CommandResult CaptureOutput(const std::string& commandLine) {
  CommandResult r;
  std::FILE* p = ::popen(commandLine.c_str(), "r");
  if (!p) return r;
  std::array<char, 4096> buffer;
  size_t n;
  while ((n = std::fread(buffer.data(), 1, buffer.size(), p)) > 0) r.output.append(buffer.data(), n);
  const int status = ::pclose(p);
  r.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return r;
}

// Runs a shell command line with standard error joined to the output; quote paths with Quote().
inline CommandResult RunCommand(const std::string& command) { return CaptureOutput(command + " 2>&1"); }

inline std::string Quote(const std::string& s) {
  std::string q = "'";
  for (char c : s) q += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return q + "'";
}

// The built tqmb20 run with `args` (already quoted for the shell): its exit code, its
// standard output, and its standard error kept apart in `errorOutput`.
struct ToolResult {
  int exitCode = -1;
  std::string output;
  std::string errorOutput;
};

inline ToolResult RunTqmb20(const std::string& args, const std::string& errorFile) {
  ToolResult r;
  CommandResult run = CaptureOutput("'" TQ_BUILD_DIR "/tqmb20' " + args + " 2>" + Quote(errorFile));
  r.exitCode = run.exitCode;
  r.output = run.output;
  std::ifstream in(errorFile, std::ios::binary);
  r.errorOutput.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  return r;
}

// The md5 column of "ffmpeg -f framemd5" lines, one entry per frame in order.
inline std::vector<std::string> FrameMd5Column(const std::string& framemd5) {
  std::vector<std::string> md5;
  size_t start = 0;
  while (start < framemd5.size()) {
    size_t end = framemd5.find('\n', start);
    if (end == std::string::npos) end = framemd5.size();
    std::string line = framemd5.substr(start, end - start);
    start = end + 1;
    if (line.empty() || line[0] == '#') continue;
    md5.push_back(line.substr(line.rfind(',') + 1));
  }
  return md5;
}

// "ffprobe -v error" prints nothing for a file it reads without complaint.
inline CommandResult Ffprobe(const std::string& path, const std::string& args = "") {
  return RunCommand("ffprobe -v error " + args + " " + Quote(path));
}

// One line per decoded frame (and sound frame), as "ffmpeg -f framemd5" prints them.
inline CommandResult FrameMd5(const std::string& path, const std::string& extra = "") {
  return RunCommand("ffmpeg -v error -nostdin -i " + Quote(path) + " " + extra +
                    " -fps_mode passthrough -f framemd5 -");
}

// A fresh folder, removed with everything in it when the object goes.
class TempDir {
 public:
  TempDir() {
    std::string tmpl = (std::filesystem::temp_directory_path() / "tqtest-XXXXXX").string();
    if (::mkdtemp(tmpl.data())) path_ = tmpl;
  }
  ~TempDir() {
    std::error_code ec;
    if (!path_.empty()) std::filesystem::remove_all(path_, ec);
  }
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
  const std::filesystem::path& path() const { return path_; }
  std::string file(const std::string& name) const { return (path_ / name).string(); }

 private:
  std::filesystem::path path_;
};

#ifdef TQ_FIXTURE_DIR
inline std::string Fixture(const std::string& name) {
  return (std::filesystem::path(TQ_FIXTURE_DIR) / name).string();
}
#endif

inline std::vector<uint8_t> ReadAll(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

inline bool CopyFile(const std::string& from, const std::string& to) {
  std::error_code ec;
  std::filesystem::copy_file(from, to, std::filesystem::copy_options::overwrite_existing, ec);
  return !ec;
}

}  // namespace tq::test
