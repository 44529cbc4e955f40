// The file list panel driven with the mouse: filters, the header, double clicks and the play
// requests they post, the next recording, copy and delete of ticked recordings behind the
// progress dialog, and the main view's handling of play requests. Recordings are made by
// the sample generator once for the class.
#include <QAbstractButton>
#include <QApplication>
#include <QContextMenuEvent>
#include <QDir>
#include <QFile>
#include <QHeaderView>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include "FileListDrive.h"
#include "GuiTests.h"
#include "app/AppSettings.h"
#include "app/LocalizedText.h"
#include "app/gui/CMainView.h"
#include "app/gui/CToolBarDlg.h"
#include "app/gui/GuiMessages.h"
#include "app/gui/PlayRequests.h"
#include "controls/CVelListCtrl.h"
#include "controls/CVelMenu.h"
#include "controls/CWaitMsg.h"
#include "controls/GuiSkin.h"
#include "library/FileListRules.h"
#include "library/gui/CFileCtrlDlg.h"
#include "library/gui/CFileListDlg.h"
#include "library/gui/FileListImages.h"
#include "platform/ProfileFile.h"

namespace tq::test {
namespace {

// Stands in for the main view (and, as the panel's top-level window, for the main frame):
// records every request it receives, posted or sent, with what was on disk at that moment.
class RequestRecorder : public QWidget {
 public:
  struct Request {
    int msg;
    long long wParam;
    long long lParam;
    QStringList filesThen;  // the card folder when the request arrived
  };
  QString watchFolder;
  std::vector<Request> requests;

  std::vector<Request> Of(int msg) const {
    std::vector<Request> r;
    for (const Request& q : requests)
      if (q.msg == msg) r.push_back(q);
    return r;
  }

 protected:
  bool event(QEvent* event) override {
    if (event->type() >= QEvent::User && event->type() < QEvent::MaxUser) {
      auto* m = static_cast<MsgEvent*>(event);
      requests.push_back({m->msg, m->wParam, m->lParam, QDir(watchFolder).entryList(QDir::Files, QDir::Name)});
      return true;
    }
    return QWidget::event(event);
  }
};

QString GenPath() { return QString(TQ_BUILD_DIR) + "/tqmb20-gen"; }

// One short, small recording as the camera names it, into `dir`.
bool Generate(const QString& dir, const QString& start, const QString& camera, const QString& type) {
  QProcess gen;
  gen.start(GenPath(), {"--out-dir", dir, "--start", start, "--camera", camera, "--type", type, "--duration", "1",
                        "--size", camera == "rear" ? "256x144" : "320x180", "--fps", "10", "--gop", "10",
                        "--companions", "--thumbnail", "--quiet"});
  return gen.waitForFinished(30000) && gen.exitStatus() == QProcess::NormalExit && gen.exitCode() == 0;
}

long long EntryParam(const CatalogEntry* e) { return static_cast<long long>(reinterpret_cast<intptr_t>(e)); }


void ResetRequests() {
  PlayRequests& r = SharedPlayRequests();
  r.pending = 0;
  r.waitWindow = nullptr;
  r.requestPending = false;
}

}  // namespace

class FileListTest : public QObject {
  Q_OBJECT

  QTemporaryDir sourceDir_;  // generated once: the recordings every test copies
  QString source_;

  // A fresh card folder holding the generated recordings and, as empty files, the names
  // that only matter for listing.
  struct Card {
    QTemporaryDir dir;
    QString folder;
    AppState state;
    RequestRecorder frame;  // the panel's top-level window, also its main view
    std::unique_ptr<CFileListDlg> list;
  };

  std::unique_ptr<Card> MakeCard(const QStringList& emptyNames = {}) {
    auto card = std::make_unique<Card>();
    card->folder = card->dir.path() + "/Record";
    QDir().mkpath(card->folder);
    for (const QString& name : QDir(source_).entryList(QDir::Files))
      QFile::copy(source_ + "/" + name, card->folder + "/" + name);
    for (const QString& name : emptyNames) {
      QFile f(card->folder + "/" + name);
      f.open(QIODevice::WriteOnly);
    }
    card->state.settingsFolder = (card->dir.path() + "/settings/").toStdString();
    card->state.settingsFile = card->state.settingsFolder + "setup.ini";
    QDir().mkpath(card->dir.path() + "/settings");
    card->state.browseFolder = card->folder.toStdString();
    card->state.exportFolder = (card->dir.path() + "/export").toStdString();
    card->frame.watchFolder = card->folder;
    card->frame.resize(224, 420);
    card->list = std::make_unique<CFileListDlg>(&card->state, &card->frame, &card->frame);
    card->list->setGeometry(0, 0, 224, 420);
    card->list->Reload(card->folder.toStdString());
    card->frame.show();
    return card;
  }

