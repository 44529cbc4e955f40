// The player panel: holds the playback session window, the seek bar, the speed menu and
// the control row; opens recordings chosen in the file list with their rear partner and
// telemetry, turns buttons and keys into session calls, answers the engine's play
// messages, saves and prints the current picture. GUI thread only.
#pragma once

#include <QBasicTimer>
#include <QImage>
#include <QWidget>
#include <algorithm>
#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "library/CatalogEntry.h"
#include "telemetry/GpsTrack.h"

class QPrinter;

namespace tq {

struct AppState;
struct TelemetryBuffers;
class CDispBut;
class CExportDlg;
class CDispWndWidget;
class CVelBut;
class CVelMenu;
class CVelTextBut;
class CVelTimeBar;

class CDispCtrlDlg : public QWidget {
  Q_OBJECT
 public:
  // Sign bit of OpenRecording's start: open the rear partner too.
  static constexpr uint32_t kWithRear = 0x80000000u;
  // Close kinds (the close request's wParam).
  static constexpr int kCloseStop = 1;
  static constexpr int kCloseFull = 2;

  // Control ids of the row (also the commands).
  enum Command : int {
    kIdCapture = 1004, kIdPrint = 1005, kIdSpeed = 1006, kIdStop = 1007, kIdPlay = 1008,
    kIdNext = 1009, kIdPrev = 1010, kIdPip = 1105, kIdFull = 1229, kIdFlip = 1230,
    kIdMirror = 1231, kIdStretch = 1232, kIdSwap = 1233,
  };

  // The modal parts, replaceable so that tests drive the panel without blocking.
  struct Dialogs {
    // Save dialog for a capture: the chosen path, "" on cancel.
    std::function<QString(QWidget* parent, const QString& proposed)> savePath;
    // Print dialog: sets up the printer; false on cancel.
    std::function<bool(QWidget* parent, QPrinter* printer)> setupPrinter;
    // The program's message box (error).
    std::function<void(QWidget* parent, const QString& text)> message;
  };
  static Dialogs DefaultDialogs();

  // `state` outlives the panel. Requests (a recording ended, stop, full screen) go to
  // `mainView`; the wait message is asked of the main view's top-level window.
  CDispCtrlDlg(AppState* state, QObject* mainView, QWidget* parent = nullptr);
  ~CDispCtrlDlg() override;

  // Opens `entry` of `folder`. start: wanted time of day HHMMSS (0 from the beginning;
  // 240000 added when the recording began the day before), with kWithRear set to play the
  // rear partner. `entry` gets its duration when it had none. False when it cannot be
  // opened (the user has been told).
  bool OpenRecording(const std::string& folder, CatalogEntry* entry, uint32_t start);
  // Closes what plays; how is the close request's wParam.
  void CloseRecording(int how);
  // Plays the open recording again from its start.
  void Restart();
  void Pause();  // when playing
  bool IsOpen() const { return open_; }
  bool IsPlaying() const { return open_ && playing_; }
  // Space, Left, Right from the application's key filter; true when taken.
  bool Key(int qtKey);

  // A command of the row, as if its button was clicked.
  void RunCommand(int id);
  // Capture and print of one camera (0 front, 1 rear); true when a file / page was made.
  bool Capture(int camera);
  bool Print(int camera);
  void SetDialogs(Dialogs dialogs) { dialogs_ = std::move(dialogs); }
  // The export dialog for the open recording, From at the playing second and To 30 s on.
  void ExportClip();
  CVelTextBut* ExportButton() const { return exportButton_; }

  CDispWndWidget* SessionWindow() const { return view_; }
  CVelTimeBar* TimeBar() const { return bar_; }
  CVelBut* Button(int id) const;
  CDispBut* CornerToggle() const { return corner_; }
  CVelMenu* SpeedMenu() const { return speedMenu_; }
  // The text key of a control's tooltip now ("" for none; "16 : 9" is shown as it stands).
  QString ToolTipKey(int id) const;
  int PipPosition() const { return pip_; }
  int SpeedIndex() const { return speed_; }
  int PlayKind() const { return playKind_; }
  int PictureFlags() const { return pictureFlags_; }
  bool FullScreen() const { return fullScreen_; }
  bool Stretching() const { return stretch_; }
  bool Swapped() const { return swapped_; }
  bool RearPresent() const { return rearPresent_; }
  bool Started() const { return started_; }
  int LoadingFrame() const { return loadingFrame_; }
  int32_t RecordingStart() const { return recordingStart_; }
  int StartOffset() const { return startOffset_; }
  // The recording's GPS samples (guarded by GpsMutex()) and G-sensor block, kept for the
  // GPS panel, map and timeline; the last map report made for a position.
  std::mutex& GpsMutex() { return gpsMutex_; }
  const GpsTrack& Gps() const { return gps_; }
  const MapReport& LastReport() const { return report_; }
  const std::vector<uint8_t>& SensorBlock() const { return sensor_; }
  // The open recording's catalog entry (its duration known once it opened).
  const CatalogEntry& CurrentEntry() const { return current_.entry; }
  // Opened but not started yet: a seek now is the start position instead.
  bool WaitingToStart() const { return open_ && !started_; }
  void SetPendingStart(int seconds) { startOffset_ = std::max(seconds, 0); }
  // Seeks the open recording (ms from its start).
  void SeekTo(int64_t ms);

