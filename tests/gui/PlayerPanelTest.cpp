// The player panel driven as the main view drives it: real recordings (fixtures and one
// generated 36 s recording), the engine's play messages, keys, buttons, capture to JPEG
// and BMP read back by frame tag, printing to PDF read back by pdftotext, and the stop.
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QPrinter>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <algorithm>
#include <string>
#include <vector>

#include "CameraRecording.h"
#include "FrameTag.h"
#include "GuiTests.h"
#include "app/AppSettings.h"
#include "app/LocalizedText.h"
#include "app/gui/GuiMessages.h"
#include "app/gui/PlayRequests.h"
#include "controls/CVelBut.h"
#include "controls/CVelMenu.h"
#include "controls/GuiSkin.h"
#include "library/CatalogEntry.h"
#include "playback/PlayMessages.h"
#include "playback/gui/CDispWndWidget.h"
#include "player/PlayerLayout.h"
#include "player/gui/CDispCtrlDlg.h"
#include "player/gui/CVelTimeBar.h"
#include "player/gui/PlayerArt.h"

namespace tq::test {
namespace {

constexpr int kWaitMs = 20000;

// Stands in for the main view: records the requests and closes the player on a stop, as
// the main view does.
class MainViewStandIn : public QObject {
 public:
  struct Got {
    int msg;
    long long w, l;
  };
  CDispCtrlDlg* player = nullptr;
  std::vector<Got> got;
  int Count(int msg, long long w, long long l) const {
    int n = 0;
    for (const Got& g : got) n += g.msg == msg && g.w == w && g.l == l;
    return n;
  }
  bool event(QEvent* e) override {
    if (e->type() < QEvent::User || e->type() > QEvent::MaxUser) return QObject::event(e);
    auto* m = static_cast<MsgEvent*>(e);
    got.push_back({m->msg, m->wParam, m->lParam});
    if (m->msg == UM_PLAY_REQUEST && m->lParam == -1 && player) player->CloseRecording(int(m->wParam));
    return true;
  }
};

FrameTagValue TagOf(const QImage& image) {
  const QImage grey = image.convertToFormat(QImage::Format_Grayscale8);
  return ReadFrameTag(grey.constBits(), int(grey.bytesPerLine()), grey.width(), grey.height());
}

// Pixels of the logo's body colour inside the logo box.
int LogoPixels(CDispCtrlDlg& panel) {
  const QImage shot = panel.grab().toImage();
  const Box b = LogoBox(panel.width(), panel.height(), GuiScale());
  int n = 0;
  for (int y = std::max(0, b.y); y < std::min(shot.height(), b.y + b.h); ++y)
    for (int x = std::max(0, b.x); x < std::min(shot.width(), b.x + b.w); ++x)
      n += shot.pixelColor(x, y) == PlayerLogoBody();
  return n;
}

CatalogEntry Entry(const std::string& name, int32_t time, int32_t duration) {
  CatalogEntry e;
  e.kind = kKindMp4;
  e.name = name;
  e.ext = "mp4";
  e.date = std::stoi(name.substr(0, 8));
  e.time = time;
  e.duration = duration;
  e.minutes = 1;
  return e;
}

}  // namespace

class PlayerPanelTest : public QObject {
  Q_OBJECT

  QTemporaryDir dir_;
  QString record_;
  AppState state_;
  MainViewStandIn mainView_;
  std::unique_ptr<CDispCtrlDlg> panel_;
  std::vector<QString> savePaths_;
  int saveCalls_ = 0;
  int saveAsks_ = 0;
  QStringList messages_;

  std::string Folder() const { return record_.toStdString(); }

  bool Open(CatalogEntry* entry, uint32_t start) {
    if (!panel_->OpenRecording(Folder(), entry, start)) return false;
    return QTest::qWaitFor([&] { return panel_->Started(); }, kWaitMs);
  }
  // Paused, indexed to the end, and shown at `ms`.
  bool PauseAt(int64_t ms) {
    CDispWnd& session = panel_->SessionWindow()->Session();
    if (!QTest::qWaitFor([&] { return session.indexComplete(); }, kWaitMs)) return false;
    if (panel_->IsPlaying()) panel_->Key(Qt::Key_Space);
    PostMsg(panel_.get(), int(kMsgSeekRequest), 0, ms);
    return QTest::qWaitFor([&] { return panel_->TimeBar()->PositionMs() == ms; }, kWaitMs);
  }

