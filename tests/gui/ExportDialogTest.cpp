// The export dialog on generated recordings: opened from a row's menu, a clip with sound
// off, the range refusal, a cancelled export, and an AVI of both cameras into two files
// with the proposed names. Every file written is judged by ffprobe; the dialog is kept as
// a picture in build/artefacts.
#include <QCheckBox>
#include <QContextMenuEvent>
#include <QDir>
#include <QFile>
#include <QProgressDialog>
#include <QTemporaryDir>
#include <QTest>
#include <QTimeEdit>
#include <QTimer>

#include "GuiTests.h"
#include "app/AppSettings.h"
#include "controls/CVelMenu.h"
#include "controls/CVelTextBut.h"
#include "export/gui/CExportDlg.h"
#include "gui/FileListDrive.h"
#include "library/gui/CFileListDlg.h"
#include "platform/ProfileFile.h"
#include "support/TestSupport.h"

namespace tq::test {
namespace {

constexpr char kMp4[] = "20261205_104000_NF";  // 25 s, from 10:40:00

QString Artefact(const QString& name) {
  const QString dir = QString(TQ_BUILD_DIR) + "/artefacts";
  QDir().mkpath(dir);
  return dir + "/" + name;
}

bool StreamPresent(const std::string& path, const char* type) {
  return !RunCommand("ffprobe -v error -select_streams " + std::string(type) +
                     " -show_entries stream=codec_type -of csv=p=0 " + Quote(path))
              .output.empty();
}

}  // namespace

class ExportDialogTest : public QObject {
  Q_OBJECT

  struct Card {
    QTemporaryDir dir;
    QString folder, exportFolder;
    AppState state;
    QWidget frame;
  };

  std::unique_ptr<Card> MakeCard(const QStringList& fixtures) {
    auto card = std::make_unique<Card>();
    card->folder = card->dir.path() + "/Record";
    card->exportFolder = card->dir.path() + "/clips";
    QDir().mkpath(card->folder);
    QDir().mkpath(card->exportFolder);
    QDir().mkpath(card->dir.path() + "/settings");
    for (const QString& f : fixtures)
      QFile::copy(QString::fromStdString(Fixture(f.toStdString())), card->folder + "/" + f);
    card->state.settingsFolder = (card->dir.path() + "/settings/").toStdString();
    card->state.settingsFile = card->state.settingsFolder + "setup.ini";
    card->state.exportFolder = card->dir.path().toStdString();  // changes to clips/ on export
    card->state.browseFolder = card->folder.toStdString();
    card->frame.resize(224, 420);
    return card;
  }

  // Answers the save dialog with the proposed path moved into `folder`; records every ask.
  static CExportDlg::Dialogs Answering(const QString& folder, QStringList* asked, QStringList* messages) {
    CExportDlg::Dialogs d;
    d.savePath = [folder, asked](QWidget*, const QString& proposed, bool) {
      asked->append(proposed);
      return folder + "/" + QFileInfo(proposed).fileName();
    };
    d.message = [messages](QWidget*, const QString& text, unsigned) { messages->append(text); };
    return d;
  }

 private slots:
  void Row_menu_exports_a_clip_without_sound() {
    auto card = MakeCard({QString(kMp4) + ".mp4"});
    CFileListDlg list(&card->state, &card->frame, &card->frame);
    list.setGeometry(0, 0, 224, 420);
    list.Reload(card->folder.toStdString());
    card->frame.show();
    const int row = int(list.Names().indexOf(kMp4));
    QVERIFY(row >= 0);

    QStringList asked, messages;
    bool accepted = false, pickersOffAtFirst = false, saved = false;
    int length = -1;
    // Inside the modal loop nothing may return early: the dialog is always closed.
    connect(&list, &CFileListDlg::exportStarted, this, [&](CExportDlg* dialog) {
      dialog->SetDialogs(Answering(card->exportFolder, &asked, &messages));
      QTimer::singleShot(0, dialog, [&, dialog] {
        length = dialog->LengthSec();
        pickersOffAtFirst = !dialog->FromPicker()->isEnabled() && !dialog->ToPicker()->isEnabled();
        dialog->SetRange(10, 20);
        dialog->SoundOffBox()->setChecked(true);
        saved = dialog->grab().save(Artefact("export-dialog.png"));
        QTest::mouseClick(dialog->OkButton(), Qt::LeftButton);
        accepted = dialog->result() == QDialog::Accepted;
        if (dialog->isVisible()) dialog->reject();
      });
    });
    const QPoint at = RowCentre(list, row);
    QContextMenuEvent open(QContextMenuEvent::Mouse, at, list.List()->viewport()->mapToGlobal(at));
    QApplication::sendEvent(list.List()->viewport(), &open);
    CVelMenu* menu = list.findChild<CVelMenu*>();
    QVERIFY(menu && menu->isVisible());
    QTest::mouseClick(menu, Qt::LeftButton, {}, QPoint(20, menu->height() / 6));  // "export"

    // 25 s of pictures; the header's duration ends at the last picture's time stamp.
    QCOMPARE(length, 24);
    QVERIFY(pickersOffAtFirst);  // until "Save segment"
    QVERIFY(saved);
    QVERIFY(accepted);
    QCOMPARE(messages, QStringList());
    QCOMPARE(asked, QStringList({card->dir.path() + "/20261205_104010_NF.mp4"}));
    const std::string clip = (card->exportFolder + "/20261205_104010_NF.mp4").toStdString();
    QVERIFY(QFile::exists(QString::fromStdString(clip)));
    QCOMPARE(QString::fromStdString(Ffprobe(clip).output), QString());
    QVERIFY(StreamPresent(clip, "v"));
    QVERIFY(!StreamPresent(clip, "a"));
    // The folder chosen becomes the export folder, in setup.ini too.
    QCOMPARE(QString::fromStdString(card->state.exportFolder), card->exportFolder);
    const std::string stored = ProfileFile(card->state.settingsFile).GetString("setup", "exportpath", "");
    QCOMPARE(QString::fromStdString(stored), card->exportFolder);
  }

