// The GPS panel and the map panel in the real main window, with the real browser and a
// local tile server (Python's http.server over generated tiles whose colour and text
// name their z/x/y). Playing a recording with a route moves the car marker to the sample
// in force; stop hides it; the track line is clickable and seeks the player; a parking
// recording shows its text; the tiles come from the disk cache once the server is gone;
// the track saves as GPX and KML that xmllint accepts. The browser starts once for the
// class: every case runs on the same viewer.
#include <QDateTime>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QPainter>
#include <QProcess>
#include <QSignalSpy>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QTest>
#include <QWebEngineView>
#include <cmath>
#include <memory>

#include "CameraRecording.h"
#include "FileListDrive.h"
#include "FrameTag.h"
#include "GuiTests.h"
#include "ScreenPictures.h"
#include "app/AppSettings.h"
#include "app/LocalizedText.h"
#include "app/gui/CMainFrame.h"
#include "app/gui/CMainView.h"
#include "app/gui/PlayRequests.h"
#include "library/gui/CFileListDlg.h"
#include "playback/gui/CDispWndWidget.h"
#include "player/gui/CDispCtrlDlg.h"
#include "platform/DriveProvider.h"
#include "telemetry/gui/CGpsInfoDlg.h"
#include "telemetry/gui/CGpsMapDlg.h"
#include "telemetry/gui/CMapBut.h"
#include "telemetry/gui/CMapViewEdge.h"

namespace tq::test {
namespace {

constexpr int kWaitMs = 20000;
constexpr QSize kFrontSize{320, 180};
constexpr int kFps = 10;
const QString kRoute = "20261205_101500_NF";    // driving, 20 s
const QString kParking = "20261205_101600_PF";  // parked
const QString kNext = "20261205_101700_NF";     // driving again

// A tile's colour names its x and y (the text on it is for people).
QColor TileColour(int64_t x, int64_t y) { return QColor(40 + int(x % 8) * 25, 40 + int(y % 8) * 25, 200); }

QImage MakeTile(int z, int64_t x, int64_t y) {
  QImage tile(256, 256, QImage::Format_RGB32);
  tile.fill(TileColour(x, y));
  QPainter p(&tile);
  p.setPen(Qt::white);
  p.drawRect(0, 0, 255, 255);
  p.drawText(QRect(4, 4, 248, 20), Qt::AlignLeft, QString("%1/%2/%3").arg(z).arg(x).arg(y));
  return tile;
}

void TileOf(double lat, double lon, int z, int64_t* x, int64_t* y) {
  const double n = std::pow(2.0, z), r = lat * M_PI / 180;
  *x = int64_t(std::floor((lon + 180) / 360 * n));
  *y = int64_t(std::floor((1 - std::asinh(std::tan(r)) / M_PI) / 2 * n));
}

bool Generate(const QString& folder, const QString& start, char type, uint32_t ms, int routeSecond, std::string* error) {
  RecordingSpec spec;
  spec.camera = 0;
  spec.type = type;
  spec.width = kFrontSize.width();
  spec.height = kFrontSize.height();
  spec.fps = kFps;
  spec.gop = kFps;
  spec.sound = false;
  spec.durationMs = ms;
  const QDateTime t = QDateTime::fromString(start, "yyyyMMdd_HHmmss");
  spec.startSeconds = QDateTime(t.date(), t.time(), Qt::UTC).toSecsSinceEpoch();
  spec.telemetrySeed = 11;
  spec.routeSecond = routeSecond;
  spec.parked = type == 'P';
  RecordingResult result;
  return WriteRecording(spec, (folder + "/").toStdString() + RecordingBaseName(spec) + ".mp4", &result, error);
}

int FreePort() {
  QTcpServer s;
  if (!s.listen(QHostAddress::LocalHost, 0)) return 0;
  return s.serverPort();
}

}  // namespace

class MapFlowTest : public QObject {
  Q_OBJECT

  QTemporaryDir dir_;
  QString tiles_, cache_, folder_;
  int port_ = 0;
  QProcess server_;
  AppState state_;
  FixedDriveProvider drives_{{}};
  std::unique_ptr<CMainFrame> frame_;
  CMainView* view_ = nullptr;
  CDispCtrlDlg* player_ = nullptr;
  CGpsMapDlg* map_ = nullptr;
  CGpsInfoDlg* gps_ = nullptr;