 private slots:
  void initTestCase() {
    QVERIFY(dir_.isValid());
    record_ = dir_.filePath("Record");
    QVERIFY(QDir().mkpath(record_));
    const QString fixtures = TQ_FIXTURE_DIR;
    for (const char* f : {"20261205_101500_NF.mp4", "20261205_101500_N.gps", "20261205_101500_N.3gf",
                          "20261205_102000_NF.mp4", "20261205_102000_NR.mp4"})
      QVERIFY2(QFile::copy(fixtures + "/" + f, record_ + "/" + f), f);
    QFile broken(record_ + "/20261205_103000_NF.mp4");
    QVERIFY(broken.open(QIODevice::WriteOnly));
    broken.write("not a recording, only text");
    broken.close();
    RecordingSpec spec;
    spec.width = 256;
    spec.height = 144;
    spec.durationMs = 36000;
    spec.sound = false;
    spec.telemetry = false;
    RecordingResult result;
    std::string error;
    QVERIFY2(WriteRecording(spec, (record_ + "/20240101_120000_NF.mp4").toStdString(), &result, &error),
             error.c_str());
    SetLanguageFile(TQ_SOURCE_DIR "/resources/lng/english.dat");
    state_.settingsFolder = dir_.filePath("settings/").toStdString();
    QVERIFY(QDir().mkpath(dir_.filePath("settings")));  // start-up makes it; stepping back needs its cache
  }

  void init() {
    panel_ = std::make_unique<CDispCtrlDlg>(&state_, &mainView_);
    mainView_.player = panel_.get();
    mainView_.got.clear();
    savePaths_.clear();
    saveCalls_ = 0;
    saveAsks_ = 0;
    messages_.clear();
    CDispCtrlDlg::Dialogs d;
    d.savePath = [this](QWidget*, const QString&) {
      ++saveAsks_;
      return saveCalls_ < int(savePaths_.size()) ? savePaths_[size_t(saveCalls_++)] : QString();
    };
    d.message = [this](QWidget*, const QString& text) { messages_ << text; };
    panel_->SetDialogs(d);
    panel_->resize(800, 520);
    panel_->show();
    QVERIFY(QTest::qWaitForWindowExposed(panel_.get()));
  }

  void cleanup() {
    panel_.reset();
    mainView_.player = nullptr;
    SharedPlayRequests().pending = 0;
  }

  void capture_writes_one_picture_without_rear_partner() {
    CatalogEntry e = Entry("20261205_101500_NF", 101500, 3);
    QVERIFY(Open(&e, 0));
    QVERIFY(!panel_->RearPresent());
    QVERIFY(!panel_->Button(CDispCtrlDlg::kIdSwap)->isEnabled());
    QVERIFY(PauseAt(1000));
    savePaths_ = {dir_.filePath("front.jpg"), dir_.filePath("unused.jpg")};
    panel_->RunCommand(CDispCtrlDlg::kIdCapture);
    QCOMPARE(saveCalls_, 1);
    QImage saved(dir_.filePath("front.jpg"), "JPG");
    QVERIFY(!saved.isNull());
    QCOMPARE(saved.size(), QSize(320, 180));
    const FrameTagValue tag = TagOf(saved);
    QCOMPARE(tag.camera, 0);
    QCOMPARE(tag.frame, 30);
    QVERIFY(!QFile::exists(dir_.filePath("unused.jpg")));
  }

