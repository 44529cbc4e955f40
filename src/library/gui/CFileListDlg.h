// The file list panel, for now the names of the browse folder's recordings in catalog order
// (selection, filters and file operations come with the panel's own work).
#pragma once

#include <QWidget>
#include <string>

#include "library/CFileList.h"

class QListWidget;

namespace tq {

class CFileListDlg : public QWidget {
  Q_OBJECT
 public:
  explicit CFileListDlg(QWidget* parent = nullptr);
  // Rescans `folder` and refills the list.
  void Reload(const std::string& folder);
  const std::string& Folder() const { return folder_; }
  int ReloadCount() const { return reloads_; }
  QStringList Names() const;

 protected:
  void resizeEvent(QResizeEvent* event) override;
  void paintEvent(QPaintEvent* event) override;

 private:
  CFileList catalog_;
  std::string folder_;
  QListWidget* list_;  // child
  int reloads_ = 0;
};

}  // namespace tq
