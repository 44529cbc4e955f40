// The skinned popup menu and tool tip.
#pragma once

#include <QWidget>
#include <vector>

namespace tq {

// A popup menu window: one row per item, hover highlight. Emits `picked` with the
// command identifier of the clicked item and closes.
class CVelMenu : public QWidget {
  Q_OBJECT
 public:
  explicit CVelMenu(QWidget* parent = nullptr);
  void Clear() { items_.clear(); hoverRow_ = -1; }
  void AddItem(const QString& text, int command, bool enabled = true);
  int Count() const { return int(items_.size()); }
  QString ItemText(int row) const { return items_[size_t(row)].text; }
  int ItemCommand(int row) const { return items_[size_t(row)].command; }
  int HoverRow() const { return hoverRow_; }
  // Opens the menu with its top-left corner at `globalPos`.
  void Popup(const QPoint& globalPos);
  QSize sizeHint() const override;

 signals:
  void picked(int command);

 protected:
  void paintEvent(QPaintEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void leaveEvent(QEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;

 private:
  struct Item {
    QString text;
    int command = 0;
    bool enabled = true;
  };
  int RowAt(const QPoint& pos) const;
  int RowHeight() const;
  std::vector<Item> items_;
  int hoverRow_ = -1;
};

// A tool tip window with its own text, in the skin's colours.
class CVelToolTip : public QWidget {
  Q_OBJECT
 public:
  explicit CVelToolTip(QWidget* parent = nullptr);
  void SetText(const QString& text);
  QString Text() const { return text_; }
  // Shows the tip just below and right of `globalPos`.
  void ShowAt(const QPoint& globalPos);
  QSize sizeHint() const override;

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  QString text_;
};

}  // namespace tq
