#include "cli/FileTelemetry.h"

#include <cctype>
#include <filesystem>
#include <memory>

#include "telemetry/TelemetryLoad.h"

namespace tq::cli {
namespace {

constexpr size_t kDateDigits = 8;

std::string LowerExtension(const std::filesystem::path& p) {
  std::string ext = p.extension().string();
  for (char& c : ext) c = char(std::tolower(static_cast<unsigned char>(c)));
  return ext;
}

std::string DateOf(const std::string& name) {
  if (name.size() <= kDateDigits || name[kDateDigits] != '_') return {};
  for (size_t i = 0; i < kDateDigits; ++i)
    if (!std::isdigit(static_cast<unsigned char>(name[i]))) return {};
  return name.substr(0, kDateDigits);
}

bool LoadMp4(const std::string& path, Want want, FileTelemetry* out, std::string* error) {
  (void)want;
  (void)out;
  *error = path + ": reading telemetry embedded in MP4 recordings needs the MP4 box reader, "
                  "which this build does not have yet";
  return false;
}

}  // namespace

bool LoadFileTelemetry(const std::string& path, Want want, FileTelemetry* out, std::string* error) {
  std::filesystem::path p(path);
  std::error_code ec;
  if (!std::filesystem::is_regular_file(p, ec)) {
    *error = path + ": no such file";
    return false;
  }
  out->name = p.stem().string();
  out->date = DateOf(out->name);
  out->track.startOfDay = std::max(StartOfDayFromName(out->name), 0);
  const std::string ext = LowerExtension(p);

  if (ext == ".mp4") return LoadMp4(path, want, out, error);
  if (ext == ".avi") {
    *error = path + ": AVI recordings are not supported yet (their GPS and G-sensor streams "
                    "are gathered by the AVI playback indexer, which comes later)";
    return false;
  }
  if (std::filesystem::file_size(p, ec) == 0 && !ec) {
    *error = path + ": the file is empty";
    return false;
  }
  auto buffers = std::make_unique<TelemetryBuffers>();
  uint32_t size = 0;
  if (ext == ".gps" && want == Want::Gps) {
    if (!ReadWholeFile(path, buffers->telemetry.data(), kTelemetryBufferSize, &size, CutRule::Lines)) {
      *error = path + ": cannot read the file (empty or unreadable)";
      return false;
    }
    ParseNmeaText(out->track, buffers->telemetry.data(), int32_t(size));
    return true;
  }
  if (ext == ".3gf" && want == Want::GSensor) {
    if (!ReadWholeFile(path, buffers->sensor.data(), kSensorBufferSize, &size, CutRule::Records3gf)) {
      *error = path + ": cannot read the file (empty or unreadable)";
      return false;
    }
    out->gsensor = Parse3GF(buffers->sensor.data(), size);
    return true;
  }
  *error = path + (want == Want::Gps ? ": not a recording (.mp4, .avi) or a .gps file"
                                     : ": not a recording (.mp4, .avi) or a .3gf file");
  return false;
}

}  // namespace tq::cli
