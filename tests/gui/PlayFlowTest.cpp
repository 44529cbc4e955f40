// The viewer's main window played end to end: the real main frame with its main view, file
// list and player panel on a card of generated front/rear pairs. A double click opens a
// pair, the next newer front follows when it ends, Space and the arrows pause and step,
// the stop button returns to the logo, deleting the playing pair closes the player first,
// and a double click while a request is pending is ignored. What the user sees is read
// back from grabbed pictures of the window by frame tag.
#include <QAbstractButton>
#include <QApplication>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QPointer>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>
#include <QTimer>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "CameraRecording.h"
#include "FrameTag.h"
#include "FileListDrive.h"
#include "GuiTests.h"
#include "ScreenPictures.h"
#include "app/AppSettings.h"
#include "app/LocalizedText.h"
#include "app/gui/CMainFrame.h"
#include "app/gui/CMainView.h"
#include "app/gui/CToolBarDlg.h"
#include "app/gui/GuiMessages.h"
#include "app/gui/PlayRequests.h"
#include "controls/CVelBut.h"
#include "controls/CVelListCtrl.h"
#include "controls/CWaitMsg.h"
#include "controls/GuiSkin.h"
#include "library/FileListRules.h"
#include "library/gui/CFileCtrlDlg.h"
#include "library/gui/CFileListDlg.h"
#include "platform/DriveProvider.h"
#include "playback/gui/CDispSubDlg.h"
#include "playback/gui/CDispWndWidget.h"
#include "player/PlayerLayout.h"
#include "player/gui/CDispCtrlDlg.h"
#include "player/gui/CVelTimeBar.h"
#include "player/gui/PlayerArt.h"

namespace tq::test {
namespace {

constexpr int kWaitMs = 15000;
constexpr QSize kFrontSize{320, 180};
constexpr QSize kRearSize{256, 144};
constexpr int kFps = 10;

// The card: two consecutive pairs of a few seconds.
struct Pair {
  const char* start;  // YYYYMMDD_HHMMSS
  uint32_t ms;
};
constexpr Pair kPairs[] = {{"20261205_101500", 4000}, {"20261205_101600", 3000}};
const QString kOldFront = "20261205_101500_NF";
const QString kOldRear = "20261205_101500_NR";
const QString kNewFront = "20261205_101600_NF";
const QString kNewRear = "20261205_101600_NR";

int64_t ClockSeconds(const QString& start) {
  const QDateTime t = QDateTime::fromString(start, "yyyyMMdd_HHmmss");
  return QDateTime(t.date(), t.time(), Qt::UTC).toSecsSinceEpoch();
}

bool Generate(const QString& folder, const Pair& pair, int camera, std::string* error) {
  RecordingSpec spec;
  spec.camera = camera;
  spec.width = camera == 0 ? kFrontSize.width() : kRearSize.width();
  spec.height = camera == 0 ? kFrontSize.height() : kRearSize.height();
  spec.fps = kFps;
  spec.gop = kFps;
  spec.sound = false;
  spec.durationMs = pair.ms;
  spec.startSeconds = ClockSeconds(pair.start);
  spec.companions = true;
  spec.thumbnail = true;
  spec.telemetrySeed = 7;
  RecordingResult result;
  const std::string path = (folder + "/").toStdString() + RecordingBaseName(spec) + ".mp4";
  return WriteRecording(spec, path, &result, error);
}

// Every play request that reaches the real main view, in order, with the recording's name
// read while the entry still lives.
class RequestLog : public QObject {
 public:
  struct Request {
    long long wParam;
    long long lParam;
    QString name;  // "" unless lParam is an entry
  };
  std::vector<Request> requests;
  CFileListDlg* list = nullptr;

  std::vector<Request> Entries() const {
    std::vector<Request> r;
    for (const Request& q : requests)
      if (!q.name.isEmpty()) r.push_back(q);
    return r;
  }
  int Count(long long wParam, long long lParam) const {
    int n = 0;
    for (const Request& q : requests) n += q.wParam == wParam && q.lParam == lParam;
    return n;
  }

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (event->type() == MsgEvent::TypeOf(UM_PLAY_REQUEST)) {
      auto* m = static_cast<MsgEvent*>(event);
      QString name;
      for (int row = 0; row < list->RowCount(); ++row)
        if (EntryParam(list->EntryAt(row)) == m->lParam) name = QString::fromStdString(list->EntryAt(row)->name);
      requests.push_back({m->wParam, m->lParam, name});
    }
    return QObject::eventFilter(watched, event);  // the main view handles it as ever
  }

