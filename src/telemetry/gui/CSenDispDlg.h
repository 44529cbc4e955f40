// The sensor view: a small player inside the G-sensor settings that plays one recording's
// front picture (CSenDisp), with a play/pause button and a seek bar, and hands the
// recording's G-sensor samples to its owner in step with the picture. GUI thread only,
// except the engine's posts, which arrive as queued events.
#pragma once

#include <QWidget>
#include <mutex>
#include <string>

#include "telemetry/SensorSamples.h"

class QTimer;

namespace tq {

class CSenDisp;
class CVelTextBut;
class CVelTimeBar;

class CSenDispDlg : public QWidget {
  Q_OBJECT
 public:
  static constexpr int kPlayButton = 1230;
  static constexpr int kWaitTimer = 1238;
  static constexpr int kWaitPeriodMs = 100;
  static constexpr int kVideoWidth = 352, kVideoHeight = 240;  // x UI scale

  // `scratchFolder` holds the engine's scratch files.
  CSenDispDlg(const std::string& scratchFolder, QWidget* parent = nullptr);
  ~CSenDispDlg() override;

  // The folder the recordings' names are relative to.
  void SetFolder(const std::string& folder) { folder_ = folder; }
  // Loads and plays "<folder>/<name>.mp4"; an empty name only stops. False when the
  // recording cannot be played (the user has been told).
  bool SetData(const std::string& name);
  void TogglePlay();

  bool Playing() const { return playing_; }
  CSenDisp* Disp() const { return disp_; }
  CVelTextBut* PlayButton() const { return play_; }
  CVelTimeBar* SeekBar() const { return bar_; }
  int WaitFrame() const { return waitFrame_; }

 signals:
  // One G-sensor sample (X, Y, Z in 1/128 g, clamped to +-250) for the owner's sliders.
  void sample(int x, int y, int z);
  // The owner's sliders are to forget what they showed (a new recording, a seek).
  void slidersCleared();
  // The recording played to its end (WM_USER+105 (0, 0) to the owner page).
  void playEnded();

 protected:
  bool event(QEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void paintEvent(QPaintEvent* event) override;

 private:
  void Stop();
  void OnPlayMsg(long long code, long long value);
  void OnSeek(uint32_t ms);
  void ShowPlayState();
  void Refuse();
  void StopWait();

  std::string folder_;
  CSenDisp* disp_;
  CVelTextBut* play_;
  CVelTimeBar* bar_;
  QTimer* wait_;
  int waitFrame_ = 0;  // 0 off, 1 to 12
  bool playing_ = false;
  bool open_ = false;
  // Guards the samples and their cursor (the play-message handler and seeks).
  std::mutex sampleLock_;
  SensorSamples samples_;
};

}  // namespace tq
