// The timeline panel in the real main window on a card of generated recordings: a calendar
// click filters the file list to its day and a second click lists every day again; an hour
// click plays the recording that covers the hour's first marked minute from that minute; a
// minute, a slot and a graph click seek the playing recording; the graph shows a jolt with
// its event marker, whose double click seeks 3 s before it; playback over midnight moves
// the timeline and the calendar to the next day. What plays is read back from the frame tag
// in grabbed pictures of the window.
#include <QApplication>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QMouseEvent>
#include <QTemporaryDir>
#include <QTest>
#include <cmath>
#include <cstdlib>
#include <memory>
#include <string>

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
#include "controls/GuiSkin.h"
#include "library/gui/CFileListDlg.h"
#include "platform/DriveProvider.h"
#include "playback/gui/CDispWndWidget.h"
#include "player/SeekBarModel.h"
#include "player/gui/CDispCtrlDlg.h"
#include "player/gui/CVelTimeBar.h"
#include "telemetry/gui/CTimeLineDlg.h"
#include "telemetry/gui/CVel3GFLine.h"
#include "telemetry/gui/CVelCalendar.h"
#include "telemetry/gui/CVelTimeLine.h"

namespace tq::test {
namespace {

constexpr int kWaitMs = 15000;
constexpr int kFps = 10;
constexpr QSize kFrontSize{320, 180};

struct Recording {
  const char* start;  // YYYYMMDD_HHMMSS
  int seconds;
  uint32_t joltMs;
  int jolt;           // 1/128 g; 0 for none
};
// Hour 10 of the 5th: 10:14:30 for 2 min with a jolt at 50 s (2 s per slot: slot 25).
// Across midnight: 23:59:45 for 30 s. The 6th: 08:59:40 for 60 s runs into hour 9, whose
// own recording starts at 09:30.
constexpr Recording kCard[] = {
    {"20261205_101430", 120, 50000, 120},
    {"20261205_235945", 30, 0, 0},
    {"20261206_085940", 60, 0, 0},
    {"20261206_093000", 20, 0, 0},
};
const QString kHourTen = "20261205_101430_NF";
const QString kMidnight = "20261205_235945_NF";
const QString kBeforeNine = "20261206_085940_NF";

bool Generate(const QString& folder, const Recording& r, std::string* error) {
  const QDateTime t = QDateTime::fromString(r.start, "yyyyMMdd_HHmmss");
  RecordingSpec spec;
  spec.width = kFrontSize.width();
  spec.height = kFrontSize.height();
  spec.fps = kFps;
  spec.gop = kFps;
  spec.sound = false;
  spec.durationMs = uint32_t(r.seconds) * 1000;
  spec.startSeconds = QDateTime(t.date(), t.time(), Qt::UTC).toSecsSinceEpoch();
  spec.telemetrySeed = 7;
  spec.joltMs = r.joltMs;
  spec.joltStrength = r.jolt;
  RecordingResult result;
  const std::string path = (folder + "/").toStdString() + RecordingBaseName(spec) + ".mp4";
  return WriteRecording(spec, path, &result, error);
}

void ResetRequests() {
  PlayRequests& r = SharedPlayRequests();
  r.pending = 0;
  r.waitWindow = nullptr;
  r.requestPending = false;
  r.navigationBusy = false;
}

int CountNear(const QImage& image, const QRect& area, const QColor& colour, int tolerance) {
  int n = 0;
  const QRect r = area.intersected(image.rect());
  for (int y = r.top(); y <= r.bottom(); ++y)
    for (int x = r.left(); x <= r.right(); ++x) {
      const QColor c = image.pixelColor(x, y);
      n += std::abs(c.red() - colour.red()) <= tolerance && std::abs(c.green() - colour.green()) <= tolerance &&
           std::abs(c.blue() - colour.blue()) <= tolerance;
    }
  return n;
}

}  // namespace

class TimelineFlowTest : public QObject {
  Q_OBJECT

  QTemporaryDir sourceDir_;

  struct Viewer {
    QTemporaryDir dir;
    AppState state;
    FixedDriveProvider drives{{}};
    std::unique_ptr<CMainFrame> frame;
    CMainView* view = nullptr;
    CFileListDlg* list = nullptr;
    CDispCtrlDlg* player = nullptr;
    CTimeLineDlg* panel = nullptr;
    QStringList messages;
  };

