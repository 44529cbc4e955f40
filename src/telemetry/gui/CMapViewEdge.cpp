#include "telemetry/gui/CMapViewEdge.h"

#include <QBuffer>
#include <QCoreApplication>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QRegularExpression>
#include <QSaveFile>
#include <QUrl>
#include <QWebChannel>
#include <QWebEngineLoadingInfo>
#include <QWebEnginePage>
#include <QWebEngineProfile>
#include <QWebEngineUrlRequestJob>
#include <QWebEngineUrlScheme>
#include <QWebEngineUrlSchemeHandler>
#include <QWebEngineView>
#include <unistd.h>

#include "app/TraceLog.h"

namespace tq {
namespace {
constexpr char kTag[] = "CMapViewEdge";
constexpr int kTileTimeoutMs = 15000;
constexpr qint64 kMaxTileBytes = 4 << 20;  // a tile is tens of kilobytes; anything far larger is refused
bool g_sandboxOff = false;

QByteArray MimeOf(const QString& name) {
  if (name.endsWith(".html")) return "text/html";
  if (name.endsWith(".js")) return "application/javascript";
  if (name.endsWith(".css")) return "text/css";
  if (name.endsWith(".png")) return "image/png";
  return "application/octet-stream";
}
}  // namespace

// Serves tqmap://page/<file> from the map folder and tqmap://tile/z/x/y.png through the cache.
class MapSchemeHandler : public QWebEngineUrlSchemeHandler {
 public:
  explicit MapSchemeHandler(CMapViewEdge* owner) : QWebEngineUrlSchemeHandler(owner), owner_(owner) {}

  void requestStarted(QWebEngineUrlRequestJob* job) override {
    const QUrl url = job->requestUrl();
    if (url.host() == "tile") {
      owner_->ServeTile(job, url.path());
      return;
    }
    // Only plain file names of the map folder: nothing above it can be reached.
    const QString name = url.path().mid(1);
    static const QRegularExpression plain("^[A-Za-z0-9_.-]+(/[A-Za-z0-9_.-]+)?$");
    if (url.host() != "page" || !plain.match(name).hasMatch() || name.contains("..")) {
      job->fail(QWebEngineUrlRequestJob::UrlInvalid);
      return;
    }
    // The web channel's script comes with Qt, not with the page.
    const QString path = name == "qwebchannel.js" ? QString(":/qtwebchannel/qwebchannel.js")
                                                   : QString::fromStdString(owner_->mapFolder_) + "/" + name;
    auto* file = new QFile(path, job);
    if (!file->open(QIODevice::ReadOnly)) {
      TraceLog(kTag, __LINE__, "map page file missing: %s\n", qPrintable(path));
      job->fail(QWebEngineUrlRequestJob::UrlNotFound);
      return;
    }
    job->reply(MimeOf(name), file);
  }

