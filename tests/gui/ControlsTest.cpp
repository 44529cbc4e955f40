// Owner-drawn controls: image choice, sizes, the sensor graph's window and level table, the
// message box's buttons. Pixels are compared where the look is the point.
#include <QApplication>
#include <QPainter>
#include <QSignalSpy>
#include <QTest>

#include "GuiTests.h"
#include "app/UiFonts.h"
#include "controls/CMsgBox.h"
#include "controls/CVelBut.h"
#include "controls/CVelListCtrl.h"
#include "controls/CWaitMsg.h"
#include "controls/CVelMenu.h"
#include "controls/CVelSenSld.h"
#include "controls/CVelTextBut.h"
#include "controls/GuiSkin.h"

namespace tq::test {
namespace {

// The widget's own picture equals the list's image at `index` (drawn at the scale).
bool ShowsImage(QWidget* w, const ImageList& list, int index) {
  QImage shot = w->grab().toImage().convertToFormat(QImage::Format_ARGB32_Premultiplied);
  QImage want(shot.size(), QImage::Format_ARGB32_Premultiplied);
  want.fill(w->palette().color(QPalette::Window));
  {
    QPainter p(&want);
    p.drawPixmap(QRect(QPoint(0, 0), list.cell * GuiScale()), *list.At(index));
  }
  return shot == want;
}

}  // namespace

class ControlsTest : public QObject {
  Q_OBJECT
 private slots:
  void ImgBut_image_choice_in_every_state_data() {
    QTest::addColumn<int>("base");
    QTest::addColumn<int>("disabledIndex");
    QTest::addColumn<bool>("threeState");
    QTest::addColumn<bool>("disabled");
    QTest::addColumn<bool>("hover");
    QTest::addColumn<bool>("pressed");
    QTest::addColumn<bool>("latched");
    QTest::addColumn<int>("want");
    // Disabled: the disabled index when set, else the base.
    QTest::newRow("disabled, no disabled index") << 6 << -1 << true << true << false << false << false << 6;
    QTest::newRow("disabled, disabled index") << 6 << 2 << true << true << true << true << true << 2;
    // Three-state look.
    QTest::newRow("hover") << 6 << -1 << true << false << true << false << false << 8;
    QTest::newRow("hover latched") << 6 << -1 << true << false << true << false << true << 7;
    QTest::newRow("hover pressed") << 6 << -1 << true << false << true << true << false << 8;
    QTest::newRow("pressed") << 6 << -1 << true << false << false << true << false << 8;
    QTest::newRow("pressed latched") << 6 << -1 << true << false << false << true << true << 8;
    QTest::newRow("normal") << 6 << -1 << true << false << false << false << false << 7;
    QTest::newRow("latched") << 6 << -1 << true << false << false << false << true << 8;
    // Plain look: base + 1 + latched.
    QTest::newRow("plain") << 6 << -1 << false << false << true << true << false << 7;
    QTest::newRow("plain latched") << 6 << -1 << false << false << false << false << true << 8;
    // No SetImage: the default list's first images.
    QTest::newRow("unset base") << -1 << -1 << false << false << false << false << false << 0;
    QTest::newRow("unset base latched") << -1 << -1 << false << false << false << false << true << 1;
  }
  void ImgBut_image_choice_in_every_state() {
    QFETCH(int, base);
    QFETCH(int, disabledIndex);
    QFETCH(bool, threeState);
    QFETCH(bool, disabled);
    QFETCH(bool, hover);
    QFETCH(bool, pressed);
    QFETCH(bool, latched);
    QFETCH(int, want);
    QCOMPARE(ImgButImageIndex(base, disabledIndex, threeState, {disabled, hover, pressed, latched}), want);
  }

