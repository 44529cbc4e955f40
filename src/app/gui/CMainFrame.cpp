#include "app/gui/CMainFrame.h"

#include <QFileInfo>
#include <QProcess>
#include <QTimerEvent>
#include <QVBoxLayout>
#include <cstdlib>

#include "app/CardEvents.h"
#include "app/TraceLog.h"
#include "app/gui/CMainView.h"
#include "app/gui/CTitleBar.h"
#include "app/gui/CToolBarDlg.h"
#include "app/gui/GuiMessages.h"
#include "controls/CMsgBox.h"
#include "controls/CWaitMsg.h"
#include "device/gui/CFmtDlg.h"
#include "platform/qt/QtDriveWatcher.h"

namespace tq {
namespace {
constexpr int kStayMaximizedMs = 10;
constexpr char kCloudFailed[] = "Open Cloud viewer failed.";
}  // namespace

CMainFrame::CMainFrame(AppState* state, const DriveProvider* drives, QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::FramelessWindowHint),
      state_(state),
      drives_(drives),
      view_(new CMainView(state, this)),
      watcher_(std::make_unique<QtDriveWatcher>(drives)) {
  setWindowTitle(kTitle);
  const int s = state->uiScale;
  setMinimumSize(kMinFrameWidth * s, kMinFrameHeight * s - 1);
  resize(kMinFrameWidth * s, kMinFrameHeight * s - 1);
  auto* layout = new QVBoxLayout(this);  // owned by the frame
  layout->setContentsMargins(0, 0, 0, 0);
  layout->addWidget(view_);
  connect(watcher_.get(), &QtDriveWatcher::volumeArrived, this, &CMainFrame::OnVolumeArrived);
  connect(watcher_.get(), &QtDriveWatcher::volumeRemoved, this, &CMainFrame::OnVolumeRemoved);
  connect(view_->ToolBar(), &CToolBarDlg::formatClicked, this, &CMainFrame::OpenFormatDialog);
  CTitleBar* title = view_->TitleBar();
  connect(title, &CTitleBar::minimizeClicked, this, &QWidget::showMinimized);
  connect(title, &CTitleBar::maximizeClicked, this, [this] { isMaximized() ? showNormal() : showMaximized(); });
  connect(title, &CTitleBar::closeClicked, this, &QWidget::close);
}

CMainFrame::~CMainFrame() = default;

void CMainFrame::GrowOnePixel() {
  QRect g = geometry();
  setGeometry(g.x(), g.y(), g.width(), g.height() + 1);
  const int s = state_->uiScale;
  setMinimumSize(kMinFrameWidth * s, kMinFrameHeight * s);
}

void CMainFrame::OnVolumeArrived() {
  std::vector<CardDrive> cards;
  int family = kFamilyNone;
  ScanCards(*drives_, &cards, &family);
  CardEventResult r = DecideCardArrival(state_->cards, cards, state_->currentCard, state_->browseFolder);
  state_->cards = std::move(cards);
  state_->currentCard = r.currentCard;
  if (r.kind != kCardNothing) PostMsg(view_, UM_CARD_CHANGED, r.kind, r.lParam);
}

void CMainFrame::OnVolumeRemoved() {
  std::vector<CardDrive> cards;
  int family = kFamilyNone;
  ScanCards(*drives_, &cards, &family);
  CardEventResult r = DecideCardRemoval(state_->cards, cards, state_->currentCard, state_->browseFolder,
                                        ReadFilePathSetting(*state_));
  state_->cards = std::move(cards);
  state_->currentCard = r.currentCard;
  state_->browseFolder = r.browseFolder;
  if (r.kind != kCardNothing) PostMsg(view_, UM_CARD_CHANGED, r.kind, r.lParam);
}

void CMainFrame::OpenFormatDialog() {
  ProtectedPaths paths;
  if (const char* home = std::getenv("HOME")) paths.home = home;
  paths.programFolder = state_->programFolder;
  CFmtDlg dialog(drives_, paths, view_);
  dialog.exec();
  if (dialog.FormattedRoot().empty()) return;
  std::vector<CardDrive> cards;
  int family = kFamilyNone;
  ScanCards(*drives_, &cards, &family);
  CardEventResult r = DecideAfterFormat(cards, family, dialog.FormattedRoot(), state_->currentCard,
                                        state_->browseFolder);
  state_->cards = std::move(cards);
  state_->currentCard = r.currentCard;
  state_->browseFolder = r.browseFolder;
  // The formatted card is no camera card now: the selector must not keep showing it.
  view_->ToolBar()->UpdateCardDisplay(state_->cards, state_->currentCard);
  if (r.kind != kCardNothing) PostMsg(view_, UM_CARD_CHANGED, r.kind, r.lParam);
}

void CMainFrame::RestoreForSecondStart() {
  if (isMinimized()) showNormal();
  else show();
  raise();
  activateWindow();
  TraceLog("CMainFrame", __LINE__, "restored for a second start\n");
  emit restoredForSecondStart();
}

bool CMainFrame::OpenCloudViewer() {
  QString program = QString::fromStdString(state_->programFolder) + "/" + kCloudProgram;
  QString args = QString::asprintf("vue=%p,%d", reinterpret_cast<void*>(winId()), isMaximized() ? 1 : 0);
  if (QFileInfo(program).isExecutable() && QProcess::startDetached(program, {args})) return true;
  TraceLog("CMainFrame", __LINE__, "%s", kCloudFailed);
  emit cloudViewerFailed();
  ShowMsgBox(this, kCloudFailed, kMsgHand);
  return false;
}

void CMainFrame::ShowWait(CWaitMsg** slot) {
  CWaitMsg wait(view_);
  {
    std::lock_guard<std::mutex> lock(state_->catalogLock);
    if (slot) *slot = &wait;
  }
  wait.exec();
  std::lock_guard<std::mutex> lock(state_->catalogLock);
  if (slot) *slot = nullptr;
}

bool CMainFrame::event(QEvent* event) {
  if (event->type() == MsgEvent::TypeOf(kWmSysCommand)) {
    auto* m = static_cast<MsgEvent*>(event);
    if (m->wParam == kScRestoreOrCloud) {
      if (m->lParam == 0) RestoreForSecondStart();
      else OpenCloudViewer();
    }
    return true;
  }
  if (event->type() == MsgEvent::TypeOf(UM_SHOW_WAIT)) {
    ShowWait(reinterpret_cast<CWaitMsg**>(static_cast<MsgEvent*>(event)->lParam));
    return true;
  }
  return QWidget::event(event);
}

void CMainFrame::changeEvent(QEvent* event) {
  if (event->type() == QEvent::WindowStateChange) {
    const bool maximized = isMaximized();
    // Maximised, the panels reach the screen edges; restored, the border comes back.
    if (maximized) {
      view_->SetBorder(0);
      stayTimer_.stop();
      stayMaximized_ = false;
    } else if (!isMinimized()) {
      if (wasMaximized_) view_->SetBorder(kMainBorder);
      if (stayMaximized_) stayTimer_.start(kStayMaximizedMs, this);
    }
    view_->TitleBar()->SetMaximized(maximized);
    if (!isMinimized()) wasMaximized_ = maximized;
  }
  QWidget::changeEvent(event);
}

void CMainFrame::timerEvent(QTimerEvent* event) {
  if (event->timerId() != stayTimer_.timerId()) return QWidget::timerEvent(event);
  stayTimer_.stop();
  showMaximized();
}

}  // namespace tq