 private:
  static long long EntryParam(const CatalogEntry* e) { return static_cast<long long>(reinterpret_cast<intptr_t>(e)); }
};

// Counts the wait messages the main frame shows.
class WaitShows : public QObject {
 public:
  int shown = 0;

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (event->type() == QEvent::Show && qobject_cast<CWaitMsg*>(watched)) ++shown;
    return QObject::eventFilter(watched, event);
  }
};

// A modal dialog left open would stop the test for good: one open longer than this is
// closed and named, and the test fails on it.
class ModalWatch : public QObject {
 public:
  QStringList stuck;
  ModalWatch() {
    timer_.setInterval(250);
    connect(&timer_, &QTimer::timeout, this, [this] { Look(); });
    timer_.start();
  }

 private:
  void Look() {
    QWidget* modal = QApplication::activeModalWidget();
    if (modal != seen_) {
      seen_ = modal;
      since_.start();
      return;
    }
    if (!modal || since_.elapsed() < kWaitMs) return;
    stuck << modal->metaObject()->className();
    if (auto* dialog = qobject_cast<QDialog*>(modal)) dialog->done(0);
    else modal->close();
  }
  QTimer timer_;
  QPointer<QWidget> seen_;
  QElapsedTimer since_;
};

void ResetRequests() {
  PlayRequests& r = SharedPlayRequests();
  r.pending = 0;
  r.waitWindow = nullptr;
  r.requestPending = false;
}


// The tag a window area of the grabbed frame shows, mapped back to the picture's size (the
// picture is stretched over the whole area).
FrameTagValue TagIn(const QImage& shot, const QRect& area, QSize picture) {
  if (area.width() < 2 || area.height() < 2) return {};
  const QImage part = shot.copy(area);
  const std::vector<uint8_t> luma =
      BackToPicture(part, picture.width(), picture.height(), QRect(QPoint(0, 0), picture), 0);
  return ReadFrameTag(luma.data(), picture.width(), picture.width(), picture.height());
}

}  // namespace

class PlayFlowTest : public QObject {
  Q_OBJECT

  QTemporaryDir sourceDir_;  // the generated pairs, made once; each test copies them

  struct Viewer {
    QTemporaryDir dir;
    QString folder;
    AppState state;
    FixedDriveProvider drives{{}};
    std::unique_ptr<CMainFrame> frame;
    CMainView* view = nullptr;
    CFileListDlg* list = nullptr;
    CDispCtrlDlg* player = nullptr;
    RequestLog log;
    ModalWatch watch;
    WaitShows waits;
    QStringList messages;   // what the player told the user
    QStringList questions;  // what the file list asked
  };

  std::unique_ptr<Viewer> Start() {
    auto v = std::make_unique<Viewer>();
    v->folder = v->dir.path() + "/TQ-MB20/Record";
    QDir().mkpath(v->folder);
    for (const QString& name : QDir(sourceDir_.path()).entryList(QDir::Files))
      QFile::copy(sourceDir_.path() + "/" + name, v->folder + "/" + name);
    QDir().mkpath(v->dir.path() + "/settings");
    v->state.settingsFolder = (v->dir.path() + "/settings/").toStdString();
    v->state.settingsFile = v->state.settingsFolder + "setup.ini";
    v->state.browseFolder = v->folder.toStdString();
    v->state.exportFolder = (v->dir.path() + "/export").toStdString();
    v->state.videoPip = 1;
    v->frame = std::make_unique<CMainFrame>(&v->state, &v->drives);
    v->frame->GrowOnePixel();
    v->view = v->frame->View();
    v->list = v->view->FileList();
    v->player = v->view->PlayerPanel();
    v->log.list = v->list;
    v->view->installEventFilter(&v->log);
    qApp->installEventFilter(&v->waits);
    Viewer* raw = v.get();
    CDispCtrlDlg::Dialogs dialogs;
    dialogs.message = [raw](QWidget*, const QString& text) { raw->messages << text; };
    v->player->SetDialogs(dialogs);
    v->list->SetQuestion([raw](const QString& text) {
      raw->questions << text;
      return true;
    });
    v->frame->show();
    if (!QTest::qWaitForWindowExposed(v->frame.get())) return nullptr;
    return v;
  }

