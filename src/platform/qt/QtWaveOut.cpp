#include "platform/qt/QtWaveOut.h"

#include <QAudioDevice>
#include <QAudioFormat>
#include <QAudioSink>
#include <QCoreApplication>
#include <QIODevice>
#include <QMediaDevices>
#include <QThread>
#include <QTimer>
#include <algorithm>
#include <chrono>
#include <cstring>

namespace tq {
namespace {

constexpr int kMicrosPerMs = 1000;
constexpr int64_t kMicrosPerSecond = 1000000;
constexpr int kPollMs = 4;  // how often the sink's played-time count is read

uint64_t TickCountUs() {
  return uint64_t(std::chrono::duration_cast<std::chrono::microseconds>(
                      std::chrono::steady_clock::now().time_since_epoch())
                      .count());
}

bool ToQtFormat(const WaveFormat& f, QAudioFormat* out) {
  if (f.formatTag != kWaveFormatPcm || f.channels == 0 || f.samplesPerSec == 0 ||
      f.blockAlign != f.bitsPerSample / 8 * f.channels)
    return false;
  QAudioFormat q;
  switch (f.bitsPerSample) {
    case 8: q.setSampleFormat(QAudioFormat::UInt8); break;
    case 16: q.setSampleFormat(QAudioFormat::Int16); break;
    case 32: q.setSampleFormat(QAudioFormat::Int32); break;
    default: return false;
  }
  q.setSampleRate(int(f.samplesPerSec));
  q.setChannelCount(f.channels);
  *out = q;
  return true;
}

}  // namespace

// What the sink pulls from: the queued buffers, read under the owner's mutex. A buffer
// read to its end is done. Runs on the device's thread, inside the sink's reads.
class QtWaveOut::Feed final : public QIODevice {
 public:
  explicit Feed(QtWaveOut* owner) : owner_(owner) {}
  bool isSequential() const override { return true; }
  qint64 bytesAvailable() const override {
    std::lock_guard<std::mutex> lock(owner_->mutex_);
    qint64 n = 0;
    for (const Pending& p : owner_->queue_) n += qint64(p.bytes - p.handedOver);
    return n + QIODevice::bytesAvailable();
  }

 protected:
  qint64 readData(char* data, qint64 maxSize) override {
    std::lock_guard<std::mutex> lock(owner_->mutex_);
    qint64 copied = 0;
    while (copied < maxSize && !owner_->queue_.empty()) {
      Pending& p = owner_->queue_.front();
      const qint64 n = std::min<qint64>(maxSize - copied, qint64(p.bytes - p.handedOver));
      std::memcpy(data + copied, p.data + p.handedOver, size_t(n));
      copied += n;
      p.handedOver += uint32_t(n);
      owner_->handedBytes_ += n;
      if (p.handedOver < p.bytes) break;
      owner_->queue_.pop_front();
      owner_->done_();  // under mutex_: Reset and Close wait for it
    }
    return copied;
  }
  qint64 writeData(const char*, qint64) override { return -1; }

 private:
  QtWaveOut* owner_;
};

// The sink and its feed, on the device's thread. Everything here runs there.
class QtWaveOut::Pump final : public QObject {
 public:
  explicit Pump(QtWaveOut* owner) : owner_(owner), feed_(owner) {
    poll_.setParent(this);  // moves to the device's thread with the pump
    poll_.setInterval(kPollMs);
    poll_.setTimerType(Qt::PreciseTimer);
    QObject::connect(&poll_, &QTimer::timeout, this, [this] { ReadPlayed(); });
  }

  int Start(const QAudioFormat& format, int latencyMs) {
    suspended_ = false;
    const QAudioDevice device = QMediaDevices::defaultAudioOutput();
    if (device.isNull()) return kWaveNoDevice;
    if (!device.isFormatSupported(format)) return kWaveBadFormat;
    sink_ = std::make_unique<QAudioSink>(device, format);
    sink_->setBufferSize(format.bytesForDuration(qint64(latencyMs) * kMicrosPerMs));
    if (!feed_.open(QIODevice::ReadOnly)) return kWaveError;
    ClearPlayed();
    sink_->start(&feed_);
    if (sink_->error() != QAudio::NoError || sink_->state() == QAudio::StoppedState) {
      sink_.reset();
      return kWaveError;
    }
    poll_.start();
    return kWaveOk;
  }
  // The sink's played-time count with the moment it was read, for UnplayedUs.
  void ReadPlayed() {
    if (!sink_) return;
    const int64_t played = sink_->processedUSecs();
    const bool playing = sink_->state() == QAudio::ActiveState;
    std::lock_guard<std::mutex> lock(owner_->mutex_);
    owner_->sinkPlayedUs_ = played;
    owner_->sinkReadTickUs_ = TickCountUs();
    owner_->sinkPlaying_ = playing;
  }
  void ClearPlayed() {
    std::lock_guard<std::mutex> lock(owner_->mutex_);
    owner_->handedBytes_ = 0;
    owner_->sinkPlayedUs_ = 0;
    owner_->sinkReadTickUs_ = TickCountUs();
    owner_->sinkPlaying_ = false;
  }
  void Suspend(bool on) {
    suspended_ = on;
    if (!sink_) return;
    if (on)
      sink_->suspend();
    else
      sink_->resume();
    ReadPlayed();
  }
  // Drops what the sink holds; a sink that stopped over it is started again.
  void ResetSink() {
    if (!sink_) return;
    sink_->reset();
    // What the sink held is gone; its count starts again with the sound given from now.
    ClearPlayed();
    if (sink_->state() == QAudio::StoppedState) {
      sink_->start(&feed_);
      if (suspended_) sink_->suspend();
    }
  }
  // New sound after the sink ran dry: a sink that went idle pulls again on readyRead.
  void Wake() {
    if (sink_) emit feed_.readyRead();
  }
  void Stop() {
    poll_.stop();
    if (sink_) sink_->stop();
    sink_.reset();
    feed_.close();
  }