  static int Row(CFileListDlg& list, const QString& name) { return int(list.Names().indexOf(name)); }

 private slots:
  void initTestCase() {
    QVERIFY(sourceDir_.isValid());
    source_ = sourceDir_.path();
    // Two moments of a front/rear pair with shared ".gps"/".3gf", and an event front.
    QVERIFY(Generate(source_, "20261205_101500", "front", "N"));
    QVERIFY(Generate(source_, "20261205_101500", "rear", "N"));
    QVERIFY(Generate(source_, "20261205_101600", "front", "N"));
    QVERIFY(Generate(source_, "20261205_101600", "rear", "N"));
    QVERIFY(Generate(source_, "20261205_101700", "front", "E"));
    QVERIFY(QFile::exists(source_ + "/20261205_101500_N.gps"));
    QVERIFY(QFile::exists(source_ + "/20261205_101500_NR.thm"));
  }
  void init() { ResetRequests(); }
  void cleanup() { ResetRequests(); }

  void Filter_buttons_hide_rear_but_not_third_camera_and_parking_of_every_camera() {
    auto card = MakeCard({"20261205_101500_NL.mp4", "20261205_101800_PF.mp4", "20261205_101800_TR.mp4",
                          "20261205_101900_PLS.mp4"});
    CFileListDlg& list = *card->list;
    const QStringList all = list.Names();
    QCOMPARE(all.size(), 9);
    QAbstractButton* rear = list.FilterButton(1);
    QImage on = rear->grab().toImage();
    QTest::mouseClick(rear, Qt::LeftButton);
    QVERIFY(!list.Filters().rear);
    QCOMPARE(list.Names(), QStringList({"20261205_101900_PLS", "20261205_101800_PF", "20261205_101700_EF",
                                        "20261205_101600_NF", "20261205_101500_NF", "20261205_101500_NL"}));
    QVERIFY(rear->grab().toImage() != on);  // the toggle shows its "off" picture
    QTest::mouseClick(rear, Qt::LeftButton);
    QCOMPARE(list.Names(), all);
    QTest::mouseClick(list.FilterButton(4), Qt::LeftButton);  // parking
    QCOMPARE(list.Names(), QStringList({"20261205_101700_EF", "20261205_101600_NF", "20261205_101600_NR",
                                        "20261205_101500_NF", "20261205_101500_NR", "20261205_101500_NL"}));
    // The header counts the catalog, not the rows shown.
    QCOMPARE(list.HeaderText(), QString("Total ( 9 )\n"));
    list.SetDayFilter(20261206);
    QCOMPARE(list.RowCount(), 0);
  }

  void A_file_asked_for_by_name_is_found_behind_filters_and_after_the_scan() {
    auto card = MakeCard();
    CFileListDlg& list = *card->list;
    QTest::mouseClick(list.FilterButton(1), Qt::LeftButton);  // rear off
    QVERIFY(!list.PlayFile("20261205_101600_NR"));
    QFile(card->folder + "/20261205_111100_NR.mp4").open(QIODevice::WriteOnly);  // written since the scan
    list.ShowAllRows();
    QVERIFY(list.FilterButton(1)->isChecked());
    QCOMPARE(list.RowCount(), 6);
    QVERIFY(list.PlayFile("20261205_111100_NR"));
    QCoreApplication::processEvents();
    QCOMPARE(list.CurrentRow(), 0);
    QCOMPARE(card->frame.Of(UM_PLAY_REQUEST).back().lParam, EntryParam(list.EntryAt(0)));
  }