  static int Row(const Viewer& v, const QString& name) { return int(v.list->Names().indexOf(name)); }

  // The camera tags the window shows now: the front in the session window, the rear in the
  // picture-in-picture (invalid when it is hidden).
  struct Screen {
    FrameTagValue front, rear;
  };
  static Screen Look(Viewer& v, QSize main = kFrontSize, QSize corner = kRearSize) {
    const QImage shot = v.frame->grab().toImage().convertToFormat(QImage::Format_RGB32);
    CDispWndWidget* session = v.player->SessionWindow();
    Screen s;
    if (session->isVisible())
      s.front = TagIn(shot, QRect(session->mapTo(v.frame.get(), QPoint(0, 0)), session->size()), main);
    CDispSubDlg* pip = session->SubView();
    if (session->isVisible() && pip->isVisible())
      s.rear = TagIn(shot, QRect(pip->mapTo(v.frame.get(), QPoint(0, 0)), pip->size()), corner);
    return s;
  }

  // Keeps a picture of the whole window in the build folder's artefacts, for people to look at.
  static void Keep(Viewer& v, const char* name) {
    const QString dir = QString(TQ_BUILD_DIR) + "/artefacts";
    QDir().mkpath(dir);
    QVERIFY(v.frame->grab().save(dir + "/" + name + ".png"));
  }

  // Pixels of the logo's body colour inside the player's logo box.
  static int LogoPixels(Viewer& v) {
    const QImage shot = v.player->grab().toImage();
    const Box b = LogoBox(v.player->width(), v.player->height(), GuiScale());
    int n = 0;
    for (int y = std::max(0, b.y); y < std::min(shot.height(), b.y + b.h); ++y)
      for (int x = std::max(0, b.x); x < std::min(shot.width(), b.x + b.w); ++x)
        n += shot.pixelColor(x, y) == PlayerLogoBody();
    return n;
  }

  // Distinct front frames seen on screen until `count` of them (or the time runs out).
  static std::set<int> FrontFrames(Viewer& v, size_t count) {
    std::set<int> frames;
    (void)QTest::qWaitFor(
        [&] {
          const Screen s = Look(v);
          if (s.front.valid() && s.front.camera == 0) frames.insert(s.front.frame);
          return frames.size() >= count;
        },
        kWaitMs);
    return frames;
  }

  // No request in flight, and the wait message gone from the screen.
  static bool RequestsSettled() {
    const PlayRequests& r = SharedPlayRequests();
    if (r.pending != 0 || r.waitWindow != nullptr || r.requestPending) return false;
    for (QWidget* w : QApplication::topLevelWidgets())
      if (qobject_cast<CWaitMsg*>(w) && w->isVisible()) return false;
    return true;
  }

  // The test leaves the viewer as it found no fault: nothing stuck, nothing told the user.
  static void CheckQuiet(const Viewer& v) {
    QVERIFY2(v.watch.stuck.isEmpty(), qPrintable("modal left open: " + v.watch.stuck.join(", ")));
    QVERIFY2(v.messages.isEmpty(), qPrintable(v.messages.join("; ")));
  }

 private slots:
  void initTestCase() {
    QVERIFY(sourceDir_.isValid());
    SetLanguageFile(TQ_SOURCE_DIR "/resources/lng/english.dat");
    std::string error;
    for (const Pair& p : kPairs)
      for (int camera : {0, 1}) QVERIFY2(Generate(sourceDir_.path(), p, camera, &error), error.c_str());
    for (const char* f : {"20261205_101500_N.gps", "20261205_101500_N.3gf", "20261205_101500_NF.thm"})
      QVERIFY2(QFile::exists(sourceDir_.path() + "/" + f), f);
  }
  void init() { ResetRequests(); }
  void cleanup() { ResetRequests(); }

