#include "library/gui/CFileListDlg.h"

#include <QApplication>
#include <QFileDialog>
#include <QHeaderView>
#include <QPainter>
#include <algorithm>
#include <cstdint>

#include "app/AppSettings.h"
#include "app/LocalizedText.h"
#include "app/TraceLog.h"
#include "app/gui/GuiMessages.h"
#include "app/gui/PlayRequests.h"
#include "controls/CMsgBox.h"
#include "controls/CVelBut.h"
#include "controls/CVelListCtrl.h"
#include "controls/CVelMenu.h"
#include "controls/CVelTextBut.h"
#include "controls/GuiSkin.h"
#include "export/gui/CExportDlg.h"
#include "library/gui/CFileCtrlDlg.h"
#include "library/gui/FileListImages.h"
#include "player/gui/CDispCtrlDlg.h"

namespace tq {
namespace {

// Layout, x the interface scale.
constexpr int kPad = 3;
constexpr int kFilterSide = 23;
constexpr int kFilterGap = 3;
constexpr int kBandTop = kPad + kFilterSide + kPad;
constexpr int kBandHeight = 22;
constexpr int kListTop = kBandTop + kBandHeight + kPad;
constexpr int kFootHeight = 30;
constexpr int kColumnWidth = 196;
constexpr int kRowHeight = 24;
constexpr int kHeaderHeight = 22;
const QColor kPanelBackground{5, 10, 16};
const QColor kFolderText{242, 242, 242};
const QColor kCurrentRowColor{0xE8, 0xC4, 0xCB};  // the row being played

constexpr int kIconOffset = 2;  // a type code's icon is cell code + 2

// The list header: "Total ( %d )\n" on one line, in the skin's band colour.
class TotalHeader : public QHeaderView {
 public:
  explicit TotalHeader(QWidget* parent) : QHeaderView(Qt::Horizontal, parent) { setSectionsClickable(false); }
  QSize sizeHint() const override { return QSize(QHeaderView::sizeHint().width(), kHeaderHeight * GuiScale()); }

