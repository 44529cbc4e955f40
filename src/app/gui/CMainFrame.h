// The borderless main frame: holds the main view, answers the system commands (minimise,
// maximise, restore, a second start's restore request, the cloud viewer), runs the wait
// message and follows cards coming and going. GUI thread only.
#pragma once

#include <QBasicTimer>
#include <QWidget>
#include <memory>

#include "app/AppSettings.h"
#include "platform/DriveProvider.h"

namespace tq {

class CMainView;
class CWaitMsg;
class QtDriveWatcher;

class CMainFrame : public QWidget {
  Q_OBJECT
 public:
  static constexpr char kTitle[] = "TQ-MB20_Viewer";
  static constexpr char kCloudProgram[] = "NorvantaCloud";
  static constexpr int kStayMaximizedTimer = 1238;
  // `state` and `drives` outlive the frame. Created one pixel short of its minimum height;
  // start-up then grows it by one pixel.
  CMainFrame(AppState* state, const DriveProvider* drives, QWidget* parent = nullptr);
  ~CMainFrame() override;

  // The last step of start-up: one pixel taller, and from then on never smaller than the
  // minimum size.
  void GrowOnePixel();

  CMainView* View() const { return view_; }
  QtDriveWatcher* DriveWatcher() const { return watcher_.get(); }

  // Device events: rescan, decide and post UM_CARD_CHANGED to the view.
  void OnVolumeArrived();
  void OnVolumeRemoved();
  // The toolbar's "format" button: the format dialog, then the card rescan.
  void OpenFormatDialog();
  // A second start asked us to show ourselves.
  void RestoreForSecondStart();
  // Starts the cloud viewer next to the program; false (after the message) when it cannot.
  bool OpenCloudViewer();
  // Runs the wait message modally; its pointer sits in `*slot` (under the catalog lock)
  // while it is open.
  void ShowWait(CWaitMsg** slot);

 signals:
  // The cloud viewer could not be started: the map panel resets its cloud button.
  void cloudViewerFailed();
  void restoredForSecondStart();

 protected:
  bool event(QEvent* event) override;
  void changeEvent(QEvent* event) override;
  void timerEvent(QTimerEvent* event) override;

 private:
  AppState* state_;
  const DriveProvider* drives_;
  CMainView* view_;
  std::unique_ptr<QtDriveWatcher> watcher_;
  bool wasMaximized_ = false;
  bool stayMaximized_ = false;
  QBasicTimer stayTimer_;
};

}  // namespace tq
