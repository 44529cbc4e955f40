// The format dialog end to end on a listed card image: the toolbar's "format" button, the
// drive list and size, the confirmation, the format, "format_end", the card rescan and an
// empty file list; the image is then judged by fsck.fat and mtools.
#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QProcess>
#include <QTest>
#include <QTimer>
#include <memory>

#include "GuiTestSupport.h"
#include "GuiTests.h"
#include "app/LocalizedText.h"
#include "app/gui/CMainFrame.h"
#include "app/gui/CMainView.h"
#include "app/gui/CToolBarDlg.h"
#include "controls/CMsgBox.h"
#include "controls/CVelTextBut.h"
#include "controls/GuiSkin.h"
#include "device/gui/CFmtDlg.h"
#include "library/gui/CFileListDlg.h"
#include "platform/RawVolume.h"

namespace tq::test {
namespace {

constexpr uint64_t k32GiB = 32ull << 30;

struct Viewer {
  AppState state;
  SystemDriveProvider drives;
  std::unique_ptr<CMainFrame> frame;
};

std::unique_ptr<Viewer> StartViewer(const QTemporaryDir& home, const QString& drivesVariable) {
  qputenv("TQ_MB20_DRIVES", drivesVariable.toLocal8Bit());
  auto v = std::make_unique<Viewer>();
  StartupEnvironment env;
  env.folders.documents = (home.path() + "/Documents").toStdString();
  env.folders.videos = (home.path() + "/Videos").toStdString();
  QDir().mkpath(home.path() + "/Documents");
  env.programFolder = (home.path() + "/program").toStdString();
  env.screenHeight = 800;
  env.drives = &v->drives;
  env.versionString = "1.02";
  ResolveStartup(env, &v->state);
  v->frame = std::make_unique<CMainFrame>(&v->state, &v->drives);
  v->frame->show();
  return v;
}

QString Tip(const char* key) { return QString::fromStdString(LocalizedText(kTextTooltip, key)); }

// Answers the modal windows as a user does: checks and confirms the dialog once, accepts
// every message box, and remembers what each box said.
struct User {
  QString sizeText;
  int driveCount = -1;
  QSize dialogSize;
  QStringList boxTexts;
  std::vector<unsigned> boxTypes;
  bool clickedYes = false;
  bool stayedOpen = false;  // the dialog was still there after the boxes, and was closed with No
  QTimer timer;
  User() {
    timer.setInterval(30);
    QObject::connect(&timer, &QTimer::timeout, [this] { Answer(); });
    timer.start();
  }
  void Answer() {
    QWidget* top = QApplication::activeModalWidget();
    if (auto* box = qobject_cast<CMsgBox*>(top)) {
      boxTexts << box->Text();
      boxTypes.push_back(box->Type());
      box->accept();
    } else if (auto* dlg = qobject_cast<CFmtDlg*>(top); dlg && clickedYes && !boxTexts.isEmpty() && !stayedOpen &&
                                                              dlg->FormattedRoot().empty()) {
      stayedOpen = true;
      QMetaObject::invokeMethod(dlg->NoButton(), "click", Qt::QueuedConnection);
    } else if (auto* dlg = qobject_cast<CFmtDlg*>(top); dlg && !clickedYes) {
      clickedYes = true;
      driveCount = dlg->DriveList()->count();
      sizeText = dlg->SizeLabel()->text();
      dialogSize = dlg->size();
      // Queued: the click runs nested modal loops, and this timer does not fire inside its own slot.
      QMetaObject::invokeMethod(dlg->YesButton(), "click", Qt::QueuedConnection);
    }
  }
};

}  // namespace

class FormatDialogTest : public QObject {
  Q_OBJECT
 private slots:
  void cleanup() { qunsetenv("TQ_MB20_DRIVES"); }

  void Formatting_the_listed_card_image_empties_the_list() {
    QTemporaryDir home;
    const QString root = home.path() + "/CARD", image = home.path() + "/card.img";
    MakeFolderCard(root, {"20261205_081500_NF", "20261205_081600_EF"});
    std::string error;
    QVERIFY(CreateImageFile(image.toStdString(), k32GiB, &error));
    auto v = StartViewer(home, root + "=" + image);
    CFileListDlg* list = v->frame->View()->FileList();
    QCOMPARE(list->Names().size(), 2);
    CToolBarDlg* toolbar = v->frame->View()->ToolBar();
    QVERIFY(toolbar->FormatButton()->isEnabled());

    User user;
    QTest::mouseClick(toolbar->FormatButton(), Qt::LeftButton);  // runs the dialog modally
    QTRY_VERIFY(user.boxTexts.size() >= 2);
    QCOMPARE(user.driveCount, 1);
    QCOMPARE(user.sizeText, QString("32.00 GB"));
    QCOMPARE(user.dialogSize, QSize(CFmtDlg::kWidth * GuiScale(), CFmtDlg::kHeight * GuiScale()));
    // The question names the image, its size and the card; then the end.
    QVERIFY(user.boxTexts[0].startsWith(Tip("format_start")));
    QVERIFY2(user.boxTexts[0].contains(image) && user.boxTexts[0].contains("32.00 GB"), qPrintable(user.boxTexts[0]));
    QCOMPARE(user.boxTypes[0], unsigned(kMsgQuestion));
    QCOMPARE(user.boxTexts[1], Tip("format_end"));
    QCOMPARE(user.boxTypes[1], unsigned(kMsgInformation));

    QTRY_VERIFY(list->Names().isEmpty());
    QCOMPARE(v->state.currentCard, std::string());
    QCOMPARE(v->state.browseFolder, std::string());
    QCOMPARE(toolbar->CardSelector()->Text(), QString("NO SDCard"));

    QProcess fsck;
    fsck.start("fsck.fat", {"-n", image});
    QVERIFY(fsck.waitForFinished(60000));
    QCOMPARE(fsck.exitCode(), 0);
    QProcess mdir;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("MTOOLS_SKIP_CHECK", "1");
    mdir.setProcessEnvironment(env);
    mdir.start("mdir", {"-i", image, "::/"});
    QVERIFY(mdir.waitForFinished(60000));
    QVERIFY(mdir.readAllStandardOutput().contains("Volume in drive : is TQ-MB20"));
    // The folder that stood for the card's old contents is left alone.
    QVERIFY(QFile::exists(root + "/TQ-MB20/Record/20261205_081500_NF.mp4"));
  }

  void A_listed_folder_without_an_image_is_never_formatted() {
    QTemporaryDir home;
    const QString root = home.path() + "/CARD";
    MakeFolderCard(root, {"20261205_081500_NF"});
    auto v = StartViewer(home, root);
    User user;
    QTest::mouseClick(v->frame->View()->ToolBar()->FormatButton(), Qt::LeftButton);
    QTRY_VERIFY(!user.boxTexts.isEmpty());
    QCOMPARE(user.boxTexts[0], Tip("format_fail"));
    QCOMPARE(user.boxTypes[0], unsigned(kMsgHand));
    // The dialog stays open after the failure; No closes it without a rescan.
    QTRY_VERIFY(user.stayedOpen);
    QTRY_VERIFY(!QApplication::activeModalWidget());
    QCOMPARE(v->frame->View()->FileList()->Names().size(), 1);
    QCOMPARE(v->state.currentCard, root.toStdString());
  }
};

QObject* NewFormatDialogTest() { return new FormatDialogTest; }

}  // namespace tq::test

#include "FormatDialogTest.moc"
