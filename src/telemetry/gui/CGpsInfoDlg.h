// The GPS panel: the driving speed and the coordinates of the GPS sample in force, in two
// boxes. Fed by the main view with the flags the map panel's UpdateReport returned; only
// the changed part of the value column is repainted. GUI thread only.
#pragma once

#include <QString>
#include <QWidget>

#include "telemetry/GpsPanelText.h"

namespace tq {

class CGpsInfoDlg : public QWidget {
  Q_OBJECT
 public:
  static constexpr int kRow = 22;          // x scale
  static constexpr int kValueColumn = 140; // x scale

  explicit CGpsInfoDlg(QWidget* parent = nullptr);

  // flags: 2 the speed changed, 1 the coordinates changed; sample null after a stop.
  void UpdateGps(const GpsSample* sample, int32_t flags);

  QString SpeedTitle() const { return speedTitle_; }
  QString CoordinatesTitle() const { return coordinatesTitle_; }
  QString SpeedValue() const { return QString::fromStdString(text_.speedValue); }
  QString LatitudeText() const { return QString::fromStdString(text_.latitudeText); }
  QString LongitudeText() const { return QString::fromStdString(text_.longitudeText); }
  // The area the last UpdateGps repainted (empty when none).
  QRect LastRepaint() const { return lastRepaint_; }
  QRect SpeedBox() const;
  QRect CoordinatesBox() const;

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  int32_t unit_ = kSpeedKmh;  // no operation changes it from km/h yet
  GpsPanelText text_;
  QString speedTitle_;
  QString coordinatesTitle_;
  QRect lastRepaint_;
};

}  // namespace tq
