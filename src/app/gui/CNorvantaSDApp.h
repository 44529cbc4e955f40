// The application object: one instance per user, the start-up order, the keyboard filter
// and the shutdown (which writes nothing: every setting is written when it changes).
#pragma once

#include <QObject>
#include <memory>
#include <string>

#include "app/AppSettings.h"
#include "app/OpenFileArg.h"

class QApplication;

namespace tq {

class CMainFrame;
class QtSingleInstance;
class DriveProvider;

struct AppOptions {
  std::string language;        // --language NAME
  std::string screenshot;      // --screenshot FILE
  int screenshotAfterMs = 800; // --after MS
  std::string openFile;        // FILE: a recording to browse to and play
  bool ok = true;
  std::string error;
};
AppOptions ParseAppOptions(const QStringList& arguments);

class CNorvantaSDApp : public QObject {
  Q_OBJECT
 public:
  CNorvantaSDApp();
  ~CNorvantaSDApp() override;
  // Runs start-up. Returns false when the program must exit at once (`*exitCode` says how:
  // 0 when another instance was asked to show itself).
  bool InitInstance(const AppOptions& options, int* exitCode);
  CMainFrame* Frame() const { return frame_.get(); }
  // The recording's folder becomes the browse folder and the recording is played as a
  // double click on its row would (command line, or a second start's request).
  void OpenRecordingFile(const OpenFileRequest& request);
  AppState& State() { return state_; }

 protected:
  // The keyboard filter, for every event of the GUI thread.
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void ScheduleScreenshot(const AppOptions& options);
  AppState state_;
  std::unique_ptr<DriveProvider> drives_;
  std::unique_ptr<QtSingleInstance> instance_;
  std::unique_ptr<CMainFrame> frame_;
  bool altLatch_ = false;
};

}  // namespace tq
