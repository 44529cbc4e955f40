#include "app/gui/CPanel.h"

#include <QPainter>

#include "controls/GuiSkin.h"

namespace tq {

CPanel::CPanel(const QColor& background, QWidget* parent) : QWidget(parent), background_(background) {
  setAttribute(Qt::WA_OpaquePaintEvent);
}

void CPanel::paintEvent(QPaintEvent*) {
  QPainter p(this);
  p.fillRect(rect(), background_);
  p.setPen(kThemeBand);
  p.drawRect(rect().adjusted(0, 0, -1, -1));
}

}  // namespace tq