  void Folder_band_shortens_a_long_folder_in_the_middle() {
    auto card = MakeCard();
    CFileListDlg& list = *card->list;
    const QString deep = card->dir.path() + "/a-rather-long-folder-name/with/several/levels/and/the/Record";
    QDir().mkpath(deep);
    list.Reload(deep.toStdString());
    const QString shown = list.FolderBandText(list.FolderBand().width());
    QVERIFY2(shown.contains(QChar(0x2026)), qPrintable(shown));
    QVERIFY(shown.startsWith(card->dir.path().left(4)));
    QVERIFY(shown.endsWith("/Record"));
    QCOMPARE(list.FolderBandText(4000), deep);
  }

  void Header_band_and_rows_are_painted() {
    auto card = MakeCard();
    CFileListDlg& list = *card->list;
    QCOMPARE(list.HeaderText(), QString("Total ( 5 )\n"));
    QImage shot = list.grab().toImage();
    // Panel background, the folder band with light text, the header band.
    QCOMPARE(shot.pixelColor(list.width() - 1, 1), QColor(5, 10, 16));
    const QRect band = list.FolderBand();
    int light = 0, dark = 0;
    for (int x = band.left(); x <= band.right(); ++x)
      for (int y = band.top(); y <= band.bottom(); ++y) {
        QColor c = shot.pixelColor(x, y);
        light += c.lightness() > 200;
        dark += c == kThemeBand;
      }
    QVERIFY2(light > 30, qPrintable(QString::number(light)));
    QVERIFY(dark > band.width() * band.height() / 2);
    QPoint header = list.List()->mapTo(&list, QPoint(list.List()->columnWidth(0) - 4, 3));
    QCOMPARE(shot.pixelColor(header), kThemeBand);
    // Each row: a check image, the type icon in its class colour, the light row.
    QRect row0 = list.List()->visualItemRect(list.List()->item(0, 0));
    QPoint rowRight = list.List()->viewport()->mapTo(&list, QPoint(row0.right() - 3, row0.center().y()));
    QCOMPARE(shot.pixelColor(rowRight), kLightText);
    QRect check = CVelListCtrl::CheckRect(row0);
    // Inside the icon's coloured square, above its letters.
    QPoint iconAt = list.List()->viewport()->mapTo(&list, QPoint(check.right() + 1 + 12, row0.center().y() - 9 + 2));
    QCOMPARE(shot.pixelColor(iconAt), ClassColor(kClassEvent));  // row 0 is the EF recording
  }

  void Double_click_requests_the_pair_only_with_the_preference() {
    for (int pip : {1, 0}) {
      auto card = MakeCard();
      card->state.videoPip = pip;
      CFileListDlg& list = *card->list;
      const int nf = Row(list, "20261205_101600_NF");
      DoubleClick(list, nf);
      QCoreApplication::processEvents();
      auto plays = card->frame.Of(UM_PLAY_REQUEST);
      QCOMPARE(plays.size(), size_t(1));
      QCOMPARE(plays[0].lParam, EntryParam(list.EntryAt(nf)));
      QCOMPARE(uint32_t(plays[0].wParam), pip == 1 ? kPairRequestBit : 0u);
      QCOMPARE(list.CurrentRow(), nf);
      QCOMPARE(list.PlayingLetter(), 'F');
      // The wait message is asked for once, with the place where it keeps itself.
      auto waits = card->frame.Of(UM_SHOW_WAIT);
      QCOMPARE(waits.size(), size_t(1));
      QCOMPARE(waits[0].lParam, static_cast<long long>(reinterpret_cast<intptr_t>(&SharedPlayRequests().waitWindow)));
      QCOMPARE(SharedPlayRequests().pending, 1);
      ResetRequests();
    }
  }

  void Double_click_while_a_request_is_pending_does_nothing() {
    auto card = MakeCard();
    CFileListDlg& list = *card->list;
    DoubleClick(list, 0);
    DoubleClick(list, 2);
    QCoreApplication::processEvents();
    QCOMPARE(card->frame.Of(UM_PLAY_REQUEST).size(), size_t(1));
    QCOMPARE(card->frame.Of(UM_SHOW_WAIT).size(), size_t(1));
    QCOMPARE(list.CurrentRow(), 0);
    QCOMPARE(SharedPlayRequests().pending, 1);
    // Handled: the same row again asks for a restart.
    SharedPlayRequests().requestPending = false;
    DoubleClick(list, 0);
    QCoreApplication::processEvents();
    auto plays = card->frame.Of(UM_PLAY_REQUEST);
    QCOMPARE(plays.size(), size_t(2));
    QCOMPARE(plays[1].wParam, -1LL);
    QCOMPARE(plays[1].lParam, EntryParam(list.EntryAt(0)));
  }

