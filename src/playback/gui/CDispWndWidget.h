// The playback session's window: the front camera's view on screen and the bridge that
// turns the engine's posts into queued events for the player panel. The engine itself
// (CDispWnd) stays free of Qt; this widget owns it for the panel, together with the
// windows it draws into: the front ViewSurface filling this widget, the picture-in-picture
// (CDispSubDlg) holding the rear ViewSurface, and the wait indicator.
//
// Renderer windows: the session's DrawWindows are the two ViewSurfaces (see CDraw.h),
// made here on the GUI thread before the session exists; with OpenGL usable each gets its
// OpenGL canvas right after the session's probe.
//
// Mouse: the wheel zooms the main picture in ten levels at the pointer, a left drag pans
// it (beyond 3 pixels, hand cursor), the right button returns to the whole picture; each
// change is handed to the renderer under the frame mutex and shown at once when paused.
// Every mouse move takes the keyboard focus; a double click posts kWmCommand 1229.
//
// GUI thread only, except the sink and the observer, which the engine's workers call;
// both only post events and never block.
#pragma once

#include <QCursor>
#include <QWidget>
#include <atomic>
#include <memory>
#include <string>

#include "platform/qt/QtWaveOut.h"
#include "playback/CDispWnd.h"
#include "playback/ViewGeometry.h"

namespace tq {

class CDispSubDlg;
class ViewSurface;
class ViewWaitMsg;

class CDispWndWidget : public QWidget {
  Q_OBJECT
 public:
  // Command the session window sends its owner on a double click (full-screen toggle).
  static constexpr int kDoubleClickCommand = 1229;

  // settingsFolder holds the engine's scratch files; owner receives every play message
  // as a MsgEvent (kMsgPlay, kMsgControlNotify) and the double-click command.
  CDispWndWidget(const std::string& settingsFolder, QObject* owner, QWidget* parent = nullptr);
  ~CDispWndWidget() override;

  CDispWnd& Session() { return *session_; }

  // Picture-in-picture position: 0 hidden, 1 top-left, 2 top-right, 3 bottom-right,
  // 4 bottom-left. Shown while a rear recording plays.
  void SetPip(int position);
  int Pip() const;
  // Front and rear exchanged on screen (the engine pauses and redraws as needed); the
  // zoom follows the main picture's new size.
  void SetSwap(bool on);
  // kFlipUpDown | kMirrorLeftRight for the main window; redrawn at once when paused.
  void SetPictureFlags(int flags);
  int PictureFlags() const { return flags_; }
  // Back to the whole picture (also the right button).
  void ResetZoom();
  const ZoomState& Zoom() const { return zoom_; }

  // The windows this widget made (tests, capture of the screen).
  ViewSurface* FrontSurface() const { return front_; }
  ViewSurface* RearSurface() const;
  CDispSubDlg* SubView() const { return sub_; }
  ViewWaitMsg* WaitMsg() const { return wait_; }
  // What the engine's workers tell about waits (queued to this widget).
  PlaybackObserver* WaitObserver() const;
  // When on, the owner also receives a position play message for every front picture
  // shown, not only at key frames (the sensor view keeps its samples in step with them).
  void SetPictureReports(bool on) { pictureReports_ = on; }

 protected:
  void resizeEvent(QResizeEvent* event) override;
  void wheelEvent(QWheelEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseDoubleClickEvent(QMouseEvent* event) override;

 private:
  class Sink;
  class Observer;

  // The picture size of the main window (the rear's while exchanged); empty when idle.
  QSize MainPictureSize();
  // Follows a new main picture size; false when nothing plays.
  bool SyncZoomSize();
  void ApplyZoom();
  void RefreshSubView();
  void Reselect(CDrawWnd& window);
  void CatchUp(CDrawWnd& window);
  void ShowWait(bool show);

  QObject* owner_;
  ViewSurface* front_;   // child, fills this widget
  CDispSubDlg* sub_;     // child, over a corner
  ViewWaitMsg* wait_;    // child, centred
  std::unique_ptr<Sink> sink_;
  std::unique_ptr<Observer> observer_;
  std::unique_ptr<QtWaveOut> waveOut_;  // the session's sound device; outlives the session
  std::unique_ptr<CDispWnd> session_;
  ZoomState zoom_;
  int flags_ = 0;
  QCursor hand_;
  std::atomic<bool> pictureReports_{false};  // read by play_thread through the observer
};

}  // namespace tq
