#include "telemetry/gui/CSenDisp.h"

#include <QResizeEvent>

#include "playback/CDispWnd.h"
#include "playback/gui/CDispWndWidget.h"

namespace tq {

CSenDisp::CSenDisp(const std::string& scratchFolder, QObject* owner, QWidget* parent)
    : QWidget(parent), view_(new CDispWndWidget(scratchFolder, owner, this)) {
  view_->SetPictureReports(true);
}

CSenDisp::~CSenDisp() { StopPlay(); }

CDispWnd& CSenDisp::Session() { return view_->Session(); }

bool CSenDisp::StartPlay(const std::string& path, MP4INFO* info) {
  StopPlay();
  // Without its sound description the session opens no audio decoder and queues no
  // sound: the sensor view is silent by design.
  info->ptrh.ptso = {};
  info->ptrh.so = PTSOBOX{};
  Session().SetSpeed(kSpeed1X);
  Session().StartPlay(path, std::string(), kSourceMp4, info, 0);
  open_ = Session().playMode() != kPlayNone;
  return open_;
}

void CSenDisp::StopPlay() {
  if (!open_) return;
  Session().StopPlay();
  open_ = false;
}

void CSenDisp::Pause(bool on) {
  if (open_) Session().Pause(on);
}

void CSenDisp::Seek(uint32_t ms) {
  if (open_) Session().Seek(ms);
}

void CSenDisp::resizeEvent(QResizeEvent* event) {
  QWidget::resizeEvent(event);
  view_->setGeometry(rect());
}

}  // namespace tq