  void Play_next_from_NF_takes_the_next_newer_front_skipping_rear_rows() {
    auto card = MakeCard();
    CFileListDlg& list = *card->list;
    const int from = Row(list, "20261205_101500_NF");
    DoubleClick(list, from);
    QCoreApplication::processEvents();
    QVERIFY(list.PlayNext());
    QCoreApplication::processEvents();
    auto plays = card->frame.Of(UM_PLAY_REQUEST);
    QCOMPARE(plays.size(), size_t(2));
    QCOMPARE(list.Names()[list.CurrentRow()], QString("20261205_101600_NF"));
    QCOMPARE(plays[1].lParam, EntryParam(list.EntryAt(list.CurrentRow())));
    QVERIFY(list.PlayNext());  // then the event front above
    QCOMPARE(list.Names()[list.CurrentRow()], QString("20261205_101700_EF"));
    QVERIFY(!list.PlayNext());  // the newest has nothing after it
    QCOMPARE(list.Names()[list.CurrentRow()], QString("20261205_101700_EF"));
  }

  void Play_at_time_starts_the_covering_recording_or_the_first_after_a_gap() {
    auto card = MakeCard();
    CFileListDlg& list = *card->list;
    struct Case {
      int32_t time;
      const char* row;
      uint32_t wanted;
    } cases[] = {
        // The generated recordings last one second: 10:16:01 is still covered by 10:16:00.
        {101601, "20261205_101600_NF", 101601},
        // In the gap: the first recording after it.
        {101630, "20261205_101700_EF", 0},
        // Exactly at a start: that recording from its start, the front before the rear.
        {101600, "20261205_101600_NF", 0},
    };
    for (const Case& c : cases) {
      card->frame.requests.clear();
      ResetRequests();
      QVERIFY(list.PlayAtTime(20261205, c.time, 0));
      QCoreApplication::processEvents();
      QCOMPARE(list.Names()[list.CurrentRow()], QString(c.row));
      // The open recording is closed first (sent), then the new one requested.
      auto plays = card->frame.Of(UM_PLAY_REQUEST);
      QCOMPARE(plays.size(), size_t(2));
      QCOMPARE(plays[0].lParam, -1LL);
      QCOMPARE(plays[1].lParam, EntryParam(list.EntryAt(list.CurrentRow())));
      QCOMPARE(uint32_t(plays[1].wParam) & ~kPairRequestBit, c.wanted);
      QCOMPARE(SharedPlayRequests().pending, 1);
    }
    // The probe stored the durations it read from the files.
    QCOMPARE(list.EntryAt(list.CurrentRow())->duration, 1);
    // The row already playing is not started again.
    QVERIFY(!list.PlayAtTime(20261205, 101601, 0));
  }

  void Refilling_while_a_recording_plays_asks_the_main_view_to_close_it() {
    auto card = MakeCard();
    CFileListDlg& list = *card->list;
    DoubleClick(list, 0);
    QCoreApplication::processEvents();
    card->frame.requests.clear();
    QTest::mouseClick(list.FilterButton(3), Qt::LeftButton);  // event off
    auto closes = card->frame.Of(UM_PLAY_REQUEST);
    QCOMPARE(closes.size(), size_t(1));
    QCOMPARE(closes[0].lParam, -1LL);
    QCOMPARE(closes[0].wParam, static_cast<long long>(CDispCtrlDlg::kCloseFull));
    QCOMPARE(list.CurrentRow(), -1);
    QVERIFY(!SharedPlayRequests().requestPending);
    // Nothing plays now: the next refill sends nothing.
    QTest::mouseClick(list.FilterButton(3), Qt::LeftButton);
    QCOMPARE(card->frame.Of(UM_PLAY_REQUEST).size(), size_t(1));
  }

