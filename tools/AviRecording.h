// One generated recording of the second camera family: a RIFF AVI with one or two H.264
// video streams (Annex-B, key frames led by the parameter sets), 16-bit PCM sound, a
// "txts" stream "GPSR" of RMC sentences and a "txts" stream "SENS" of G-sensor values.
#pragma once

#include <cstdint>
#include <string>

namespace tq {

struct AviRecordingSpec {
  int width = 640;
  int height = 360;
  bool rear = false;          // a second video stream (the rear camera)
  int rearWidth = 480;
  int rearHeight = 270;
  int fps = 30;
  int gop = 30;
  bool sound = true;
  int audioRate = 16000;      // 16-bit mono PCM
  bool gps = true;            // the "GPSR" stream, one sentence a second
  bool sensor = true;         // the "SENS" stream, two records a frame
  uint32_t seed = 1;
  uint32_t durationMs = 10000;
  std::string recordClass = "nor";  // "nor", "evt" or "mot"
  char type = 'N';            // last letter: N, E (event) or P (parking)
  int sequence = 1;           // the number in the name's prefix
  int64_t startSeconds = 0;   // local clock time, seconds since 1970 read by UTC rules
  bool index = true;          // false: no idx1, as a recording cut short
  int64_t cutAtByte = -1;     // cut the finished file at this length
  bool firstChunkWithoutStartCode = false;  // the first picture length-prefixed, not Annex-B
  uint32_t telemetrySeed = 1;
  int routeSecond = 0;
  bool parked = false;
};

struct AviRecordingResult {
  std::string path;
  uint32_t frames = 0;        // per video stream
  uint32_t keyFrames = 0;
  uint32_t soundChunks = 0;
  uint32_t gpsChunks = 0;
  uint32_t sensorChunks = 0;
  uint32_t chunks = 0;        // all movi chunks
  uint64_t bytes = 0;
};

// "nor_000001" + YYYYMMDD + "_" + HHMMSS + "_1F_" + type letter.
std::string AviRecordingBaseName(const AviRecordingSpec& spec);

bool WriteAviRecording(const AviRecordingSpec& spec, const std::string& path,
                       AviRecordingResult* result, std::string* error);

// The second family's identity file: 64 bytes, model text at 0, the three firmware
// numbers at 32, the language index at 44.
std::string SetupCfgBytes(const std::string& model, int major, int minor, int patch, int language);

}  // namespace tq
