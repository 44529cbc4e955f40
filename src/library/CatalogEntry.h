// One recording of the catalog.
#pragma once

#include <cstdint>
#include <string>

#include "library/RecordingName.h"

namespace tq {

struct CatalogEntry {
  uint8_t kind = kKindMp4;  // kKindMp4 or kKindAvi
  uint8_t typeCode = 0;     // camera part + class part
  uint8_t minutes = 0;      // length in minutes; 0 until the duration is probed
  int32_t date = 0;         // YYYYMMDD
  int32_t time = 0;         // HHMMSS
  int32_t duration = 0;     // whole seconds; 0 until probed or when the header is unreadable
  std::string name;         // base name (file name without its extension)
  std::string ext;          // extension as spelled on disk ("mp4", "MP4", ...)
};

}  // namespace tq
