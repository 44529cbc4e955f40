#include "controls/CVelListCtrl.h"

#include <QHeaderView>
#include <QMouseEvent>
#include <QPainter>
#include <QStyledItemDelegate>

#include "controls/GuiSkin.h"

namespace tq {
namespace {

constexpr int kRowColorRole = Qt::UserRole + 1;

// Paints one cell: row background, check image and icon (first column), text, progress
// text, grid line.
class VelListDelegate : public QStyledItemDelegate {
 public:
  explicit VelListDelegate(CVelListCtrl* list) : QStyledItemDelegate(list), list_(list) {}
  void paint(QPainter* p, const QStyleOptionViewItem& option, const QModelIndex& index) const override {
    const int row = index.row();
    QColor back = list_->RowColor(row);
    if (!back.isValid()) {
      bool hot = row == list_->HotRow() || (option.state & QStyle::State_Selected);
      back = hot ? kHotRow : kLightText;
    }
    p->fillRect(option.rect, back);
    QRect area = option.rect.adjusted(4, 0, -4, 0);
    if (index.flags() & Qt::ItemIsUserCheckable) {
      const QRect box = CVelListCtrl::CheckRect(option.rect);
      const bool checked = index.data(Qt::CheckStateRole).toInt() == Qt::Checked;
      if (const QPixmap* image = CheckButtonList().At(checked ? 1 : 0)) p->drawPixmap(box, *image);
      area.setLeft(box.right() + 1);
    }
    const QVariant decoration = index.data(Qt::DecorationRole);
    if (decoration.canConvert<QPixmap>()) {
      const QPixmap icon = decoration.value<QPixmap>();
      const QSize size = icon.deviceIndependentSize().toSize();
      p->drawPixmap(QRect(QPoint(area.left(), area.center().y() - size.height() / 2), size), icon);
      area.setLeft(area.left() + size.width() + 4);
    }
    QString text = index.data(Qt::DisplayRole).toString();
    if (index.column() == list_->ProgressColumn()) text = QString::asprintf("%d %%", index.data(Qt::DisplayRole).toInt());
    p->setFont(GuiFont(UiFontKind::Normal));
    p->setPen(Qt::black);
    p->drawText(area, Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine,
                p->fontMetrics().elidedText(text, Qt::ElideRight, area.width()));
    p->setPen(kDisabledText);
    p->drawLine(option.rect.bottomLeft(), option.rect.bottomRight());
    p->drawLine(option.rect.topRight(), option.rect.bottomRight());
  }

  // A click on the check image flips the row's check; the list reports the change.
  bool editorEvent(QEvent* event, QAbstractItemModel* model, const QStyleOptionViewItem& option,
                   const QModelIndex& index) override {
    if (!(index.flags() & Qt::ItemIsUserCheckable)) return false;
    if (event->type() != QEvent::MouseButtonRelease && event->type() != QEvent::MouseButtonPress &&
        event->type() != QEvent::MouseButtonDblClick)
      return false;
    auto* mouse = static_cast<QMouseEvent*>(event);
    if (mouse->button() != Qt::LeftButton || !CVelListCtrl::CheckRect(option.rect).contains(mouse->position().toPoint()))
      return false;
    if (event->type() == QEvent::MouseButtonRelease) {
      const bool checked = index.data(Qt::CheckStateRole).toInt() == Qt::Checked;
      model->setData(index, checked ? Qt::Unchecked : Qt::Checked, Qt::CheckStateRole);
    }
    return true;
  }

 private:
  CVelListCtrl* list_;
};

}  // namespace

CVelListCtrl::CVelListCtrl(QWidget* parent) : QTableWidget(parent) {
  setItemDelegate(new VelListDelegate(this));  // owned by the list (Qt parent)
  setMouseTracking(true);
  setShowGrid(false);
  setSelectionBehavior(QAbstractItemView::SelectRows);
  verticalHeader()->hide();
  setFrameShape(QFrame::NoFrame);
}

QRect CVelListCtrl::CheckRect(const QRect& cell) {
  const QSize size = CheckButtonList().cell * GuiScale();
  return QRect(QPoint(cell.left() + 1, cell.center().y() - size.height() / 2), size);
}

void CVelListCtrl::ClearHover() {
  hotRow_ = -1;
  viewport()->update();
}

void CVelListCtrl::SetRowColor(int row, const QColor& color) {
  for (int c = 0; c < columnCount(); ++c) {
    QTableWidgetItem* cell = item(row, c);
    if (!cell) setItem(row, c, cell = new QTableWidgetItem);  // owned by the table
    cell->setData(kRowColorRole, color);
  }
  viewport()->update();
}

QColor CVelListCtrl::RowColor(int row) const {
  const QTableWidgetItem* cell = item(row, 0);
  return cell ? cell->data(kRowColorRole).value<QColor>() : QColor();
}

void CVelListCtrl::mouseMoveEvent(QMouseEvent* event) {
  int row = rowAt(event->position().toPoint().y());
  if (row != hotRow_) {
    hotRow_ = row;
    viewport()->update();
    if (row >= 0) emit hovered(row, kHoverCode);
  }
  QTableWidget::mouseMoveEvent(event);
}

void CVelListCtrl::leaveEvent(QEvent* event) {
  hotRow_ = -1;
  viewport()->update();
  emit hovered(-1, kHoverCode);
  QTableWidget::leaveEvent(event);
}

CVelEdit::CVelEdit(QWidget* parent) : QLineEdit(parent) {
  setMouseTracking(true);
  setFrame(false);
  setFont(GuiFont(UiFontKind::Normal));
  setStyleSheet("QLineEdit { background: #F2F2F2; color: black; padding: 2px 4px; }");
}

void CVelEdit::mouseMoveEvent(QMouseEvent* event) {
  if (!hover_) {
    hover_ = true;
    update();
  }
  QLineEdit::mouseMoveEvent(event);
}

void CVelEdit::leaveEvent(QEvent* event) {
  hover_ = false;
  update();
  QLineEdit::leaveEvent(event);
}

void CVelEdit::paintEvent(QPaintEvent* event) {
  QLineEdit::paintEvent(event);
  QPainter p(this);
  p.setPen(hover_ || hasFocus() ? kThemeTitle : kDisabledText);
  p.drawRect(rect().adjusted(0, 0, -1, -1));
}

}  // namespace tq
