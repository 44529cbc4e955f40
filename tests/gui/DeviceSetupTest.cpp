// The device settings dialog on a generated card: what the close box, save and quit do
// to config.ini, the Wi-Fi checks, the user-text filter and the firmware-dependent items.
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QLineEdit>
#include <QRadioButton>
#include <QTabBar>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <functional>
#include <memory>

#include "GuiTests.h"
#include "SampleSets.h"
#include "app/AppSettings.h"
#include "app/LocalizedText.h"
#include "controls/CMsgBox.h"
#include "controls/CVelTextBut.h"
#include "device/PasswordCipher.h"
#include "device/gui/CSetDevDlg.h"
#include "device/gui/CSetEtcDlg.h"
#include "device/gui/CSetFwDlg.h"
#include "device/gui/CSetOemDlg.h"
#include "device/gui/CSetWifiDlg.h"
#include "platform/ProfileFile.h"

namespace tq::test {
namespace {

QByteArray ReadFile(const QString& path) {
  QFile f(path);
  return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

void WriteFile(const QString& path, const QByteArray& bytes) {
  QFile f(path);
  QVERIFY(f.open(QIODevice::WriteOnly));
  f.write(bytes);
}

QString Text(int section, const char* key) { return QString::fromStdString(LocalizedText(section, key)); }

// One card in a temporary folder, the program state pointing at it, and the dialog.
struct Card {
  QTemporaryDir dir;
  QString root, ini, setupIni;
  AppState state;
  std::unique_ptr<CSetDevDlg> dialog;

  explicit Card(const std::string& versionBin = VersionBinText()) {
    root = dir.path() + "/card";
    QDir().mkpath(root + "/TQ-MB20/Config");
    WriteFile(root + "/TQ-MB20/Config/version.bin", QByteArray::fromStdString(versionBin));
    ini = root + "/TQ-MB20/Config/config.ini";
    WriteFile(ini, QByteArray::fromStdString(ConfigIniText()));
    setupIni = dir.path() + "/setup.ini";
    state.settingsFile = setupIni.toStdString();
    state.currentCard = root.toStdString();
  }
  CSetFwDlg* Open() {
    dialog = std::make_unique<CSetDevDlg>(&state);
    dialog->show();
    return dialog->Editor();
  }
};

// Answers the next message box and records its text (empty when none came).
struct BoxWatch {
  QString text;
  unsigned type = 0;
  QTimer timer;
  BoxWatch() {
    timer.setInterval(20);
    QObject::connect(&timer, &QTimer::timeout, [this] {
      if (auto* box = qobject_cast<CMsgBox*>(QApplication::activeModalWidget())) {
        text = box->Text();
        type = box->Type();
        box->accept();
      }
    });
    timer.start();
  }
};

}  // namespace

class DeviceSetupTest : public QObject {
  Q_OBJECT
 private slots:
  void Opens_on_a_generated_card_with_the_profile_pages() {
    Card card;
    CSetFwDlg* editor = card.Open();
    QTRY_VERIFY(card.dialog->Opened());
    QVERIFY(editor->isVisible());
    QCOMPARE(editor->Caption(), QString("TQ-MB20  V1.005"));
    QCOMPARE(editor->Tabs()->count(), 5);
    QCOMPARE(editor->Tabs()->tabText(0), Text(kTextLable, "BASIC_SETTING"));
    QCOMPARE(editor->Tabs()->tabText(3), Text(kTextLable, "AUTH_SETTING"));
    QCOMPARE(editor->WifiPage()->Ssid()->text(), QString("TQ-MB20_5A1C"));
    QVERIFY(editor->Pages()[0]->Shows("Tab1.LockEvent"));  // firmware 1.005
    // The selected tab is drawn in the highlight colour in the dialog's own picture.
    QImage shot = card.dialog->grab().toImage();
    QRect tab = editor->Tabs()->tabRect(0).translated(editor->Tabs()->mapTo(card.dialog.get(), QPoint(0, 0)));
    QCOMPARE(shot.pixelColor(tab.center() + QPoint(0, tab.height() / 4)), QColor("#3A6EA5"));
    QVERIFY(editor->MayClose());
  }

  void Old_firmware_shows_no_lock_event_items() {
    std::string bin = VersionBinText();
    bin.replace(bin.find("1.005"), 5, "1.000");
    Card card(bin);
    CSetFwDlg* editor = card.Open();
    QTRY_VERIFY(card.dialog->Opened());
    QVERIFY(!editor->Pages()[0]->Shows("Tab1.LockEvent"));
    QVERIFY(!editor->Pages()[0]->Shows("Tab1.OverwriteLock"));
  }

  void Unsupported_model_shows_the_firmware_message_and_no_pages() {
    std::string bin = VersionBinText();
    bin.replace(bin.find("ZU TQ-MB20A"), 11, "ZU TQ-MB2");
    Card card(bin);
    BoxWatch watch;
    CSetFwDlg* editor = card.Open();
    QTRY_COMPARE(watch.text, Text(kTextTooltip, "fw_version_invalid"));
    QCOMPARE(watch.type, unsigned(kMsgExclamation));
    QVERIFY(!editor->isVisible());
    QVERIFY(!card.dialog->Opened());
  }