  void Row_menu_offers_export_copy_and_delete() {
    auto card = MakeCard();
    CFileListDlg& list = *card->list;
    int asked = 0;
    bool answer = false;
    list.SetQuestion([&](const QString&) {
      ++asked;
      return answer;
    });
    const int row = Row(list, "20261205_101600_NR");
    const QPoint at = RowCentre(list, row);
    QContextMenuEvent open(QContextMenuEvent::Mouse, at, list.List()->viewport()->mapToGlobal(at));
    QApplication::sendEvent(list.List()->viewport(), &open);
    CVelMenu* menu = list.findChild<CVelMenu*>();
    QVERIFY(menu && menu->isVisible());
    QCOMPARE(menu->Count(), 3);
    QCOMPARE(menu->ItemCommand(0), CFileListDlg::kRowExport);
    QCOMPARE(menu->ItemCommand(1), CFileListDlg::kRowCopy);
    QCOMPARE(menu->ItemCommand(2), CFileListDlg::kRowDelete);
    const int rowHeight = menu->height() / 3;
    QTest::mouseClick(menu, Qt::LeftButton, {}, QPoint(20, 2 * rowHeight + rowHeight / 2));  // "delete", answered no
    QCOMPARE(asked, 1);
    QVERIFY(QFile::exists(card->folder + "/20261205_101600_NR.mp4"));
    answer = true;
    QApplication::sendEvent(list.List()->viewport(), &open);
    QTest::mouseClick(menu, Qt::LeftButton, {}, QPoint(20, 2 * rowHeight + rowHeight / 2));
    QVERIFY(!QFile::exists(card->folder + "/20261205_101600_NR.mp4"));
    QCOMPARE(Row(list, "20261205_101600_NR"), -1);
  }

  void Check_boxes_enable_copy_and_delete() {
    auto card = MakeCard();
    CFileListDlg& list = *card->list;
    QVERIFY(!list.CopyButton()->isEnabled());
    ClickCheck(list, 1);
    QVERIFY(list.Ticked(1));
    QVERIFY(list.CopyButton()->isEnabled() && list.DeleteButton()->isEnabled());
    ClickCheck(list, 3);
    ClickCheck(list, 1);
    QVERIFY(list.DeleteButton()->isEnabled());
    ClickCheck(list, 3);
    QVERIFY(!list.CopyButton()->isEnabled() && !list.DeleteButton()->isEnabled());
    // The check image follows the tick.
    ClickCheck(list, 0);
    QRect cell = list.List()->visualItemRect(list.List()->item(0, 0));
    QImage ticked = list.List()->viewport()->grab(CVelListCtrl::CheckRect(cell)).toImage();
    ClickCheck(list, 0);
    QImage unticked = list.List()->viewport()->grab(CVelListCtrl::CheckRect(cell)).toImage();
    QVERIFY(ticked != unticked);
  }

