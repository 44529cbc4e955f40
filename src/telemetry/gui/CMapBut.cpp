#include "telemetry/gui/CMapBut.h"

#include <QApplication>
#include <QHelpEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QToolTip>

#include "app/LocalizedText.h"
#include "app/TextKeys.h"
#include "app/gui/GuiMessages.h"
#include "controls/GuiSkin.h"

namespace tq {

CMapBut::CMapBut(QWidget* target, QWidget* parent) : QWidget(parent), target_(target) {
  setAttribute(Qt::WA_TranslucentBackground);  // only the buttons cover the map
  setCursor(Qt::PointingHandCursor);
  resize(sizeHint());
}

QSize CMapBut::sizeHint() const {
  const int s = GuiScale();
  return QSize(2 * kSide * s + kGap, kSide * s);
}

QRect CMapBut::PartRect(Part part) const {
  const int side = kSide * GuiScale();
  return QRect(part == kEnlarge ? side + kGap : 0, 0, side, side);  // enlarge at the corner
}

void CMapBut::SetEnlarged(bool on) {
  enlarged_ = on;
  update();
}

void CMapBut::SetSaveEnabled(bool on) {
  saveEnabled_ = on;
  update();
}

QString CMapBut::ToolTipKey(Part part) const {
  if (part == kSave) return "save_track";
  return enlarged_ ? "res_screen" : "full_screen";
}

bool CMapBut::event(QEvent* event) {
  if (event->type() == QEvent::ToolTip) {
    auto* help = static_cast<QHelpEvent*>(event);
    for (Part part : {kEnlarge, kSave}) {
      if (PartRect(part).contains(help->pos())) {
        QToolTip::showText(help->globalPos(),
                           QString::fromStdString(LocalizedText(kTextTooltip, ToolTipKey(part).toStdString())), this,
                           PartRect(part));
        return true;
      }
    }
    QToolTip::hideText();
    return true;
  }
  return QWidget::event(event);
}

void CMapBut::paintEvent(QPaintEvent*) {
  QPainter p(this);
  p.setRenderHint(QPainter::Antialiasing);
  for (Part part : {kEnlarge, kSave}) {
    const QRectF r = QRectF(PartRect(part)).adjusted(0.5, 0.5, -0.5, -0.5);
    const bool enabled = part == kEnlarge || saveEnabled_;
    p.setPen(QPen(kThemeViewLight, 1));
    p.setBrush(kThemeBand);
    p.drawRoundedRect(r, 3, 3);
    p.setPen(QPen(enabled ? kLightText : kDisabledText, 1.6, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.setBrush(Qt::NoBrush);
    const QRectF g = r.adjusted(r.width() * 0.25, r.height() * 0.25, -r.width() * 0.25, -r.height() * 0.25);
    if (part == kEnlarge) {
      // Four corners pointing out (enlarge) or in (restore).
      const double k = g.width() * 0.4;
      const bool in = enlarged_;
      for (int cx : {0, 1})
        for (int cy : {0, 1}) {
          const QPointF c(cx ? g.right() : g.left(), cy ? g.bottom() : g.top());
          const double sx = (cx ? -1 : 1) * (in ? -1 : 1), sy = (cy ? -1 : 1) * (in ? -1 : 1);
          const QPointF corner = in ? QPointF(c.x() - sx * k, c.y() - sy * k) : c;
          p.drawLine(corner, corner + QPointF(sx * k, 0));
          p.drawLine(corner, corner + QPointF(0, sy * k));
        }
    } else {
      // An arrow down into a tray.
      const double mx = g.center().x();
      p.drawLine(QPointF(mx, g.top()), QPointF(mx, g.bottom() - g.height() * 0.3));
      p.drawLine(QPointF(mx - g.width() * 0.25, g.center().y()), QPointF(mx, g.bottom() - g.height() * 0.3));
      p.drawLine(QPointF(mx + g.width() * 0.25, g.center().y()), QPointF(mx, g.bottom() - g.height() * 0.3));
      p.drawLine(QPointF(g.left(), g.bottom()), QPointF(g.right(), g.bottom()));
    }
  }
}

void CMapBut::mousePressEvent(QMouseEvent* event) {
  if (event->button() != Qt::LeftButton) return;
  const QPoint pos = event->position().toPoint();
  if (PartRect(kSave).contains(pos)) {
    if (saveEnabled_) emit saveClicked();
    return;
  }
  if (!PartRect(kEnlarge).contains(pos)) return;
  // The layout change takes a moment (a maximise): the wait cursor says so.
  QApplication::setOverrideCursor(Qt::WaitCursor);
  enlarged_ = !enlarged_;
  update();
  if (target_) PostMsg(target_, UM_TOGGLE_VIEW_MODE, 1, 0);
  QToolTip::hideText();
  QApplication::restoreOverrideCursor();
}

}  // namespace tq
