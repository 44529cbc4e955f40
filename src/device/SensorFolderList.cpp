#include "device/SensorFolderList.h"

#include <algorithm>

#include "library/RecordingName.h"
#include "platform/FolderList.h"

namespace tq {
namespace {

constexpr size_t kShortestName = 4;  // "*.mp4" names of this length or less are skipped
constexpr char kExtension[] = ".mp4";

bool HasMp4Extension(std::string_view name) {
  if (name.size() < 4) return false;
  std::string tail(name.substr(name.size() - 4));
  for (char& c : tail) c = char(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
  return tail == kExtension;
}

// Catalog order: newest moment first; within one moment the front before the rear.
bool CatalogBefore(const std::string& a, const std::string& b) {
  const size_t pa = CameraLetterPos(a), pb = CameraLetterPos(b);
  const std::string ka = pa == std::string::npos ? a : a.substr(0, pa);
  const std::string kb = pb == std::string::npos ? b : b.substr(0, pb);
  if (ka != kb) return ka > kb;
  return CameraLetter(a) == 'F' && CameraLetter(b) != 'F' ? true
         : CameraLetter(b) == 'F' && CameraLetter(a) != 'F' ? false
                                                             : a > b;
}

}  // namespace

char SensorTypeLetter(std::string_view base) {
  const size_t camera = CameraLetterPos(base);
  if (camera == std::string_view::npos || camera == 0) return 0;
  return base[camera - 1];
}

std::vector<std::string> SensorFolderNames(const std::string& folder, std::string_view types) {
  std::vector<std::string> names;
  ListFolder(folder, [&](std::string_view name, bool isFolder) {
    if (isFolder || name.size() <= kShortestName || !HasMp4Extension(name)) return;
    std::string base(name.substr(0, name.size() - 4));
    const char type = SensorTypeLetter(base);
    if (type && types.find(type) != std::string_view::npos) names.push_back(std::move(base));
  });
  std::sort(names.begin(), names.end(), CatalogBefore);
  return names;
}

}  // namespace tq