  bool StartServer() {
    server_.setProgram("python3");
    server_.setArguments({"-m", "http.server", QString::number(port_), "--bind", "127.0.0.1", "--directory", tiles_});
    server_.start();
    if (!server_.waitForStarted(5000)) return false;
    return QTest::qWaitFor([this] {
      QTcpSocket probe;
      probe.connectToHost("127.0.0.1", quint16(port_));
      return probe.waitForConnected(200);
    }, 10000);
  }
  void StopServer() {
    if (server_.state() == QProcess::NotRunning) return;
    server_.kill();
    server_.waitForFinished(5000);
  }

  // Runs a script in a page and waits for its result.
  static QVariant Eval(CMapViewEdge* browser, const QString& script) {
    QVariant result;
    bool done = false;
    browser->Evaluate(script, [&](const QVariant& v) {
      result = v;
      done = true;
    });
    (void)QTest::qWaitFor([&] { return done; }, 5000);
    return result;
  }
  QVariant Eval(const QString& script) { return Eval(map_->Browser(), script); }
  QJsonObject MarkerOnPage() {
    return QJsonDocument::fromJson(Eval("JSON.stringify(markerState())").toString().toUtf8()).object();
  }
  bool MarkerShown() { return Eval("marker !== null && map.hasLayer(marker)").toBool(); }

  int Row(const QString& name) { return int(view_->FileList()->Names().indexOf(name)); }
  void Play(const QString& name) {
    const int row = Row(name);
    QVERIFY2(row >= 0, qPrintable(name));
    DoubleClick(*view_->FileList(), row);
    QTRY_VERIFY_WITH_TIMEOUT(player_->Started() && player_->CurrentEntry().name == name.toStdString(), kWaitMs);
  }
  void WaitSettled() {
    QTRY_VERIFY_WITH_TIMEOUT(SharedPlayRequests().pending == 0 && !SharedPlayRequests().requestPending, kWaitMs);
  }

  // The front frame the session window shows now.
  FrameTagValue FrontTag() {
    CDispWndWidget* session = player_->SessionWindow();
    if (!session->isVisible()) return {};
    const QImage shot = session->grab().toImage().convertToFormat(QImage::Format_RGB32);
    const std::vector<uint8_t> luma = BackToPicture(shot, kFrontSize.width(), kFrontSize.height(),
                                                    QRect(QPoint(0, 0), kFrontSize), 0);
    return ReadFrameTag(luma.data(), kFrontSize.width(), kFrontSize.width(), kFrontSize.height());
  }

  static void Keep(QWidget* w, const char* name) {
    const QString dir = QString(TQ_BUILD_DIR) + "/artefacts";
    QDir().mkpath(dir);
    QVERIFY(w->grab().save(dir + "/" + name + ".png"));
  }

  // How many of a grid of points over the page show the colour of the tile the map puts
  // there (the rest fall on the tiles' text and edges, the marker, the controls).
  static int TilesMatching(CMapViewEdge* browser) {
    QJsonArray at;
    for (int i = 1; i <= 5; ++i)
      for (int j = 1; j <= 5; ++j) at.append(QJsonArray{browser->width() * i / 6, browser->height() * j / 6});
    const QString script = QString("JSON.stringify(%1.map(function (p) {"
                                   "var q = map.project(map.containerPointToLatLng(L.point(p[0], p[1])), map.getZoom());"
                                   "return [p[0], p[1], Math.floor(q.x / 256), Math.floor(q.y / 256)]; }))")
                               .arg(QString::fromUtf8(QJsonDocument(at).toJson(QJsonDocument::Compact)));
    const QJsonArray tiles = QJsonDocument::fromJson(Eval(browser, script).toString().toUtf8()).array();
    const QImage image = browser->View()->grab().toImage().convertToFormat(QImage::Format_RGB32);
    int matching = 0;
    for (const QJsonValue& v : tiles) {
      const QJsonArray t = v.toArray();
      const QPoint p(t.at(0).toInt(), t.at(1).toInt());
      matching += image.rect().contains(p) && QColor(image.pixel(p)) == TileColour(t.at(2).toInteger(), t.at(3).toInteger());
      if (qEnvironmentVariableIsSet("TQ_DEBUG_TILES"))
        qInfo("%d,%d tile %lld/%lld shown %s want %s img %dx%d", p.x(), p.y(), t.at(2).toInteger(), t.at(3).toInteger(),
              qPrintable(QColor(image.pixel(p)).name()), qPrintable(TileColour(t.at(2).toInteger(), t.at(3).toInteger()).name()),
              image.width(), image.height());
    }
    return matching;
  }

