// The system page ("Tab3"): LEDs, voice guidance, volume, speed alert, the user text
// overlay and the scheduled reboot.
#pragma once

#include <QValidator>

#include "device/gui/CVelSetDlg.h"

namespace tq {

// The user text overlay's filter: A-Z, a-z, 0-9 and :;'/\+-_()$# (and the typographic
// apostrophe), at most 20 characters. Anything else is refused as it is typed.
class UserTextValidator : public QValidator {
  Q_OBJECT
 public:
  using QValidator::QValidator;
  State validate(QString& input, int& pos) const override;
};

class CSetEtcDlg : public CVelSetDlg {
  Q_OBJECT
 public:
  CSetEtcDlg(const CameraConfig* config, QWidget* parent = nullptr);
  QLineEdit* UserText() const { return userText_; }

 private:
  QLineEdit* userText_ = nullptr;
};

}  // namespace tq
