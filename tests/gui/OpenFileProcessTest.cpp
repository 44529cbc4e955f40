// "TQ-MB20_Viewer FILE": the program browses the recording's folder and plays it as a double
// click on its row would; a second start hands its file to the running viewer; a path that
// is no recording is refused with one line.
#include <QDir>
#include <QFile>
#include <QImage>
#include <QProcess>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <QTest>

#include "GuiTests.h"
#include "ViewerProcess.h"

namespace tq::test {
namespace {

QProcessEnvironment Environment(const QString& home, const QString& instance) {
  return ViewerEnvironment(home, home + "/no-card", instance);
}

bool Generate(const QString& dir, const QString& camera) {
  QProcess gen;
  gen.start(QString(TQ_BUILD_DIR) + "/tqmb20-gen",
            {"--out-dir", dir, "--start", "20261205_081500", "--camera", camera, "--duration", "1", "--size",
             camera == "rear" ? "256x144" : "320x180", "--fps", "10", "--gop", "10", "--quiet"});
  return gen.waitForFinished(30000) && gen.exitCode() == 0;
}

QString InstanceName(const char* what) { return QString("tq-open-%1-%2").arg(what).arg(QCoreApplication::applicationPid()); }

}  // namespace

class OpenFileProcessTest : public QObject {
  Q_OBJECT
  QTemporaryDir clipsHome_;
  QString clips_;

 private slots:
  void initTestCase() {
    clips_ = clipsHome_.path() + "/clips";
    QVERIFY(Generate(clips_, "front"));
    QVERIFY(Generate(clips_, "rear"));
    QFile(clips_ + "/20261204_230000_EF.mp4").open(QIODevice::WriteOnly);  // listed below the pair
  }

  void File_argument_browses_its_folder_and_plays_its_row() {
    QTemporaryDir home;
    const QString file = clips_ + "/20261205_081500_NR.mp4";
    const QString picture = home.path() + "/open.png";
    QProcess viewer;
    viewer.setProcessEnvironment(Environment(home.path(), InstanceName("arg")));
    viewer.start(TQ_VIEWER_PATH, {"--language", "english", "--screenshot", picture, "--after", "600", file});
    QVERIFY(viewer.waitForFinished(20000));
    QCOMPARE(viewer.exitCode(), 0);
    const QString trace = ViewerTrace(home.path());
    QVERIFY2(trace.contains("open " + file + "\n"), qPrintable(trace));
    // The first recording asked for is the file's own row.
    const qsizetype play = trace.indexOf("] play ");
    QVERIFY2(play >= 0, qPrintable(trace));
    QCOMPARE(trace.mid(play + 7, 18), QString("20261205_081500_NR"));
    // The rows: NF, NR (the played one, marked), EF. The row lies at the list's top left
    // (12, 104) + (3, 54), below its 22-pixel header, 24 pixels per row.
    QImage shot(picture);
    QCOMPARE(shot.size(), QSize(960, 686));
    const int rowTop = 104 + 54 + 22;
    QCOMPARE(shot.pixelColor(205, rowTop + 24 + 12), QColor(0xE8, 0xC4, 0xCB));
    QCOMPARE(shot.pixelColor(205, rowTop + 12), QColor(0xF2, 0xF2, 0xF2));
    QCOMPARE(shot.pixelColor(205, rowTop + 48 + 12), QColor(0xF2, 0xF2, 0xF2));
    // "setup"/"filepath" is left alone: the folder is for this run only.
    QVERIFY(!QFile::exists(home.path() + "/Documents/TQ-MB20/setup.ini"));
  }

  void Second_start_hands_its_file_to_the_running_viewer() {
    QTemporaryDir home;
    const QString instance = InstanceName("second");
    QProcess first;
    auto stop = qScopeGuard([&] {
      first.terminate();
      if (!first.waitForFinished(5000)) first.kill();
    });
    first.setProcessEnvironment(Environment(home.path(), instance));
    first.start(TQ_VIEWER_PATH, {"--language", "english"});
    QVERIFY(first.waitForStarted());
    QTRY_VERIFY_WITH_TIMEOUT(InstanceAnswers(instance), 10000);
    QProcess second;
    second.setProcessEnvironment(Environment(home.path(), instance));
    second.start(TQ_VIEWER_PATH, {clips_ + "/20261205_081500_NF.mp4"});
    QVERIFY(second.waitForFinished(10000));
    QCOMPARE(second.exitCode(), 0);
    QTRY_VERIFY_WITH_TIMEOUT(ViewerTrace(home.path()).contains("play 20261205_081500_NF"), 10000);
    QVERIFY(ViewerTrace(home.path()).contains("restored for a second start"));
    QCOMPARE(first.state(), QProcess::Running);
  }

  void A_path_that_is_no_recording_is_refused_in_one_line() {
    QTemporaryDir home;
    for (const QString& bad : {clips_ + "/missing_NF.mp4", clips_}) {
      QProcess viewer;
      viewer.setProcessEnvironment(Environment(home.path(), InstanceName("bad")));
      viewer.start(TQ_VIEWER_PATH, {bad});
      QVERIFY(viewer.waitForFinished(10000));
      QCOMPARE(viewer.exitCode(), 1);
      const QString error = QString::fromLocal8Bit(viewer.readAllStandardError());
      QVERIFY2(error.contains(bad) && error.count('\n') == 1, qPrintable(error));
    }
  }
};

QObject* NewOpenFileProcessTest() { return new OpenFileProcessTest; }

}  // namespace tq::test

#include "OpenFileProcessTest.moc"
