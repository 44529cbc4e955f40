// The main view: lays out every panel, draws the resize border and the two splitters,
// switches between the normal layout and the enlarged video and map modes, follows card
// changes and opens the About box. GUI thread only.
#pragma once

#include <QPointer>
#include <QWidget>
#include <functional>

#include "app/AppSettings.h"
#include "app/gui/MainLayout.h"
#include "player/gui/CDispCtrlDlg.h"

namespace tq {

class CAboutDlg;
class CDispCtrlDlg;
class CFileListDlg;
class CGpsInfoDlg;
class CGpsMapDlg;
class CTitleBar;
class CTimeLineDlg;
class CToolBarDlg;

enum class ViewMode { Normal, EnlargedVideo, EnlargedMap };

class CMainView : public QWidget {
  Q_OBJECT
 public:
  static constexpr int kAboutCommand = 1201;
  // lParam of UM_PLAY_REQUEST other than an entry; wParam kRestart plays the entry again.
  static constexpr long long kPlayEnded = 0;
  static constexpr long long kPlayClose = -1;
  static constexpr long long kPlayPause = -2;
  static constexpr long long kPlayTemperature = -99;
  static constexpr long long kRestart = -1;
  // `state` outlives the view.
  CMainView(AppState* state, QWidget* parent = nullptr);

  ViewMode Mode() const { return mode_; }
  const LayoutValues& Values() const { return values_; }
  void SetBorder(int border);
  // Sets the left width / split as a splitter drag does, and lays out again.
  void SetLeftWidth(int width);
  void SetLeftSplit(int split);

  // Commands.
  void ToggleViewMode(int which, bool resetOverlay);
  void OnCardMenuPick(int index);
  void ShowAbout();
  // The toolbar's "setup": pauses playback, then runs the device settings dialog.
  void ShowDeviceSetup();
  CAboutDlg* AboutBox() const;
  // UM_PLAY_REQUEST from the file list and the player panel.
  void OnPlayRequest(long long wParam, long long lParam);

  // Keys the application filter hands on (Space, Left, Right): the player answers once it
  // exists; true when it took the key.
  void SetPlayerKeyHandler(std::function<bool(int key)> handler) { playerKeys_ = std::move(handler); }
  bool PlayerKey(int key) { return playerKeys_ && playerKeys_(key); }

  CTitleBar* TitleBar() const { return title_; }
  CToolBarDlg* ToolBar() const { return toolbar_; }
  CFileListDlg* FileList() const { return fileList_; }
  QWidget* GpsPanel() const;
  QWidget* MapPanel() const;
  CGpsInfoDlg* GpsInfo() const { return gps_; }
  CGpsMapDlg* GpsMap() const { return map_; }
  CDispCtrlDlg* PlayerPanel() const;
  QWidget* TimelinePanel() const;
  CTimeLineDlg* Timeline() const { return timeline_; }

 signals:
  // The player was closed on a request (the timeline resets its marks).
  void playerClosed();

 protected:
  bool event(QEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void paintEvent(QPaintEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;

 private:
  enum class Drag { None, Border, LeftWidth, LeftSplit };
  void DoLayout();
  void ConnectTimeline();
  void ConnectGps();
  void SendTrack();
  void OnCardChanged(int kind, int lParam);
  void ClosePlayer(int how);
  // A recording that cannot be opened gives way to the next one in time; with none left the
  // player is closed. True when the next one was requested.
  bool MoveOnAfterFailedOpen();
  // The request is done: the pending count falls and the wait message closes at zero.
  void FinishPlayRequest();
  Qt::Edges BorderEdges(const QPoint& pos) const;
  void ApplyBorderDrag(const QPoint& globalPos);
  std::vector<QWidget*> Panels() const;

  AppState* state_;
  LayoutValues values_;
  MainRects rects_;
  ViewMode mode_ = ViewMode::Normal;
  bool maximizedForMode_ = false;
  Drag drag_ = Drag::None;
  Qt::Edges dragEdges_;
  QRect dragStartGeometry_;  // frame geometry when a border drag by hand began
  QPoint dragStart_;

  CTitleBar* title_;
  CToolBarDlg* toolbar_;
  CFileListDlg* fileList_;
  CGpsInfoDlg* gps_;
  CGpsMapDlg* map_;
  bool trackSent_ = false;  // the open recording's track is on the map
  CDispCtrlDlg* player_;
  CTimeLineDlg* timeline_;
  QWidget* splitLine_;  // the outline of a splitter drag
  QPointer<CAboutDlg> about_;
  std::function<bool(int)> playerKeys_;
};

}  // namespace tq
