#include "player/gui/CDispCtrlDlg.h"

#include <QMouseEvent>
#include <QPainter>
#include <QTimerEvent>
#include <algorithm>

#include "app/AppSettings.h"
#include "app/LocalizedText.h"
#include "app/TraceLog.h"
#include "app/gui/GuiMessages.h"
#include "app/gui/PlayRequests.h"
#include "container/AviValid.h"
#include "container/Mp4Valid.h"
#include "controls/CVelBut.h"
#include "controls/CVelMenu.h"
#include "controls/CVelTextBut.h"
#include "controls/CWaitMsg.h"
#include "controls/GuiSkin.h"
#include "export/ExportPlan.h"
#include "export/gui/CExportDlg.h"
#include "library/RecordingName.h"
#include "playback/PlayMessages.h"
#include "playback/gui/CDispWndWidget.h"
#include "player/PlayerLayout.h"
#include "player/PlayerOpen.h"
#include "player/gui/CVelTimeBar.h"
#include "player/gui/PlayerArt.h"
#include "telemetry/TelemetryLoad.h"

namespace tq {
namespace {

constexpr const char* kTag = "CDispCtrlDlg::OnPlayMsg";
constexpr int kLoadingFrames = 12;
constexpr int kLoadingMs = 100;
constexpr int kRelayoutMs = 100;
constexpr int kDoubleClickRow = 29;   // double clicks this close to the bottom hit the row
constexpr int kToolTipMaxChars = 80;
constexpr char kWideTip[] = "16 : 9"; // shown as it stands
constexpr char kChannelLabel[] = "2CH";
constexpr int kExportGap = 10;    // x scale, right of the swap button
constexpr int kExportWidth = 60;  // x scale

struct ButtonDef {
  int id;
  int row;         // RowControl
  int glyph;       // PlayerGlyph, -1 for the speed button
};
constexpr ButtonDef kButtons[] = {
    {CDispCtrlDlg::kIdPlay, kRowPlay, kPlayerPlay},          {CDispCtrlDlg::kIdStop, kRowStop, kPlayerStop},
    {CDispCtrlDlg::kIdPrev, kRowPrev, kPlayerPrev},          {CDispCtrlDlg::kIdNext, kRowNext, kPlayerNext},
    {CDispCtrlDlg::kIdCapture, kRowCapture, kPlayerCapture}, {CDispCtrlDlg::kIdPrint, kRowPrint, kPlayerPrint},
    {CDispCtrlDlg::kIdPip, kRowPip, kPlayerPip},             {CDispCtrlDlg::kIdSwap, kRowSwap, kPlayerSwap},
    {CDispCtrlDlg::kIdFull, kRowFull, kPlayerFull},          {CDispCtrlDlg::kIdStretch, kRowStretch, kPlayerStretch},
    {CDispCtrlDlg::kIdMirror, kRowMirror, kPlayerMirror},    {CDispCtrlDlg::kIdFlip, kRowFlip, kPlayerFlip},
    {CDispCtrlDlg::kIdSpeed, kRowSpeed, -1},
};

int SlotOf(int id) {
  for (size_t i = 0; i < std::size(kButtons); ++i)
    if (kButtons[i].id == id) return int(i);
  return -1;
}

QRect ToRect(const Box& b) { return QRect(b.x, b.y, b.w, b.h); }

}  // namespace

CDispCtrlDlg::CDispCtrlDlg(AppState* state, QObject* mainView, QWidget* parent)
    : QWidget(parent), state_(state), mainView_(mainView),
      view_(new CDispWndWidget(state->settingsFolder, this, this)),
      bar_(new CVelTimeBar(this, this)),
      corner_(new CDispBut(this)),
      speedMenu_(new CVelMenu(this)),
      dialogs_(DefaultDialogs()),
      buffers_(std::make_unique<TelemetryBuffers>()) {
  setAttribute(Qt::WA_OpaquePaintEvent);
  view_->hide();
  corner_->hide();
  CreateControls();
  connect(corner_, &CDispBut::toggled, this,
          [this](int w, int l) { PostMsg(this, int(kMsgControlNotify), w, l); });
  connect(speedMenu_, &CVelMenu::picked, this,
          [this](int command) { PostMsg(this, int(kMsgControlNotify), 0, command); });
  ClearTrack(gps_);
  EnableControls(false);
  UpdateToolTips();
}

// The session's threads post to this panel: stop them before the panel's parts go.
CDispCtrlDlg::~CDispCtrlDlg() { view_->Session().StopPlay(); }

void CDispCtrlDlg::CreateControls() {
  for (size_t i = 0; i < std::size(kButtons); ++i) {
    const ButtonDef& d = kButtons[i];
    CVelBut* button = nullptr;
    if (d.glyph < 0) {
      speedButton_ = new CVelTextBut(this);
      speedButton_->SetText(kSpeedTexts[size_t(speed_)]);
      button = speedButton_;
    } else {
      auto* image = new CVelImgBut(this);
      image->SetImage(PlayerGlyphBase(PlayerGlyph(d.glyph)), false, &PlayerButtonList());
      button = image;
    }
    const int id = d.id;
    connect(button, &QAbstractButton::clicked, this, [this, id] { RunCommand(id); });
    buttons_[i] = button;
  }
  for (int i = 0; i < kSpeedCount; ++i) speedMenu_->AddItem(kSpeedTexts[size_t(i)], kSpeedMenuBase + i);
  exportButton_ = new CVelTextBut(this);
  exportButton_->SetText(QString::fromStdString(LocalizedText(kTextTooltip, "export")));
  exportButton_->setEnabled(false);
  connect(exportButton_, &QAbstractButton::clicked, this, [this] { ExportClip(); });
}

void CDispCtrlDlg::ExportClip() {
  if (!open_) return;
  CExportDlg dialog(state_, current_.folder, current_.entry, this);
  const ExportRange range = PlayerExportRange(bar_->PositionMs(), dialog.LengthSec());
  if (range.toSec > range.fromSec) dialog.SetRange(range.fromSec, range.toSec);
  emit exportStarted(&dialog);
  dialog.exec();
}

CVelBut* CDispCtrlDlg::Button(int id) const {
  const int slot = SlotOf(id);
  return slot < 0 ? nullptr : buttons_[size_t(slot)];
}

// ---- Layout and painting ----

void CDispCtrlDlg::LayoutPanel() {
  const int s = GuiScale();
  const ControlRow row = LayoutControlRow(width(), height(), s);
  for (size_t i = 0; i < std::size(kButtons); ++i) buttons_[i]->setGeometry(ToRect(row.at[size_t(kButtons[i].row)]));
  const Box swap = row.at[kRowSwap];
  const QRect exportBox(swap.x + swap.w + kExportGap * s, swap.y, kExportWidth * s, swap.h);
  exportButton_->setGeometry(exportBox);
  // On a narrow panel the seek bar gives up its left part rather than lie under the button.
  QRect barBox = ToRect(row.at[kRowTimeBar]);
  if (barBox.left() <= exportBox.right() + kExportGap * s)
    barBox.setLeft(std::min(exportBox.right() + kExportGap * s + 1, barBox.right()));
  bar_->setGeometry(barBox);
  view_->setGeometry(ToRect(VideoBox(width(), height(), s, stretch_ && playKind_ == 0)));
  relayoutTimer_.start(kRelayoutMs, this);
}

void CDispCtrlDlg::resizeEvent(QResizeEvent*) { LayoutPanel(); }

void CDispCtrlDlg::paintEvent(QPaintEvent*) {
  QPainter p(this);
  const int s = GuiScale();
  p.fillRect(rect(), kPlayerBack);
  const ControlRow row = LayoutControlRow(width(), height(), s);
  const QRect label = ToRect(row.channelLabel);
  p.setFont(GuiFont(UiFontKind::Normal));
  p.setPen(kLightText);
  p.drawText(label, Qt::AlignCenter | Qt::TextSingleLine, kChannelLabel);
  p.setPen(kThemeBand);
  p.drawLine(label.right() + 1, label.top() + 3, label.right() + 1, label.bottom() - 3);
  if (loadingFrame_ > 0) {
    if (const QPixmap* frame = WaitAnimationList().At(loadingFrame_ - 1))
      p.drawPixmap(ToRect(LoadingBox(width(), height(), s)), *frame);
  } else if (!pictureShown_) {
    p.drawPixmap(ToRect(LogoBox(width(), height(), s)), PlayerLogo());
  }
}

void CDispCtrlDlg::timerEvent(QTimerEvent* event) {
  const int s = GuiScale();
  if (event->timerId() == loadingTimer_.timerId()) {
    loadingFrame_ = loadingFrame_ >= kLoadingFrames ? 1 : loadingFrame_ + 1;
    update(ToRect(LoadingBox(width(), height(), s)));
    return;
  }
  if (event->timerId() == relayoutTimer_.timerId()) {
    relayoutTimer_.stop();
    update(ToRect(LoadingBox(width(), height(), s)));
    if (open_) view_->Session().PresentAgain();
    ApplyPip(rearPresent_ ? pip_ : 0);
    corner_->setGeometry(ToRect(CornerToggleBox(width(), s)));
    corner_->raise();
    return;
  }
  QWidget::timerEvent(event);
}

void CDispCtrlDlg::mouseDoubleClickEvent(QMouseEvent* event) {
  if (event->position().y() < height() - kDoubleClickRow) RunCommand(kIdFull);
}

void CDispCtrlDlg::StartLoading() {
  loadingFrame_ = 1;
  loadingTimer_.start(kLoadingMs, this);
  update();
}

void CDispCtrlDlg::StopLoading() {
  loadingTimer_.stop();
  loadingFrame_ = 0;
  update();
}

// ---- Controls ----

QString CDispCtrlDlg::ToolTipKey(int id) const {
  switch (id) {
    case kIdCapture: return "capture";
    case kIdPrint: return "print";
    case kIdStop: return "stop";
    case kIdPlay: return playing_ ? "pause" : "play";
    case kIdNext: return "next_frame";
    case kIdPrev: return "prev_frame";
    case kIdPip: return "screen_mode_set";
    case kIdFull: return fullScreen_ ? "res_screen" : "full_screen";
    case kIdFlip: return "flip_up_down";
    case kIdMirror: return "flip_hori";
    case kIdStretch: return stretch_ && playKind_ == 0 ? kWideTip : "stretch";
    case kIdSwap: return playKind_ == 1 ? "fit_play_screen" : "switch_front_rear";
    default: return QString();
  }
}

void CDispCtrlDlg::UpdateToolTips() {
  for (const ButtonDef& d : kButtons) {
    const QString key = ToolTipKey(d.id);
    QString text = key == kWideTip || key.isEmpty()
                       ? key
                       : QString::fromStdString(LocalizedText(kTextTooltip, key.toStdString()));
    Button(d.id)->setToolTip(text.left(kToolTipMaxChars));
  }
}

void CDispCtrlDlg::EnableControls(bool on) {
  for (int id : {kIdPlay, kIdStop, kIdCapture, kIdPrint, kIdPip}) Button(id)->setEnabled(on);
  Button(kIdNext)->setEnabled(on && !playing_);
  Button(kIdPrev)->setEnabled(on && !playing_);
  Button(kIdSwap)->setEnabled(on && rearPresent_);
  speedButton_->setEnabled(on && !slowMotion_);
  exportButton_->setEnabled(on);
}

void CDispCtrlDlg::ShowPlayState() {
  auto* play = static_cast<CVelImgBut*>(Button(kIdPlay));
  play->SetImage(PlayerGlyphBase(playing_ ? kPlayerPause : kPlayerPlay), true, &PlayerButtonList());
  const bool steps = open_ && started_ && !playing_;
  Button(kIdNext)->setEnabled(steps);
  Button(kIdPrev)->setEnabled(steps);
  UpdateToolTips();
}

void CDispCtrlDlg::SetSpeedIndex(int index) {
  speed_ = index;
  speedButton_->SetText(kSpeedTexts[size_t(index)]);
  LayoutPanel();
}

void CDispCtrlDlg::ApplySpeed() { view_->Session().SetSpeed(slowMotion_ ? 0 : speed_); }

void CDispCtrlDlg::RunCommand(int id) {
  switch (id) {
    case kIdCapture:
      Capture(0);
      if (rearPresent_) Capture(1);
      break;
    case kIdPrint:
      Print(0);
      if (rearPresent_) Print(1);
      break;
    case kIdSpeed: {
      const QPoint at = speedButton_->mapToGlobal(QPoint(0, 0));
      speedMenu_->Popup(at - QPoint(0, speedMenu_->sizeHint().height()));
      break;
    }
    case kIdStop: PostToMainView(UM_PLAY_REQUEST, 1, -1); break;
    case kIdPlay: TogglePlay(true); break;
    case kIdNext: StepFrame(true); break;
    case kIdPrev: StepFrame(false); break;
    case kIdPip:
      pip_ = NextPipPosition(pip_);
      if (rearPresent_) ApplyPip(pip_);
      break;
    case kIdFull:
      fullScreen_ = !fullScreen_;
      static_cast<CVelImgBut*>(Button(kIdFull))
          ->SetImage(PlayerGlyphBase(fullScreen_ ? kPlayerRestore : kPlayerFull), true, &PlayerButtonList());
      PostToMainView(UM_TOGGLE_VIEW_MODE, 0, 0);
      break;
    case kIdFlip:
    case kIdMirror: {
      const int bit = id == kIdFlip ? kFlipUpDown : kMirrorLeftRight;
      pictureFlags_ ^= bit;
      Button(id)->SetLatched(pictureFlags_ & bit);
      ApplyPictureFlags(pictureFlags_);
      break;
    }
    case kIdStretch:
      stretch_ = !stretch_;
      Button(kIdStretch)->SetLatched(stretch_);
      LayoutPanel();
      break;
    case kIdSwap:
      swapped_ = !swapped_;
      Button(kIdSwap)->SetLatched(swapped_);
      ApplySwap(swapped_);
      break;
    default: return;
  }
  UpdateToolTips();
}

bool CDispCtrlDlg::Key(int qtKey) {
  if (!open_) return false;
  switch (qtKey) {
    case Qt::Key_Space: RunCommand(kIdPlay); return true;
    case Qt::Key_Left: RunCommand(kIdPrev); return true;
    case Qt::Key_Right: RunCommand(kIdNext); return true;
    default: return false;
  }
}

void CDispCtrlDlg::Pause() {
  if (IsPlaying()) TogglePlay(true);
}

void CDispCtrlDlg::TogglePlay(bool act) {
  playing_ = !playing_;
  if (act && open_) view_->Session().Pause(!playing_);
  ShowPlayState();
}

void CDispCtrlDlg::StepFrame(bool forward) {
  if (!open_) return;
  if (playing_) TogglePlay(true);
  view_->Session().Step(forward);
}

void CDispCtrlDlg::PostToMainView(int msg, long long wParam, long long lParam) {
  if (mainView_) PostMsg(mainView_, msg, wParam, lParam);
}

// ---- Thin calls onto the session ----

void CDispCtrlDlg::ApplyPip(int position) { view_->SetPip(position); }

// The session window swaps the engine's views and lets the zoom follow the new picture.
void CDispCtrlDlg::ApplySwap(bool on) { view_->SetSwap(on); }

void CDispCtrlDlg::ApplyPictureFlags(int flags) {
  CDispWnd& session = view_->Session();
  for (CDrawWnd* v : {static_cast<CDrawWnd*>(&session), &session.rearView()}) {
    std::lock_guard<std::mutex> lock(v->frameMutex);  // the draw reads them under it
    v->pictureFlags = flags;
  }
  if (open_ && session.paused()) {
    session.Draw(true);
    if (session.rearPresent()) session.rearView().Draw(true);
  }
}

// ---- Opening and closing ----

bool CDispCtrlDlg::OpenRecording(const std::string& folder, CatalogEntry* entry, uint32_t start) {
  Close(false);
  started_ = false;
  EnableControls(false);
  const bool rear = (start & kWithRear) != 0 && entry && entry->kind == kKindMp4;
  if (rear != rearPresent_) {
    swapped_ = false;
    Button(kIdSwap)->SetLatched(false);
    ApplySwap(false);
    ApplyPip(rear ? pip_ : 0);
  }
  rearPresent_ = rear;
  if (!entry) {
    CloseRecording(kCloseStop);
    return false;
  }
  current_ = {folder, *entry, start};
  playing_ = true;
  ShowPlayState();
  const bool parking = IsParkingRecording(*entry);
  recordingStart_ = RecordingStartCentis(entry->time);
  startOffset_ = StartOffsetSeconds(entry->time, int32_t(start & ~kWithRear));
  name_ = entry->name;
  rearName_ = RearName(entry->name);
  const std::string front = FrontPath(folder, *entry);
  fileName_ = front.substr(front.find_last_of("/\\") + 1);
  {
    std::lock_guard<std::mutex> lock(gpsMutex_);
    ClearTrack(gps_);
    gps_.startOfDay = recordingStart_;
    report_ = MapReport{};
  }
  sensor_.clear();

  CDispWnd& session = view_->Session();
  if (entry->kind == kKindAvi) {
    AVIINFO avi;
    if (!ValidAVI(front, &avi)) {
      OpenFailed();
      return false;
    }
    bar_->Setup(entry->duration, entry->minutes);
    ApplySpeed();
    session.StartPlay(front, &avi, startOffset_);
    rearPresent_ = session.rearPresent();  // both cameras come from the one file
  } else {
    MP4INFO info;
    PrepareTelemetryInfo(info, *buffers_);
    const bool valid = ValidMP4(front, &info, 0) != 0;
    if (valid && entry->duration <= 0) {
      entry->duration = RecordingSecondsFromInfo(info);
      entry->minutes = LengthInMinutes(entry->duration);
      current_.entry = *entry;
    }
    const RecordingRef ref{RecordingKind::Mp4, folder, entry->name, parking};
    {
      std::lock_guard<std::mutex> lock(gpsMutex_);
      LoadTelemetry(gps_, ref, valid ? &info : nullptr, *buffers_, [this](const uint8_t* block, int32_t length) {
        if (block && length > 0) sensor_.assign(block, block + length);
      });
    }
    if (valid && state_->diagnosticDisplay) {
      if (const auto temperature = NoticeTemperature(info.cprtText))
        PostToMainView(UM_PLAY_REQUEST, *temperature, -99);
    }
    bar_->Setup(entry->duration, entry->minutes);
    ApplySpeed();
    session.StartPlay(front, rear ? RearPath(folder, *entry) : std::string(), kSourceMp4, valid ? &info : nullptr,
                      startOffset_);
    FreeMP4INFO(info);
  }
  if (session.playMode() == kPlayNone) {
    OpenFailed();
    return false;
  }
  open_ = true;
  StartLoading();
  emit recordingOpened();
  return true;
}

void CDispCtrlDlg::SeekTo(int64_t ms) {
  if (open_) view_->Session().Seek(uint32_t(std::clamp<int64_t>(ms, 0, UINT32_MAX)));
}

void CDispCtrlDlg::OpenFailed() {
  SharedPlayRequests().navigationBusy = false;  // a timeline request ends here too
  playing_ = false;
  ShowPlayState();
  Close(false);
  view_->hide();  // a source that failed while playing leaves no stale picture
  corner_->hide();
  pictureShown_ = false;
  {
    PlayRequests& requests = SharedPlayRequests();
    std::lock_guard<std::mutex> lock(state_->catalogLock);
    if (--requests.pending < 1) {
      if (requests.waitWindow) requests.waitWindow->accept();
      requests.pending = 0;
    }
  }
  const QString text = QString::fromStdString(LocalizedText(kTextMessage, "can_not_fileplay")) +
                       QString("\n[ %1 ]").arg(QString::fromStdString(fileName_));
  if (dialogs_.message) dialogs_.message(this, text);
}

void CDispCtrlDlg::Close(bool keepData) {
  view_->Session().StopPlay();
  open_ = false;
  if (keepData) {
    std::lock_guard<std::mutex> lock(gpsMutex_);
    ClearTrack(gps_);
    return;
  }
  StopLoading();
  for (int id : {kIdCapture, kIdPrint, kIdStop}) Button(id)->setEnabled(false);
  bar_->Reset();
  recordingStart_ = -1;
  {
    std::lock_guard<std::mutex> lock(gpsMutex_);
    ClearTrack(gps_);
    report_ = MapReport{};
  }
  startOffset_ = 0;
  emit gpsCleared();
  if (playKind_ == 1) {
    swapped_ = false;
    ApplySwap(false);
  }
}

void CDispCtrlDlg::CloseRecording(int how) {
  Close(false);
  started_ = false;
  EnableControls(false);
  playing_ = false;
  ShowPlayState();
  view_->hide();
  corner_->hide();
  pictureShown_ = false;
  if (how == kCloseFull || playKind_ != 0) {
    if (playKind_ == 1) {
      playKind_ = -1;
      SetSpeedIndex(1);
      view_->Session().SetSpeed(1);
      speedButton_->setEnabled(false);
    }
  }
  name_.clear();
  rearName_.clear();
  update();
}

void CDispCtrlDlg::Restart() {
  if (current_.entry.name.empty()) return;
  Current again = current_;
  OpenRecording(again.folder, &again.entry, again.start & kWithRear);
}

// ---- Messages ----

bool CDispCtrlDlg::event(QEvent* event) {
  if (event->type() < QEvent::User || event->type() > QEvent::MaxUser) return QWidget::event(event);
  auto* m = static_cast<MsgEvent*>(event);
  if (m->type() == MsgEvent::TypeOf(int(kMsgPlay))) {
    OnPlayMsg(m->wParam, m->lParam);
  } else if (m->type() == MsgEvent::TypeOf(int(kMsgControlNotify))) {
    OnControlNotify(m->wParam, m->lParam);
  } else if (m->type() == MsgEvent::TypeOf(int(kMsgSeekRequest))) {
    if (open_) view_->Session().Seek(uint32_t(std::max<long long>(0, m->lParam)));
  } else if (m->type() == MsgEvent::TypeOf(kWmCommand)) {
    RunCommand(int(m->wParam));
  } else {
    return QWidget::event(event);
  }
  return true;
}

void CDispCtrlDlg::OnPlayMsg(long long code, long long value) {
  // Closing stops the session's threads, but what they posted just before may still be
  // queued: it belongs to the closed recording and must not show it again.
  if (!open_) return;
  CDispWnd& session = view_->Session();
  switch (code) {
    case kPlayStartIndexed:
      if (startOffset_ > 0) {
        session.Seek(uint32_t(startOffset_) * 1000);
        startOffset_ = 0;
      }
      if (playing_) session.Pause(false);
      started_ = true;
      SharedPlayRequests().navigationBusy = false;  // the timeline's request is done
      StopLoading();
      pictureShown_ = true;
      view_->show();
      corner_->show();
      corner_->raise();
      bar_->SetEnabledForInput(true);
      EnableControls(true);
      ShowPlayState();
      // An AVI's GPS batch and sensor records (value bytes) land in the buffers the
      // session window hands the engine; they reach the panels from there.
      update();
      if (playKind_ != 0) OnPlayMsg(kPlayPosition, value);
      return;
    case kPlayEndOrRear:
      if (value == kEndPresented && !started_) {
        // The end came before the first picture (an empty or unreadable recording the
        // demuxer still opened): nothing of it can be played, as for a failed open.
        TraceLog(kTag, __LINE__, "File PlayErr %s : no picture\n", fileName_.c_str());
        OpenFailed();
        emit sourceFailed(true);
        return;
      }
      if (value == kEndPresented) {
        bool first = false;
        {
          PlayRequests& requests = SharedPlayRequests();
          std::lock_guard<std::mutex> lock(state_->catalogLock);
          first = ++requests.pending == 1;
        }
        auto* view = qobject_cast<QWidget*>(mainView_);
        QWidget* frame = view ? view->window() : nullptr;
        if (first && frame && frame != view)
          PostMsg(frame, UM_SHOW_WAIT, 0, reinterpret_cast<long long>(&SharedPlayRequests().waitWindow));
        bar_->SetPosition(-1);
        PostToMainView(UM_PLAY_REQUEST, 0, 0);
      } else if (value == kRearUnplayable) {
        if (rearPresent_) {
          Button(kIdSwap)->setEnabled(false);
          rearPresent_ = false;
          swapped_ = false;
          Button(kIdSwap)->SetLatched(false);
          ApplyPip(0);
        }
        if (!name_.empty()) TraceLog(kTag, __LINE__, "File PlayErr %s\n", name_.c_str());
      }
      return;
    case kPlayPosition: {
      bar_->SetPosition(value);
      GpsSample sample;
      bool found = false;
      {
        std::lock_guard<std::mutex> lock(gpsMutex_);
        MapReport report;
        if (const GpsSample* s = FindSample(gps_, value, &report)) {
          report_ = report;
          sample = *s;
          found = true;
        }
      }
      emit positionChanged(value);
      if (found) emit gpsReport(sample, report_);
      return;
    }
    case kPlayIndexedTo:
      if (bar_->Model().durationSec > 0) bar_->SetIndexedTo(value);
      return;
    case kPlaySourceError: {
      TraceLog(kTag, __LINE__, "PlayErr %d : %d\n", int(code), int(value));
      const bool opening = !started_;
      OpenFailed();
      emit sourceFailed(opening);  // the main view moves on or closes, as for a failed open
      return;
    }
    default:
      TraceLog(kTag, __LINE__, "PlayErr %d : %d\n", int(code), int(value));
      return;
  }
}

void CDispCtrlDlg::OnControlNotify(long long wParam, long long lParam) {
  if (lParam == kIndexingStarted) {
    SetPlayKind(int(wParam));
    return;
  }
  if (wParam == -1) {  // the corner toggle
    slowMotion_ = lParam != 0;
    speedButton_->setEnabled(open_ && !slowMotion_);
    ApplySpeed();
    return;
  }
  const long long index = lParam - kSpeedMenuBase;
  if (index < 0 || index >= kSpeedCount || index == speed_) return;
  SetSpeedIndex(int(index));
  ApplySpeed();
}

void CDispCtrlDlg::SetPlayKind(int kind) {
  if (kind == playKind_) return;
  if (playKind_ == -1) {
    Button(kIdCapture)->setEnabled(true);
    Button(kIdPrint)->setEnabled(true);
  }
  playKind_ = kind;
  auto* swap = static_cast<CVelImgBut*>(Button(kIdSwap));
  if (kind == 0) {
    swap->SetImage(PlayerGlyphBase(kPlayerSwap), true, &PlayerButtonList());
  } else if (kind == 1) {
    fullScreen_ = false;
    SetSpeedIndex(1);
    ApplySpeed();
    swapped_ = false;
    ApplySwap(false);
    swap->SetImage(PlayerGlyphBase(kPlayerFit), true, &PlayerButtonList());
  }
  swap->setEnabled(open_ && rearPresent_);
  speedMenu_->Clear();
  const int entries = std::clamp(kSpeedCount - kind, 1, kSpeedCount);
  for (int i = 0; i < entries; ++i)
    speedMenu_->AddItem(kSpeedTexts[size_t(i)], kSpeedMenuBase + i);
  for (int id : {kIdFlip, kIdMirror, kIdStretch}) Button(id)->setEnabled(kind == 0);
  if (stretch_) LayoutPanel();
  UpdateToolTips();
}

}  // namespace tq