 signals:
  // The session could not open or read the recording; the user has been told and the panel
  // shows its logo. `opening`: it failed before playback started (the open itself failed).
  void sourceFailed(bool opening);
  // A recording was opened (CurrentEntry, SensorBlock hold it): the timeline lays it out.
  void recordingOpened();
  // The position shown, in ms from the recording's start.
  void positionChanged(qint64 ms);
  // A position with a GPS sample in force (the GPS panel and the map follow it).
  void gpsReport(const tq::GpsSample& sample, const tq::MapReport& report);
  // The recording was closed: no sample is in force any more.
  void gpsCleared();
  // The export dialog is about to run modally.
  void exportStarted(CExportDlg* dialog);

 protected:
  bool event(QEvent* event) override;
  void paintEvent(QPaintEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void timerEvent(QTimerEvent* event) override;
  void mouseDoubleClickEvent(QMouseEvent* event) override;

 private:
  struct Current {
    std::string folder;
    CatalogEntry entry;
    uint32_t start = 0;
  };

  void CreateControls();
  void LayoutPanel();
  void OnPlayMsg(long long code, long long value);
  void OnControlNotify(long long wParam, long long lParam);
  void SetPlayKind(int kind);
  void OpenFailed();
  void Close(bool keepData);
  void TogglePlay(bool act);
  void StepFrame(bool forward);
  void ShowPlayState();
  void EnableControls(bool on);
  void SetSpeedIndex(int index);
  void ApplySpeed();
  void UpdateToolTips();
  void StartLoading();
  void StopLoading();
  void PostToMainView(int msg, long long wParam, long long lParam);
  bool TakePicture(int camera, QImage* image);

  // Calls the session window will offer (picture-in-picture, swap, picture flags); kept
  // in one place so they can move onto it.
  void ApplyPip(int position);
  void ApplySwap(bool on);
  void ApplyPictureFlags(int flags);

  AppState* state_;
  QObject* mainView_;
  CDispWndWidget* view_;  // child
  CVelTimeBar* bar_;      // child
  CDispBut* corner_;      // child
  CVelMenu* speedMenu_;   // child popup
  CVelTextBut* speedButton_ = nullptr;
  CVelTextBut* exportButton_ = nullptr;  // child, right of the swap button
  std::array<CVelBut*, 13> buttons_{};
  Dialogs dialogs_;

  // Controller state.
  Current current_;
  std::string name_;      // current recording's base name ("" none)
  std::string rearName_;
  std::string fileName_;  // name with extension, for messages
  bool open_ = false;
  bool started_ = false;  // play message 0 came
  bool pictureShown_ = false;
  int32_t recordingStart_ = -1;  // hundredths of a second of the day
  int startOffset_ = 0;          // seconds, pending until play message 0
  bool playing_ = false;
  bool rearPresent_ = false;
  int playKind_ = -1;
  int speed_ = 1;
  int pip_ = 3;
  int pictureFlags_ = 0;
  bool fullScreen_ = false;
  bool stretch_ = false;
  bool swapped_ = false;
  bool slowMotion_ = false;  // the corner toggle's state
  int loadingFrame_ = 0;
  QBasicTimer loadingTimer_;
  QBasicTimer relayoutTimer_;

  // Telemetry of the current recording.
  std::unique_ptr<TelemetryBuffers> buffers_;
  std::mutex gpsMutex_;  // guards gps_ (the GPS panel reads it)
  GpsTrack gps_;
  MapReport report_;
  std::vector<uint8_t> sensor_;
};

}  // namespace tq
