// Cards coming, going and being picked, end to end: TQ_MB20_DRIVES roots appear and
// disappear on disk, the frame's watcher sees it, UM_CARD_CHANGED reaches the view and the
// file list is refilled from the right folder.
#include <QDir>
#include <QSignalSpy>
#include <QTest>
#include <memory>

#include "GuiTestSupport.h"
#include "GuiTests.h"
#include "app/CameraIdentity.h"
#include "app/gui/CAboutDlg.h"
#include "app/gui/CMainFrame.h"
#include "app/gui/CMainView.h"
#include "app/gui/CToolBarDlg.h"
#include "controls/CVelMenu.h"
#include "controls/CVelTextBut.h"
#include "library/gui/CFileListDlg.h"
#include "platform/qt/QtDriveWatcher.h"

namespace tq::test {
namespace {

struct Viewer {
  AppState state;
  SystemDriveProvider drives;
  std::unique_ptr<CMainFrame> frame;
  CMainView* View() { return frame->View(); }
  CFileListDlg* List() { return frame->View()->FileList(); }
  QString SelectorText() { return frame->View()->ToolBar()->CardSelector()->Text(); }
};

// Starts a viewer over the listed roots (some may not exist yet).
std::unique_ptr<Viewer> StartViewer(const QTemporaryDir& home, const QStringList& roots) {
  qputenv("TQ_MB20_DRIVES", roots.join(':').toLocal8Bit());
  auto v = std::make_unique<Viewer>();
  StartupEnvironment env;
  env.folders.documents = (home.path() + "/Documents").toStdString();
  env.folders.videos = (home.path() + "/Videos").toStdString();
  QDir().mkpath(home.path() + "/Documents");
  env.programFolder = home.path().toStdString();
  env.screenHeight = 800;
  env.drives = &v->drives;
  env.versionString = "1.02";
  ResolveStartup(env, &v->state);
  v->frame = std::make_unique<CMainFrame>(&v->state, &v->drives);
  v->frame->GrowOnePixel();
  v->frame->show();
  return v;
}

std::string RecordOf(const QString& root) { return (root + "/TQ-MB20/Record").toStdString(); }

}  // namespace

class CardEventsTest : public QObject {
  Q_OBJECT
 private slots:
  void cleanup() { qunsetenv("TQ_MB20_DRIVES"); }

  void Picking_a_card_reloads_only_when_the_folder_changes() {
    QTemporaryDir home;
    QString a = home.path() + "/A", b = home.path() + "/B";
    MakeFolderCard(a, {"20261205_081500_NF"});
    MakeFolderCard(b, {"20261206_090000_NF", "20261206_090100_EF"});
    auto v = StartViewer(home, {a, b});
    QCOMPARE(v->state.browseFolder, RecordOf(a));
    QCOMPARE(v->List()->Names(), QStringList{"20261205_081500_NF"});
    QVERIFY(v->SelectorText().endsWith("TQ-MB20"));
    const int reloads = v->List()->ReloadCount();

    v->View()->OnCardMenuPick(1);
    QTRY_COMPARE(v->state.browseFolder, RecordOf(b));
    QCOMPARE(v->List()->ReloadCount(), reloads + 1);
    QCOMPARE(v->List()->Names().size(), 2);
    QCOMPARE(v->state.currentCard, b.toStdString());

    // The browsed card again: nothing.
    v->View()->OnCardMenuPick(1);
    QTest::qWait(50);
    QCOMPARE(v->List()->ReloadCount(), reloads + 1);
    QCOMPARE(v->state.browseFolder, RecordOf(b));

    // The card menu lists both cards under the selector's text rule.
    v->View()->ToolBar()->ShowCardMenu();
    QCOMPARE(v->View()->ToolBar()->CardMenu()->Count(), 2);
  }

  void Inserting_while_a_card_is_browsed_changes_only_the_card_list() {
    QTemporaryDir home;
    QString a = home.path() + "/A", c = home.path() + "/C";
    MakeFolderCard(a, {"20261205_081500_NF"});
    auto v = StartViewer(home, {a, c});
    QCOMPARE(v->state.cards.size(), size_t(1));
    const QString selector = v->SelectorText();
    const int reloads = v->List()->ReloadCount();
    MakeFolderCard(c, {"20261206_090000_NF"});
    // The watcher's own poll notices the new root.
    QTRY_COMPARE(v->state.cards.size(), size_t(2));
    QTest::qWait(50);
    QCOMPARE(v->state.browseFolder, RecordOf(a));
    QCOMPARE(v->List()->ReloadCount(), reloads);
    QCOMPARE(v->SelectorText(), selector);
  }

  void Inserting_while_a_folder_is_browsed_switches_to_the_card() {
    QTemporaryDir home;
    QString c = home.path() + "/C";
    auto v = StartViewer(home, {c});
    QCOMPARE(v->SelectorText(), QString(kNoCardText));
    QVERIFY(!v->View()->ToolBar()->CardSelector()->isEnabled());
    MakeFolderCard(c, {"20261206_090000_NF"});
    v->frame->DriveWatcher()->Check();
    QTRY_COMPARE(v->state.browseFolder, RecordOf(c));
    QCOMPARE(v->List()->Names(), QStringList{"20261206_090000_NF"});
    QVERIFY(v->View()->ToolBar()->CardSelector()->isEnabled());
  }

  void Removing_cards_falls_back_to_the_next_card_then_filepath() {
    QTemporaryDir home;
    QString a = home.path() + "/A", b = home.path() + "/B";
    MakeFolderCard(a, {"20261205_081500_NF"});
    MakeFolderCard(b, {"20261206_090000_NF"});
    auto v = StartViewer(home, {a, b});
    v->View()->ShowAbout();
    QTRY_VERIFY(v->View()->AboutBox() && v->View()->AboutBox()->isVisible());
    QVERIFY(v->View()->AboutBox()->CardLine().startsWith("TQ-MB20-1.005"));

    QDir(a).removeRecursively();
    v->frame->DriveWatcher()->Check();
    QTRY_COMPARE(v->state.browseFolder, RecordOf(b));
    QCOMPARE(v->List()->Names(), QStringList{"20261206_090000_NF"});
    // A change of the browsed card closes the About box.
    QTRY_VERIFY(!v->View()->AboutBox());

    QDir(b).removeRecursively();
    v->frame->DriveWatcher()->Check();
    QTRY_COMPARE(v->state.browseFolder, ReadFilePathSetting(v->state));
    QCOMPARE(v->state.browseFolder, (home.path() + "/Videos/Videos").toStdString());
    QCOMPARE(v->state.currentCard, std::string());
    QTRY_COMPARE(v->SelectorText(), QString(kNoCardText));
    QVERIFY(!v->View()->ToolBar()->SetupButton()->isEnabled());
  }

  void Second_family_card_is_browsed_at_its_root() {
    QTemporaryDir home;
    QString d = home.path() + "/D";
    MakeSetupCfgCard(d, {"20261205_081500_NF"});
    auto v = StartViewer(home, {d});
    QCOMPARE(v->state.browseFolder, d.toStdString());
    QCOMPARE(v->List()->Names(), QStringList{"20261205_081500_NF"});
    // Not a supported model for the settings dialog.
    QVERIFY(!v->View()->ToolBar()->SetupButton()->isEnabled());
  }
};

QObject* NewCardEventsTest() { return new CardEventsTest; }

}  // namespace tq::test

#include "CardEventsTest.moc"