  void Double_click_on_NF_plays_the_front_with_the_rear_in_the_corner() {
    auto v = Start();
    QVERIFY(v);
    QCOMPARE(v->list->Names(), QStringList({kNewFront, kNewRear, kOldFront, kOldRear}));
    QVERIFY(LogoPixels(*v) > 500);  // nothing plays yet
    DoubleClick(*v->list, Row(*v, kNewFront));
    QTRY_VERIFY_WITH_TIMEOUT(v->player->Started(), kWaitMs);
    QCOMPARE(v->view->ToolBar()->PlayingTitle(), kNewFront);
    QCOMPARE(v->list->CurrentRow(), Row(*v, kNewFront));
    // One request, for the pair.
    const auto asked = v->log.Entries();
    QCOMPARE(asked.size(), size_t(1));
    QCOMPARE(asked[0].name, kNewFront);
    QCOMPARE(uint32_t(asked[0].wParam), kPairRequestBit);
    QVERIFY(v->player->RearPresent());
    // The front camera's pictures advance in the session window.
    const std::set<int> frames = FrontFrames(*v, 3);
    QVERIFY2(frames.size() >= 3, qPrintable(QString("front frames seen: %1").arg(frames.size())));
    // The rear camera in the corner.
    QTRY_VERIFY_WITH_TIMEOUT(Look(*v).rear.camera == 1, kWaitMs);
    QVERIFY(v->player->SessionWindow()->SubView()->isVisible());
    QCOMPARE(LogoPixels(*v), 0);
    Keep(*v, "flow-pair-playing");
    // The request has been handled: the wait message came and went, the counts are at rest.
    QTRY_VERIFY(RequestsSettled());
    QCOMPARE(v->waits.shown, 1);
    CheckQuiet(*v);
  }

  void Double_click_on_NR_plays_the_rear_with_its_front_in_the_corner() {
    auto v = Start();
    QVERIFY(v);
    DoubleClick(*v->list, Row(*v, kNewRear));
    QTRY_VERIFY_WITH_TIMEOUT(v->player->Started(), kWaitMs);
    QCOMPARE(v->view->ToolBar()->PlayingTitle(), kNewRear);
    const auto asked = v->log.Entries();
    QCOMPARE(asked.size(), size_t(1));
    QCOMPARE(uint32_t(asked[0].wParam), kPairRequestBit);
    // The rear picture is the main one; its front partner sits in the corner.
    QTRY_VERIFY_WITH_TIMEOUT(
        [&] {
          const Screen s = Look(*v, kRearSize, kFrontSize);
          return s.front.camera == 1 && s.rear.camera == 0;
        }(),
        kWaitMs);
    QTRY_VERIFY(RequestsSettled());
    CheckQuiet(*v);
  }

  void The_end_of_NF_plays_the_next_newer_front_skipping_the_rear_rows() {
    auto v = Start();
    QVERIFY(v);
    DoubleClick(*v->list, Row(*v, kOldFront));
    QTRY_COMPARE_WITH_TIMEOUT(v->view->ToolBar()->PlayingTitle(), kNewFront, kWaitMs);
    QCOMPARE(v->list->CurrentRow(), Row(*v, kNewFront));
    QTRY_VERIFY_WITH_TIMEOUT(v->player->Started(), kWaitMs);
    // The new recording from its start: early front frames, the rear in the corner.
    QTRY_VERIFY_WITH_TIMEOUT(
        [&] {
          const Screen s = Look(*v);
          return s.rear.camera == 1 && s.rear.frame < kFps && s.front.camera == 0 && s.front.frame < kFps;
        }(),
        kWaitMs);
    // The requests the main view got: the pair, its end, the next pair.
    const auto asked = v->log.Entries();
    QCOMPARE(asked.size(), size_t(2));
    QCOMPARE(asked[0].name, kOldFront);
    QCOMPARE(asked[1].name, kNewFront);
    QCOMPARE(uint32_t(asked[1].wParam), kPairRequestBit);
    QCOMPARE(v->log.Count(0, 0), 1);
    // The newest ends too: nothing follows, the player closes.
    QTRY_COMPARE_WITH_TIMEOUT(v->log.Count(0, 0), 2, kWaitMs);
    QTRY_VERIFY_WITH_TIMEOUT(!v->player->IsOpen(), kWaitMs);
    QCOMPARE(v->view->ToolBar()->PlayingTitle(), QString());
    QCOMPARE(v->player->TimeBar()->Text(), QString("00 / 00"));
    QVERIFY(!v->player->SessionWindow()->isVisible());
    QVERIFY(LogoPixels(*v) > 500);
    QTRY_VERIFY(RequestsSettled());
    QCOMPARE(v->waits.shown, 3);  // the double click and each end
    QCOMPARE(v->log.Entries().size(), size_t(2));
    CheckQuiet(*v);
  }