  void Range_refusal_and_cancel_keep_the_dialog() {
    auto card = MakeCard({QString(kMp4) + ".mp4"});
    CatalogEntry entry;
    entry.kind = kKindMp4;
    entry.date = 20261205;
    entry.time = 104000;
    entry.name = kMp4;
    entry.ext = "mp4";
    CExportDlg dialog(&card->state, card->folder.toStdString(), entry, &card->frame);
    QStringList asked, messages;
    dialog.SetDialogs(Answering(card->exportFolder, &asked, &messages));
    dialog.show();

    dialog.SetRange(10, 25);  // To past the 24 s the header counts
    QVERIFY(!dialog.Export());
    dialog.SetRange(12, 12);
    QVERIFY(!dialog.Export());
    QCOMPARE(messages.size(), 2);
    QVERIFY(asked.isEmpty());

    // Cancel as soon as the progress shows: no file, the dialog stays usable.
    connect(&dialog, &CExportDlg::progressShown, this, [](QProgressDialog* progress) { emit progress->canceled(); });
    messages.clear();
    dialog.SetRange(1, 24);
    QVERIFY(!dialog.Export());
    QVERIFY(messages.isEmpty());  // a cancel is no error
    QVERIFY(dialog.isVisible());
    QVERIFY(dialog.OkButton()->isEnabled());
    QCOMPARE(QDir(card->exportFolder).entryList(QDir::Files | QDir::Hidden | QDir::System), QStringList());
  }

  void Avi_front_and_rear_go_to_two_files() {
    const QString name = "nor_00000120261205_103000_1F_N";
    auto card = MakeCard({name + ".avi"});
    CatalogEntry entry;
    entry.kind = kKindAvi;
    entry.date = 20261205;
    entry.time = 103000;
    entry.name = name.toStdString();
    entry.ext = "avi";
    CExportDlg dialog(&card->state, card->folder.toStdString(), entry, &card->frame);
    QStringList asked, messages;
    dialog.SetDialogs(Answering(card->exportFolder, &asked, &messages));
    dialog.show();
    QVERIFY(dialog.FrontBox()->isVisible() && dialog.FrontBox()->isEnabled());
    dialog.RearBox()->setChecked(true);
    dialog.SetRange(1, 3);
    QVERIFY(dialog.Export());
    QCOMPARE(messages, QStringList());
    const QStringList names = {"nor000000120261205_103001_F_N.avi", "nor000000120261205_103001_R_N.avi"};
    QCOMPARE(asked.size(), 2);
    for (int i = 0; i < 2; ++i) {
      QCOMPARE(QFileInfo(asked[i]).fileName(), names[i]);
      const std::string out = (card->exportFolder + "/" + names[i]).toStdString();
      QVERIFY2(QFile::exists(QString::fromStdString(out)), out.c_str());
      QCOMPARE(QString::fromStdString(Ffprobe(out).output), QString());
    }
    // Unticking both cameras ticks Front again.
    dialog.RearBox()->setChecked(false);
    QTest::mouseClick(dialog.FrontBox(), Qt::LeftButton);
    QVERIFY(dialog.FrontBox()->isChecked());
  }
};

QObject* NewExportDialogTest() { return new ExportDialogTest; }

}  // namespace tq::test

#include "ExportDialogTest.moc"
