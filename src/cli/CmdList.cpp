// tqmb20 list FOLDER [--json]: the catalog of a folder in catalog order.
#include <cstdio>
#include <filesystem>
#include <system_error>

#include "cli/Commands.h"
#include "cli/Json.h"
#include "library/CFileList.h"

namespace tq::cli {
namespace {

const char* const kClassNames[] = {"normal", "event", "parking", "manual"};

std::string CameraName(int camera) {
  if (camera == 0) return "front";
  if (camera == 1) return "rear";
  return "camera" + std::to_string(camera);
}

void PrintJson(CFileList& list) {
  JsonWriter json;
  json.BeginArray();
  for (CatalogEntry& e : list.Entries()) {
    int32_t duration = list.EnsureDuration(e);
    json.BeginObject()
        .Key("name").String(e.name)
        .Key("kind").String(KindExtension(e.kind))
        .Key("type_code").Int(e.typeCode)
        .Key("class").Int(EntryClass(e.typeCode))
        .Key("camera").Int(EntryCamera(e.typeCode))
        .Key("date").Int(e.date)
        .Key("time").Int(e.time)
        .Key("duration").Int(duration)
        .Key("minutes").Int(e.minutes)
        .EndObject();
  }
  json.EndArray();
  std::printf("%s\n", json.str().c_str());
}

void PrintText(CFileList& list) {
  for (CatalogEntry& e : list.Entries()) {
    int32_t duration = list.EnsureDuration(e);
    std::printf("%s.%s  %s  %s  type %d  %08d %06d  %d s  %d min\n", e.name.c_str(),
                e.ext.c_str(), kClassNames[EntryClass(e.typeCode)],
                CameraName(EntryCamera(e.typeCode)).c_str(), e.typeCode, e.date, e.time,
                duration, e.minutes);
  }
}

}  // namespace

int RunList(const Args& args) {
  std::string folder;
  bool json = false;
  for (const std::string& a : args) {
    if (a == "--json") {
      json = true;
    } else if (!a.empty() && a[0] == '-') {
      return Fail("list", 2, "unknown option '" + a + "'");
    } else if (folder.empty()) {
      folder = a;
    } else {
      return Fail("list", 2, "one folder expected, got also '" + a + "'");
    }
  }
  if (folder.empty()) return Fail("list", 2, "usage: tqmb20 list FOLDER [--json]");
  std::error_code ec;
  auto status = std::filesystem::status(folder, ec);
  if (!std::filesystem::exists(status)) return Fail("list", 1, "no such folder: " + folder);
  if (!std::filesystem::is_directory(status)) return Fail("list", 1, "not a folder: " + folder);

  CFileList list;
  ScanResult scan = list.Scan(folder);
  if (!scan.folderRead) return Fail("list", 1, "cannot read folder: " + folder);
  if (json)
    PrintJson(list);
  else
    PrintText(list);
  return 0;
}

}  // namespace tq::cli
