#include "controls/CVelTextBut.h"

#include <QFontMetrics>
#include <QPainter>
#include <algorithm>

namespace tq {
namespace {
constexpr int kTextPad = 12;      // text width + this
constexpr int kIconPad = 21;      // + this with an icon
constexpr int kMinTextWidth = 60; // x s
constexpr int kBareSide = 22;     // a button without text, x s
constexpr int kSkinEnd = 7;       // end slices of the skin, x s
constexpr int kIconSide = 18;     // x s
constexpr int kToolTextGap = 20;  // after the toolbar icon area
}  // namespace

QSize TextButSize(int textWidth, bool hasText, bool hasIcon, int s) {
  if (!hasText) return QSize(kBareSide * s, kBareSide * s);
  int width = textWidth + kTextPad + (hasIcon ? kIconPad : 0);
  return QSize(std::max(width, kMinTextWidth * s), kBareSide * s);
}

CVelTextBut::CVelTextBut(QWidget* parent) : CVelBut(parent) {}

void CVelTextBut::SetText(const QString& text, int icon, bool redraw) {
  text_ = text;
  icon_ = icon;
  setText(text);
  resize(sizeHint());
  updateGeometry();
  if (redraw) update();
}

QSize CVelTextBut::sizeHint() const {
  QFontMetrics fm(GuiFont(UiFontKind::Normal));
  return TextButSize(fm.horizontalAdvance(text_), !text_.isEmpty(), icon_ >= 0, GuiScale());
}

int CVelTextBut::StateNumber() const {
  if (!isEnabled()) return 0;
  if (isDown() || Latched()) return 3;
  return Hovering() ? 2 : 1;
}

void CVelTextBut::paintEvent(QPaintEvent*) {
  QPainter p(this);
  const int s = GuiScale();
  const ImageList& skin = ButtonSkinList();
  int first = 3 * StateNumber();
  int end = kSkinEnd * s;
  if (skin.Count() >= first + 3) {
    p.drawPixmap(QRect(0, 0, end, height()), skin.images[size_t(first)]);
    p.drawPixmap(QRect(end, 0, width() - 2 * end, height()), skin.images[size_t(first + 1)]);
    p.drawPixmap(QRect(width() - end, 0, end, height()), skin.images[size_t(first + 2)]);
  }
  int textLeft = 0;
  if (icon_ >= 0) {
    QPoint at = text_.isEmpty() ? QPoint(2, 2) : QPoint(5, 3);
    if (const QPixmap* icon = ImageButtonList().At(icon_)) p.drawPixmap(QRect(at, QSize(kIconSide, kIconSide) * s), *icon);
    textLeft = at.x() + kIconSide * s;
  }
  if (text_.isEmpty()) return;
  p.setFont(GuiFont(UiFontKind::Normal));
  p.setPen(isEnabled() ? kLightText : kDisabledText);
  QRect area = rect().adjusted(textLeft, 0, 0, 0);
  p.drawText(area, Qt::AlignCenter | Qt::TextSingleLine,
             p.fontMetrics().elidedText(text_, Qt::ElideRight, area.width() - 4));
}

CVelToolBut::CVelToolBut(QWidget* parent) : CVelBut(parent) {}

void CVelToolBut::SetToolText(const QString& text, int icon) {
  text_ = text;
  icon_ = icon;
  setText(text);
  resize(sizeHint());
  updateGeometry();
  update();
}

int CVelToolBut::StateOffset() const {
  if (!isEnabled()) return 0;
  return (isDown() || Latched()) ? 2 : 1;
}

QSize CVelToolBut::sizeHint() const {
  const int s = GuiScale();
  QFontMetrics fm(GuiFont(UiFontKind::Bold));
  int iconRight = 10 + ToolbarIconList().cell.width() * s;
  return QSize(iconRight + kToolTextGap + fm.horizontalAdvance(text_) + 12 * s, 35 * s);
}

void CVelToolBut::paintEvent(QPaintEvent*) {
  QPainter p(this);
  const int s = GuiScale();
  int offset = StateOffset();
  if (offset == 2) {
    p.fillRect(rect(), kLightText);
    p.fillRect(rect().adjusted(1, 1, -1, -1), kThemeButtonState);
  } else {
    // Disabled and normal buttons show the toolbar background behind them.
    const QPixmap& back = ToolbarBackground();
    p.drawPixmap(rect(), back, QRect(0, 0, back.width(), back.height()));
  }
  if (Hovering() && isEnabled()) {
    p.setPen(kThemeTitle.lighter(150));
    p.drawRect(rect().adjusted(0, 0, -1, -1));
    p.setPen(kThemeTitle);
    p.drawRect(rect().adjusted(1, 1, -2, -2));
  }
  const QSize icon = ToolbarIconList().cell * s;
  if (const QPixmap* image = ToolbarIconList().At(icon_ + offset)) p.drawPixmap(QRect(QPoint(10, 3 * s), icon), *image);
  p.setFont(GuiFont(UiFontKind::Bold));
  p.setPen(offset == 0 ? kDisabledText : kLightText);
  QRect area = rect().adjusted(10 + icon.width() + kToolTextGap, 0, 0, 0);
  p.drawText(area, Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine, text_);
}

}  // namespace tq
