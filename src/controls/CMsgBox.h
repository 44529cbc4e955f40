// The program's message box: skinned text, the system icon of its type, yes/no or one button.
#pragma once

#include <QDialog>
#include <vector>

namespace tq {

class CVelTextBut;

enum MsgBoxType : unsigned {
  kMsgHand = 0x10,
  kMsgQuestion = 0x20,
  kMsgExclamation = 0x30,
  kMsgInformation = 0x40,
};

class CMsgBox : public QDialog {
  Q_OBJECT
 public:
  static constexpr int kWidth = 320;  // x s
  CMsgBox(const QString& text, unsigned type, QWidget* parent = nullptr);
  // The buttons from left to right: "string_yes" and "string_no" for a question, else "str_yes".
  const std::vector<CVelTextBut*>& Buttons() const { return buttons_; }
  unsigned Type() const { return type_; }
  QString Text() const { return text_; }

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  QRect TextRect() const;
  QString text_;
  unsigned type_;
  QPixmap icon_;
  std::vector<CVelTextBut*> buttons_;  // children of the box
};

// Shows a modal message box and returns QDialog::Accepted for "yes"/the one button.
int ShowMsgBox(QWidget* parent, const QString& text, unsigned type);

}  // namespace tq
