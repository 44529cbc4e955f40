// The session's sound: the audio decoder, the wave format, the wave-out device and the
// samples play_thread writes to it. Sound is heard at 1X only; pause, stepping, waiting
// and every other speed close the device, and whenever sound resumes the audio cursor
// follows the picture again.
#include <algorithm>
#include <cstring>
#include <new>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavutil/channel_layout.h>
#include <libavutil/dict.h>
#include <libavutil/samplefmt.h>
#include <libswresample/swresample.h>
}

#include "app/TraceLog.h"
#include "platform/Clock.h"
#include "playback/CDispWnd.h"

namespace tq {
namespace {

// The converted samples are signed 16-bit, whatever the decoder gives.
constexpr AVSampleFormat kOutSampleFormat = AV_SAMPLE_FMT_S16;
constexpr uint16_t kOutBits = 16;
constexpr int kResampleSlack = 256;    // samples of room beyond one frame's worth
constexpr int kBufferSlackBytes = 12;
// No sound sample comes near this (an AAC frame is a few hundred bytes, an AVI chunk of
// 100 ms of 48 kHz stereo 19,200); a larger index entry is damage, not sound.
constexpr uint32_t kMaxAudioSampleBytes = 1u << 20;
constexpr int64_t kMicrosPerMs = 1000;
constexpr int64_t kMicrosPerSecond = 1000000;

}  // namespace

void SwrContextFree::operator()(SwrContext* s) const { swr_free(&s); }

WaveFormat CDispWnd::waveFormat() {
  std::lock_guard<std::mutex> lock(audioMutex_);
  return waveFormat_;
}

bool CDispWnd::OpenAudioCodec(AVCodecContext* ctx) {
  AVDictionary* options = nullptr;
  av_dict_set(&options, "refcounted_frames", "1", 0);
  av_dict_set(&options, "threads", DecoderThreadText().c_str(), 0);
  const int rc = avcodec_open2(ctx, ctx->codec, &options);
  av_dict_free(&options);
  return rc >= 0;
}

// The camera's sound description: AAC when its codec is mp4a, MP3 for .mp3 (a camera
// that repairs such files records them), else 16-bit PCM. A recording without a sound
// stream plays silently without a word.
void CDispWnd::OpenAudioDecoder(const MP4INFO& info) {
  const PTSOBOX& so = info.ptrh.so;
  if (!info.ptrh.ptso.found() || so.streamNumber == 0) return;
  const bool aac = so.codec == kCodecMp4a;
  const AVCodecID id = aac ? AV_CODEC_ID_AAC
                       : so.codec == kCodecMp3 ? AV_CODEC_ID_MP3
                                               : AV_CODEC_ID_PCM_S16LE;
  const AVCodec* codec = avcodec_find_decoder(id);
  CodecContextPtr ctx(codec ? avcodec_alloc_context3(codec) : nullptr);
  bool ok = ctx != nullptr;
  if (ok) {
    av_channel_layout_default(&ctx->ch_layout, so.channelCount);
    ctx->sample_rate = int(so.sampleRate);
    ctx->bits_per_coded_sample = so.bitsPerSample;
    // The AudioSpecificConfig the camera stores with the description, when there is one.
    const std::vector<uint8_t>* config =
        aac && !so.config.empty() && !so.config[0].szConfigStr.empty() ? &so.config[0].szConfigStr
                                                                       : nullptr;
    if (config) {
      ctx->extradata = static_cast<uint8_t*>(
          av_mallocz(config->size() + AV_INPUT_BUFFER_PADDING_SIZE));
      ok = ctx->extradata != nullptr;
      if (ok) {
        std::memcpy(ctx->extradata, config->data(), config->size());
        ctx->extradata_size = int(config->size());
      }
    }
  }
  audioPacket_.reset(av_packet_alloc());
  audioFrame_.reset(av_frame_alloc());
  ok = ok && audioPacket_ && audioFrame_ && OpenAudioCodec(ctx.get());
  if (!ok) {
    TraceLog("CDispWnd::StartPlay", __LINE__, "audio codec open failed %s\n", frontPath_.c_str());
    return;
  }
  audioCodec_ = std::move(ctx);
}

// Play mode 2: the demuxer's first audio stream. False drops the stream.
bool CDispWnd::OpenAudioFrom(const AVCodecParameters* parameters) {
  const AVCodec* codec = avcodec_find_decoder(parameters->codec_id);
  CodecContextPtr ctx(codec ? avcodec_alloc_context3(codec) : nullptr);
  if (!ctx || avcodec_parameters_to_context(ctx.get(), parameters) < 0) {
    TraceLog("CDispWnd::AvConnect", __LINE__, "video codec open failed\n");
    return false;
  }
  audioPacket_.reset(av_packet_alloc());
  audioFrame_.reset(av_frame_alloc());
  if (!audioPacket_ || !audioFrame_ || !OpenAudioCodec(ctx.get())) {
    TraceLog("CDispWnd::AvConnect", __LINE__, "audio codec open failed %s\n", frontPath_.c_str());
    return false;
  }
  audioCodec_ = std::move(ctx);
  return true;
}

// An AVI's sound is played as stored: its own WAVEFORMATEX is the device's format.
void CDispWnd::SetAviWaveFormat(const AVIINFO& info) {
  if (aviStreams_.audio < 0 || info.soundFormat.wFormatTag == 0) return;
  const AviWaveFormat& w = info.soundFormat;
  std::lock_guard<std::mutex> lock(audioMutex_);
  waveFormat_ = WaveFormat{w.wFormatTag, w.nChannels,   w.nSamplesPerSec,
                           w.nAvgBytesPerSec, w.nBlockAlign, w.wBitsPerSample};
  hasSound_ = true;
}

// run_thread, once the decoder is open: PCM of the decoder's channels and rate, 16 bits a
// sample since every frame is converted to that.
void CDispWnd::SetWaveFormatFromDecoder() {
  if (!audioCodec_) return;
  const int channels = audioCodec_->ch_layout.nb_channels;
  const int rate = audioCodec_->sample_rate;
  if (channels <= 0 || rate <= 0) return;
  WaveFormat f;
  f.formatTag = kWaveFormatPcm;
  f.channels = uint16_t(channels);
  f.samplesPerSec = uint32_t(rate);
  f.bitsPerSample = kOutBits;
  f.blockAlign = uint16_t(kOutBits / 8 * channels);
  f.avgBytesPerSec = uint32_t(f.blockAlign) * f.samplesPerSec;
  std::lock_guard<std::mutex> lock(audioMutex_);
  waveFormat_ = f;
  hasSound_ = true;
}

void CDispWnd::AudStart(bool whilePlaying) {
  if (!hasSound_) return;
  std::lock_guard<std::mutex> lock(audioMutex_);
  if (waveOpen_ || (whilePlaying && (paused_ || speed_ != kSpeed1X))) return;
  WaveOut* device = options_.waveOut;
  // The callback runs on the device's thread and touches the queue only.
  const int rc = device ? device->Open(waveFormat_, [this] { waveQ_.PopOldest(); }) : kWaveNoDevice;
  if (rc != kWaveOk) {
    TraceLog("CDispWnd::AudStart", __LINE__, "winmm audio open failed.\n");
    return;
  }
  waveOpen_ = true;
  writtenSinceOpen_ = false;
}

void CDispWnd::AudClose() {
  std::lock_guard<std::mutex> lock(audioMutex_);
  if (!waveOpen_) return;
  WaveOut* device = options_.waveOut;
  device->Pause();
  device->Reset();
  device->Close();
  waveOpen_ = false;
  writtenSinceOpen_ = false;
  // The device reads none of them any more and calls back for none.
  waveQ_.Clear();
}

void CDispWnd::AudResume() {
  if (!hasSound_ || speed_ != kSpeed1X) return;
  {
    std::lock_guard<std::mutex> lock(indexMutex_);
    audioAlign_ = true;
  }
  AudStart();
}

// The sample that is playing when the picture is shown: the last one that starts at or
// before it; from the first picture on, all of the sound.
void CDispWnd::AlignAudioLocked(int32_t shown) {
  const int32_t n = audio_.Count();
  int32_t i = 0;
  if (shown > 0) {
    const uint32_t pictureMs = table->at(shown).timeMs;
    while (i < n && audio_.at(i).key != 0 && audio_.at(i).timeMs <= pictureMs) ++i;
  }
  std::lock_guard<std::mutex> lock(audioMutex_);
  audioCursor_ = std::max<int32_t>(0, i - 1);
  // The first write starts the sound at the picture (AudPlayLocked).
  alignToMs_ = shown >= 0 && shown < table->Count() ? int64_t(table->at(shown).timeMs) : -1;
  alignTick_ = TickCountMs();
}

void CDispWnd::ReportSoundHeard(uint32_t pictureMs, uint64_t tickMs) {
  int64_t heardUs = 0;
  {
    std::lock_guard<std::mutex> lock(audioMutex_);
    if (!waveOpen_ || !writtenSinceOpen_) return;
    const int64_t unplayed = options_.waveOut->UnplayedUs();
    // Everything written has been heard: silence now, nothing to compare.
    if (unplayed <= 0) return;
    heardUs = writtenEndUs_ - unplayed;
  }
  observer_->SoundHeard(pictureMs, heardUs, tickMs);
}

void CDispWnd::FeedSound() {
  if (speed_ != kSpeed1X || waitCountdown_ > 0) return;
  if (waveQ_.count() >= kMaxQueuedWaves) return;
  std::lock_guard<std::mutex> lock(audioMutex_);
  // Looked at under the lock: a seek or resume on the UI thread raises the flag before it
  // reopens the device, so a device opened for the new position never gets a sample of
  // the old one.
  if (audioAlign_ || !waveOpen_ || audioCursor_ >= audio_.Count()) return;
  const FrameEntry e = audio_.at(audioCursor_);
  if (e.size == 0) return;
  if (AudPlayLocked(e)) ++audioCursor_;
}

bool CDispWnd::ReadAudioLocked(uint32_t offset, uint32_t size) {
  if (size > kMaxAudioSampleBytes) return false;
  try {
    audioRead_.resize(size_t(size) + AV_INPUT_BUFFER_PADDING_SIZE);
  } catch (const std::bad_alloc&) {
    return false;
  }
  std::memset(audioRead_.data() + size, 0, AV_INPUT_BUFFER_PADDING_SIZE);
  std::lock_guard<std::mutex> lock(fileMutex);
  MediaFile* f = file();
  return f && f->Seek(offset) && f->Read(audioRead_.data(), size);
}

// One encoded sample in audioRead_ -> one frame of signed 16-bit PCM in resampled_.
bool CDispWnd::DecodeAudioLocked(uint32_t size, const uint8_t** pcm, uint32_t* bytes) {
  const char* path = frontPath_.c_str();
  if (!audioCodec_) return false;
  audioPacket_->data = audioRead_.data();
  audioPacket_->size = int(size);
  int rc = avcodec_send_packet(audioCodec_.get(), audioPacket_.get());
  audioPacket_->data = nullptr;
  audioPacket_->size = 0;
  if (rc >= 0) rc = avcodec_receive_frame(audioCodec_.get(), audioFrame_.get());
  if (rc < 0) {
    TraceLog("CDispWnd::AudPlay", __LINE__, "Audio Decoding Failed. %s\n", path);
    return false;
  }
  const AVFrame* frame = audioFrame_.get();
  const int channels = waveFormat_.channels;
  if (!resampler_) {
    AVChannelLayout out{};
    av_channel_layout_default(&out, channels);
    AVChannelLayout in{};
    // PCM frames may carry a bare channel count; give it the usual order.
    if (frame->ch_layout.order == AV_CHANNEL_ORDER_UNSPEC)
      av_channel_layout_default(&in, frame->ch_layout.nb_channels);
    else
      rc = av_channel_layout_copy(&in, &frame->ch_layout);
    SwrContext* s = nullptr;
    if (rc >= 0)
      rc = swr_alloc_set_opts2(&s, &out, kOutSampleFormat, int(waveFormat_.samplesPerSec), &in,
                               AVSampleFormat(frame->format), frame->sample_rate, 0, nullptr);
    SwrContextPtr owned(s);
    if (rc >= 0 && s) rc = swr_init(s);
    av_channel_layout_uninit(&in);
    av_channel_layout_uninit(&out);
    if (rc < 0 || !s) {
      TraceLog("CDispWnd::AudPlay", __LINE__, "swr_alloc_set_opts failed. %s\n", path);
      av_frame_unref(audioFrame_.get());
      return false;
    }
    resampler_ = std::move(owned);
  }
  // Room for one frame at the output rate.
  const int capacity =
      frame->sample_rate > 0
          ? int(int64_t(audioCodec_->sample_rate) * frame->nb_samples / frame->sample_rate) +
                kResampleSlack
          : kResampleSlack;
  const int need = av_samples_get_buffer_size(nullptr, channels, capacity, kOutSampleFormat, 0);
  if (need < 0) {
    TraceLog("CDispWnd::AudPlay", __LINE__, "audio buffer malloc failed size\n");
    av_frame_unref(audioFrame_.get());
    return false;
  }
  if (resampled_.size() < size_t(need) + kBufferSlackBytes) {
    try {
      resampled_.resize(size_t(need) + kBufferSlackBytes);
    } catch (const std::bad_alloc&) {
      TraceLog("CDispWnd::AudPlay", __LINE__, "audio buffer malloc failed size\n");
      av_frame_unref(audioFrame_.get());
      return false;
    }
  }
  uint8_t* out = resampled_.data();
  const int converted = swr_convert(resampler_.get(), &out, capacity,
                                    const_cast<const uint8_t**>(frame->extended_data),
                                    frame->nb_samples);
  av_frame_unref(audioFrame_.get());
  if (converted < 0) {
    TraceLog("CDispWnd::AudPlay", __LINE__, "swr_convert failed. %s\n", path);
    return false;
  }
  *pcm = out;
  *bytes = uint32_t(converted) * 2u * uint32_t(channels);
  return true;
}

// play_thread, audio mutex held, device open: one sample to the device. Every failure
// drops this sample only.
bool CDispWnd::AudPlayLocked(const FrameEntry& e) {
  const char* path = frontPath_.c_str();
  const int64_t startUs = int64_t(e.timeMs) * kMicrosPerMs;
  // After an alignment the sound starts where the picture clock is now: the picture's
  // time plus what has passed since it was anchored (its decode and drawing come first).
  int64_t alignUs = -1;
  if (alignToMs_ >= 0) {
    const uint64_t anchor = pictureAnchorTick_;
    const uint64_t now = TickCountMs();
    const int64_t since = anchor >= alignTick_ && now > anchor ? int64_t(now - anchor) : 0;
    alignUs = (alignToMs_ + since) * kMicrosPerMs;
    if (startUs > alignUs) return false;  // the sound begins after this picture
  }
  if (!ReadAudioLocked(e.offset, e.size)) {
    TraceLog("CDispWnd::AudPlay", __LINE__, "Audio Data Read Failed. %s\n", path);
    return true;
  }
  const uint8_t* pcm = audioRead_.data();
  uint32_t bytes = e.size;
  if (kind_ != kSourceAvi && !DecodeAudioLocked(e.size, &pcm, &bytes)) return true;
  if (bytes == 0) return true;  // the resampler kept everything back
  const int64_t bytesPerSecond =
      std::max<int64_t>(1, int64_t(waveFormat_.blockAlign) * waveFormat_.samplesPerSec);
  const int64_t endUs = startUs + int64_t(bytes) * kMicrosPerSecond / bytesPerSecond;
  uint32_t skip = 0;
  if (alignUs >= 0) {
    // The sample starts up to a whole sample before that (an AAC frame is 21 ms, an AVI
    // chunk 100 ms): its part before it is left out.
    const int64_t block = std::max<int64_t>(1, waveFormat_.blockAlign);
    skip = uint32_t(std::min<int64_t>((alignUs - startUs) * bytesPerSecond / kMicrosPerSecond / block * block, bytes));
    if (skip >= bytes) return true;  // wholly before the picture: the next sample is cut instead
    alignToMs_ = -1;
  }
  pcm += skip;
  bytes -= skip;
  // Queued before it is written: the device may finish it at once.
  const uint8_t* copy = waveQ_.Push(pcm, bytes);
  if (!copy) {
    TraceLog("CDispWnd::AudPlay", __LINE__, "Wave buffer alloc failed size %d\n", int(bytes));
    return true;
  }
  const int rc = options_.waveOut->Write(copy, bytes);
  if (rc != kWaveOk) {
    waveQ_.DropNewest();
    TraceLog("CDispWnd::AudPlay", __LINE__, "waveOutPrepareHeader or waveOutWrite Error (0x%0x)\n",
             unsigned(rc));
    return true;
  }
  writtenEndUs_ = endUs;
  writtenSinceOpen_ = true;
  if (observer_)
    observer_->AudioWritten(uint32_t((startUs + int64_t(skip) * kMicrosPerSecond / bytesPerSecond) / kMicrosPerMs),
                            bytes, TickCountMs());
  return true;
}

// StopPlay, both threads ended.
void CDispWnd::ReleaseAudio() {
  AudClose();
  std::lock_guard<std::mutex> lock(audioMutex_);
  audioCodec_.reset();
  if (audioPacket_) av_packet_unref(audioPacket_.get());
  if (audioFrame_) av_frame_unref(audioFrame_.get());
  resampler_.reset();
  resampled_.clear();
  resampled_.shrink_to_fit();
  audioRead_.clear();
  audioRead_.shrink_to_fit();
  audioCursor_ = 0;
  waveFormat_ = WaveFormat{};
  hasSound_ = false;
  audioAlign_ = false;
  alignToMs_ = -1;
  writtenSinceOpen_ = false;
}

}  // namespace tq