 private:
  QtWaveOut* owner_;
  Feed feed_;
  QTimer poll_;
  std::unique_ptr<QAudioSink> sink_;
  bool suspended_ = false;
};

QtWaveOut::QtWaveOut(int latencyMs) : latencyMs_(latencyMs) {
  // The multimedia back end keeps one connection to the sound server and lives on the
  // thread that touches it first: make that this (the application's) thread, which
  // outlives every device thread.
  if (QCoreApplication::instance()) QMediaDevices::defaultAudioOutput();
  thread_ = std::make_unique<QThread>();
  thread_->setObjectName(QStringLiteral("wave-out"));
  pump_ = std::make_unique<Pump>(this);
  pump_->moveToThread(thread_.get());
  thread_->start();
}

QtWaveOut::~QtWaveOut() {
  Close();
  thread_->quit();
  thread_->wait();
  pump_.reset();  // its thread has ended
}

int QtWaveOut::Open(const WaveFormat& format, DoneCallback done) {
  if (!done) return kWaveBadParam;
  QAudioFormat q;
  if (!ToQtFormat(format, &q)) return kWaveBadFormat;
  if (!QCoreApplication::instance()) return kWaveNoDevice;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (open_) return kWaveError;
    done_ = std::move(done);
    queue_.clear();
    bytesPerSecond_ = uint32_t(format.blockAlign) * format.samplesPerSec;
  }
  int result = kWaveError;
  Pump* pump = pump_.get();
  const int latency = latencyMs_;
  QMetaObject::invokeMethod(
      pump, [pump, q, latency, &result] { result = pump->Start(q, latency); },
      Qt::BlockingQueuedConnection);
  if (result != kWaveOk) {
    QMetaObject::invokeMethod(pump, [pump] { pump->Stop(); }, Qt::BlockingQueuedConnection);
    return result;
  }
  std::lock_guard<std::mutex> lock(mutex_);
  open_ = true;
  return kWaveOk;
}

int QtWaveOut::Write(const uint8_t* data, uint32_t bytes) {
  if (!data || bytes == 0) return kWaveBadParam;
  std::lock_guard<std::mutex> lock(mutex_);
  if (!open_) return kWaveNotOpen;
  const bool wasDry = queue_.empty();
  queue_.push_back(Pending{data, bytes, 0});
  if (wasDry) {
    Pump* pump = pump_.get();
    QMetaObject::invokeMethod(pump, [pump] { pump->Wake(); }, Qt::QueuedConnection);
  }
  return kWaveOk;
}

int QtWaveOut::Pause() {
  std::lock_guard<std::mutex> lock(mutex_);
  if (!open_) return kWaveNotOpen;
  Pump* pump = pump_.get();
  QMetaObject::invokeMethod(pump, [pump] { pump->Suspend(true); }, Qt::QueuedConnection);
  return kWaveOk;
}

int QtWaveOut::Restart() {
  std::lock_guard<std::mutex> lock(mutex_);
  if (!open_) return kWaveNotOpen;
  Pump* pump = pump_.get();
  QMetaObject::invokeMethod(pump, [pump] { pump->Suspend(false); }, Qt::QueuedConnection);
  return kWaveOk;
}

void QtWaveOut::DropQueued() { queue_.clear(); }

int QtWaveOut::Reset() {
  std::lock_guard<std::mutex> lock(mutex_);
  if (!open_) return kWaveNotOpen;
  DropQueued();
  Pump* pump = pump_.get();
  QMetaObject::invokeMethod(pump, [pump] { pump->ResetSink(); }, Qt::QueuedConnection);
  return kWaveOk;
}

int QtWaveOut::Close() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (!open_) return kWaveOk;
    DropQueued();
    open_ = false;
  }
  Pump* pump = pump_.get();
  QMetaObject::invokeMethod(pump, [pump] { pump->Stop(); }, Qt::BlockingQueuedConnection);
  std::lock_guard<std::mutex> lock(mutex_);
  done_ = nullptr;
  return kWaveOk;
}

int64_t QtWaveOut::UnplayedUs() {
  std::lock_guard<std::mutex> lock(mutex_);
  if (!open_ || bytesPerSecond_ == 0) return 0;
  int64_t queued = 0;
  for (const Pending& p : queue_) queued += int64_t(p.bytes - p.handedOver);
  const int64_t handedUs = handedBytes_ * kMicrosPerSecond / bytesPerSecond_;
  int64_t played = sinkPlayedUs_;
  if (sinkPlaying_) played += int64_t(TickCountUs() - sinkReadTickUs_);
  played = std::clamp<int64_t>(played, 0, handedUs);
  return queued * kMicrosPerSecond / bytesPerSecond_ + handedUs - played;
}

}  // namespace tq