  void capture_with_rear_saves_front_then_rear_format_by_extension() {
    CatalogEntry e = Entry("20261205_102000_NF", 102000, 3);
    QVERIFY(Open(&e, CDispCtrlDlg::kWithRear));
    QVERIFY(panel_->RearPresent());
    QVERIFY(panel_->Button(CDispCtrlDlg::kIdSwap)->isEnabled());
    QVERIFY(PauseAt(2000));
    savePaths_ = {dir_.filePath("pair_front.BMP"), dir_.filePath("pair_rear.jpeg")};
    panel_->RunCommand(CDispCtrlDlg::kIdCapture);
    QCOMPARE(saveCalls_, 2);
    struct Want {
      QString path;
      QByteArray magic;
      int camera;
      QSize size;
    } wants[] = {{dir_.filePath("pair_front.BMP"), "BM", 0, QSize(320, 180)},
                 {dir_.filePath("pair_rear.jpeg"), "\xFF\xD8", 1, QSize(256, 144)}};
    for (const Want& w : wants) {
      QFile f(w.path);
      QVERIFY2(f.open(QIODevice::ReadOnly), qPrintable(w.path));
      QCOMPARE(f.read(2), w.magic);
      QImage saved(w.path);
      QVERIFY(!saved.isNull());
      QCOMPARE(saved.size(), w.size);
      const FrameTagValue tag = TagOf(saved);
      QCOMPARE(tag.camera, w.camera);
      QCOMPARE(tag.frame, 60);
    }
  }

  void cancelled_save_writes_nothing() {
    CatalogEntry e = Entry("20261205_101500_NF", 101500, 3);
    QVERIFY(Open(&e, 0));
    QVERIFY(PauseAt(1000));
    const QStringList before = QDir(dir_.path()).entryList(QDir::Files);
    panel_->RunCommand(CDispCtrlDlg::kIdCapture);  // no path: the dialog was cancelled
    QCOMPARE(saveAsks_, 1);
    QCOMPARE(QDir(dir_.path()).entryList(QDir::Files), before);
  }

  void print_to_pdf_stamps_name_time_plus_position() {
    if (QStandardPaths::findExecutable("pdftotext").isEmpty()) QSKIP("pdftotext is not installed");
    CatalogEntry e = Entry("20240101_120000_NF", 120000, 36);
    QVERIFY(Open(&e, 0));
    QVERIFY(PauseAt(35000));
    const QString pdf = dir_.filePath("print.pdf");
    CDispCtrlDlg::Dialogs d;
    d.setupPrinter = [pdf](QWidget*, QPrinter* printer) {
      printer->setOutputFormat(QPrinter::PdfFormat);
      printer->setOutputFileName(pdf);
      return true;
    };
    panel_->SetDialogs(d);
    panel_->RunCommand(CDispCtrlDlg::kIdPrint);
    QProcess text;
    text.start("pdftotext", {pdf, "-"});
    QVERIFY(text.waitForFinished(kWaitMs));
    const QString out = QString::fromUtf8(text.readAllStandardOutput());
    QVERIFY2(out.contains("2024-01-01 12:00:35"), qPrintable(out));
  }

  void keys_toggle_play_and_step_while_paused() {
    CatalogEntry e = Entry("20261205_101500_NF", 101500, 3);
    QVERIFY(!panel_->Key(Qt::Key_Space));  // nothing open: the key is not taken
    QVERIFY(Open(&e, 0));
    CDispWnd& session = panel_->SessionWindow()->Session();
    QVERIFY(PauseAt(1000));
    QVERIFY(session.paused());
    QCOMPARE(panel_->ToolTipKey(CDispCtrlDlg::kIdPlay), QString("play"));
    struct Step {
      int key;
      int64_t wantMs;
      int wantFrame;
    } steps[] = {{Qt::Key_Right, 1033, 31}, {Qt::Key_Right, 1066, 32}, {Qt::Key_Left, 1033, 31}};
    for (const Step& s : steps) {
      QVERIFY(panel_->Key(s.key));
      QTRY_COMPARE_WITH_TIMEOUT(panel_->TimeBar()->PositionMs(), s.wantMs, kWaitMs);
      std::vector<uint8_t> bgr;
      int w = 0, h = 0;
      QVERIFY(session.GetImage(&bgr, &w, &h));
      QImage picture(bgr.data(), w, h, w * 3, QImage::Format_BGR888);
      QCOMPARE(TagOf(picture).frame, s.wantFrame);
    }
    QVERIFY(panel_->Key(Qt::Key_Space));
    QVERIFY(panel_->IsPlaying());
    QVERIFY(!session.paused());
    QCOMPARE(panel_->ToolTipKey(CDispCtrlDlg::kIdPlay), QString("pause"));
    // Right while playing pauses first, then steps.
    QVERIFY(panel_->Key(Qt::Key_Right));
    QVERIFY(!panel_->IsPlaying());
    QVERIFY(session.paused());
  }

