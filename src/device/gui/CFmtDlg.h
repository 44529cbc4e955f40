// The format dialog: pick a removable card, see its size, format it as the camera's
// FAT32. Only a card this dialog listed can be formatted, and only after the safety rules
// (FormatSafety.h) allow it and the user confirmed the named device. The format itself
// runs on a worker thread while the dialog shows its progress and takes no input.
// GUI thread.
#pragma once

#include <QDialog>
#include <string>
#include <vector>

#include "device/FormatSafety.h"
#include "platform/DriveProvider.h"

class QComboBox;
class QLabel;
class QProgressBar;

namespace tq {

class CVelTextBut;

class CFmtDlg : public QDialog {
  Q_OBJECT
 public:
  static constexpr int kWidth = 334;   // x UI scale
  static constexpr int kHeight = 140;
  // `drives` outlives the dialog; `paths` are the folders whose disk is never formatted.
  CFmtDlg(const DriveProvider* drives, ProtectedPaths paths, QWidget* parent = nullptr);
  ~CFmtDlg() override;

  // The root of the drive a format ran on ("" when none did), and whether it succeeded.
  // The dialog closes (accepted) after any format it started.
  const std::string& FormattedRoot() const { return formattedRoot_; }
  bool FormatSucceeded() const { return succeeded_; }

  QComboBox* DriveList() const { return driveList_; }
  QLabel* SizeLabel() const { return size_; }
  QProgressBar* Progress() const { return progress_; }
  CVelTextBut* YesButton() const { return yes_; }
  CVelTextBut* NoButton() const { return no_; }
  // No, Escape and the close box: ignored while the card is being written.
  void reject() override;

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  void FillDrives();
  void ShowSize(int index);
  void OnYes();
  // Runs the format on a worker thread and shows its progress; true on success.
  bool RunFormat(const FormatCandidate& candidate);

  const DriveProvider* drives_;
  ProtectedPaths paths_;
  std::vector<DriveInfo> listed_;  // the drives of the list, as filled
  QComboBox* driveList_;
  QLabel* size_;
  QLabel* notice_;
  QProgressBar* progress_;
  CVelTextBut* yes_;
  CVelTextBut* no_;
  bool busy_ = false;
  std::string formattedRoot_;
  bool succeeded_ = false;
};

// "%.2f GB" of bytes / 2^30 ("0.00 GB" for 0).
QString DriveSizeText(uint64_t bytes);

}  // namespace tq