  void Copy_of_three_ticked_recordings_reports_33_66_100() {
    auto card = MakeCard();
    CFileListDlg& list = *card->list;
    const QString target = card->dir.path() + "/copies";
    const QString exportFolder = QString::fromStdString(card->state.exportFolder);
    QDir().mkpath(target);
    QString pickerStart;
    list.SetFolderPicker([&](const QString& start) {
      pickerStart = start;
      return target;
    });
    const QStringList names = {"20261205_101700_EF", "20261205_101600_NR", "20261205_101500_NF"};
    for (const QString& n : names) ClickCheck(list, Row(list, n));
    struct Shown {
      int done;
      QString percent;
      int bar;
      int listed;
    };
    std::vector<Shown> shown;
    connect(&list, &CFileListDlg::fileCtrlStarted, this, [&](CFileCtrlDlg* dialog) {
      QCOMPARE(dialog->GetMode(), CFileCtrlDlg::Mode::Copy);
      QCOMPARE(dialog->PercentText(), QString("0 %"));
      connect(dialog, &CFileCtrlDlg::reported, dialog, [&shown, dialog](int done, int, const QString&) {
        shown.push_back({done, dialog->PercentText(), dialog->ProgressValue(), dialog->FileListCtrl()->rowCount()});
      });
    });
    QTest::mouseClick(list.CopyButton(), Qt::LeftButton);
    QCOMPARE(pickerStart, exportFolder + "/");
    QCOMPARE(shown.size(), size_t(3));
    const char* percents[] = {"33 %", "66 %", "100 %"};
    for (int i = 0; i < 3; ++i) {
      QCOMPARE(shown[size_t(i)].done, i + 1);
      QCOMPARE(shown[size_t(i)].percent, QString(percents[i]));
      QCOMPARE(shown[size_t(i)].bar, i + 1);
      QCOMPARE(shown[size_t(i)].listed, i + 1);
    }
    // Every file of the three, byte for byte; the NR copy brings the shared logs.
    for (const char* f : {"20261205_101700_EF.mp4", "20261205_101700_EF.thm", "20261205_101700_E.gps",
                             "20261205_101600_NR.mp4", "20261205_101600_N.3gf", "20261205_101500_NF.mp4",
                             "20261205_101500_N.gps"}) {
      QFile a(card->folder + "/" + f), b(target + "/" + f);
      QVERIFY2(a.open(QIODevice::ReadOnly) && b.open(QIODevice::ReadOnly), qPrintable(f));
      QVERIFY2(a.readAll() == b.readAll(), qPrintable(f));
    }
    QVERIFY(!QFile::exists(target + "/20261205_101600_NF.mp4"));
    for (int row = 0; row < list.RowCount(); ++row) QVERIFY(!list.Ticked(row));
    QVERIFY(!list.CopyButton()->isEnabled() && !list.DeleteButton()->isEnabled());
    // Another folder became the export folder, in memory and in setup.ini.
    QCOMPARE(QString::fromStdString(card->state.exportFolder), target);
    QCOMPARE(QString::fromStdString(ProfileFile(card->state.settingsFile).GetString(kSetupSection, kKeyExportPath, "")),
             target);
  }

  void A_rescan_asked_for_while_files_are_deleted_waits_for_the_worker() {
    auto card = MakeCard();
    CFileListDlg& list = *card->list;
    list.SetQuestion([](const QString&) { return true; });
    const QString other = card->dir.path() + "/other";
    QDir().mkpath(other);
    QFile(other + "/20261207_120000_MF.mp4").open(QIODevice::WriteOnly);
    ClickCheck(list, Row(list, "20261205_101500_NR"));
    ClickCheck(list, Row(list, "20261205_101600_NR"));
    // A card change arrives while the worker still walks the catalog.
    std::vector<std::string> foldersDuring;
    connect(&list, &CFileListDlg::fileCtrlStarted, this, [&](CFileCtrlDlg* dialog) {
      connect(dialog, &CFileCtrlDlg::reported, dialog, [&](int done, int, const QString&) {
        if (done == 1) list.Reload(other.toStdString());
        foldersDuring.push_back(list.Folder());
        QVERIFY(!list.PlayNext());
      });
    });
    QTest::mouseClick(list.DeleteButton(), Qt::LeftButton);
    QCOMPARE(foldersDuring, (std::vector<std::string>(2, card->folder.toStdString())));
    QVERIFY(!QFile::exists(card->folder + "/20261205_101500_NR.mp4"));
    QVERIFY(!QFile::exists(card->folder + "/20261205_101600_NR.mp4"));
    // Then the rescan ran.
    QCOMPARE(list.Folder(), other.toStdString());
    QCOMPARE(list.Names(), QStringList{"20261207_120000_MF"});
    QCOMPARE(list.HeaderText(), QString("Total ( 1 )\n"));
  }

