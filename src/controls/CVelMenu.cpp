#include "controls/CVelMenu.h"

#include <QKeyEvent>
#include <QPainter>
#include <algorithm>

#include "controls/GuiSkin.h"

namespace tq {
namespace {
constexpr int kRowHeight = 26;  // x s
constexpr int kTextIndent = 14; // x s
constexpr int kMinWidth = 160;  // x s
}  // namespace

CVelMenu::CVelMenu(QWidget* parent) : QWidget(parent, Qt::Popup | Qt::FramelessWindowHint) {
  setMouseTracking(true);
  setAttribute(Qt::WA_DeleteOnClose, false);
}

void CVelMenu::AddItem(const QString& text, int command, bool enabled) {
  items_.push_back({text, command, enabled});
  resize(sizeHint());
}

int CVelMenu::RowHeight() const { return kRowHeight * GuiScale(); }

QSize CVelMenu::sizeHint() const {
  const int s = GuiScale();
  QFontMetrics fm(GuiFont(UiFontKind::Normal));
  int width = kMinWidth * s;
  for (const Item& item : items_) width = std::max(width, fm.horizontalAdvance(item.text) + 2 * kTextIndent * s);
  return QSize(width, int(items_.size()) * RowHeight() + 2);
}

void CVelMenu::Popup(const QPoint& globalPos) {
  hoverRow_ = -1;
  resize(sizeHint());
  move(globalPos);
  show();
}

int CVelMenu::RowAt(const QPoint& pos) const {
  if (pos.x() < 0 || pos.x() >= width() || pos.y() < 1) return -1;
  int row = (pos.y() - 1) / RowHeight();
  return row < Count() ? row : -1;
}

void CVelMenu::paintEvent(QPaintEvent*) {
  QPainter p(this);
  p.fillRect(rect(), kThemeBand);
  p.setPen(kThemeTitle);
  p.drawRect(rect().adjusted(0, 0, -1, -1));
  p.setFont(GuiFont(UiFontKind::Normal));
  for (int row = 0; row < Count(); ++row) {
    QRect r(1, 1 + row * RowHeight(), width() - 2, RowHeight());
    const Item& item = items_[size_t(row)];
    if (row == hoverRow_ && item.enabled) p.fillRect(r, kThemeButtonState);
    p.setPen(item.enabled ? kLightText : kDisabledText);
    p.drawText(r.adjusted(kTextIndent * GuiScale(), 0, 0, 0), Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine,
               item.text);
  }
}

void CVelMenu::mouseMoveEvent(QMouseEvent* event) {
  int row = RowAt(event->position().toPoint());
  if (row != hoverRow_) {
    hoverRow_ = row;
    update();
  }
}

void CVelMenu::leaveEvent(QEvent*) {
  hoverRow_ = -1;
  update();
}

void CVelMenu::mouseReleaseEvent(QMouseEvent* event) {
  int row = RowAt(event->position().toPoint());
  hide();
  if (row >= 0 && items_[size_t(row)].enabled) emit picked(items_[size_t(row)].command);
}

void CVelMenu::keyPressEvent(QKeyEvent* event) {
  if (event->key() == Qt::Key_Escape) hide();
  else QWidget::keyPressEvent(event);
}

CVelToolTip::CVelToolTip(QWidget* parent) : QWidget(parent, Qt::ToolTip | Qt::FramelessWindowHint) {}

void CVelToolTip::SetText(const QString& text) {
  text_ = text;
  resize(sizeHint());
  update();
}

QSize CVelToolTip::sizeHint() const {
  const int s = GuiScale();
  QFontMetrics fm(GuiFont(UiFontKind::Normal));
  QRect r = fm.boundingRect(QRect(0, 0, 400 * s, 2000), Qt::TextWordWrap, text_);
  return r.size() + QSize(12 * s, 8 * s);
}

void CVelToolTip::ShowAt(const QPoint& globalPos) {
  move(globalPos + QPoint(12, 18) * GuiScale());
  show();
  raise();
}

void CVelToolTip::paintEvent(QPaintEvent*) {
  QPainter p(this);
  p.fillRect(rect(), QColor(30, 26, 28));
  p.setPen(kThemeTitle);
  p.drawRect(rect().adjusted(0, 0, -1, -1));
  p.setFont(GuiFont(UiFontKind::Normal));
  p.setPen(kLightText);
  p.drawText(rect().adjusted(6, 4, -6, -4), Qt::TextWordWrap | Qt::AlignLeft | Qt::AlignVCenter, text_);
}

}  // namespace tq
