// tqmb20 card ROOT [--json]: the camera family and identity of a card root.
#include <cstdio>
#include <string>

#include "app/CameraIdentity.h"
#include "app/CardScan.h"
#include "cli/Commands.h"
#include "cli/Json.h"
#include "platform/Files.h"

namespace tq::cli {

int RunCard(const Args& args) {
  std::string root;
  bool json = false;
  for (const std::string& a : args) {
    if (a == "--json") {
      json = true;
    } else if (!a.empty() && a[0] == '-') {
      return Fail("card", 2, "unknown option '" + a + "'");
    } else if (root.empty()) {
      root = a;
    } else {
      return Fail("card", 2, "only one card root is taken");
    }
  }
  if (root.empty()) return Fail("card", 2, "usage: tqmb20 card ROOT [--json]");
  while (root.size() > 1 && root.back() == '/') root.pop_back();
  if (!IsDirectory(root)) return Fail("card", 1, root + ": no such folder");

  int family = CardFamilyOf(root);
  if (family == kFamilyNone) {
    return Fail("card", 1, root + ": not a camera card (no TQ-MB20 folder, no setup.cfg of a known model)");
  }
  // A card whose identity files are missing or unreadable is still a card; its identity
  // fields stay empty (the selector shows "NONE" for it).
  CameraIdentity id;
  bool identified = ReadIdentity(root, kIdAll, &id);

  if (json) {
    JsonWriter w;
    w.BeginObject();
    w.Key("family").Int(family);
    w.Key("firmware").String(id.firmware);
    w.Key("model").String(id.model);
    w.Key("language").String(id.language);
    w.Key("option").String(id.option);
    w.Key("identified").Bool(identified);
    w.EndObject();
    std::printf("%s\n", w.str().c_str());
    return 0;
  }
  std::printf("root:     %s\n", root.c_str());
  std::printf("family:   %d (%s)\n", family, family == kFamilyFolder ? "TQ-MB20 folder" : "setup.cfg");
  std::printf("firmware: %s\n", id.firmware.c_str());
  std::printf("model:    %s\n", identified && !id.model.empty() ? id.model.c_str() : "NONE");
  std::printf("language: %s\n", id.language.c_str());
  std::printf("option:   %s\n", id.option.c_str());
  return 0;
}

}  // namespace tq::cli