 private slots:
  void initTestCase() {
    QVERIFY(dir_.isValid());
    SetLanguageFile(TQ_SOURCE_DIR "/resources/lng/english.dat");
    folder_ = dir_.path() + "/card/TQ-MB20/Record";
    tiles_ = dir_.path() + "/tiles";
    cache_ = dir_.path() + "/cache";
    QVERIFY(QDir().mkpath(folder_));
    std::string error;
    QVERIFY2(Generate(folder_, "20261205_101500", 'N', 20000, 30, &error), error.c_str());
    QVERIFY2(Generate(folder_, "20261205_101600", 'P', 3000, 0, &error), error.c_str());
    QVERIFY2(Generate(folder_, "20261205_101700", 'N', 3000, 120, &error), error.c_str());

    // Tiles for the start view (zoom 3) and around every point of the drive (zoom 16).
    auto write = [this](int z, int64_t x, int64_t y) {
      const QString d = QString("%1/%2/%3").arg(tiles_).arg(z).arg(x);
      QDir().mkpath(d);
      const QString f = QString("%1/%2.png").arg(d).arg(y);
      if (!QFile::exists(f)) QVERIFY(MakeTile(z, x, y).save(f));
    };
    for (int64_t x = 0; x < 8; ++x)
      for (int64_t y = 0; y < 8; ++y) write(3, x, y);
    // ... and around every point of the drive (zoom 16), before any map asks for them:
    // Leaflet never asks again for a tile that failed.
    QProcess gps;
    gps.start(QString(TQ_BUILD_DIR) + "/tqmb20", {"gps", folder_ + "/" + kRoute + ".mp4", "--format", "csv"});
    QVERIFY(gps.waitForFinished(20000) && gps.exitCode() == 0);
    const QList<QByteArray> lines = gps.readAllStandardOutput().split('\n');
    QVERIFY(lines.size() > 6);
    for (qsizetype i = 1; i < lines.size(); ++i) {
      const QList<QByteArray> f = lines[i].split(',');
      if (f.size() < 9) continue;
      int64_t x, y;
      TileOf(f[6].toDouble(), f[7].toDouble(), 16, &x, &y);
      for (int64_t dx = -3; dx <= 3; ++dx)
        for (int64_t dy = -3; dy <= 3; ++dy) write(16, x + dx, y + dy);
    }
    port_ = FreePort();
    QVERIFY(port_ > 0);
    QVERIFY2(StartServer(), "the tile server did not start");

    QDir().mkpath(dir_.path() + "/settings");
    state_.settingsFolder = (dir_.path() + "/settings/").toStdString();
    state_.settingsFile = state_.settingsFolder + "setup.ini";
    state_.browseFolder = folder_.toStdString();
    state_.exportFolder = (dir_.path() + "/export").toStdString();
    state_.mapTiles = QString("http://127.0.0.1:%1/{z}/{x}/{y}.png").arg(port_).toStdString();
    state_.tileCacheFolder = cache_.toStdString();
    frame_ = std::make_unique<CMainFrame>(&state_, &drives_);
    frame_->GrowOnePixel();
    view_ = frame_->View();
    player_ = view_->PlayerPanel();
    map_ = view_->GpsMap();
    gps_ = view_->GpsInfo();
    CDispCtrlDlg::Dialogs dialogs;
    dialogs.message = [](QWidget*, const QString& text) { QFAIL(qPrintable("message: " + text)); };
    player_->SetDialogs(dialogs);
    frame_->resize(1280, 800);
    frame_->show();
    QVERIFY(QTest::qWaitForWindowExposed(frame_.get()));
    QTRY_VERIFY_WITH_TIMEOUT(map_->PageReady(), kWaitMs);
    QVERIFY(map_->Browser()->isVisible());
  }

  void cleanupTestCase() {
    frame_.reset();
    StopServer();
  }

  void Track_line_has_one_point_per_sample() {
    Play(kRoute);
    WaitSettled();
    size_t samples = 0;
    {
      std::lock_guard<std::mutex> lock(player_->GpsMutex());
      samples = player_->Gps().samples.size();
    }
    QVERIFY(samples >= 6);
    // The line: one point per sample.
    QTRY_COMPARE_WITH_TIMEOUT(Eval("trackPoints").toInt(), int(samples), kWaitMs);
    QCOMPARE(map_->Track().size(), samples);
    player_->RunCommand(CDispCtrlDlg::kIdStop);
    WaitSettled();
  }