 protected:
  void paintSection(QPainter* p, const QRect& rect, int section) const override {
    p->fillRect(rect, kThemeBand);
    const QString text = model()->headerData(section, orientation()).toString().trimmed();
    p->setFont(GuiFont(UiFontKind::Bold));
    p->setPen(kLightText);
    p->drawText(rect.adjusted(6, 0, -6, 0), Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine, text);
  }
};

long long EntryParam(const CatalogEntry* entry) { return static_cast<long long>(reinterpret_cast<intptr_t>(entry)); }

QString Localized(int section, const char* key) { return QString::fromStdString(LocalizedText(section, key)); }

std::string WithoutTrailingSlash(std::string folder) {
  while (folder.size() > 1 && folder.back() == '/') folder.pop_back();
  return folder;
}

}  // namespace

CFileListDlg::CFileListDlg(AppState* state, QObject* mainView, QWidget* parent)
    : QWidget(parent),
      state_(state),
      mainView_(mainView),
      folderButton_(new CVelImgBut(this)),
      list_(new CVelListCtrl(this)),
      copyButton_(new CVelTextBut(this)),
      deleteButton_(new CVelTextBut(this)),
      tip_(new CVelToolTip(this)),
      menu_(new CVelMenu(this)) {
  setAttribute(Qt::WA_OpaquePaintEvent);
  static const char* const kFilterTips[kFilterCount] = {"front", "rear", "w_normal", "w_event", "w_parking", "manual"};
  for (int i = 0; i < kFilterCount; ++i) {
    auto* button = new CVelChkBut(this);
    button->SetImage(2 * i, &FilterIconList());
    button->setChecked(true);
    button->setToolTip(Localized(kTextTooltip, kFilterTips[i]));
    connect(button, &QAbstractButton::clicked, this, [this, i] { OnCommand(kCmdFilterFirst + i); });
    filterButtons_[size_t(i)] = button;
  }
  folderButton_->SetImage(0, true, &FolderButtonList());
  folderButton_->setToolTip(Localized(kTextTooltip, "open_folder"));
  connect(folderButton_, &QAbstractButton::clicked, this, [this] { OnCommand(kCmdOpenFolder); });
  copyButton_->SetText(Localized(kTextTooltip, "copy_to"));
  deleteButton_->SetText(Localized(kTextTooltip, "delete"));
  connect(copyButton_, &QAbstractButton::clicked, this, [this] { OnCommand(kCmdCopy); });
  connect(deleteButton_, &QAbstractButton::clicked, this, [this] { OnCommand(kCmdDelete); });
  copyButton_->setEnabled(false);
  deleteButton_->setEnabled(false);
  tip_->setAttribute(Qt::WA_ShowWithoutActivating);
  tip_->hide();
  menu_->AddItem(Localized(kTextTooltip, "export"), kRowExport);
  menu_->AddItem(Localized(kTextTooltip, "copy_to"), kRowCopy);
  menu_->AddItem(Localized(kTextTooltip, "delete"), kRowDelete);
  connect(menu_, &CVelMenu::picked, this, [this](int command) { OnRowCommand(menuRow_, command); });
  BuildList();
  UpdateHeader();
}

CFileListDlg::~CFileListDlg() = default;

void CFileListDlg::BuildList() {
  const int s = GuiScale();
  list_->setHorizontalHeader(new TotalHeader(list_));  // the list owns its header
  list_->setColumnCount(1);
  list_->setColumnWidth(0, kColumnWidth * s);
  list_->setEditTriggers(QAbstractItemView::NoEditTriggers);
  list_->setSelectionMode(QAbstractItemView::SingleSelection);
  list_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  list_->verticalHeader()->setDefaultSectionSize(kRowHeight * s);
  list_->setContextMenuPolicy(Qt::CustomContextMenu);
  list_->setStyleSheet(QString("QTableWidget { background: #181417; }"
                               "QHeaderView { background: #360A14; border: none; }"
                               "QScrollBar:vertical { background: #1E171B; width: %1px; margin: 0; }"
                               "QScrollBar::handle:vertical { background: #5E0B1D; min-height: %2px;"
                               " border-radius: %3px; margin: 1px; }"
                               "QScrollBar::handle:vertical:hover { background: #96172E; }"
                               "QScrollBar::add-line, QScrollBar::sub-line { height: 0; }"
                               "QScrollBar::add-page, QScrollBar::sub-page { background: none; }")
                           .arg(10 * s)
                           .arg(24 * s)
                           .arg(4 * s));
  connect(list_, &QTableWidget::cellDoubleClicked, this, [this](int row, int) { DoubleClickRow(row); });
  connect(list_, &QTableWidget::cellClicked, this, [this](int row, int) { ClickRow(row); });
  connect(list_, &QTableWidget::itemChanged, this, [this](QTableWidgetItem*) {
    if (!filling_) UpdateTickButtons();
  });
  connect(list_, &CVelListCtrl::hovered, this, [this](int row, int code) { OnRowCommand(row, code); });
  connect(list_, &QWidget::customContextMenuRequested, this, &CFileListDlg::ShowRowMenu);
}

// --- Filling ---------------------------------------------------------------------------

void CFileListDlg::Reload(const std::string& folder) {
  if (fileOpRunning_) {
    deferredReload_ = folder;
    return;
  }
  // Entries are about to be freed: the player lets go of its entry first.
  if (playingLetter_) SendClose(CDispCtrlDlg::kCloseFull);
  folder_ = folder;
  ++reloads_;
  days_ = catalog_.Scan(folder).days;
  Fill();
  emit daysChanged();
  update();
}

void CFileListDlg::SetDayFilter(int32_t day) {
  filters_.day = day;
  Fill();
}

void CFileListDlg::Fill() {
  if (fileOpRunning_) {
    deferredFill_ = true;
    return;
  }
  if (playingLetter_) SendClose(CDispCtrlDlg::kCloseFull);
  catalog_.ClearIndex();
  filling_ = true;
  list_->setUpdatesEnabled(false);
  list_->setRowCount(0);
  rows_.clear();
  marks_ = {};
  SharedPlayRequests().requestPending = false;
  tip_->hide();
  std::vector<CatalogEntry*> listed;
  for (CatalogEntry& e : catalog_.Entries())
    if (PassesFilter(e, filters_)) listed.push_back(&e);
  list_->setRowCount(int(listed.size()));
  for (CatalogEntry* e : listed) {
    catalog_.MarkHour(e, int(rows_.size()));
    AddRow(e);
  }
  list_->setUpdatesEnabled(true);
  filling_ = false;
  UpdateHeader();
  UpdateTickButtons();
  list_->viewport()->update();
  emit indexChanged();
}

void CFileListDlg::AddRow(CatalogEntry* entry) {
  const int row = int(rows_.size());
  auto* item = new QTableWidgetItem(QString::fromStdString(RowDisplayName(*entry)));  // owned by the list
  item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsUserCheckable);
  item->setCheckState(Qt::Unchecked);
  if (const QPixmap* icon = FileTypeIconList().At(entry->typeCode + kIconOffset)) item->setData(Qt::DecorationRole, *icon);
  list_->setItem(row, 0, item);
  rows_.push_back(entry);
}

