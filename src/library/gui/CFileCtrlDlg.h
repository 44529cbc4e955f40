// The progress dialog of copying or deleting the ticked recordings: a list of the files
// done, a progress bar and a percentage; the files are copied or deleted on a worker thread
// while the dialog is shown modally. It cannot be cancelled.
#pragma once

#include <QDialog>
#include <string>
#include <thread>
#include <vector>

#include "library/CFileList.h"

class QLabel;
class QProgressBar;

namespace tq {

class CVelListCtrl;

class CFileCtrlDlg : public QDialog {
  Q_OBJECT
 public:
  enum class Mode { Copy, Delete };
  // One recording to copy; `row` is its file list row (unticked once copied).
  struct CopyJob {
    std::string base;
    uint8_t kind = kKindMp4;
    int row = -1;
  };

  // `catalog` outlives the dialog and is not touched by anyone else while it runs (the
  // dialog is modal).
  CFileCtrlDlg(Mode mode, CFileList* catalog, QWidget* parent = nullptr);
  ~CFileCtrlDlg() override;

  void SetCopyJobs(std::vector<CopyJob> jobs, std::string targetFolder);
  // Names in catalog order; `filter` decides which remaining entries re-enter the index.
  void SetDeleteNames(std::vector<std::string> names, EntryFilter filter);

  Mode GetMode() const { return mode_; }
  int Count() const { return count_; }
  int Done() const { return done_; }
  QString PercentText() const;
  int ProgressValue() const;
  CVelListCtrl* FileListCtrl() const { return files_; }
  const DeleteResult& DeleteOutcome() const { return deleteResult_; }

 signals:
  // After each file, on the GUI thread, once the list, the bar and the label show it.
  void reported(int done, int count, const QString& name);
  // A copied recording's row (the file list unticks it).
  void copiedRow(int row);

 protected:
  void showEvent(QShowEvent* event) override;
  void reject() override;

 private:
  void StartWorker();
  void RunCopy();
  void RunDelete();
  void Report(const QString& name, int row);  // GUI thread
  void Finish();                               // GUI thread

  const Mode mode_;
  CFileList* catalog_;
  std::vector<CopyJob> jobs_;
  std::string target_;
  std::vector<std::string> names_;
  EntryFilter filter_;
  int count_ = 0;
  int done_ = 0;             // GUI thread
  bool finished_ = false;    // GUI thread: the worker has ended
  DeleteResult deleteResult_;  // written by the worker, read after it has been joined
  std::thread worker_;
  CVelListCtrl* files_;     // children
  QProgressBar* progress_;
  QLabel* percent_;
};

}  // namespace tq
