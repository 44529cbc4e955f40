// The camera's file head: ftyp and the metadata free box (notice, start time, model,
// stream descriptions, and the GPS and G-sensor logs when they are embedded).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "container/Mp4Box.h"

namespace tq {

constexpr char kCameraNotice[] = "Tarvelion Co., Ltd.;Norvanta";
constexpr char kCameraModel[] = "TQ-MB20";
constexpr uint8_t kPtnmKindCamera = 3;
constexpr uint8_t kPtnmKindGps2 = 4;
constexpr uint16_t kVideoStreamNumber = 1;
constexpr uint16_t kSoundStreamNumber = 2;

struct CameraHeadSpec {
  uint64_t startTimeMs = 0;
  std::string notice = kCameraNotice;
  std::string model = kCameraModel;
  bool gps2Layout = false;
  PTVIBOX video;             // stream 1
  bool sound = false;
  PTSOBOX audio;             // stream 2, only with sound
  bool embedTelemetry = true;
  std::string gpsText;       // NMEA log (the normal layout)
  std::vector<uint8_t> gps2; // binary records (the gps2 layout)
  std::vector<uint8_t> sensor;  // 3GF records; the end marker is added here
  std::vector<uint8_t> thumb;   // JPEG for a "thum" box (length + bytes); none when empty
};

struct CameraHead {
  std::vector<uint8_t> bytes;  // from the start of the file
  BOXREF free, ptrh, ptvi, ptso, gps, sensor;
};

CameraHead BuildCameraHead(const CameraHeadSpec& spec);

// The ptvi/ptso descriptions as the camera writes them.
PTVIBOX MakeVideoDescription(uint32_t codec, int width, int height,
                             const std::vector<std::vector<uint8_t>>& parameterSets);
PTSOBOX MakeSoundDescription(int channels, int bitsPerSample, int sampleRate,
                             const std::vector<uint8_t>& audioSpecificConfig);

}  // namespace tq