  void stop_returns_to_idle_text_and_logo() {
    CatalogEntry e = Entry("20261205_101500_NF", 101500, 3);
    QCOMPARE(panel_->TimeBar()->Text(), QString("00 / 00"));
    QVERIFY(LogoPixels(*panel_) > 500);  // nothing loaded yet
    QVERIFY(Open(&e, 0));
    QVERIFY(PauseAt(1000));
    QCOMPARE(panel_->TimeBar()->Text(), QString("1 / 3"));
    QCOMPARE(LogoPixels(*panel_), 0);
    panel_->RunCommand(CDispCtrlDlg::kIdStop);
    QTRY_COMPARE(mainView_.Count(UM_PLAY_REQUEST, 1, -1), 1);
    QVERIFY(!panel_->IsOpen());
    QCOMPARE(panel_->TimeBar()->Text(), QString("00 / 00"));
    QVERIFY(!panel_->SessionWindow()->isVisible());
    QVERIFY(LogoPixels(*panel_) > 500);
    QCOMPARE(panel_->RecordingStart(), -1);
  }

  void end_of_recording_shows_full_duration_and_asks_for_the_next() {
    CatalogEntry e = Entry("20261205_101500_NF", 101500, 3);
    QVERIFY(Open(&e, 0));
    QTRY_VERIFY_WITH_TIMEOUT(mainView_.Count(UM_PLAY_REQUEST, 0, 0) == 1, kWaitMs);
    QCOMPARE(panel_->TimeBar()->Text(), QString("3 / 3"));
    QCOMPARE(SharedPlayRequests().pending, 1);
  }

  void pip_button_cycles_back_after_five_presses() {
    CatalogEntry e = Entry("20261205_102000_NF", 102000, 3);
    QVERIFY(Open(&e, CDispCtrlDlg::kWithRear));
    CVelBut* pip = panel_->Button(CDispCtrlDlg::kIdPip);
    QVERIFY(pip->isEnabled());
    const int start = panel_->PipPosition();
    std::vector<int> seen;
    for (int i = 0; i < 5; ++i) {
      QTest::mouseClick(pip, Qt::LeftButton);
      seen.push_back(panel_->PipPosition());
    }
    QCOMPARE(panel_->PipPosition(), start);
    std::sort(seen.begin(), seen.end());
    QCOMPARE(seen, (std::vector<int>{0, 1, 2, 3, 4}));
  }

  void start_from_a_wanted_minute_seeks_there_once_started() {
    // The entry began at 11:59:30; 12:00 is asked for: 30 s into the recording.
    CatalogEntry e = Entry("20240101_120000_NF", 115930, 36);
    QVERIFY(panel_->OpenRecording(Folder(), &e, 120000));
    QCOMPARE(panel_->StartOffset(), 30);
    QVERIFY(panel_->LoadingFrame() > 0);
    QTRY_VERIFY_WITH_TIMEOUT(panel_->Started(), kWaitMs);
    QCOMPARE(panel_->StartOffset(), 0);  // done once
    QCOMPARE(panel_->LoadingFrame(), 0);
    QTRY_VERIFY_WITH_TIMEOUT(panel_->TimeBar()->PositionMs() >= 30000, kWaitMs);
    QVERIFY(panel_->IsPlaying());
    QVERIFY(!panel_->SessionWindow()->Session().paused());
  }

  void missing_rear_partner_disables_swap_and_plays_the_front() {
    CatalogEntry e = Entry("20261205_101500_NF", 101500, 3);  // no _NR beside it
    QVERIFY(panel_->OpenRecording(Folder(), &e, CDispCtrlDlg::kWithRear));
    QVERIFY(panel_->RearPresent());
    QTRY_VERIFY_WITH_TIMEOUT(!panel_->RearPresent(), kWaitMs);
    QTRY_VERIFY_WITH_TIMEOUT(panel_->Started(), kWaitMs);
    QVERIFY(!panel_->Button(CDispCtrlDlg::kIdSwap)->isEnabled());
    QVERIFY(panel_->IsOpen());
    QVERIFY(messages_.isEmpty());
    savePaths_ = {dir_.filePath("front_only.jpg"), dir_.filePath("no_rear.jpg")};
    QVERIFY(PauseAt(1000));
    panel_->RunCommand(CDispCtrlDlg::kIdCapture);
    QCOMPARE(saveAsks_, 1);
  }