  std::unique_ptr<Viewer> Start() {
    auto v = std::make_unique<Viewer>();
    const QString folder = v->dir.path() + "/TQ-MB20/Record";
    QDir().mkpath(folder);
    for (const QString& name : QDir(sourceDir_.path()).entryList(QDir::Files))
      QFile::copy(sourceDir_.path() + "/" + name, folder + "/" + name);
    QDir().mkpath(v->dir.path() + "/settings");
    v->state.settingsFolder = (v->dir.path() + "/settings/").toStdString();
    v->state.settingsFile = v->state.settingsFolder + "setup.ini";
    v->state.browseFolder = folder.toStdString();
    v->state.exportFolder = (v->dir.path() + "/export").toStdString();
    v->state.videoPip = 1;
    v->frame = std::make_unique<CMainFrame>(&v->state, &v->drives);
    v->frame->GrowOnePixel();
    v->view = v->frame->View();
    v->list = v->view->FileList();
    v->player = v->view->PlayerPanel();
    v->panel = v->view->Timeline();
    Viewer* raw = v.get();
    CDispCtrlDlg::Dialogs dialogs;
    dialogs.message = [raw](QWidget*, const QString& text) { raw->messages << text; };
    v->player->SetDialogs(dialogs);
    v->frame->show();
    if (!QTest::qWaitForWindowExposed(v->frame.get())) return nullptr;
    return v;
  }

  // Seconds into the recording of the front picture on screen (-1: no tag readable).
  static double ShownSecond(Viewer& v) {
    CDispWndWidget* session = v.player->SessionWindow();
    if (!session->isVisible()) return -1;
    const QImage shot = v.frame->grab().toImage().convertToFormat(QImage::Format_RGB32);
    const QImage part = shot.copy(QRect(session->mapTo(v.frame.get(), QPoint(0, 0)), session->size()));
    const std::vector<uint8_t> luma = BackToPicture(part, kFrontSize.width(), kFrontSize.height(),
                                                    QRect(QPoint(0, 0), kFrontSize), 0);
    const FrameTagValue tag = ReadFrameTag(luma.data(), kFrontSize.width(), kFrontSize.width(), kFrontSize.height());
    return tag.valid() && tag.camera == 0 ? double(tag.frame) / kFps : -1;
  }

  // The picture shows `second` (or up to 3 s later: it plays on) and the seek bar agrees
  // within a second.
  static bool ShowsSecond(Viewer& v, double second) {
    const double shown = ShownSecond(v);
    const double bar = v.player->TimeBar()->PositionMs() / 1000.0;
    return shown >= second - 0.15 && shown <= second + 3 && std::abs(bar - shown) <= 1.0;
  }

  static void Keep(Viewer& v, const char* name) {
    const QString dir = QString(TQ_BUILD_DIR) + "/artefacts";
    QDir().mkpath(dir);
    QVERIFY(v.frame->grab().save(dir + "/" + name + ".png"));
  }

  static void Play(Viewer& v, const QString& name) {
    const int row = int(v.list->Names().indexOf(name));
    QVERIFY(row >= 0);
    DoubleClick(*v.list, row);
    QTRY_VERIFY_WITH_TIMEOUT(v.player->Started() && v.player->CurrentEntry().name == name.toStdString(), kWaitMs);
    // A seek goes no further than the indexing has come: let it reach the end first.
    (void)QTest::qWaitFor([&] { return v.player->TimeBar()->Model().indexed >= kSeekBarWidth * GuiScale(); }, 5000);
  }

 private slots:
  void initTestCase() {
    QVERIFY(sourceDir_.isValid());
    SetLanguageFile(TQ_SOURCE_DIR "/resources/lng/english.dat");
    std::string error;
    for (const Recording& r : kCard) QVERIFY2(Generate(sourceDir_.path(), r, &error), error.c_str());
  }
  void init() { ResetRequests(); }
  void cleanup() { ResetRequests(); }

