#include "app/gui/CMainView.h"

#include <QMouseEvent>
#include <QPainter>
#include <QWindow>
#include <algorithm>

#include "app/CardEvents.h"
#include "app/TraceLog.h"
#include "app/gui/CAboutDlg.h"
#include "app/gui/CTitleBar.h"
#include "app/gui/CToolBarDlg.h"
#include "device/gui/CSetDevDlg.h"
#include "app/gui/GuiMessages.h"
#include "app/gui/PlayRequests.h"
#include "controls/GuiSkin.h"
#include "library/gui/CFileListDlg.h"
#include "player/gui/CDispCtrlDlg.h"
#include "platform/Files.h"
#include "player/PlayerOpen.h"
#include "telemetry/gui/CGpsInfoDlg.h"
#include "telemetry/gui/CGpsMapDlg.h"
#include "telemetry/gui/CTimeLineDlg.h"
#include "telemetry/gui/CVelCalendar.h"
#include "telemetry/gui/CVelTimeLine.h"

namespace tq {
namespace {
constexpr int kMinLeftWidth = 160;    // x s, a splitter drag keeps the columns usable
constexpr int kMinPlayerWidth = 320;  // x s
constexpr int kMinFileList = 120;     // x s
constexpr int kMinMap = 60;           // x s
}  // namespace

CMainView::CMainView(AppState* state, QWidget* parent)
    : QWidget(parent),
      state_(state),
      values_(InitialLayoutValues(state->uiScale)),
      title_(new CTitleBar(this)),
      toolbar_(new CToolBarDlg(this)),
      fileList_(new CFileListDlg(state, this, this)),
      gps_(new CGpsInfoDlg(this)),
      map_(new CGpsMapDlg(state, this, this)),
      player_(new CDispCtrlDlg(state, this, this)),
      timeline_(new CTimeLineDlg(this)),
      splitLine_(new QWidget(this)) {
  setMouseTracking(true);
  setAttribute(Qt::WA_OpaquePaintEvent);
  title_->SetTitle("TQ-MB20_Viewer");
  splitLine_->setAutoFillBackground(true);
  QPalette pal = splitLine_->palette();
  pal.setColor(QPalette::Window, kThemeViewLight);
  splitLine_->setPalette(pal);
  splitLine_->hide();
  connect(title_, &CTitleBar::aboutClicked, this, &CMainView::ShowAbout);
  connect(toolbar_, &CToolBarDlg::cardPicked, this, &CMainView::OnCardMenuPick);
  connect(toolbar_, &CToolBarDlg::setupClicked, this, &CMainView::ShowDeviceSetup);
  toolbar_->UpdateCardDisplay(state_->cards, state_->currentCard);
  ConnectTimeline();  // before the first fill, so the timeline sees it
  ConnectGps();
  fileList_->Reload(state_->browseFolder);
  SetPlayerKeyHandler([this](int key) {
    // The focused timeline moves its minute with the arrows itself.
    if ((key == Qt::Key_Left || key == Qt::Key_Right) && timeline_->TimeLine()->hasFocus()) return false;
    return player_->Key(key);
  });
  // Most unplayable recordings are found by the session after OpenRecording returned.
  connect(player_, &CDispCtrlDlg::sourceFailed, this, [this](bool opening) {
    if (opening) MoveOnAfterFailedOpen();
    else ClosePlayer(CDispCtrlDlg::kCloseStop);
  });
}

void CMainView::ConnectTimeline() {
  CFileList& catalog = fileList_->Catalog();
  timeline_->SetEventThreshold(state_->gsensorEventThreshold);
  CTimeLineDlg::Navigator nav;
  nav.dayFilter = [this] { return fileList_->Filters().day; };
  nav.setDayFilter = [this](int32_t day) { fileList_->SetDayFilter(day); };
  nav.playAtTime = [this](int32_t date, int32_t time, int firstRow) { return fileList_->PlayAtTime(date, time, firstRow); };
  nav.waitingToStart = [this] { return player_->WaitingToStart(); };
  nav.setPendingStart = [this](int32_t seconds) { player_->SetPendingStart(seconds); };
  nav.seek = [this](int64_t ms) { player_->SeekTo(ms); };
  timeline_->SetNavigator(std::move(nav));
  connect(fileList_, &CFileListDlg::indexChanged, this, [this, &catalog] {
    timeline_->SetIndex(&catalog.Index(), [&catalog](int32_t date, int hour) { catalog.FillMinutes(date, hour); });
  });
  connect(fileList_, &CFileListDlg::daysChanged, this, [this] {
    const std::vector<int32_t>& days = fileList_->Days();
    timeline_->SetDates(days);
    // A day filter that outlives the rescan stays visible on the calendar, so a click can
    // lift it; a day the folder no longer has would leave the list empty for good.
    if (const int32_t day = fileList_->Filters().day) {
      if (std::binary_search(days.begin(), days.end(), day)) timeline_->Calendar()->KeepSelected(day);
      else fileList_->SetDayFilter(0);
    }
  });
  connect(fileList_, &CFileListDlg::calendarCleared, this, [this] { timeline_->SetDates({}); });
  connect(player_, &CDispCtrlDlg::recordingOpened, this, [this] {
    timeline_->SetRecording(player_->CurrentEntry(), true);
    const std::vector<uint8_t>& block = player_->SensorBlock();
    timeline_->Set3GF(block.data(), int64_t(block.size()), -1, 0);  // the layout SetRecording made
  });
  connect(player_, &CDispCtrlDlg::positionChanged, this, [this](qint64 ms) { timeline_->SetPos(ms); });
  connect(this, &CMainView::playerClosed, this, [this] { timeline_->Clear(); });
}

void CMainView::ConnectGps() {
  // Every position with a sample in force: the map says what changed, the GPS panel
  // repaints only that.
  connect(player_, &CDispCtrlDlg::gpsReport, this, [this](const GpsSample& sample, const MapReport& report) {
    if (!trackSent_) SendTrack();  // an AVI's track arrives once it plays
    if (const int32_t flags = map_->UpdateReport(report)) gps_->UpdateGps(&sample, flags);
  });
  connect(player_, &CDispCtrlDlg::gpsCleared, this, [this] {
    map_->ResetMarker();
    gps_->UpdateGps(nullptr, kMarkerMoved | kMarkerLabel);
    map_->ClearTrack();
    trackSent_ = false;
  });
  connect(player_, &CDispCtrlDlg::recordingOpened, this, [this] {
    map_->ShowParking(IsParkingRecording(player_->CurrentEntry()));
    SendTrack();
  });
  connect(map_, &CGpsMapDlg::seekRequested, this, [this](qint64 ms) { player_->SeekTo(ms); });
}

void CMainView::SendTrack() {
  GpsTrack copy;
  {
    std::lock_guard<std::mutex> lock(player_->GpsMutex());
    const GpsTrack& track = player_->Gps();
    if (track.samples.empty()) return;
    copy.samples = track.samples;
    copy.startOfDay = track.startOfDay;
    copy.parked = track.parked;
  }
  const CatalogEntry& entry = player_->CurrentEntry();
  map_->SetTrack(copy, entry.name, entry.date > 0 ? std::to_string(entry.date) : std::string());
  trackSent_ = true;
}

CAboutDlg* CMainView::AboutBox() const { return about_.data(); }
QWidget* CMainView::GpsPanel() const { return gps_; }
QWidget* CMainView::MapPanel() const { return map_; }
CDispCtrlDlg* CMainView::PlayerPanel() const { return player_; }
QWidget* CMainView::TimelinePanel() const { return timeline_; }

std::vector<QWidget*> CMainView::Panels() const {
  return {title_, toolbar_, fileList_, gps_, map_, player_, timeline_};
}

void CMainView::SetBorder(int border) {
  values_.border = border;
  DoLayout();
  update();
}

void CMainView::SetLeftWidth(int width) {
  values_.leftWidth = std::max(width, kMinLeftWidth * values_.scale);
  DoLayout();
  update();
}

void CMainView::SetLeftSplit(int split) {
  values_.leftSplit = split;
  DoLayout();
  update();
}

void CMainView::DoLayout() {
  if (mode_ != ViewMode::Normal) {
    (mode_ == ViewMode::EnlargedVideo ? static_cast<QWidget*>(player_) : map_)->setGeometry(rect());
    return;
  }
  rects_ = LayoutMain(width(), height(), &values_);
  title_->setGeometry(rects_.title);
  toolbar_->setGeometry(rects_.toolbar);
  fileList_->setGeometry(rects_.fileList);
  gps_->setGeometry(rects_.gps);
  map_->setGeometry(rects_.map);
  player_->setGeometry(rects_.player);
  timeline_->setGeometry(rects_.timeline);
}

void CMainView::resizeEvent(QResizeEvent*) { DoLayout(); }

void CMainView::paintEvent(QPaintEvent*) {
  QPainter p(this);
  p.fillRect(rect(), QColor(16, 6, 10));
  if (mode_ != ViewMode::Normal) return;
  // Resize border and the two splitters.
  if (values_.border > 0) {
    p.setPen(kThemeViewDark);
    p.drawRect(rect().adjusted(0, 0, -1, -1));
  }
  p.fillRect(rects_.splitter, kThemeViewDark);
  p.fillRect(rects_.splitBar, kThemeViewDark);
  // Grips in the middle of each splitter.
  p.setPen(kThemeViewLight);
  const QPoint v = rects_.splitter.center(), h = rects_.splitBar.center();
  p.drawLine(v.x(), v.y() - 15, v.x(), v.y() + 15);
  p.drawLine(h.x() - 15, h.y(), h.x() + 15, h.y());
}

Qt::Edges CMainView::BorderEdges(const QPoint& pos) const {
  Qt::Edges edges;
  const int b = values_.border;
  if (b <= 0 || mode_ != ViewMode::Normal) return edges;
  if (pos.x() < b) edges |= Qt::LeftEdge;
  if (pos.x() >= width() - b) edges |= Qt::RightEdge;
  if (pos.y() < b) edges |= Qt::TopEdge;
  if (pos.y() >= height() - b) edges |= Qt::BottomEdge;
  return edges;
}

void CMainView::mouseMoveEvent(QMouseEvent* event) {
  const QPoint pos = event->position().toPoint();
  if (drag_ == Drag::LeftWidth) {
    splitLine_->move(std::clamp(pos.x(), 0, width() - kSplitter), splitLine_->y());
    return;
  }
  if (drag_ == Drag::LeftSplit) {
    splitLine_->move(splitLine_->x(), std::clamp(pos.y(), 0, height() - kSplitter));
    return;
  }
  if (drag_ == Drag::Border) {
    ApplyBorderDrag(event->globalPosition().toPoint());
    return;
  }
  Qt::Edges edges = BorderEdges(pos);
  if (edges == (Qt::LeftEdge | Qt::TopEdge) || edges == (Qt::RightEdge | Qt::BottomEdge)) setCursor(Qt::SizeFDiagCursor);
  else if (edges == (Qt::RightEdge | Qt::TopEdge) || edges == (Qt::LeftEdge | Qt::BottomEdge)) setCursor(Qt::SizeBDiagCursor);
  else if (edges & (Qt::LeftEdge | Qt::RightEdge)) setCursor(Qt::SizeHorCursor);
  else if (edges) setCursor(Qt::SizeVerCursor);
  else if (mode_ == ViewMode::Normal && rects_.splitter.contains(pos)) setCursor(Qt::SplitHCursor);
  else if (mode_ == ViewMode::Normal && rects_.splitBar.contains(pos)) setCursor(Qt::SplitVCursor);
  else unsetCursor();
}

void CMainView::mousePressEvent(QMouseEvent* event) {
  if (event->button() != Qt::LeftButton || mode_ != ViewMode::Normal) return;
  const QPoint pos = event->position().toPoint();
  if (Qt::Edges edges = BorderEdges(pos)) {
    QWindow* window = this->window()->windowHandle();
    if (window && window->startSystemResize(edges)) return;  // the window manager draws the outline
    drag_ = Drag::Border;
    dragEdges_ = edges;
    dragStartGeometry_ = this->window()->geometry();
    dragStart_ = event->globalPosition().toPoint();
    return;
  }
  if (rects_.splitter.contains(pos)) {
    drag_ = Drag::LeftWidth;
    splitLine_->setGeometry(rects_.splitter);
  } else if (rects_.splitBar.contains(pos)) {
    drag_ = Drag::LeftSplit;
    splitLine_->setGeometry(rects_.splitBar);
  } else {
    return;
  }
  splitLine_->show();
  splitLine_->raise();
}

void CMainView::mouseReleaseEvent(QMouseEvent* event) {
  const int s = values_.scale, x0 = values_.border + 6;
  if (drag_ == Drag::LeftWidth) {
    int maxWidth = width() - 2 * x0 - kSplitter - kMinPlayerWidth * s;
    SetLeftWidth(std::clamp(splitLine_->x() - x0, kMinLeftWidth * s, std::max(kMinLeftWidth * s, maxWidth)));
  } else if (drag_ == Drag::LeftSplit) {
    int low = values_.contentTop + values_.border + (kMinFileList + kGpsHeight) * s;
    int high = height() - x0 - kSplitter - kMinMap * s;
    SetLeftSplit(std::clamp(splitLine_->y(), low, std::max(low, high)));
  } else if (drag_ == Drag::Border) {
    ApplyBorderDrag(event->globalPosition().toPoint());
  }
  drag_ = Drag::None;
  splitLine_->hide();
}

void CMainView::ApplyBorderDrag(const QPoint& globalPos) {
  QWidget* frame = window();
  QRect g = dragStartGeometry_;
  const QPoint d = globalPos - dragStart_;
  const QSize min = frame->minimumSize();
  if (dragEdges_ & Qt::LeftEdge) g.setLeft(std::min(g.left() + d.x(), g.right() - min.width() + 1));
  if (dragEdges_ & Qt::RightEdge) g.setRight(std::max(g.right() + d.x(), g.left() + min.width() - 1));
  if (dragEdges_ & Qt::TopEdge) g.setTop(std::min(g.top() + d.y(), g.bottom() - min.height() + 1));
  if (dragEdges_ & Qt::BottomEdge) g.setBottom(std::max(g.bottom() + d.y(), g.top() + min.height() - 1));
  frame->setGeometry(g);
}

void CMainView::ToggleViewMode(int which, bool resetOverlay) {
  (void)resetOverlay;  // the overlays of the player and map panels arrive with them
  const ViewMode wanted = which == 0 ? ViewMode::EnlargedVideo : ViewMode::EnlargedMap;
  QWidget* frame = window();
  if (mode_ != ViewMode::Normal) {
    const bool same = mode_ == wanted;
    mode_ = ViewMode::Normal;
    for (QWidget* w : Panels()) w->show();
    if (maximizedForMode_ && frame->isMaximized()) frame->showNormal();
    maximizedForMode_ = false;
    DoLayout();
    update();
    map_->SetEnlarged(false);
    if (same) return;
  }
  mode_ = wanted;
  QWidget* keep = wanted == ViewMode::EnlargedVideo ? static_cast<QWidget*>(player_) : map_;
  for (QWidget* w : Panels())
    if (w != keep) w->hide();
  if (!frame->isMaximized() && frame != this) {
    maximizedForMode_ = true;
    frame->showMaximized();
  }
  DoLayout();
  update();
  map_->SetEnlarged(mode_ == ViewMode::EnlargedMap);
}

void CMainView::OnCardMenuPick(int index) {
  if (index < 0 || size_t(index) >= state_->cards.size()) return;
  const CardDrive& card = state_->cards[size_t(index)];
  CardEventResult r = DecideCardPick(state_->cards, size_t(index), state_->currentCard, state_->browseFolder,
                                     IsDirectory(CardRecordFolder(card.root)));
  state_->currentCard = r.currentCard;
  if (r.kind == kCardBrowsedChanged) toolbar_->UpdateCardDisplay(state_->cards, state_->currentCard);
  if (r.kind != kCardNothing) PostMsg(this, UM_CARD_CHANGED, r.kind, r.lParam);
}

void CMainView::OnCardChanged(int kind, int lParam) {
  CardChangedAction a = DecideCardChanged(kind, lParam, state_->currentCard, state_->browseFolder);
  if (a.reload) {
    state_->browseFolder = a.browseFolder;
    toolbar_->SetPlayingTitle(QString());
    fileList_->Reload(state_->browseFolder);
    TraceLog("CMainView", __LINE__, "browse %s\n", state_->browseFolder.c_str());
  }
  if (a.refreshSelector) toolbar_->UpdateCardDisplay(state_->cards, state_->currentCard);
  if (a.closeAbout && about_) about_->accept();
}

void CMainView::ClosePlayer(int how) {
  player_->CloseRecording(how);
  toolbar_->SetPlayingTitle(QString());
  emit playerClosed();  // the timeline drops its marks
}

bool CMainView::MoveOnAfterFailedOpen() {
  if (fileList_->PlayNext()) return true;
  ClosePlayer(CDispCtrlDlg::kCloseStop);  // nothing follows: no stale title stays behind
  return false;
}

void CMainView::OnPlayRequest(long long wParam, long long lParam) {
  switch (lParam) {
    case kPlayEnded:
      if (fileList_->PlayNext()) return;  // that request finishes the count
      if (player_->IsOpen()) ClosePlayer(CDispCtrlDlg::kCloseStop);
      else if (player_->IsPlaying()) player_->Pause();
      break;
    case kPlayClose:
      ClosePlayer(int(wParam));
      break;
    case kPlayPause:
      if (player_->IsPlaying()) player_->Pause();
      break;
    case kPlayTemperature:
      if (wParam != kPlayTemperature) toolbar_->SetDiagnosticCaption(QString::asprintf("%d\u00B0C", int(wParam)));
      return;  // not a request of the file list: the count stays
    default: {
      auto* entry = reinterpret_cast<CatalogEntry*>(static_cast<intptr_t>(lParam));
      // A refill or rescan since the request was posted may have freed the entry.
      if (!fileList_->HoldsEntry(entry)) {
        TraceLog("CMainView::OnPlayRequest", __LINE__, "request for a recording no longer listed\n");
        break;
      }
      // The title again too: a stop cleared it, and the same row may be played once more.
      toolbar_->SetPlayingTitle(QString::fromStdString(entry->name));
      if (wParam == kRestart) {
        player_->Restart();
        break;
      }
      TraceLog("CMainView::OnPlayRequest", __LINE__, "play %s\n", entry->name.c_str());
      if (!player_->OpenRecording(fileList_->Folder(), entry, uint32_t(wParam)) && MoveOnAfterFailedOpen()) return;
      break;
    }
  }
  FinishPlayRequest();
}

void CMainView::FinishPlayRequest() {
  PlayRequests& requests = SharedPlayRequests();
  requests.requestPending = false;
  std::lock_guard<std::mutex> lock(state_->catalogLock);
  if (--requests.pending <= 0) {
    // Closed on its own event loop turn: the wait message may be the loop we run in.
    if (requests.waitWindow) QMetaObject::invokeMethod(requests.waitWindow, "accept", Qt::QueuedConnection);
    requests.pending = 0;
  }
}

void CMainView::ShowDeviceSetup() {
  // The camera settings are edited with playback paused, as a play request would pause it.
  OnPlayRequest(0, kPlayPause);
  CSetDevDlg dialog(state_, this);
  dialog.exec();
}

void CMainView::ShowAbout() {
  if (about_) {
    about_->raise();
    return;
  }
  about_ = new CAboutDlg(state_->versionString, state_->currentCard, state_->languageName, this);
  about_->setAttribute(Qt::WA_DeleteOnClose);  // Qt owns it from here
  about_->open();
}

bool CMainView::event(QEvent* event) {
  if (event->type() == MsgEvent::TypeOf(UM_TOGGLE_VIEW_MODE)) {
    auto* m = static_cast<MsgEvent*>(event);
    ToggleViewMode(int(m->wParam), m->lParam != 0);
    return true;
  }
  if (event->type() == MsgEvent::TypeOf(UM_PLAY_REQUEST)) {
    auto* m = static_cast<MsgEvent*>(event);
    OnPlayRequest(m->wParam, m->lParam);
    return true;
  }
  if (event->type() == MsgEvent::TypeOf(UM_CARD_CHANGED)) {
    auto* m = static_cast<MsgEvent*>(event);
    OnCardChanged(int(m->wParam), int(m->lParam));
    return true;
  }
  return QWidget::event(event);
}

}  // namespace tq
