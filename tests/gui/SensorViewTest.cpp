// The sensor view inside the advanced G-sensor dialog, on a generated recording with a
// jolt at a known time, and the motion-region dialog's background picture.
#include <QApplication>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QFile>
#include <algorithm>
#include <array>
#include <cstdlib>

#include "CameraRecording.h"
#include "GuiTests.h"
#include "SampleSets.h"
#include "controls/CVelSenSld.h"
#include "device/gui/CSetMotDlg.h"
#include "device/gui/CSetSenDlg.h"
#include "player/gui/CVelTimeBar.h"
#include "telemetry/SensorSamples.h"
#include "telemetry/gui/CSenDispDlg.h"

namespace tq::test {
namespace {

constexpr uint32_t kJoltMs = 1500;
constexpr int kJoltStrength = 200;

RecordingSpec Spec(char type, int minute, bool thumBox) {
  RecordingSpec s;
  s.width = 320;
  s.height = 180;
  s.durationMs = 3000;
  s.sound = true;
  s.type = type;
  s.thumBox = thumBox;
  s.startSeconds = ClockSeconds(2026, 12, 5, 10, minute, 0);
  s.joltMs = kJoltMs;
  s.joltStrength = kJoltStrength;
  s.seed = uint32_t(minute);
  return s;
}

QString Make(const QTemporaryDir& dir, const RecordingSpec& s) {
  RecordingResult r;
  std::string error;
  const std::string name = RecordingBaseName(s);
  if (!WriteRecording(s, dir.path().toStdString() + "/" + name + ".mp4", &r, &error)) qWarning("%s", error.c_str());
  return QString::fromStdString(name);
}

// The recording's strongest record on the X axis: the jolt.
Gsf3Record JoltRecord(const std::string& path) {
  // The embedded "3gf " block is what the view reads.
  std::string bytes;
  {
    QFile f(QString::fromStdString(path));
    f.open(QIODevice::ReadOnly);
    bytes = f.readAll().toStdString();
  }
  const size_t at = bytes.find("3gf ");
  Gsf3Record best;
  if (at == std::string::npos) return best;
  const uint32_t size = uint32_t(uint8_t(bytes[at - 4])) << 24 | uint32_t(uint8_t(bytes[at - 3])) << 16 |
                        uint32_t(uint8_t(bytes[at - 2])) << 8 | uint8_t(bytes[at - 1]);
  for (const Gsf3Record& r : Parse3GF(reinterpret_cast<const uint8_t*>(bytes.data() + at + 4), size - 8))
    if (std::abs(r.axis[0]) > std::abs(best.axis[0]) && r.timeMs != 0xFFFFFFFFu) best = r;
  // The view hands out values clamped as it reads them.
  for (int16_t& a : best.axis) a = int16_t(std::clamp<int>(a, -SensorSamples::kClamp, SensorSamples::kClamp));
  return best;
}

}  // namespace

class SensorViewTest : public QObject {
  Q_OBJECT
 private slots:
  void Jolt_reaches_the_sliders_with_its_picture() {
    QTemporaryDir dir;
    const QString older = Make(dir, Spec('N', 10, false));
    const QString newer = Make(dir, Spec('E', 20, false));
    const Gsf3Record jolt = JoltRecord(dir.path().toStdString() + "/" + newer.toStdString() + ".mp4");
    QVERIFY(std::abs(jolt.axis[0]) > 100);
    QVERIFY(jolt.timeMs >= kJoltMs && jolt.timeMs < kJoltMs + 300);

    CSetSenDlg dialog(dir.path().toStdString(), dir.path().toStdString(), {3, 3, 3});
    dialog.show();
    QCOMPARE(dialog.List()->count(), 2);
    QCOMPARE(dialog.List()->item(0)->text(), newer);
    QCOMPARE(dialog.Header()->text(), QString("Total ( 2 )"));
    dialog.Filter(0)->setChecked(false);  // "N" off
    QCOMPARE(dialog.List()->count(), 1);
    dialog.Filter(0)->setChecked(true);

    // Where the picture was when the jolt reached the sliders.
    // Connected after the dialog's own slot, so the sliders have taken the sample when
    // this runs.
    int64_t shownAtJolt = -1;
    std::array<int, 3> slidersAtJolt{};
    int windowAtJolt = 0;
    connect(dialog.SensorView(), &CSenDispDlg::sample, this, [&](int x, int, int) {
      if (x == jolt.axis[0] && shownAtJolt < 0) {
        shownAtJolt = dialog.SensorView()->SeekBar()->PositionMs();
        slidersAtJolt = {dialog.LastValue(0), dialog.LastValue(1), dialog.LastValue(2)};
        windowAtJolt = dialog.Slider(0)->Window().back();
      }
    });
    QVERIFY(dialog.PlayRow(0));
    QTRY_VERIFY_WITH_TIMEOUT(shownAtJolt >= 0, 15000);
    QCOMPARE(slidersAtJolt[0], int(jolt.axis[0]));
    QCOMPARE(slidersAtJolt[1], int(jolt.axis[1]));
    QCOMPARE(slidersAtJolt[2], int(jolt.axis[2]));
    QCOMPARE(windowAtJolt, int(jolt.axis[0]));
    // Handed out with the picture of its time: not before it, and no later than the next
    // G-sensor record (100 ms) plus one picture (33 ms).
    QVERIFY2(shownAtJolt >= int64_t(jolt.timeMs) && shownAtJolt <= int64_t(jolt.timeMs) + 133,
             qPrintable(QString("jolt %1 ms shown at %2 ms").arg(jolt.timeMs).arg(shownAtJolt)));

    // The top row is the newest: at its end there is no newer one and the view stops.
    QTRY_VERIFY_WITH_TIMEOUT(!dialog.SensorView()->Playing(), 15000);
    QCOMPARE(dialog.SensorView()->SeekBar()->Text(), QString("00 / 00"));
    // The older row's end plays the newer one.
    QVERIFY(dialog.PlayRow(1));
    QCOMPARE(dialog.List()->item(1)->text(), older);
    QTRY_VERIFY_WITH_TIMEOUT(dialog.List()->currentRow() == 0, 15000);
    QVERIFY(dialog.SensorView()->Playing());
  }

