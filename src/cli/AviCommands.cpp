#include "cli/AviCommands.h"

#include <cstdio>
#include <cstring>
#include <cctype>

#include "container/AviExport.h"
#include "container/AviValid.h"

namespace tq::cli {
namespace {

bool EndsWithAvi(const std::string& path) {
  if (path.size() < 4) return false;
  std::string ext = path.substr(path.size() - 4);
  for (char& c : ext) c = char(std::tolower(static_cast<unsigned char>(c)));
  return ext == ".avi";
}

// A handler of 0 (common for sound) reads as an empty text, not as "????".
std::string HandlerText(uint32_t code) { return code ? RiffCodeText(code) : std::string(); }

void StreamsJson(JsonWriter& j, const AVIINFO& info) {
  j.Key("streams").BeginArray();
  for (int i = 0; i < info.streamCount; ++i) {
    const AviStreamHeader& s = info.streams[i];
    j.BeginObject();
    j.Key("fccType").String(RiffCodeText(s.fccType));
    j.Key("fccHandler").String(HandlerText(s.fccHandler));
    j.Key("rate").UInt(s.dwRate).Key("scale").UInt(s.dwScale);
    j.Key("length").UInt(s.dwLength);
    j.Key("width").Int(s.rcFrame.right).Key("height").Int(s.rcFrame.bottom);
    j.EndObject();
  }
  j.EndArray();
}

void InfoText(const std::string& path, const AVIINFO& info, bool playable) {
  std::printf("%s: avi, %s, %u frames at %u us, %d video stream(s), index %u entries\n",
              path.c_str(), playable ? "playable" : "not playable",
              info.mainHeader.dwTotalFrames, info.mainHeader.dwMicroSecPerFrame,
              info.videoStreamCount, info.indexCount);
  for (int i = 0; i < info.streamCount; ++i) {
    const AviStreamHeader& s = info.streams[i];
    std::printf("  stream %d: %s %s rate %u/%u size %dx%d\n", i, RiffCodeText(s.fccType).c_str(),
                HandlerText(s.fccHandler).c_str(), s.dwRate, s.dwScale, s.rcFrame.right,
                s.rcFrame.bottom);
  }
}

}  // namespace

bool IsAviFile(const std::string& path) {
  if (std::FILE* f = std::fopen(path.c_str(), "rb")) {
    uint8_t head[12];
    const bool full = std::fread(head, 1, sizeof head, f) == sizeof head;
    std::fclose(f);
    if (full) return std::memcmp(head, "RIFF", 4) == 0 && std::memcmp(head + 8, "AVI ", 4) == 0;
  }
  return EndsWithAvi(path);
}

bool AviInfo(const std::string& path, JsonWriter* json) {
  AVIINFO info{};
  std::string error;
  if (!ReadAVI(path, &info, &error)) {
    Fail("info", 1, path + ": " + error);
    return false;
  }
  // Usable as it is: the viewer would play it without writing to it.
  const bool playable = info.indexCount > 0 && info.videoStreamCount > 0;
  if (!json) {
    InfoText(path, info, playable);
    if (!info.indexProblem.empty()) std::printf("  index unusable: %s\n", info.indexProblem.c_str());
    return true;
  }
  JsonWriter& j = *json;
  j.BeginObject();
  j.Key("path").String(path).Key("kind").String("avi").Key("playable").Bool(playable);
  j.Key("microseconds_per_frame").UInt(info.mainHeader.dwMicroSecPerFrame);
  j.Key("total_frames").UInt(info.mainHeader.dwTotalFrames);
  StreamsJson(j, info);
  j.Key("video_streams").Int(info.videoStreamCount);
  j.Key("index_count").Int(info.indexCount);
  j.Key("index_problem");
  if (info.indexProblem.empty()) j.Null(); else j.String(info.indexProblem);
  j.EndObject();
  return true;
}

int AviRepair(const std::string& path, bool dryRun, JsonWriter* json) {
  AVIINFO info{};
  std::string error, result, reason;
  const bool read = ReadAVI(path, &info, &error);
  const std::string missing =
      info.indexProblem.empty() ? "no index" : "index damaged (" + info.indexProblem + ")";
  if (!read) {
    result = "failed";
    reason = error;
  } else if (info.indexCount > 0) {
    result = "ok";
    reason = "the index is present";
  } else if (dryRun) {
    std::vector<AviIndexEntry> entries;
    std::unique_ptr<MediaFile> f = MediaFile::Open(path, "rb");
    if (f && PlanRecoverAVI(*f, info, &entries)) {
      result = "repaired";
      reason = missing + "; one can be rebuilt from the movi chunks";
      info.indexCount = uint16_t(entries.size());
    } else {
      result = "failed";
      reason = missing + ", and none can be rebuilt";
    }
  } else {
    AVIINFO fresh{};
    if (ValidAVI(path, &fresh) == 1) {
      result = "repaired";
      reason = missing + "; rebuilt from the movi chunks and appended";
      info = std::move(fresh);
    } else {
      result = "failed";
      reason = missing + ", and none can be rebuilt (movi incomplete or followed by other data, "
               "no start code in the first picture, or more than 65535 chunks)";
    }
  }
  if (json) {
    json->BeginObject().Key("path").String(path).Key("kind").String("avi");
    json->Key("result").String(result).Key("reason").String(reason);
    if (dryRun) json->Key("dry_run").Bool(true);
    json->Key("index_count").Int(info.indexCount);
    json->EndObject();
  } else if (result == "failed") {
    Fail("repair", 1, path + ": " + reason);
  } else {
    std::printf("%s: %s%s: %s (%u index entries)\n", path.c_str(),
                dryRun && result == "repaired" ? "would be " : "", result.c_str(), reason.c_str(),
                info.indexCount);
  }
  return result == "failed" ? 1 : 0;
}

}  // namespace tq::cli
