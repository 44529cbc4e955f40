// The AVI source of the second camera family: one RIFF file holding the front and the
// rear video streams, 16-bit PCM sound and two text streams ("GPSR" sentences, "SENS"
// G-sensor values). run_thread walks the file's idx1 index once; video and sound chunks
// become frame records, the text chunks are gathered into the telemetry buffers.
#pragma once

#include <cstdint>
#include <mutex>
#include <vector>

#include "container/AviInfo.h"
#include "playback/FrameSource.h"

namespace tq {

// Stream numbers (the chunk ids' second digit) of an AVI recording; -1 = none.
struct AviStreams {
  int front = -1;
  int rear = -1;
  int audio = -1;
  int gps = -1;
  int sensor = -1;
  int frontFormat = -1;  // slot in AVIINFO::videoFormats
  int rearFormat = -1;
  uint32_t audioBytesPerSec = 0;  // of the PCM sound, 0 unknown
};

// The first "vids" stream is the front, the next one the rear; "auds" the sound; "txts"
// with handler "GPSR" or "SENS" the text streams.
AviStreams FindAviStreams(const AVIINFO& info);

// Frames per second of a stream (rate / scale), within 1..30; 30 when the header says
// nothing usable.
int AviStreamFps(const AviStreamHeader& h);

// The process-wide telemetry buffers the walk fills; not owned. Written by run_thread
// only; the owner reads them after the start message (0, ·).
struct AviTelemetry {
  uint8_t* gps = nullptr;  // sentence batch, closed with a 0 byte
  uint32_t gpsCapacity = 0;
  uint8_t* sensor = nullptr;  // 10-byte big-endian records
  uint32_t sensorCapacity = 0;
};

constexpr uint32_t kAviSensorRecordBytes = 10;
constexpr uint32_t kAviBatchHeaderBytes = 5;

class AviSource final : public FrameSource {
 public:
  // moviOffset: the first byte after the movi list type (chunk offsets count from 4
  // bytes before it). fileMutex guards reads of `file`, which play_thread shares.
  AviSource(MediaFile* file, std::mutex* fileMutex, std::vector<AviIndexEntry> index,
            uint32_t moviOffset, const AviStreams& streams, int frontFps, int rearFps,
            const AviTelemetry& telemetry);
  // Video records carry view 0 (front) or 1 (rear); text chunks are gathered on the way
  // and never returned. A chunk outside the file is skipped with a trace line.
  SourceRead Next(FrameRecord* out) override;

  uint32_t sensorBytes() const { return sensorBytes_; }
  uint32_t gpsBytes() const { return gpsBytes_; }

 private:
  struct VideoClock {
    int fps = 30;
    uint32_t keys = 0;     // key frames seen so far
    uint32_t timeMs = 0;   // of the last video chunk
  };
  bool ChunkInFile(const AviIndexEntry& e, uint64_t* dataAt);
  void GatherGps(uint64_t at, uint32_t size);
  void GatherSensor(uint64_t at, uint32_t size);
  void CloseBatch();

  MediaFile* file_;
  std::mutex* fileMutex_;
  std::vector<AviIndexEntry> index_;
  size_t next_ = 0;
  uint64_t moviOffset_;
  uint64_t fileLength_ = 0;
  AviStreams streams_;
  VideoClock clock_[2];
  AviTelemetry telemetry_;
  uint32_t gpsChunks_ = 0;   // GPS chunks read, with or without a sentence
  uint32_t gpsBytes_ = 0;    // batch bytes written, without the closing 0
  uint32_t sensorRecords_ = 0;
  uint32_t sensorBytes_ = 0;
  uint32_t sensorTimeMs_ = 0;
  uint64_t audioBytes_ = 0;  // of the sound chunks before the next one
  bool gpsFullNoted_ = false;
  bool sensorFullNoted_ = false;
  bool closed_ = false;
};

}  // namespace tq
