// Skinned text buttons: the dialog button (text, optional icon) and the toolbar button
// (toolbar icon plus text).
#pragma once

#include "controls/CVelBut.h"

namespace tq {

// Size of a text button: text width + 12, + 21 with an icon, at least 60 x s wide; a
// button without text is 22 x 22 (times s).
QSize TextButSize(int textWidth, bool hasText, bool hasIcon, int scale);

class CVelTextBut : public CVelBut {
  Q_OBJECT
 public:
  explicit CVelTextBut(QWidget* parent = nullptr);
  // `icon` indexes the shared image-button list, -1 for none. Resizes the button.
  void SetText(const QString& text, int icon = -1, bool redraw = true);
  QString Text() const { return text_; }
  // 0 disabled, 1 normal, 2 hover, 3 pressed or latched.
  int StateNumber() const;
  QSize sizeHint() const override;

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  QString text_;
  int icon_ = -1;
};

class CVelToolBut : public CVelBut {
  Q_OBJECT
 public:
  explicit CVelToolBut(QWidget* parent = nullptr);
  // `icon` is the base index of three cells in the toolbar list.
  void SetToolText(const QString& text, int icon);
  QString Text() const { return text_; }
  // 0 disabled, 1 normal, 2 pressed or latched.
  int StateOffset() const;
  QSize sizeHint() const override;

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  QString text_;
  int icon_ = 0;
};

}  // namespace tq
