// The playback session: plays one recording, or a front recording with its rear partner,
// in step. It is the front camera's view and owns the rear view. run_thread builds the
// frame index while each view's worker decodes ahead and play_thread presents at one of
// four speeds; the owner hears about progress through posted play messages only.
//
// Threads: the user-interface thread calls every public operation; run_thread indexes;
// one decode-ahead worker per view takes that view's frames from the index and decodes
// them into its queue (the two decoders run side by side instead of in turn); play_thread
// presents what is due from the queues. Locks, in order: indexMutex_ -> a view's
// frameMutex, indexMutex_ -> audioMutex_, and indexMutex_ -> a view's ahead.mutex;
// ahead.mutex is never held while a frameMutex or indexMutex_ is taken. indexMutex_
// guards the cursors, reposition request and speed changes; audioMutex_ the
// wave-out device, the audio cursor and the audio decoder; ahead.mutex a view's queue and
// its worker's run/busy flags; flags shared without them are atomics. play_thread parks
// the workers (waits until neither is between a take and its push) before it acknowledges
// a pause or reports the end, and never while it holds indexMutex_; a seek while playing
// waits for that acknowledgement before it moves the cursors. The device's own thread
// touches waveQ_ only.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "container/AviInfo.h"
#include "container/Mp4Box.h"
#include "platform/Event.h"
#include "platform/WaveOut.h"
#include "playback/AviSource.h"
#include "playback/CDrawWnd.h"
#include "playback/CWaveQ.h"
#include "playback/FfmpegPtr.h"
#include "playback/PlayMessages.h"

namespace tq {

class FrameSource;
struct FrameRecord;

enum SourceKind : int { kSourceMp4 = 0, kSourceAvi = 1 };
enum PlayMode : int { kPlayNone = 0, kPlayDirect = 1, kPlayDemuxed = 2 };
enum Speed : int { kSpeedHalf = 0, kSpeed1X = 1, kSpeed2X = 2, kSpeed4X = 3 };

constexpr char kPlayScratchName[] = "playfile.dat";

struct SessionOptions {
  std::string settingsFolder;  // holds the scratch files
  DrawWindow frontWindow = nullptr;
  DrawWindow rearWindow = nullptr;
  AviTelemetry telemetry;  // filled while an AVI recording is indexed; not owned
  WaveOut* waveOut = nullptr;  // the sound device; not owned; null: no device (silent)
  // The viewer repairs a rear recording the camera left unfinished when it opens it;
  // with this set the rear is only read (an unfinished one plays from the index a repair
  // would write, worked out in memory).
  bool readOnly = false;
};

// Wave buffers play_thread keeps queued on the device at most.
constexpr int32_t kMaxQueuedWaves = 8;

class CDispWnd : public CDrawWnd {
 public:
  // Window creation: probes the renderers and creates the handles. owner receives every
  // post; observer (optional) hears of waits and presented pictures. Neither is owned.
  CDispWnd(MessageSink* owner, SessionOptions options, PlaybackObserver* observer = nullptr);
  // Window destruction: the release steps, then the session-wide buffers.
  ~CDispWnd() override;

  // Opens and starts. `info` is the validated description of the front file (its
  // ValidMP4 result); null or a description the frame-record reader cannot index plays
  // the file through the FFmpeg demuxer. Failures are logged and leave play mode 0.
  void StartPlay(const std::string& front, const std::string& rear, int kind,
                 const MP4INFO* info, int startSecond);
  // AVI of the second family (both cameras in one file): `info` is the file's ValidAVI
  // result; its index is taken over (left empty). Starts paused; (0, sensor bytes)
  // tells the owner the whole index has been walked and the telemetry gathered.
  void StartPlay(const std::string& path, AVIINFO* info, int startSecond);
  void StopPlay();
  void Pause(bool on);
  void Step(bool forward);
  void Seek(uint32_t ms);
  void SetSpeed(int index);
  // Front and rear exchanged: the rear picture in the main window, the front one in the
  // picture-in-picture. Kept across recordings; takes effect when a rear plays.
  void SetSwap(bool on);
  bool swapped() const { return swapped_; }

