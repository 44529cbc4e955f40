#include "app/gui/CTitleBar.h"

#include <QLinearGradient>
#include <QMouseEvent>
#include <QPainter>
#include <QWindow>

#include "controls/CVelBut.h"
#include "controls/GuiSkin.h"

namespace tq {
namespace {
constexpr int kButtonGap = 8;  // x s
}

CTitleBar::CTitleBar(QWidget* parent)
    : QWidget(parent), minimize_(new CVelImgBut(this)), maximize_(new CVelImgBut(this)), close_(new CVelImgBut(this)) {
  setAttribute(Qt::WA_OpaquePaintEvent);
  minimize_->SetImage(kGlyphMinimize * 3);
  maximize_->SetImage(kGlyphMaximize * 3);
  close_->SetImage(kGlyphClose * 3);
  for (CVelImgBut* b : {minimize_, maximize_, close_}) b->resize(b->sizeHint());
  connect(minimize_, &QAbstractButton::clicked, this, &CTitleBar::minimizeClicked);
  connect(maximize_, &QAbstractButton::clicked, this, &CTitleBar::maximizeClicked);
  connect(close_, &QAbstractButton::clicked, this, &CTitleBar::closeClicked);
}

void CTitleBar::SetTitle(const QString& title) {
  title_ = title;
  update();
}

void CTitleBar::SetMaximized(bool maximized) { maximize_->SetImage((maximized ? kGlyphRestore : kGlyphMaximize) * 3); }

void CTitleBar::resizeEvent(QResizeEvent*) {
  const int s = GuiScale();
  int x = width() - kButtonGap * s;
  for (CVelImgBut* b : {close_, maximize_, minimize_}) {
    x -= b->width();
    b->move(x, (height() - b->height()) / 2);
    x -= kButtonGap * s;
  }
}

void CTitleBar::paintEvent(QPaintEvent*) {
  QPainter p(this);
  const int s = GuiScale();
  QLinearGradient g(0, 0, 0, height());
  g.setColorAt(0, kThemeTitle.lighter(112));
  g.setColorAt(1, kThemeTitle.darker(118));
  p.fillRect(rect(), g);
  const QPixmap& logo = LogoPixmap();
  int logoX = LogoRect().x();
  p.drawPixmap(LogoRect().topLeft(), logo);
  QFont font = GuiFont(UiFontKind::Bold);
  font.setPixelSize(font.pixelSize() > 0 ? font.pixelSize() * 5 / 4 : 16 * s);
  p.setFont(font);
  p.setPen(kLightText);
  QRect text(logoX + logo.width() + 10 * s, 0, minimize_->x() - logoX - logo.width() - 20 * s, height());
  p.drawText(text, Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine, title_);
}

QRect CTitleBar::LogoRect() const {
  const QPixmap& logo = LogoPixmap();
  return QRect(QPoint(12 * GuiScale(), (height() - logo.height()) / 2), logo.size());
}

void CTitleBar::mousePressEvent(QMouseEvent* event) {
  if (event->button() != Qt::LeftButton) return;
  if (LogoRect().contains(event->position().toPoint())) {
    emit aboutClicked();
    return;
  }
  QWidget* frame = window();
  if (frame->isMaximized()) return;
  // The window manager moves the frame where it can; elsewhere we follow the pointer.
  if (frame->windowHandle() && frame->windowHandle()->startSystemMove()) return;
  dragging_ = true;
  dragOffset_ = event->globalPosition().toPoint() - frame->pos();
}

void CTitleBar::mouseMoveEvent(QMouseEvent* event) {
  if (dragging_) window()->move(event->globalPosition().toPoint() - dragOffset_);
}

void CTitleBar::mouseReleaseEvent(QMouseEvent*) { dragging_ = false; }

void CTitleBar::mouseDoubleClickEvent(QMouseEvent* event) {
  if (event->button() == Qt::LeftButton) emit maximizeClicked();
}

}  // namespace tq
