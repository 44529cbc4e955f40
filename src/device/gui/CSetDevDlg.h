// The device settings dialog behind the toolbar's "setup" button: checks the card's
// camera, loads its config.ini into the editor and guards the close box. GUI thread only.
#pragma once

#include <QDialog>

#include "app/AppSettings.h"

namespace tq {

class CSetFwDlg;

class CSetDevDlg : public QDialog {
  Q_OBJECT
 public:
  static constexpr int kWidth = 560;      // x UI scale, fixed
  static constexpr int kHeight = 674;     // x UI scale
  static constexpr int kMinHeight = 356;  // x UI scale
  static constexpr int kOpenDelayMs = 30;

  // `state` outlives the dialog; its current card is the one edited.
  CSetDevDlg(AppState* state, QWidget* parent = nullptr);
  CSetFwDlg* Editor() const { return editor_; }
  // Whether the card's camera was supported and its configuration loaded.
  bool Opened() const;

 protected:
  void closeEvent(QCloseEvent* event) override;
  void reject() override;  // Escape: as the close box
  void resizeEvent(QResizeEvent* event) override;

 private:
  void OpenCard();
  // UM_SAVE_CAMERA_LANGUAGE from the editor.
  void SaveCameraLanguage(int how, const QString& languageName);
  bool MayClose();

  AppState* state_;
  std::string root_;
  CSetFwDlg* editor_;
};

}  // namespace tq
