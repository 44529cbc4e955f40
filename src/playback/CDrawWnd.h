// The view of one camera: reads encoded frames by file offset, decodes them, converts the
// picture to what the renderer wants and hands it over. Also single-frame stepping both
// ways with the pictures of the stepped interval kept in memory, the seek of one view and
// the stop of a view.
//
// Threads: while playing, the view's decode-ahead worker feeds the decoder and queues its
// pictures (`ahead`) and play_thread moves them into the picture slot and draws; the
// user-interface thread steps, seeks and redraws only while both are parked (the session
// waits for play_thread's acknowledgement, which parks the workers first), so decoder,
// picture slot and step state have one user at a time. frameMutex serialises conversion,
// renderer calls and the change of the picture slot; fileMutex serialises reads of the
// view's file between run_thread (records) and the worker (frame data).
#pragma once

#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "container/MediaFile.h"
#include "playback/AheadQueue.h"
#include "playback/CDrawDisp.h"
#include "playback/FfmpegPtr.h"
#include "playback/FrameIndex.h"

struct SwsContext;
namespace tq {

// 1920 x 1080 x 4: the largest converted picture a view hands to a renderer.
constexpr size_t kConversionBufferBytes = 8294400;

// The conversion buffer both views share; allocated zero-filled on first need.
struct ConversionBuffer {
  std::mutex mutex;  // held while a picture is converted into it and drawn from it
  std::unique_ptr<uint8_t[]> bytes;
  bool Ensure();
};

enum class StepResult { kNone, kShown };

class CDrawWnd {
 public:
  explicit CDrawWnd(int viewNumber) : view_(viewNumber) {}
  virtual ~CDrawWnd();
  CDrawWnd(const CDrawWnd&) = delete;
  CDrawWnd& operator=(const CDrawWnd&) = delete;

  int viewNumber() const { return view_; }

  // ---- Opening (user-interface thread, before the workers start) ----
  // Stores the path; with open set opens it read-only.
  bool SetPlay(const std::string& path, bool open);
  // Play mode 2: the view reads the session's stream scratch file (not owned).
  void UseScratchFile(MediaFile* file) { sharedFile_ = file; }
  bool OpenVCodec(AVCodecID id, int width, int height, const uint8_t* config, size_t configSize);
  bool OpenVCodecFrom(const AVCodecParameters* parameters);
  // Picks the renderer the first time, or tells it the new size; returns the format code.
  int PrepareRenderer(DrawWindow window, int width, int height, ConversionBuffer* conversion);
  // Makes room for the pictures stepping keeps: one slot per frame of a second (at most
  // one key-frame interval of the camera). The slots hold references to the decoder's
  // pictures, never copies.
  void KeepSteps();
  // Pictures kept for stepping now (released on play, seek and stop).
  int keptPictures() const;
  int decodedFrameSize() const { return width * (height + height / 2); }

  // ---- Decoding and drawing (play_thread, or UI thread while paused) ----
  // 1 when a picture came out into the picture slot.
  int Decode(uint32_t offset, uint32_t size);
  int DecodeEntry(int32_t i);
  // The same into `out` instead of the picture slot (the decode-ahead worker).
  int DecodeEntryInto(int32_t i, AVFrame* out);
  // play_thread: the oldest picture decoded ahead becomes the picture slot and is drawn.
  // Returns its entry, -1 when the queue was empty.
  int32_t PresentAhead();
  // Draws the picture slot (or, with withPicture false, presents the last picture).
  void Draw(bool withPicture, bool present = true);
  void PresentAgain() { Draw(false); }
  // ---- This view as a window (UI thread; frameMutex taken) ----
  // The zoom source rectangle of this window's renderer (null: the whole picture). The
  // rectangle is copied: the renderer points at the copy, which frameMutex guards.
  void SetZoomRect(const ZoomRect* rect);
  void SetPictureFlags(int flags);
  // Presents this window's last picture again, with the current zoom and flags (the
  // window's own renderer, whichever view's picture it shows).
  void RedrawWindow();
  // The renderer's window found it cannot present after all (its kind has been switched
  // off): picks again for the same window and size. Returns the new format code.
  int ReselectRenderer();
  // The view whose window shows this view's pictures: itself, or the other view while
  // front and rear are exchanged. Set on the UI thread while play_thread is paused.
  void ShowIn(CDrawWnd* window) {
    shownIn_ = window ? window : this;
    shownIn_->shownFrom_ = this;
  }
  bool HasPicture() const { return picture_ && picture_->data[0]; }