  void Marker_sits_on_the_sample_in_force_and_the_panel_prints_it() {
    Play(kRoute);
    WaitSettled();
    for (int moment = 0; moment < 3; ++moment) {
      const int64_t wanted = 1500 + moment * 2000;
      QTRY_VERIFY_WITH_TIMEOUT(player_->Started(), kWaitMs);
      player_->SeekTo(wanted);
      QTRY_VERIFY_WITH_TIMEOUT(player_->LastReport().hasPosition && MarkerOnPage().contains("lat"), kWaitMs);
      if (player_->IsPlaying()) player_->Pause();
      QTest::qWait(300);  // the last position report reaches the page
      const MapReport r = player_->LastReport();
      QTRY_VERIFY_WITH_TIMEOUT(std::abs(MarkerOnPage().value("lat").toDouble() - r.latitude) < 1e-4 &&
                                   std::abs(MarkerOnPage().value("lon").toDouble() - r.longitude) < 1e-4,
                               5000);
      QVERIFY(MarkerShown());
      lastLat_ = r.latitude;
      lastLon_ = r.longitude;
      // The GPS panel prints the same sample.
      // The GPS panel prints the sample the marker was last moved to (a move below 1/10,000
      // degree repaints neither).
      const MapMarker m = map_->Marker();
      QVERIFY(std::abs(m.latitude - r.latitude) < 1e-4 && std::abs(m.longitude - r.longitude) < 1e-4);
      GpsSample s;
      bool found = false;
      {
        std::lock_guard<std::mutex> lock(player_->GpsMutex());
        for (const GpsSample& g : player_->Gps().samples)
          if (NmeaToDegrees(g.latitude) == m.latitude && NmeaToDegrees(g.longitude) == m.longitude) s = g, found = true;
      }
      QVERIFY(found);
      QCOMPARE(gps_->LatitudeText(), QString::fromStdString(CoordinateText(s.latitude, s.ns[0])));
      QCOMPARE(gps_->LongitudeText(), QString::fromStdString(CoordinateText(s.longitude, s.ew[0])));
      player_->RunCommand(CDispCtrlDlg::kIdPlay);
    }
    // The map shows the tiles of its own z/x/y (the map stands still while paused).
    if (player_->IsPlaying()) player_->Pause();
    QTRY_VERIFY_WITH_TIMEOUT(TilesMatching(map_->Browser()) >= 15, kWaitMs);
    QVERIFY(map_->Browser()->Tiles().fromNetwork > 0);
    Keep(frame_.get(), "map-playing");
    // Enlarged map mode from the overlay, and back.
    QTest::mouseClick(map_->Overlay(), Qt::LeftButton, {}, map_->Overlay()->PartRect(CMapBut::kEnlarge).center());
    QTRY_VERIFY(view_->Mode() == ViewMode::EnlargedMap);
    QTRY_COMPARE(map_->geometry(), view_->rect());
    QTest::qWait(500);
    Keep(frame_.get(), "map-enlarged");
    QVERIFY(map_->Overlay()->Enlarged());
    QCOMPARE(map_->Overlay()->ToolTipKey(CMapBut::kEnlarge), QString("res_screen"));
    QTest::mouseClick(map_->Overlay(), Qt::LeftButton, {}, map_->Overlay()->PartRect(CMapBut::kEnlarge).center());
    QTRY_VERIFY(view_->Mode() == ViewMode::Normal);
    if (player_->IsPlaying()) player_->Pause();
    QVERIFY(!map_->Overlay()->Enlarged());
  }

  void Click_on_the_track_seeks_to_that_sample() {
    QVERIFY(player_->IsOpen());
    if (player_->IsPlaying()) player_->Pause();
    player_->SeekTo(500);
    QTest::qWait(500);
    const std::vector<TrackPoint> points = map_->Track();
    QVERIFY(points.size() >= 6);
    const size_t i = points.size() - 2;  // far from the marker near the start
    const QJsonArray at = QJsonDocument::fromJson(Eval(QString("JSON.stringify(pointOnScreen(%1))").arg(i)).toString().toUtf8()).array();
    const QPoint pos(int(std::lround(at.at(0).toDouble())), int(std::lround(at.at(1).toDouble())));
    QVERIFY2(map_->Browser()->rect().contains(pos), qPrintable(QString("%1,%2").arg(pos.x()).arg(pos.y())));
    QVERIFY2(Eval("typeof QWebChannel").toString() == "function", qPrintable(Eval("typeof QWebChannel").toString()));
    QTRY_VERIFY(Eval("host !== null").toBool());
    QWidget* input = map_->Browser()->View()->focusProxy();
    QVERIFY(input);
    QSignalSpy seeks(map_, &CGpsMapDlg::seekRequested);
    QTest::mouseClick(input, Qt::LeftButton, {}, input->mapFrom(map_->Browser(), pos));
    QTRY_COMPARE_WITH_TIMEOUT(seeks.size(), 1, 5000);
    QCOMPARE(seeks.at(0).at(0).toLongLong(), points[i].ms);
    const int second = int(points[i].ms / 1000);
    QTRY_VERIFY_WITH_TIMEOUT(FrontTag().valid() && FrontTag().frame / kFps == second, kWaitMs);
  }