  void Space_pauses_and_the_arrows_step_one_frame_and_ten_back() {
    auto v = Start();
    QVERIFY(v);
    DoubleClick(*v->list, Row(*v, kNewFront));
    QTRY_VERIFY_WITH_TIMEOUT(v->player->Started(), kWaitMs);
    QVERIFY(FrontFrames(*v, 2).size() >= 2);
    QVERIFY(v->view->PlayerKey(Qt::Key_Space));
    QVERIFY(!v->player->IsPlaying());
    CDispWnd& session = v->player->SessionWindow()->Session();
    QVERIFY(session.paused());
    // Paused: the picture stays.
    QTRY_VERIFY_WITH_TIMEOUT(Look(*v).front.valid(), kWaitMs);
    const int paused = Look(*v).front.frame;
    QTest::qWait(400);
    QCOMPARE(Look(*v).front.frame, paused);
    struct Step {
      int key;
      int delta;  // from the paused frame
    } steps[] = {{Qt::Key_Right, 1}, {Qt::Key_Right, 2}, {Qt::Key_Left, 1}, {Qt::Key_Left, 0}};
    for (const Step& s : steps) {
      QVERIFY(v->view->PlayerKey(s.key));
      QTRY_COMPARE_WITH_TIMEOUT(Look(*v).front.frame, paused + s.delta, kWaitMs);
      QCOMPARE(Look(*v).front.camera, 0);
      QVERIFY(!v->player->IsPlaying());
    }
    Keep(*v, "flow-paused-after-steps");
    // Space again plays on.
    QVERIFY(v->view->PlayerKey(Qt::Key_Space));
    QVERIFY(v->player->IsPlaying());
    QTRY_VERIFY_WITH_TIMEOUT(Look(*v).front.frame > paused + 1, kWaitMs);
    // Ten steps back from past the first second: the last ones cross the key frame at
    // one second and are decoded again from the one before.
    QTRY_VERIFY_WITH_TIMEOUT(Look(*v).front.frame >= kFps + 2, kWaitMs);
    QVERIFY(v->view->PlayerKey(Qt::Key_Space));
    QTRY_VERIFY_WITH_TIMEOUT(Look(*v).front.valid(), kWaitMs);
    const int from = Look(*v).front.frame;
    QVERIFY2(from >= kFps + 2 && from < 3 * kFps, qPrintable(QString::number(from)));
    for (int back = 1; back <= 10; ++back) {
      QVERIFY(v->view->PlayerKey(Qt::Key_Left));
      QTRY_COMPARE_WITH_TIMEOUT(Look(*v).front.frame, from - back, kWaitMs);
    }
    Keep(*v, "flow-ten-steps-back");
    CheckQuiet(*v);
  }

  void Stop_button_returns_the_panel_to_its_idle_text_and_logo() {
    auto v = Start();
    QVERIFY(v);
    DoubleClick(*v->list, Row(*v, kNewFront));
    QTRY_VERIFY_WITH_TIMEOUT(v->player->Started(), kWaitMs);
    QTRY_VERIFY_WITH_TIMEOUT(v->player->TimeBar()->Text() != QString("00 / 00"), kWaitMs);
    QCOMPARE(LogoPixels(*v), 0);
    QAbstractButton* stop = v->player->Button(CDispCtrlDlg::kIdStop);
    QVERIFY(stop->isEnabled() && stop->isVisible());
    QTest::mouseClick(stop, Qt::LeftButton);
    QTRY_VERIFY_WITH_TIMEOUT(!v->player->IsOpen(), kWaitMs);
    QCOMPARE(v->log.Count(CDispCtrlDlg::kCloseStop, -1), 1);
    QCOMPARE(v->player->TimeBar()->Text(), QString("00 / 00"));
    QVERIFY(!v->player->SessionWindow()->isVisible());
    QVERIFY(LogoPixels(*v) > 500);
    QCOMPARE(v->view->ToolBar()->PlayingTitle(), QString());
    QVERIFY(!stop->isEnabled());
    Keep(*v, "flow-stopped");
    // Stopped for good: nothing else opens afterwards.
    QTest::qWait(300);
    QVERIFY(!v->player->IsOpen());
    QCOMPARE(v->log.Entries().size(), size_t(1));
    QVERIFY(RequestsSettled());
    CheckQuiet(*v);
  }

