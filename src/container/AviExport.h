// Export of a time range of one video stream of an AVI recording (and its sound) into a
// new AVI file, chunk by chunk, without decoding.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "container/AviInfo.h"
#include "container/AviWriter.h"
#include "container/ExportOutput.h"
#include "container/MediaFile.h"

namespace tq {

// Creates a video stream in `out` from a source stream header and its picture format.
// Returns the stream number, or -1.
int SetAviStream(AviWriter& out, const AviStreamHeader& header, const AviBitmapInfo& format,
                 std::string* error = nullptr);

// Copies the chunk of one index entry from the source into `stream` of `out`, with the
// entry's flags, and advances the sample counter. `buffer` is the copy buffer shared by
// the chunks of one export; it grows as needed.
bool AviStreamWrite(MediaFile& source, const AviIndexEntry& entry, AviWriter& out, int stream,
                    uint32_t* sampleCounter, uint32_t moviOffset, std::vector<uint8_t>* buffer,
                    std::string* error = nullptr);

// Exports seconds fromSec to toSec of the first (front) or second (rear) video stream;
// exactly one of the two is set. The copy starts at the key frame at or before fromSec so
// that the first picture decodes. 1 when `outPath` was written completely; 0 otherwise,
// and then no file is left at `outPath`.
int ExportAVI(MediaFile& source, const std::string& outPath, const AVIINFO& info, int fromSec,
              int toSec, bool withSound, bool firstVideo, bool secondVideo,
              std::string* error = nullptr, ExportSpan* span = nullptr);

// Seconds of the first (front) or second (rear) video stream as its index entries count
// them; 0 when the stream has no pictures.
int AviLengthSec(const AVIINFO& info, bool rear);

// The AVI export pipeline, with the rules of the MP4 one: the source is only read (a
// missing or damaged index is rebuilt in memory), the range must lie inside the
// recording, the output passes OutputRefusal, and the file is written under a temporary
// name renamed when complete. withSound is ignored for a recording without sound.
ExportOutcome ExportAviRecording(const std::string& sourcePath, const std::string& outPath,
                                 int fromSec, int toSec, bool rear, bool withSound,
                                 bool overwrite = false);

}  // namespace tq
