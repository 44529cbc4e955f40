// Validation of an AVI recording before it is used, and the in-place rebuild of its idx1
// index when the camera left the recording without one.
#pragma once

#include <string>
#include <vector>

#include "container/AviInfo.h"
#include "container/MediaFile.h"

namespace tq {

// Reads the headers, the movi position and the idx1 entries without writing anything.
// False when the file is no AVI or a header cannot be read within its chunk and the file.
bool ReadAVI(const std::string& path, AVIINFO* info, std::string* error = nullptr);

// 1 when the file is usable (after appending a rebuilt index if it had none), 0 otherwise.
// `info` must be value-initialised.
int ValidAVI(const std::string& path, AVIINFO* info);

// Rebuilds idx1 from the movi chunks of a file opened "rb+" and appends it right after
// the movi list. 1 when an index was written. Writes nothing when the movi list is not
// complete in the file, when the first video chunk carries no start code, or when the
// index would hold more entries than the 16-bit count allows.
int RecoverAVI(MediaFile& f, AVIINFO* info);

// What RecoverAVI would write, without writing: the entries of the rebuilt index, or
// false when it would refuse.
bool PlanRecoverAVI(MediaFile& f, const AVIINFO& info, std::vector<AviIndexEntry>* entries);

}  // namespace tq
