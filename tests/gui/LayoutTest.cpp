// The main view's layout at both interface scales, the frame's minimum size, the enlarged
// modes and the application's keyboard filter (Escape, Alt then T).
#include <QTest>
#include <QTemporaryDir>
#include <QWindow>

#include "GuiTests.h"
#include "app/UiFonts.h"
#include "app/gui/CMainFrame.h"
#include "app/gui/CMainView.h"
#include "app/gui/CNorvantaSDApp.h"
#include "app/gui/CToolBarDlg.h"
#include "controls/CVelTextBut.h"
#include "app/gui/GuiMessages.h"
#include "app/gui/MainLayout.h"
#include "controls/GuiSkin.h"
#include "library/gui/CFileListDlg.h"

namespace tq::test {

class LayoutTest : public QObject {
  Q_OBJECT
 private slots:
  void Values_at_scale_1_and_2_data() {
    QTest::addColumn<int>("scale");
    QTest::addColumn<int>("title");
    QTest::addColumn<int>("contentTop");
    QTest::addColumn<int>("timeline");
    QTest::addColumn<int>("left");
    QTest::addColumn<int>("split");
    QTest::newRow("scale 1") << 1 << 63 << 98 << 179 << 224 << 490;
    QTest::newRow("scale 2") << 2 << 96 << 166 << 331 << 448 << 1024;
  }
  void Values_at_scale_1_and_2() {
    QFETCH(int, scale);
    LayoutValues v = InitialLayoutValues(scale);
    QFETCH(int, title);
    QFETCH(int, contentTop);
    QFETCH(int, timeline);
    QFETCH(int, left);
    QFETCH(int, split);
    QCOMPARE(v.titleHeight, title);
    QCOMPARE(v.contentTop, contentTop);
    QCOMPARE(v.timelineHeight, timeline);
    QCOMPARE(v.leftWidth, left);
    QCOMPARE(v.leftSplit, split);
  }

  void Rects_of_the_minimum_window() {
    LayoutValues v = InitialLayoutValues(1);
    MainRects r = LayoutMain(960, 686, &v);
    QCOMPARE(r.title, QRect(6, 6, 948, 63));
    QCOMPARE(r.toolbar, QRect(6, 69, 948, 35));
    QCOMPARE(r.fileList, QRect(12, 104, 224, 311));
    QCOMPARE(r.gps, QRect(12, 415, 224, 75));
    QCOMPARE(r.map, QRect(12, 496, 224, 178));
    QCOMPARE(r.splitter.x(), 236);
    QCOMPARE(r.player, QRect(242, 104, 706, 385));
    QCOMPARE(r.timeline, QRect(242, 495, 706, 179));
    // Border 0 (maximised): the panels reach further out.
    v.border = 0;
    r = LayoutMain(960, 686, &v);
    QCOMPARE(r.title, QRect(0, 0, 960, 63));
    QCOMPARE(r.timeline.bottom(), 686 - 6 - 1);
  }

  void Shrinking_keeps_the_left_column_inside() {
    LayoutValues v = InitialLayoutValues(1);
    MainRects r = LayoutMain(200, 300, &v);
    QCOMPARE(v.leftWidth, 200 - 24);
    QCOMPARE(v.leftSplit, 300 - 12);
    QVERIFY(r.fileList.right() < 200);
    QVERIFY(r.map.bottom() < 300);
  }

  void Frame_at_scale_2_is_1920_by_1372_and_no_smaller() {
    InitGuiSkin(2, UiFontsFor("english", 2));
    QTemporaryDir dir;
    AppState state;
    state.uiScale = 2;
    state.browseFolder = dir.path().toStdString();
    FixedDriveProvider drives({});
    {
      CMainFrame frame(&state, &drives);
      QCOMPARE(frame.size(), QSize(1920, 1371));  // created one pixel short
      frame.GrowOnePixel();
      QCOMPARE(frame.size(), QSize(1920, 1372));
      frame.show();
      frame.resize(1000, 700);
      QCOMPARE(frame.size(), QSize(1920, 1372));
      QCOMPARE(frame.minimumSize(), QSize(1920, 1372));
      // The panels sit where the scale-2 values put them.
      CMainView* view = frame.View();
      QCOMPARE(view->FileList()->geometry().topLeft(), QPoint(12, 166 + 6));
      QCOMPARE(view->FileList()->width(), 448);
      QCOMPARE(view->TimelinePanel()->height(), 331);
    }
    InitGuiSkin(1, UiFontsFor("english", 1));
  }

  void Left_width_is_clamped_on_a_narrow_frame() {
    QTemporaryDir dir;
    AppState state;
    state.browseFolder = dir.path().toStdString();
    FixedDriveProvider drives({});
    CMainFrame frame(&state, &drives);
    frame.GrowOnePixel();
    frame.show();
    frame.View()->SetLeftWidth(5000);
    QCOMPARE(frame.View()->Values().leftWidth, 960 - 24);
    QVERIFY(frame.View()->FileList()->geometry().right() < frame.width());
  }