  void Stop_hides_the_marker_and_resets_the_panel() {
    QVERIFY(player_->IsOpen());
    QVERIFY(MarkerShown());
    player_->RunCommand(CDispCtrlDlg::kIdStop);
    WaitSettled();
    QTRY_VERIFY_WITH_TIMEOUT(!MarkerShown(), 5000);
    QCOMPARE(gps_->SpeedValue(), QString("000 km/h "));
    QCOMPARE(gps_->LatitudeText(), QString::fromUtf8(" 0\u00B0 0\u2019   0 N "));
    QCOMPARE(gps_->LongitudeText(), QString::fromUtf8(" 0\u00B0 0\u2019   0 E "));
    QCOMPARE(map_->Marker().state, -1);
  }

  void Labels_and_the_fifth_decimal() {
    // Reports made by hand on the stopped viewer: the marker comes back with the first.
    QVERIFY(!player_->IsOpen());
    MapReport r;
    r.latitude = 35.6812345;
    r.longitude = 139.7671234;
    r.speed = 10;  // knots
    r.hasPosition = 1;
    QCOMPARE(map_->UpdateReport(r), kMarkerAll);
    QTRY_COMPARE_WITH_TIMEOUT(MarkerOnPage().value("label").toString(), QString("18 km/h"), 5000);
    const int calls = Eval("setplayCalls").toInt();
    r.latitude += 0.00004;  // moved in the fifth decimal only
    r.longitude += 0.00003;
    QCOMPARE(map_->UpdateReport(r), 0);
    QTest::qWait(300);
    QCOMPARE(Eval("setplayCalls").toInt(), calls);
    r.parked = 1;
    QCOMPARE(map_->UpdateReport(r), int(kMarkerLabel));
    QTRY_COMPARE_WITH_TIMEOUT(MarkerOnPage().value("label").toString(),
                              QString::fromStdString(LocalizedText(kTextTooltip, "parked")), 5000);
    QCOMPARE(Eval("setplayCalls").toInt(), calls + 1);
    map_->ResetMarker();
  }

  void The_panel_prints_a_southern_latitude() {
    GpsSample s;
    s.latitude = -3723.4567;
    s.ns[0] = 'S';
    s.longitude = 14502.5;
    s.ew[0] = 'E';
    s.speed = 10;
    gps_->UpdateGps(&s, kMarkerAll);
    QCOMPARE(gps_->LatitudeText(), QString::fromUtf8("-37\u00B0 23\u2019 27.4020 S "));
    QCOMPARE(gps_->SpeedValue(), QString("018 km/h "));
    // Only the value column was repainted, and the picture holds the text.
    QCOMPARE(gps_->LastRepaint().right(), gps_->width() - 3);
    QVERIFY(gps_->LastRepaint().left() > gps_->width() / 4);
    gps_->UpdateGps(nullptr, kMarkerAll);
  }

  void Parking_recording_shows_its_text_then_the_map_returns() {
    Play(kParking);
    WaitSettled();
    QTRY_VERIFY(map_->ParkingShown());
    QVERIFY(!map_->Browser()->isVisible());
    // The text is drawn: grey pixels on the panel.
    const QImage shot = map_->grab().toImage();
    int grey = 0;
    for (int y = 0; y < std::min(shot.height(), 60); ++y)
      for (int x = 0; x < shot.width(); ++x) grey += shot.pixelColor(x, y).red() > 90;
    QVERIFY2(grey > 30, qPrintable(QString::number(grey)));
    Keep(frame_.get(), "map-parking");
    player_->RunCommand(CDispCtrlDlg::kIdStop);
    WaitSettled();
    Play(kNext);
    WaitSettled();
    QTRY_VERIFY(!map_->ParkingShown());
    QVERIFY(map_->Browser()->isVisible());
    QTRY_VERIFY_WITH_TIMEOUT(MarkerShown(), kWaitMs);
  }

