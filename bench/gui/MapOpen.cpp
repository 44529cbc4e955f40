// The map panel's cost in the whole viewer (run under an X server: bench/map_open.sh).
//   MarkerAfterOpen   time from opening a recording (front + rear, 1080p + 720p) to the car
//                     marker shown on the map page, the page already loaded (warm)
//   ViewerMemory      resident memory of the viewer and its browser processes while the
//                     pair plays with the map shown: rss_mb (sum of RSS, shared pages counted
//                     in every process) and pss_mb (shared pages split: the real total)
// The tiles come from a local http.server over an empty folder (blank tiles): no network.
#include <benchmark/benchmark.h>

#include "BenchMedia.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <cstdio>
#include <cstring>
#include <functional>
#include <fstream>
#include <map>
#include <memory>
#include <sstream>
#include <string>

#include "app/AppSettings.h"
#include "app/LocalizedText.h"
#include "app/gui/CMainFrame.h"
#include "app/gui/CMainView.h"
#include "controls/GuiSkin.h"
#include "library/gui/CFileListDlg.h"
#include "platform/DriveProvider.h"
#include "playback/gui/ScreenDraw.h"
#include "player/gui/CDispCtrlDlg.h"
#include "telemetry/gui/CGpsMapDlg.h"
#include "telemetry/gui/CMapViewEdge.h"

namespace tq {
namespace {

// Named after the generator's own clock, so the GPS samples fall inside the recording.
const BenchPair pair = NameBenchPair("20261205_081500");

bool Wait(const std::function<bool()>& done, int ms) {
  QElapsedTimer t;
  t.start();
  while (!done()) {
    if (t.elapsed() > ms) return false;
    QApplication::processEvents(QEventLoop::AllEvents, 2);
  }
  return true;
}

// One field of /proc/PID/<file> in kB ("VmRSS:", "Pss:").
long ProcKb(int pid, const char* file, const char* field) {
  std::ifstream in("/proc/" + std::to_string(pid) + "/" + file);
  std::string line;
  while (std::getline(in, line))
    if (line.rfind(field, 0) == 0) return std::stol(line.substr(std::strlen(field)));
  return 0;
}

// This process and all its descendants (the browser's helpers).
std::vector<int> ProcessTree() {
  std::map<int, int> parent;
  for (const QString& name : QDir("/proc").entryList(QDir::Dirs)) {
    bool ok = false;
    const int pid = name.toInt(&ok);
    if (!ok) continue;
    std::ifstream in("/proc/" + std::to_string(pid) + "/stat");
    std::string stat((std::istreambuf_iterator<char>(in)), {});
    const size_t close = stat.rfind(')');
    if (close == std::string::npos) continue;
    std::istringstream rest(stat.substr(close + 2));
    char state;
    int ppid = 0;
    rest >> state >> ppid;
    parent[pid] = ppid;
  }
  std::vector<int> tree = {int(QCoreApplication::applicationPid())};
  for (size_t i = 0; i < tree.size(); ++i)
    for (auto [pid, ppid] : parent)
      if (ppid == tree[i]) tree.push_back(pid);
  return tree;
}

struct Viewer {
  QTemporaryDir dir;
  QProcess server;
  int port = 0;
  AppState state;
  FixedDriveProvider drives{{}};
  std::unique_ptr<CMainFrame> frame;
  CMainView* view = nullptr;