  void Close_box_after_a_change_asks_and_writes_nothing() {
    Card card;
    const QByteArray before = ReadFile(card.ini);
    CSetFwDlg* editor = card.Open();
    QTRY_VERIFY(card.dialog->Opened());
    editor->Tabs()->setCurrentIndex(2);
    auto* etc = static_cast<CSetEtcDlg*>(editor->Pages()[2]);
    etc->UserText()->setText("CAR1");
    BoxWatch watch;
    card.dialog->close();
    QTRY_COMPARE(watch.text, Text(kTextMessage, "wifi_config_checking_needed"));
    QVERIFY(card.dialog->isVisible());
    QCOMPARE(ReadFile(card.ini), before);
    // Put back as loaded, the close box closes.
    etc->UserText()->setText("");
    card.dialog->close();
    QVERIFY(!card.dialog->isVisible());
  }

  void Save_writes_only_the_wifi_section() {
    Card card;
    const QByteArray before = ReadFile(card.ini);
    CSetFwDlg* editor = card.Open();
    QTRY_VERIFY(card.dialog->Opened());
    editor->WifiPage()->Password()->setText("drive-safe-2026");
    QTest::mouseClick(editor->SaveButton(), Qt::LeftButton);
    QVERIFY(!card.dialog->isVisible());
    QCOMPARE(card.dialog->result(), int(QDialog::Accepted));
    QByteArray expected = before;
    expected.replace("ap_pw=\r\n", "ap_pw=" + QByteArray::fromStdString(EncryptPassword("drive-safe-2026")) + "\r\n");
    QCOMPARE(ReadFile(card.ini), expected);
  }

  void Quit_discards_the_changes() {
    Card card;
    const QByteArray before = ReadFile(card.ini);
    CSetFwDlg* editor = card.Open();
    QTRY_VERIFY(card.dialog->Opened());
    editor->WifiPage()->Ssid()->setText("Another-Name");
    editor->ViewerPage()->OffButton()->setChecked(true);
    BoxWatch watch;
    QTest::mouseClick(editor->QuitButton(), Qt::LeftButton);
    QVERIFY(!card.dialog->isVisible());
    QCOMPARE(watch.text, QString());
    QCOMPARE(ReadFile(card.ini), before);
    QVERIFY(!QFile::exists(card.setupIni));
  }

  void Short_wifi_password_is_refused_with_the_field_selected() {
    Card card;
    const QByteArray before = ReadFile(card.ini);
    CSetFwDlg* editor = card.Open();
    QTRY_VERIFY(card.dialog->Opened());
    card.dialog->activateWindow();
    editor->Tabs()->setCurrentIndex(0);
    editor->WifiPage()->Password()->setText("1234567");
    BoxWatch watch;
    QTest::mouseClick(editor->SaveButton(), Qt::LeftButton);
    QCOMPARE(watch.text, Text(kTextMessage, "wifi_password_8_32_error"));
    QVERIFY(card.dialog->isVisible());
    QCOMPARE(editor->Tabs()->currentIndex(), 3);
    QCOMPARE(editor->WifiPage()->Password()->selectedText(), QString("1234567"));
    QCOMPARE(ReadFile(card.ini), before);
  }

  void Picture_in_picture_choice_goes_to_setup_ini() {
    Card card;
    const QByteArray before = ReadFile(card.ini);
    CSetFwDlg* editor = card.Open();
    QTRY_VERIFY(card.dialog->Opened());
    QVERIFY(editor->ViewerPage()->OnButton()->isChecked());
    editor->ViewerPage()->OffButton()->setChecked(true);
    QVERIFY(!editor->MayClose());
    QTest::mouseClick(editor->SaveButton(), Qt::LeftButton);
    QVERIFY(!card.dialog->isVisible());
    QCOMPARE(card.state.videoPip, 0);
    QCOMPARE(ProfileFile(card.setupIni.toStdString()).GetInt("setup", "video_pip", 1), 0);
    QCOMPARE(ReadFile(card.ini), before);
  }

  void Card_language_is_kept_when_not_changed() {
    std::string bin = VersionBinText();
    bin.replace(bin.find("Japan"), 5, "English");
    Card card(bin);
    CSetFwDlg* editor = card.Open();
    QTRY_VERIFY(card.dialog->Opened());
    QVERIFY(editor->MayClose());
    editor->WifiPage()->Ssid()->setText("MyCarCam");
    QTest::mouseClick(editor->SaveButton(), Qt::LeftButton);
    QVERIFY(!card.dialog->isVisible());
    QCOMPARE(ReadFile(card.root + "/TQ-MB20/Config/version.bin"), QByteArray::fromStdString(bin));
  }

  void User_text_refuses_other_characters_and_the_21st() {
    Card card;
    CSetFwDlg* editor = card.Open();
    QTRY_VERIFY(card.dialog->Opened());
    QLineEdit* edit = static_cast<CSetEtcDlg*>(editor->Pages()[2])->UserText();
    editor->Tabs()->setCurrentIndex(2);
    edit->setFocus();
    QTest::keyClicks(edit, "Ab 1!?:;/\\+-_()$#");
    QCOMPARE(edit->text(), QString("Ab1:;/\\+-_()$#"));
    QTest::keyClicks(edit, "WXYZTUV");
    QCOMPARE(edit->text().size(), 20);
    QCOMPARE(edit->text(), QString("Ab1:;/\\+-_()$#WXYZTU"));
  }
};

QObject* NewDeviceSetupTest() { return new DeviceSetupTest; }

}  // namespace tq::test

#include "DeviceSetupTest.moc"