  void Save_track_writes_GPX_and_KML_that_xmllint_reads() {
    QVERIFY(player_->IsOpen());
    QVERIFY(map_->Overlay()->SaveEnabled());
    const size_t samples = map_->Track().size();
    for (const char* ext : {"gpx", "kml"}) {
      const QString path = dir_.path() + "/saved." + ext;
      QString proposed;
      map_->SetSavePathDialog([&](QWidget*, const QString& p) {
        proposed = p;
        return path;
      });
      QTest::mouseClick(map_->Overlay(), Qt::LeftButton, {}, map_->Overlay()->PartRect(CMapBut::kSave).center());
      QTRY_VERIFY(QFile::exists(path));
      QVERIFY2(proposed.startsWith(QString::fromStdString(state_.exportFolder)), qPrintable(proposed));
      QProcess lint;
      lint.start("xmllint", {"--noout", path});
      QVERIFY(lint.waitForFinished(10000));
      QCOMPARE(lint.exitCode(), 0);
      QFile f(path);
      QVERIFY(f.open(QIODevice::ReadOnly));
      const QByteArray text = f.readAll();
      if (QByteArray(ext) == "gpx") QCOMPARE(size_t(text.count("<trkpt ")), samples);
      else QVERIFY(text.contains("<coordinates>"));
    }
    player_->RunCommand(CDispCtrlDlg::kIdStop);
    WaitSettled();
  }

  void Without_server_and_cache_the_panel_says_not_connected() {
    StopServer();
    QTemporaryDir empty;
    AppState state = {};
    state.mapTiles = state_.mapTiles;
    state.tileCacheFolder = (empty.path() + "/none").toStdString();
    CGpsMapDlg panel(&state, nullptr);
    panel.resize(300, 300);
    panel.show();
    QElapsedTimer t;
    t.start();
    QTRY_COMPARE_WITH_TIMEOUT(panel.MessageText(),
                              QString::fromStdString(LocalizedText(kTextTooltip, "map_not_connected")), 3000);
    QVERIFY(t.elapsed() <= 3000);
    QVERIFY(!panel.PageReady());
    QVERIFY(!panel.Browser()->isVisible());
    Keep(&panel, "map-not-connected");
    // A parking recording opened meanwhile, then the network comes back: the map page
    // becomes ready on its own and still keeps to the parking text.
    QTRY_VERIFY_WITH_TIMEOUT(panel.Browser()->Loaded(), kWaitMs);  // its tiles failed meanwhile
    panel.ShowParking(true);
    QVERIFY(StartServer());
    QTRY_VERIFY_WITH_TIMEOUT(panel.PageReady(), kWaitMs);
    QVERIFY(panel.MessageText().isEmpty());
    QVERIFY(!panel.Browser()->isVisible());
    panel.ShowParking(false);
    QVERIFY(panel.Browser()->isVisible());
    StopServer();
  }

  void Without_server_the_cached_tiles_still_show() {
    StopServer();
    AppState state = {};
    state.mapTiles = state_.mapTiles;
    state.tileCacheFolder = state_.tileCacheFolder;  // filled while the route played
    CGpsMapDlg panel(&state, nullptr);
    panel.resize(400, 400);
    panel.show();
    QTRY_VERIFY_WITH_TIMEOUT(panel.PageReady(), kWaitMs);
    QVERIFY(panel.MessageText().isEmpty());
    // Where the drive was: its tiles are on disk.
    QVERIFY(QDir(cache_).exists());
    MapReport r;
    r.hasPosition = 1;
    r.latitude = lastLat_;
    r.longitude = lastLon_;
    QCOMPARE(panel.UpdateReport(r), kMarkerAll);
    QTRY_VERIFY_WITH_TIMEOUT(TilesMatching(panel.Browser()) >= 15, kWaitMs);
    QVERIFY(panel.Browser()->Tiles().fromCache > 0);
    QCOMPARE(panel.Browser()->Tiles().fromNetwork, 0);
    Keep(&panel, "map-offline-from-cache");
  }

 private:
  double lastLat_ = 0, lastLon_ = 0;
};

QObject* NewMapFlowTest() { return new MapFlowTest; }

}  // namespace tq::test

#include "MapFlowTest.moc"
