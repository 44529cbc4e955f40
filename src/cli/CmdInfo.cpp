// tqmb20 info FILE... [--json]: what validation reads from a recording, read-only.
#include <cstdio>
#include <vector>

#include "cli/AviCommands.h"
#include "cli/Commands.h"
#include "cli/Json.h"
#include "cli/Mp4Json.h"
#include "container/Mp4Reader.h"
#include "container/Mp4Valid.h"

namespace tq::cli {
namespace {

// The viewer's telemetry buffers: GPS text (160 KiB) and G-sensor block (60 KiB).
constexpr uint32_t kTelemetryBytes = (160 + 60) * 1024;

struct FileInfo {
  MP4INFO set[2];
  std::vector<uint8_t> telemetry[2];
  bool playable = false;
  std::string indexProblem;  // why an index that is present cannot be used
  int sets = 1;
};

bool SecondSetFound(const MP4INFO& s) {
  return s.ftyp.found() || s.moov.moov.found() || s.mdat.found();
}

void ConfigStrings(JsonWriter& j, const std::vector<ConfigParam>& config) {
  j.Key("config_strings").BeginArray();
  for (const ConfigParam& p : config) j.String(Hex(p.szConfigStr));
  j.EndArray();
}

void CodecField(JsonWriter& j, uint32_t codec) {
  std::string fourcc = CodecFourCC(codec);
  j.Key("codec");
  if (fourcc.empty()) j.Null(); else j.String(fourcc);
}

void StreamDescriptions(JsonWriter& j, const MP4INFO& s) {
  j.Key("video");
  if (s.ptrh.ptvi.found()) {
    const PTVIBOX& vi = s.ptrh.vi;
    j.BeginObject();
    CodecField(j, vi.codec);
    j.Key("width").Int(vi.width).Key("height").Int(vi.height);
    ConfigStrings(j, vi.config);
    j.EndObject();
  } else {
    j.Null();
  }
  j.Key("sound");
  if (s.ptrh.ptso.found()) {
    const PTSOBOX& so = s.ptrh.so;
    j.BeginObject();
    CodecField(j, so.codec);
    j.Key("channels").Int(so.channelCount).Key("bits").Int(so.bitsPerSample)
        .Key("rate").UInt(so.sampleRate);
    ConfigStrings(j, so.config);
    j.EndObject();
  } else {
    j.Null();
  }
}

void Tracks(JsonWriter& j, const MOOVBOX& moov) {
  j.Key("tracks").BeginArray();
  for (const auto& t : moov.trak) {
    if (!t) continue;
    const STBLBOX& stbl = t->mdia.minf.stbl;
    const MDHDBOX& mdhd = t->mdia.mdhd;
    uint32_t format = stbl.stsd.entries.empty() ? 0 : stbl.stsd.entries[0].format;
    double durationMs = mdhd.timescale ? double(mdhd.duration) * 1000.0 / mdhd.timescale : 0;
    j.BeginObject()
        .Key("id").UInt(t->tkhd.trackId)
        .Key("handler").String(FourCCText(t->mdia.hdlr.handlerType))
        .Key("format").String(FourCCText(format))
        .Key("width").Int(t->tkhd.width)
        .Key("height").Int(t->tkhd.height)
        .Key("samples").UInt(stbl.stsz.sampleCount)
        .Key("sync_samples").UInt(stbl.stss.entryCount)
        .Key("timescale").UInt(mdhd.timescale)
        .Key("duration_ms").UInt(uint64_t(durationMs))
        .EndObject();
  }
  j.EndArray();
}

void WriteJson(JsonWriter& j, const std::string& path, const FileInfo& fi) {
  const MP4INFO& s = fi.set[0];
  j.BeginObject().Key("path").String(path).Key("kind").String("mp4");
  j.Key("playable").Bool(fi.playable).Key("sets").Int(fi.sets);
  j.Key("index_problem");
  if (fi.indexProblem.empty()) j.Null(); else j.String(fi.indexProblem);
  j.Key("start_time_ms");
  if (s.sttm.found()) j.UInt(s.startTime); else j.Null();
  j.Key("model");
  if (s.ptnmName[0]) j.String(PrintableText(s.ptnmName, sizeof s.ptnmName)); else j.Null();
  j.Key("notice");
  if (s.cprtText[0]) j.String(PrintableText(s.cprtText, sizeof s.cprtText)); else j.Null();
  j.Key("gps2_layout").Bool(s.gps2Layout != 0);
  j.Key("gps_bytes").Int(s.gpsLength).Key("gsensor_bytes").Int(s.sensorEnd);
  StreamDescriptions(j, s);
  Tracks(j, s.moov);
  j.EndObject();
}

void WriteText(const std::string& path, const FileInfo& fi) {
  const MP4INFO& s = fi.set[0];
  std::printf("%s: mp4, %s, %d movie set%s\n", path.c_str(),
              fi.playable ? "playable" : "not playable", fi.sets, fi.sets > 1 ? "s" : "");
  if (!fi.indexProblem.empty()) std::printf("  index unusable: %s\n", fi.indexProblem.c_str());
  if (s.sttm.found()) std::printf("  start time %llu ms\n", (unsigned long long)s.startTime);
  if (s.ptnmName[0])
    std::printf("  model %s\n", PrintableText(s.ptnmName, sizeof s.ptnmName).c_str());
  if (s.cprtText[0])
    std::printf("  notice %s\n", PrintableText(s.cprtText, sizeof s.cprtText).c_str());
  std::printf("  gps %d bytes, g-sensor %d bytes%s\n", s.gpsLength, s.sensorEnd,
              s.gps2Layout ? ", gps2 layout" : "");
  if (s.ptrh.ptvi.found())
    std::printf("  video %s %dx%d, %zu parameter sets\n", CodecFourCC(s.ptrh.vi.codec).c_str(),
                s.ptrh.vi.width, s.ptrh.vi.height, s.ptrh.vi.config.size());
  if (s.ptrh.ptso.found())
    std::printf("  sound %s %d ch %d bit %u Hz\n", CodecFourCC(s.ptrh.so.codec).c_str(),
                s.ptrh.so.channelCount, s.ptrh.so.bitsPerSample, s.ptrh.so.sampleRate);
  for (const auto& t : s.moov.trak) {
    if (!t) continue;
    const STBLBOX& stbl = t->mdia.minf.stbl;
    uint32_t format = stbl.stsd.entries.empty() ? 0 : stbl.stsd.entries[0].format;
    std::printf("  track %u %s %s %ux%u, %u samples, %u sync, timescale %u\n", t->tkhd.trackId,
                FourCCText(t->mdia.hdlr.handlerType).c_str(), FourCCText(format).c_str(),
                t->tkhd.width, t->tkhd.height, stbl.stsz.sampleCount, stbl.stss.entryCount,
                t->mdia.mdhd.timescale);
  }
}

}  // namespace

int RunInfo(const Args& args) {
  std::vector<std::string> paths;
  bool json = false;
  for (const std::string& a : args) {
    if (a == "--json") json = true;
    else if (!a.empty() && a[0] == '-') return Fail("info", 2, "unknown option '" + a + "'");
    else paths.push_back(a);
  }
  if (paths.empty()) return Fail("info", 2, "usage: tqmb20 info FILE... [--json]");

  int exitCode = 0;
  JsonWriter j;
  j.BeginArray();
  for (const std::string& path : paths) {
    if (const std::string problem = FileProblem(path); !problem.empty()) {
      exitCode = Fail("info", 1, path + ": " + problem);
      continue;
    }
    MediaFile::OpenError error;
    if (!MediaFile::Open(path, "rb", &error)) {
      const char* why = error == MediaFile::OpenError::NotFound   ? "no such file"
                        : error == MediaFile::OpenError::TooLarge ? "4 GiB or larger, refused"
                                                                  : "cannot be read";
      exitCode = Fail("info", 1, path + ": " + why);
      continue;
    }
    if (IsAviFile(path)) {
      if (!AviInfo(path, json ? &j : nullptr)) exitCode = 1;
      continue;
    }
    auto fi = std::make_unique<FileInfo>();
    for (int i = 0; i < 2; ++i) {
      fi->telemetry[i].assign(kTelemetryBytes, 0);
      fi->set[i].gpsBuffer = {fi->telemetry[i].data(), kTelemetryBytes};
    }
    uint64_t length = 0;
    ScanMP4(path, fi->set, 1, &length);
    if (length < 8) {
      exitCode = Fail("info", 1, path + ": shorter than 8 bytes, not an MP4 file");
      continue;
    }
    const MP4INFO& first = fi->set[0];
    if (!first.ftyp.found() && !first.moov.moov.found() && !first.mdat.found()) {
      exitCode = Fail("info", 1, path + ": not a recording (no MP4 boxes found)");
      FreeMP4INFO(fi->set[0]);
      FreeMP4INFO(fi->set[1]);
      continue;
    }
    fi->playable = IsPlayableMP4(first.moov, first.mdat) != 0;
    if (fi->playable) {
      // Usable means the tables agree with each other and with the file, as validation checks.
      auto f = MediaFile::Open(path, "rb");
      if (!f) fi->indexProblem = "cannot be read";
      else IndexAgrees(*f, length, first, &fi->indexProblem);
      fi->playable = fi->indexProblem.empty();
    }
    fi->sets = SecondSetFound(fi->set[1]) ? 2 : 1;
    if (json) WriteJson(j, path, *fi);
    else WriteText(path, *fi);
    FreeMP4INFO(fi->set[0]);
    FreeMP4INFO(fi->set[1]);
  }
  j.EndArray();
  if (json) std::printf("%s\n", j.str().c_str());
  return exitCode;
}

}  // namespace tq::cli