  void Delete_of_the_playing_pair_closes_the_player_first_and_removes_every_file() {
    auto card = MakeCard();
    CFileListDlg& list = *card->list;
    QString question;
    list.SetQuestion([&](const QString& text) {
      question = text;
      return true;
    });
    const int nf = Row(list, "20261205_101500_NF");
    DoubleClick(list, nf);
    QCoreApplication::processEvents();
    SharedPlayRequests().requestPending = false;  // the main view has handled it
    ClickCheck(list, nf);
    ClickCheck(list, Row(list, "20261205_101500_NR"));
    ClickCheck(list, Row(list, "20261205_101700_EF"));
    QTest::mouseClick(list.List()->viewport(), Qt::LeftButton, {}, RowCentre(list, Row(list, "20261205_101600_NR")));
    QCOMPARE(list.ClickedRow(), 2);
    std::vector<QString> reportedNames;
    connect(&list, &CFileListDlg::fileCtrlStarted, this, [&](CFileCtrlDlg* dialog) {
      QCOMPARE(dialog->GetMode(), CFileCtrlDlg::Mode::Delete);
      connect(dialog, &CFileCtrlDlg::reported, dialog,
              [&reportedNames](int, int, const QString& name) { reportedNames.push_back(name); });
    });
    card->frame.requests.clear();
    QTest::mouseClick(list.DeleteButton(), Qt::LeftButton);
    QCOMPARE(question, QString::fromStdString(LocalizedText(kTextMessage, "file_delete_message")));
    // The close request came first, sent while every file was still there.
    auto closes = card->frame.Of(UM_PLAY_REQUEST);
    QCOMPARE(closes.size(), size_t(1));
    QCOMPARE(closes[0].lParam, -1LL);
    QVERIFY(closes[0].filesThen.contains("20261205_101500_NF.mp4"));
    QVERIFY(closes[0].filesThen.contains("20261205_101500_N.gps"));
    // Deleted in catalog order; the rows and all their files are gone, shared logs too.
    QCOMPARE(reportedNames, (std::vector<QString>{"20261205_101700_EF", "20261205_101500_NF", "20261205_101500_NR"}));
    QCOMPARE(list.Names(), QStringList({"20261205_101600_NF", "20261205_101600_NR"}));
    QCOMPARE(QDir(card->folder).entryList(QDir::Files, QDir::Name),
             QStringList({"20261205_101600_N.3gf", "20261205_101600_N.gps", "20261205_101600_NF.mp4",
                          "20261205_101600_NF.thm", "20261205_101600_NR.mp4", "20261205_101600_NR.thm"}));
    QCOMPARE(list.HeaderText(), QString("Total ( 2 )\n"));
    QCOMPARE(list.CurrentRow(), -1);
    QCOMPARE(list.ClickedRow(), 1);  // the clicked NR moved up with the rows above it
    QVERIFY(!list.DeleteButton()->isEnabled());
    // The index was rebuilt from what is left.
    QCOMPARE(list.Catalog().Index().Rows().size(), size_t(2));
  }

  void Row_menu_delete_keeps_the_shared_logs_for_the_partner() {
    auto card = MakeCard();
    CFileListDlg& list = *card->list;
    list.SetQuestion([](const QString&) { return true; });
    const int nf = Row(list, "20261205_101600_NF");
    list.OnRowCommand(nf, CFileListDlg::kRowDelete);
    QVERIFY(!QFile::exists(card->folder + "/20261205_101600_NF.mp4"));
    QVERIFY(!QFile::exists(card->folder + "/20261205_101600_NF.thm"));
    QVERIFY(QFile::exists(card->folder + "/20261205_101600_N.gps"));
    QCOMPARE(Row(list, "20261205_101600_NF"), -1);
    QCOMPARE(list.HeaderText(), QString("Total ( 4 )\n"));
    // Nothing was playing: no close request.
    QCOMPARE(card->frame.Of(UM_PLAY_REQUEST).size(), size_t(0));
    list.OnRowCommand(Row(list, "20261205_101600_NR"), CFileListDlg::kRowDelete);
    QVERIFY(!QFile::exists(card->folder + "/20261205_101600_N.gps"));
    QVERIFY(!QFile::exists(card->folder + "/20261205_101600_N.3gf"));
  }

  void Open_folder_rescans_and_writes_filepath() {
    auto card = MakeCard();
    CFileListDlg& list = *card->list;
    const QString other = card->dir.path() + "/other";
    QDir().mkpath(other);
    QFile(other + "/20261207_120000_MF.mp4").open(QIODevice::WriteOnly);
    QString start;
    list.SetFolderPicker([&](const QString& from) {
      start = from;
      return other;
    });
    list.SetDayFilter(20261205);
    QTest::mouseClick(list.FolderButton(), Qt::LeftButton);
    QCOMPARE(start, card->folder + "/");
    QCOMPARE(list.Names(), QStringList{"20261207_120000_MF"});
    QCOMPARE(list.Filters().day, 0);
    QCOMPARE(QString::fromStdString(card->state.browseFolder), other);
    QCOMPARE(QString::fromStdString(ProfileFile(card->state.settingsFile).GetString(kSetupSection, kKeyFilePath, "")),
             other);
    // Cancelled: nothing changes.
    list.SetFolderPicker([](const QString&) { return QString(); });
    QTest::mouseClick(list.FolderButton(), Qt::LeftButton);
    QCOMPARE(list.Folder(), other.toStdString());
  }

