#include "export/gui/CExportDlg.h"

#include <QCheckBox>
#include <QEventLoop>
#include <QFileDialog>
#include <QFileInfo>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QProgressDialog>
#include <QTimeEdit>
#include <QTimer>
#include <atomic>
#include <thread>

#include "app/AppSettings.h"
#include "app/LocalizedText.h"
#include "app/TextKeys.h"
#include "app/TraceLog.h"
#include "container/AviExport.h"
#include "container/AviValid.h"
#include "container/Mp4Export.h"
#include "container/Mp4Valid.h"
#include "controls/CMsgBox.h"
#include "controls/CVelTextBut.h"
#include "controls/GuiSkin.h"
#include "export/ExportPlan.h"

namespace tq {
namespace {

constexpr int kProgressPollMs = 50;
constexpr int kPercent = 100;
constexpr uint8_t kFirstRearCamera = 4;  // type code of an AVI entry: below is the front camera
constexpr const char* kPickerFormat = "mm : ss";

QString Text(const char* key) { return QString::fromStdString(LocalizedText(kTextTooltip, key)); }

std::string WithoutTrailingSlash(std::string folder) {
  while (folder.size() > 1 && folder.back() == '/') folder.pop_back();
  return folder;
}

QTime PickerTime(int seconds) { return QTime(0, 0).addSecs(seconds); }

}  // namespace

CExportDlg::Dialogs CExportDlg::DefaultDialogs() {
  Dialogs d;
  d.savePath = [](QWidget* parent, const QString& proposed, bool avi) {
    QFileDialog dialog(parent, QString(), proposed, avi ? "AVI (*.avi)" : "MP4 (*.mp4)");
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setDefaultSuffix(avi ? "avi" : "mp4");
    dialog.setOption(QFileDialog::ReadOnly, false);
    return dialog.exec() == QDialog::Accepted && !dialog.selectedFiles().isEmpty()
               ? dialog.selectedFiles().first()
               : QString();
  };
  d.message = [](QWidget* parent, const QString& text, unsigned type) { ShowMsgBox(parent, text, type); };
  return d;
}

CExportDlg::CExportDlg(AppState* state, const std::string& folder, const CatalogEntry& entry,
                       QWidget* parent)
    : QDialog(parent), state_(state), folder_(folder), entry_(entry), dialogs_(DefaultDialogs()) {
  BuildControls();
  ReadRecording();
}

CExportDlg::~CExportDlg() = default;

void CExportDlg::BuildControls() {
  const int s = GuiScale();
  setWindowTitle(Text("export"));
  setModal(true);
  startText_ = new QLabel(this);
  lengthText_ = new QLabel(this);
  segment_ = new QCheckBox(Text("save_segment"), this);
  from_ = new QTimeEdit(this);
  to_ = new QTimeEdit(this);
  for (QTimeEdit* picker : {from_, to_}) {
    picker->setDisplayFormat(kPickerFormat);
    picker->setEnabled(false);  // until "Save segment" is checked
  }
  soundOff_ = new QCheckBox(Text("sound_off"), this);
  front_ = new QCheckBox(Text("front"), this);
  rear_ = new QCheckBox(Text("rear"), this);
  ok_ = new CVelTextBut(this);
  ok_->SetText(Text("str_yes"));
  cancel_ = new CVelTextBut(this);
  cancel_->SetText(Text("str_no"));
  for (CVelTextBut* b : {ok_, cancel_}) b->setMinimumSize(90 * s, 26 * s);

  auto* grid = new QGridLayout(this);
  grid->setContentsMargins(12 * s, 12 * s, 12 * s, 12 * s);
  grid->setHorizontalSpacing(10 * s);
  grid->setVerticalSpacing(8 * s);
  grid->addWidget(new QLabel(Text("start_time"), this), 0, 0);
  grid->addWidget(startText_, 0, 1, 1, 3);
  grid->addWidget(new QLabel(Text("file_length"), this), 1, 0);
  grid->addWidget(lengthText_, 1, 1, 1, 3);
  grid->addWidget(segment_, 2, 0, 1, 4);
  grid->addWidget(new QLabel(Text("from"), this), 3, 0);
  grid->addWidget(from_, 3, 1);
  grid->addWidget(new QLabel(Text("to"), this), 3, 2);
  grid->addWidget(to_, 3, 3);
  grid->addWidget(soundOff_, 4, 0, 1, 2);
  grid->addWidget(front_, 5, 0, 1, 2);
  grid->addWidget(rear_, 5, 2, 1, 2);
  auto* buttons = new QHBoxLayout;
  buttons->addStretch();
  buttons->addWidget(ok_);
  buttons->addWidget(cancel_);
  grid->addLayout(buttons, 6, 0, 1, 4);

  connect(segment_, &QCheckBox::toggled, this, [this](bool on) {
    from_->setEnabled(on);
    to_->setEnabled(on);
  });
  connect(front_, &QCheckBox::clicked, this, [this] { KeepOneCamera(front_); });
  connect(rear_, &QCheckBox::clicked, this, [this] { KeepOneCamera(rear_); });
  connect(ok_, &QAbstractButton::clicked, this, [this] { Export(); });
  connect(cancel_, &QAbstractButton::clicked, this, &QDialog::reject);
}

// Neither camera is no export: Front comes back on.
void CExportDlg::KeepOneCamera(QCheckBox*) {
  if (!front_->isChecked() && !rear_->isChecked()) front_->setChecked(true);
}

QString CExportDlg::SourcePath() const {
  return QString::fromStdString(folder_ + "/" + entry_.name + "." +
                                (entry_.ext.empty() ? KindExtension(entry_.kind) : entry_.ext));
}

void CExportDlg::ReadRecording() {
  const bool avi = entry_.kind == kKindAvi;
  front_->setVisible(avi);
  rear_->setVisible(avi);
  front_->setChecked(true);
  if (RecordingStartSeconds(entry_.date, entry_.time, &startSeconds_))
    startText_->setText(QString::fromStdString(FormatStartText(startSeconds_)));
  const std::string path = SourcePath().toStdString();
  if (!avi) {
    // Only read: an unfinished recording is not repaired by looking at it here.
    MP4INFO sets[2];
    ValidateOptions readOnly;
    readOnly.dryRun = true;
    const ValidateReport report = ValidateMP4(path, sets, 1, readOnly);
    if (report.result != ValidateResult::Failed)
      lengthSec_ = ExportLengthSec(sets[0].moov.mvhd.duration, sets[0].moov.mvhd.timescale);
    FreeMP4INFO(sets[0]);
    FreeMP4INFO(sets[1]);
  } else {
    AVIINFO info;
    std::string error;
    // Reading, not ValidAVI: an index is rebuilt in memory by the export, never appended here.
    if (ReadAVI(path, &info, &error)) {
      lengthSec_ = AviExportLengthSec(info.mainHeader.dwTotalFrames,
                                      info.mainHeader.dwMicroSecPerFrame);
      aviVideoStreams_ = info.videoStreamCount;
    }
    if (aviVideoStreams_ == 1) {
      const bool rearCamera = entry_.typeCode >= kFirstRearCamera;
      front_->setChecked(!rearCamera);
      rear_->setChecked(rearCamera);
    }
    front_->setEnabled(aviVideoStreams_ > 1);
    rear_->setEnabled(aviVideoStreams_ > 1);
  }
  if (lengthSec_ == 0) {
    TraceLog("CExportDlg::OnInitDialog", __LINE__, "not exportable %s\n", path.c_str());
    startText_->setEnabled(false);
    QTimer::singleShot(0, this, [this] {
      dialogs_.message(this, Text("unknown_error"), kMsgExclamation);
    });
  }
  lengthText_->setText(QString::fromStdString(LengthText(lengthSec_, LocalizedText(kTextTooltip, "min"),
                                                         LocalizedText(kTextTooltip, "sec"))));
  from_->setTime(PickerTime(0));
  to_->setTime(PickerTime(lengthSec_));
}

void CExportDlg::SetRange(int fromSec, int toSec) {
  segment_->setChecked(true);
  from_->setTime(PickerTime(fromSec));
  to_->setTime(PickerTime(toSec));
}

int CExportDlg::Seconds(const QTimeEdit* picker) {
  const QTime t = picker->time();
  return t.minute() * 60 + t.second();
}

QString CExportDlg::ProposedPath(int fromSec) const {
  const std::string name = entry_.kind == kKindAvi
                               ? ProposedAviName(entry_.name, startSeconds_, fromSec, front_->isChecked())
                               : ProposedMp4Name(entry_.name, startSeconds_, fromSec);
  return QString::fromStdString(WithoutTrailingSlash(state_->exportFolder) + "/" + name +
                                (entry_.kind == kKindAvi ? ".avi" : ".mp4"));
}

void CExportDlg::accept() {
  // Enter in a picker means OK, as the button does; the dialog closes once exported.
  if (!exporting_) Export();
}

bool CExportDlg::Export() {
  if (exporting_) return false;
  const bool segment = segment_->isChecked();
  const int fromSec = segment ? Seconds(from_) : 0;
  const int toSec = segment ? Seconds(to_) : lengthSec_;
  if (lengthSec_ == 0 || !ExportRangeValid(fromSec, toSec, lengthSec_)) {
    dialogs_.message(this, Text("error_invalid_parameter"), kMsgExclamation);
    return false;
  }
  const bool avi = entry_.kind == kKindAvi;
  const QString chosen = dialogs_.savePath(this, ProposedPath(fromSec), avi);
  if (chosen.isEmpty()) return false;

  std::string error;
  // AVI: the front camera first when it is checked, then the rear into a second file.
  const bool rearOnly = avi && !front_->isChecked();
  bool ok = RunExport(chosen.toStdString(), fromSec, toSec, rearOnly, &error);
  if (ok && avi && front_->isChecked() && rear_->isChecked() && aviVideoStreams_ > 1) {
    const QString rearPath = dialogs_.savePath(this, QString::fromStdString(RearAviPath(chosen.toStdString())), true);
    if (!rearPath.isEmpty()) ok = RunExport(rearPath.toStdString(), fromSec, toSec, true, &error);
  }
  RememberFolder(chosen);
  if (!ok) {
    // A cancel says nothing; the dialog stays for another try either way.
    if (!error.empty()) dialogs_.message(this, Text("unknown_error"), kMsgExclamation);
    return false;
  }
  QDialog::accept();
  return true;
}

bool CExportDlg::RunExport(const std::string& outPath, int fromSec, int toSec, bool rear,
                           std::string* error) {
  const std::string source = SourcePath().toStdString();
  const bool withSound = !soundOff_->isChecked();
  const bool avi = entry_.kind == kKindAvi;
  // The save dialog asked before replacing: an existing regular file may go.
  std::atomic<int> percent{0};
  std::atomic<bool> cancel{false};
  ExportOutcome outcome;

  QProgressDialog progress(QString::fromStdString(outPath), Text("str_no"), 0, avi ? 0 : kPercent, this);
  progress.setWindowTitle(Text("export"));
  progress.setWindowModality(Qt::WindowModal);
  progress.setMinimumDuration(0);
  progress.setAutoClose(false);
  progress.setAutoReset(false);
  progress.setValue(0);
  // An AVI export runs chunk by chunk without a progress report, and to its end.
  if (avi) progress.setCancelButton(nullptr);
  connect(&progress, &QProgressDialog::canceled, this, [&cancel] { cancel = true; });

  QEventLoop loop;
  QTimer poll;
  connect(&poll, &QTimer::timeout, &progress, [&] {
    if (progress.wasCanceled()) cancel = true;  // Escape cancels without the signal
    else if (!avi) progress.setValue(percent.load());
  });
  exporting_ = true;
  setEnabled(false);
  std::thread worker([&] {
    const ExportProgressFn report = [&](uint32_t done, uint32_t total) {
      percent = total ? int(uint64_t(done) * kPercent / total) : 0;
      return !cancel.load();
    };
    outcome = avi ? ExportAviRecording(source, outPath, fromSec, toSec, rear, withSound, true)
                  : ExportRecording(source, outPath, fromSec, toSec, withSound, report, true, true);
    QMetaObject::invokeMethod(&loop, "quit", Qt::QueuedConnection);
  });
  progress.show();
  emit progressShown(&progress);
  poll.start(kProgressPollMs);
  loop.exec();
  worker.join();
  poll.stop();
  progress.hide();
  setEnabled(true);
  exporting_ = false;

  if (outcome.status == ExportStatus::Ok) return true;
  if (cancel.load()) {
    error->clear();
    TraceLog("CExportDlg::OnOK", __LINE__, "export cancelled %s\n", outPath.c_str());
  } else {
    *error = outcome.message;
    TraceLog("CExportDlg::OnOK", __LINE__, "export failed %s\n", outcome.message.c_str());
  }
  return false;
}

void CExportDlg::RememberFolder(const QString& path) {
  const std::string folder = WithoutTrailingSlash(QFileInfo(path).absolutePath().toStdString());
  if (folder == state_->exportFolder) return;
  if (!WriteExportPathSetting(state_, folder))
    TraceLog("CExportDlg::OnOK", __LINE__, "setup.ini not written %s\n", state_->settingsFile.c_str());
}

}  // namespace tq
