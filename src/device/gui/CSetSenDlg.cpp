#include "device/gui/CSetSenDlg.h"

#include <QFileDialog>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

#include "app/LocalizedText.h"
#include "controls/CVelSenSld.h"
#include "controls/CVelTextBut.h"
#include "controls/GuiSkin.h"
#include "device/SensorFolderList.h"
#include "telemetry/gui/CSenDispDlg.h"

namespace tq {
namespace {
constexpr int kViewWidth = 580, kViewHeight = 268;  // x UI scale: the video and its bar
const char* const kAxisNames[3] = {"X", "Y", "Z"};
}  // namespace

CSetSenDlg::CSetSenDlg(const std::string& folder, const std::string& scratchFolder, std::array<int, 3> axes,
                       QWidget* parent)
    : QDialog(parent),
      axes_(axes),
      folderLabel_(new QLabel(this)),
      header_(new QLabel(this)),
      list_(new QListWidget(this)),
      view_(new CSenDispDlg(scratchFolder, this)),
      save_(new CVelTextBut(this)),
      quit_(new CVelTextBut(this)) {
  const int s = GuiScale();
  setStyleSheet("QDialog { background: #10161E; } QLabel { color: #F2F2F2; }"
                "QListWidget { color: #F2F2F2; background: #1C2430; }"
                "QPushButton:checked { background: #3A6EA5; color: #FFFFFF; }");
  setWindowTitle(QString::fromStdString(LocalizedText(kTextTooltip, "advanced_set")));
  view_->setFixedSize(kViewWidth * s, kViewHeight * s);

  auto* pick = new QPushButton("...", this);
  connect(pick, &QPushButton::clicked, this, [this] {
    const QString chosen = QFileDialog::getExistingDirectory(this, QString(), QString::fromStdString(folder_ + "/"));
    if (!chosen.isEmpty()) SetFolder(chosen.toStdString());
  });
  auto* filterRow = new QHBoxLayout;
  for (int i = 0; i < 4; ++i) {
    filters_[size_t(i)] = new QPushButton(QString(kFilterLetters[i]), this);
    filters_[size_t(i)]->setCheckable(true);
    filters_[size_t(i)]->setChecked(true);
    connect(filters_[size_t(i)], &QPushButton::toggled, this, &CSetSenDlg::Refill);
    filterRow->addWidget(filters_[size_t(i)]);
  }
  filterRow->addStretch(1);
  filterRow->addWidget(pick);

  auto* sliders = new QGridLayout;
  for (int a = 0; a < 3; ++a) {
    sliders_[size_t(a)] = new CVelSenSld(a, this);
    sliders_[size_t(a)]->setFixedSize(sliders_[size_t(a)]->sizeHint());
    sliders_[size_t(a)]->SetLevelStep(axes_[size_t(a)]);
    connect(sliders_[size_t(a)], &CVelSenSld::levelSet, this, [this](int sensor, int step) {
      if (sensor >= 0 && sensor < 3) axes_[size_t(sensor)] = step;
    });
    values_[size_t(a)] = new QLabel("0", this);
    sliders->addWidget(new QLabel(kAxisNames[a], this), a, 0);
    sliders->addWidget(sliders_[size_t(a)], a, 1);
    sliders->addWidget(values_[size_t(a)], a, 2);
  }
  connect(view_, &CSenDispDlg::sample, this, &CSetSenDlg::OnSample);
  connect(view_, &CSenDispDlg::slidersCleared, this, [this] {
    for (CVelSenSld* sld : sliders_) sld->ClearSamples();
  });
  connect(view_, &CSenDispDlg::playEnded, this, &CSetSenDlg::OnEnded);
  connect(list_, &QListWidget::itemDoubleClicked, this, [this](QListWidgetItem* item) { PlayRow(list_->row(item)); });

  save_->SetText("Save and close");
  quit_->SetText("Close without saving");
  for (CVelTextBut* b : {save_, quit_}) b->setFixedSize(b->sizeHint());
  connect(save_, &QAbstractButton::clicked, this, &QDialog::accept);
  connect(quit_, &QAbstractButton::clicked, this, &QDialog::reject);
  auto* buttons = new QHBoxLayout;
  buttons->addStretch(1);
  buttons->addWidget(save_);
  buttons->addWidget(quit_);

  auto* left = new QVBoxLayout;
  left->addWidget(folderLabel_);
  left->addLayout(filterRow);
  left->addWidget(header_);
  left->addWidget(list_, 1);
  auto* right = new QVBoxLayout;
  right->addWidget(view_);
  right->addLayout(sliders);
  auto* row = new QHBoxLayout;
  row->addLayout(left, 1);
  row->addLayout(right);
  auto* column = new QVBoxLayout(this);
  column->addLayout(row, 1);
  column->addLayout(buttons);
  SetFolder(folder);
}

void CSetSenDlg::SetFolder(const std::string& folder) {
  folder_ = folder;
  folderLabel_->setText(QString::fromStdString(folder));
  view_->SetData(std::string());
  view_->SetFolder(folder);
  Refill();
}

void CSetSenDlg::Refill() {
  std::string types;
  for (int i = 0; i < 4; ++i)
    if (filters_[size_t(i)] && filters_[size_t(i)]->isChecked()) types += kFilterLetters[i];
  list_->clear();
  for (const std::string& name : SensorFolderNames(folder_, types)) list_->addItem(QString::fromStdString(name));
  header_->setText(QString::asprintf("Total ( %d )", list_->count()));
}

bool CSetSenDlg::PlayRow(int row) {
  if (row < 0 || row >= list_->count()) return false;
  list_->setCurrentRow(row);
  list_->scrollToItem(list_->item(row));
  return view_->SetData(list_->item(row)->text().toStdString());
}

void CSetSenDlg::OnSample(int x, int y, int z) {
  const int v[3] = {x, y, z};
  for (int a = 0; a < 3; ++a) {
    last_[size_t(a)] = v[a];
    sliders_[size_t(a)]->AddSample(v[a]);
    values_[size_t(a)]->setText(raw_ ? QString::number(v[a]) : QString::number(double(v[a]) * 2 / kScale, 'f', 2));
  }
}

void CSetSenDlg::OnEnded() {
  // The row above is the next newer recording; past the top the view stops.
  const int next = list_->currentRow() - 1;
  if (next >= 0) PlayRow(next);
  else view_->SetData(std::string());
}

}  // namespace tq