  void Toolbar_title_right_and_caption_only_with_the_diagnostic_display() {
    CToolBarDlg bar;
    bar.resize(900, 35);
    bar.UpdateCardDisplay({}, "");
    auto count = [&](const QColor& want, QRect area) {
      QImage shot = bar.grab().toImage();
      int n = 0;
      for (int y = area.top(); y <= area.bottom(); ++y)
        for (int x = area.left(); x <= area.right(); ++x) n += shot.pixelColor(x, y) == want;
      return n;
    };
    const QRect right(700, 0, 200, 35), left(bar.CardSelector()->geometry().right() + 1, 0, 150, 35);
    QCOMPARE(count(kTitleGrey, right), 0);
    bar.SetPlayingTitle("20261205_081500_NF");
    QVERIFY(count(kTitleGrey, right) > 20);   // right-aligned
    QCOMPARE(count(kTitleGrey, left), 0);
    bar.SetDiagnosticCaption(QString::fromUtf8("41°C"));
    QCOMPARE(count(kCaptionRed, left), 0);    // the display is off
    bar.SetDiagnosticDisplay(true);
    QVERIFY(count(kCaptionRed, left) > 10);   // left-aligned
    // Without a card the selector and both buttons are disabled.
    QVERIFY(!bar.CardSelector()->isEnabled());
    QVERIFY(!bar.SetupButton()->isEnabled());
    QVERIFY(!bar.FormatButton()->isEnabled());
  }

  // The whole application: its keyboard filter and the enlarged modes.
  void Enlarged_modes_and_Escape() {
    QTemporaryDir home;
    qputenv("HOME", home.path().toLocal8Bit());
    qputenv("XDG_CONFIG_HOME", (home.path() + "/config").toLocal8Bit());
    qputenv("TQ_MB20_INSTANCE", ("tq-gui-test-" + QString::number(QCoreApplication::applicationPid())).toLocal8Bit());
    qputenv("TQ_MB20_DRIVES", (home.path() + "/no-card").toLocal8Bit());
    CNorvantaSDApp app;
    int exitCode = -1;
    QVERIFY(app.InitInstance(AppOptions{}, &exitCode));
    CMainFrame* frame = app.Frame();
    QVERIFY(QTest::qWaitForWindowExposed(frame));
    CMainView* view = frame->View();
    const QRect normalPlayer = view->PlayerPanel()->geometry();
    QCOMPARE(app.State().browseFolder, (home.path() + "/Videos/Videos").toStdString());

    PostMsg(view, UM_TOGGLE_VIEW_MODE, 0, 0);
    QTRY_VERIFY(view->Mode() == ViewMode::EnlargedVideo);
    QTRY_COMPARE(view->PlayerPanel()->geometry(), view->rect());
    QVERIFY(!view->FileList()->isVisible());
    QVERIFY(!view->TimelinePanel()->isVisible());
    // The video area covers where the file list was.
    QImage shot = frame->grab().toImage();
    QCOMPARE(shot.pixelColor(30, 200), kPlayerBack);

    QTest::keyClick(frame->windowHandle(), Qt::Key_Escape);
    QTRY_VERIFY(view->Mode() == ViewMode::Normal);
    QTRY_COMPARE(view->PlayerPanel()->geometry(), normalPlayer);
    QVERIFY(view->FileList()->isVisible());
    // A second Escape changes nothing.
    QTest::keyClick(frame->windowHandle(), Qt::Key_Escape);
    QTest::qWait(50);
    QVERIFY(view->Mode() == ViewMode::Normal);

    PostMsg(view, UM_TOGGLE_VIEW_MODE, 1, 0);
    QTRY_VERIFY(view->Mode() == ViewMode::EnlargedMap);
    QTRY_COMPARE(view->MapPanel()->geometry(), view->rect());
    QVERIFY(!view->PlayerPanel()->isVisible());
    QTest::keyClick(frame->windowHandle(), Qt::Key_Escape);
    QTRY_VERIFY(view->Mode() == ViewMode::Normal);
    QVERIFY(view->PlayerPanel()->isVisible());

    // T alone does nothing; Alt then T sets the diagnostic display.
    QTest::keyClick(frame->windowHandle(), Qt::Key_T);
    QVERIFY(!app.State().diagnosticDisplay);
    QTest::keyPress(frame->windowHandle(), Qt::Key_Alt);
    QTest::keyClick(frame->windowHandle(), Qt::Key_T);
    QVERIFY(app.State().diagnosticDisplay);
    qunsetenv("TQ_MB20_DRIVES");
  }
};

QObject* NewLayoutTest() { return new LayoutTest; }

}  // namespace tq::test

#include "LayoutTest.moc"