void CFileListDlg::UpdateHeader() {
  list_->setHorizontalHeaderLabels({QString::asprintf("Total ( %d )\n", catalog_.Count())});
}

QString CFileListDlg::HeaderText() const {
  const QTableWidgetItem* header = list_->horizontalHeaderItem(0);
  return header ? header->text() : QString();
}

// --- Play requests ---------------------------------------------------------------------

void CFileListDlg::BeginRequest() {
  PlayRequests& requests = SharedPlayRequests();
  bool first = false;
  {
    std::lock_guard<std::mutex> lock(state_->catalogLock);
    first = ++requests.pending == 1;
  }
  // The main frame shows the wait message until the main view has handled the request.
  QWidget* frame = window();
  if (first && frame != this)
    PostMsg(frame, UM_SHOW_WAIT, 0, static_cast<long long>(reinterpret_cast<intptr_t>(&requests.waitWindow)));
  requests.requestPending = true;
}

void CFileListDlg::SendClose(int how) {
  MsgEvent close(UM_PLAY_REQUEST, how, -1);
  QCoreApplication::sendEvent(mainView_, &close);  // handled before this returns
  playingLetter_ = 0;
}

void CFileListDlg::SetCurrent(int row) {
  if (marks_.current >= 0 && marks_.current < RowCount()) list_->SetRowColor(marks_.current, QColor());
  marks_.current = row;
  if (row >= 0 && row < RowCount()) list_->SetRowColor(row, kCurrentRowColor);
}

void CFileListDlg::DoubleClickRow(int row) {
  if (row < 0 || row >= RowCount() || fileOpRunning_) return;
  if (SharedPlayRequests().requestPending) return;  // the earlier request is still on its way
  BeginRequest();
  if (row != marks_.current) {
    SetCurrent(row);
    PlayRow(row, 0);
  } else {
    PostMsg(mainView_, UM_PLAY_REQUEST, -1, EntryParam(rows_[size_t(row)]));  // play it again
  }
}

void CFileListDlg::ClickRow(int row) {
  marks_.clicked = row >= 0 && row < RowCount() ? row : -1;
  list_->viewport()->update();
}

void CFileListDlg::PlayRow(int row, int32_t wanted) {
  CatalogEntry* entry = rows_[size_t(row)];
  playingLetter_ = PlayingCameraLetter(*entry);
  const bool pair = IsPairRequest(ConstRows(), row, state_->videoPip);
  // The timeline shows this hour's minutes while it plays.
  catalog_.FillMinutes(entry->date, entry->time / 10000);
  const uint32_t start = uint32_t(wanted) | (pair ? kPairRequestBit : 0u);
  PostMsg(mainView_, UM_PLAY_REQUEST, static_cast<long long>(start), EntryParam(entry));
}

bool CFileListDlg::PlayNext() {
  if (fileOpRunning_) return false;
  const int next = NextRowToPlay(RowNames(), marks_.current, playingLetter_);
  if (next < 0) return false;
  SetCurrent(next);
  list_->scrollToItem(list_->item(next, 0));
  PlayRow(next, 0);
  return true;
}

bool CFileListDlg::PlayAtTime(int32_t date, int32_t time, int firstRow) {
  if (fileOpRunning_) return false;
  // Durations are probed into the catalog's own entries (the rows point at them).
  auto duration = [this](const CatalogEntry& e) { return catalog_.EnsureDuration(const_cast<CatalogEntry&>(e)); };
  const AtTimeChoice choice = FindRowAtTime(ConstRows(), date, time, firstRow, duration);
  if (choice.row < 0 || choice.row == marks_.current) return false;
  SetCurrent(choice.row);
  SendClose(CDispCtrlDlg::kCloseStop);
  list_->scrollToItem(list_->item(choice.row, 0));
  BeginRequest();
  PlayRow(choice.row, choice.wanted);
  return true;
}