  void Motion_region_background_is_the_newest_thum_picture() {
    QTemporaryDir dir;
    Make(dir, Spec('N', 10, true));   // has the picture
    Make(dir, Spec('N', 20, false));  // newest, without: the dialog falls back
    CSetMotDlg dialog(dir.path().toStdString(), true, {0x1, 0});
    dialog.show();
    QVERIFY(!dialog.Background(0).isNull());
    QCOMPARE(dialog.Background(0).size(), QSize(320, 180));
    QVERIFY(dialog.Background(1).isNull());  // no rear recordings on this card
    // The editor shows the picture: a pixel of an unselected cell is the picture's pixel.
    QImage shot = dialog.Editor()->grab().toImage();
    const QPoint inCell = dialog.Editor()->CellRect(2, 2).center();
    const QPoint inPicture(inCell.x() * 320 / dialog.Editor()->width(), inCell.y() * 180 / dialog.Editor()->height());
    const QColor want = dialog.Background(0).pixelColor(inPicture), got = shot.pixelColor(inCell);
    QVERIFY2(std::abs(want.red() - got.red()) < 24 && std::abs(want.green() - got.green()) < 24 &&
                 std::abs(want.blue() - got.blue()) < 24,
             qPrintable(want.name() + " vs " + got.name()));
    // Clicking a cell toggles its bit.
    QTest::mouseClick(dialog.Editor(), Qt::LeftButton, {}, dialog.Editor()->CellRect(1, 0).center());
    QCOMPARE(dialog.Editor()->Mask(), 0x3u);
  }
};

QObject* NewSensorViewTest() { return new SensorViewTest; }

}  // namespace tq::test

#include "SensorViewTest.moc"
