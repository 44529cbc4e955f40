// The renderer interface: one camera's pictures into one window. Back ends implement the
// seven operations below and never deal with threads: the view calls them under its
// frame mutex, from play_thread or from the user-interface thread.
#pragma once

#include <cstdint>

namespace tq {

// Which picture layout a renderer wants (returned by Init and SetSourceSize).
enum DrawFormat : int {
  kDrawFailed = 0,
  kDrawRgb16 = 2,   // 16-bit RGB converted by the view
  kDrawRgb24 = 3,   // BGR24 converted by the view
  kDrawRgb32 = 4,   // BGRA converted by the view
  kDrawYuy2 = 8,    // packed YUYV 4:2:2 converted by the view
  kDrawYv12 = 16,   // the decoder's planar YUV 4:2:0, unconverted
  kDrawI420 = 32,   // the decoder's planar YUV 4:2:0, unconverted
};

// True when the view hands this renderer the decoder's planes without conversion.
constexpr bool TakesPlanarYuv(int code) { return code == kDrawYv12 || code == kDrawI420; }

// Picture flags passed with every draw.
constexpr int kFlipUpDown = 1;
constexpr int kMirrorLeftRight = 2;

// A picture handed to Draw. The planes belong to the caller and are valid only during
// the call: a renderer that keeps the picture copies it. Planar pictures carry Y, U, V
// in planes 0..2; packed ones use plane 0 only.
struct DrawPicture {
  const uint8_t* data[3] = {};
  int linesize[3] = {};
  int width = 0;
  int height = 0;
  int format = kDrawFailed;  // the layout the planes are in (a DrawFormat code)
};

// The zoom source rectangle in picture coordinates (even values).
struct ZoomRect {
  int left = 0, top = 0, right = 0, bottom = 0;
};

// A back end's own BGRA buffer at the size its window shows (see CDraw::BeginDirect).
// width or height 0: the window shows nothing now (hidden), so nothing is converted.
struct DirectTarget {
  uint8_t* data = nullptr;
  int linesize = 0;
  int width = 0;
  int height = 0;
};

// Opaque window handle of the platform layer; what it points at is each back end's
// contract. The capture renderer takes a CaptureWindow*. The on-screen back ends (OpenGL
// and raster, in playback/gui/) take a ViewSurface*: a widget made on the user-interface
// thread before any session starts, holding the hand-over slot that their Draw fills and
// the GUI thread presents. Init binds to that surface and never creates a window, since
// it runs on run_thread. A null window makes every back end's Init fail.
using DrawWindow = void*;

class CDraw {
 public:
  virtual ~CDraw() = default;
  // New source size (front/rear exchange). Returns the format code, 0 on failure.
  virtual int SetSourceSize(int /*width*/, int /*height*/) { return kDrawFailed; }
  // Returns the format code, 0 on failure.
  virtual int Init(DrawWindow /*window*/, int /*width*/, int /*height*/) { return kDrawFailed; }
  // picture null: present the last picture again. Returns success.
  virtual bool Draw(const DrawPicture* /*picture*/, int /*flags*/, bool /*present*/) { return true; }
  virtual bool Clear() { return true; }
  // Single-pass drawing. A back end that shows pictures at its window's size may lend
  // the view its buffer: BeginDirect returns true and the target, and the view crops the
  // picture to the zoom rectangle, converts and scales it once, straight into it;
  // EndDirect then applies the flags and publishes it (`converted` false: nothing new was
  // written and the window keeps what it had). Between the two the back end's buffer
  // lock is held.
  // Back ends that return false get their pictures through Draw.
  virtual bool BeginDirect(int /*pictureWidth*/, int /*pictureHeight*/, DirectTarget* /*target*/) {
    return false;
  }
  virtual bool EndDirect(int /*flags*/, bool /*present*/, bool /*converted*/) { return true; }
  // Re-creates what depends on the window size when it changed.
  virtual bool CheckWindowSize() = 0;
  virtual bool Present() = 0;

  // Zoom rectangle of the view (null: the whole picture). Owned by the view.
  void SetZoom(const ZoomRect* zoom) { zoom_ = zoom; }

 protected:
  DrawWindow window_ = nullptr;
  const ZoomRect* zoom_ = nullptr;
  int sourceWidth_ = 0;
  int sourceHeight_ = 0;
};

}  // namespace tq
