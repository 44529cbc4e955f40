// The owner-drawn report list and the hover-tracking edit box.
#pragma once

#include <QLineEdit>
#include <QTableWidget>

namespace tq {

class CVelListCtrl : public QTableWidget {
  Q_OBJECT
 public:
  static constexpr int kHoverCode = 40000;  // lParam of the hover report
  explicit CVelListCtrl(QWidget* parent = nullptr);
  // A column that shows its integer value as "%d %%".
  void SetProgressColumn(int column) { progressColumn_ = column; }
  int ProgressColumn() const { return progressColumn_; }
  // An owner-chosen background for one row (invalid colour: the default light rows).
  void SetRowColor(int row, const QColor& color);
  QColor RowColor(int row) const;
  int HotRow() const { return hotRow_; }
  void ClearHover();
  // Where a checkable row draws its check image inside its first cell (a click there flips
  // the check).
  static QRect CheckRect(const QRect& cell);

 signals:
  // The row under the mouse, -1 when the mouse left the list; lParam kHoverCode.
  void hovered(int row, int code);

 protected:
  void mouseMoveEvent(QMouseEvent* event) override;
  void leaveEvent(QEvent* event) override;

 private:
  int progressColumn_ = -1;
  int hotRow_ = -1;
};

class CVelEdit : public QLineEdit {
  Q_OBJECT
 public:
  explicit CVelEdit(QWidget* parent = nullptr);
  bool Hovering() const { return hover_; }

 protected:
  void mouseMoveEvent(QMouseEvent* event) override;
  void leaveEvent(QEvent* event) override;
  void paintEvent(QPaintEvent* event) override;

 private:
  bool hover_ = false;
};

}  // namespace tq
