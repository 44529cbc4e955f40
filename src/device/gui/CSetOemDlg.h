// The viewer page: the viewer's own picture-in-picture preference (setup.ini), not a
// camera setting.
#pragma once

#include "device/gui/CVelSetDlg.h"

class QRadioButton;

namespace tq {

class CSetOemDlg : public CVelSetDlg {
  Q_OBJECT
 public:
  static constexpr int kOnControl = 1281;
  static constexpr int kOffControl = 1291;
  CSetOemDlg(const CameraConfig* config, QWidget* parent = nullptr);

  void LoadPip(int videoPip);
  int Pip() const;
  void ResetDefaults() override;
  QRadioButton* OnButton() const { return on_; }
  QRadioButton* OffButton() const { return off_; }

 private:
  QRadioButton* on_;
  QRadioButton* off_;
};

}  // namespace tq
