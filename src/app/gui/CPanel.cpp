#include "app/gui/CPanel.h"

#include <QLinearGradient>
#include <QPainter>

#include "controls/GuiSkin.h"

namespace tq {

CPanel::CPanel(const QColor& background, QWidget* parent) : QWidget(parent), background_(background) {
  setAttribute(Qt::WA_OpaquePaintEvent);
}

void CPanel::paintEvent(QPaintEvent*) {
  QPainter p(this);
  p.fillRect(rect(), background_);
  const int s = GuiScale();
  if (band_ > 0) {
    QLinearGradient g(0, 0, 0, band_ * s);
    g.setColorAt(0, kThemeBand.lighter(130));
    g.setColorAt(1, kThemeBand);
    p.fillRect(QRect(0, 0, width(), band_ * s), g);
  }
  if (watermark_) {
    const double side = 120.0 * s;
    DrawLogo(p, QRectF(QPointF(rect().center()) - QPointF(side / 2, side / 2), QSizeF(side, side)), QColor(255, 255, 255, 14),
             QColor(150, 23, 46, 40));
  }
  p.setPen(kThemeBand);
  p.drawRect(rect().adjusted(0, 0, -1, -1));
}

}  // namespace tq