  void Deleting_ticked_rows_of_the_playing_pair_closes_the_player_first_data() {
    QTest::addColumn<QStringList>("ticked");
    QTest::addColumn<QStringList>("rowsLeft");
    QTest::newRow("front and rear, with their logs")
        << QStringList{kOldFront, kOldRear} << QStringList{kNewFront, kNewRear};
    QTest::newRow("the rear partner alone") << QStringList{kOldRear} << QStringList{kNewFront, kNewRear, kOldFront};
  }
  void Deleting_ticked_rows_of_the_playing_pair_closes_the_player_first() {
    QFETCH(QStringList, ticked);
    QFETCH(QStringList, rowsLeft);
    auto v = Start();
    QVERIFY(v);
    DoubleClick(*v->list, Row(*v, kOldFront));
    QTRY_VERIFY_WITH_TIMEOUT(v->player->Started(), kWaitMs);
    QTRY_VERIFY(RequestsSettled());
    QVERIFY(v->player->IsPlaying());
    for (const QString& name : ticked) ClickCheck(*v->list, Row(*v, name));
    QVERIFY(v->list->DeleteButton()->isEnabled());
    // When the progress dialog starts, the player has let go and every file is still there.
    bool closedBeforeDelete = false;
    QStringList filesThen;
    QStringList reported;
    connect(v->list, &CFileListDlg::fileCtrlStarted, this, [&](CFileCtrlDlg* dialog) {
      closedBeforeDelete = !v->player->IsOpen() && !v->player->SessionWindow()->isVisible();
      filesThen = QDir(v->folder).entryList(QDir::Files, QDir::Name);
      connect(dialog, &CFileCtrlDlg::reported, dialog,
              [&reported](int, int, const QString& name) { reported << name; });
    });
    QTest::mouseClick(v->list->DeleteButton(), Qt::LeftButton);
    QCOMPARE(v->questions, QStringList{QString::fromStdString(LocalizedText(kTextMessage, "file_delete_message"))});
    QVERIFY(closedBeforeDelete);
    for (const QString& name : ticked) QVERIFY2(filesThen.contains(name + ".mp4"), qPrintable(name));
    QCOMPARE(reported, ticked);
    QCOMPARE(v->log.Count(CDispCtrlDlg::kCloseStop, -1), 1);
    QCOMPARE(v->list->Names(), rowsLeft);
    QCOMPARE(v->list->CurrentRow(), rowsLeft.indexOf(kOldFront));  // the played row stays marked
    QCOMPARE(v->view->ToolBar()->PlayingTitle(), QString());
    QCOMPARE(v->player->TimeBar()->Text(), QString("00 / 00"));
    QVERIFY(LogoPixels(*v) > 500);
    const QStringList left = QDir(v->folder).entryList(QDir::Files, QDir::Name);
    for (const QString& name : ticked)
      for (const char* ext : {".mp4", ".thm"}) QVERIFY2(!left.contains(name + ext), qPrintable(name + ext));
    const bool pairGone = !rowsLeft.contains(kOldFront);
    for (const char* log : {"20261205_101500_N.gps", "20261205_101500_N.3gf"})
      QVERIFY2(left.contains(log) != pairGone, log);  // the shared logs go with the last of the pair
    for (const QString& f : {kNewFront + ".mp4", kNewRear + ".mp4", QString("20261205_101600_N.gps")})
      QVERIFY2(left.contains(f), qPrintable(f));
    QVERIFY(!v->list->DeleteButton()->isEnabled());
    // The player stays closed: the deleted recording's end never asks for a next one.
    QTest::qWait(500);
    QVERIFY(!v->player->IsOpen());
    QCOMPARE(v->log.Entries().size(), size_t(1));
    QVERIFY(RequestsSettled());
    // And a double click plays again.
    DoubleClick(*v->list, Row(*v, kNewFront));
    QTRY_VERIFY_WITH_TIMEOUT(v->player->IsOpen() && v->player->Started(), kWaitMs);
    QTRY_VERIFY_WITH_TIMEOUT(Look(*v).rear.camera == 1, kWaitMs);
    CheckQuiet(*v);
  }