  void ImgBut_widget_draws_the_chosen_image() {
    CVelImgBut button;
    button.SetImage(kGlyphClose * 3);
    button.resize(button.sizeHint());
    QCOMPARE(button.size(), QSize(18, 18));
    button.show();
    QVERIFY(QTest::qWaitForWindowExposed(&button));
    QCOMPARE(button.CurrentImageIndex(), kGlyphClose * 3 + 1);
    QVERIFY(ShowsImage(&button, ImageButtonList(), kGlyphClose * 3 + 1));
    // Hover: the first mouse move sets it; leaving clears it.
    QTest::mouseMove(&button, QPoint(5, 5));
    QTRY_VERIFY(button.Hovering());
    QCOMPARE(button.CurrentImageIndex(), kGlyphClose * 3 + 2);
    QVERIFY(ShowsImage(&button, ImageButtonList(), kGlyphClose * 3 + 2));
    QEvent leave(QEvent::Leave);
    QApplication::sendEvent(&button, &leave);
    QVERIFY(!button.Hovering());
    button.setEnabled(false);
    QVERIFY(ShowsImage(&button, ImageButtonList(), kGlyphClose * 3));
    // SetImage clears a disabled index set before it.
    button.SetDisabledImage(0);
    QCOMPARE(button.CurrentImageIndex(), 0);
    button.SetImage(kGlyphClose * 3);
    QCOMPARE(button.CurrentImageIndex(), kGlyphClose * 3);
  }

  void ChkBut_draws_base_plus_checked() {
    CVelChkBut check;
    check.SetImage(0);
    check.resize(check.sizeHint());
    QCOMPARE(check.size(), QSize(23, 23));
    QVERIFY(ShowsImage(&check, CheckButtonList(), 0));
    check.setChecked(true);
    QVERIFY(ShowsImage(&check, CheckButtonList(), 1));
  }

  void TextBut_sizes_follow_text_and_icon_data() {
    QTest::addColumn<int>("textWidth");
    QTest::addColumn<bool>("hasText");
    QTest::addColumn<bool>("hasIcon");
    QTest::addColumn<int>("scale");
    QTest::addColumn<QSize>("want");
    QTest::newRow("no text") << 0 << false << true << 1 << QSize(22, 22);
    QTest::newRow("no text, scale 2") << 0 << false << false << 2 << QSize(44, 44);
    QTest::newRow("short text: at least 60") << 20 << true << false << 1 << QSize(60, 22);
    QTest::newRow("at exactly 60") << 48 << true << false << 1 << QSize(60, 22);
    QTest::newRow("one over") << 49 << true << false << 1 << QSize(61, 22);
    QTest::newRow("icon adds 21") << 48 << true << true << 1 << QSize(81, 22);
    QTest::newRow("scale 2 minimum 120") << 100 << true << false << 2 << QSize(120, 44);
    QTest::newRow("scale 2 long") << 200 << true << true << 2 << QSize(233, 44);
  }
  void TextBut_sizes_follow_text_and_icon() {
    QFETCH(int, textWidth);
    QFETCH(bool, hasText);
    QFETCH(bool, hasIcon);
    QFETCH(int, scale);
    QFETCH(QSize, want);
    QCOMPARE(TextButSize(textWidth, hasText, hasIcon, scale), want);
  }

  void TextBut_widget_resizes_and_paints_its_state() {
    CVelTextBut button;
    button.SetText(QString(), kGlyphPlay * 3 + 1);
    QCOMPARE(button.size(), QSize(22, 22));
    QString longText = "a rather long button caption";
    button.SetText(longText);
    QCOMPARE(button.width(), QFontMetrics(GuiFont(UiFontKind::Normal)).horizontalAdvance(longText) + 12);
    // Normal and pressed faces differ in colour at the middle of the button's top band.
    QImage normal = button.grab().toImage();
    button.setDown(true);
    QCOMPARE(button.StateNumber(), 3);
    QImage pressed = button.grab().toImage();
    QPoint probe(button.width() / 2, 3);
    QVERIFY(normal.pixelColor(probe) != pressed.pixelColor(probe));
    QVERIFY(pressed.pixelColor(probe).red() > normal.pixelColor(probe).red());
    button.setDown(false);
    button.setEnabled(false);
    QCOMPARE(button.StateNumber(), 0);
  }

