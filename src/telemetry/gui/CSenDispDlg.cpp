#include "telemetry/gui/CSenDispDlg.h"

#include <QPainter>
#include <QResizeEvent>
#include <QTimer>
#include <algorithm>
#include <memory>

#include "app/LocalizedText.h"
#include "app/TraceLog.h"
#include "app/gui/GuiMessages.h"
#include "container/Mp4Valid.h"
#include "library/RecordingName.h"
#include "controls/CMsgBox.h"
#include "controls/CVelTextBut.h"
#include "controls/GuiSkin.h"
#include "platform/Files.h"
#include "player/PlayerOpen.h"
#include "player/gui/CVelTimeBar.h"
#include "playback/PlayMessages.h"
#include "telemetry/TelemetryLoad.h"
#include "telemetry/gui/CSenDisp.h"

namespace tq {
namespace {
constexpr char kTag[] = "CSenDispDlg::OnPlayMsg";
const QColor kBackground(5, 10, 16);
constexpr int kWaitFrames = 12;
constexpr int kWaitSize = 100;
}  // namespace

CSenDispDlg::CSenDispDlg(const std::string& scratchFolder, QWidget* parent)
    : QWidget(parent),
      disp_(new CSenDisp(scratchFolder, this, this)),
      play_(new CVelTextBut(this)),
      bar_(new CVelTimeBar(this, this)),
      wait_(new QTimer(this)) {
  disp_->hide();
  play_->setEnabled(false);
  ShowPlayState();
  connect(play_, &QAbstractButton::clicked, this, &CSenDispDlg::TogglePlay);
  wait_->setInterval(kWaitPeriodMs);
  connect(wait_, &QTimer::timeout, this, [this] {
    waitFrame_ = waitFrame_ % kWaitFrames + 1;
    const int s = GuiScale();
    update(QRect(width() / 2 - kWaitSize * s / 2, height() / 2 - kWaitSize * s / 2, kWaitSize * s, kWaitSize * s));
  });
}

CSenDispDlg::~CSenDispDlg() { disp_->StopPlay(); }

void CSenDispDlg::ShowPlayState() {
  play_->SetText(QString::fromStdString(LocalizedText(kTextTooltip, playing_ ? "pause" : "play")));
  play_->setToolTip(play_->Text());
  play_->setFixedSize(play_->sizeHint());
}

void CSenDispDlg::StopWait() {
  wait_->stop();
  waitFrame_ = 0;
  update();
}

void CSenDispDlg::Stop() {
  StopWait();
  disp_->StopPlay();
  open_ = false;
  bar_->Reset();
  {
    std::lock_guard<std::mutex> lock(sampleLock_);
    samples_.Clear();
  }
  emit slidersCleared();
  play_->setEnabled(false);
}

void CSenDispDlg::Refuse() {
  playing_ = false;
  ShowPlayState();
  ShowMsgBox(this, QString::fromStdString(LocalizedText(kTextMessage, "can_not_fileplay")), kMsgExclamation);
}

bool CSenDispDlg::SetData(const std::string& name) {
  Stop();
  if (name.empty()) {
    playing_ = false;
    ShowPlayState();
    return false;
  }
  const std::string path = JoinPath(folder_, name + ".mp4");
  auto buffers = std::make_unique<TelemetryBuffers>();  // too large for the stack
  MP4INFO info;
  PrepareTelemetryInfo(info, *buffers);
  if (!ValidMP4(path, &info, 0)) {
    FreeMP4INFO(info);
    Refuse();
    return false;
  }
  {
    std::lock_guard<std::mutex> lock(sampleLock_);
    // The reader keeps the block inside the buffer; hold it to that.
    if (info.sensorEnd > 0 && info.sensorBuffer && uint32_t(info.sensorEnd) <= info.sensorCapacity) {
      samples_.SetBlock(info.sensorBuffer, info.sensorEnd);
    } else {
      // The front and rear recordings of one moment share one companion.
      const std::string companion = FindCompanion(folder_, name, ".3gf");
      if (companion.empty() || !samples_.Set3GF(companion))
        TraceLog("CSenDispDlg::Set3GF", __LINE__, "%s file open failed\n",
                 JoinPath(folder_, TelemetryStem(name) + ".3gf").c_str());
    }
  }
  const int seconds = RecordingSecondsFromInfo(info);
  const bool started = disp_->StartPlay(path, &info);
  FreeMP4INFO(info);
  if (!started) {
    Refuse();
    return false;
  }
  open_ = true;
  playing_ = true;
  ShowPlayState();
  bar_->Setup(seconds, LengthInMinutes(seconds));
  disp_->hide();
  waitFrame_ = 1;
  wait_->start();
  return true;
}

void CSenDispDlg::TogglePlay() {
  if (!open_) return;
  playing_ = !playing_;
  disp_->Pause(!playing_);
  ShowPlayState();
}

void CSenDispDlg::OnSeek(uint32_t ms) {
  if (!open_) return;
  disp_->Seek(ms);
  emit slidersCleared();
  std::lock_guard<std::mutex> lock(sampleLock_);
  samples_.SeekTo(ms);
}

void CSenDispDlg::OnPlayMsg(long long code, long long value) {
  // What a stopped engine posted just before it stopped belongs to no recording now.
  if (!open_) return;
  switch (code) {
    case kPlayStartIndexed:
      play_->setEnabled(true);
      bar_->SetEnabledForInput(true);
      StopWait();
      disp_->show();
      return;
    case kPlayEndOrRear:
      if (value == kEndPresented) {
        playing_ = false;
        ShowPlayState();
        bar_->SetPosition(-1);
        emit playEnded();
      }
      return;
    case kPlayPosition: {
      bar_->SetPosition(value);
      std::vector<Gsf3Record> due;
      {
        std::lock_guard<std::mutex> lock(sampleLock_);
        due = samples_.TakeUpTo(uint32_t(std::max<long long>(0, value)));
      }
      for (const Gsf3Record& r : due) emit sample(r.axis[0], r.axis[1], r.axis[2]);
      return;
    }
    case kPlayIndexedTo:
      if (bar_->Model().durationSec > 0) bar_->SetIndexedTo(value);
      return;
    case kPlaySourceError:
      TraceLog(kTag, __LINE__, "PlayErr %d : %d\n", int(code), int(value));
      disp_->StopPlay();
      open_ = false;
      StopWait();
      Refuse();
      return;
    default:
      TraceLog(kTag, __LINE__, "PlayErr %d : %d\n", int(code), int(value));
      return;
  }
}

bool CSenDispDlg::event(QEvent* event) {
  if (event->type() < QEvent::User || event->type() > QEvent::MaxUser) return QWidget::event(event);
  auto* m = static_cast<MsgEvent*>(event);
  if (m->type() == MsgEvent::TypeOf(int(kMsgPlay))) {
    OnPlayMsg(m->wParam, m->lParam);
  } else if (m->type() == MsgEvent::TypeOf(int(kMsgSeekRequest))) {
    OnSeek(uint32_t(std::max<long long>(0, m->lParam)));
  } else if (m->type() != MsgEvent::TypeOf(int(kMsgControlNotify))) {
    return QWidget::event(event);
  }
  return true;
}

void CSenDispDlg::resizeEvent(QResizeEvent* event) {
  QWidget::resizeEvent(event);
  const int s = GuiScale();
  disp_->setGeometry(2 * s, 2 * s, kVideoWidth * s, kVideoHeight * s);
  play_->move(3 * s, 245 * s);
  bar_->setGeometry(width() - 228 * s, 245 * s, 225 * s, 18 * s);
}

void CSenDispDlg::paintEvent(QPaintEvent*) {
  QPainter p(this);
  p.fillRect(rect(), kBackground);
  if (waitFrame_ == 0) return;
  const int side = kWaitSize * GuiScale();
  if (const QPixmap* frame = WaitAnimationList().At(waitFrame_ - 1))
    p.drawPixmap(QRect(width() / 2 - side / 2, height() / 2 - side / 2, side, side), *frame);
}

}  // namespace tq
