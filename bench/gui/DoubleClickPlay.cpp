// From a double click on a row of the file list to the first picture of the recording
// painted in the window, over the real main frame on the demo card (made once by the
// sample generator into the build folder). Every front recording of the card is opened
// in turn, as a person does it; reported in milliseconds (goal: under 150):
//   first_picture_ms     median over the rows
//   first_picture_max_ms the slowest row
// Run under an X server or the offscreen platform (bench/screen_playback.sh runs it).
#include <benchmark/benchmark.h>

#include "BenchMedia.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QTest>
#include <algorithm>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "app/AppSettings.h"
#include "app/gui/CMainFrame.h"
#include "app/gui/CMainView.h"
#include "controls/CVelListCtrl.h"
#include "library/gui/CFileListDlg.h"
#include "platform/DriveProvider.h"
#include "playback/CDispWnd.h"
#include "playback/gui/CDispWndWidget.h"
#include "playback/gui/ViewSurface.h"
#include "player/gui/CDispCtrlDlg.h"

namespace tq {
namespace {

const std::string kCard = std::string(TQ_BUILD_DIR) + "/bench-media/demo-card";

bool EnsureCard() {
  if (std::filesystem::exists(kCard + "/TQ-MB20/Record")) return true;
  return RunShell(std::string(TQ_BUILD_DIR) + "/tqmb20-gen --demo-card '" + kCard + "' --seed 1 >/dev/null");
}

// The number of pictures the surface has shown since the session cleared it: a present
// of a slot that holds a picture.
bool PictureShown(ViewSurface* s, uint64_t serialBefore) {
  PictureSlot& slot = s->slot();
  std::lock_guard<std::mutex> lock(slot.mutex);
  return !slot.black && slot.serial > serialBefore;
}

void DoubleClickToPicture(benchmark::State& state) {
  if (!EnsureCard()) return state.SkipWithError("cannot make the demo card");
  QTemporaryDir settings;
  AppState app;
  app.settingsFolder = (settings.path() + "/").toStdString();
  app.settingsFile = app.settingsFolder + "setup.ini";
  app.browseFolder = kCard + "/TQ-MB20/Record";
  app.exportFolder = (settings.path() + "/export").toStdString();
  app.videoPip = 1;
  FixedDriveProvider drives{{}};
  CMainFrame frame(&app, &drives);
  frame.show();
  if (!QTest::qWaitForWindowExposed(&frame)) return state.SkipWithError("no window");
  CFileListDlg* list = frame.View()->FileList();
  CDispCtrlDlg* player = frame.View()->PlayerPanel();
  std::vector<int> rows;
  const QStringList names = list->Names();
  for (int row = 0; row < names.size(); ++row)
    if (names[row].contains("_NF") || names[row].contains("_EF") || names[row].contains("F."))
      rows.push_back(row);
  if (rows.empty()) return state.SkipWithError("no front recording listed");
  std::vector<double> ms;
  for (auto _ : state) {
    for (int row : rows) {
      QWidget* viewport = list->List()->viewport();
      const QPoint at = list->List()->visualItemRect(list->List()->item(row, 0)).center();
      QTest::mouseClick(viewport, Qt::LeftButton, {}, at);
      QApplication::processEvents();
      ViewSurface* surface = player->SessionWindow()->FrontSurface();
      uint64_t before = 0;
      {
        std::lock_guard<std::mutex> lock(surface->slot().mutex);
        before = surface->slot().serial;
      }
      QElapsedTimer timer;
      timer.start();
      QTest::mouseDClick(viewport, Qt::LeftButton, {}, at);
      const uint64_t presents = surface->presents();
      // The first picture painted: a present after a new picture reached the slot.
      while (timer.elapsed() < 10000 && !(PictureShown(surface, before) && surface->presents() > presents))
        QApplication::processEvents(QEventLoop::AllEvents, 1);
      ms.push_back(double(timer.nsecsElapsed()) / 1e6);
      QTest::mouseRelease(viewport, Qt::LeftButton, {}, at);
      player->SessionWindow()->Session().StopPlay();
      QApplication::processEvents();
    }
  }
  std::sort(ms.begin(), ms.end());
  state.counters["rows"] = double(rows.size());
  state.counters["first_picture_ms"] = ms[ms.size() / 2];
  state.counters["first_picture_max_ms"] = ms.back();
}

}  // namespace
}  // namespace tq

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  benchmark::Initialize(&argc, argv);
  benchmark::RegisterBenchmark("DoubleClickToFirstPicture", tq::DoubleClickToPicture)->Iterations(1)->Unit(benchmark::kMillisecond);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