 private:
  CMapViewEdge* owner_;
};

bool CMapViewEdge::PrepareProcess() {
  QWebEngineUrlScheme scheme(kScheme);
  scheme.setSyntax(QWebEngineUrlScheme::Syntax::Host);
  scheme.setFlags(QWebEngineUrlScheme::SecureScheme | QWebEngineUrlScheme::LocalAccessAllowed |
                  QWebEngineUrlScheme::CorsEnabled);
  QWebEngineUrlScheme::registerScheme(scheme);
  QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
  // Chromium will not start its sandbox as root; the user asked to run as root, so the map
  // runs without it rather than not at all (and the trace says so).
  if (::geteuid() == 0) {
    QByteArray flags = qgetenv("QTWEBENGINE_CHROMIUM_FLAGS");
    if (!flags.contains("--no-sandbox")) qputenv("QTWEBENGINE_CHROMIUM_FLAGS", (flags + " --no-sandbox").trimmed());
    g_sandboxOff = true;
  }
  return g_sandboxOff;
}

bool CMapViewEdge::SandboxOff() { return g_sandboxOff; }

CMapViewEdge::CMapViewEdge(const std::string& mapFolder, const TileSource& tiles, const std::string& cacheRoot,
                           QWidget* parent)
    : QWidget(parent),
      mapFolder_(mapFolder),
      tiles_(tiles),
      cacheRoot_(cacheRoot),
      profile_(new QWebEngineProfile(this)),  // off the record: our own cache keeps the tiles
      view_(new QWebEngineView(this)),
      network_(new QNetworkAccessManager(this)),
      host_(new MapHost(this)) {
  if (g_sandboxOff) TraceLog(kTag, __LINE__, "running as root: the map's browser runs without its sandbox\n");
  if (!tiles_.valid) TraceLog(kTag, __LINE__, "map tile address not usable: %s\n", tiles_.templ.c_str());
  profile_->installUrlSchemeHandler(kScheme, new MapSchemeHandler(this));
  auto* page = new QWebEnginePage(profile_, view_);
  auto* channel = new QWebChannel(page);
  channel->registerObject("host", host_);
  page->setWebChannel(channel);
  view_->setPage(page);
  view_->setContextMenuPolicy(Qt::NoContextMenu);
  connect(host_, &MapHost::pointClicked, this, &CMapViewEdge::pointClicked);
  connect(page, &QWebEnginePage::loadStarted, this, [this] { navigating_ = true; });
  connect(page, &QWebEnginePage::loadFinished, this, [this](bool ok) {
    navigating_ = false;
    loaded_ = ok;
    if (!ok) TraceLog(kTag, __LINE__, "map page did not load\n");
    emit pageLoaded(ok);
  });
}

CMapViewEdge::~CMapViewEdge() {
  // The page must go before its profile.
  delete view_;
  view_ = nullptr;
}

void CMapViewEdge::resizeEvent(QResizeEvent*) {
  if (width() > 0 && height() > 0) view_->setGeometry(rect());
}

void CMapViewEdge::Navigate(const QString& page) {
  QUrl url;
  url.setScheme(kScheme);
  url.setHost("page");
  url.setPath("/" + page);
  url.setFragment(QString::fromStdString(tiles_.attribution));
  loaded_ = false;
  view_->setUrl(url);
}

void CMapViewEdge::ExecuteScript(const QString& script) {
  if (view_ && loaded_) view_->page()->runJavaScript(script);
}

void CMapViewEdge::Evaluate(const QString& script, std::function<void(const QVariant&)> done) {
  if (!view_ || !loaded_) {
    done(QVariant());
    return;
  }
  view_->page()->runJavaScript(script, [done = std::move(done)](const QVariant& v) { done(v); });
}

QString CMapViewEdge::DocumentTitle() const { return view_ ? view_->title() : QString(); }

bool CMapViewEdge::CacheHasTiles() const {
  if (cacheRoot_.empty() || !tiles_.valid) return false;
  QDirIterator it(QString::fromStdString(TileCacheFolder(cacheRoot_, tiles_)), {"*.png"}, QDir::Files,
                  QDirIterator::Subdirectories);
  return it.hasNext();
}

void CMapViewEdge::ServeTile(QWebEngineUrlRequestJob* job, const QString& path) {
  // "/z/x/y.png"
  static const QRegularExpression form("^/(\\d{1,2})/(\\d{1,7})/(\\d{1,7})\\.png$");
  const QRegularExpressionMatch m = form.match(path);
  const int z = m.hasMatch() ? m.captured(1).toInt() : -1;
  const qint64 x = m.hasMatch() ? m.captured(2).toLongLong() : -1, y = m.hasMatch() ? m.captured(3).toLongLong() : -1;
  const std::string address = TileUrl(tiles_, z, x, y);
  if (address.empty()) {
    ++stats_.failed;
    job->fail(QWebEngineUrlRequestJob::UrlInvalid);
    return;
  }
  const QString cached = QString::fromStdString(TileCachePath(cacheRoot_, tiles_, z, x, y));
  if (!cached.isEmpty()) {
    auto* file = new QFile(cached, job);
    if (file->open(QIODevice::ReadOnly) && file->size() > 0) {
      ++stats_.fromCache;
      job->reply("image/png", file);
      return;
    }
    delete file;
  }
  QNetworkRequest request(QUrl(QString::fromStdString(address)));
  // Tile servers ask every program to name itself.
  request.setHeader(QNetworkRequest::UserAgentHeader, "TQ-MB20_Viewer/" + QCoreApplication::applicationVersion());
  request.setTransferTimeout(kTileTimeoutMs);
  request.setAttribute(QNetworkRequest::RedirectPolicyAttribute, QNetworkRequest::NoLessSafeRedirectPolicy);
  QNetworkReply* reply = network_->get(request);
  QPointer<QWebEngineUrlRequestJob> guard(job);
  connect(reply, &QNetworkReply::finished, this, [this, reply, guard, cached] {
    reply->deleteLater();
    const int status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    const QByteArray body = reply->error() == QNetworkReply::NoError ? reply->read(kMaxTileBytes + 1) : QByteArray();
    const bool ok = status == 200 && !body.isEmpty() && body.size() <= kMaxTileBytes;
    if (!ok) {
      ++stats_.failed;
      if (guard) guard->fail(QWebEngineUrlRequestJob::RequestFailed);
      return;
    }
    ++stats_.fromNetwork;
    if (!cached.isEmpty() && QDir().mkpath(QFileInfo(cached).path())) {
      QSaveFile out(cached);  // a tile is either whole on disk or not there
      if (!out.open(QIODevice::WriteOnly) || out.write(body) != body.size() || !out.commit())
        TraceLog(kTag, __LINE__, "tile cache not written: %s\n", qPrintable(cached));
    }
    if (!guard) return;  // the page went away meanwhile
    auto* buffer = new QBuffer(guard);
    buffer->setData(body);
    buffer->open(QIODevice::ReadOnly);
    guard->reply("image/png", buffer);
  });
}

}  // namespace tq
