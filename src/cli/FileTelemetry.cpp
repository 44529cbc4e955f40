#include "cli/FileTelemetry.h"

#include <cctype>
#include <filesystem>
#include <memory>

#include "cli/Commands.h"
#include "container/Mp4Reader.h"
#include "telemetry/TelemetryLoad.h"

namespace tq::cli {
namespace {

constexpr size_t kDateDigits = 8;
constexpr uint64_t kMinMp4Bytes = 8;  // one box header

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

uint64_t LengthMs(const MP4INFO& info) {
  const MVHDBOX& m = info.moov.mvhd;
  return m.timescale ? m.duration * 1000 / m.timescale : 0;
}

// The length of the recording a companion file belongs to: the MP4 of the same name.
uint64_t PartnerLengthMs(const std::filesystem::path& companion) {
  for (const char* ext : {".mp4", ".MP4"}) {
    std::filesystem::path partner = companion;
    partner.replace_extension(ext);
    std::error_code ec;
    if (!std::filesystem::is_regular_file(partner, ec)) continue;
    MP4INFO info;
    uint64_t length = 0;
    ScanMP4(partner.string(), &info, 0, &length);
    const uint64_t ms = LengthMs(info);
    FreeMP4INFO(info);
    return ms;
  }
  return 0;
}

// The viewer validates (and may repair) a recording before it loads the telemetry; the
// command line only reads: the telemetry boxes are the same either way.
bool LoadMp4(const std::string& path, Want want, FileTelemetry* out, std::string* error) {
  auto buffers = std::make_unique<TelemetryBuffers>();
  MP4INFO info;
  PrepareTelemetryInfo(info, *buffers);
  uint64_t length = 0;
  ScanMP4(path, &info, 0, &length);
  if (length < kMinMp4Bytes || !(info.ftyp.found() || info.mdat.found() || info.moov.moov.found())) {
    FreeMP4INFO(info);
    *error = path + ": not a readable MP4 file";
    return false;
  }
  out->lengthMs = LengthMs(info);
  RecordingRef recording;
  recording.kind = RecordingKind::Mp4;
  recording.folder = std::filesystem::path(path).parent_path().string();
  recording.name = out->name;
  recording.parking = IsParkingMp4Name(out->name);
  LoadTelemetry(out->track, recording, &info, *buffers, [&](const uint8_t* block, int32_t size) {
    if (want == Want::GSensor && block && size > 0) out->gsensor = Parse3GF(block, size);
  });
  FreeMP4INFO(info);
  return true;
}

}  // namespace

bool LoadFileTelemetry(const std::string& path, Want want, FileTelemetry* out, std::string* error) {
  std::filesystem::path p(path);
  std::error_code ec;
  if (const std::string problem = FileProblem(path); !problem.empty()) {
    *error = path + ": " + problem;
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
    out->lengthMs = PartnerLengthMs(p);
    return true;
  }
  *error = path + (want == Want::Gps ? ": not a recording (.mp4, .avi) or a .gps file"
                                     : ": not a recording (.mp4, .avi) or a .3gf file");
  return false;
}

}  // namespace tq::cli
