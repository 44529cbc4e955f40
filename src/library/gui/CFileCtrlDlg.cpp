#include "library/gui/CFileCtrlDlg.h"

#include <QHeaderView>
#include <QLabel>
#include <QProgressBar>
#include <chrono>

#include "app/LocalizedText.h"
#include "app/TraceLog.h"
#include "controls/CVelListCtrl.h"
#include "controls/GuiSkin.h"
#include "library/FileListRules.h"

namespace tq {
namespace {

// Client layout, x the interface scale.
constexpr QSize kClient{474, 154};
constexpr QRect kListRect{12, 12, 450, 104};
constexpr int kColumnWidth = 424;
constexpr QRect kBarRect{12, 122, 406, 28};
constexpr QRect kPercentRect{418, 122, 44, 28};
// The worker rests this long after each file so the dialog can show it.
constexpr std::chrono::milliseconds kReportPause{1};

QRect Scaled(const QRect& r, int s) { return QRect(r.topLeft() * s, r.size() * s); }

// Hands each deleted name to the dialog on the GUI thread.
class DeleteReports : public DeleteProgress {
 public:
  explicit DeleteReports(std::function<void(const QString&)> report) : report_(std::move(report)) {}
  void Deleted(const std::string& base, bool allFilesRemoved) override {
    if (!allFilesRemoved) TraceLog("CFileCtrlDlg::Delete", __LINE__, "not every file of %s removed\n", base.c_str());
    report_(QString::fromStdString(base));
  }

 private:
  std::function<void(const QString&)> report_;
};

}  // namespace

CFileCtrlDlg::CFileCtrlDlg(Mode mode, CFileList* catalog, QWidget* parent)
    : QDialog(parent), mode_(mode), catalog_(catalog), files_(new CVelListCtrl(this)),
      progress_(new QProgressBar(this)), percent_(new QLabel("0 %", this)) {
  const int s = GuiScale();
  setWindowTitle(QString::fromStdString(LocalizedText(kTextTooltip, mode == Mode::Copy ? "copy_to" : "delete")));
  setModal(true);
  setFixedSize(kClient * s);
  setAutoFillBackground(true);
  QPalette pal = palette();
  pal.setColor(QPalette::Window, kPanelBack);
  pal.setColor(QPalette::WindowText, kLightText);
  setPalette(pal);

  files_->setColumnCount(1);
  files_->setHorizontalHeaderLabels({QString::fromStdString(LocalizedText(kTextTooltip, "file"))});
  files_->setColumnWidth(0, kColumnWidth * s);
  files_->setEditTriggers(QAbstractItemView::NoEditTriggers);
  files_->setGeometry(Scaled(kListRect, s));
  progress_->setGeometry(Scaled(kBarRect, s));
  progress_->setTextVisible(false);
  progress_->setRange(0, 0);
  percent_->setGeometry(Scaled(kPercentRect, s));
  percent_->setAlignment(Qt::AlignCenter);
  percent_->setFont(GuiFont(UiFontKind::Normal));
}

CFileCtrlDlg::~CFileCtrlDlg() {
  if (worker_.joinable()) worker_.join();
}

void CFileCtrlDlg::SetCopyJobs(std::vector<CopyJob> jobs, std::string targetFolder) {
  jobs_ = std::move(jobs);
  target_ = std::move(targetFolder);
  count_ = int(jobs_.size());
  progress_->setRange(0, count_);
}

void CFileCtrlDlg::SetDeleteNames(std::vector<std::string> names, EntryFilter filter) {
  names_ = std::move(names);
  filter_ = std::move(filter);
  count_ = int(names_.size());
  progress_->setRange(0, count_);
}

QString CFileCtrlDlg::PercentText() const { return percent_->text(); }
int CFileCtrlDlg::ProgressValue() const { return progress_->value(); }

void CFileCtrlDlg::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  if (!worker_.joinable() && !finished_) StartWorker();
}

void CFileCtrlDlg::reject() {
  if (finished_) QDialog::reject();  // no cancelling while files are being changed
}

void CFileCtrlDlg::StartWorker() {
  progress_->setValue(0);
  worker_ = std::thread([this] {
    if (mode_ == Mode::Copy) RunCopy();
    else RunDelete();
    QMetaObject::invokeMethod(this, [this] { Finish(); }, Qt::QueuedConnection);
  });
}

// Worker thread: the catalog is ours while the modal dialog blocks all other input.
void CFileCtrlDlg::RunCopy() {
  for (const CopyJob& job : jobs_) {
    if (!catalog_->CopyRecording(job.base, target_, job.kind))
      TraceLog("CFileCtrlDlg::Copy", __LINE__, "copy incomplete %s\n", job.base.c_str());
    QString name = QString::fromStdString(job.base);
    const int row = job.row;
    QMetaObject::invokeMethod(this, [this, name, row] { Report(name, row); }, Qt::QueuedConnection);
    std::this_thread::sleep_for(kReportPause);
  }
}

void CFileCtrlDlg::RunDelete() {
  DeleteReports reports([this](const QString& name) {
    QMetaObject::invokeMethod(this, [this, name] { Report(name, -1); }, Qt::QueuedConnection);
    std::this_thread::sleep_for(kReportPause);
  });
  deleteResult_ = catalog_->DeleteRecordings(names_, &reports, filter_);
}

void CFileCtrlDlg::Report(const QString& name, int row) {
  ++done_;
  const int at = files_->rowCount();
  files_->insertRow(at);
  files_->setItem(at, 0, new QTableWidgetItem(name));  // owned by the list
  files_->scrollToItem(files_->item(at, 0));
  progress_->setValue(done_);
  percent_->setText(QString::asprintf("%d %%", ProgressPercent(done_, count_)));
  if (row >= 0) emit copiedRow(row);
  emit reported(done_, count_, name);
}

void CFileCtrlDlg::Finish() {
  if (worker_.joinable()) worker_.join();
  finished_ = true;
  accept();
}

}  // namespace tq