  void Avi_rows_show_a_short_name_and_the_full_one_in_the_tip() {
    auto card = MakeCard({"nor_00000120261205_103000_1F_N.avi"});
    CFileListDlg& list = *card->list;
    const int row = Row(list, "20261205_103000_NF");
    QVERIFY(row >= 0);
    QTest::mouseMove(list.List()->viewport(), RowCentre(list, row));
    QTRY_VERIFY(list.PointerTip()->isVisible());
    QCOMPARE(list.PointerTip()->Text(), QString("nor_00000120261205_103000_1F_N"));
    QTest::mouseMove(list.List()->viewport(), RowCentre(list, row + 1));
    QTRY_VERIFY(!list.PointerTip()->isVisible());
  }

  void Main_view_answers_play_requests() {
    QTemporaryDir dir;
    AppState state;
    state.browseFolder = dir.path().toStdString();
    state.settingsFolder = (dir.path() + "/").toStdString();
    QFile(dir.path() + "/20261205_101500_NF.mp4").open(QIODevice::WriteOnly);
    CMainView view(&state);
    view.resize(960, 686);
    CToolBarDlg* toolbar = view.ToolBar();
    // A temperature report sets the caption and leaves the count alone.
    SharedPlayRequests().pending = 1;
    PostMsg(&view, UM_PLAY_REQUEST, 45, CMainView::kPlayTemperature);
    QCoreApplication::processEvents();
    QCOMPARE(toolbar->DiagnosticCaption(), QString::fromUtf8("45\u00B0C"));
    PostMsg(&view, UM_PLAY_REQUEST, CMainView::kPlayTemperature, CMainView::kPlayTemperature);
    QCoreApplication::processEvents();
    QCOMPARE(toolbar->DiagnosticCaption(), QString::fromUtf8("45\u00B0C"));
    QCOMPARE(SharedPlayRequests().pending, 1);
    // A request for an entry no longer listed (freed by a rescan) is dropped, and the wait
    // message closes as the count reaches zero.
    CWaitMsg wait(&view);
    wait.show();
    SharedPlayRequests().waitWindow = &wait;
    SharedPlayRequests().requestPending = true;
    CatalogEntry stale;
    stale.name = "20261205_101500_NF";
    PostMsg(&view, UM_PLAY_REQUEST, 0, EntryParam(&stale));
    QCoreApplication::processEvents();
    QCOMPARE(toolbar->PlayingTitle(), QString());
    QCOMPARE(SharedPlayRequests().pending, 0);
    QVERIFY(!SharedPlayRequests().requestPending);
    QTRY_VERIFY(!wait.isVisible());
    QCOMPARE(wait.result(), int(QDialog::Accepted));
    SharedPlayRequests().waitWindow = nullptr;
    // Close: the title goes; the count never drops below zero.
    toolbar->SetPlayingTitle("20261205_101500_NF");
    PostMsg(&view, UM_PLAY_REQUEST, CDispCtrlDlg::kCloseStop, CMainView::kPlayClose);
    QCoreApplication::processEvents();
    QCOMPARE(toolbar->PlayingTitle(), QString());
    QCOMPARE(SharedPlayRequests().pending, 0);
    // Ended with nothing current: no next recording, nothing opens.
    SharedPlayRequests().pending = 1;
    PostMsg(&view, UM_PLAY_REQUEST, 0, CMainView::kPlayEnded);
    QCoreApplication::processEvents();
    QCOMPARE(SharedPlayRequests().pending, 0);
    QCOMPARE(view.FileList()->CurrentRow(), -1);
  }
};

QObject* NewFileListTest() { return new FileListTest; }

}  // namespace tq::test

#include "FileListTest.moc"