  // ---- Stepping and seeking (UI thread, play_thread paused) ----
  StepResult StepForward();
  StepResult StepBack();
  // Step back in parts, so that the session can interleave the two views' decoders
  // (each keeps its threads busy while the other is fed). Begin answers at once or
  // leaves `active` set; RefillOne decodes one picture; Finish lands on the target.
  struct Refill {
    bool started = false;  // the cached second was used up: Finish must follow
    bool active = false;   // pictures remain to decode
    bool gotTarget = false;
    int32_t key = 0, target = 0, firstStored = 0, next = 0;
    int stored = 0;
  };
  StepResult StepBackBegin(Refill* r);
  bool RefillOne(Refill& r);
  StepResult RefillFinish(const Refill& r);
  // Entry whose picture the slot shows (the cursor is past the pictures decoded ahead).
  int32_t ShownEntry() const { return cursor - delay - 1 - ahead.count(); }
  void Resynchronise();
  // Moves the cursor to the last key frame not after targetMs.
  void SeekView(uint32_t targetMs);
  // Feeds (delay) entries from the cursor, then decodes until a picture; true on success.
  bool DecodeAtCursor(int32_t* shownEntry);
  // Releases the kept pictures: playing on, a seek and a stop make them stale.
  void ClearCachedRun();
  bool GetImage(std::vector<uint8_t>* bgr, int* width, int* height);  // top-down BGR24, play_thread paused

  // ---- Stop (UI thread, workers ended) ----
  void StopView(bool wasRunning);

  // ---- State shared with the session ----
  // Set at open; read by both workers.
  FrameTable* table = nullptr;
  uint32_t dataStart = 0;
  uint32_t dataLength = 0;
  uint16_t videoTrackId = 0;
  int fps = 30;
  int width = 0;
  int height = 0;
  int delay = 0;        // decoder delay in frames
  int repeatCount = 0;  // step repeats when this view's rate is the lower one
  int pictureFlags = 0; // kFlipUpDown | kMirrorLeftRight; guarded by frameMutex
  // Pictures decoded ahead of the slot while playing; kept across a pause (playing on
  // shows them), taken into the step slots by the first step, dropped by a seek.
  AheadQueue ahead;
  // Next entry to decode. Guarded by the session's index mutex while play_thread runs;
  // the UI thread changes it only while play_thread is paused.
  int32_t cursor = 0;
  std::mutex frameMutex;  // renderer, picture conversion
  std::mutex fileMutex;   // reads of the view's file

  MediaFile* file() const { return sharedFile_ ? sharedFile_ : file_.get(); }
  AVCodecContext* decoder() const { return codec_.get(); }
  const AVFrame* picture() const { return picture_.get(); }
  CDraw* renderer() const { return disp_.get(); }
  int formatCode() const { return formatCode_; }

 private:
  bool ReadData(uint32_t offset, uint32_t size);
  int DecodeInto(uint32_t offset, uint32_t size, AVFrame* out);
  // UI thread, paused: the pictures decoded ahead become the step slots after the one
  // shown, and the cursor goes back to the picture shown.
  void SettleAhead();
  bool FinishOpen();
  bool StoreSlot(int slot);
  bool LoadSlot(int slot);
  int32_t KeyAtOrBefore(int32_t i) const;
  void DrawLocked(const AVFrame* picture, bool withPicture, bool present);
  bool DrawDirectLocked(CDraw* draw, const AVFrame* picture, bool present);
  int SelectLocked();
  int CheckConversionLocked();

  const int view_;
  CDrawWnd* shownIn_ = this;
  CDrawWnd* shownFrom_ = this;  // the view whose pictures this window shows
  std::string path_;
  std::unique_ptr<MediaFile> file_;
  MediaFile* sharedFile_ = nullptr;
  CodecContextPtr codec_;
  PacketPtr packet_;
  FramePtr picture_;   // the view's decoded-picture slot
  FramePtr received_;  // receive target, moved into picture_ when a picture came out
  FramePtr presented_;  // play_thread: the picture taken from the queue on its way to the slot
  std::vector<uint8_t> readBuffer_;  // grown to need + 1024, never shrunk
  CDrawDisp disp_;
  int formatCode_ = kDrawFailed;
  DrawWindow drawWindow_ = nullptr;     // what PrepareRenderer last chose for, under frameMutex
  int drawWidth_ = 0, drawHeight_ = 0;
  ZoomRect zoomRect_;     // guarded by frameMutex; the renderer points here while zoomed_
  bool zoomed_ = false;   // guarded by frameMutex
  ConversionBuffer* conversion_ = nullptr;
  SwsContext* sws_ = nullptr;  // guarded by frameMutex
  // Step state: kept_[k] is the k-th picture of the stepped run (null: not kept).
  std::vector<FramePtr> kept_;
  int slot_ = -1;  // -1: no kept run
  int repeatsLeft_ = 0;
};

}  // namespace tq