  void SenSld_keeps_the_last_20_samples() {
    CVelSenSld graph(0);
    for (int i = 1; i <= 20; ++i) graph.AddSample(i);
    QCOMPARE(graph.Window().size(), size_t(20));
    QCOMPARE(graph.Window().front(), 1);
    graph.AddSample(21);  // the 21st shifts the window
    QCOMPARE(graph.Window().size(), size_t(20));
    QCOMPARE(graph.Window().front(), 2);
    QCOMPARE(graph.Window().back(), 21);
    // Mean of 2..21 is 11 (integer), so the plot is 21 - 11.
    QCOMPARE(graph.PlottedValue(), 10);
    for (int i = 0; i < 19; ++i) graph.AddSample(0);
    graph.AddSample(1000);  // clamped
    QCOMPARE(graph.PlottedValue(), 150);
    for (int i = 0; i < 20; ++i) graph.AddSample(0);
    graph.AddSample(-1000);
    QCOMPARE(graph.PlottedValue(), -150);
  }

  void SenSld_level_table_data() {
    QTest::addColumn<int>("row");
    QTest::addColumn<int>("v");
    QTest::addColumn<int>("step");
    QTest::addColumn<int>("value");
    QTest::newRow("mid-line: step 0") << 0 << 0 << 0 << 0;
    QTest::newRow("row 0, v 2 -> 144 gives 2") << 0 << 2 << 1 << 2;
    QTest::newRow("row 0, v 3") << 0 << 3 << 2 << 7;
    QTest::newRow("row 0, v 7 exact") << 0 << 7 << 2 << 7;
    QTest::newRow("row 0, v 8") << 0 << 8 << 3 << 19;
    QTest::newRow("row 1, v 20 -> 70 gives 26") << 1 << 20 << 3 << 26;
    QTest::newRow("row 2, v 27 -> 65 gives 28") << 2 << 27 << 4 << 28;
    QTest::newRow("row 0, v 45 -> 15 gives 45") << 0 << 45 << 8 << 45;
    QTest::newRow("row 0, v 46 -> 12") << 0 << 46 << 9 << 46;
    QTest::newRow("beyond every entry: step 10") << 0 << 50 << 10 << 46;
  }
  void SenSld_level_table() {
    QFETCH(int, row);
    QFETCH(int, v);
    QFETCH(int, step);
    QFETCH(int, value);
    SensorLevel level = SensorLevelFor(row, v);
    QCOMPARE(level.step, step);
    QCOMPARE(level.value, value);
  }

  void SenSld_click_in_the_strip_posts_the_step() {
    CVelSenSld graph(1);
    graph.resize(graph.sizeHint());
    QSignalSpy spy(&graph, &CVelSenSld::levelSet);
    QTest::mouseClick(&graph, Qt::LeftButton, {}, QPoint(100, 20));  // not the strip
    QCOMPARE(spy.count(), 0);
    QTest::mouseClick(&graph, Qt::LeftButton, {}, QPoint(265, 50 + 20));  // folded: v 20
    QCOMPARE(spy.count(), 1);
    QCOMPARE(spy[0][0].toInt(), 1);
    QCOMPARE(spy[0][1].toInt(), 3);
    QCOMPARE(graph.Level().value, 26);
    graph.setEnabled(false);
    QTest::mouseClick(&graph, Qt::LeftButton, {}, QPoint(265, 5));
    QCOMPARE(spy.count(), 1);
  }

  void MsgBox_buttons_by_type_data() {
    QTest::addColumn<unsigned>("type");
    QTest::addColumn<QStringList>("labels");
    QTest::newRow("question") << unsigned(kMsgQuestion) << QStringList{"string_yes", "string_no"};
    QTest::newRow("hand") << unsigned(kMsgHand) << QStringList{"str_yes"};
    QTest::newRow("exclamation") << unsigned(kMsgExclamation) << QStringList{"str_yes"};
    QTest::newRow("information") << 0u << QStringList{"str_yes"};
  }
  void MsgBox_buttons_by_type() {
    QFETCH(unsigned, type);
    QFETCH(QStringList, labels);
    // No language file is loaded here, so a label shows its key.
    CMsgBox box("Open Cloud viewer failed.", type);
    QStringList got;
    for (CVelTextBut* b : box.Buttons()) got << b->Text();
    QCOMPARE(got, labels);
    QCOMPARE(box.width(), CMsgBox::kWidth);
    // A longer text makes a taller box.
    CMsgBox tall(QString("word ").repeated(80), type);
    QVERIFY(tall.height() > box.height());
    // Every button sits inside the box.
    for (CVelTextBut* b : tall.Buttons()) QVERIFY(tall.rect().contains(b->geometry()));
  }