  void Calendar_day_filters_the_list_and_a_second_click_lists_every_day() {
    auto v = Start();
    QVERIFY(v);
    CVelCalendar* calendar = v->panel->Calendar();
    QCOMPARE(calendar->Dates(), (std::vector<int32_t>{20261205, 20261206}));
    QCOMPARE(calendar->ShownYear() * 100 + calendar->ShownMonth(), 202612);
    QCOMPARE(v->list->RowCount(), 4);
    QTest::mouseClick(calendar, Qt::LeftButton, {}, calendar->DayCentre(10));  // no recording: nothing
    QTest::qWait(50);
    QCOMPARE(v->list->RowCount(), 4);
    QTest::mouseClick(calendar, Qt::LeftButton, {}, calendar->DayCentre(5));
    QTRY_COMPARE_WITH_TIMEOUT(v->list->Names(), QStringList({kMidnight, kHourTen}), kWaitMs);
    QCOMPARE(v->list->Filters().day, 20261205);
    // The timeline shows the filtered day; the selected day sits on its marker.
    QCOMPARE(v->panel->TimeLine()->Model().ShownDate(), 20261205);
    const QImage picture = calendar->grab().toImage();
    const QPoint c = calendar->DayCentre(5);
    QVERIFY(CountNear(picture, QRect(c - QPoint(6, 6), QSize(12, 12)), QColor(237, 101, 34), 8) > 40);
    Keep(*v, "timeline_calendar_day");
    // A rescan keeps the filter, and the calendar keeps showing it.
    v->list->Reload(v->list->Folder());
    QCOMPARE(v->list->RowCount(), 2);
    QCOMPARE(calendar->SelectedDate(), 20261205);
    QTest::mouseClick(calendar, Qt::LeftButton, {}, calendar->DayCentre(5));
    QTRY_COMPARE_WITH_TIMEOUT(v->list->RowCount(), 4, kWaitMs);
    QCOMPARE(v->list->Filters().day, 0);
    QCOMPARE(CountNear(calendar->grab().toImage(), QRect(c - QPoint(6, 6), QSize(12, 12)), QColor(237, 101, 34), 8), 0);
    QVERIFY2(v->messages.isEmpty(), qPrintable(v->messages.join("; ")));
  }

  void Hour_click_plays_the_recording_covering_its_first_marked_minute() {
    auto v = Start();
    QVERIFY(v);
    CVelTimeLine* timeline = v->panel->TimeLine();
    // The newest day is shown: hour 8 and hour 9 (its minute 0 comes from 08:59:40).
    QCOMPARE(timeline->Model().ShownDate(), 20261206);
    QVERIFY(timeline->Model().HourLevel(9) != 0);
    QTest::mouseClick(timeline, Qt::LeftButton, {}, timeline->CellCentre(0, 9));
    // 09:00:00 lies 20 s into 08:59:40.
    QTRY_VERIFY_WITH_TIMEOUT(v->player->Started(), kWaitMs);
    QCOMPARE(QString::fromStdString(v->player->CurrentEntry().name), kBeforeNine);
    QTRY_VERIFY_WITH_TIMEOUT(ShowsSecond(*v, 20), kWaitMs);
    QVERIFY(!SharedPlayRequests().navigationBusy);
    QCOMPARE(timeline->Model().selectedHour(), 9);
    Keep(*v, "timeline_hour_click");
    // With the focus, the keys walk the minutes and Enter plays the chosen one.
    QTRY_VERIFY_WITH_TIMEOUT(!timeline->Model().clicked(), kWaitMs);
    QTest::keyClick(timeline, Qt::Key_Right);  // 09:00 -> 09:30, the next marked minute
    QCOMPARE(timeline->Model().selectedMinute(), 30);
    QTest::keyClick(timeline, Qt::Key_Return);
    QTRY_VERIFY_WITH_TIMEOUT(v->player->Started() && v->player->CurrentEntry().name == "20261206_093000_NF", kWaitMs);
    QTRY_VERIFY_WITH_TIMEOUT(ShowsSecond(*v, 0), kWaitMs);
    QVERIFY2(v->messages.isEmpty(), qPrintable(v->messages.join("; ")));
  }

  void Minute_slot_and_graph_clicks_seek_the_playing_recording() {
    auto v = Start();
    QVERIFY(v);
    Play(*v, kHourTen);
    CVelTimeLine* timeline = v->panel->TimeLine();
    QCOMPARE(timeline->Model().ShownDate(), 20261205);
    QCOMPARE(timeline->Model().selectedHour(), 10);
    // The header gives 119 or 120 whole seconds: 2 s per slot either way.
    const int32_t duration = v->player->CurrentEntry().duration;
    QVERIFY2(duration >= 119 && duration <= 120, qPrintable(QString::number(duration)));
    QCOMPARE(timeline->Model().slotCount(), duration / 2);
    struct Step {
      int row, cell;
      double second;
    } steps[] = {{1, 16, 90}, {2, 10, 20}, {1, 15, 30}, {2, 40, 80}};
    for (const Step& s : steps) {
      QTRY_VERIFY_WITH_TIMEOUT(!timeline->Model().clicked() && !SharedPlayRequests().navigationBusy, kWaitMs);
      QTest::mouseClick(timeline, Qt::LeftButton, {}, timeline->CellCentre(s.row, s.cell));
      QTRY_VERIFY2_WITH_TIMEOUT(ShowsSecond(*v, s.second), qPrintable(QString("row %1 cell %2: %3 s shown")
                                .arg(s.row).arg(s.cell).arg(ShownSecond(*v))), kWaitMs);
      QCOMPARE(QString::fromStdString(v->player->CurrentEntry().name), kHourTen);  // no other recording opened
    }
    CVel3GFLine* graph = v->panel->Graph();
    const int step = graph->Graph().step();
    QTRY_VERIFY_WITH_TIMEOUT(!SharedPlayRequests().navigationBusy, kWaitMs);
    QTest::mouseClick(graph, Qt::LeftButton, {}, QPoint(step * 50 + step / 2, graph->height() / 2));
    QTRY_VERIFY_WITH_TIMEOUT(ShowsSecond(*v, 100), kWaitMs);
    QVERIFY2(v->messages.isEmpty(), qPrintable(v->messages.join("; ")));
  }

