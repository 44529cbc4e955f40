#include "telemetry/gui/CGpsInfoDlg.h"

#include <QPainter>

#include "app/LocalizedText.h"
#include "app/TextKeys.h"
#include "controls/GuiSkin.h"

namespace tq {

CGpsInfoDlg::CGpsInfoDlg(QWidget* parent) : QWidget(parent) {
  setAttribute(Qt::WA_OpaquePaintEvent);
  speedTitle_ = " " + QString::fromStdString(LocalizedText(kTextTooltip, "driving_speed"));
  coordinatesTitle_ = " " + QString::fromStdString(LocalizedText(kTextTooltip, "coordinates"));
  InitGpsText(text_, unit_);
}

QRect CGpsInfoDlg::SpeedBox() const {
  const int row = kRow * GuiScale();
  return QRect(QPoint(3, 3), QPoint(width() - 3, row + 3));
}

QRect CGpsInfoDlg::CoordinatesBox() const {
  const int row = kRow * GuiScale();
  return QRect(QPoint(3, row + 6), QPoint(width() - 3, height() - 3));
}

void CGpsInfoDlg::UpdateGps(const GpsSample* sample, int32_t flags) {
  tq::UpdateGps(text_, sample, flags, unit_);
  lastRepaint_ = QRect();
  if (!(flags & (kMarkerMoved | kMarkerLabel))) return;
  // Only the value column, from the first changed box down to the last.
  const int left = width() - kValueColumn * GuiScale() - 3;
  const int top = (flags & kMarkerLabel) ? SpeedBox().top() : CoordinatesBox().top();
  const int bottom = (flags & kMarkerMoved) ? CoordinatesBox().bottom() : SpeedBox().bottom();
  lastRepaint_ = QRect(QPoint(left, top), QPoint(width() - 3, bottom));
  update(lastRepaint_);
}

void CGpsInfoDlg::paintEvent(QPaintEvent*) {
  QPainter p(this);  // the backing store double-buffers
  p.fillRect(rect(), kPlayerBack);
  p.setPen(kLightText);
  p.setFont(GuiFont(UiFontKind::Normal));
  const int row = kRow * GuiScale();
  const QRect speed = SpeedBox(), coords = CoordinatesBox();
  p.fillRect(speed, kPanelBack);
  p.fillRect(coords, kPanelBack);
  p.drawText(speed, Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine, speedTitle_);
  p.drawText(speed, Qt::AlignRight | Qt::AlignVCenter | Qt::TextSingleLine, SpeedValue());
  const QRect titleLine(coords.left(), coords.top(), coords.width(), row);
  p.drawText(titleLine, Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine, coordinatesTitle_);
  // Latitude right-aligned in the box less one row at the bottom, longitude one row lower.
  const QRect lat(coords.left(), coords.top(), coords.width(), std::max(row, coords.height() - row));
  p.drawText(lat, Qt::AlignRight | Qt::AlignBottom | Qt::TextSingleLine, LatitudeText());
  const QRect lon = lat.translated(0, row);
  p.drawText(lon, Qt::AlignRight | Qt::AlignBottom | Qt::TextSingleLine, LongitudeText());
}

}  // namespace tq
