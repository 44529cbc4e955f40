// The frame's own title bar: logo, title, minimise / maximise-restore / close. Dragging it
// moves the frame; a double click maximises or restores.
#pragma once

#include <QWidget>

namespace tq {

class CVelImgBut;

class CTitleBar : public QWidget {
  Q_OBJECT
 public:
  explicit CTitleBar(QWidget* parent = nullptr);
  void SetTitle(const QString& title);
  // Shows the restore glyph while the frame is maximised.
  void SetMaximized(bool maximized);
  CVelImgBut* CloseButton() const { return close_; }

 signals:
  void minimizeClicked();
  void maximizeClicked();
  void closeClicked();
  // A click on the logo: the About box (command 1201).
  void aboutClicked();

 protected:
  void paintEvent(QPaintEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void mouseDoubleClickEvent(QMouseEvent* event) override;

 private:
  QRect LogoRect() const;
  QString title_;
  CVelImgBut* minimize_;
  CVelImgBut* maximize_;
  CVelImgBut* close_;
  QPoint dragOffset_;   // pointer minus frame origin while dragging by hand
  bool dragging_ = false;
};

}  // namespace tq
