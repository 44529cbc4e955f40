#include "app/gui/CNorvantaSDApp.h"

#include <QApplication>
#include <QDir>
#include <QKeyEvent>
#include <QScreen>
#include <QThread>
#include <QWindow>
#include <QTimer>

#include "app/AppVersion.h"
#include "app/LocalizedText.h"
#include "app/TraceLog.h"
#include "app/gui/CMainFrame.h"
#include "app/gui/CMainView.h"
#include "app/gui/CToolBarDlg.h"
#include "app/gui/GuiMessages.h"
#include "controls/CMsgBox.h"
#include "controls/GuiSkin.h"
#include "library/gui/CFileListDlg.h"
#include "platform/Folders.h"
#include "platform/qt/QtSingleInstance.h"

namespace tq {

AppOptions ParseAppOptions(const QStringList& args) {
  AppOptions o;
  for (int i = 1; i < args.size(); ++i) {
    const QString& a = args[i];
    auto value = [&](std::string* out) {
      if (i + 1 >= args.size()) {
        o.ok = false;
        o.error = a.toStdString() + " needs a value";
        return;
      }
      *out = args[++i].toStdString();
    };
    if (a == "--language") {
      value(&o.language);
    } else if (a == "--screenshot") {
      value(&o.screenshot);
    } else if (a == "--after") {
      std::string ms;
      value(&ms);
      bool number = false;
      o.screenshotAfterMs = QString::fromStdString(ms).toInt(&number);
      if (o.ok && (!number || o.screenshotAfterMs < 0)) {
        o.ok = false;
        o.error = "--after needs a number of milliseconds, not \"" + ms + "\"";
      }
    } else if (!a.startsWith("-") && o.openFile.empty()) {
      o.openFile = a.toStdString();
    } else if (!a.startsWith("-")) {
      o.ok = false;
      o.error = "only one recording can be opened, not also \"" + a.toStdString() + "\"";
    } else {
      o.ok = false;
      o.error = "unknown option " + a.toStdString();
    }
    if (!o.ok) break;
  }
  return o;
}

CNorvantaSDApp::CNorvantaSDApp() = default;
CNorvantaSDApp::~CNorvantaSDApp() = default;

bool CNorvantaSDApp::InitInstance(const AppOptions& options, int* exitCode) {
  *exitCode = 0;
  OpenFileRequest open;
  if (!options.openFile.empty()) {
    open = DecideOpenFile(options.openFile, QDir::currentPath().toStdString());
    if (!open.ok) {
      fprintf(stderr, "TQ-MB20_Viewer: %s: %s\n", options.openFile.c_str(), open.error.c_str());
      *exitCode = 1;
      return false;
    }
  }
  // 1. One instance per user: a running viewer is asked to show itself (and to open the
  // recording given to this one).
  instance_ = std::make_unique<QtSingleInstance>(qEnvironmentVariable("TQ_MB20_INSTANCE"));
  if (instance_->AskRunningInstance(1000, QString::fromStdString(open.path))) return false;
  if (!instance_->Listen()) TraceLog("CNorvantaSDApp", __LINE__, "single-instance socket unavailable\n");

  // 2-7. Version, folders, settings, language, fonts.
  drives_ = std::make_unique<SystemDriveProvider>();
  StartupEnvironment env;
  env.folders = SystemUserFolders();
  env.programFolder = ProgramFolder();
  QScreen* screen = QGuiApplication::primaryScreen();
  env.screenHeight = screen ? screen->size().height() : 0;
  env.drives = drives_.get();
  env.versionString = ProgramVersionString();
  env.languageOverride = options.language;
  // 8-10. Trace line, export folder, first card scan and browse folder.
  ResolveStartup(env, &state_);
  if (open.ok) state_.browseFolder = open.folder;  // for this run; "filepath" stays
  InitGuiSkin(state_.uiScale, state_.fonts);

  // 11-12. The frame, one pixel short, then grown and shown.
  frame_ = std::make_unique<CMainFrame>(&state_, drives_.get());
  frame_->GrowOnePixel();
  frame_->show();
  connect(instance_.get(), &QtSingleInstance::restoreRequested, frame_.get(),
          [this] { PostMsg(frame_.get(), kWmSysCommand, kScRestoreOrCloud, 0); });
  connect(instance_.get(), &QtSingleInstance::openRequested, this, [this](const QString& path) {
    OpenFileRequest request = DecideOpenFile(path.toStdString(), std::string());
    if (request.ok) OpenRecordingFile(request);
    else TraceLog("CNorvantaSDApp", __LINE__, "cannot open %s: %s\n", path.toUtf8().constData(), request.error.c_str());
  });
  // Played once the event loop runs: the wait message is a modal loop of its own.
  if (open.ok) QTimer::singleShot(0, this, [this, open] { OpenRecordingFile(open); });
  qApp->installEventFilter(this);
  // 13. The interface thread runs above the workers.
  QThread::currentThread()->setPriority(QThread::HighestPriority);
  if (!options.screenshot.empty()) ScheduleScreenshot(options);
  return true;
}

void CNorvantaSDApp::OpenRecordingFile(const OpenFileRequest& request) {
  CMainView* view = frame_->View();
  CFileListDlg* list = view->FileList();
  if (list->Folder() != request.folder) {
    state_.browseFolder = request.folder;
    view->ToolBar()->SetPlayingTitle(QString());
    list->Reload(request.folder);
  }
  TraceLog("CNorvantaSDApp", __LINE__, "open %s\n", request.path.c_str());
  if (request.recording) {
    if (list->PlayFile(request.base)) return;
    list->ShowAllRows();  // hidden by a filter, or newer than the last scan
    if (list->PlayFile(request.base)) return;
  }
  ShowMsgBox(frame_.get(),
             QString::fromStdString(LocalizedText(kTextMessage, "can_not_fileplay")) +
                 QString("\n[ %1 ]").arg(QString::fromStdString(request.base)),
             kMsgHand);
}

void CNorvantaSDApp::ScheduleScreenshot(const AppOptions& options) {
  QString file = QString::fromStdString(options.screenshot);
  QTimer::singleShot(options.screenshotAfterMs, this, [this, file] {
    bool saved = frame_->grab().save(file);
    if (!saved) fprintf(stderr, "%s: cannot write the picture\n", file.toLocal8Bit().constData());
    QCoreApplication::exit(saved ? 0 : 1);
  });
}

bool CNorvantaSDApp::eventFilter(QObject* watched, QEvent* event) {
  const QEvent::Type type = event->type();
  if ((type != QEvent::KeyPress && type != QEvent::KeyRelease) || !frame_) return QObject::eventFilter(watched, event);
  // Qt delivers a key to every widget up the parent chain; look at it once, at the window.
  if (watched != static_cast<QObject*>(frame_->windowHandle())) return QObject::eventFilter(watched, event);
  auto* key = static_cast<QKeyEvent*>(event);
  // Alt then T: the diagnostic display (never switched off again).
  if (key->key() == Qt::Key_Alt) {
    altLatch_ = type == QEvent::KeyPress;
  } else if (altLatch_ && key->key() == Qt::Key_T) {
    altLatch_ = false;
    state_.diagnosticDisplay = true;
    frame_->View()->ToolBar()->SetDiagnosticDisplay(true);
  }
  if (type != QEvent::KeyPress) return false;
  CMainView* view = frame_->View();
  switch (key->key()) {
    case Qt::Key_Escape:
      if (view->Mode() == ViewMode::EnlargedVideo) PostMsg(view, UM_TOGGLE_VIEW_MODE, 0, 1);
      else if (view->Mode() == ViewMode::EnlargedMap) PostMsg(view, UM_TOGGLE_VIEW_MODE, 1, 1);
      break;
    case Qt::Key_Space:
    case Qt::Key_Left:
    case Qt::Key_Right:
      // Also the keypad's 4 and 6 (same key codes with the keypad modifier).
      view->PlayerKey(key->key());
      break;
    case Qt::Key_4:
    case Qt::Key_6:
      if (key->modifiers() & Qt::KeypadModifier) view->PlayerKey(key->key() == Qt::Key_4 ? Qt::Key_Left : Qt::Key_Right);
      break;
    default:
      break;
  }
  return false;  // the key goes on to the widgets as well
}

}  // namespace tq