  int playMode() const { return playMode_; }
  bool paused() const { return paused_ != 0; }
  bool rearPresent() const { return rearPresent_ != 0; }
  bool ratesDiffer() const { return ratesDiffer_ != 0; }
  int speed() const { return speed_; }
  bool indexComplete() const { return indexComplete_ != 0; }
  CDrawWnd& rearView() { return rear_; }
  const FrameTable& audioTable() const { return audio_; }
  // Sound: whether the recording has playable sound, its format, buffers on the device.
  bool hasSound() const { return hasSound_; }
  WaveFormat waveFormat();
  int32_t queuedWaves() const { return waveQ_.count(); }

 private:
  struct ViewIndexer;

  bool OpenDirect(const std::string& front, const std::string& rear, const MP4INFO& info);
  bool OpenRear(const std::string& rear, int frontFps);
  bool OpenDemuxed();
  bool OpenAvi(const std::string& path, AVIINFO* info);
  bool OpenAviRear(const std::string& path, const AVIINFO& info);
  void StartThreads(int startSecond, bool startPaused);
  bool AllocateTables();
  int AvConnect();
  void Post(int64_t code, int64_t value);

  // run_thread and its parts.
  void RunThread();
  bool PrepareViews();
  bool RouteViews();
  void IndexRecords();
  bool IndexVideo(ViewIndexer& v, const FrameRecord& r);
  void FinishView(ViewIndexer& v);
  bool Publish(ViewIndexer& v, const FrameEntry& e);
  void CountDownWait();

  // play_thread and its parts.
  void PlayThread();
  // Index mutex held. The view's next take from its index (TakeAhead).
  int TakeNext(CDrawWnd& view, bool keyOnly, bool fresh, AheadTake* out);
  // The entry of the oldest picture the view decoded ahead (kAheadFrame), or why there is
  // none: kAheadNotYet / kAheadEnd as the worker's take found, kAheadUnknown while it works.
  int PeekAhead(CDrawWnd& view, int32_t* shown);
  // True when the view's worker has filled its queue or can take nothing more for now.
  bool AheadPrimed(CDrawWnd& view);
  // Draws the oldest picture the view decoded ahead; false when there was none.
  bool PresentAhead(CDrawWnd& view);

  // The decode-ahead workers (CDispWndAhead.cpp).
  void AheadThread(CDrawWnd* view);
  bool StartAhead();
  // Lets the workers decode (the rear's only while a rear plays), or parks them: returns
  // once neither is between a take and its push. Never called with indexMutex_ held.
  void RunAhead(bool on);
  // StopPlay: ends and joins the workers, releases what they queued.
  void StopAhead();
  void StartWaitLocked();
  // True when a wait was running.
  bool StopWait();

  // Sound (CDispWndAudio.cpp).
  void OpenAudioDecoder(const MP4INFO& info);
  bool OpenAudioFrom(const AVCodecParameters* parameters);
  bool OpenAudioCodec(AVCodecContext* ctx);
  void SetAviWaveFormat(const AVIINFO& info);
  void SetWaveFormatFromDecoder();
  // whilePlaying: only when not paused and at 1X (checked under the audio mutex, so a
  // pause or speed change closing the device at the same time wins).
  void AudStart(bool whilePlaying = false);
  void AudClose();
  // Sound resumes at 1X: the audio cursor follows the next front picture taken, the device
  // opens. Not paused, or about to resume.
  void AudResume();
  // Index mutex held: the audio cursor moves to the sample playing when the front entry
  // `shown` is on screen.
  void AlignAudioLocked(int32_t shown);
  // play_thread, right after a front picture is presented: tells the observer which sound
  // the device is playing at that moment.
  void ReportSoundHeard(uint32_t pictureMs, uint64_t tickMs);
  // play_thread: writes the next sample while fewer than kMaxQueuedWaves are queued.
  void FeedSound();
  // False when the sample is not due yet (sound that starts after the picture waits for
  // the picture clock); true when it was written or dropped.
  bool AudPlayLocked(const FrameEntry& e);
  bool ReadAudioLocked(uint32_t offset, uint32_t size);
  bool DecodeAudioLocked(uint32_t size, const uint8_t** pcm, uint32_t* bytes);
  void ReleaseAudio();

