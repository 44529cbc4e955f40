// Camera-shaped source recordings for the export tests, made from real H.264 and AAC
// frames: ftyp, metadata free box, mdat with frame records, moov. Frame i carries the
// time stamp i * 1000 / 30 ms as the camera stamps it.
#pragma once

#include <cstring>
#include <string>

#include "Mp4WriterTestMedia.h"
#include "Mp4WriterTestUtil.h"
#include "container/Mp4Writer.h"

namespace tq::testsource {

struct SourceOptions {
  bool sound = true;
  bool gps2 = false;          // gps2 layout: no frame records, no ptrh
  uint64_t startTime = 1'700'000'000'000ull;
  const char* model = "TQ-MB20";
};

inline uint32_t FrameTimeMs(size_t i) { return uint32_t(i * 1000 / 30); }
inline uint32_t SoundTimeMs(size_t k, const testmedia::EncodedSound& s) {
  return uint32_t(uint64_t(k) * uint64_t(s.frameSamples) * 1000 / uint64_t(s.sampleRate));
}

inline ConfigParam Param(const std::vector<uint8_t>& bytes) {
  ConfigParam p;
  p.length = int32_t(bytes.size());
  p.szConfigStr = bytes;
  return p;
}

inline bool MakeRecording(const std::string& path, const testmedia::EncodedVideo& video,
                          const testmedia::EncodedSound& sound, const SourceOptions& o) {
  MP4INFO info;
  info.ptrh.box = {1, 1};
  info.ptrh.ptvi = {1, 1};
  info.ptrh.vi.codec = kCodecAvc1;
  info.ptrh.vi.width = uint16_t(video.width);
  info.ptrh.vi.height = uint16_t(video.height);
  info.ptrh.vi.config = {Param(video.sps), Param(video.pps)};
  info.ptrh.vi.nConfigNum = 2;
  if (o.sound) {
    info.ptrh.ptso = {1, 1};
    info.ptrh.so.codec = kCodecMp4a;
    info.ptrh.so.channelCount = uint16_t(sound.channels);
    info.ptrh.so.bitsPerSample = 16;
    info.ptrh.so.sampleRate = uint32_t(sound.sampleRate);
  }
  std::strcpy(info.ptnmName, o.model);
  info.gps2Layout = o.gps2 ? 1 : 0;

  MP4MBOX_NODE vb, sb;
  if (!CreateFixedSizeTrak(vb, kVideoSampleCapacity, true)) return false;
  if (!CreateFixedSizeTrak(sb, 20000, false)) return false;
  auto f = MediaFile::Open(path, "wb");
  if (!f) return false;
  uint32_t position = 0;
  if (!WriteMovieHead(*f, &position, o.startTime, info, o.sound)) return false;
  info.mdat = {0, position};
  // The gps2 layout stores the decoder configuration in avcC only.
  std::vector<uint8_t> avcC = {0x01, 0x42, 0x80, 0x01, 0xFF, 0xE1};
  auto put = [&avcC](const std::vector<uint8_t>& ps) {
    avcC.push_back(uint8_t(ps.size() >> 8));
    avcC.push_back(uint8_t(ps.size()));
    avcC.insert(avcC.end(), ps.begin(), ps.end());
  };
  put(video.sps);
  avcC.push_back(1);
  put(video.pps);
  size_t k = 0;
  for (size_t i = 0; i < video.frames.size(); ++i) {
    const auto& v = video.frames[i];
    if (!WriteSample(*f, &position, vb, v.data(), uint32_t(v.size()), 4, FrameTimeMs(i), o.gps2,
                     kCodecAvc1))
      return false;
    const uint32_t nextVideo = i + 1 < video.frames.size() ? FrameTimeMs(i + 1) : UINT32_MAX;
    while (o.sound && k < sound.frames.size() && SoundTimeMs(k, sound) < nextVideo) {
      const auto& a = sound.frames[k];
      if (!WriteSample(*f, &position, sb, a.data(), uint32_t(a.size()), 0, SoundTimeMs(k, sound),
                       o.gps2, kCodecNone))
        return false;
      ++k;
    }
  }
  ConfigRecord config{avcC.data(), uint32_t(avcC.size())};
  bool ok = WriteMoov(*f, &position, info, &vb, o.sound ? &sb : nullptr,
                      o.gps2 ? &config : nullptr, position) == 1;
  ReleaseMP4MBOX_NODE(vb);
  ReleaseMP4MBOX_NODE(sb);
  return ok;
}

}  // namespace tq::testsource