  bool Start() {
    const QString folder = dir.path() + "/card";
    QDir().mkpath(folder);
    QDir().mkpath(dir.path() + "/tiles");
    for (const std::string& f : {pair.front, pair.rear})
      if (!QFile::copy(QString::fromStdString(f), folder + "/" + QFileInfo(QString::fromStdString(f)).fileName())) return false;
    {
      QTcpServer s;
      if (!s.listen(QHostAddress::LocalHost, 0)) return false;
      port = s.serverPort();
    }
    server.start("python3", {"-m", "http.server", QString::number(port), "--bind", "127.0.0.1", "--directory",
                             dir.path() + "/tiles"});
    if (!server.waitForStarted(5000) || !Wait([this] {
          QTcpSocket probe;
          probe.connectToHost("127.0.0.1", quint16(port));
          return probe.waitForConnected(100);
        }, 10000))
      return false;
    state.settingsFolder = (dir.path() + "/").toStdString();
    state.settingsFile = state.settingsFolder + "setup.ini";
    state.browseFolder = folder.toStdString();
    state.videoPip = 1;
    state.mapTiles = QString("http://127.0.0.1:%1/{z}/{x}/{y}.png").arg(port).toStdString();
    state.tileCacheFolder = (dir.path() + "/cache").toStdString();
    frame = std::make_unique<CMainFrame>(&state, &drives);
    view = frame->View();
    frame->resize(1600, 900);
    frame->show();
    return Wait([this] { return view->GpsMap()->PageReady(); }, 30000);
  }
  ~Viewer() {
    frame.reset();
    server.kill();
    server.waitForFinished(3000);
  }
  bool MarkerShown() {
    bool done = false, shown = false;
    view->GpsMap()->Browser()->Evaluate("marker !== null && map.hasLayer(marker)", [&](const QVariant& v) {
      shown = v.toBool();
      done = true;
    });
    Wait([&] { return done; }, 2000);
    return shown;
  }
  bool Open() {
    CFileListDlg* list = view->FileList();
    const int row = int(list->Names().indexOf(QFileInfo(QString::fromStdString(pair.front)).baseName()));
    if (row < 0) return false;
    return view->PlayerPanel()->OpenRecording(list->Folder(), list->EntryAt(row), CDispCtrlDlg::kWithRear);
  }
};

std::unique_ptr<Viewer> v;  // one viewer for both benchmarks, gone before the application

Viewer* Shared() {
  if (!v) {
    v = std::make_unique<Viewer>();
    if (!v->Start()) v.reset();
  }
  return v.get();
}

void MarkerAfterOpen(benchmark::State& state) {
  if (!MakeBenchPair(&pair, 20)) return state.SkipWithError("cannot generate the media");
  Viewer* v = Shared();
  if (!v) return state.SkipWithError("the viewer or its map page did not start");
  for (auto _ : state) {
    QElapsedTimer t;
    t.start();
    if (!v->Open()) return state.SkipWithError("the pair did not open");
    if (!Wait([v] { return v->MarkerShown(); }, 20000)) return state.SkipWithError("no marker");
    state.SetIterationTime(t.elapsed() / 1000.0);
    v->view->PlayerPanel()->CloseRecording(CDispCtrlDlg::kCloseStop);
    Wait([v] { return !v->MarkerShown(); }, 5000);
  }
}

void ViewerMemory(benchmark::State& state) {
  if (!MakeBenchPair(&pair, 20)) return state.SkipWithError("cannot generate the media");
  Viewer* v = Shared();
  if (!v) return state.SkipWithError("the viewer or its map page did not start");
  double rss = 0, pss = 0;
  for (auto _ : state) {
    if (!v->Open()) return state.SkipWithError("the pair did not open");
    Wait([] { return false; }, 8000);  // plays, the marker moving
    rss = pss = 0;
    for (int pid : ProcessTree()) {
      rss += ProcKb(pid, "status", "VmRSS:");
      pss += ProcKb(pid, "smaps_rollup", "Pss:");
    }
    v->view->PlayerPanel()->CloseRecording(CDispCtrlDlg::kCloseStop);
    state.SetIterationTime(8);
  }
  state.counters["rss_mb"] = rss / 1024;
  state.counters["pss_mb"] = pss / 1024;
  state.counters["processes"] = double(ProcessTree().size());
}

}  // namespace
}  // namespace tq

int main(int argc, char** argv) {
  tq::CMapViewEdge::PrepareProcess();
  QApplication app(argc, argv);
  tq::InitGuiSkin(1, tq::UiFontsFor("english", 1));
  tq::RegisterScreenDraw(true);
  tq::SetLanguageFile(std::string(TQ_BUILD_DIR) + "/lng/english.dat");
  benchmark::Initialize(&argc, argv);
  benchmark::RegisterBenchmark("MarkerAfterOpen/warm_page", tq::MarkerAfterOpen)->Iterations(5)->UseManualTime()->Unit(benchmark::kMillisecond);
  benchmark::RegisterBenchmark("ViewerMemory/pair_with_map", tq::ViewerMemory)->Iterations(1)->UseManualTime()->Unit(benchmark::kSecond);
  benchmark::RunSpecifiedBenchmarks();
  tq::v.reset();
  benchmark::Shutdown();
  return 0;
}
