// The seek bar as a widget: real mouse events, the seek request it posts, its texts and
// the colours it paints for the played, indexed and remaining parts.
#include <QApplication>
#include <QMouseEvent>
#include <QTest>
#include <vector>

#include "GuiTests.h"
#include "app/gui/GuiMessages.h"
#include "controls/GuiSkin.h"
#include "playback/PlayMessages.h"
#include "player/gui/CVelTimeBar.h"

namespace tq::test {
namespace {

// Keeps every posted message.
class MsgProbe : public QObject {
 public:
  struct Got {
    int msg;
    long long w, l;
  };
  std::vector<Got> got;
  bool event(QEvent* e) override {
    if (e->type() >= QEvent::User && e->type() <= QEvent::MaxUser) {
      auto* m = static_cast<MsgEvent*>(e);
      got.push_back({m->msg, m->wParam, m->lParam});
      return true;
    }
    return QObject::event(e);
  }
};

void Mouse(QWidget* w, QEvent::Type type, QPoint at, Qt::MouseButtons held) {
  const Qt::MouseButton button = type == QEvent::MouseMove ? Qt::NoButton : Qt::LeftButton;
  QMouseEvent e(type, QPointF(at), QPointF(w->mapToGlobal(at)), button, held, Qt::NoModifier);
  QApplication::sendEvent(w, &e);
}

void Drag(QWidget* w, QPoint from, QPoint to) {
  Mouse(w, QEvent::MouseButtonPress, from, Qt::LeftButton);
  Mouse(w, QEvent::MouseMove, to, Qt::LeftButton);
  Mouse(w, QEvent::MouseButtonRelease, to, Qt::NoButton);
}

}  // namespace

class TimeBarTest : public QObject {
  Q_OBJECT
 private slots:
  void texts_follow_duration_and_position_data() {
    QTest::addColumn<int>("duration");
    QTest::addColumn<int>("minutes");
    QTest::addColumn<qlonglong>("position");
    QTest::addColumn<QString>("want");
    QTest::newRow("45 s at 12 s") << 45 << 1 << 12000LL << "12 / 45";
    QTest::newRow("3 min at 65 s") << 180 << 3 << 65000LL << "1:05 / 3:00";
    QTest::newRow("end of 45 s") << 45 << 1 << -1LL << "45 / 45";
    QTest::newRow("end of 3 min") << 180 << 3 << -1LL << "3:00 / 3:00";
  }
  void texts_follow_duration_and_position() {
    QFETCH(int, duration);
    QFETCH(int, minutes);
    QFETCH(qlonglong, position);
    QFETCH(QString, want);
    MsgProbe owner;
    CVelTimeBar bar(&owner);
    QCOMPARE(bar.Text(), QString("00 / 00"));
    bar.Setup(duration, minutes);
    bar.SetIndexedTo(duration * 1000);
    bar.SetPosition(position);
    QCOMPARE(bar.Text(), want);
    bar.Reset();
    QCOMPARE(bar.Text(), QString("00 / 00"));
  }

  void drag_beyond_the_indexed_part_seeks_to_its_end() {
    MsgProbe owner;
    CVelTimeBar bar(&owner);
    bar.resize(bar.sizeHint());
    bar.Setup(45, 1);  // 400 ms per pixel
    bar.SetIndexedTo(20000);
    bar.SetEnabledForInput(true);
    bar.show();
    QVERIFY(QTest::qWaitForWindowExposed(&bar));
    Drag(&bar, QPoint(20, 9), QPoint(140, 9));
    QCOMPARE(bar.Model().played, 50);
    QCOMPARE(bar.Text(), QString("20 / 45"));
    QCoreApplication::processEvents();
    QCOMPARE(int(owner.got.size()), 1);
    QCOMPARE(owner.got[0].msg, int(kMsgSeekRequest));
    QCOMPARE(owner.got[0].w, 0LL);
    QCOMPARE(owner.got[0].l, 20000LL);
    // Played in the accent colour, then the remaining part; the text on its dark band.
    const QImage shot = bar.grab().toImage();
    QCOMPARE(shot.pixelColor(10, 9), kThemeTitle);
    QCOMPARE(shot.pixelColor(49, 9), kThemeTitle);
    QCOMPARE(shot.pixelColor(60, 9), QColor(0x80, 0x85, 0x89));
    QCOMPARE(shot.pixelColor(151, 1), QColor(0x05, 0x0A, 0x10));
  }

  void indexed_part_is_drawn_between_played_and_rest() {
    MsgProbe owner;
    CVelTimeBar bar(&owner);
    bar.resize(bar.sizeHint());
    bar.Setup(180, 3);  // 1200 ms per pixel
    bar.SetIndexedTo(120000);
    bar.SetPosition(12000);
    const QImage shot = bar.grab().toImage();
    QCOMPARE(shot.pixelColor(5, 9), kThemeTitle);
    QCOMPARE(shot.pixelColor(50, 9), QColor(0x3C, 0x3F, 0x40));
    QCOMPARE(shot.pixelColor(120, 9), QColor(0x80, 0x85, 0x89));
  }

  void presses_on_the_text_or_before_start_are_ignored_data() {
    QTest::addColumn<bool>("enabled");
    QTest::addColumn<QPoint>("at");
    QTest::newRow("on the text") << true << QPoint(180, 9);
    QTest::newRow("first text pixel") << true << QPoint(150, 9);
    QTest::newRow("before play message 0") << false << QPoint(30, 9);
  }
  void presses_on_the_text_or_before_start_are_ignored() {
    QFETCH(bool, enabled);
    QFETCH(QPoint, at);
    MsgProbe owner;
    CVelTimeBar bar(&owner);
    bar.resize(bar.sizeHint());
    bar.Setup(45, 1);
    bar.SetIndexedTo(45000);
    bar.SetPosition(4000);
    bar.SetEnabledForInput(enabled);
    Drag(&bar, at, at - QPoint(100, 0));
    QCoreApplication::processEvents();
    QVERIFY(owner.got.empty());
    QCOMPARE(bar.Model().played, 10);
    QCOMPARE(bar.Text(), QString("4 / 45"));
    QVERIFY(!bar.Model().dragging);
  }

  void engine_positions_wait_while_the_user_drags() {
    MsgProbe owner;
    CVelTimeBar bar(&owner);
    bar.resize(bar.sizeHint());
    bar.Setup(45, 1);
    bar.SetIndexedTo(45000);
    bar.SetEnabledForInput(true);
    Mouse(&bar, QEvent::MouseButtonPress, QPoint(100, 9), Qt::LeftButton);
    bar.SetPosition(1000);  // a play message while the button is down
    QCOMPARE(bar.Model().played, 100);
    Mouse(&bar, QEvent::MouseButtonRelease, QPoint(100, 9), Qt::NoButton);
    QCoreApplication::processEvents();
    QCOMPARE(int(owner.got.size()), 1);
    QCOMPARE(owner.got[0].l, 40000LL);
    bar.SetPosition(1000);
    QCOMPARE(bar.Model().played, 2);
  }
};

QObject* NewTimeBarTest() { return new TimeBarTest; }

}  // namespace tq::test

#include "TimeBarTest.moc"
