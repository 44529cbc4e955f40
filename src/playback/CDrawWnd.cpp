#include "playback/CDrawWnd.h"

#include <algorithm>
#include <cstring>
#include <new>

extern "C" {
#include <libavutil/dict.h>
#include <libavutil/imgutils.h>
#include <libavutil/pixdesc.h>
#include <libswscale/swscale.h>
}

#include "app/TraceLog.h"

namespace tq {
namespace {

constexpr size_t kReadBufferSlack = 1024;
constexpr int kBicubic = SWS_BICUBIC;
// Scaling to the window's size: swscale's fast bilinear is what a screen of moving
// pictures needs, at a fraction of bicubic's cost.
constexpr int kScreenScaling = SWS_FAST_BILINEAR;

AVPixelFormat ConversionTarget(int code) {
  switch (code) {
    case kDrawRgb16: return AV_PIX_FMT_RGB565LE;
    case kDrawRgb24: return AV_PIX_FMT_BGR24;
    case kDrawYuy2: return AV_PIX_FMT_YUYV422;
    default: return AV_PIX_FMT_BGRA;
  }
}

}  // namespace

int DecoderDelay(const AVCodecContext* c) {
  int d = c->has_b_frames;
  if ((c->active_thread_type & FF_THREAD_FRAME) && c->thread_count > 1) d += c->thread_count - 1;
  return d;
}

bool ConversionBuffer::Ensure() {
  if (!bytes) bytes.reset(new (std::nothrow) uint8_t[kConversionBufferBytes]());
  return bytes != nullptr;
}

CDrawWnd::~CDrawWnd() { sws_freeContext(sws_); }

bool CDrawWnd::SetPlay(const std::string& path, bool open) {
  path_ = path;
  if (path.empty()) return false;
  if (!open) return true;
  file_ = MediaFile::Open(path, "rb");
  if (!file_) {
    TraceLog("CDrawWnd::SetPlay", __LINE__, "%s file open failed\n", path.c_str());
    return false;
  }
  return true;
}

bool CDrawWnd::FinishOpen() {
  packet_.reset(av_packet_alloc());
  picture_.reset(av_frame_alloc());
  received_.reset(av_frame_alloc());
  presented_.reset(av_frame_alloc());
  if (!packet_ || !picture_ || !received_ || !presented_) return false;
  AVDictionary* options = nullptr;
  av_dict_set(&options, "refcounted_frames", "1", 0);
  av_dict_set(&options, "threads", DecoderThreadText().c_str(), 0);
  const int rc = avcodec_open2(codec_.get(), codec_->codec, &options);
  av_dict_free(&options);
  if (rc < 0) return false;
  delay = DecoderDelay(codec_.get());
  return true;
}

bool CDrawWnd::OpenVCodec(AVCodecID id, int w, int h, const uint8_t* config, size_t configSize) {
  codec_.reset();
  const AVCodec* codec = avcodec_find_decoder(id);
  if (codec) codec_.reset(avcodec_alloc_context3(codec));
  bool ok = codec_ != nullptr;
  if (ok) {
    codec_->width = w;
    codec_->height = h;
    if (config && configSize > 0) {
      // The decoder gets its own padded copy; the description keeps owning its record.
      codec_->extradata =
          static_cast<uint8_t*>(av_mallocz(configSize + AV_INPUT_BUFFER_PADDING_SIZE));
      ok = codec_->extradata != nullptr;
      if (ok) {
        std::memcpy(codec_->extradata, config, configSize);
        codec_->extradata_size = int(configSize);
      }
    }
  }
  if (ok) ok = FinishOpen();
  if (!ok) {
    TraceLog("CDrawWnd::OpenVCodec", __LINE__, "video codec open failed\n");
    codec_.reset();
    return false;
  }
  width = w;
  height = h;
  return true;
}

bool CDrawWnd::OpenVCodecFrom(const AVCodecParameters* parameters) {
  codec_.reset();
  const AVCodec* codec = avcodec_find_decoder(parameters->codec_id);
  if (codec) codec_.reset(avcodec_alloc_context3(codec));
  if (!codec_ || avcodec_parameters_to_context(codec_.get(), parameters) < 0) {
    TraceLog("CDispWnd::AvConnect", __LINE__, "video codec open failed\n");
    codec_.reset();
    return false;
  }
  if (!FinishOpen()) {
    TraceLog("CDispWnd::AvConnect", __LINE__, "video codec open failed %s\n", path_.c_str());
    codec_.reset();
    return false;
  }
  width = codec_->width;
  height = codec_->height;
  return true;
}

int CDrawWnd::PrepareRenderer(DrawWindow window, int w, int h, ConversionBuffer* conversion) {
  std::lock_guard<std::mutex> lock(frameMutex);
  conversion_ = conversion;
  drawWindow_ = window;
  drawWidth_ = w;
  drawHeight_ = h;
  if (!disp_.get()) return SelectLocked();
  formatCode_ = disp_.get()->SetSourceSize(w, h);
  return CheckConversionLocked();
}

int CDrawWnd::ReselectRenderer() {
  std::lock_guard<std::mutex> lock(frameMutex);
  if (!disp_.get()) return formatCode_;  // nothing chosen yet: the next start picks
  return SelectLocked();
}

int CDrawWnd::SelectLocked() {
  formatCode_ = disp_.Select(drawWindow_, drawWidth_, drawHeight_);
  if (disp_.get()) disp_.get()->SetZoom(zoomed_ ? &zoomRect_ : nullptr);
  return CheckConversionLocked();
}

int CDrawWnd::CheckConversionLocked() {
  if (formatCode_ != kDrawFailed && !TakesPlanarYuv(formatCode_) && (!conversion_ || !conversion_->Ensure()))
    formatCode_ = kDrawFailed;
  return formatCode_;
}

void CDrawWnd::SetZoomRect(const ZoomRect* rect) {
  std::lock_guard<std::mutex> lock(frameMutex);
  zoomed_ = rect != nullptr;
  if (rect) zoomRect_ = *rect;
  if (disp_.get()) disp_.get()->SetZoom(zoomed_ ? &zoomRect_ : nullptr);
}

void CDrawWnd::SetPictureFlags(int flags) {
  std::lock_guard<std::mutex> lock(frameMutex);
  pictureFlags = flags;
}

void CDrawWnd::RedrawWindow() {
  std::lock_guard<std::mutex> lock(frameMutex);
  CDraw* draw = disp_.get();
  if (!draw) return;
  // A window drawn in one pass keeps its picture at the old zoom and size: it converts
  // the shown view's picture again.
  const AVFrame* p = shownFrom_->picture_.get();
  if (p && p->data[0] && !TakesPlanarYuv(formatCode_) && DrawDirectLocked(draw, p, true)) return;
  draw->Draw(nullptr, pictureFlags, true);
}

bool CDrawWnd::ReadData(uint32_t offset, uint32_t size) {
  const size_t need = size_t(size) + AV_INPUT_BUFFER_PADDING_SIZE;
  if (readBuffer_.size() < need) {
    try {
      readBuffer_.resize(size_t(size) + kReadBufferSlack);
    } catch (const std::bad_alloc&) {
      TraceLog("CDrawWnd::ReadData", __LINE__, "Video Data malloc Failed. Size(%d) %s\n",
               int(size), path_.c_str());
      return false;
    }
  }
  std::lock_guard<std::mutex> lock(fileMutex);
  MediaFile* f = file();
  if (!f || !f->Seek(offset) || !f->Read(readBuffer_.data(), size)) return false;
  std::memset(readBuffer_.data() + size, 0, AV_INPUT_BUFFER_PADDING_SIZE);
  return true;
}

int CDrawWnd::Decode(uint32_t offset, uint32_t size) {
  return DecodeInto(offset, size, picture_.get());
}

int CDrawWnd::DecodeInto(uint32_t offset, uint32_t size, AVFrame* out) {
  if (!codec_ || !out) return 0;
  if (!ReadData(offset, size)) {
    TraceLog("CDrawWnd::Decode", __LINE__, "Video Data Read Failed. %s\n", path_.c_str());
    return 0;
  }
  packet_->data = readBuffer_.data();
  packet_->size = int(size);
  int rc = avcodec_send_packet(codec_.get(), packet_.get());
  bool gotPicture = false;
  if (rc == AVERROR(EAGAIN)) {
    // An output was left behind: take it, then the packet fits.
    if (avcodec_receive_frame(codec_.get(), received_.get()) == 0) {
      av_frame_unref(out);
      av_frame_move_ref(out, received_.get());
      gotPicture = true;
    }
    rc = avcodec_send_packet(codec_.get(), packet_.get());
  }
  packet_->data = nullptr;
  packet_->size = 0;
  if (rc < 0) {
    TraceLog("CDrawWnd::Decode", __LINE__, "Video Decoding send Failed. %s\n", path_.c_str());
    return gotPicture ? 1 : 0;
  }
  rc = avcodec_receive_frame(codec_.get(), received_.get());
  if (rc == 0) {
    av_frame_unref(out);
    av_frame_move_ref(out, received_.get());
    return 1;
  }
  // EAGAIN is the decoder holding its pictures back (the delay): not a failure.
  if (rc != AVERROR(EAGAIN))
    TraceLog("CDrawWnd::Decode", __LINE__, "Video Decoding receive Failed. %s\n", path_.c_str());
  return gotPicture ? 1 : 0;
}

int CDrawWnd::DecodeEntry(int32_t i) {
  if (!table || !table->Indexed(i)) return 0;
  const FrameEntry e = table->at(i);
  return Decode(e.offset, e.size);
}

int CDrawWnd::DecodeEntryInto(int32_t i, AVFrame* out) {
  if (!table || !table->Indexed(i)) return 0;
  const FrameEntry e = table->at(i);
  return DecodeInto(e.offset, e.size, out);
}

int32_t CDrawWnd::PresentAhead() {
  if (!presented_) return -1;
  int32_t shown = -1;
  {
    std::lock_guard<std::mutex> lock(ahead.mutex);
    shown = ahead.Pop(presented_.get());
    ahead.changed.notify_all();  // room for the worker
  }
  if (shown < 0) return -1;
  CDrawWnd& window = *shownIn_;
  std::lock_guard<std::mutex> lock(window.frameMutex);
  av_frame_unref(picture_.get());
  av_frame_move_ref(picture_.get(), presented_.get());
  window.DrawLocked(picture_.get(), true, true);
  return shown;
}

void CDrawWnd::Draw(bool withPicture, bool present) {
  CDrawWnd& window = *shownIn_;
  std::lock_guard<std::mutex> lock(window.frameMutex);
  window.DrawLocked(picture_.get(), withPicture, present);
}

// Runs on the window whose renderer shows the picture (frameMutex held); the picture
// may be the other view's while front and rear are exchanged.
void CDrawWnd::DrawLocked(const AVFrame* p, bool withPicture, bool present) {
  CDraw* draw = disp_.get();
  if (!draw) return;
  if (!withPicture || !p || !p->data[0]) {
    draw->Draw(nullptr, pictureFlags, present);
    return;
  }
  DrawPicture out;
  out.width = p->width;
  out.height = p->height;
  out.format = formatCode_;
  if (TakesPlanarYuv(formatCode_)) {
    for (int i = 0; i < 3; ++i) {
      out.data[i] = p->data[i];
      out.linesize[i] = p->linesize[i];
    }
    draw->Draw(&out, pictureFlags, present);
    return;
  }
  if (DrawDirectLocked(draw, p, present)) return;
  // Converted pictures go through the shared buffer; a picture too large for it is
  // refused, never written past it.
  const AVPixelFormat target = ConversionTarget(formatCode_);
  const int need = av_image_get_buffer_size(target, p->width, p->height, 1);
  if (!conversion_ || need < 0 || size_t(need) > kConversionBufferBytes) {
    TraceLog("CDrawWnd::Draw", __LINE__, "picture %dx%d does not fit the conversion buffer %s\n",
             p->width, p->height, path_.c_str());
    draw->Draw(nullptr, pictureFlags, present);
    return;
  }
  std::lock_guard<std::mutex> bufferLock(conversion_->mutex);
  if (!conversion_->Ensure()) {
    draw->Draw(nullptr, pictureFlags, present);
    return;
  }
  // Kept between pictures (guarded by frameMutex): FFmpeg hands back the same context
  // while the sizes and formats stay, instead of building a new one for every picture.
  sws_ = sws_getCachedContext(sws_, p->width, p->height, AVPixelFormat(p->format),
                                         p->width, p->height, target, kBicubic, nullptr,
                                         nullptr, nullptr);
  if (!sws_) {
    draw->Draw(nullptr, pictureFlags, present);
    return;
  }
  uint8_t* planes[4] = {};
  int lines[4] = {};
  av_image_fill_arrays(planes, lines, conversion_->bytes.get(), target, p->width, p->height, 1);
  sws_scale(sws_, p->data, p->linesize, 0, p->height, planes, lines);
  out.data[0] = planes[0];
  out.linesize[0] = lines[0];
  draw->Draw(&out, pictureFlags, present);
}

// The single pass: the zoom rectangle of the picture, converted and scaled by swscale
// straight into the back end's buffer at the window's size. False when the back end
// takes pictures through Draw.
bool CDrawWnd::DrawDirectLocked(CDraw* draw, const AVFrame* p, bool present) {
  DirectTarget t;
  if (formatCode_ != kDrawRgb32 || !draw->BeginDirect(p->width, p->height, &t)) return false;
  bool converted = false;
  const AVPixFmtDescriptor* d = av_pix_fmt_desc_get(AVPixelFormat(p->format));
  if (t.data && t.width > 0 && t.height > 0 && t.linesize >= t.width * 4 && d) {
    int left = 0, top = 0, right = p->width, bottom = p->height;
    if (zoomed_) {
      // Clamped to the picture, and even so that the chroma planes start on a sample.
      left = std::clamp(zoomRect_.left, 0, p->width) & ~1;
      top = std::clamp(zoomRect_.top, 0, p->height) & ~1;
      right = std::clamp(zoomRect_.right, 0, p->width);
      bottom = std::clamp(zoomRect_.bottom, 0, p->height);
      if (right - left < 2 || bottom - top < 2) left = 0, top = 0, right = p->width, bottom = p->height;
    }
    // Each plane starts at the rectangle's corner: subsampled planes at the corner's
    // chroma sample, with the bytes per pixel of the components the plane holds (a
    // palette is not a picture plane and stays as it is).
    const uint8_t* source[4] = {};
    for (int i = 0; i < 4 && p->data[i]; ++i) {
      source[i] = p->data[i];
      if ((d->flags & AV_PIX_FMT_FLAG_PAL) && i == 1) continue;
      int step = 1;
      bool chroma = false;
      for (int c = 0; c < d->nb_components; ++c)
        if (d->comp[c].plane == i) {
          step = d->comp[c].step;
          chroma = (c == 1 || c == 2) && !(d->flags & AV_PIX_FMT_FLAG_RGB) && d->comp[0].plane != i;
          break;
        }
      const int x = chroma ? left >> d->log2_chroma_w : left;
      const int y = chroma ? top >> d->log2_chroma_h : top;
      source[i] += ptrdiff_t(y) * p->linesize[i] + ptrdiff_t(x) * step;
    }
    const int w = right - left, h = bottom - top;
    const int scaling = w == t.width && h == t.height ? kBicubic : kScreenScaling;
    sws_ = sws_getCachedContext(sws_, w, h, AVPixelFormat(p->format), t.width, t.height,
                                AV_PIX_FMT_BGRA, scaling, nullptr, nullptr, nullptr);
    uint8_t* planes[4] = {t.data};
    int lines[4] = {t.linesize};
    converted = sws_ && sws_scale(sws_, source, p->linesize, 0, h, planes, lines) > 0;
    if (!converted)
      TraceLog("CDrawWnd::Draw", __LINE__, "picture %dx%d not converted to %dx%d %s\n", w, h,
               t.width, t.height, path_.c_str());
  }
  draw->EndDirect(pictureFlags, present, converted);
  return true;
}

void CDrawWnd::StopView(bool wasRunning) {
  {
    std::lock_guard<std::mutex> lock(ahead.mutex);
    ahead.Reset();
  }
  codec_.reset();
  if (wasRunning) {
    std::lock_guard<std::mutex> lock(frameMutex);
    if (disp_.get()) disp_.get()->Clear();
    sws_freeContext(sws_);
    sws_ = nullptr;
    if (packet_) av_packet_unref(packet_.get());
    if (picture_) av_frame_unref(picture_.get());
    if (table) table->Clear();
    cursor = 0;
    repeatCount = 0;
    repeatsLeft_ = 0;
  }
  ClearCachedRun();
  kept_.clear();
  dataStart = 0;
  dataLength = 0;
  delay = 0;
  file_.reset();
  sharedFile_ = nullptr;
}

}  // namespace tq