  MessageSink* owner_;
  PlaybackObserver* observer_;
  SessionOptions options_;
  CDrawWnd rear_{1};

  // Session-wide buffers, allocated on the first start and kept until destruction.
  FrameTable front_;  // this view's table
  FrameTable rearTable_;
  FrameTable audio_;
  ConversionBuffer conversion_;

  // Per recording.
  std::string frontPath_;
  std::string rearPath_;
  int kind_ = kSourceMp4;
  uint16_t audioStreamNumber_ = 0;
  FormatContextPtr input_;   // play mode 2
  int inputVideo_ = -1;
  int inputAudio_ = -1;
  std::unique_ptr<MediaFile> scratch_;  // "playfile.dat" in play mode 2
  std::string scratchPath_;
  int32_t rearDelay_ = -1;
  std::vector<AviIndexEntry> aviIndex_;  // taken over by StartPlay, walked by run_thread
  uint32_t aviMovi_ = 0;
  AviStreams aviStreams_;
  bool swapped_ = false;  // UI thread

  std::atomic<int> running_{0};
  std::atomic<int> playMode_{kPlayNone};
  std::atomic<int> paused_{0};
  std::atomic<int> pauseRequest_{0};
  std::atomic<int> reposition_{0};  // 0 none, 1 seek or speed change while paused, 2 speed while playing
  std::atomic<int> stepped_{0};
  std::atomic<int> rearPresent_{0};
  std::atomic<int> waitCountdown_{0};
  std::atomic<int> indexComplete_{0};
  std::atomic<int> speed_{kSpeed1X};
  std::atomic<int> startSecond_{0};
  std::atomic<int> ratesDiffer_{0};

  // Sound. The device, the audio cursor, the decoder, the resampler and the buffers are
  // guarded by audioMutex_ (taken after indexMutex_ when both are held); waveQ_ has its
  // own lock, never held while audioMutex_ is taken.
  std::mutex audioMutex_;
  CWaveQ waveQ_;
  WaveFormat waveFormat_{};
  bool waveOpen_ = false;
  int32_t audioCursor_ = 0;
  CodecContextPtr audioCodec_;
  PacketPtr audioPacket_;
  FramePtr audioFrame_;
  SwrContextPtr resampler_;
  std::vector<uint8_t> audioRead_;   // one encoded sample, padded for the decoder
  std::vector<uint8_t> resampled_;   // signed 16-bit samples of one decoded frame
  // The media time (microseconds) where the sound written so far ends, and whether the
  // open device has been written to: what is heard is that end minus what is unplayed.
  int64_t writtenEndUs_ = 0;
  bool writtenSinceOpen_ = false;
  // After an alignment, the first sample written starts at this picture's time (its
  // leading samples are left out); -1 when no alignment is pending.
  int64_t alignToMs_ = -1;
  uint64_t alignTick_ = 0;
  // When play_thread last anchored its schedule (the picture clock starts there).
  std::atomic<uint64_t> pictureAnchorTick_{0};
  std::atomic<bool> hasSound_{false};  // sound present and its wave format set
  // Set (under indexMutex_) when sound must follow the picture again; play_thread aligns
  // the audio cursor to the next front picture it takes and clears it.
  std::atomic<bool> audioAlign_{false};

  std::mutex indexMutex_;
  Event runStop_;
  Event playStop_;
  Event pauseAck_;
  std::thread runThread_;
  std::thread playThread_;
  std::thread frontAhead_;
  std::thread rearAhead_;
};

}  // namespace tq
