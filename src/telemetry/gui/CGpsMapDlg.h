// The map panel: the map page in the browser host, the car marker moved along the track
// during playback, the track line of the open recording, the waiting animation while the
// page loads, and the "not connected" and parking texts instead of the map. The overlay
// enlarges the panel and saves the track. GUI thread only.
#pragma once

#include <QBasicTimer>
#include <QTcpSocket>
#include <QTimer>
#include <QWidget>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

#include "telemetry/GpsPanelText.h"
#include "telemetry/MapTrack.h"

namespace tq {

struct AppState;
class CMapBut;
class CMapViewEdge;

class CGpsMapDlg : public QWidget {
  Q_OBJECT
 public:
  static constexpr int kTimerId = 1237;
  static constexpr int kWaitFrames = 12;
  static constexpr int kProbeTimeoutMs = 1000;

  // Where the track is saved: the chosen path ("" on cancel). Replaceable for tests.
  using SavePathDialog = std::function<QString(QWidget* parent, const QString& proposed)>;

  // `target` (the main view) owns the enlarged layout. The tile source and the cache
  // come from `state` ([map] "tiles", the user's cache folder).
  CGpsMapDlg(AppState* state, QWidget* target, QWidget* parent = nullptr);
  ~CGpsMapDlg() override;

  // A position report: returns the change flags (0 nothing changed) and sends the marker
  // when the page is ready.
  int32_t UpdateReport(const MapReport& report);
  // Playback stopped: no marker, and the page hides it.
  void ResetMarker();
  // A parking recording shows its text instead of the map; a normal one the map again.
  void ShowParking(bool on);
  // The open recording's track (copied): drawn as a line, clickable, saved by the button.
  // `name` titles a saved track, `date` is YYYYMMDD ("" unknown).
  void SetTrack(const GpsTrack& track, const std::string& name, const std::string& date);
  void ClearTrack();
  // Saves the track through the dialog; false when nothing was written.
  bool SaveTrack();
  void SetSavePathDialog(SavePathDialog dialog) { savePath_ = std::move(dialog); }
  // The enlarged map mode was entered or left.
  void SetEnlarged(bool on);

  bool PageReady() const { return !pageNotReady_; }
  int WaitingFrame() const { return waitingFrame_; }
  bool ParkingShown() const { return parkingShown_; }
  QString MessageText() const { return message_; }
  CMapViewEdge* Browser() const { return browser_; }
  CMapBut* Overlay() const { return overlay_; }
  MapMarker Marker();
  const std::vector<TrackPoint>& Track() const { return points_; }
  // Scripts sent to the page so far (the page counts what it received itself).
  int ScriptsSent() const { return scriptsSent_; }

 signals:
  // A click on the track line: seek the player there (ms from the recording's start).
  void seekRequested(qint64 ms);
  // The page is ready (zoomed, shown).
  void pageReady();

 protected:
  void paintEvent(QPaintEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void timerEvent(QTimerEvent* event) override;

 private:
  void Send(const QString& script);
  void OnPageLoaded(bool ok);
  void MaybeReady();
  void OnPageReady();
  void StartProbe();
  void ProbeDone(bool ok);
  void ShowBrowser();
  QRect AnimationRect() const;

  AppState* state_;
  TileSource tiles_;
  CMapViewEdge* browser_;
  CMapBut* overlay_;
  std::mutex markerLock_;
  MapMarker marker_;
  std::string parkedText_;
  int32_t unit_ = kSpeedKmh;
  bool pageNotReady_ = true;
  int waitingFrame_ = 1;
  bool parkingShown_ = false;
  bool hasButtons_ = true;
  bool pageLoaded_ = false;
  bool probeOk_ = false;
  QString message_;
  QBasicTimer timer_;
  QTcpSocket* probe_ = nullptr;
  QTimer probeTimeout_;
  int scriptsSent_ = 0;
  // Track of the open recording.
  GpsTrack track_;
  std::vector<TrackPoint> points_;
  std::string trackName_;
  std::string trackDate_;
  SavePathDialog savePath_;
};

}  // namespace tq