bool CFileListDlg::PlayFile(const std::string& base) {
  auto it = std::find_if(rows_.begin(), rows_.end(), [&](const CatalogEntry* e) { return e->name == base; });
  if (it == rows_.end()) return false;
  const int row = int(it - rows_.begin());
  list_->selectRow(row);
  list_->scrollToItem(list_->item(row, 0));
  ClickRow(row);
  DoubleClickRow(row);
  return true;
}

void CFileListDlg::ShowAllRows() {
  filters_ = FilterSwitches{};
  for (CVelChkBut* button : filterButtons_) button->setChecked(true);
  Reload(folder_);
}

bool CFileListDlg::HoldsEntry(const CatalogEntry* entry) const {
  return entry && std::find(rows_.begin(), rows_.end(), entry) != rows_.end();
}

// --- Commands --------------------------------------------------------------------------

void CFileListDlg::OnCommand(int id) {
  if (id >= kCmdFilterFirst && id < kCmdFilterFirst + kFilterCount) {
    const int i = id - kCmdFilterFirst;
    bool* switches[kFilterCount] = {&filters_.front, &filters_.rear,    &filters_.normal,
                                    &filters_.event, &filters_.parking, &filters_.manual};
    *switches[i] = filterButtons_[size_t(i)]->isChecked();
    Fill();
    return;
  }
  switch (id) {
    case kCmdOpenFolder: OpenFolder(); break;
    case kCmdCopy: CopyTicked(); break;
    case kCmdDelete: DeleteTicked(); break;
    default: break;
  }
}

void CFileListDlg::OpenFolder() {
  const QString chosen = PickFolder(state_->browseFolder + "/");
  if (chosen.isEmpty()) return;
  const std::string folder = WithoutTrailingSlash(chosen.toStdString());
  state_->browseFolder = folder;
  if (!WriteFilePathSetting(state_, folder))
    TraceLog("CFileListDlg::OpenFolder", __LINE__, "setup.ini not written %s\n", state_->settingsFile.c_str());
  filters_.day = 0;
  Reload(folder);
}

void CFileListDlg::CopyTicked() {
  const std::vector<int> ticked = TickedRows();
  if (ticked.empty()) return;
  const QString chosen = PickFolder(state_->exportFolder + "/");
  if (chosen.isEmpty()) return;
  const std::string target = WithoutTrailingSlash(chosen.toStdString());
  std::vector<CFileCtrlDlg::CopyJob> jobs;
  for (int row : ticked) jobs.push_back({rows_[size_t(row)]->name, rows_[size_t(row)]->kind, row});
  {
    CFileCtrlDlg dialog(CFileCtrlDlg::Mode::Copy, &catalog_, this);
    dialog.SetCopyJobs(std::move(jobs), target);
    connect(&dialog, &CFileCtrlDlg::copiedRow, this, [this](int row) { SetTicked(row, false); });
    RunFileCtrl(dialog);
  }
  copyButton_->setEnabled(false);
  deleteButton_->setEnabled(false);
  if (target != state_->exportFolder && !WriteExportPathSetting(state_, target))
    TraceLog("CFileListDlg::CopyTicked", __LINE__, "setup.ini not written %s\n", state_->settingsFile.c_str());
}

void CFileListDlg::DeleteTicked() {
  const std::vector<int> ticked = TickedRows();
  if (ticked.empty()) return;
  if (!Ask(Localized(kTextMessage, "file_delete_message"))) return;
  DeletePlan plan = PlanDelete(ticked, RowNames(), marks_, playingLetter_);
  // The player holds the entry and the open files of what is about to go.
  if (plan.closePlayer) SendClose(CDispCtrlDlg::kCloseStop);
  for (int row : plan.rowsBottomUp) RemoveRow(row);
  marks_ = plan.marks;
  DeleteResult result;
  {
    CFileCtrlDlg dialog(CFileCtrlDlg::Mode::Delete, &catalog_, this);
    dialog.SetDeleteNames(std::move(plan.names), CurrentFilter());
    RunFileCtrl(dialog);
    result = dialog.DeleteOutcome();
  }
  UpdateHeader();
  emit indexChanged();
  if (result.clearCalendar) emit calendarCleared();
  copyButton_->setEnabled(false);
  deleteButton_->setEnabled(false);
}

