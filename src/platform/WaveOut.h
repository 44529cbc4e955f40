// The wave-out device: plays buffers of PCM samples in the order written and says when
// each has been played. Back ends: QtWaveOut (the system's sound server) and
// MemoryWaveOut (tests and the headless player).
//
// Ownership: Write does not copy. The caller keeps a written buffer's bytes alive until
// the done callback has been called for it, or until Reset or Close has returned.
//
// Threads: the operations may be called from any thread, one caller at a time (the
// playback session serialises them under its audio mutex). The done callback runs on the
// device's own thread, once per written buffer, in write order. It is never called for a
// buffer dropped by Reset or Close, and once Reset or Close has returned it is not running
// and will not run for any buffer written before. The callback must not call back into
// the device.
#pragma once

#include <cstdint>
#include <functional>

namespace tq {

// The PCM description the device is opened with (the fields of a WAVEFORMATEX).
struct WaveFormat {
  uint16_t formatTag = 0;       // kWaveFormatPcm
  uint16_t channels = 0;
  uint32_t samplesPerSec = 0;
  uint32_t avgBytesPerSec = 0;  // blockAlign x samplesPerSec
  uint16_t blockAlign = 0;      // bitsPerSample / 8 x channels
  uint16_t bitsPerSample = 0;
};

constexpr uint16_t kWaveFormatPcm = 1;

// Result codes of the device operations; 0 is success.
enum WaveResult : int {
  kWaveOk = 0,
  kWaveError = 1,       // the device failed
  kWaveNoDevice = 2,    // no output device
  kWaveNotOpen = 5,     // the operation needs an open device
  kWaveNoMemory = 7,
  kWaveBadParam = 11,   // empty buffer, missing callback
  kWaveBadFormat = 32,  // the device cannot play this format
};

class WaveOut {
 public:
  using DoneCallback = std::function<void()>;

  virtual ~WaveOut() = default;

  // Opens the device for `format`; `done` is called for every buffer that has been played.
  // Opening an open device fails with kWaveError.
  virtual int Open(const WaveFormat& format, DoneCallback done) = 0;
  // Queues `bytes` bytes (whole sample frames) behind what is queued.
  virtual int Write(const uint8_t* data, uint32_t bytes) = 0;
  // Stops playing where it is; queued buffers stay queued.
  virtual int Pause() = 0;
  // Plays on after Pause.
  virtual int Restart() = 0;
  // Drops every queued buffer at once, without done callbacks; the pause state stays.
  virtual int Reset() = 0;
  // Drops every queued buffer like Reset and closes the device. Closing a closed device
  // does nothing.
  virtual int Close() = 0;
  // How long the sound written and not yet heard lasts, in microseconds: the buffers still
  // queued plus what the device holds ahead of the speaker, by the device's own count of
  // what it has played (so sound stuck behind a pause or in the device's latency counts).
  // 0 when closed or when everything written has been heard.
  virtual int64_t UnplayedUs() = 0;
};

}  // namespace tq
