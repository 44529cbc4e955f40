#include "device/gui/CFmtDlg.h"

#include <QApplication>
#include <QComboBox>
#include <QEventLoop>
#include <QLabel>
#include <QPainter>
#include <QProgressBar>
#include <QTimer>
#include <atomic>
#include <thread>

#include "app/LocalizedText.h"
#include "app/TraceLog.h"
#include "controls/CMsgBox.h"
#include "controls/CVelTextBut.h"
#include "controls/GuiSkin.h"
#include "device/CardFormat.h"
#include "platform/BlockDevices.h"
#include "platform/qt/UDisksVolume.h"

namespace tq {
namespace {

constexpr char kSizeCaption[] = "Size";
constexpr int kProgressPollMs = 50;
constexpr double kGiB = 1024.0 * 1024.0 * 1024.0;

QString Tooltip(const char* key) { return QString::fromStdString(LocalizedText(kTextTooltip, key)); }

QLabel* MakeLabel(const QString& text, QWidget* parent, QRect geometry) {
  auto* label = new QLabel(text, parent);  // owned by the dialog
  label->setFont(GuiFont(UiFontKind::Normal));
  label->setStyleSheet("color: #F2F2F2;");
  label->setGeometry(geometry);
  return label;
}

QRect Scaled(int x, int y, int w, int h) {
  const int s = GuiScale();
  return QRect(x * s, y * s, w * s, h * s);
}

// The message for a refusal: the program's own drive keeps the two reject texts.
QString RefusalText(FormatRefusal r) {
  switch (r) {
    case FormatRefusal::kNotRemovable: return Tooltip("format_refuse_fixed");
    case FormatRefusal::kSystemVolume: return Tooltip("format_refuse_system");
    case FormatRefusal::kProgramVolume: return Tooltip("format_reject1") + "\n" + Tooltip("format_reject2");
    case FormatRefusal::kOtherMounts: return Tooltip("format_refuse_mounted");
    case FormatRefusal::kBadSize: return Tooltip("format_refuse_size");
    case FormatRefusal::kAllowed: break;
  }
  return {};
}

}  // namespace

QString DriveSizeText(uint64_t bytes) { return QString::asprintf("%.2f GB", double(bytes) / kGiB); }

CFmtDlg::CFmtDlg(const DriveProvider* drives, ProtectedPaths paths, QWidget* parent)
    : QDialog(parent, Qt::Dialog), drives_(drives), paths_(std::move(paths)) {
  const int s = GuiScale();
  setWindowTitle(Tooltip("format"));
  setFixedSize(kWidth * s, kHeight * s);
  MakeLabel(Tooltip("sdcard_drive"), this, Scaled(12, 12, 140, 24));
  driveList_ = new QComboBox(this);
  driveList_->setFont(GuiFont(UiFontKind::Normal));
  driveList_->setGeometry(Scaled(164, 12, 148, 24));
  MakeLabel(kSizeCaption, this, Scaled(12, 48, 140, 20));
  size_ = MakeLabel("0.00 GB", this, Scaled(164, 48, 148, 20));
  notice_ = MakeLabel(Tooltip("format_fat32").replace('\n', ' '), this, Scaled(12, 74, 310, 20));
  // The progress takes the notice's place while the card is written.
  progress_ = new QProgressBar(this);
  progress_->setGeometry(Scaled(12, 74, 310, 20));
  progress_->setRange(0, 1000);
  progress_->setTextVisible(false);
  progress_->hide();
  yes_ = new CVelTextBut(this);
  yes_->SetText(QString::fromStdString(LocalizedText(kTextLable, "str_yes")));
  yes_->setGeometry(Scaled(98, 100, 106, 28));
  no_ = new CVelTextBut(this);
  no_->SetText(QString::fromStdString(LocalizedText(kTextLable, "str_no")));
  no_->setGeometry(Scaled(216, 100, 106, 28));
  connect(yes_, &QAbstractButton::clicked, this, &CFmtDlg::OnYes);
  connect(no_, &QAbstractButton::clicked, this, &CFmtDlg::reject);
  connect(driveList_, &QComboBox::currentIndexChanged, this, &CFmtDlg::ShowSize);
  FillDrives();
}

CFmtDlg::~CFmtDlg() = default;

void CFmtDlg::FillDrives() {
  listed_ = drives_ ? drives_->RemovableDrives() : std::vector<DriveInfo>{};
  for (const DriveInfo& d : listed_) {
    // Where the camera's world shows "E:\ LABEL" we show the label and the mount root.
    driveList_->addItem(QString::fromStdString(d.label + "  (" + d.root + ")"));
  }
  const bool any = !listed_.empty();
  driveList_->setEnabled(any);
  yes_->setEnabled(any);
  if (any) {
    driveList_->setCurrentIndex(0);
    ShowSize(0);
  }
}

void CFmtDlg::ShowSize(int index) {
  uint64_t bytes = index >= 0 && size_t(index) < listed_.size() ? listed_[size_t(index)].totalBytes : 0;
  size_->setText(DriveSizeText(bytes));
}

void CFmtDlg::reject() {
  if (!busy_) QDialog::reject();  // the card is being written: closing now would hide it
}

void CFmtDlg::OnYes() {
  const int index = driveList_->currentIndex();
  if (busy_ || index < 0 || size_t(index) >= listed_.size()) return;
  const DriveInfo drive = listed_[size_t(index)];
  std::vector<MountedVolume> mounts = ReadMountTable();
  FormatCandidate candidate;
  std::string error;
  if (!DescribeFormatCandidate(drive, mounts, &candidate, &error)) {
    TraceLog("CFmtDlg", __LINE__, "format %s: %s\n", drive.root.c_str(), error.c_str());
    ShowMsgBox(this, Tooltip("format_fail"), kMsgHand);
    return;
  }
  FormatRefusal refusal = CheckFormatAllowed(candidate, mounts, paths_);
  if (refusal != FormatRefusal::kAllowed) {
    TraceLog("CFmtDlg", __LINE__, "format %s refused: %s\n", candidate.path.c_str(), FormatRefusalText(refusal));
    ShowMsgBox(this, RefusalText(refusal), kMsgExclamation);
    return;
  }
  // The confirmation names exactly what is about to be erased.
  QString what = QString::fromStdString(candidate.path) + "\n" + DriveSizeText(candidate.bytes) + "  " +
                 QString::fromStdString(drive.label) + "  (" + QString::fromStdString(drive.root) + ")";
  if (ShowMsgBox(this, Tooltip("format_start") + "\n\n" + what, kMsgQuestion) !=
      QDialog::Accepted)
    return;

  formattedRoot_ = drive.root;
  succeeded_ = RunFormat(candidate);
  if (succeeded_) AfterFormat(candidate);
  ShowMsgBox(this, Tooltip(succeeded_ ? "format_end" : "format_fail"), succeeded_ ? kMsgInformation : kMsgHand);
  accept();
}

bool CFmtDlg::RunFormat(const FormatCandidate& candidate) {
  busy_ = true;
  driveList_->setEnabled(false);
  yes_->setEnabled(false);
  no_->setEnabled(false);
  QApplication::setOverrideCursor(Qt::WaitCursor);
  struct Restore {
    CFmtDlg* d;
    ~Restore() {
      QApplication::restoreOverrideCursor();
      d->busy_ = false;
      d->no_->setEnabled(true);
    }
  } restore{this};

  std::string error;
  // May ask the user for authorisation (the disk service's dialog); blocks until answered.
  std::unique_ptr<RawVolume> volume = OpenFormatVolume(candidate, &error);
  if (!volume) {
    TraceLog("CFmtDlg", __LINE__, "format %s: %s\n", candidate.path.c_str(), error.c_str());
    return false;
  }
  notice_->hide();
  progress_->setValue(0);
  progress_->show();
  std::atomic<uint64_t> done{0}, total{1};
  std::atomic<bool> finished{false};
  FormatResult result;
  const FormatClock clock = LocalFormatClock();
  // The worker owns the volume until it ends; the dialog only reads the counters.
  std::thread worker([&] {
    result = FormatVolume(*volume, clock, [&](uint64_t d, uint64_t t) {
      total = t;
      done = d;
    });
    finished = true;
  });
  QEventLoop loop;
  QTimer poll;
  connect(&poll, &QTimer::timeout, &loop, [&] {
    progress_->setValue(int(done * 1000 / std::max<uint64_t>(total, 1)));
    if (finished) loop.quit();
  });
  poll.start(kProgressPollMs);
  loop.exec(QEventLoop::ExcludeUserInputEvents);
  worker.join();
  progress_->setValue(1000);
  volume.reset();  // closing lets the system see the new file system
  if (!result.ok()) {
    TraceLog("CFmtDlg", __LINE__, "format %s: %s\n", candidate.path.c_str(), FormatErrorText(result).c_str());
    return false;
  }
  TraceLog("CFmtDlg", __LINE__, "formatted %s: T %u F %u C %u serial %08X\n", candidate.path.c_str(),
           result.layout.totalSectors, result.layout.fatSectors, result.layout.clusters, result.layout.serial);
  return true;
}

void CFmtDlg::paintEvent(QPaintEvent*) {
  QPainter p(this);
  p.fillRect(rect(), kThemeBand);
  p.fillRect(QRect(0, 0, width(), 4 * GuiScale()), kThemeTitle);
}

}  // namespace tq