  // The session's messages still queued when the list closes the player (a filter switch
  // refills the list and closes synchronously) belong to the closed recording.
  void Closing_before_the_start_message_arrives_leaves_the_player_closed() {
    auto v = Start();
    QVERIFY(v);
    DoubleClick(*v->list, Row(*v, kNewFront));
    // Only the main view's request is handled now (the wait message it would close at once
    // is dropped), so nothing the engine posts reaches the panel before the close.
    QCoreApplication::removePostedEvents(v->frame.get(), MsgEvent::TypeOf(UM_SHOW_WAIT));
    QCoreApplication::sendPostedEvents(v->view, MsgEvent::TypeOf(UM_PLAY_REQUEST));
    QVERIFY(v->player->IsOpen());
    QThread::msleep(800);  // the engine indexes and posts while this thread is busy
    QVERIFY(!v->player->Started());
    QTest::mouseClick(v->list->FilterButton(1), Qt::LeftButton);  // rear off: refill, close
    QVERIFY(!v->player->IsOpen());
    QTest::qWait(500);  // the queued messages arrive
    QVERIFY(!v->player->IsOpen());
    QVERIFY(!v->player->SessionWindow()->isVisible());
    QVERIFY(!v->player->Button(CDispCtrlDlg::kIdStop)->isEnabled());
    QVERIFY(!v->player->Button(CDispCtrlDlg::kIdPlay)->isEnabled());
    QCOMPARE(v->player->TimeBar()->Text(), QString("00 / 00"));
    QVERIFY(LogoPixels(*v) > 500);
    QVERIFY(RequestsSettled());
    CheckQuiet(*v);
  }

  void A_double_click_while_a_request_is_pending_does_nothing() {
    auto v = Start();
    QVERIFY(v);
    DoubleClick(*v->list, Row(*v, kNewFront));
    DoubleClick(*v->list, Row(*v, kOldFront));  // before the main view has seen the first
    QTRY_VERIFY_WITH_TIMEOUT(v->player->Started(), kWaitMs);
    QTRY_VERIFY(RequestsSettled());
    QCOMPARE(v->view->ToolBar()->PlayingTitle(), kNewFront);
    QCOMPARE(v->list->CurrentRow(), Row(*v, kNewFront));
    auto asked = v->log.Entries();
    QCOMPARE(asked.size(), size_t(1));
    QCOMPARE(asked[0].name, kNewFront);
    // Handled: a double click counts again.
    DoubleClick(*v->list, Row(*v, kOldFront));
    QTRY_COMPARE_WITH_TIMEOUT(v->view->ToolBar()->PlayingTitle(), kOldFront, kWaitMs);
    QTRY_VERIFY_WITH_TIMEOUT(v->player->Started(), kWaitMs);
    asked = v->log.Entries();
    QVERIFY(asked.size() >= 2);
    QCOMPARE(asked[1].name, kOldFront);
    QTRY_VERIFY(RequestsSettled());
    CheckQuiet(*v);
  }