  void Graph_shows_the_jolt_with_its_marker_and_the_marker_seeks_before_it() {
    auto v = Start();
    QVERIFY(v);
    Play(*v, kHourTen);
    CVel3GFLine* graph = v->panel->Graph();
    QCOMPARE(graph->Graph().secondsPerSlot(), 2);
    QCOMPARE(graph->Graph().slotCount(), v->player->CurrentEntry().duration / 2);
    // The one event is the jolt's slot (50 s / 2 s), the X deviation strongly negative.
    QCOMPARE(graph->Events().size(), size_t(1));
    QCOMPARE(graph->Events()[0].slot, 25);
    QVERIFY(graph->Events()[0].peak[0] < -60);
    const QImage picture = graph->grab().toImage();
    const int step = graph->Graph().step();
    // The X line (blue) dips to the jolt's row at slot 25 and stays near the middle elsewhere.
    const int jolt = graph->Graph().row(0, 25);
    QVERIFY(jolt > graph->height() * 3 / 4);
    QVERIFY(CountNear(picture, QRect(step * 26 - 1, jolt - 1, 3, 3), QColor(0, 124, 230), 40) > 0);
    QCOMPARE(CountNear(picture, QRect(step * 10, graph->height() * 3 / 4, step * 10, 10), QColor(0, 124, 230), 40), 0);
    const QRect marker = graph->MarkerRect(0);
    QVERIFY(marker.left() >= step * 25 - 6 && marker.right() <= step * 26 + 6);
    QVERIFY(CountNear(picture, marker, QColor(220, 30, 30), 10) > 10);
    Keep(*v, "timeline_gsensor_jolt");
    // A double click on the marker, as the window system delivers it: the first press
    // seeks to the slot, the second comes as the double click and goes 3 s before it.
    QTest::mouseClick(graph, Qt::LeftButton, {}, marker.center());
    QTRY_VERIFY_WITH_TIMEOUT(!SharedPlayRequests().navigationBusy, kWaitMs);
    QMouseEvent twice(QEvent::MouseButtonDblClick, QPointF(marker.center()), graph->mapToGlobal(QPointF(marker.center())),
                      Qt::LeftButton, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(graph, &twice);
    QTest::mouseRelease(graph, Qt::LeftButton, {}, marker.center());
    // The first press left 50 s on screen, which is inside 47 s's tolerance: only a
    // picture before it shows that the double click's seek has landed.
    QTRY_VERIFY2_WITH_TIMEOUT(ShowsSecond(*v, 47) && ShownSecond(*v) < 49.5,
                              qPrintable(QString("%1 s shown, bar %2 ms, busy %3")
                                             .arg(ShownSecond(*v))
                                             .arg(v->player->TimeBar()->PositionMs())
                                             .arg(SharedPlayRequests().navigationBusy)),
                              kWaitMs);
    QVERIFY2(v->messages.isEmpty(), qPrintable(v->messages.join("; ")));
  }

  void Playback_over_midnight_moves_timeline_and_calendar_to_the_next_day() {
    auto v = Start();
    QVERIFY(v);
    Play(*v, kMidnight);
    CVelTimeLine* timeline = v->panel->TimeLine();
    QCOMPARE(timeline->Model().ShownDate(), 20261205);
    QCOMPARE(timeline->Model().selectedHour(), 23);
    QCOMPARE(v->panel->Calendar()->FocusDate(), 20261205);
    v->player->SeekTo(13000);  // 23:59:58
    QTRY_VERIFY_WITH_TIMEOUT(timeline->Model().ShownDate() == 20261206, kWaitMs);  // it plays past 00:00:00
    QCOMPARE(timeline->Model().selectedHour(), 0);
    QTRY_COMPARE_WITH_TIMEOUT(v->panel->Calendar()->FocusDate(), 20261206, kWaitMs);
    QVERIFY(ShownSecond(*v) >= 15 - 0.15);
    Keep(*v, "timeline_midnight");
    QVERIFY2(v->messages.isEmpty(), qPrintable(v->messages.join("; ")));
  }
};

QObject* NewTimelineFlowTest() { return new TimelineFlowTest; }

}  // namespace tq::test

#include "TimelineFlowTest.moc"
