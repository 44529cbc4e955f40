// The player panel: holds the playback session window, the seek bar, the speed menu and
// the control row; opens recordings chosen in the file list and answers the engine's
// play messages. GUI thread only.
#pragma once

#include <QWidget>
#include <cstdint>
#include <string>

namespace tq {

struct AppState;
struct CatalogEntry;
class CDispWndWidget;

class CDispCtrlDlg : public QWidget {
  Q_OBJECT
 public:
  // Sign bit of OpenRecording's start: open the rear partner too.
  static constexpr uint32_t kWithRear = 0x80000000u;
  // Close kinds (the close request's wParam).
  static constexpr int kCloseStop = 1;
  static constexpr int kCloseFull = 2;

  // `state` outlives the panel. Requests (a recording ended, stop) go to `mainView`.
  CDispCtrlDlg(AppState* state, QObject* mainView, QWidget* parent = nullptr);
  ~CDispCtrlDlg() override;

  // Opens `entry` of `folder`. start: wanted time of day HHMMSS (0 from the beginning;
  // 240000 added when the recording began the day before), with kWithRear set to play the
  // rear partner. False when it cannot be opened (the user has been told).
  bool OpenRecording(const std::string& folder, CatalogEntry* entry, uint32_t start);
  // Closes what plays; how is the close request's wParam.
  void CloseRecording(int how);
  // Plays the open recording again from its start.
  void Restart();
  void Pause();  // when playing
  bool IsOpen() const;
  bool IsPlaying() const;
  // Space, Left, Right from the application's key filter; true when taken.
  bool Key(int qtKey);

  CDispWndWidget* SessionWindow() const { return view_; }

 private:
  AppState* state_;
  QObject* mainView_;
  CDispWndWidget* view_;  // child
};

}  // namespace tq