  void Playing_the_row_again_restarts_it_and_after_a_stop_shows_its_title() {
    auto v = Start();
    QVERIFY(v);
    const int row = Row(*v, kNewFront);
    DoubleClick(*v->list, row);
    QTRY_VERIFY_WITH_TIMEOUT(v->player->Started(), kWaitMs);
    QTRY_VERIFY(RequestsSettled());
    QTRY_VERIFY_WITH_TIMEOUT(v->player->TimeBar()->PositionMs() >= 1000, kWaitMs);
    DoubleClick(*v->list, row);  // the playing row: from its start again
    QTRY_VERIFY_WITH_TIMEOUT(v->player->Started() && v->player->TimeBar()->PositionMs() < 1000, kWaitMs);
    QCOMPARE(v->log.Count(CMainView::kRestart, v->log.Entries()[0].lParam), 1);
    QTRY_VERIFY(RequestsSettled());
    QTest::mouseClick(v->player->Button(CDispCtrlDlg::kIdStop), Qt::LeftButton);
    QTRY_VERIFY_WITH_TIMEOUT(!v->player->IsOpen(), kWaitMs);
    QCOMPARE(v->view->ToolBar()->PlayingTitle(), QString());
    // Stopped, the same row plays again as a pair, and the title says which.
    DoubleClick(*v->list, row);
    QTRY_VERIFY_WITH_TIMEOUT(v->player->IsOpen() && v->player->Started(), kWaitMs);
    QCOMPARE(v->view->ToolBar()->PlayingTitle(), kNewFront);
    QTRY_VERIFY_WITH_TIMEOUT(Look(*v).rear.camera == 1, kWaitMs);
    QTRY_VERIFY(RequestsSettled());
    CheckQuiet(*v);
  }

  void An_unplayable_recording_is_reported_then_the_next_newer_one_plays_data() {
    QTest::addColumn<QString>("broken");
    QTest::addColumn<QString>("then");  // the title afterwards; "" when the player closed
    QTest::addColumn<QString>("content");  // "text", "empty", "random" or "5 GB" (sparse)
    QTest::newRow("between the pairs") << "20261205_101530_NF" << kNewFront << "text";
    QTest::newRow("the newest") << "20261205_101700_NF" << QString() << "text";
    QTest::newRow("empty") << "20261205_101530_NF" << kNewFront << "empty";
    QTest::newRow("random bytes") << "20261205_101530_NF" << kNewFront << "random";
    QTest::newRow("5 GB") << "20261205_101530_NF" << kNewFront << "5 GB";
  }
  void An_unplayable_recording_is_reported_then_the_next_newer_one_plays() {
    QFETCH(QString, broken);
    QFETCH(QString, then);
    QFETCH(QString, content);
    auto v = Start();
    QVERIFY(v);
    QFile file(v->folder + "/" + broken + ".mp4");
    QVERIFY(file.open(QIODevice::WriteOnly));
    if (content == "text") {
      file.write("not a recording, only text");
    } else if (content == "random") {
      QByteArray bytes(64, 0);
      for (int i = 0; i < bytes.size(); ++i) bytes[i] = char((i * 151 + 77) & 0xff);
      file.write(bytes);
    } else if (content == "5 GB") {
      QVERIFY(file.resize(qint64(5) << 30));  // sparse: no disk space taken
    }
    file.close();
    v->list->Reload(v->folder.toStdString());
    DoubleClick(*v->list, Row(*v, broken));
    QTRY_COMPARE_WITH_TIMEOUT(v->messages.size(), qsizetype(1), kWaitMs);
    QCOMPARE(v->messages[0], QString::fromStdString(LocalizedText(kTextMessage, "can_not_fileplay")) +
                                 QString("\n[ %1.mp4 ]").arg(broken));
    QTRY_COMPARE_WITH_TIMEOUT(v->view->ToolBar()->PlayingTitle(), then, kWaitMs);
    if (then.isEmpty()) {
      QTRY_VERIFY_WITH_TIMEOUT(!v->player->IsOpen(), kWaitMs);
      QVERIFY(LogoPixels(*v) > 500);
    } else {
      QTRY_VERIFY_WITH_TIMEOUT(v->player->Started(), kWaitMs);
      QCOMPARE(v->list->CurrentRow(), Row(*v, then));
      QTRY_VERIFY_WITH_TIMEOUT(Look(*v).front.camera == 0, kWaitMs);
    }
    QTRY_VERIFY(RequestsSettled());
    QVERIFY(v->watch.stuck.isEmpty());
    QCOMPARE(v->messages.size(), qsizetype(1));
  }
};

QObject* NewPlayFlowTest() { return new PlayFlowTest; }

}  // namespace tq::test

#include "PlayFlowTest.moc"