  void unplayable_file_tells_the_user_with_its_name() {
    CatalogEntry e = Entry("20261205_103000_NF", 103000, 3);
    SharedPlayRequests().pending = 1;
    panel_->OpenRecording(Folder(), &e, 0);
    QTRY_COMPARE_WITH_TIMEOUT(int(messages_.size()), 1, kWaitMs);
    QCOMPARE(messages_[0], QString::fromStdString(LocalizedText(kTextMessage, "can_not_fileplay")) +
                               "\n[ 20261205_103000_NF.mp4 ]");
    QCOMPARE(SharedPlayRequests().pending, 0);
    QVERIFY(!panel_->IsOpen());
    QCOMPARE(panel_->TimeBar()->Text(), QString("00 / 00"));
  }

  void toggles_post_and_show_their_tooltips() {
    CatalogEntry e = Entry("20261205_101500_NF", 101500, 3);
    QVERIFY(Open(&e, 0));
    QCOMPARE(panel_->PlayKind(), 0);
    QCOMPARE(panel_->ToolTipKey(CDispCtrlDlg::kIdStretch), QString("stretch"));
    const QRect wide = panel_->SessionWindow()->geometry();
    panel_->RunCommand(CDispCtrlDlg::kIdStretch);
    QCOMPARE(panel_->ToolTipKey(CDispCtrlDlg::kIdStretch), QString("16 : 9"));
    QCOMPARE(panel_->Button(CDispCtrlDlg::kIdStretch)->toolTip(), QString("16 : 9"));
    const Box area = VideoArea(panel_->width(), panel_->height(), GuiScale());
    QCOMPARE(panel_->SessionWindow()->geometry(), QRect(area.x, area.y, area.w, area.h));
    QVERIFY(panel_->SessionWindow()->geometry() != wide);
    panel_->RunCommand(CDispCtrlDlg::kIdFull);
    QTRY_COMPARE(mainView_.Count(UM_TOGGLE_VIEW_MODE, 0, 0), 1);
    QCOMPARE(panel_->ToolTipKey(CDispCtrlDlg::kIdFull), QString("res_screen"));
    QCOMPARE(panel_->Button(CDispCtrlDlg::kIdFull)->toolTip(),
             QString::fromStdString(LocalizedText(kTextTooltip, "res_screen")));
    panel_->RunCommand(CDispCtrlDlg::kIdFlip);
    panel_->RunCommand(CDispCtrlDlg::kIdMirror);
    QCOMPARE(panel_->PictureFlags(), kFlipUpDown | kMirrorLeftRight);
    QCOMPARE(panel_->SessionWindow()->Session().pictureFlags, kFlipUpDown | kMirrorLeftRight);
    panel_->RunCommand(CDispCtrlDlg::kIdFlip);
    QCOMPARE(panel_->SessionWindow()->Session().pictureFlags, kMirrorLeftRight);
  }

  void speed_menu_and_corner_toggle_set_the_session_speed() {
    CatalogEntry e = Entry("20261205_101500_NF", 101500, 3);
    QVERIFY(Open(&e, 0));
    CDispWnd& session = panel_->SessionWindow()->Session();
    QCOMPARE(panel_->SpeedMenu()->Count(), 4);
    PostMsg(panel_.get(), int(kMsgControlNotify), 0, kSpeedMenuBase + 3);
    QTRY_COMPARE(session.speed(), 3);
    QCOMPARE(panel_->SpeedIndex(), 3);
    PostMsg(panel_.get(), int(kMsgControlNotify), -1, 1);  // slow motion on
    QTRY_COMPARE(session.speed(), 0);
    QVERIFY(!panel_->Button(CDispCtrlDlg::kIdSpeed)->isEnabled());
    PostMsg(panel_.get(), int(kMsgControlNotify), -1, 0);
    QTRY_COMPARE(session.speed(), 3);
    QVERIFY(panel_->Button(CDispCtrlDlg::kIdSpeed)->isEnabled());
  }
};

QObject* NewPlayerPanelTest() { return new PlayerPanelTest; }

}  // namespace tq::test

#include "PlayerPanelTest.moc"
