#include "device/gui/CSetDevDlg.h"

#include <QCloseEvent>
#include <QResizeEvent>
#include <QPainter>
#include <QTimer>

#include "app/CameraIdentity.h"
#include "app/CardScan.h"
#include "app/LocalizedText.h"
#include "controls/CMsgBox.h"
#include "controls/GuiSkin.h"
#include "device/gui/CSetFwDlg.h"

namespace tq {
namespace {
constexpr int kEditorMargin = 6;
constexpr char kConfigIni[] = "config.ini";
}  // namespace

CSetDevDlg::CSetDevDlg(AppState* state, QWidget* parent)
    : QDialog(parent), state_(state), root_(state->currentCard), editor_(new CSetFwDlg(state, this)) {
  const int s = GuiScale();
  setWindowTitle(QString::fromStdString(LocalizedText(kTextLable, "setup")));
  setStyleSheet("QDialog { background: #10161E; }");
  setFixedWidth(kWidth * s);
  setMinimumHeight(kMinHeight * s);
  resize(kWidth * s, kHeight * s);
  editor_->hide();
  connect(editor_, &CSetFwDlg::saveCameraLanguage, this, &CSetDevDlg::SaveCameraLanguage);
  connect(editor_, &CSetFwDlg::closeRequested, this, [this](bool saved) { done(saved ? Accepted : Rejected); });
  if (!root_.empty()) QTimer::singleShot(kOpenDelayMs, this, &CSetDevDlg::OpenCard);
}

void CSetDevDlg::resizeEvent(QResizeEvent* event) {
  QDialog::resizeEvent(event);
  editor_->setGeometry(kEditorMargin, kEditorMargin, width() - 2 * kEditorMargin, height() - 2 * kEditorMargin);
}

bool CSetDevDlg::Opened() const { return editor_->Loaded(); }

void CSetDevDlg::OpenCard() {
  SettingsIdentity id;
  if (ReadSettingsIdentity(root_, &id) && editor_->Init(id) && editor_->Load(CardConfigFile(root_, kConfigIni))) {
    editor_->show();
    return;
  }
  ShowMsgBox(this, QString::fromStdString(LocalizedText(kTextTooltip, "fw_version_invalid")), kMsgExclamation);
}

void CSetDevDlg::SaveCameraLanguage(int how, const QString& languageName) {
  WriteCameraLanguage(root_, languageName.toStdString());
  if (how == 1) done(Accepted);
}

bool CSetDevDlg::MayClose() {
  if (editor_->MayClose()) return true;
  ShowMsgBox(this, QString::fromStdString(LocalizedText(kTextMessage, "wifi_config_checking_needed")),
             kMsgExclamation);
  return false;
}

void CSetDevDlg::closeEvent(QCloseEvent* event) {
  if (MayClose()) {
    QDialog::closeEvent(event);
  } else {
    event->ignore();
  }
}

void CSetDevDlg::reject() {
  if (MayClose()) QDialog::reject();
}

}  // namespace tq
