#include "telemetry/gui/CGpsMapDlg.h"

#include <QDir>
#include <QFileDialog>
#include <QPainter>
#include <QResizeEvent>
#include <QSaveFile>
#include <QTimerEvent>

#include "app/AppSettings.h"
#include "app/LocalizedText.h"
#include "app/TextKeys.h"
#include "app/TraceLog.h"
#include "controls/CMsgBox.h"
#include "controls/GuiSkin.h"
#include "platform/Folders.h"
#include "telemetry/TrackWriters.h"
#include "telemetry/gui/CMapBut.h"
#include "telemetry/gui/CMapViewEdge.h"

namespace tq {
namespace {
constexpr char kTag[] = "CGpsMapDlg";
constexpr int kLoadingPeriodMs = 100;
constexpr int kReadyPeriodMs = 300;
constexpr int kResendPeriodMs = 100;
constexpr int kAnimationSide = 100;  // x scale
const QColor kMessageColour(128, 133, 137);

QString Localized(const char* key) { return QString::fromStdString(LocalizedText(kTextTooltip, key)); }

QString DefaultSavePath(QWidget* parent, const QString& proposed) {
  QFileDialog dialog(parent, QString(), proposed, "GPX (*.gpx);;KML (*.kml)");
  dialog.setAcceptMode(QFileDialog::AcceptSave);
  dialog.setDefaultSuffix("gpx");
  dialog.selectFile(proposed);
  QObject::connect(&dialog, &QFileDialog::filterSelected, &dialog, [&dialog](const QString& filter) {
    dialog.setDefaultSuffix(filter.startsWith("KML") ? "kml" : "gpx");
  });
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return QString();
  return dialog.selectedFiles().first();
}

std::string MapFolder(const AppState& state) {
  const std::string program = state.programFolder.empty() ? ProgramFolder() : state.programFolder;
  return program + "/map";
}

TileSource TilesOf(const AppState& state) {
  if (state.mapTiles.empty()) return TileSource{};  // no tile source at all: nothing goes out
  return ParseTileSource(state.mapTiles);
}
}  // namespace

CGpsMapDlg::CGpsMapDlg(AppState* state, QWidget* target, QWidget* parent)
    : QWidget(parent),
      state_(state),
      tiles_(TilesOf(*state)),
      browser_(new CMapViewEdge(MapFolder(*state), tiles_, state->tileCacheFolder, this)),
      overlay_(new CMapBut(target, this)),
      parkedText_(LocalizedText(kTextTooltip, "parked")),
      savePath_(DefaultSavePath) {
  setAttribute(Qt::WA_OpaquePaintEvent);
  browser_->hide();  // shown once the page is ready
  browser_->setGeometry(rect());
  overlay_->show();
  connect(browser_, &CMapViewEdge::pageLoaded, this, &CGpsMapDlg::OnPageLoaded);
  connect(browser_, &CMapViewEdge::pointClicked, this, [this](int index, qint64 ms) {
    if (index < 0 || size_t(index) >= points_.size()) return;  // a stale click of an older track
    TraceLog(kTag, __LINE__, "track point %d clicked: seek to %lld ms\n", index, static_cast<long long>(ms));
    emit seekRequested(points_[size_t(index)].ms);
  });
  connect(overlay_, &CMapBut::saveClicked, this, [this] { SaveTrack(); });
  probeTimeout_.setSingleShot(true);
  connect(&probeTimeout_, &QTimer::timeout, this, [this] {
    if (!probe_) return;
    probe_->disconnect(this);
    probe_->abort();
    probe_->deleteLater();
    probe_ = nullptr;
    ProbeDone(false);
  });
  // Without any tile source there is no map to show: the page is not even loaded.
  if (tiles_.valid) browser_->Navigate("gmap.html");
  StartProbe();
  timer_.start(kLoadingPeriodMs, this);
}

CGpsMapDlg::~CGpsMapDlg() {
  if (probe_) probe_->disconnect(this);
}

MapMarker CGpsMapDlg::Marker() {
  std::lock_guard<std::mutex> lock(markerLock_);
  return marker_;
}

void CGpsMapDlg::Send(const QString& script) {
  ++scriptsSent_;
  browser_->ExecuteScript(script);
}

int32_t CGpsMapDlg::UpdateReport(const MapReport& report) {
  std::lock_guard<std::mutex> lock(markerLock_);
  const int32_t flags = tq::UpdateReport(marker_, report, unit_, parkedText_);
  if (flags && !pageNotReady_) Send(QString::fromStdString(SetPlayScript(marker_, flags)));
  return flags;
}

void CGpsMapDlg::ResetMarker() {
  std::lock_guard<std::mutex> lock(markerLock_);
  marker_ = MapMarker{};
  Send("clearOvr();");
}

void CGpsMapDlg::ShowParking(bool on) {
  parkingShown_ = on;
  ShowBrowser();
  update();
}

void CGpsMapDlg::ShowBrowser() {
  browser_->setVisible(!pageNotReady_ && !parkingShown_);
  overlay_->setVisible(hasButtons_ && !parkingShown_);
  overlay_->raise();
}

void CGpsMapDlg::SetTrack(const GpsTrack& track, const std::string& name, const std::string& date) {
  track_.samples = track.samples;
  track_.startOfDay = track.startOfDay;
  track_.parked = track.parked;
  points_ = TrackPoints(track_);
  trackName_ = name;
  trackDate_ = date;
  overlay_->SetSaveEnabled(!points_.empty());
  if (!pageNotReady_) Send(QString::fromStdString(TrackScript(points_)));  // else sent when ready
}

void CGpsMapDlg::ClearTrack() {
  tq::ClearTrack(track_);
  points_.clear();
  trackName_.clear();
  trackDate_.clear();
  overlay_->SetSaveEnabled(false);
  Send("clearTrack();");
}

bool CGpsMapDlg::SaveTrack() {
  if (points_.empty()) return false;
  const QString folder = QString::fromStdString(state_->exportFolder.empty() ? HomeFolder() : state_->exportFolder);
  const QString proposed = QDir(folder).filePath(QString::fromStdString(trackName_.empty() ? "track" : trackName_) + ".gpx");
  const QString path = savePath_ ? savePath_(this, proposed) : QString();
  if (path.isEmpty()) return false;
  const TrackFormat format = path.endsWith(".kml", Qt::CaseInsensitive) ? TrackFormat::Kml : TrackFormat::Gpx;
  const std::string text = WriteTrack(track_, format, trackName_, trackDate_);
  QSaveFile out(path);  // a failed write leaves any older file as it was
  if (!out.open(QIODevice::WriteOnly) || out.write(text.data(), qint64(text.size())) != qint64(text.size()) ||
      !out.commit()) {
    TraceLog(kTag, __LINE__, "track not saved: %s (%s)\n", qPrintable(path), qPrintable(out.errorString()));
    ShowMsgBox(this, Localized("unknown_error") + "\n[ " + path + " ]", kMsgExclamation);
    return false;
  }
  TraceLog(kTag, __LINE__, "track saved: %s\n", qPrintable(path));
  return true;
}

void CGpsMapDlg::SetEnlarged(bool on) { overlay_->SetEnlarged(on); }

void CGpsMapDlg::OnPageLoaded(bool ok) {
  if (!ok) return;  // stays loading; the probe decides what the user is told
  MaybeReady();
}

void CGpsMapDlg::MaybeReady() {
  if (!pageNotReady_ || !browser_->Loaded()) return;
  // Tiles kept on disk show the map without a network.
  if (probeOk_ || browser_->CacheHasTiles()) OnPageReady();
}

void CGpsMapDlg::OnPageReady() {
  TraceLog(kTag, __LINE__, "map page ready (%s)\n", probeOk_ ? "tiles reachable" : "tiles from the cache");
  timer_.stop();
  waitingFrame_ = 0;
  pageNotReady_ = false;
  message_.clear();
  Send("setZoom(16);");
  if (!points_.empty()) Send(QString::fromStdString(TrackScript(points_)));
  ShowBrowser();
  timer_.start(kReadyPeriodMs, this);
  update();
  emit pageReady();
}

void CGpsMapDlg::StartProbe() {
  if (probe_) return;
  if (!tiles_.valid) {
    ProbeDone(false);
    return;
  }
  probe_ = new QTcpSocket(this);
  auto finish = [this](bool ok) {
    if (!probe_) return;
    probeTimeout_.stop();
    probe_->disconnect(this);
    probe_->abort();
    probe_->deleteLater();
    probe_ = nullptr;
    ProbeDone(ok);
  };
  connect(probe_, &QTcpSocket::connected, this, [finish] { finish(true); });
  connect(probe_, &QTcpSocket::errorOccurred, this, [finish] { finish(false); });
  probeTimeout_.start(kProbeTimeoutMs);
  probe_->connectToHost(QString::fromStdString(tiles_.host), quint16(tiles_.port));
}

void CGpsMapDlg::ProbeDone(bool ok) {
  probeOk_ = ok;
  if (!pageNotReady_) return;
  if (ok) {
    if (!message_.isEmpty()) {
      message_.clear();
      update();
    }
    MaybeReady();
    return;
  }
  if (browser_->CacheHasTiles()) {
    MaybeReady();
    return;
  }
  if (message_.isEmpty()) {
    TraceLog(kTag, __LINE__, "map tiles cannot be reached: %s:%d\n", tiles_.host.c_str(), tiles_.port);
    message_ = Localized("map_not_connected");
    update();
  }
}

void CGpsMapDlg::timerEvent(QTimerEvent* event) {
  if (event->timerId() != timer_.timerId()) return QWidget::timerEvent(event);
  if (waitingFrame_ != 0) {
    // Loading: the animation runs; every 1.2 s the tile host is probed again, so the map
    // comes as soon as the network does.
    if (++waitingFrame_ > kWaitFrames) {
      waitingFrame_ = 1;
      StartProbe();
    }
    if (message_.isEmpty()) update(AnimationRect());
    return;
  }
  std::lock_guard<std::mutex> lock(markerLock_);
  timer_.stop();
  pageNotReady_ = false;
  if (marker_.state == 0) Send(QString::fromStdString(SetPlayScript(marker_, kMarkerAll)));
}

QRect CGpsMapDlg::AnimationRect() const {
  const int half = kAnimationSide * GuiScale() / 2;
  return QRect(rect().center() - QPoint(half, half), QSize(2 * half, 2 * half));
}

void CGpsMapDlg::resizeEvent(QResizeEvent*) {
  if (width() < 1) return;
  browser_->setGeometry(rect());
  if (!pageNotReady_ && Marker().state == 0) timer_.start(kResendPeriodMs, this);  // re-centres the map
  overlay_->resize(overlay_->sizeHint());
  overlay_->move(width() - overlay_->width() - 8, 8);
  overlay_->raise();
  if (waitingFrame_ != 0 || !message_.isEmpty()) update();
}

void CGpsMapDlg::paintEvent(QPaintEvent*) {
  QPainter p(this);
  p.fillRect(rect(), kPlayerBack);
  if (waitingFrame_ == 0 && !parkingShown_) return;
  const QString text = parkingShown_ ? Localized("map_parking_mode") : message_;
  if (text.isEmpty()) {
    if (const QPixmap* frame = WaitAnimationList().At(waitingFrame_ - 1)) p.drawPixmap(AnimationRect(), *frame);
    return;
  }
  p.setPen(kMessageColour);
  p.setFont(GuiFont(UiFontKind::Normal));
  p.drawText(rect().adjusted(4, 4, -4, -4), Qt::AlignHCenter | Qt::AlignTop | Qt::TextWordWrap, text);
}

}  // namespace tq
