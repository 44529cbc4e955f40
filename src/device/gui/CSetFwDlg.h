// The camera configuration editor inside the device settings dialog: the model line, the
// camera language, one tab per page, and the save, quit and reset buttons. It holds the
// loaded record and decides what a save writes. GUI thread only.
#pragma once

#include <QWidget>
#include <string>
#include <vector>

#include "app/AppSettings.h"
#include "app/CameraIdentity.h"
#include "device/CameraConfig.h"

class QComboBox;
class QLabel;
class QStackedWidget;
class QTabBar;

namespace tq {

class CVelSetDlg;
class CVelTextBut;
class CSetOemDlg;
class CSetSenseDlg;
class CSetWifiDlg;

class CSetFwDlg : public QWidget {
  Q_OBJECT
 public:
  // `state` outlives the editor (the picture-in-picture preference lives there).
  CSetFwDlg(AppState* state, QWidget* parent = nullptr);

  // The supported-model check and the pages for the model's profile.
  bool Init(const SettingsIdentity& identity);
  // Reads config.ini into the record and the pages. False when it cannot be read.
  bool Load(const std::string& path);
  bool Loaded() const { return loaded_; }
  // Whether the window's close box may close the dialog: nothing on any page, the camera
  // language or the picture-in-picture choice differs from what was loaded.
  bool MayClose();

  enum class SaveOutcome { kRefused, kFailed, kDone };
  // The save button: validate, write what changed, and ask to close.
  SaveOutcome Save();

  CameraConfig& Config() { return config_; }
  QTabBar* Tabs() const { return tabs_; }
  const std::vector<CVelSetDlg*>& Pages() const { return pages_; }
  CSetWifiDlg* WifiPage() const { return wifi_; }
  CSetSenseDlg* SensePage() const { return sense_; }
  CSetOemDlg* ViewerPage() const { return viewer_; }
  QComboBox* LanguageBox() const { return language_; }
  QString Caption() const;
  CVelTextBut* SaveButton() const { return save_; }
  CVelTextBut* QuitButton() const { return quit_; }
  CVelTextBut* ResetButton() const { return reset_; }

 signals:
  // UM_SAVE_CAMERA_LANGUAGE: `how` 1 closes the dialog after writing, 2 leaves the closing
  // to the configuration save.
  void saveCameraLanguage(int how, const QString& languageName);
  // The dialog is to close (after a save or the quit button).
  void closeRequested(bool saved);
  // A page's "Advanced settings" (0 normal, 1 parking G-sensor, 2 motion detection).
  void advancedRequested(int which);

 private:
  void AddPage(CVelSetDlg* page, const QString& tab);
  // The three-axis dialog of a G-sensor mode (0 normal, 1 parking).
  void OpenAdvanced(int which);
  void CollectPages();
  QString SelectedLanguage() const;
  void ShowProblem(const ConfigProblem& problem);

  AppState* state_;
  CameraConfig config_;
  SettingsIdentity identity_;
  bool loaded_ = false;
  QLabel* caption_;
  QComboBox* language_;
  QTabBar* tabs_;
  QStackedWidget* stack_;
  std::vector<CVelSetDlg*> pages_;
  CSetSenseDlg* sense_ = nullptr;
  CSetWifiDlg* wifi_ = nullptr;
  CSetOemDlg* viewer_ = nullptr;
  CVelTextBut* save_;
  CVelTextBut* quit_;
  CVelTextBut* reset_;
};

}  // namespace tq
