// The viewer program itself: one instance per user, and its screenshot of a demo card.
#include <QDir>
#include <QFile>
#include <QImage>
#include <QProcess>
#include <QScopeGuard>
#include <QTest>

#include "GuiTestSupport.h"
#include "GuiTests.h"
#include "ViewerProcess.h"
#include "controls/GuiSkin.h"

namespace tq::test {
namespace {

bool Near(const QColor& a, const QColor& b, int tolerance) {
  return std::abs(a.red() - b.red()) <= tolerance && std::abs(a.green() - b.green()) <= tolerance &&
         std::abs(a.blue() - b.blue()) <= tolerance;
}

}  // namespace

class ViewerProcessTest : public QObject {
  Q_OBJECT
 private slots:
  void Second_start_raises_the_first_and_exits_0() {
    QTemporaryDir home;
    QString instance = "tq-one-" + QString::number(QCoreApplication::applicationPid());
    QProcess first;
    // Whatever happens below, the first viewer does not outlive the test.
    auto stop = qScopeGuard([&] {
      first.terminate();
      if (!first.waitForFinished(5000)) first.kill();
    });
    first.setProcessEnvironment(ViewerEnvironment(home.path(), home.path() + "/none", instance));
    first.start(TQ_VIEWER_PATH, {});
    QVERIFY(first.waitForStarted());
    QTRY_VERIFY_WITH_TIMEOUT(InstanceAnswers(instance), 10000);
    QVERIFY(!ViewerTrace(home.path()).contains("restored for a second start"));
    QProcess second;
    second.setProcessEnvironment(ViewerEnvironment(home.path(), home.path() + "/none", instance));
    second.start(TQ_VIEWER_PATH, {});
    QVERIFY(second.waitForFinished(10000));
    QCOMPARE(second.exitStatus(), QProcess::NormalExit);
    QCOMPARE(second.exitCode(), 0);
    QTRY_VERIFY_WITH_TIMEOUT(ViewerTrace(home.path()).contains("restored for a second start"), 5000);
    QCOMPARE(first.state(), QProcess::Running);
    // Shutdown writes nothing: the settings file was never created.
    first.terminate();
    QVERIFY(first.waitForFinished(5000));
    QVERIFY(!QFile::exists(home.path() + "/Documents/TQ-MB20/setup.ini"));
  }

  void Screenshot_shows_the_dark_skin_and_the_panels() {
    QTemporaryDir home;
    QString card = home.path() + "/demo-card";
    MakeFolderCard(card, {"20261205_081500_NF", "20261205_081500_NR", "20261206_090000_EF"});
    QString picture = QString(TQ_BUILD_DIR) + "/viewer-test.png";
    QFile::remove(picture);
    QProcess viewer;
    viewer.setProcessEnvironment(
        ViewerEnvironment(home.path(), card, "tq-shot-" + QString::number(QCoreApplication::applicationPid())));
    viewer.start(TQ_VIEWER_PATH, {"--language", "english", "--screenshot", picture, "--after", "300"});
    QVERIFY(viewer.waitForFinished(20000));
    QCOMPARE(viewer.exitCode(), 0);
    QImage shot(picture);
    QCOMPARE(shot.size(), QSize(960, 686));
    // Title bar: the theme red; toolbar: dark red; border and gaps: near black.
    QColor title = shot.pixelColor(480, 30);
    QVERIFY2(Near(title, kThemeTitle, 30), qPrintable(title.name()));
    QColor toolbar = shot.pixelColor(700, 86);
    QVERIFY2(toolbar.red() > toolbar.green() && toolbar.red() < 70, qPrintable(toolbar.name()));
    QCOMPARE(shot.pixelColor(400, 150), kPlayerBack);  // the video area, off its watermark
    QVERIFY(Near(shot.pixelColor(427, 670), QColor(180, 180, 182), 2));  // the timeline panel, off its children
    // The map panel covers its corner: its own ground while it waits or cannot reach the
    // tiles, else the map (never the view's gap colour).
    QVERIFY(shot.pixelColor(20, 665) != QColor(16, 6, 10));
    QColor edge = shot.pixelColor(2, 300);
    QVERIFY2(edge.value() < 40, qPrintable(edge.name()));
    // The title text and the card text are drawn in light pixels.
    auto lightPixels = [&](QRect area) {
      int n = 0;
      for (int y = area.top(); y <= area.bottom(); ++y)
        for (int x = area.left(); x <= area.right(); ++x) n += shot.pixelColor(x, y).lightness() > 200;
      return n;
    };
    QVERIFY(lightPixels(QRect(50, 20, 150, 25)) > 50);   // "TQ-MB20_Viewer"
    QVERIFY(lightPixels(QRect(320, 75, 150, 22)) > 50);  // "demo-card TQ-MB20"
  }
};

QObject* NewViewerProcessTest() { return new ViewerProcessTest; }

}  // namespace tq::test

#include "ViewerProcessTest.moc"
