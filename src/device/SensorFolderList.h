// The recordings list of the advanced G-sensor dialog: the MP4 files of one folder,
// filtered by their type letter and ordered as the catalog orders them.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace tq {

// The type letter of a base name: the letter before the camera letter (a final "S" is
// dropped first); 0 when the name is too short to have one.
char SensorTypeLetter(std::string_view base);

// Base names (without ".mp4") of the folder's "*.mp4" files whose type letter is in
// `types` (of "NEPM"), newest first and a front recording before its rear partner.
// Folders and names of four characters or fewer are skipped.
std::vector<std::string> SensorFolderNames(const std::string& folder, std::string_view types);

}  // namespace tq
