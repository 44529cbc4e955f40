// The family of the camera settings pages: each page shows some keys of config.ini in
// skinned controls, loads them from the editor's record and writes them back into it.
// A page adds only the rows whose keys the camera's profile has. GUI thread only.
#pragma once

#include <QString>
#include <QWidget>
#include <string>
#include <utility>
#include <vector>

#include "device/CameraConfig.h"

class QCheckBox;
class QComboBox;
class QGridLayout;
class QLabel;
class QLineEdit;
class QSlider;
class QSpinBox;

namespace tq {

class CVelSetDlg : public QWidget {
  Q_OBJECT
 public:
  using Options = std::vector<std::pair<QString, int>>;

  // `bit`: the page's bit in the change mask (0 for a page outside config.ini).
  // `config` outlives the page; it knows the profile's keys.
  CVelSetDlg(unsigned bit, const CameraConfig* config, QWidget* parent = nullptr);
  unsigned Bit() const { return bit_; }

  // The editor's operations, in the order it calls them.
  virtual void Load(const CameraConfig& record);
  virtual void Collect(CameraConfig* record) const;
  virtual void ResetDefaults();

  // The control of "Section.Key", or null when the page does not show it.
  QWidget* Field(const std::string& name) const;
  bool Shows(const std::string& name) const { return Field(name) != nullptr; }

 signals:
  // An option the user picked changes how the camera records: the editor shows the
  // back-up reminder.
  void backupAdvised();

 protected:
  // Row builders. Each returns null (and adds nothing) when the profile lacks the key.
  void Heading(const QString& text);
  QComboBox* Choice(const QString& label, const char* section, const char* key, const Options& options,
                    bool backupNotice = false);
  QComboBox* OnOff(const QString& label, const char* section, const char* key, bool backupNotice = false);
  QSlider* Slider(const QString& label, const char* section, const char* key, const QString& low,
                  const QString& high);
  QLineEdit* Text(const QString& label, const char* section, const char* key);
  QCheckBox* Check(const QString& label, const char* section, const char* key);
  QSpinBox* Number(const QString& label, const char* section, const char* key, const QString& unit);
  // A row of the page's own (for controls that are not one key).
  void AddRow(const QString& label, QWidget* control);
  QLabel* MakeLabel(const QString& text, bool heading = false);
  // Localized text of a key.
  static QString Tr(int section, const char* key);
  const CameraConfig* config() const { return config_; }

 private:
  enum class Kind { kCombo, kSlider, kText, kCheck, kSpin };
  struct Binding {
    const ConfigKeyDef* def;
    Kind kind;
    QWidget* control;
  };
  const ConfigKeyDef* Bind(const char* section, const char* key, Kind kind, QWidget* control);

  unsigned bit_;
  const CameraConfig* config_;
  QGridLayout* grid_;
  int row_ = 0;
  std::vector<Binding> bindings_;
};

// Picks the item whose data is `value`; a value no item offers (written by the camera or
// another tool) is added as its number so that loading never changes it.
void SelectComboValue(QComboBox* combo, int value);

}  // namespace tq
