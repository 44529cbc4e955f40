// The file list panel: the browse folder, six filter toggles, the recordings of the catalog
// with check boxes, play requests to the main view (double click, the next recording when
// one ended, a point of the timeline), open folder, and copy and delete of recordings.
// GUI thread only, except the progress dialog's worker (see CFileCtrlDlg).
#pragma once

#include <QWidget>
#include <array>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "library/CFileList.h"
#include "library/FileListRules.h"

class QAbstractButton;

namespace tq {

struct AppState;
class CExportDlg;
class CFileCtrlDlg;
class CVelChkBut;
class CVelImgBut;
class CVelListCtrl;
class CVelMenu;
class CVelTextBut;
class CVelToolTip;

class CFileListDlg : public QWidget {
  Q_OBJECT
 public:
  // Commands.
  static constexpr int kCmdDelete = 1102;
  static constexpr int kCmdCopy = 1103;
  static constexpr int kCmdOpenFolder = 1208;
  // The filter toggles: front, rear, normal, event, parking, manual.
  static constexpr int kCmdFilterFirst = 1229;
  static constexpr int kFilterCount = 6;
  // Row commands (from the row menu and the list).
  static constexpr int kRowExport = 0x8003;
  static constexpr int kRowCopy = 0x8004;
  static constexpr int kRowDelete = 0x8005;
  static constexpr int kRowHover = 40000;

  // `state` outlives the panel; play and close requests go to `mainView`.
  CFileListDlg(AppState* state, QObject* mainView, QWidget* parent = nullptr);
  ~CFileListDlg() override;

  // Rescan: `folder` becomes the catalog's folder, then the list is filled.
  void Reload(const std::string& folder);
  // Refills the list from the catalog through the filters.
  void Fill();
  // The calendar's day (0: every day); refills.
  void SetDayFilter(int32_t day);

  // Play requests.
  void DoubleClickRow(int row);
  void ClickRow(int row);
  // Whether a recording followed the current one and was requested.
  bool PlayNext();
  // Whether a recording was started at (date, time HHMMSS), searching from `firstRow`.
  bool PlayAtTime(int32_t date, int32_t time, int firstRow);
  // The command line's recording: its row as a double click would; false when not listed.
  bool PlayFile(const std::string& base);
  // Every filter switch on, no day filter, and the folder listed again (a recording asked
  // for by name may be hidden by a filter or newer than the last scan).
  void ShowAllRows();
  // The browse folder as the band shows it: shortened in the middle to `width` pixels.
  QString FolderBandText(int width) const;

  // Commands and row commands (what the buttons and the row menu run).
  void OnCommand(int id);
  void OnRowCommand(int row, int command);

  // Whether `entry` is one of the listed recordings (a request may outlive a refill).
  bool HoldsEntry(const CatalogEntry* entry) const;

  // State.
  const std::string& Folder() const { return folder_; }
  // The recording days of the last scan (YYYYMMDD), ascending, each once.
  const std::vector<int32_t>& Days() const { return days_; }
  int ReloadCount() const { return reloads_; }
  QStringList Names() const;  // row texts
  int RowCount() const { return int(rows_.size()); }
  CatalogEntry* EntryAt(int row) const;
  int CurrentRow() const { return marks_.current; }
  int ClickedRow() const { return marks_.clicked; }
  char PlayingLetter() const { return playingLetter_; }
  QString HeaderText() const;
  bool Ticked(int row) const;
  void SetTicked(int row, bool ticked);
  const FilterSwitches& Filters() const { return filters_; }
  CFileList& Catalog() { return catalog_; }
  CVelListCtrl* List() const { return list_; }
  QAbstractButton* FilterButton(int index) const;
  QAbstractButton* CopyButton() const;
  QAbstractButton* DeleteButton() const;
  QAbstractButton* FolderButton() const;
  CVelToolTip* PointerTip() const { return tip_; }
  // The band that shows the browse folder (panel coordinates).
  QRect FolderBand() const;

  // Dialog seams, so the panel can be driven without a person at the screen: the folder
  // picker (returns "" on cancel) and the yes/no question.
  using FolderPicker = std::function<QString(const QString& start)>;
  using Question = std::function<bool(const QString& text)>;
  void SetFolderPicker(FolderPicker picker) { pickFolder_ = std::move(picker); }
  void SetQuestion(Question question) { ask_ = std::move(question); }

 signals:
  // The recording-time index was rebuilt (the timeline takes it).
  void indexChanged();
  // No recording is left: the calendar clears its days.
  void calendarCleared();
  // A scan found the recording days again (Days()).
  void daysChanged();
  // A copy or delete progress dialog is about to run modally.
  void fileCtrlStarted(CFileCtrlDlg* dialog);
  // The export dialog of a row is about to run modally.
  void exportStarted(CExportDlg* dialog);

 protected:
  void resizeEvent(QResizeEvent* event) override;
  void paintEvent(QPaintEvent* event) override;

 private:
  void BuildList();
  void AddRow(CatalogEntry* entry);
  void SetCurrent(int row);
  void PlayRow(int row, int32_t wanted);
  void BeginRequest();
  void SendClose(int how);
  void UpdateHeader();
  void UpdateTickButtons();
  std::vector<int> TickedRows() const;
  std::vector<std::string> RowNames() const;
  std::vector<const CatalogEntry*> ConstRows() const;
  void RemoveRow(int row);
  void CopyTicked();
  void DeleteTicked();
  void ExportOne(int row);
  void CopyOne(int row);
  void DeleteOne(int row);
  void OpenFolder();
  // Runs the progress dialog with the catalog handed to its worker.
  void RunFileCtrl(CFileCtrlDlg& dialog);
  void ShowRowMenu(const QPoint& pos);
  void ShowTip(int row);
  QString PickFolder(const std::string& start);
  bool Ask(const QString& text);
  EntryFilter CurrentFilter() const;

  AppState* state_;
  QObject* mainView_;
  CFileList catalog_;
  std::string folder_;
  int reloads_ = 0;
  std::vector<int32_t> days_;
  FilterSwitches filters_;
  std::vector<CatalogEntry*> rows_;  // listed entries by row (the catalog owns them)
  RowMarks marks_;
  char playingLetter_ = 0;  // 'F', 'R', 'N'; 0 until a recording is requested from the list
  bool filling_ = false;    // rows are being added (check notifications are not the user's)
  // A copy or delete worker owns the catalog: nothing else may read or change it until the
  // progress dialog closes. A rescan or refill asked for meanwhile runs afterwards.
  bool fileOpRunning_ = false;
  std::optional<std::string> deferredReload_;
  bool deferredFill_ = false;

  std::array<CVelChkBut*, kFilterCount> filterButtons_{};  // children
  CVelImgBut* folderButton_;
  CVelListCtrl* list_;
  CVelTextBut* copyButton_;
  CVelTextBut* deleteButton_;
  CVelToolTip* tip_;  // top-level tool tip window, owned through its Qt parent (this)
  CVelMenu* menu_;    // the row menu (popup), likewise
  int menuRow_ = -1;
  FolderPicker pickFolder_;
  Question ask_;
};

}  // namespace tq
