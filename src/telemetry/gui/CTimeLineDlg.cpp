#include "telemetry/gui/CTimeLineDlg.h"

#include <QGuiApplication>
#include <QPainter>
#include <algorithm>

#include "app/TraceLog.h"
#include "app/gui/GuiMessages.h"
#include "app/gui/PlayRequests.h"
#include "controls/GuiSkin.h"
#include "library/RecordingName.h"
#include "playback/PlayMessages.h"
#include "telemetry/gui/CVel3GFLine.h"
#include "telemetry/gui/CVelCalendar.h"
#include "telemetry/gui/CVelTimeLine.h"

namespace tq {
namespace {

const QColor kPanel{180, 180, 182};
const QColor kText{5, 5, 5};
const QColor kAxisColour[3] = {QColor(0, 124, 230), QColor(226, 128, 39), QColor(207, 3, 206)};
constexpr int kTimeLineTop = 11;

// Runs `work` with the wait cursor (a refill or an open may probe many files).
template <typename Work>
auto WithWaitCursor(Work work) {
  QGuiApplication::setOverrideCursor(Qt::WaitCursor);
  auto result = work();
  QGuiApplication::restoreOverrideCursor();
  return result;
}

}  // namespace

CTimeLineDlg::CTimeLineDlg(QWidget* parent)
    : QWidget(parent),
      scale_(GuiScale()),
      calendar_(new CVelCalendar(this, this)),
      timeline_(new CVelTimeLine(this, this)),
      graph_(new CVel3GFLine(this, this)) {
  setAttribute(Qt::WA_OpaquePaintEvent);
  setObjectName("CTimeLineDlg");
  calendar_->resize(161 * scale_, 158 * scale_);
}

void CTimeLineDlg::SetIndex(const RecordingIndex* index, TimeLineModel::FillMinutesFn fill) {
  index_ = index;
  fill_ = fill;
  timeline_->SetIndex(index, std::move(fill));
  timeline_->SetDay(true);
}

void CTimeLineDlg::SetDates(const std::vector<int32_t>& dates) { calendar_->SetDates(dates); }
void CTimeLineDlg::SetEventThreshold(int threshold) { graph_->SetEventThreshold(threshold); }

void CTimeLineDlg::SetRecording(const CatalogEntry& entry, bool fullReset) {
  const int32_t duration = std::max(entry.duration, 0);
  playing_ = RecordingMinutesOf(entry.date, entry.time, duration);
  const int hh = entry.time / 10000, mm = entry.time / 100 % 100, ss = entry.time % 100;
  const uint8_t perSlot = SecondsPerSlot(duration);
  timeline_->SetRecording(entry.date, hh, mm, (hh * 60 + mm) * 60 + ss, duration, perSlot,
                          EntryClass(entry.typeCode), hh == 23);
  calendar_->SelectDate(entry.date);
  if (fullReset) graph_->Set3GF(nullptr, 0, duration, perSlot);
}

void CTimeLineDlg::Set3GF(const uint8_t* block, int64_t length, int32_t durationSeconds, uint8_t secondsPerSlot) {
  graph_->Set3GF(block, length, durationSeconds, secondsPerSlot);
}

void CTimeLineDlg::SetPos(int64_t ms) {
  if (ms < 0) return;
  graph_->SetPos(ms);
  timeline_->SetPos(int32_t(ms / 1000));
}

void CTimeLineDlg::Clear() {
  graph_->Clear();
  playing_ = RecordingMinutes{};
  timeline_->ClearRecording();
}

void CTimeLineDlg::SeekOrStart(int32_t seconds) {
  if (nav_.waitingToStart && nav_.waitingToStart()) {
    if (nav_.setPendingStart) nav_.setPendingStart(seconds);
  } else if (nav_.seek) {
    nav_.seek(int64_t(seconds) * 1000);
  }
}

void CTimeLineDlg::OnNavigate(long long wParam, long long lParam) {
  bool& busy = SharedPlayRequests().navigationBusy;
  if (wParam == -1) {
    calendar_->SelectDate(int32_t(lParam));
    return;
  }
  if (wParam == 0) {
    const int32_t filter = lParam == 1 ? calendar_->LastClicked() : 0;
    if (nav_.dayFilter && nav_.setDayFilter && filter != nav_.dayFilter())
      WithWaitCursor([&] {
        nav_.setDayFilter(filter);
        return true;
      });
    busy = false;
    return;
  }
  if (wParam >= 3) {
    SeekOrStart(int32_t(std::max<long long>(lParam, 0)));
    busy = false;
    return;
  }
  // Hour (1) or minute (2) of the shown day.
  const TimeLineModel& model = timeline_->Model();
  const int32_t date = model.ShownDate();
  const int hour = wParam == 1 ? int(lParam) : model.selectedHour();
  if (fill_ && hour >= 0 && hour < kHoursPerDay) fill_(date, hour);  // the first marked minute needs them
  const HourRecord* record = index_ && hour >= 0 && hour < kHoursPerDay ? index_->FindHour(date, hour) : nullptr;
  if (!record) {
    timeline_->ClearClick();
    busy = false;
    return;
  }
  const int minute = wParam == 1 ? FirstMarkedMinute(*record) : int(lParam);
  const int hhmm = hour * 100 + minute;
  if (const auto seconds = SeekSecondsFor(playing_, date, hhmm)) {
    SeekOrStart(*seconds);
    busy = false;
    return;
  }
  const bool opened = nav_.playAtTime && WithWaitCursor([&] { return nav_.playAtTime(date, hhmm * 100, record->firstRow); });
  if (opened) return;  // the player clears the busy flag when that playback starts or fails
  TraceLog("CTimeLineDlg::OnNavigate", __LINE__, "no recording at %d %04d\n", int(date), hhmm);
  SeekOrStart(0);
  // Nothing may report a position to end the pending click (nothing plays): end it here.
  timeline_->ClearClick();
  busy = false;
}

bool CTimeLineDlg::event(QEvent* event) {
  if (event->type() == MsgEvent::TypeOf(int(kMsgSeekRequest))) {
    auto* m = static_cast<MsgEvent*>(event);
    OnNavigate(m->wParam, m->lParam);
    return true;
  }
  return QWidget::event(event);
}

void CTimeLineDlg::DoLayout() {
  const int s = scale_;
  calendar_->setGeometry(12, 11, 161 * s, 152 * s + 6);
  const TimeLineColumn column = TimeLineColumnFor(width(), s);
  timeline_->setGeometry(column.x, kTimeLineTop, column.width, 86 * s);
  graph_->setGeometry(column.x, 86 * s + 18, column.width, 65 * s);
  if (column.x != columnX_) {
    columnX_ = column.x;
    update();
  }
}

void CTimeLineDlg::resizeEvent(QResizeEvent*) { DoLayout(); }

void CTimeLineDlg::paintEvent(QPaintEvent*) {
  const int s = scale_;
  QPainter p(this);
  p.fillRect(rect(), kPanel);
  const int x = columnX_ - 16 * s;
  QFont font = GuiFont(UiFontKind::Bold);
  font.setPixelSize(11 * s);
  p.setFont(font);
  p.setPen(kText);
  static const char* kRows[] = {"H", "M", "S"};
  for (int r = 0; r < 3; ++r)
    p.drawText(QRect(x, kTimeLineTop + TimeLineRowTop(r, s) - 3 * s, 16 * s, 16 * s), Qt::AlignCenter, kRows[r]);
  const int graphTop = 86 * s + 18;
  p.drawText(QRect(x, graphTop, 16 * s, 16 * s), Qt::AlignCenter, "G");
  // The graph's legend: the colours of X, Y and Z.
  for (int a = 0; a < 3; ++a)
    p.fillRect(QRect(x + 5 * s, graphTop + 20 * s + a * 12 * s, 7 * s, 7 * s), kAxisColour[a]);
}

}  // namespace tq
