// The toolbar: "setup", "format" and the card selector, the playing title and the
// diagnostic caption.
#pragma once

#include <QWidget>
#include <string>
#include <vector>

#include "app/CardScan.h"

namespace tq {

class CVelToolBut;
class CVelMenu;

class CToolBarDlg : public QWidget {
  Q_OBJECT
 public:
  explicit CToolBarDlg(QWidget* parent = nullptr);
  // Text and enabled state of the selector and the "setup"/"format" buttons for the
  // current card ("" none).
  void UpdateCardDisplay(const std::vector<CardDrive>& cards, const std::string& currentCard);
  // Opens the card menu under the selector.
  void ShowCardMenu();
  void SetPlayingTitle(const QString& title);
  void SetDiagnosticCaption(const QString& caption);
  void SetDiagnosticDisplay(bool on);

  CVelToolBut* SetupButton() const { return setup_; }
  CVelToolBut* FormatButton() const { return format_; }
  CVelToolBut* CardSelector() const { return selector_; }
  CVelMenu* CardMenu() const { return menu_; }
  QString PlayingTitle() const { return title_; }
  QString DiagnosticCaption() const { return caption_; }

 signals:
  void setupClicked();
  void formatClicked();
  // The index in the card list of the picked menu item.
  void cardPicked(int index);

 protected:
  void paintEvent(QPaintEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;

 private:
  void LayoutButtons();
  CVelToolBut* setup_;
  CVelToolBut* format_;
  CVelToolBut* selector_;
  CVelMenu* menu_;
  std::vector<CardDrive> cards_;  // as last shown, for the menu
  QString title_;
  QString caption_;
  bool diagnostic_ = false;
};

}  // namespace tq
