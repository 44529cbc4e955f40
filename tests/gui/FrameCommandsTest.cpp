// The frame's commands: the cloud viewer launch (present and missing), the wait message,
// and a second start's restore request while minimised.
#include <QApplication>
#include <QRegularExpression>
#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include "GuiTests.h"
#include "app/CameraIdentity.h"
#include "app/gui/CAboutDlg.h"
#include "app/gui/CMainFrame.h"
#include "app/gui/CMainView.h"
#include "app/gui/GuiMessages.h"
#include "controls/CMsgBox.h"
#include "controls/CWaitMsg.h"

namespace tq::test {

class FrameCommandsTest : public QObject {
  Q_OBJECT
 private slots:
  void Cloud_viewer_missing_shows_the_message() {
    QTemporaryDir dir;
    AppState state;
    state.programFolder = dir.path().toStdString();
    state.browseFolder = dir.path().toStdString();
    FixedDriveProvider drives({});
    CMainFrame frame(&state, &drives);
    frame.show();
    QSignalSpy failed(&frame, &CMainFrame::cloudViewerFailed);
    QString shownText;
    QTimer::singleShot(100, [&] {
      if (auto* box = qobject_cast<CMsgBox*>(QApplication::activeModalWidget())) {
        shownText = box->Text();
        QCOMPARE(box->Type(), unsigned(kMsgHand));
        box->accept();
      }
    });
    PostMsg(&frame, kWmSysCommand, kScRestoreOrCloud, 1);
    QTRY_COMPARE(failed.count(), 1);
    QTRY_COMPARE(shownText, QString("Open Cloud viewer failed."));
  }

  void Cloud_viewer_present_gets_its_command_line() {
    QTemporaryDir dir;
    AppState state;
    state.programFolder = dir.path().toStdString();
    state.browseFolder = dir.path().toStdString();
    QString program = dir.path() + "/NorvantaCloud";
    QFile script(program);
    QVERIFY(script.open(QIODevice::WriteOnly));
    script.write(QString("#!/bin/sh\necho \"$@\" > '%1/args.txt'\n").arg(dir.path()).toUtf8());
    script.close();
    script.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    FixedDriveProvider drives({});
    CMainFrame frame(&state, &drives);
    frame.show();
    QSignalSpy failed(&frame, &CMainFrame::cloudViewerFailed);
    QVERIFY(frame.OpenCloudViewer());
    QFile args(dir.path() + "/args.txt");
    QTRY_VERIFY(args.exists() && args.size() > 0);
    QVERIFY(args.open(QIODevice::ReadOnly));
    QString line = QString::fromUtf8(args.readAll()).trimmed();
    QVERIFY2(QRegularExpression("^vue=(0x)?[0-9a-f]+,0$").match(line).hasMatch(), qPrintable(line));
    QCOMPARE(failed.count(), 0);
  }

  void Wait_message_holds_its_slot_while_open() {
    QTemporaryDir dir;
    AppState state;
    state.browseFolder = dir.path().toStdString();
    FixedDriveProvider drives({});
    CMainFrame frame(&state, &drives);
    frame.show();
    CWaitMsg* slot = nullptr;
    int frameWhileOpen = -1;
    QSize sizeWhileOpen;
    QTimer::singleShot(350, [&] {
      std::lock_guard<std::mutex> lock(state.catalogLock);
      if (slot) {
        frameWhileOpen = slot->Frame();
        sizeWhileOpen = slot->size();
        slot->accept();  // the view closes it when the pending count falls to zero
      }
    });
    PostMsg(&frame, UM_SHOW_WAIT, 0, reinterpret_cast<long long>(&slot));
    QTRY_VERIFY(frameWhileOpen >= 0);
    QVERIFY(frameWhileOpen >= 2);  // the animation advanced every 100 ms
    QCOMPARE(sizeWhileOpen, QSize(100, 100));
    QTRY_VERIFY(slot == nullptr);
  }

  void Restore_request_restores_a_minimised_frame() {
    QTemporaryDir dir;
    AppState state;
    state.browseFolder = dir.path().toStdString();
    FixedDriveProvider drives({});
    CMainFrame frame(&state, &drives);
    frame.show();
    frame.showMinimized();
    QSignalSpy restored(&frame, &CMainFrame::restoredForSecondStart);
    PostMsg(&frame, kWmSysCommand, kScRestoreOrCloud, 0);
    QTRY_COMPARE(restored.count(), 1);
    QVERIFY(!frame.isMinimized());
    QVERIFY(frame.isVisible());
  }

  void About_box_shows_version_and_no_card_line_without_card() {
    QTemporaryDir dir;
    CAboutDlg about("1.02", "", "english");
    QCOMPARE(about.VersionLine(), QString("1.02 x86"));
    // Pictures for a look by eye, kept in the build folder.
    about.grab().save(QString(TQ_BUILD_DIR) + "/about-test.png");
    CMsgBox question("Delete the selected recordings from the card?", kMsgQuestion);
    question.grab().save(QString(TQ_BUILD_DIR) + "/msgbox-test.png");
    QVERIFY(about.CardLine().isEmpty());
    CameraIdentity id{"1.005", "TQ-MB20", "English", "0"};
    QCOMPARE(QString::fromStdString(CardIdentityLine(id)), QString("TQ-MB20-1.005-E-0"));
    id.language.clear();
    id.option.clear();
    QCOMPARE(QString::fromStdString(CardIdentityLine(id)), QString("TQ-MB20-1.005"));
  }
};

QObject* NewFrameCommandsTest() { return new FrameCommandsTest; }

}  // namespace tq::test

#include "FrameCommandsTest.moc"