void CFileListDlg::RunFileCtrl(CFileCtrlDlg& dialog) {
  emit fileCtrlStarted(&dialog);
  fileOpRunning_ = true;
  dialog.exec();
  fileOpRunning_ = false;
  if (deferredReload_) {
    std::string folder = *deferredReload_;
    deferredReload_.reset();
    deferredFill_ = false;
    Reload(folder);
  } else if (deferredFill_) {
    deferredFill_ = false;
    Fill();
  }
}

void CFileListDlg::OnRowCommand(int row, int command) {
  if (command == kRowHover) {
    ShowTip(row);
    return;
  }
  if (row >= 0 && row < RowCount()) {
    switch (command) {
      case kRowCopy: CopyOne(row); break;
      case kRowDelete: DeleteOne(row); break;
      case kRowExport: ExportOne(row); break;
      default: break;
    }
  }
  list_->ClearHover();
}

void CFileListDlg::ExportOne(int row) {
  CExportDlg dialog(state_, folder_, *rows_[size_t(row)], this);
  emit exportStarted(&dialog);
  dialog.exec();
}

void CFileListDlg::CopyOne(int row) {
  const QString chosen = PickFolder(state_->exportFolder + "/");
  if (chosen.isEmpty()) return;
  const std::string target = WithoutTrailingSlash(chosen.toStdString());
  const CatalogEntry& entry = *rows_[size_t(row)];
  QApplication::setOverrideCursor(Qt::WaitCursor);
  catalog_.CopyRecording(entry.name, target, entry.kind);
  QApplication::restoreOverrideCursor();
  if (target != state_->exportFolder && !WriteExportPathSetting(state_, target))
    TraceLog("CFileListDlg::CopyOne", __LINE__, "setup.ini not written %s\n", state_->settingsFile.c_str());
}

void CFileListDlg::DeleteOne(int row) {
  if (!Ask(Localized(kTextMessage, "file_delete_message"))) return;
  QApplication::setOverrideCursor(Qt::WaitCursor);
  if (TouchesPlaying(row, marks_.current, playingLetter_)) SendClose(CDispCtrlDlg::kCloseStop);
  const std::string name = rows_[size_t(row)]->name;
  RemoveRow(row);
  AdjustMarksForDeletedRow(&marks_, row);
  DeleteResult result = catalog_.DeleteRecordings({name}, nullptr, CurrentFilter());
  QApplication::restoreOverrideCursor();
  UpdateHeader();
  UpdateTickButtons();
  emit indexChanged();
  if (result.clearCalendar) emit calendarCleared();
}

void CFileListDlg::RemoveRow(int row) {
  list_->removeRow(row);
  rows_.erase(rows_.begin() + row);
}

void CFileListDlg::ShowRowMenu(const QPoint& pos) {
  const int row = list_->rowAt(pos.y());
  if (row < 0) return;
  menuRow_ = row;
  tip_->hide();
  menu_->Popup(list_->viewport()->mapToGlobal(pos));
}

// The tip sits beside the row, 3 pixels right of it, and shows an AVI row's full file name
// (the row shows a shortened one).
void CFileListDlg::ShowTip(int row) {
  if (row < 0 || row >= RowCount() || rows_[size_t(row)]->kind != kKindAvi) {
    tip_->hide();
    return;
  }
  const QRect rect = list_->visualItemRect(list_->item(row, 0));
  tip_->SetText(QString::fromStdString(rows_[size_t(row)]->name));
  tip_->move(list_->viewport()->mapToGlobal(rect.topRight() + QPoint(3, 0)));
  tip_->show();
}

// --- Ticks -----------------------------------------------------------------------------

std::vector<int> CFileListDlg::TickedRows() const {
  std::vector<int> rows;
  for (int row = 0; row < RowCount(); ++row)
    if (Ticked(row)) rows.push_back(row);
  return rows;
}

bool CFileListDlg::Ticked(int row) const {
  const QTableWidgetItem* item = list_->item(row, 0);
  return item && item->checkState() == Qt::Checked;
}

