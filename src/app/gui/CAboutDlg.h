// The About box: program name and version, the current card's identity, the maker's site.
#pragma once

#include <QDialog>
#include <string>

namespace tq {

struct CameraIdentity;

// "%s-%s" model and firmware, then "-%c" with the first letter of the camera language and
// "-%s" with the local option when they are present.
std::string CardIdentityLine(const CameraIdentity& id);

class CAboutDlg : public QDialog {
  Q_OBJECT
 public:
  // `cardRoot` "" when no card is current.
  CAboutDlg(const std::string& version, const std::string& cardRoot, const std::string& language,
            QWidget* parent = nullptr);
  QString VersionLine() const { return versionLine_; }
  QString CardLine() const { return cardLine_; }

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  QString versionLine_;
  QString cardLine_;
};

}  // namespace tq
