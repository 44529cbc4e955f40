// How the playback engine reports to its owner: posted messages with the numbers the
// player controller expects. The engine never calls into the GUI; the owner's adapter
// turns each post into a queued event on its own thread.
#pragma once

#include <cstdint>

namespace tq {

constexpr uint32_t WM_USER = 0x400;

// Control notification to the player panel; the session posts (0, -1) when indexing starts.
constexpr uint32_t kMsgControlNotify = WM_USER + 103;
// Seek request to the player panel (lParam = target in ms).
constexpr uint32_t kMsgSeekRequest = WM_USER + 104;
// The play message: wParam a code below, lParam its argument.
constexpr uint32_t kMsgPlay = WM_USER + 106;

constexpr int64_t kIndexingStarted = -1;  // lParam of kMsgControlNotify (wParam 0)

enum PlayCode : int64_t {
  kPlayStartIndexed = 0,  // lParam: bytes of sensor records gathered (AVI), else 0
  kPlayEndOrRear = 1,     // lParam 0: end presented (session paused); 1: rear unplayable
  kPlayPosition = 2,      // lParam: time in ms of the front picture just shown
  kPlayIndexedTo = 3,     // lParam: time in ms indexing has reached
  kPlaySourceError = 4,   // lParam 0: the source cannot be opened or read
};
constexpr int64_t kEndPresented = 0;
constexpr int64_t kRearUnplayable = 1;

// Receives the posts. post() is called from any of the session's threads and must not
// block; it never calls back into the session.
class MessageSink {
 public:
  virtual ~MessageSink() = default;
  virtual void post(uint32_t msg, int64_t wParam, int64_t lParam) = 0;
};

// Optional hooks for what the GUI shows besides pictures, and for timing reports.
// Called on the session's worker threads; implementations must not block.
class PlaybackObserver {
 public:
  virtual ~PlaybackObserver() = default;
  // The wait message appears when presentation catches up with indexing.
  virtual void ShowWait(bool /*show*/) {}
  // A picture of `view` (0 front, 1 rear) whose media time is timeMs was handed to the
  // renderer at tickMs (monotonic clock) by play_thread.
  virtual void Presented(int /*view*/, uint32_t /*timeMs*/, uint64_t /*tickMs*/) {}
  // An audio sample whose media time is timeMs was written to the wave-out device as
  // `bytes` bytes of PCM at tickMs, by play_thread.
  virtual void AudioWritten(uint32_t /*timeMs*/, uint32_t /*bytes*/, uint64_t /*tickMs*/) {}
  // Right after a front picture whose media time is pictureMs was presented at tickMs,
  // while sound plays: heardUs is the media time (microseconds) of the sound the device is
  // playing at that moment, by the device's own count of what it has played.
  virtual void SoundHeard(uint32_t /*pictureMs*/, int64_t /*heardUs*/, uint64_t /*tickMs*/) {}
};

}  // namespace tq