void CFileListDlg::SetTicked(int row, bool ticked) {
  if (QTableWidgetItem* item = list_->item(row, 0)) item->setCheckState(ticked ? Qt::Checked : Qt::Unchecked);
}

void CFileListDlg::UpdateTickButtons() {
  const bool any = !TickedRows().empty();
  copyButton_->setEnabled(any);
  deleteButton_->setEnabled(any);
}

// --- Small helpers ---------------------------------------------------------------------

QStringList CFileListDlg::Names() const {
  QStringList names;
  for (int row = 0; row < list_->rowCount(); ++row) names << list_->item(row, 0)->text();
  return names;
}

std::vector<std::string> CFileListDlg::RowNames() const {
  std::vector<std::string> names;
  names.reserve(rows_.size());
  for (const CatalogEntry* e : rows_) names.push_back(e->name);
  return names;
}

std::vector<const CatalogEntry*> CFileListDlg::ConstRows() const { return {rows_.begin(), rows_.end()}; }

CatalogEntry* CFileListDlg::EntryAt(int row) const {
  return row >= 0 && row < RowCount() ? rows_[size_t(row)] : nullptr;
}

EntryFilter CFileListDlg::CurrentFilter() const {
  const FilterSwitches filters = filters_;
  return [filters](const CatalogEntry& e) { return PassesFilter(e, filters); };
}

QString CFileListDlg::PickFolder(const std::string& start) {
  const QString from = QString::fromStdString(start);
  if (pickFolder_) return pickFolder_(from);
  return QFileDialog::getExistingDirectory(this, QString(), from, QFileDialog::ShowDirsOnly);
}

bool CFileListDlg::Ask(const QString& text) {
  if (ask_) return ask_(text);
  return ShowMsgBox(this, text, kMsgQuestion) == QDialog::Accepted;
}

QAbstractButton* CFileListDlg::FilterButton(int index) const { return filterButtons_.at(size_t(index)); }
QAbstractButton* CFileListDlg::CopyButton() const { return copyButton_; }
QAbstractButton* CFileListDlg::DeleteButton() const { return deleteButton_; }
QAbstractButton* CFileListDlg::FolderButton() const { return folderButton_; }

// --- Layout and painting ---------------------------------------------------------------

QRect CFileListDlg::FolderBand() const {
  const int s = GuiScale();
  return QRect(kPad * s, kBandTop * s, std::max(0, folderButton_->x() - 2 * s - kPad * s), kBandHeight * s);
}

void CFileListDlg::resizeEvent(QResizeEvent*) {
  const int s = GuiScale();
  for (int i = 0; i < kFilterCount; ++i)
    filterButtons_[size_t(i)]->setGeometry((kPad + i * (kFilterSide + kFilterGap)) * s, kPad * s, kFilterSide * s,
                                           kFilterSide * s);
  const QSize folder = folderButton_->sizeHint();
  folderButton_->setGeometry(width() - kPad * s - folder.width(), kBandTop * s + (kBandHeight * s - folder.height()) / 2,
                             folder.width(), folder.height());
  const int footTop = height() - kFootHeight * s;
  list_->setGeometry(kPad * s, kListTop * s, width() - 2 * kPad * s, std::max(0, footTop - kListTop * s));
  const QSize copy = copyButton_->sizeHint(), del = deleteButton_->sizeHint();
  const int buttonTop = footTop + (kFootHeight * s - copy.height()) / 2;
  copyButton_->setGeometry(kPad * s, buttonTop, copy.width(), copy.height());
  deleteButton_->setGeometry(copyButton_->geometry().right() + 1 + 4 * s, buttonTop, del.width(), del.height());
}

void CFileListDlg::paintEvent(QPaintEvent*) {
  QPainter p(this);
  p.fillRect(rect(), kPanelBackground);
  const QRect band = FolderBand();
  p.fillRect(band, kThemeBand);
  p.setFont(GuiFont(UiFontKind::Normal));
  p.setPen(kFolderText);
  const QRect text = band.adjusted(4 * GuiScale(), 0, -2 * GuiScale(), 0);
  p.drawText(text, Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine, FolderBandText(text.width()));
}

QString CFileListDlg::FolderBandText(int width) const {
  return QFontMetrics(GuiFont(UiFontKind::Normal)).elidedText(QString::fromStdString(folder_), Qt::ElideMiddle, width);
}

}  // namespace tq
