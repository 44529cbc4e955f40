// The browser host of the map panel: a QWebEngineView on a private profile whose "tqmap"
// scheme serves the map page from the program's map folder and the map tiles through a
// disk cache in the user's cache folder. Scripts go to the page with ExecuteScript; the
// page calls back through the web channel object "host". GUI thread only.
#pragma once

#include <QPointer>
#include <QWidget>
#include <functional>
#include <string>

#include "telemetry/MapTrack.h"

class QNetworkAccessManager;
class QWebEngineProfile;
class QWebEngineView;
class QWebEngineUrlRequestJob;

namespace tq {

// The page's way back to the program (the web channel object "host").
class MapHost : public QObject {
  Q_OBJECT
 public:
  using QObject::QObject;
  // A click on the track line: the point's index and its moment (ms from the start).
  Q_INVOKABLE void seekToPoint(int index, double ms) { emit pointClicked(index, qint64(ms)); }
 signals:
  void pointClicked(int index, qint64 ms);
};

// Counts of the tiles served, for the tests and the trace.
struct TileStats {
  int fromCache = 0;
  int fromNetwork = 0;
  int failed = 0;
};

class CMapViewEdge : public QWidget {
  Q_OBJECT
 public:
  static constexpr int kControlId = 1001;
  static constexpr char kScheme[] = "tqmap";

  // Once, before the QApplication exists: registers the page's URL scheme, shares the GL
  // contexts WebEngine needs and, only when running as root (where Chromium refuses its
  // sandbox), turns the sandbox off. Returns true when the sandbox was turned off.
  static bool PrepareProcess();
  static bool SandboxOff();

  // mapFolder holds gmap.html and the Leaflet files; tiles are cached below cacheRoot.
  CMapViewEdge(const std::string& mapFolder, const TileSource& tiles, const std::string& cacheRoot,
               QWidget* parent = nullptr);
  ~CMapViewEdge() override;

  // Loads a page of the map folder ("gmap.html").
  void Navigate(const QString& page);
  // Runs a script in the page; lost when the page has not loaded (as the page would lose it).
  void ExecuteScript(const QString& script);
  // Runs a script and hands its result back on the GUI thread.
  void Evaluate(const QString& script, std::function<void(const QVariant&)> done);
  bool Navigating() const { return navigating_; }
  bool Loaded() const { return loaded_; }
  QString DocumentTitle() const;
  QWebEngineView* View() const { return view_; }
  const TileStats& Tiles() const { return stats_; }
  // Any tile of this source kept on disk (the map can show without a network).
  bool CacheHasTiles() const;

 signals:
  void pageLoaded(bool ok);
  void pointClicked(int index, qint64 ms);

 protected:
  void resizeEvent(QResizeEvent* event) override;

 private:
  friend class MapSchemeHandler;
  void ServeTile(QWebEngineUrlRequestJob* job, const QString& path);

  std::string mapFolder_;
  TileSource tiles_;
  std::string cacheRoot_;
  QWebEngineProfile* profile_;
  QWebEngineView* view_;
  QNetworkAccessManager* network_;
  MapHost* host_;
  bool navigating_ = false;
  bool loaded_ = false;
  TileStats stats_;
};

}  // namespace tq
