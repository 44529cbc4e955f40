// Opening the card picked in the format dialog for raw writes. A desktop user is not
// allowed to open a block device; the system's disk service (UDisks2, over the system
// D-Bus) unmounts it and hands us an open descriptor after asking the user for
// authorisation the desktop way. As root without that service the device is opened
// directly. A listed card image is opened as a file. GUI thread.
#pragma once

#include <memory>
#include <string>

#include "platform/BlockDevices.h"
#include "platform/RawVolume.h"

namespace tq {

std::unique_ptr<RawVolume> OpenFormatVolume(const FormatCandidate& candidate, std::string* error);

// After a successful format: set the partition type to FAT32 (LBA) where the card has a
// DOS partition table and let the system read the new file system. Failures are
// ignored: the file system is whole without them.
void AfterFormat(const FormatCandidate& candidate);

}  // namespace tq
