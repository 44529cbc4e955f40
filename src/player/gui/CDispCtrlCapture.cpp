// Capture and print of the player panel: the current picture of one camera saved as
// JPEG or BMP, or printed centred on a page with the recording's time under it.
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QPainter>
#include <QPrintDialog>
#include <QPrinter>
#include <QPrinterInfo>
#include <QStandardPaths>
#include <cstring>

#include "app/TraceLog.h"
#include "controls/CMsgBox.h"
#include "playback/gui/CDispWndWidget.h"
#include "player/PrintStamp.h"
#include "player/gui/CDispCtrlDlg.h"
#include "player/gui/CVelTimeBar.h"

namespace tq {
namespace {

constexpr char kDocName[] = "NorvantaImage";
constexpr char kStampFont[] = "MS Shell Dlg 2";
constexpr int kStampOffset = 6;         // picture pixels right of and below the picture's corner
constexpr int kStampPoints = 9;         // the stamp is 9/144 inch high
constexpr int kStampPerInch = 144;

QString PicturesFolder() {
  QString folder = QStandardPaths::writableLocation(QStandardPaths::PicturesLocation);
  return folder.isEmpty() ? QDir::homePath() : folder;
}

QString DefaultSavePath(QWidget* parent, const QString& proposed) {
  QFileDialog dialog(parent, QString(), proposed, "JPEG (*.jpg);;BMP (*.bmp)");
  dialog.setAcceptMode(QFileDialog::AcceptSave);
  dialog.setDefaultSuffix("jpg");
  dialog.selectFile(proposed);
  QObject::connect(&dialog, &QFileDialog::filterSelected, &dialog, [&dialog](const QString& filter) {
    dialog.setDefaultSuffix(filter.startsWith("BMP") ? "bmp" : "jpg");
  });
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return QString();
  return dialog.selectedFiles().first();
}

bool DefaultSetupPrinter(QWidget* parent, QPrinter* printer) {
  QPrintDialog dialog(printer, parent);
  dialog.setOption(QAbstractPrintDialog::PrintPageRange, false);
  dialog.setOption(QAbstractPrintDialog::PrintSelection, false);
  dialog.setOption(QAbstractPrintDialog::PrintCurrentPage, false);
  // Without any printer the dialog offers a PDF file instead.
  const bool noPrinter = QPrinterInfo::availablePrinters().isEmpty();
  dialog.setOption(QAbstractPrintDialog::PrintToFile, noPrinter);
  if (noPrinter) {
    printer->setOutputFormat(QPrinter::PdfFormat);
    printer->setOutputFileName(QDir(PicturesFolder()).filePath(QString(kDocName) + ".pdf"));
  }
  return dialog.exec() == QDialog::Accepted;
}

}  // namespace

CDispCtrlDlg::Dialogs CDispCtrlDlg::DefaultDialogs() {
  Dialogs d;
  d.savePath = DefaultSavePath;
  d.setupPrinter = DefaultSetupPrinter;
  d.message = [](QWidget* parent, const QString& text) { ShowMsgBox(parent, text, kMsgExclamation); };
  return d;
}

// The picture on screen when the button was pressed: play_thread is held while it is
// read (it replaces the picture while playing), then goes on.
bool CDispCtrlDlg::TakePicture(int camera, QImage* image) {
  if (!open_) return false;
  CDispWnd& session = view_->Session();
  if (camera == 1 && !session.rearPresent()) return false;
  const bool hold = !session.paused();
  if (hold) session.Pause(true);
  std::vector<uint8_t> bgr;
  int w = 0, h = 0;
  CDrawWnd& v = camera == 0 ? static_cast<CDrawWnd&>(session) : session.rearView();
  const bool ok = v.GetImage(&bgr, &w, &h);
  if (hold) session.Pause(false);
  if (!ok) return false;
  QImage picture(w, h, QImage::Format_BGR888);
  for (int y = 0; y < h; ++y) std::memcpy(picture.scanLine(y), bgr.data() + size_t(y) * w * 3, size_t(w) * 3);
  *image = std::move(picture);
  return true;
}

bool CDispCtrlDlg::Capture(int camera) {
  QImage picture;
  if (!TakePicture(camera, &picture)) {
    TraceLog("CDispCtrlDlg::Capture", __LINE__, "GetImage Failed.\n");
    return false;
  }
  const std::string& name = camera == 0 ? name_ : rearName_;
  const QString proposed = QDir(PicturesFolder()).filePath(QString::fromStdString(name) + ".jpg");
  const QString path = dialogs_.savePath ? dialogs_.savePath(this, proposed) : QString();
  if (path.isEmpty()) return false;
  const bool bmp = QFileInfo(path).suffix().compare("bmp", Qt::CaseInsensitive) == 0;
  return picture.save(path, bmp ? "BMP" : "JPG");
}

bool CDispCtrlDlg::Print(int camera) {
  QImage picture;
  if (!TakePicture(camera, &picture)) {
    TraceLog("CDispCtrlDlg::Print", __LINE__, "GetImage Failed.\n");
    return false;
  }
  // The exact position shown, not the bar's pixel (a pixel spans up to 1.2 s).
  const std::string stamp = PrintTimeStamp(name_, bar_->PositionMs() / 1000);
  QPrinter printer(QPrinter::HighResolution);
  printer.setDocName(kDocName);
  if (!dialogs_.setupPrinter || !dialogs_.setupPrinter(this, &printer)) return false;
  QPainter painter;
  if (!painter.begin(&printer)) {
    TraceLog("CDispCtrlDlg::Print", __LINE__, "Print Start Failed.\n");
    return false;
  }
  const PagePlacement place = PlaceOnPage(printer.width(), printer.height(), picture.width(), picture.height());
  painter.setRenderHint(QPainter::SmoothPixmapTransform);
  painter.drawImage(QRectF(place.x, place.y, picture.width() * place.scale, picture.height() * place.scale), picture);
  QFont font;
  font.setFamilies({kStampFont, "DejaVu Sans"});
  font.setWeight(QFont::Normal);
  font.setPixelSize(std::max(1, kStampPoints * printer.logicalDpiY() / kStampPerInch));
  painter.setFont(font);
  painter.setPen(Qt::black);
  const QPointF at(place.x + kStampOffset * place.scale, place.y + (picture.height() + kStampOffset) * place.scale);
  painter.drawText(QRectF(at, QSizeF(printer.width(), printer.height())), Qt::AlignLeft | Qt::AlignTop,
                   QString::fromStdString(stamp));
  if (!painter.end()) {
    printer.abort();
    return false;
  }
  return true;
}

}  // namespace tq