  void DispBut_click_toggles_and_reports_the_new_state() {
    QWidget back;
    back.setAutoFillBackground(true);
    QPalette pal = back.palette();
    pal.setColor(QPalette::Window, Qt::black);
    back.setPalette(pal);
    back.resize(200, 100);
    CDispBut button(&back);
    QCOMPARE(button.size(), QSize(88, 30));
    QSignalSpy spy(&button, &CDispBut::toggled);
    QTest::mouseClick(&button, Qt::LeftButton, {}, QPoint(40, 15));
    QCOMPARE(spy.count(), 1);
    QCOMPARE(spy[0][0].toInt(), -1);
    QCOMPARE(spy[0][1].toInt(), 1);
    QVERIFY(button.State());
    // Drawn at alpha 120 over the video: the red face shows through darkened, not solid.
    QImage shot = back.grab().toImage();
    QColor face = shot.pixelColor(30, 15);
    QVERIFY2(face.red() > 40 && face.red() < kThemeTitle.red(), qPrintable(face.name()));
    QTest::mouseClick(&button, Qt::LeftButton, {}, QPoint(40, 15));
    QCOMPARE(spy.count(), 2);
    QCOMPARE(spy[1][1].toInt(), 0);
  }

  void ListCtrl_rows_progress_and_hover() {
    CVelListCtrl list;
    list.setColumnCount(2);
    list.setRowCount(3);
    for (int r = 0; r < 3; ++r) {
      list.setItem(r, 0, new QTableWidgetItem(QString("row %1").arg(r)));
      list.setItem(r, 1, new QTableWidgetItem(QString::number(r * 40)));
    }
    list.SetProgressColumn(1);
    list.SetRowColor(2, QColor(10, 120, 10));
    list.resize(300, 200);
    list.show();
    QVERIFY(QTest::qWaitForWindowExposed(&list));
    QSignalSpy spy(&list, &CVelListCtrl::hovered);
    QRect row1 = list.visualRect(list.model()->index(1, 0));
    QTest::mouseMove(list.viewport(), row1.center());
    QTRY_COMPARE(list.HotRow(), 1);
    QCOMPARE(spy.last()[0].toInt(), 1);
    QCOMPARE(spy.last()[1].toInt(), CVelListCtrl::kHoverCode);
    QImage shot = list.viewport()->grab().toImage();
    QCOMPARE(shot.pixelColor(row1.left() + 2, row1.center().y()), kHotRow);
    QRect row0 = list.visualRect(list.model()->index(0, 0));
    QCOMPARE(shot.pixelColor(row0.left() + 2, row0.center().y()), kLightText);
    QRect row2 = list.visualRect(list.model()->index(2, 0));
    QCOMPARE(shot.pixelColor(row2.left() + 2, row2.center().y()), QColor(10, 120, 10));
    // Grid line at the bottom of a row.
    QCOMPARE(shot.pixelColor(row0.left() + 30, row0.bottom()), kDisabledText);
    QEvent leave(QEvent::Leave);
    QApplication::sendEvent(&list, &leave);
    QCOMPARE(spy.last()[0].toInt(), -1);
  }

  void Menu_reports_the_picked_command() {
    CVelMenu menu;
    menu.AddItem("card one", 0x8007);
    menu.AddItem("card two", 0x8008);
    menu.Popup(QPoint(0, 0));
    QSignalSpy spy(&menu, &CVelMenu::picked);
    int rowHeight = (menu.height() - 2) / 2;
    QTest::mouseMove(&menu, QPoint(20, 1 + rowHeight + rowHeight / 2));
    QTRY_COMPARE(menu.HoverRow(), 1);
    QTest::mouseClick(&menu, Qt::LeftButton, {}, QPoint(20, 1 + rowHeight + rowHeight / 2));
    QCOMPARE(spy.count(), 1);
    QCOMPARE(spy[0][0].toInt(), 0x8008);
    QVERIFY(!menu.isVisible());
  }
};

QObject* NewControlsTest() { return new ControlsTest; }

}  // namespace tq::test

#include "ControlsTest.moc"
