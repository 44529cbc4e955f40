// The recording named on the viewer's command line (a file manager opens recordings with
// the viewer): its folder becomes the browse folder and the recording is played as a double
// click on its row would.
#pragma once

#include <cstdint>
#include <string>

namespace tq {

struct OpenFileRequest {
  bool ok = false;
  std::string error;   // why the path cannot be opened (ok false)
  std::string path;    // absolute, as given otherwise
  std::string folder;  // the recording's folder: the new browse folder
  std::string base;    // file name without its extension: the row to play
  uint8_t kind = 0;    // kKindMp4 or kKindAvi
  bool recording = false;  // the name parses as the camera names recordings (it is listed)
};

// Decides what to browse and play for `path`; `workingFolder` completes a relative path.
// Refused: an empty path, a path that is no regular file, an extension other than ".mp4"
// or ".avi" (any case).
OpenFileRequest DecideOpenFile(const std::string& path, const std::string& workingFolder);

}  // namespace tq
