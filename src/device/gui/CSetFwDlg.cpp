#include "device/gui/CSetFwDlg.h"

#include <QComboBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QScrollArea>
#include <QStackedWidget>
#include <QTabBar>
#include <QVBoxLayout>

#include "app/CardScan.h"
#include "app/LocalizedText.h"
#include "controls/CMsgBox.h"
#include "controls/CVelTextBut.h"
#include "controls/GuiSkin.h"
#include "platform/Files.h"
#include "device/gui/CSetBasicNDlg.h"
#include "device/gui/CSetEtcDlg.h"
#include "device/gui/CSetOemDlg.h"
#include "device/gui/CSetSenDlg.h"
#include "device/gui/CSetSenseDlg.h"
#include "device/gui/CSetWifiDlg.h"

namespace tq {
namespace {

QString Tr(int section, const char* key) { return QString::fromStdString(LocalizedText(section, key)); }

constexpr char kEditorStyle[] =
    "QLabel { color: #F2F2F2; }"
    "QComboBox { color: #F2F2F2; background: #1C2430; border: 1px solid #3A4656; padding: 1px 4px; }"
    "QTabBar::tab { color: #C8C8C8; background: #1C2430; padding: 4px 10px; border: 1px solid #3A4656; }"
    "QTabBar::tab:selected { color: #FFFFFF; background: #3A6EA5; }"
    "QScrollArea, QStackedWidget { background: #10161E; border: none; }";

}  // namespace

CSetFwDlg::CSetFwDlg(AppState* state, QWidget* parent)
    : QWidget(parent),
      state_(state),
      caption_(new QLabel(this)),
      language_(new QComboBox(this)),
      tabs_(new QTabBar(this)),
      stack_(new QStackedWidget(this)),
      save_(new CVelTextBut(this)),
      quit_(new CVelTextBut(this)),
      reset_(new CVelTextBut(this)) {
  const int s = GuiScale();
  setStyleSheet(kEditorStyle);
  setFont(GuiFont(UiFontKind::Normal));
  caption_->setFont(GuiFont(UiFontKind::Bold));
  tabs_->setExpanding(false);
  connect(tabs_, &QTabBar::currentChanged, stack_, &QStackedWidget::setCurrentIndex);

  save_->SetText(Tr(kTextLable, "wifi_config_save"));
  quit_->SetText(Tr(kTextLable, "wifi_config_quit"));
  reset_->SetText(Tr(kTextTooltip, "initsetup"));
  for (CVelTextBut* b : {save_, quit_, reset_}) b->setFixedSize(b->sizeHint());
  connect(save_, &QAbstractButton::clicked, this, [this] { Save(); });
  connect(quit_, &QAbstractButton::clicked, this, [this] { emit closeRequested(false); });
  connect(reset_, &QAbstractButton::clicked, this, [this] {
    for (CVelSetDlg* p : pages_) p->ResetDefaults();
  });

  auto* top = new QHBoxLayout;
  top->addWidget(caption_, 1);
  top->addWidget(language_);
  auto* buttons = new QHBoxLayout;
  buttons->addWidget(reset_);
  buttons->addStretch(1);
  buttons->addWidget(save_);
  buttons->addWidget(quit_);
  auto* column = new QVBoxLayout(this);
  column->setContentsMargins(0, 0, 0, 0);
  column->setSpacing(6 * s);
  column->addLayout(top);
  column->addWidget(tabs_);
  column->addWidget(stack_, 1);
  column->addLayout(buttons);
}

void CSetFwDlg::AddPage(CVelSetDlg* page, const QString& tab) {
  // Pages are taller than the dialog at its minimum height.
  auto* scroll = new QScrollArea(stack_);
  scroll->setWidgetResizable(true);
  scroll->setWidget(page);
  stack_->addWidget(scroll);
  tabs_->addTab(tab);
  pages_.push_back(page);
  connect(page, &CVelSetDlg::backupAdvised, this, [this] {
    ShowMsgBox(this, Tr(kTextTooltip, "back_up_all_before_changing_the_setting"), kMsgInformation);
  });
}

bool CSetFwDlg::Init(const SettingsIdentity& identity) {
  if (!pages_.empty() || !config_.Init(identity)) return false;
  identity_ = identity;
  caption_->setText(QString::fromStdString(ModelCaption(identity.model, identity.firmwareNumber)));
  // The camera's own language is offered too, so that opening and saving the settings
  // never switches a camera to Japanese behind the user's back.
  language_->addItem(Tr(kTextTooltip, "japan"), QString("japan"));
  if (!identity.language.empty() && identity.language != "japan")
    language_->addItem(Tr(kTextTooltip, identity.language.c_str()), QString::fromStdString(identity.language));
  language_->setCurrentIndex(language_->count() - 1);

  AddPage(new CSetBasicNDlg(&config_), Tr(kTextLable, "BASIC_SETTING"));
  AddPage(sense_ = new CSetSenseDlg(&config_), Tr(kTextLable, "SENSITIVITY_SETTING"));
  AddPage(new CSetEtcDlg(&config_), Tr(kTextTooltip, "system"));
  AddPage(wifi_ = new CSetWifiDlg(&config_), Tr(kTextLable, "AUTH_SETTING"));
  AddPage(viewer_ = new CSetOemDlg(&config_), "Viewer");
  connect(sense_, &CSetSenseDlg::advancedRequested, this, &CSetFwDlg::advancedRequested);
  connect(sense_, &CSetSenseDlg::advancedRequested, this, &CSetFwDlg::OpenAdvanced);
  return true;
}

bool CSetFwDlg::Load(const std::string& path) {
  if (pages_.empty() || !config_.Load(path)) return false;
  for (CVelSetDlg* p : pages_) p->Load(config_);
  viewer_->LoadPip(state_->videoPip);
  loaded_ = true;
  return true;
}

void CSetFwDlg::OpenAdvanced(int which) {
  if (which != 0 && which != 1) return;
  // The sensor view's engine keeps its scratch files apart from the player's.
  const std::string scratch = JoinPath(state_->settingsFolder, "sensor");
  MakeFolder(scratch);
  CSetSenDlg dialog(CardRecordFolder(state_->currentCard), scratch, sense_->Axes(which), this);
  if (dialog.exec() == QDialog::Accepted) sense_->SetAxes(which, dialog.Axes());
}

QString CSetFwDlg::Caption() const { return caption_->text(); }

QString CSetFwDlg::SelectedLanguage() const { return language_->currentData().toString(); }

void CSetFwDlg::CollectPages() {
  for (CVelSetDlg* p : pages_) p->Collect(&config_);
}

bool CSetFwDlg::MayClose() {
  if (!loaded_) return true;
  CollectPages();
  return config_.ChangeMask() == 0 && SelectedLanguage().toStdString() == identity_.language &&
         viewer_->Pip() == state_->videoPip;
}

void CSetFwDlg::ShowProblem(const ConfigProblem& problem) {
  ShowMsgBox(this, Tr(problem.section, problem.message.c_str()), kMsgExclamation);
  for (size_t i = 0; i < pages_.size(); ++i) {
    QWidget* field = pages_[i]->Field(problem.name);
    if (!field) continue;
    tabs_->setCurrentIndex(int(i));
    field->setFocus();
    if (auto* edit = qobject_cast<QLineEdit*>(field)) edit->selectAll();
    return;
  }
}

CSetFwDlg::SaveOutcome CSetFwDlg::Save() {
  if (!loaded_) return SaveOutcome::kRefused;
  CollectPages();
  if (ConfigProblem problem = config_.Validate()) {
    ShowProblem(problem);
    return SaveOutcome::kRefused;
  }
  const unsigned mask = config_.ChangeMask();
  if (viewer_->Pip() != state_->videoPip) WriteVideoPipSetting(state_, viewer_->Pip());
  const QString language = SelectedLanguage();
  if (language.toStdString() != identity_.language) {
    emit saveCameraLanguage(mask ? 2 : 1, language);
    identity_.language = language.toStdString();
    if (!mask) return SaveOutcome::kDone;  // the language message closes the dialog
  }
  if (mask && !config_.Save(mask)) {
    // The card may be full, write-protected or gone: say so and keep the edits.
    ShowMsgBox(this, Tr(kTextTooltip, "unknown_error"), kMsgHand);
    return SaveOutcome::kFailed;
  }
  emit closeRequested(mask != 0);
  return SaveOutcome::kDone;
}

}  // namespace tq
